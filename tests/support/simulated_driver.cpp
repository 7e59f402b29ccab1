#include "support/simulated_driver.h"

#include <cstring>

namespace testsupport {

bool SimulatedDriver::Control(const std::string& devicePath, std::uint32_t code, const void* input,
                              std::uint32_t inputSize, std::uint32_t* lastError) {
  platform::Locked lock(lock_);
  const auto* bytes = static_cast<const std::uint8_t*>(input);
  requests_.push_back({devicePath, code,
                       bytes != nullptr ? std::vector<std::uint8_t>(bytes, bytes + inputSize) : std::vector<std::uint8_t>()});
  if (code == IOCTL_DEVICE_REBOOT) {
    reboots_.push_back(devicePath);
    if (refusedReboot_) {
      *lastError = *refusedReboot_;
      return false;
    }
    return true;
  }
  if (code == IOCTL_FIRMWARE_BLOCK) {
    if (input == nullptr || inputSize != sizeof(FirmwareBlock)) {
      *lastError = platform::kSerialErrorInvalidParameter;
      return false;
    }
    FirmwareBlock block;
    std::memcpy(&block, input, sizeof block);
    const std::uint32_t index = block.Index();
    blocks_.push_back({devicePath, index, std::vector<std::uint8_t>(block.Data, block.Data + sizeof block.Data)});
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
  platform::Locked lock(lock_);
  refusedBlock_ = std::make_pair(index, error);
}

void SimulatedDriver::RefuseReboot(std::uint32_t error) {
  platform::Locked lock(lock_);
  refusedReboot_ = error;
}

std::vector<DriverRequest> SimulatedDriver::Requests() {
  platform::Locked lock(lock_);
  return requests_;
}

std::vector<RecordedBlock> SimulatedDriver::Blocks() {
  platform::Locked lock(lock_);
  return blocks_;
}

std::vector<std::string> SimulatedDriver::Reboots() {
  platform::Locked lock(lock_);
  return reboots_;
}

}  // namespace testsupport
