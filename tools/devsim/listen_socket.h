// A TCP listener on 127.0.0.1, the only address the simulated devices serve.
#pragma once

#include <cstdint>

namespace devsim {

// Listens at port (0: any free port) and gives the descriptor, -1 on failure; bound, when
// given, receives the port actually bound. A nonblocking listener hands out nonblocking
// connections only through accept4's flags: the caller's choice.
int ListenOnLoopback(std::uint16_t port, int backlog, bool nonblocking, std::uint16_t* bound = nullptr);

}  // namespace devsim
