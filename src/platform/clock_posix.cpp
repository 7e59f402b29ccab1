#include <time.h>

#include <algorithm>

#include "platform/clock.h"

namespace platform {

std::uint64_t SystemTimeAsFileTime() {
  // Seconds from 1601-01-01 to 1970-01-01.
  constexpr std::uint64_t kEpochDifference = 11644473600ull;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<std::uint64_t>(now.tv_sec) + kEpochDifference) * 10000000ull +
         static_cast<std::uint64_t>(now.tv_nsec) / 100;
}

std::uint32_t LocalDosDateTime() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  // MS-DOS dates cover 1980 to 2107 only.
  const auto year = static_cast<std::uint32_t>(std::clamp(local.tm_year + 1900, 1980, 2107) - 1980);
  const std::uint32_t date = year << 9 | static_cast<std::uint32_t>(local.tm_mon + 1) << 5 |
                             static_cast<std::uint32_t>(local.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>(local.tm_hour) << 11 |
                             static_cast<std::uint32_t>(local.tm_min) << 5 |
                             static_cast<std::uint32_t>(local.tm_sec / 2);
  return date << 16 | time;
}

}  // namespace platform
