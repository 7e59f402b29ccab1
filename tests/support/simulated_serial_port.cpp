#include "support/simulated_serial_port.h"

#include <chrono>

namespace testsupport {

SimulatedSerialPort::~SimulatedSerialPort() {
  platform::Locked lock(owner_.lock_);
  owner_.open_ = false;
}

template <typename Body>
bool SimulatedSerialPort::Call(SerialCall call, Body body) {
  platform::Locked lock(owner_.lock_);
  const auto failing = owner_.failing_.find(call);
  if (failing != owner_.failing_.end()) {
    lastError_ = failing->second;
    return false;
  }
  body();
  return true;
}

bool SimulatedSerialPort::GetCommState(platform::Dcb* dcb) {
  return Call(SerialCall::kGetCommState, [&] { *dcb = owner_.state_; });
}

bool SimulatedSerialPort::SetCommState(const platform::Dcb& dcb) {
  bool refused = false;
  const bool called = Call(SerialCall::kSetCommState, [&] {
    refused = owner_.refuses_ && owner_.refuses_(dcb);
    if (refused) return;
    owner_.state_ = dcb;
    // Enable and disable drive the lines as the port takes the setting.
    if (dcb.fDtrControl <= platform::kDtrControlEnable) owner_.dtr_ = dcb.fDtrControl == platform::kDtrControlEnable;
    if (dcb.fRtsControl <= platform::kRtsControlEnable) owner_.rts_ = dcb.fRtsControl == platform::kRtsControlEnable;
  });
  if (refused) lastError_ = platform::kSerialErrorInvalidParameter;
  return called && !refused;
}

bool SimulatedSerialPort::GetCommTimeouts(platform::CommTimeouts* timeouts) {
  return Call(SerialCall::kGetCommTimeouts, [&] { *timeouts = owner_.timeouts_; });
}

bool SimulatedSerialPort::SetCommTimeouts(const platform::CommTimeouts& timeouts) {
  return Call(SerialCall::kSetCommTimeouts, [&] { owner_.timeouts_ = timeouts; });
}

bool SimulatedSerialPort::PurgeComm(std::uint32_t flags) {
  return Call(SerialCall::kPurgeComm, [&] {
    if (flags & platform::kPurgeRxClear) owner_.incoming_.clear();
  });
}

bool SimulatedSerialPort::EscapeCommFunction(std::uint32_t function) {
  return Call(SerialCall::kEscapeCommFunction, [&] {
    if (function == platform::kSetDtr || function == platform::kClrDtr) owner_.dtr_ = function == platform::kSetDtr;
    if (function == platform::kSetRts || function == platform::kClrRts) owner_.rts_ = function == platform::kSetRts;
  });
}

bool SimulatedSerialPort::GetCommModemStatus(std::uint32_t* status) {
  return Call(SerialCall::kGetCommModemStatus, [&] {
    // The plug ties DSR, DCD and RI to DTR, and CTS to RTS.
    *status = 0;
    if (owner_.plugged_ && owner_.dtr_) *status |= platform::kMsDsrOn | platform::kMsRlsdOn | platform::kMsRingOn;
    if (owner_.plugged_ && owner_.rts_) *status |= platform::kMsCtsOn;
  });
}

bool SimulatedSerialPort::ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) {
  std::chrono::milliseconds wait{0};
  if (!Call(SerialCall::kReadFile, [&] {
        // Short of data, the read runs into its total time-out. (A total of zero, which
        // on the platform waits for ever, returns at once here.)
        if (owner_.incoming_.size() < size)
          wait = std::chrono::milliseconds(owner_.timeouts_.ReadTotalTimeoutConstant +
                                           owner_.timeouts_.ReadTotalTimeoutMultiplier * size);
      }))
    return false;
  if (wait.count() > 0) platform::SleepMs(static_cast<std::uint32_t>(wait.count()));
  platform::Locked lock(owner_.lock_);
  std::uint32_t n = 0;
  for (; n < size && !owner_.incoming_.empty(); ++n) {
    static_cast<std::uint8_t*>(buffer)[n] = owner_.incoming_.front();
    owner_.incoming_.pop_front();
  }
  *transferred = n;
  return true;
}

bool SimulatedSerialPort::WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) {
  return Call(SerialCall::kWriteFile, [&] {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    owner_.written_.emplace_back(reinterpret_cast<const char*>(bytes), size);
    if (owner_.plugged_) owner_.incoming_.insert(owner_.incoming_.end(), bytes, bytes + size);
    *transferred = size;
  });
}

bool SimulatedSerialPort::DeviceIoControl(std::uint32_t, const void*, std::uint32_t) {
  lastError_ = platform::kSerialErrorInvalidFunction;
  return false;
}

SimulatedSerialPorts::SimulatedSerialPorts(const std::string& portName) : devicePath_("\\\\.\\" + portName) {}

std::unique_ptr<platform::SerialPort> SimulatedSerialPorts::Open(const std::string& devicePath,
                                                                 std::uint32_t* lastError) {
  platform::Locked lock(lock_);
  if (devicePath != devicePath_) {
    *lastError = platform::kSerialErrorFileNotFound;
    return nullptr;
  }
  if (open_) {
    *lastError = platform::kSerialErrorAccessDenied;
    return nullptr;
  }
  open_ = true;
  return std::make_unique<SimulatedSerialPort>(*this);
}

void SimulatedSerialPorts::SetPlugged(bool plugged) {
  platform::Locked lock(lock_);
  plugged_ = plugged;
}

void SimulatedSerialPorts::Refuse(std::function<bool(const platform::Dcb&)> refuses) {
  platform::Locked lock(lock_);
  refuses_ = std::move(refuses);
}

void SimulatedSerialPorts::Fail(SerialCall call, std::uint32_t error) {
  platform::Locked lock(lock_);
  failing_[call] = error;
}

void SimulatedSerialPorts::Heal() {
  platform::Locked lock(lock_);
  failing_.clear();
}

std::vector<std::string> SimulatedSerialPorts::Written() const {
  platform::Locked lock(lock_);
  return written_;
}

platform::CommTimeouts SimulatedSerialPorts::Timeouts() const {
  platform::Locked lock(lock_);
  return timeouts_;
}

}  // namespace testsupport
