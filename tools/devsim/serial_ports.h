// The serial ports of a device server on 127.0.0.1, each reached over RFC 2217 (Telnet Com
// Port Control) at TCP port tcpBase + k, with a loopback plug fitted: what the port sends
// comes back at the set data size, DTR is wired to DSR, DCD and RI, RTS to CTS, a break
// comes back as a break. The device also takes the private control option (reboot, firmware
// blocks), keeping the blocks as its image, and misbehaves on request, one fault at a time.
// One thread serves every port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace devsim {

enum class SerialFault {
  kNone,
  kDropAfter,        // the link is closed once faultValue data bytes came on it (once)
  kRefuse,           // the ports do not listen: connections are refused
  kSlow,             // everything the device sends goes out faultValue ms late
  kMalformed,        // a broken subnegotiation goes out on every link
  kNoControlOption,  // the private control option is refused (DONT), as a plain server does
  kRefuseBlock,      // the firmware block with index faultValue is answered "failed"
};

struct SerialSettings {
  int ports = 16;
  int tcpBase = 4000;  // 0: any base with ports free ports above it
  SerialFault fault = SerialFault::kNone;
  std::uint32_t faultValue = 0;
};

// A port as its link left it, in the RFC 2217 values.
struct SerialPortState {
  bool connected = false;
  int connections = 0;  // links accepted so far
  std::uint32_t baudRate = 9600;
  std::uint8_t dataSize = 8;
  std::uint8_t parity = 1;    // 1 none, 2 odd, 3 even, 4 mark, 5 space
  std::uint8_t stopSize = 1;  // 1 one, 2 two, 3 one and a half
  std::uint8_t outboundFlow = 1;  // SET-CONTROL value: 1 none, 2 XON/XOFF, 3 hardware
  std::uint8_t inboundFlow = 14;  // 14 none, 15 XON/XOFF, 16 hardware
  bool dtr = false, rts = false, breakOn = false;
  bool suspended = false;  // the client asked the device to hold its data
  std::uint8_t modemMask = 255, lineMask = 0;
  std::uint64_t bytesIn = 0, bytesOut = 0;  // data bytes, all links together
  int purges = 0;
};

class SerialPorts {
 public:
  explicit SerialPorts(const SerialSettings& settings);
  ~SerialPorts();
  SerialPorts(const SerialPorts&) = delete;
  SerialPorts& operator=(const SerialPorts&) = delete;

  // Whether every port could be bound.
  bool ok() const;
  int tcpBase() const;
  int ports() const;

  SerialPortState State(int port);  // port 1..ports()
  std::vector<std::uint8_t> FirmwareImage();
  std::vector<std::uint32_t> BlockIndexes();  // of every block that came, in order
  int Reboots();
  // A block that did not fit the image so far, described; empty when all fitted.
  std::string Problem();
  void SetFault(SerialFault fault, std::uint32_t value = 0);

  struct Loop;

 private:
  std::unique_ptr<Loop> loop_;
};

}  // namespace devsim
