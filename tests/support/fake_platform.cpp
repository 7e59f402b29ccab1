#include "support/fake_platform.h"

#include <cstdlib>

namespace testsupport {

std::unique_ptr<platform::SerialPort> FakeSerialPorts::Open(const std::string& devicePath,
                                                            std::uint32_t* lastError) {
  {
    platform::Locked lock(lock_);
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
