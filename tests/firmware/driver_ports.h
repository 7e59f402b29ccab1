// Ports whose driver control codes go to a simulated driver, so the firmware window can be
// tried without a serial line. A hook may hold a block before the driver sees it.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "support/fake_platform.h"
#include "support/simulated_driver.h"

namespace testsupport {

class DriverPorts : public platform::SerialPorts {
 public:
  explicit DriverPorts(SimulatedDriver& driver) : driver_(driver) {}

  bool refuseOpen = false;
  // Runs on the worker's thread with the index of each block before the driver has it.
  std::function<void(std::uint32_t)> beforeBlock;
  std::vector<std::string> opened;

  std::unique_ptr<platform::SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override {
    opened.push_back(devicePath);
    if (refuseOpen) {
      *lastError = platform::kSerialErrorFileNotFound;
      return nullptr;
    }
    return std::make_unique<Port>(*this, devicePath);
  }

 private:
  class Port : public IdlePort {
   public:
    Port(DriverPorts& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    bool DeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize) override {
      if (code == IOCTL_FIRMWARE_BLOCK && owner_.beforeBlock && inputSize == sizeof(FirmwareBlock)) {
        FirmwareBlock block;
        std::memcpy(&block, input, sizeof block);
        owner_.beforeBlock(block.Index());
      }
      return owner_.driver_.Control(path_, code, input, inputSize, &lastError_);
    }
    std::uint32_t LastError() const override { return lastError_; }

   private:
    DriverPorts& owner_;
    std::string path_;
    std::uint32_t lastError_ = 0;
  };

  SimulatedDriver& driver_;
};

}  // namespace testsupport
