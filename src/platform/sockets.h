// TCP sockets as the Windows Sockets interface offers them: the library started and
// released around a use, a connection made with a time-out, and blocking sends and
// receives whose receive waits are bounded by a time-out set on the socket.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

enum class ConnectResult { kConnected, kTimedOut, kFailed };

class Socket {
 public:
  virtual ~Socket() = default;  // closesocket
  // Starts the connection without blocking, waits at most connectTimeoutMs for it, then
  // makes the socket blocking again with receives bounded by receiveTimeoutMs.
  virtual ConnectResult Connect(std::uint32_t address, std::uint16_t port, int connectTimeoutMs,
                                int receiveTimeoutMs) = 0;
  // send and recv: the byte count, 0 when the peer has closed (recv), -1 on failure or
  // when the receive time-out has passed.
  virtual int Send(const void* data, int size) = 0;
  virtual int Receive(void* buffer, int size) = 0;
  // select for reading: 1 readable, 0 nothing within timeoutMs, -1 the wait failed.
  virtual int WaitReadable(int timeoutMs) = 0;
  // Cuts the connection both ways; safe from another thread while a call waits on it,
  // which then returns at once.
  virtual void Shutdown() = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // WSAStartup asking for version 2.2 and taking 1.1 or later; false when the library
  // cannot be started or is older than 1.1.
  virtual bool Startup() = 0;
  virtual void Cleanup() = 0;
  // A TCP socket; null when none can be made.
  virtual std::unique_ptr<Socket> CreateTcpSocket() = 0;
};

std::unique_ptr<Network> CreateSystemNetwork();

// Sends all size bytes, repeating send with the rest; false when a send returns 0 or
// fails. Zero bytes succeed at once.
bool SendAll(Socket& socket, const void* data, int size);
// Receives exactly size bytes, repeating recv into the rest; false when a recv returns 0
// (the peer closed) or fails. Zero bytes succeed at once.
bool ReceiveExactly(Socket& socket, void* buffer, int size);

}  // namespace platform
