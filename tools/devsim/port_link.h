// One Telnet link to a device port with its loopback plug: the bytes that came in are taken
// apart by libtelnet, the RFC 2217 requests and the private control option are carried out
// on the port, and what the device sends back waits in this link's outgoing queue.
#pragma once

// libtelnet's header uses size_t without including its definition.
#include <stddef.h>

#include <libtelnet.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "devsim/serial_ports.h"

namespace devsim {

// What the device keeps from the private control option, over all its ports.
struct DeviceMemory {
  std::vector<std::uint8_t> image;
  std::vector<std::uint32_t> blockIndexes;
  std::uint32_t nextBlock = 0;
  bool trailerSeen = false;
  int reboots = 0;
  std::string problem;
};

struct LinkFaults {
  SerialFault fault = SerialFault::kNone;
  std::uint32_t value = 0;
};

class PortLink {
 public:
  using Clock = std::chrono::steady_clock;

  PortLink(SerialPortState& state, DeviceMemory& memory, const LinkFaults& faults);
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  void Receive(const std::uint8_t* data, std::size_t size);
  // The broken subnegotiation of the malformed-Telnet fault, straight onto the wire.
  void SendMalformed();
  // The device holds back what its port received while the client suspended the flow or
  // hardware flow control finds CTS (its own RTS) off; a full hold stops the reading.
  bool WantsInput() const;
  // Bytes due by now, moved from the outgoing queue (late under the slow fault).
  std::vector<std::uint8_t> TakeDue(Clock::time_point now);
  // When the next late piece is due; Clock::time_point::max() when nothing waits.
  Clock::time_point NextDue() const;
  bool HasOutput() const { return !outgoing_.empty(); }
  // Set after a protocol error libtelnet reported on the incoming bytes.
  bool broken() const { return broken_; }

 private:
  static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
  void Emit(const char* data, std::size_t size);
  void Loop(const std::uint8_t* data, std::size_t size);
  void Release();
  void ComPort(const std::uint8_t* data, std::size_t size);
  void Control(const std::uint8_t* data, std::size_t size);
  std::uint8_t SetControl(std::uint8_t value);
  std::uint8_t FirmwareBlock(const std::uint8_t* data, std::size_t size);
  void Answer(std::uint8_t option, std::uint8_t code, const std::vector<std::uint8_t>& value);
  std::uint8_t ModemLines() const;
  void NotifyModem(std::uint8_t before);
  bool Holding() const;

  SerialPortState& state_;
  DeviceMemory& memory_;
  const LinkFaults& faults_;
  telnet_t* telnet_ = nullptr;
  std::vector<std::uint8_t> held_;  // looped back, not yet allowed out
  std::deque<std::pair<Clock::time_point, std::vector<std::uint8_t>>> outgoing_;
  bool broken_ = false;
};

}  // namespace devsim
