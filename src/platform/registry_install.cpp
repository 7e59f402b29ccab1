#include "platform/registry_install.h"

#include "platform/clock.h"

namespace platform {
namespace {

const char* const kInstalledKeys[] = {
    "Enum\\OLMXV1X",
    "Enum\\Root\\Ports",
    "System\\CurrentControlSet\\Services\\Class\\Ports",
    "Hardware\\DeviceMap\\SerialComm",
};
const char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kInstallDateValue[] = "FirstInstallDateTime";

}  // namespace

RegResult InstallDriverKeys(Registry& registry) {
  RegKey key = kInvalidKey;
  for (const char* path : kInstalledKeys) {
    RegResult result = registry.CreateKey(kHKeyLocalMachine, path, kKeyWrite, &key, nullptr);
    if (result != kErrorSuccess) return result;
    registry.CloseKey(key);
  }
  RegResult result = registry.CreateKey(kHKeyLocalMachine, kVersionKey, kKeyWrite, &key, nullptr);
  if (result != kErrorSuccess) return result;
  const std::uint32_t installed = LocalDosDateTime();
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(installed), static_cast<std::uint8_t>(installed >> 8),
                                 static_cast<std::uint8_t>(installed >> 16),
                                 static_cast<std::uint8_t>(installed >> 24)};
  result = registry.SetValue(key, kInstallDateValue, kRegBinary, bytes, sizeof(bytes));
  registry.CloseKey(key);
  return result;
}

}  // namespace platform
