#include "support/loopback_serial_port.h"

#include <cstring>
#include <map>

namespace testsupport {
namespace {

class LoopbackPort : public platform::SerialPort {
 public:
  explicit LoopbackPort(std::shared_ptr<LoopbackLine> line) : line_(std::move(line)) {}

  bool GetCommState(platform::Dcb* dcb) override {
    return Call(SerialCall::kGetCommState, [&] { *dcb = line_->state; });
  }
  bool SetCommState(const platform::Dcb& dcb) override {
    if (line_->refuses && line_->refuses(dcb)) {
      lastError_ = platform::kSerialErrorInvalidParameter;
      return false;
    }
    return Call(SerialCall::kSetCommState, [&] { line_->state = dcb; });
  }
  bool GetCommTimeouts(platform::CommTimeouts* timeouts) override {
    return Call(SerialCall::kGetCommTimeouts, [&] { *timeouts = line_->timeouts; });
  }
  bool SetCommTimeouts(const platform::CommTimeouts& timeouts) override {
    return Call(SerialCall::kSetCommTimeouts, [&] { line_->timeouts = timeouts; });
  }
  bool PurgeComm(std::uint32_t flags) override {
    return Call(SerialCall::kPurgeComm, [&] {
      if (flags & platform::kPurgeRxClear) line_->echoed.clear();
    });
  }
  bool EscapeCommFunction(std::uint32_t function) override {
    return Call(SerialCall::kEscapeCommFunction, [&] {
      if (function == platform::kSetDtr || function == platform::kClrDtr) line_->dtr = function == platform::kSetDtr;
      if (function == platform::kSetRts || function == platform::kClrRts) line_->rts = function == platform::kSetRts;
    });
  }
  bool GetCommModemStatus(std::uint32_t* status) override {
    return Call(SerialCall::kGetCommModemStatus, [&] {
      // The plug ties DSR and DCD to DTR, CTS and RI to RTS.
      *status = 0;
      if (line_->plugged && line_->dtr) *status |= platform::kMsDsrOn | platform::kMsRlsdOn;
      if (line_->plugged && line_->rts) *status |= platform::kMsCtsOn | platform::kMsRingOn;
    });
  }
  bool ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    return Call(SerialCall::kReadFile, [&] {
      std::uint32_t n = 0;
      for (; n < size && !line_->echoed.empty(); ++n) {
        static_cast<std::uint8_t*>(buffer)[n] = line_->echoed.front();
        line_->echoed.pop_front();
      }
      *transferred = n;
    });
  }
  bool WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    return Call(SerialCall::kWriteFile, [&] {
      const auto* bytes = static_cast<const std::uint8_t*>(buffer);
      line_->written.emplace_back(reinterpret_cast<const char*>(bytes), size);
      if (line_->plugged) line_->echoed.insert(line_->echoed.end(), bytes, bytes + size);
      *transferred = size;
    });
  }
  bool DeviceIoControl(std::uint32_t, const void*, std::uint32_t) override {
    lastError_ = platform::kSerialErrorInvalidFunction;
    return false;
  }
  std::uint32_t LastError() const override { return lastError_; }

 private:
  template <typename Body>
  bool Call(SerialCall call, Body body) {
    std::lock_guard<std::mutex> lock(line_->mutex);
    const auto failing = line_->failing.find(call);
    if (failing != line_->failing.end()) {
      lastError_ = failing->second;
      return false;
    }
    body();
    return true;
  }

  std::shared_ptr<LoopbackLine> line_;
  std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<platform::SerialPort> LoopbackPorts::Open(const std::string& devicePath, std::uint32_t* lastError) {
  if (devicePath != devicePath_) {
    *lastError = platform::kSerialErrorFileNotFound;
    return nullptr;
  }
  return std::make_unique<LoopbackPort>(line_);
}

}  // namespace testsupport
