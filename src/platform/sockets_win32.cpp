// TCP sockets over Windows Sockets 1.1 or later: the calls made here are all in the
// wsock32.dll of Windows 95 (on 98, and on 95 with the update, it reaches Winsock 2).
#include <winsock2.h>

#include "platform/sockets.h"

namespace platform {
namespace {

class Win32Socket : public Socket {
 public:
  explicit Win32Socket(SOCKET handle) : handle_(handle) {}
  ~Win32Socket() override { closesocket(handle_); }

  ConnectResult Connect(std::uint32_t address, std::uint16_t port, int connectTimeoutMs,
                        int receiveTimeoutMs) override {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(port);
    u_long nonBlocking = 1;
    ioctlsocket(handle_, FIONBIO, &nonBlocking);
    ConnectResult result = ConnectResult::kFailed;
    if (connect(handle_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
      result = ConnectResult::kConnected;
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(handle_, &writable);
      FD_SET(handle_, &failed);
      timeval timeout{connectTimeoutMs / 1000, (connectTimeoutMs % 1000) * 1000};
      const int ready = select(0, nullptr, &writable, &failed, &timeout);
      if (ready == 0)
        result = ConnectResult::kTimedOut;
      else if (ready > 0 && FD_ISSET(handle_, &writable))
        result = ConnectResult::kConnected;
    }
    u_long blocking = 0;
    ioctlsocket(handle_, FIONBIO, &blocking);
    const DWORD timeout = static_cast<DWORD>(receiveTimeoutMs);
    // Windows Sockets 1.1 need not know the option; its receives then wait in select
    // first, so that a silent peer cannot hold a receive for ever (0: no time-out, as
    // with the option).
    selectTimeoutMs_ = setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                                  sizeof timeout) == 0 || receiveTimeoutMs <= 0
                           ? -1
                           : receiveTimeoutMs;
    return result;
  }

  int Send(const void* data, int size) override {
    const int n = send(handle_, static_cast<const char*>(data), size, 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  int Receive(void* buffer, int size) override {
    if (selectTimeoutMs_ >= 0 && WaitReadable(selectTimeoutMs_) != 1) return -1;
    const int n = recv(handle_, static_cast<char*>(buffer), size, 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  int WaitReadable(int timeoutMs) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(handle_, &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    return ready == SOCKET_ERROR ? -1 : ready > 0 ? 1 : 0;
  }

  void Shutdown() override { shutdown(handle_, SD_BOTH); }

 private:
  SOCKET handle_;
  int selectTimeoutMs_ = -1;  // the receive time-out, when the socket cannot hold it
};

class Win32Network : public Network {
 public:
  bool Startup() override {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    // A 1.1 library answers 2.2 with its own version, which does: every call here is in
    // 1.1. Only a 1.0 one is given back.
    if (LOBYTE(data.wVersion) > 1 || (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) >= 1)) return true;
    WSACleanup();
    return false;
  }
  void Cleanup() override { WSACleanup(); }
  std::unique_ptr<Socket> CreateTcpSocket() override {
    const SOCKET handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) return nullptr;
    return std::make_unique<Win32Socket>(handle);
  }
};

}  // namespace

std::unique_ptr<Network> CreateSystemNetwork() { return std::make_unique<Win32Network>(); }

}  // namespace platform
