// Small conveniences over the registry calls, shared by the registry tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace regtest {

inline platform::RegResult SetDword(platform::Registry& registry, platform::RegKey key, const std::string& name,
                                    std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return registry.SetValue(key, name.c_str(), platform::kRegDword, bytes, sizeof(bytes));
}

inline platform::RegResult ReadDword(platform::Registry& registry, platform::RegKey key, const std::string& name,
                                     std::uint32_t* value) {
  std::uint8_t bytes[4] = {};
  std::uint32_t size = sizeof(bytes);
  const platform::RegResult result = registry.QueryValue(key, name.c_str(), nullptr, bytes, &size);
  *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return result;
}

// Opens or creates a key below HKEY_LOCAL_MACHINE; kInvalidKey when that fails.
inline platform::RegKey Create(platform::Registry& registry, const std::string& path) {
  platform::RegKey key = platform::kInvalidKey;
  if (registry.CreateKey(platform::kHKeyLocalMachine, path.c_str(), platform::kKeyWrite, &key, nullptr) !=
      platform::kErrorSuccess) {
    return platform::kInvalidKey;
  }
  return key;
}

// The names of a key's subkeys in enumeration order.
inline std::vector<std::string> Subkeys(platform::Registry& registry, platform::RegKey key) {
  std::vector<std::string> names;
  char name[256];
  for (std::uint32_t index = 0; registry.EnumKey(key, index, name, sizeof(name)) == platform::kErrorSuccess; ++index) {
    names.emplace_back(name);
  }
  return names;
}

}  // namespace regtest
