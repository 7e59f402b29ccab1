#include "support/simulated_driver.h"

namespace testsupport {

namespace {
constexpr std::uint32_t kBlockSize = 1028;
}

bool SimulatedDriver::Control(const std::string& devicePath, std::uint32_t code, const void* input,
                              std::uint32_t inputSize, std::uint32_t* lastError) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (code == kIoctlDeviceReboot) {
    reboots_.push_back(devicePath);
    if (refusedReboot_) {
      *lastError = *refusedReboot_;
      return false;
    }
    return true;
  }
  if (code == kIoctlFirmwareBlock && input != nullptr && inputSize == kBlockSize) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    const std::uint32_t index = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    blocks_.push_back({devicePath, index, std::vector<std::uint8_t>(bytes + 4, bytes + kBlockSize)});
    if (refusedBlock_ && refusedBlock_->first == index) {
      *lastError = refusedBlock_->second;
      return false;
    }
    return true;
  }
  *lastError = platform::kSerialErrorInvalidFunction;
  return false;
}

void SimulatedDriver::RefuseBlock(std::uint32_t index, std::uint32_t error) {
  std::lock_guard<std::mutex> lock(mutex_);
  refusedBlock_ = std::make_pair(index, error);
}

void SimulatedDriver::RefuseReboot(std::uint32_t error) {
  std::lock_guard<std::mutex> lock(mutex_);
  refusedReboot_ = error;
}

std::vector<RecordedBlock> SimulatedDriver::Blocks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return blocks_;
}

std::vector<std::string> SimulatedDriver::Reboots() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reboots_;
}

}  // namespace testsupport
