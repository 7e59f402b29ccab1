// TCP sockets over the POSIX socket calls.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/sockets.h"

namespace platform {
namespace {

bool SetBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// poll for one event, resumed after a signal; returns poll's result.
int PollFor(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

class PosixSocket : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override { close(fd_); }

  ConnectResult Connect(std::uint32_t address, std::uint16_t port, int connectTimeoutMs,
                        int receiveTimeoutMs) override {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(port);
    ConnectResult result = ConnectResult::kFailed;
    if (SetBlocking(fd_, false)) {
      if (connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        result = ConnectResult::kConnected;
      } else if (errno == EINPROGRESS) {
        const int ready = PollFor(fd_, POLLOUT, connectTimeoutMs);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready == 0)
          result = ConnectResult::kTimedOut;
        else if (ready > 0 && getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
          result = ConnectResult::kConnected;
      }
    }
    SetBlocking(fd_, true);
    timeval timeout{receiveTimeoutMs / 1000, (receiveTimeoutMs % 1000) * 1000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return result;
  }

  int Send(const void* data, int size) override {
    for (;;) {
      const ssize_t n = send(fd_, data, static_cast<size_t>(size), MSG_NOSIGNAL);
      if (n >= 0 || errno != EINTR) return n < 0 ? -1 : static_cast<int>(n);
    }
  }

  int Receive(void* buffer, int size) override {
    for (;;) {
      const ssize_t n = recv(fd_, buffer, static_cast<size_t>(size), 0);
      if (n >= 0 || errno != EINTR) return n < 0 ? -1 : static_cast<int>(n);
    }
  }

  int WaitReadable(int timeoutMs) override {
    const int ready = PollFor(fd_, POLLIN, timeoutMs);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
  }

  void Shutdown() override { shutdown(fd_, SHUT_RDWR); }

 private:
  int fd_;
};

class PosixNetwork : public Network {
 public:
  bool Startup() override { return true; }
  void Cleanup() override {}
  std::unique_ptr<Socket> CreateTcpSocket() override {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixSocket>(fd);
  }
};

}  // namespace

std::unique_ptr<Network> CreateSystemNetwork() { return std::make_unique<PosixNetwork>(); }

}  // namespace platform
