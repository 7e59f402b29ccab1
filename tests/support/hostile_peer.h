// A peer on 127.0.0.1 that accepts every connection and then talks nonsense: a stream of
// random bytes, or random bytes trickled one at a time with a pause between them. What
// it is sent it reads and drops.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

class HostilePeer {
 public:
  enum class Manner { kRandomBytes, kTrickle };

  // Listens on a free port; pauseMs is the pause between two bytes of a trickle.
  explicit HostilePeer(Manner manner, int pauseMs = 1000, unsigned seed = 7);
  ~HostilePeer();
  HostilePeer(const HostilePeer&) = delete;
  HostilePeer& operator=(const HostilePeer&) = delete;

  bool ok() const { return listener_ >= 0; }
  std::uint16_t port() const { return port_; }
  int Connections() const { return connections_.load(); }

 private:
  void Accept();
  void Talk(int connection, unsigned seed);
  // Sleeps up to ms in short slices; false once the peer is being destroyed.
  bool Nap(int ms) const;

  const Manner manner_;
  const int pauseMs_;
  const unsigned seed_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::vector<std::thread> talkers_;
  std::thread acceptor_;
};

// A TCP port on 127.0.0.1 where nothing listens (free when asked; nothing else of the
// test binds it).
std::uint16_t ClosedPort();

}  // namespace testsupport
