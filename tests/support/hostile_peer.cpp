#include "support/hostile_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>

namespace testsupport {
namespace {

constexpr int kSliceMs = 10;
constexpr std::size_t kBurst = 512;

// A socket bound to a free port of 127.0.0.1; -1 when none can be had.
int BoundSocket(std::uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// Reads and drops whatever has come; false once the other side has closed.
bool Drain(int connection) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(connection, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

}  // namespace

HostilePeer::HostilePeer(Manner manner, int pauseMs, unsigned seed) : manner_(manner), pauseMs_(pauseMs), seed_(seed) {
  int fd = BoundSocket(&port_);
  if (fd >= 0 && listen(fd, 16) != 0) {
    close(fd);
    fd = -1;
  }
  listener_ = fd;
  if (listener_ >= 0) acceptor_ = std::thread(&HostilePeer::Accept, this);
}

HostilePeer::~HostilePeer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& talker : talkers_) talker.join();
  if (listener_ >= 0) close(listener_);
}

bool HostilePeer::Nap(int ms) const {
  for (int slept = 0; slept < ms && !stopping_; slept += kSliceMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, ms - slept)));
  return !stopping_;
}

void HostilePeer::Accept() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, kSliceMs) <= 0) continue;
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    const unsigned seed = seed_ + static_cast<unsigned>(connections_++);
    std::lock_guard<std::mutex> lock(mutex_);
    talkers_.emplace_back(&HostilePeer::Talk, this, connection, seed);
  }
}

void HostilePeer::Talk(int connection, unsigned seed) {
  std::mt19937 random(seed);
  std::uint8_t bytes[kBurst];
  const std::size_t count = manner_ == Manner::kTrickle ? 1 : kBurst;
  do {
    if (!Drain(connection)) break;
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(random());
    if (send(connection, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
      break;
  } while (Nap(manner_ == Manner::kTrickle ? pauseMs_ : kSliceMs));
  close(connection);
}

std::uint16_t ClosedPort() {
  std::uint16_t port = 0;
  const int fd = BoundSocket(&port);
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace testsupport
