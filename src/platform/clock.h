// The system time: as the security seed takes it, and as Windows 9x records the moment of
// the driver's installation.
#pragma once

#include <cstdint>

namespace platform {

// UTC as a FILETIME: 100-nanosecond intervals since 1 January 1601.
std::uint64_t SystemTimeAsFileTime();

// Local time now as an MS-DOS date and time: the date in the high 16 bits, the time (in
// 2-second steps) in the low 16 bits.
std::uint32_t LocalDosDateTime();

}  // namespace platform
