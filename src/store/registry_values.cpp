#include "store/registry_values.h"

#include <cstdio>
#include <cstring>

bool ReadDword(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t* value) {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  std::uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != platform::kErrorSuccess) return false;
  *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

bool ReadString(platform::Registry& registry, platform::RegKey key, const char* name, char* buffer,
                std::uint32_t size) {
  std::memset(buffer, 0, size);
  std::uint32_t read = size;
  if (registry.QueryValue(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &read) !=
      platform::kErrorSuccess)
    return false;
  // A value stored without its terminator must not run past the buffer.
  buffer[size - 1] = '\0';
  return true;
}

void FormatKeyNumber(char (&name)[16], std::int32_t number) {
  std::snprintf(name, sizeof name, "%04X", static_cast<std::uint32_t>(number));
}

bool WriteDword(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return registry.SetValue(key, name, platform::kRegDword, bytes, sizeof bytes) == platform::kErrorSuccess;
}

bool WriteString(platform::Registry& registry, platform::RegKey key, const char* name, const char* text) {
  return registry.SetValue(key, name, platform::kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                           static_cast<std::uint32_t>(std::strlen(text) + 1)) == platform::kErrorSuccess;
}

bool WriteBinary(platform::Registry& registry, platform::RegKey key, const char* name, const std::uint8_t* bytes,
                 std::uint32_t size) {
  return registry.SetValue(key, name, platform::kRegBinary, bytes, size) == platform::kErrorSuccess;
}

SavedValue SaveValue(platform::Registry& registry, platform::RegKey key, const char* name) {
  SavedValue saved;
  std::uint32_t size = 0;
  if (registry.QueryValue(key, name, &saved.type, nullptr, &size) != platform::kErrorSuccess) return saved;
  saved.bytes.resize(size);
  if (registry.QueryValue(key, name, &saved.type, saved.bytes.data(), &size) != platform::kErrorSuccess)
    return SavedValue();
  saved.bytes.resize(size);
  saved.present = true;
  return saved;
}

bool RestoreValue(platform::Registry& registry, platform::RegKey key, const char* name, const SavedValue& saved) {
  if (!saved.present) {
    const platform::RegResult result = registry.DeleteValue(key, name);
    return result == platform::kErrorSuccess || result == platform::kErrorFileNotFound;
  }
  return registry.SetValue(key, name, saved.type, saved.bytes.data(),
                           static_cast<std::uint32_t>(saved.bytes.size())) == platform::kErrorSuccess;
}
