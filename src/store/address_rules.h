// The rule both address checks share: by the address's class, its host part may be
// neither all zeros nor all ones.
#pragma once

#include <cstdint>

// a is the address with its first number in the high byte.
inline bool HostPartIsUsable(std::uint32_t a) {
  const std::uint32_t mask = (a & 0x80000000u) == 0            ? 0xFF000000u
                             : (a & 0xC0000000u) == 0x80000000u ? 0xFFFF0000u
                                                                : 0xFFFFFF00u;
  return (a & mask) != a && (a & ~mask) != ~mask;
}
