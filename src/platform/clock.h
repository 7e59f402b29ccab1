// The system time as the security seed takes it: UTC as a FILETIME, 100-nanosecond
// intervals since 1 January 1601.
#pragma once

#include <cstdint>

namespace platform {

std::uint64_t SystemTimeAsFileTime();

}  // namespace platform
