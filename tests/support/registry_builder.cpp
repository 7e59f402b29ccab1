#include "support/registry_builder.h"

#include <cstdio>

#include "platform/address.h"

namespace testsupport {

using platform::kErrorSuccess;
using platform::kHKeyLocalMachine;

namespace {

std::string KeyNumber(std::int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "%04X", static_cast<unsigned>(n));
  return name;
}

}  // namespace

bool RegistryBuilder::CreateKey(const std::string& path) {
  platform::RegKey key = 0;
  if (registry_.CreateKey(kHKeyLocalMachine, path.c_str(), platform::kKeyWrite, &key, nullptr) != kErrorSuccess)
    return false;
  registry_.CloseKey(key);
  return true;
}

bool RegistryBuilder::DeleteKey(const std::string& parent, const std::string& subKey) {
  platform::RegKey key = 0;
  if (registry_.OpenKey(kHKeyLocalMachine, parent.c_str(), platform::kKeyWrite, &key) != kErrorSuccess) return false;
  const bool deleted = registry_.DeleteKey(key, subKey.c_str()) == kErrorSuccess;
  registry_.CloseKey(key);
  return deleted;
}

bool RegistryBuilder::KeyExists(const std::string& path) {
  platform::RegKey key = 0;
  if (registry_.OpenKey(kHKeyLocalMachine, path.c_str(), platform::kKeyRead, &key) != kErrorSuccess) return false;
  registry_.CloseKey(key);
  return true;
}

bool RegistryBuilder::SetDword(platform::RegKey key, const char* name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return registry_.SetValue(key, name, platform::kRegDword, bytes, 4) == kErrorSuccess;
}

bool RegistryBuilder::WriteMapping(const std::string& subKey, const MappingValues& v) {
  platform::RegKey key = 0;
  const std::string path = "Enum\\OLMXV1X\\" + subKey;
  if (registry_.CreateKey(kHKeyLocalMachine, path.c_str(), platform::kKeyWrite, &key, nullptr) != kErrorSuccess)
    return false;
  bool ok = SetDword(key, "IP Address", platform::InetAddr(v.ip.c_str())) && SetDword(key, "Port", v.port) &&
            registry_.SetValue(key, "Description", platform::kRegSz,
                               reinterpret_cast<const std::uint8_t*>(v.description.c_str()),
                               static_cast<std::uint32_t>(v.description.size() + 1)) == kErrorSuccess;
  if (v.withEnumId) ok = ok && SetDword(key, "EnumID", static_cast<std::uint32_t>(v.enumId));
  if (v.withPortId) ok = ok && SetDword(key, "PortID", static_cast<std::uint32_t>(v.portId));
  if (v.withModel) ok = ok && SetDword(key, "Model", v.model);
  if (v.withAutoReconn) ok = ok && SetDword(key, "AutoReconn", v.autoReconn);
  registry_.CloseKey(key);
  if (v.withDeviceNode) ok = ok && CreateKey("Enum\\Root\\Ports\\" + KeyNumber(v.enumId));
  if (v.withClassDriver) ok = ok && CreateKey("System\\CurrentControlSet\\Services\\Class\\Ports\\" + KeyNumber(v.portId));
  return ok;
}

}  // namespace testsupport
