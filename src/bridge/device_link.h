// The Telnet side of one device link (RFC 2217 client plus the private control option),
// without the socket: bytes from the device go in through Receive, bytes for the device
// come out through Events::SendToDevice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct telnet_t;
union telnet_event_t;

namespace bridge {

enum class OptionState { kAsked, kAccepted, kRefused };

class DeviceLink {
 public:
  class Events {
   public:
    virtual ~Events() = default;
    virtual void SendToDevice(const std::uint8_t* data, std::size_t size) = 0;
    virtual void DeviceData(const std::uint8_t* data, std::size_t size) = 0;
    // The device answered SET-CONTROL (any value).
    virtual void ControlAnswered() = 0;
    // The answer to a private control request: status 0 is done.
    virtual void PrivateAnswered(std::uint8_t code, std::uint8_t status) = 0;
    // The option 190 was refused (or withdrawn) by the device.
    virtual void PrivateRefused() = 0;
    // The device broke the protocol; the link must close.
    virtual void Fault(const std::string& what) = 0;
  };

  explicit DeviceLink(Events& events);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // The opening negotiation and the modem state mask.
  void Start();
  void Receive(const std::uint8_t* data, std::size_t size);
  // Program data, IAC-doubled on the way.
  void SendData(const std::uint8_t* data, std::size_t size);

  void SetBaudRate(std::uint32_t baud);
  void SetDataSize(std::uint8_t bits);
  void SetParity(std::uint8_t rfcParity);
  void SetStopSize(std::uint8_t rfcStop);
  void SetControl(std::uint8_t value);
  void Purge(std::uint8_t which);
  void SendPrivate(std::uint8_t code, const std::uint8_t* data, std::size_t size);

  std::uint8_t modemState() const { return modemState_; }
  OptionState comPort() const { return comPort_; }
  OptionState privateOption() const { return private_; }
  bool faulted() const { return faulted_; }

 private:
  static void Handle(telnet_t* telnet, telnet_event_t* event, void* user);
  void OnEvent(telnet_event_t* event);
  void OnComPort(const std::uint8_t* data, std::size_t size);
  void OnPrivate(const std::uint8_t* data, std::size_t size);
  void ComPortRequest(std::uint8_t code, const std::uint8_t* value, std::size_t size);
  // IAC SB option code data IAC SE, data IAC-doubled.
  void Subnegotiate(std::uint8_t option, std::uint8_t code, const std::uint8_t* data, std::size_t size);
  void Fail(const std::string& what);

  Events& events_;
  telnet_t* telnet_;
  std::uint8_t modemState_ = 0;
  OptionState comPort_ = OptionState::kAsked;
  OptionState private_ = OptionState::kAsked;
  bool faulted_ = false;
};

}  // namespace bridge
