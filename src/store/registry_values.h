// Reading registry values in the forms the driver's keys hold them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/registry.h"

// A REG_DWORD, 4 bytes, little-endian. False when it cannot be read into 4 bytes.
bool ReadDword(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t* value);
// A string into a buffer of size bytes; the result is always NUL-terminated. False when
// it cannot be read or does not fit.
bool ReadString(platform::Registry& registry, platform::RegKey key, const char* name, char* buffer,
                std::uint32_t size);
// Writing: REG_DWORD little-endian, REG_SZ with its NUL counted, REG_BINARY as given.
bool WriteDword(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t value);
bool WriteString(platform::Registry& registry, platform::RegKey key, const char* name, const char* text);
bool WriteBinary(platform::Registry& registry, platform::RegKey key, const char* name, const std::uint8_t* bytes,
                 std::uint32_t size);
// The subkey name of a key number: 4 upper-case hex digits.
void FormatKeyNumber(char (&name)[16], std::int32_t number);

// A value as it stood, to put back after a write that could not be completed.
struct SavedValue {
  bool present = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};
SavedValue SaveValue(platform::Registry& registry, platform::RegKey key, const char* name);
bool RestoreValue(platform::Registry& registry, platform::RegKey key, const char* name, const SavedValue& saved);

// Writes values in order into one key, stopping at the first that fails.
class ValueWriter {
 public:
  ValueWriter(platform::Registry& registry, platform::RegKey key) : registry_(registry), key_(key) {}
  ValueWriter& Dword(const char* name, std::uint32_t value) {
    ok_ = ok_ && WriteDword(registry_, key_, name, value);
    return *this;
  }
  ValueWriter& String(const char* name, const char* text) {
    ok_ = ok_ && WriteString(registry_, key_, name, text);
    return *this;
  }
  ValueWriter& Binary(const char* name, const std::uint8_t* bytes, std::uint32_t size) {
    ok_ = ok_ && WriteBinary(registry_, key_, name, bytes, size);
    return *this;
  }
  bool ok() const { return ok_; }

 private:
  platform::Registry& registry_;
  platform::RegKey key_;
  bool ok_ = true;
};

// The registry changes of one store operation, kept together: a process that dies in the
// middle leaves all of them or none (where the registry can; see BeginChanges).
class ChangeBracket {
 public:
  explicit ChangeBracket(platform::Registry& registry) : registry_(registry) { registry_.BeginChanges(); }
  ~ChangeBracket() {
    if (open_) registry_.EndChanges();
  }
  ChangeBracket(const ChangeBracket&) = delete;
  ChangeBracket& operator=(const ChangeBracket&) = delete;
  // False when the changes could not be kept: then none of them was.
  bool End() {
    open_ = false;
    return registry_.EndChanges() == platform::kErrorSuccess;
  }

 private:
  platform::Registry& registry_;
  bool open_ = true;
};
