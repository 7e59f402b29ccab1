#include "devsim/port_link.h"

#include <algorithm>

#include "bridge/device_option.h"

namespace devsim {
namespace {

namespace wire = veq::deviceoption;

// A device port's buffer toward its client: beyond it the device stops reading its link
// and TCP's window pushes back.
constexpr std::size_t kHoldLimit = 64 * 1024;
constexpr std::size_t kOutgoingLimit = 256 * 1024;
constexpr std::uint32_t kTrailerIndex = 0xFFFFFFFF;
constexpr std::uint8_t kLineBreakDetect = 0x10;
constexpr std::uint8_t kDeltaCts = 0x01, kDeltaDsr = 0x02, kRiTrailingEdge = 0x04, kDeltaDcd = 0x08;
constexpr std::uint8_t kStatusFailed = 1, kStatusOutOfOrder = 2, kStatusUnknownCode = 0xFF;

// The option tables live as long as every link that points at them.
const telnet_telopt_t kOptions[] = {
    {wire::kOptionBinary, TELNET_WILL, TELNET_DO},  {wire::kOptionSga, TELNET_WILL, TELNET_DO},
    {wire::kOptionComPort, TELNET_WONT, TELNET_DO}, {wire::kControlOption, TELNET_WONT, TELNET_DO},
    {-1, 0, 0},
};
const telnet_telopt_t kOptionsWithoutControl[] = {
    {wire::kOptionBinary, TELNET_WILL, TELNET_DO},  {wire::kOptionSga, TELNET_WILL, TELNET_DO},
    {wire::kOptionComPort, TELNET_WONT, TELNET_DO}, {wire::kControlOption, TELNET_WONT, TELNET_DONT},
    {-1, 0, 0},
};

std::uint32_t Big32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
         static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}
std::uint32_t Little32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[3]) << 24 | static_cast<std::uint32_t>(at[2]) << 16 |
         static_cast<std::uint32_t>(at[1]) << 8 | at[0];
}

}  // namespace

PortLink::PortLink(SerialPortState& state, DeviceMemory& memory, const LinkFaults& faults)
    : state_(state), memory_(memory), faults_(faults) {
  telnet_ = telnet_init(faults.fault == SerialFault::kNoControlOption ? kOptionsWithoutControl : kOptions,
                        &PortLink::OnEvent, 0, this);
}

PortLink::~PortLink() {
  if (telnet_) telnet_free(telnet_);
}

void PortLink::Receive(const std::uint8_t* data, std::size_t size) {
  if (telnet_) telnet_recv(telnet_, reinterpret_cast<const char*>(data), size);
}

void PortLink::SendMalformed() {
  // An IAC inside a subnegotiation followed by neither IAC nor SE.
  static const char kBroken[] = {'\xFF', '\xFA', 44, 107, '\xFF', 0x01, '\xFF', '\xF0'};
  Emit(kBroken, sizeof kBroken);
}

bool PortLink::WantsInput() const {
  std::size_t outgoing = 0;
  for (const auto& piece : outgoing_) outgoing += piece.second.size();
  return held_.size() < kHoldLimit && outgoing < kOutgoingLimit;
}

std::vector<std::uint8_t> PortLink::TakeDue(Clock::time_point now) {
  std::vector<std::uint8_t> due;
  while (!outgoing_.empty() && outgoing_.front().first <= now) {
    due.insert(due.end(), outgoing_.front().second.begin(), outgoing_.front().second.end());
    outgoing_.pop_front();
  }
  return due;
}

PortLink::Clock::time_point PortLink::NextDue() const {
  return outgoing_.empty() ? Clock::time_point::max() : outgoing_.front().first;
}

void PortLink::OnEvent(telnet_t*, telnet_event_t* event, void* self) {
  PortLink& link = *static_cast<PortLink*>(self);
  switch (event->type) {
    case TELNET_EV_DATA:
      link.Loop(reinterpret_cast<const std::uint8_t*>(event->data.buffer), event->data.size);
      break;
    case TELNET_EV_SEND:
      link.Emit(event->data.buffer, event->data.size);
      break;
    case TELNET_EV_SUBNEGOTIATION: {
      const auto* data = reinterpret_cast<const std::uint8_t*>(event->sub.buffer);
      if (event->sub.size == 0) break;
      if (event->sub.telopt == wire::kOptionComPort)
        link.ComPort(data, event->sub.size);
      else if (event->sub.telopt == wire::kControlOption && link.faults_.fault != SerialFault::kNoControlOption)
        link.Control(data, event->sub.size);
      break;
    }
    case TELNET_EV_ERROR:
      link.broken_ = true;
      break;
    default:
      break;
  }
}

void PortLink::Emit(const char* data, std::size_t size) {
  const bool slow = faults_.fault == SerialFault::kSlow;
  const Clock::time_point due = slow ? Clock::now() + std::chrono::milliseconds(faults_.value) : Clock::time_point();
  if (outgoing_.empty() || outgoing_.back().first != due) outgoing_.emplace_back(due, std::vector<std::uint8_t>());
  outgoing_.back().second.insert(outgoing_.back().second.end(), data, data + size);
}

void PortLink::Loop(const std::uint8_t* data, std::size_t size) {
  // The wire carries dataSize bits a character: the upper bits never come back.
  const std::uint8_t mask = static_cast<std::uint8_t>(0xFF >> (8 - state_.dataSize));
  state_.bytesIn += size;
  const std::size_t start = held_.size();
  held_.insert(held_.end(), data, data + size);
  for (std::size_t i = start; i < held_.size(); ++i) held_[i] &= mask;
  if (!Holding()) Release();
}

void PortLink::Release() {
  if (held_.empty() || Holding()) return;
  telnet_send(telnet_, reinterpret_cast<const char*>(held_.data()), held_.size());
  state_.bytesOut += held_.size();
  held_.clear();
}

bool PortLink::Holding() const {
  return state_.suspended || (state_.outboundFlow == wire::kControlFlowHardware && !state_.rts);
}

void PortLink::Answer(std::uint8_t option, std::uint8_t code, const std::vector<std::uint8_t>& value) {
  std::vector<char> body(1, static_cast<char>(code));
  body.insert(body.end(), value.begin(), value.end());
  telnet_subnegotiation(telnet_, option, body.data(), body.size());
}

void PortLink::ComPort(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t code = data[0];
  const std::uint8_t* value = data + 1;
  const std::size_t length = size - 1;
  const std::uint8_t answer = static_cast<std::uint8_t>(code + wire::kServerOffset);
  if (code == wire::kSetBaudRate && length == 4) {
    if (Big32(value) != 0) state_.baudRate = Big32(value);
    const std::uint32_t baud = state_.baudRate;
    Answer(wire::kOptionComPort, answer,
           {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
            static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    return;
  }
  if (code == wire::kFlowControlSuspend || code == wire::kFlowControlResume) {
    state_.suspended = code == wire::kFlowControlSuspend;
    Release();
    return;
  }
  if (length != 1) return;  // every other request carries one byte
  const std::uint8_t v = value[0];
  switch (code) {
    case wire::kSetDataSize:
      if (v >= 5 && v <= 8) state_.dataSize = v;
      Answer(wire::kOptionComPort, answer, {state_.dataSize});
      break;
    case wire::kSetParity:
      if (v >= 1 && v <= 5) state_.parity = v;
      Answer(wire::kOptionComPort, answer, {state_.parity});
      break;
    case wire::kSetStopSize:
      if (v >= 1 && v <= 3) state_.stopSize = v;
      Answer(wire::kOptionComPort, answer, {state_.stopSize});
      break;
    case wire::kSetControl:
      Answer(wire::kOptionComPort, answer, {SetControl(v)});
      break;
    case wire::kSetLineStateMask:
      state_.lineMask = v;
      Answer(wire::kOptionComPort, answer, {v});
      break;
    case wire::kSetModemStateMask:
      state_.modemMask = v;
      Answer(wire::kOptionComPort, answer, {v});
      // The lines as they stand now, so the client starts from the truth.
      Answer(wire::kOptionComPort, wire::kNotifyModemState + wire::kServerOffset,
             {static_cast<std::uint8_t>(ModemLines() & v)});
      break;
    case wire::kPurgeData:
      if (v >= wire::kPurgeReceive && v <= wire::kPurgeBoth) {
        // Looped back, the port's receive and transmit buffers are one: what is held.
        held_.clear();
        ++state_.purges;
      }
      Answer(wire::kOptionComPort, answer, {v});
      break;
    default:
      break;
  }
}

std::uint8_t PortLink::SetControl(std::uint8_t value) {
  const std::uint8_t before = ModemLines();
  switch (value) {
    case 0:
      return state_.outboundFlow;
    case 4:
      return state_.breakOn ? wire::kControlBreakOn : wire::kControlBreakOff;
    case 7:
      return state_.dtr ? wire::kControlDtrOn : wire::kControlDtrOff;
    case 10:
      return state_.rts ? wire::kControlRtsOn : wire::kControlRtsOff;
    case 13:
      return state_.inboundFlow;
    case wire::kControlBreakOn:
    case wire::kControlBreakOff:
      state_.breakOn = value == wire::kControlBreakOn;
      // The plug hands the break straight back to the port's receiver.
      if (state_.breakOn && (state_.lineMask & kLineBreakDetect))
        Answer(wire::kOptionComPort, wire::kNotifyLineState + wire::kServerOffset, {kLineBreakDetect});
      return value;
    case wire::kControlDtrOn:
    case wire::kControlDtrOff:
      state_.dtr = value == wire::kControlDtrOn;
      NotifyModem(before);
      return value;
    case wire::kControlRtsOn:
    case wire::kControlRtsOff:
      state_.rts = value == wire::kControlRtsOn;
      NotifyModem(before);
      Release();
      return value;
    case 14:
    case 15:
    case 16:
      state_.inboundFlow = value;
      return value;
    default:
      if (value <= wire::kControlFlowHardware || (value >= 17 && value <= 19)) {
        state_.outboundFlow = value;
        Release();
      }
      return state_.outboundFlow;
  }
}

std::uint8_t PortLink::ModemLines() const {
  return static_cast<std::uint8_t>((state_.dtr ? wire::kModemDsr | wire::kModemDcd | wire::kModemRi : 0) |
                                   (state_.rts ? wire::kModemCts : 0));
}

void PortLink::NotifyModem(std::uint8_t before) {
  const std::uint8_t after = ModemLines();
  const std::uint8_t changed = before ^ after;
  std::uint8_t deltas = 0;
  if (changed & wire::kModemCts) deltas |= kDeltaCts;
  if (changed & wire::kModemDsr) deltas |= kDeltaDsr;
  if ((before & wire::kModemRi) && !(after & wire::kModemRi)) deltas |= kRiTrailingEdge;
  if (changed & wire::kModemDcd) deltas |= kDeltaDcd;
  if (((changed | deltas) & state_.modemMask) == 0) return;
  Answer(wire::kOptionComPort, wire::kNotifyModemState + wire::kServerOffset,
         {static_cast<std::uint8_t>((after | deltas) & state_.modemMask)});
}

void PortLink::Control(const std::uint8_t* data, std::size_t size) {
  std::uint8_t status = kStatusUnknownCode;
  if (data[0] == wire::kControlReboot) {
    ++memory_.reboots;
    status = wire::kControlDone;
  } else if (data[0] == wire::kControlFirmwareBlock) {
    status = FirmwareBlock(data + 1, size - 1);
  }
  Answer(wire::kControlOption, static_cast<std::uint8_t>(data[0] + wire::kControlAnswerOffset), {status});
}

std::uint8_t PortLink::FirmwareBlock(const std::uint8_t* data, std::size_t size) {
  if (size != wire::kFirmwareBlockBytes) {
    memory_.problem = "a firmware block of " + std::to_string(size) + " bytes";
    return kStatusFailed;
  }
  const std::uint32_t index = Little32(data);
  memory_.blockIndexes.push_back(index);
  if (faults_.fault == SerialFault::kRefuseBlock && index == faults_.value) return kStatusFailed;
  if (index == 0) {  // a new download begins
    memory_.image.clear();
    memory_.nextBlock = 0;
    memory_.trailerSeen = false;
  }
  const std::uint8_t* bytes = data + 4;
  if (index == kTrailerIndex && !memory_.trailerSeen) {
    memory_.image.insert(memory_.image.end(), bytes, bytes + 8);  // a trailer holds 8 bytes
    memory_.trailerSeen = true;
    return wire::kControlDone;
  }
  if (memory_.trailerSeen || index != memory_.nextBlock) {
    memory_.problem = "firmware block " + std::to_string(index) + " came where " +
                      (memory_.trailerSeen ? std::string("nothing") : "block " + std::to_string(memory_.nextBlock)) +
                      " belongs";
    return kStatusOutOfOrder;
  }
  memory_.image.insert(memory_.image.end(), bytes, bytes + 1024);
  ++memory_.nextBlock;
  return wire::kControlDone;
}

}  // namespace devsim
