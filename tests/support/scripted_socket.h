// A connected socket whose peer is a script: what arrives comes in the segments given,
// what is sent is recorded. With nothing left to arrive, a wait reports silence, or the
// peer's close once it is marked closed.
#pragma once

#include <cstring>
#include <deque>
#include <string>

#include "platform/sockets.h"

namespace testsupport {

class ScriptedSocket : public platform::Socket {
 public:
  // Bytes that arrive as one segment.
  void Arrive(const std::string& segment) { segments_.push_back(segment); }
  void CloseFromPeer() { closed_ = true; }
  // Everything sent so far.
  std::string sent;
  bool failSends = false;

  platform::ConnectResult Connect(std::uint32_t, std::uint16_t, int, int) override {
    return platform::ConnectResult::kConnected;
  }
  int Send(const void* data, int size) override {
    if (failSends) return -1;
    sent.append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    return size;
  }
  int Receive(void* buffer, int size) override {
    if (segments_.empty()) return closed_ ? 0 : -1;
    std::string& next = segments_.front();
    const std::size_t n = std::min(next.size(), static_cast<std::size_t>(size));
    std::memcpy(buffer, next.data(), n);
    next.erase(0, n);
    if (next.empty()) segments_.pop_front();
    return static_cast<int>(n);
  }
  int WaitReadable(int) override { return !segments_.empty() || closed_ ? 1 : 0; }
  void Shutdown() override { closed_ = true; }

 private:
  std::deque<std::string> segments_;
  bool closed_ = false;
};

}  // namespace testsupport
