#include "support/fake_platform.h"

#include <cstdlib>

namespace testsupport {
namespace {

// An open port that nothing is plugged into.
class IdlePort : public platform::SerialPort {
 public:
  bool GetCommState(platform::Dcb*) override { return true; }
  bool SetCommState(const platform::Dcb&) override { return true; }
  bool GetCommTimeouts(platform::CommTimeouts*) override { return true; }
  bool SetCommTimeouts(const platform::CommTimeouts&) override { return true; }
  bool PurgeComm(std::uint32_t) override { return true; }
  bool EscapeCommFunction(std::uint32_t) override { return true; }
  bool GetCommModemStatus(std::uint32_t* status) override {
    *status = 0;
    return true;
  }
  bool ReadFile(void*, std::uint32_t, std::uint32_t* transferred) override {
    *transferred = 0;
    return true;
  }
  bool WriteFile(const void*, std::uint32_t size, std::uint32_t* transferred) override {
    *transferred = size;
    return true;
  }
  bool DeviceIoControl(std::uint32_t, const void*, std::uint32_t) override { return false; }
  std::uint32_t LastError() const override { return platform::kSerialErrorInvalidFunction; }
};

}  // namespace

std::unique_ptr<platform::SerialPort> FakeSerialPorts::Open(const std::string& devicePath,
                                                            std::uint32_t* lastError) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back(devicePath);
  }
  const std::string prefix = "\\\\.\\COM";
  if (devicePath.compare(0, prefix.size(), prefix) == 0 &&
      present_.count(std::atoi(devicePath.c_str() + prefix.size())) != 0)
    return std::make_unique<IdlePort>();
  *lastError = platform::kSerialErrorFileNotFound;
  return nullptr;
}

}  // namespace testsupport
