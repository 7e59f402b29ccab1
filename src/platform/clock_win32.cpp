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

}  // namespace platform
