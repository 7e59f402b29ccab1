#include <time.h>

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

}  // namespace platform
