#include "platform/address.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace platform {

std::uint32_t InetAddr(const char* text) { return inet_addr(text); }

std::string InetNtoa(std::uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  return inet_ntoa(in);
}

}  // namespace platform
