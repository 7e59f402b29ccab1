#include "store/mapping_values.h"

#include <cstdlib>
#include <cstring>

#include "store/registry_values.h"

bool ReadMappingValues(platform::Registry& registry, platform::RegKey key, MappingKeyValues* values) {
  bool read = ReadDword(registry, key, "IP Address", &values->ipAddress) &&
              ReadDword(registry, key, "Port", &values->port) &&
              ReadString(registry, key, "Description", values->description, sizeof values->description);
  read = read && (values->enumIdRead = ReadDword(registry, key, "EnumID", &values->enumId));
  read = read && (values->portIdRead = ReadDword(registry, key, "PortID", &values->portId));
  if (!read) return false;
  if (!ReadDword(registry, key, "AutoReconn", &values->autoReconn)) values->autoReconn = 0;
  return true;
}

namespace {

// n of "OLMXn" for 1..255 written without leading zeros, else 0.
std::int32_t ComNumberOfKey(const char* name) {
  if (std::strncmp(name, "OLMX", 4) != 0 || name[4] < '1' || name[4] > '9' || std::strlen(name) > 7) return 0;
  for (const char* c = name + 4; *c != '\0'; ++c)
    if (*c < '0' || *c > '9') return 0;
  const long n = std::strtol(name + 4, nullptr, 10);
  return n <= 255 ? static_cast<std::int32_t>(n) : 0;
}

}  // namespace

bool ListMappedPorts(platform::Registry& registry, std::vector<MappedPort>* ports) {
  ports->clear();
  platform::RegKey list = platform::kInvalidKey;
  if (registry.OpenKey(platform::kHKeyLocalMachine, kMappingListPath, platform::kKeyRead, &list) !=
      platform::kErrorSuccess)
    return false;
  char name[256];
  for (std::uint32_t index = 0; registry.EnumKey(list, index, name, sizeof name) == platform::kErrorSuccess;
       ++index) {
    MappedPort port;
    port.comNumber = ComNumberOfKey(name);
    if (port.comNumber == 0) continue;
    platform::RegKey key = platform::kInvalidKey;
    if (registry.OpenKey(list, name, platform::kKeyRead, &key) != platform::kErrorSuccess) continue;
    const bool read = ReadMappingValues(registry, key, &port.values);
    registry.CloseKey(key);
    if (read) ports->push_back(port);
  }
  registry.CloseKey(list);
  return true;
}
