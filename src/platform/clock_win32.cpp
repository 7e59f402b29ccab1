#include <windows.h>

#include "platform/clock.h"

namespace platform {

std::uint64_t SystemTimeAsFileTime() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME file{};
  SystemTimeToFileTime(&now, &file);
  return static_cast<std::uint64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
}

std::uint32_t LocalDosDateTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME file{};
  WORD date = 0, time = 0;
  if (!SystemTimeToFileTime(&now, &file) || !FileTimeToDosDateTime(&file, &date, &time)) return 0;
  return static_cast<std::uint32_t>(date) << 16 | time;
}

}  // namespace platform
