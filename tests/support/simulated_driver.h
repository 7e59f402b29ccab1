// Stands in for the virtual serial port driver behind its two control codes: records every
// request, every firmware block and reboot request (refused ones too), and can refuse a
// chosen block or the reboot. Safe to call from a worker while the test thread reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/thread.h"
#include "store/driver_interface.h"

namespace testsupport {

struct DriverRequest {
  std::string devicePath;
  std::uint32_t code;
  std::vector<std::uint8_t> input;
};

struct RecordedBlock {
  std::string devicePath;
  std::uint32_t index;
  std::vector<std::uint8_t> data;  // the 1024 data bytes
};

class SimulatedDriver : public platform::DriverControl {
 public:
  bool Control(const std::string& devicePath, std::uint32_t code, const void* input, std::uint32_t inputSize,
               std::uint32_t* lastError) override;

  // The block with this index, or the reboot, is refused with the given error.
  void RefuseBlock(std::uint32_t index, std::uint32_t error = platform::kSerialErrorGenFailure);
  void RefuseReboot(std::uint32_t error = platform::kSerialErrorGenFailure);

  std::vector<DriverRequest> Requests();
  std::vector<RecordedBlock> Blocks();
  std::vector<std::string> Reboots();

 private:
  platform::Lock lock_;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> refusedBlock_;
  std::optional<std::uint32_t> refusedReboot_;
  std::vector<DriverRequest> requests_;
  std::vector<RecordedBlock> blocks_;
  std::vector<std::string> reboots_;
};

}  // namespace testsupport
