// Builds driver registry contents for tests: keys by path and whole mapping entries.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace testsupport {

// What a mapping entry holds; each value can be left out.
struct MappingValues {
  std::int32_t enumId = 0;
  std::int32_t portId = 0;
  std::uint32_t model = 0x7370;
  std::string ip = "10.0.0.1";
  std::uint32_t port = 1;
  std::string description = "memo";
  std::uint32_t autoReconn = 1;
  bool withEnumId = true, withPortId = true, withModel = true, withAutoReconn = true;
  bool withDeviceNode = true, withClassDriver = true;
};

class RegistryBuilder {
 public:
  explicit RegistryBuilder(platform::Registry& registry) : registry_(registry) {}

  // Creates the key at a path under HKEY_LOCAL_MACHINE; false when it cannot.
  bool CreateKey(const std::string& path);
  bool DeleteKey(const std::string& parent, const std::string& subKey);
  bool KeyExists(const std::string& path);
  // Writes the port key subKey under the mapping list with the given values, and the
  // device node and class driver keys it names.
  bool WriteMapping(const std::string& subKey, const MappingValues& values);

 private:
  bool SetDword(platform::RegKey key, const char* name, std::uint32_t value);

  platform::Registry& registry_;
};

}  // namespace testsupport
