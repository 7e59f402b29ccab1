// A client of one RFC 2217 device port, as the bridge's side of the wire: it negotiates,
// sends requests and data, and collects what the device answers, taken apart by libtelnet.
#pragma once

#include <stddef.h>

#include <libtelnet.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace devsimtest {

struct Received {
  enum Kind { kData, kSub, kDo, kWarning } kind;
  std::uint8_t option = 0;
  std::vector<std::uint8_t> bytes;  // data, or a subnegotiation's body
};

class TelnetClient {
 public:
  // Connects to 127.0.0.1:port and offers the options the bridge offers.
  explicit TelnetClient(int port);
  ~TelnetClient();
  TelnetClient(const TelnetClient&) = delete;
  TelnetClient& operator=(const TelnetClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  void Sub(std::uint8_t option, const std::vector<std::uint8_t>& body);
  void Data(const std::vector<std::uint8_t>& data);
  // Reads until the predicate holds over everything received so far, the link closes or
  // five seconds pass; answers whether the predicate held.
  bool WaitFor(const std::function<bool(const std::vector<Received>&)>& done, int timeoutMs = 5000);
  // Waits for an answer SB option <code> and gives its body (taking it from received()),
  // empty when none came.
  std::vector<std::uint8_t> Answer(std::uint8_t option, std::uint8_t code);
  // Waits for count data bytes in all and gives them.
  std::vector<std::uint8_t> DataBytes(std::size_t count, int timeoutMs = 5000);
  bool closed() const { return closed_; }
  const std::vector<Received>& received() const { return received_; }
  const std::vector<std::uint8_t>& raw() const { return raw_; }  // every byte that came

 private:
  static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
  int fd_ = -1;
  telnet_t* telnet_ = nullptr;
  std::vector<Received> received_;
  std::vector<std::uint8_t> raw_;
  bool closed_ = false;
};

}  // namespace devsimtest
