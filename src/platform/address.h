// IPv4 address conversion as the platform's sockets library does it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

// inet_addr: the 32-bit address in network byte order, kInaddrNone when the text
// does not convert.
std::uint32_t InetAddr(const char* text);
// inet_ntoa: the dotted form of an address in network byte order.
std::string InetNtoa(std::uint32_t address);

}  // namespace platform
