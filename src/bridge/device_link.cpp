#include "bridge/device_link.h"

#include <libtelnet.h>

#include "bridge/device_option.h"

namespace bridge {
namespace {

namespace opt = veq::deviceoption;

// What the bridge offers and accepts; the device may refuse any of it.
const telnet_telopt_t kOptions[] = {
    {opt::kOptionBinary, TELNET_WILL, TELNET_DO},
    {opt::kOptionSga, TELNET_WILL, TELNET_DO},
    {opt::kOptionComPort, TELNET_WILL, TELNET_DONT},
    {opt::kControlOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

// The value length each server answer carries.
std::size_t AnswerLength(std::uint8_t code) {
  switch (code) {
    case opt::kSetBaudRate: return 4;
    case opt::kFlowControlSuspend:
    case opt::kFlowControlResume: return 0;
    default: return 1;
  }
}

}  // namespace

DeviceLink::DeviceLink(Events& events)
    : events_(events), telnet_(telnet_init(kOptions, &DeviceLink::Handle, 0, this)) {}

DeviceLink::~DeviceLink() {
  if (telnet_ != nullptr) telnet_free(telnet_);
}

void DeviceLink::Start() {
  if (telnet_ == nullptr) return Fail("no memory for the Telnet state");
  telnet_negotiate(telnet_, TELNET_WILL, opt::kOptionBinary);
  telnet_negotiate(telnet_, TELNET_DO, opt::kOptionBinary);
  telnet_negotiate(telnet_, TELNET_WILL, opt::kOptionSga);
  telnet_negotiate(telnet_, TELNET_DO, opt::kOptionSga);
  telnet_negotiate(telnet_, TELNET_WILL, opt::kOptionComPort);
  telnet_negotiate(telnet_, TELNET_WILL, opt::kControlOption);
  const std::uint8_t mask = opt::kModemDcd | opt::kModemRi | opt::kModemDsr | opt::kModemCts;
  ComPortRequest(opt::kSetModemStateMask, &mask, 1);
}

void DeviceLink::Receive(const std::uint8_t* data, std::size_t size) {
  if (telnet_ == nullptr || faulted_) return;
  telnet_recv(telnet_, reinterpret_cast<const char*>(data), size);
}

void DeviceLink::SendData(const std::uint8_t* data, std::size_t size) {
  if (telnet_ != nullptr) telnet_send(telnet_, reinterpret_cast<const char*>(data), size);
}

void DeviceLink::SetBaudRate(std::uint32_t baud) {
  const std::uint8_t value[4] = {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                 static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
  ComPortRequest(opt::kSetBaudRate, value, sizeof value);
}

void DeviceLink::SetDataSize(std::uint8_t bits) { ComPortRequest(opt::kSetDataSize, &bits, 1); }
void DeviceLink::SetParity(std::uint8_t rfcParity) { ComPortRequest(opt::kSetParity, &rfcParity, 1); }
void DeviceLink::SetStopSize(std::uint8_t rfcStop) { ComPortRequest(opt::kSetStopSize, &rfcStop, 1); }
void DeviceLink::SetControl(std::uint8_t value) { ComPortRequest(opt::kSetControl, &value, 1); }
void DeviceLink::Purge(std::uint8_t which) { ComPortRequest(opt::kPurgeData, &which, 1); }

void DeviceLink::ComPortRequest(std::uint8_t code, const std::uint8_t* value, std::size_t size) {
  Subnegotiate(opt::kOptionComPort, code, value, size);
}

void DeviceLink::SendPrivate(std::uint8_t code, const std::uint8_t* data, std::size_t size) {
  Subnegotiate(opt::kControlOption, code, data, size);
}

void DeviceLink::Subnegotiate(std::uint8_t option, std::uint8_t code, const std::uint8_t* data, std::size_t size) {
  if (telnet_ == nullptr) return;
  telnet_begin_sb(telnet_, option);
  telnet_send(telnet_, reinterpret_cast<const char*>(&code), 1);
  telnet_send(telnet_, reinterpret_cast<const char*>(data), size);
  telnet_iac(telnet_, TELNET_SE);
}

void DeviceLink::Handle(telnet_t*, telnet_event_t* event, void* user) { static_cast<DeviceLink*>(user)->OnEvent(event); }

void DeviceLink::OnEvent(telnet_event_t* event) {
  if (faulted_) return;
  switch (event->type) {
    case TELNET_EV_SEND:
      events_.SendToDevice(reinterpret_cast<const std::uint8_t*>(event->data.buffer), event->data.size);
      break;
    case TELNET_EV_DATA:
      events_.DeviceData(reinterpret_cast<const std::uint8_t*>(event->data.buffer), event->data.size);
      break;
    case TELNET_EV_DO:
      if (event->neg.telopt == opt::kOptionComPort) comPort_ = OptionState::kAccepted;
      if (event->neg.telopt == opt::kControlOption) private_ = OptionState::kAccepted;
      break;
    case TELNET_EV_DONT:
      if (event->neg.telopt == opt::kOptionComPort) comPort_ = OptionState::kRefused;
      if (event->neg.telopt == opt::kControlOption) {
        private_ = OptionState::kRefused;
        events_.PrivateRefused();
      }
      break;
    case TELNET_EV_SUBNEGOTIATION: {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(event->sub.buffer);
      if (event->sub.telopt == opt::kOptionComPort)
        OnComPort(bytes, event->sub.size);
      else if (event->sub.telopt == opt::kControlOption)
        OnPrivate(bytes, event->sub.size);
      break;
    }
    case TELNET_EV_WARNING:
    case TELNET_EV_ERROR: Fail(event->error.msg != nullptr ? event->error.msg : "Telnet error"); break;
    default: break;
  }
}

void DeviceLink::OnComPort(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || data[0] <= opt::kServerOffset || data[0] > opt::kServerOffset + opt::kPurgeData)
    return Fail("unknown COM-PORT-OPTION answer");
  const std::uint8_t code = static_cast<std::uint8_t>(data[0] - opt::kServerOffset);
  if (size - 1 != AnswerLength(code)) return Fail("COM-PORT-OPTION answer of the wrong length");
  if (code == opt::kNotifyModemState) modemState_ = data[1] & 0xF0;
  if (code == opt::kSetControl) events_.ControlAnswered();
}

void DeviceLink::OnPrivate(const std::uint8_t* data, std::size_t size) {
  if (size != 2 || (data[0] != opt::kControlReboot + opt::kControlAnswerOffset &&
                    data[0] != opt::kControlFirmwareBlock + opt::kControlAnswerOffset))
    return Fail("malformed control answer");
  events_.PrivateAnswered(static_cast<std::uint8_t>(data[0] - opt::kControlAnswerOffset), data[1]);
}

void DeviceLink::Fail(const std::string& what) {
  if (faulted_) return;
  faulted_ = true;
  events_.Fault(what);
}

}  // namespace bridge
