// The device control block the driver's class key carries for a new port, in the bytes
// the registry stores: a DCB cleared to zero, given "baud=9600 parity=N data=8 stop=1"
// by the platform's mode-string parser, then set field by field; the first 26 bytes.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kStoredDcbSize = 26;

// False when the platform's parser refuses the mode string.
bool BuildDefaultDcb(std::uint8_t (&bytes)[kStoredDcbSize]);

}  // namespace platform
