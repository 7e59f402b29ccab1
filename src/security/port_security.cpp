#include "security/port_security.h"

#include <cstring>

namespace {

// The built-in key block: 24 key bytes, then 8 tail bytes. Chosen once; never change it,
// stored key blocks of default-key ports decode against it.
const std::uint8_t kDefaultKeyBlock[kKeyBlockSize] = {
    0x3C, 0x91, 0x5E, 0x07, 0xA4, 0x6B, 0xD2, 0x18, 0x7F, 0xC3, 0x25, 0x9A, 0x4E, 0xB6, 0x01, 0xE8,
    0x53, 0x2D, 0x86, 0xFA, 0x1C, 0x70, 0xBF, 0x44, 0x0B, 0xD9, 0x62, 0x37, 0xAE, 0x15, 0xC8, 0x7A};

constexpr std::uint32_t kMethodMarker = 0x59000000;

std::uint8_t RotateRight(std::uint8_t b, unsigned n) {
  return n == 0 ? b : static_cast<std::uint8_t>(b >> n | b << (8 - n));
}
std::uint8_t RotateLeft(std::uint8_t b, unsigned n) {
  return n == 0 ? b : static_cast<std::uint8_t>(b << n | b >> (8 - n));
}

struct ScrambleParameters {
  explicit ScrambleParameters(std::uint32_t v)
      : x1(static_cast<std::uint8_t>(v >> 24)), r1((v >> 16) & 7), x2(static_cast<std::uint8_t>(v >> 8)), r2((v >> 4) & 7) {}
  std::uint8_t x1;
  unsigned r1;
  std::uint8_t x2;
  unsigned r2;
};

// A value of exactly the type and size expected; anything else counts as missing.
bool ReadExact(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t type,
               std::uint8_t* data, std::uint32_t size) {
  std::uint32_t readType = 0, readSize = size;
  return registry.QueryValue(key, name, &readType, data, &readSize) == platform::kErrorSuccess &&
         readType == type && readSize == size;
}

bool ReadDwordExact(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t* value) {
  std::uint8_t bytes[4];
  if (!ReadExact(registry, key, name, platform::kRegDword, bytes, 4)) return false;
  *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

void WriteDword(platform::Registry& registry, platform::RegKey key, const char* name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  registry.SetValue(key, name, platform::kRegDword, bytes, 4);
}

void KeyBlockOf(const PortSecurity& security, std::uint8_t (&block)[kKeyBlockSize]) {
  std::memcpy(block, security.tdesKey, sizeof security.tdesKey);
  std::memcpy(block + sizeof security.tdesKey, security.tdesTail, sizeof security.tdesTail);
}

void SetKeyBlock(PortSecurity& security, const std::uint8_t (&block)[kKeyBlockSize]) {
  std::memcpy(security.tdesKey, block, sizeof security.tdesKey);
  std::memcpy(security.tdesTail, block + sizeof security.tdesKey, sizeof security.tdesTail);
}

}  // namespace

PortSecurity::PortSecurity() { ResetToDefaultKey(*this); }

void ResetToDefaultKey(PortSecurity& security) { SetKeyBlock(security, kDefaultKeyBlock); }

void ResetSecurityDefaults(PortSecurity& security) {
  security.secMethod = security.secMethodEdit = 1;
  security.secUserKey = security.secUserKeyEdit = 0;
  security.pinText[0] = '\0';
  ResetToDefaultKey(security);
}

void ScrambleBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t length, std::uint32_t value) {
  const ScrambleParameters p(value);
  for (std::size_t i = 0; i < length; ++i)
    target[i] = RotateRight(static_cast<std::uint8_t>(RotateRight(source[i] ^ p.x1, p.r1) ^ p.x2), p.r2);
}

void UnscrambleBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t length, std::uint32_t value) {
  const ScrambleParameters p(value);
  for (std::size_t i = 0; i < length; ++i)
    target[i] = static_cast<std::uint8_t>(RotateLeft(static_cast<std::uint8_t>(RotateLeft(source[i], p.r2) ^ p.x2), p.r1) ^ p.x1);
}

std::uint32_t MakeSeed(std::uint64_t fileTime) {
  const auto low = static_cast<std::uint32_t>(fileTime);
  // The classic C library generator: one step from the seed, 15 bits out.
  const std::uint32_t next = low * 214013u + 2531011u;
  return low + ((next >> 16) & 0x7FFF);
}

void SaveSecurity(const PortSecurity& security, platform::Registry& registry, platform::RegKey portKey,
                  std::uint32_t machineValue, std::uint64_t fileTime) {
  const std::uint32_t seed = MakeSeed(fileTime);
  std::uint32_t method = 0;
  if (security.secMethod == 1) method = 1 | (security.secUserKey == 0 ? 0x10000 : 0x20000);
  method |= kMethodMarker;
  WriteDword(registry, portKey, "SecSeed", seed);
  WriteDword(registry, portKey, "SecMethod", method ^ seed);
  std::uint8_t block[kKeyBlockSize], once[kKeyBlockSize], twice[kKeyBlockSize];
  KeyBlockOf(security, block);
  ScrambleBytes(block, once, kKeyBlockSize, seed);
  ScrambleBytes(once, twice, kKeyBlockSize, machineValue);
  registry.SetValue(portKey, "SecSig", platform::kRegBinary, twice, kKeyBlockSize);
}

void LoadSecurity(PortSecurity& security, platform::Registry& registry, platform::RegKey portKey,
                  std::uint32_t machineValue) {
  std::uint32_t seed = 0, stored = 0;
  const bool found = ReadDwordExact(registry, portKey, "SecSeed", &seed) &&
                     ReadDwordExact(registry, portKey, "SecMethod", &stored);
  const std::uint32_t method = stored ^ seed;
  if (!found || (method & 0xFF000000) != kMethodMarker) {
    security.secMethod = security.secMethodEdit = 1;
    security.secUserKey = security.secUserKeyEdit = 0;
    ResetToDefaultKey(security);
    return;
  }
  if ((method & 0xFF) != 1) {
    security.secMethod = security.secMethodEdit = 0;
    security.secUserKey = security.secUserKeyEdit = 0;
    ResetToDefaultKey(security);
    return;
  }
  security.secUserKey = security.secUserKeyEdit = ((method >> 16) & 0xFF) == 2 ? 1 : 0;
  std::uint8_t stored32[kKeyBlockSize], once[kKeyBlockSize], block[kKeyBlockSize];
  if (ReadExact(registry, portKey, "SecSig", platform::kRegBinary, stored32, kKeyBlockSize)) {
    UnscrambleBytes(stored32, once, kKeyBlockSize, machineValue);
    UnscrambleBytes(once, block, kKeyBlockSize, seed);
    SetKeyBlock(security, block);
  } else {
    ResetToDefaultKey(security);
  }
  security.secMethod = security.secMethodEdit = 1;
}

void DeleteSecurity(platform::Registry& registry, platform::RegKey portKey) {
  for (const char* value : {"SecSeed", "SecMethod", "SecSig"}) registry.DeleteValue(portKey, value);
}

bool SameKeyBlock(const PortSecurity& a, const PortSecurity& b) {
  return std::memcmp(a.tdesKey, b.tdesKey, sizeof a.tdesKey) == 0 &&
         std::memcmp(a.tdesTail, b.tdesTail, sizeof a.tdesTail) == 0;
}

void TakeSecurityFrom(PortSecurity& target, const PortSecurity& source) {
  target.secMethodEdit = source.secMethod;
  target.secUserKeyEdit = source.secUserKey;
  std::memcpy(target.tdesKey, source.tdesKey, sizeof target.tdesKey);
  std::memcpy(target.tdesTail, source.tdesTail, sizeof target.tdesTail);
}

void CopySecuritySettings(const PortSecurity& source, PortSecurity& target) {
  target.secMethod = target.secMethodEdit = source.secMethodEdit;
  target.secUserKey = target.secUserKeyEdit = source.secUserKeyEdit;
  std::memcpy(target.tdesKey, source.tdesKey, sizeof target.tdesKey);
  std::memcpy(target.tdesTail, source.tdesTail, sizeof target.tdesTail);
}

std::uint32_t ReadMachineValue(platform::Registry& registry) {
  platform::RegKey key = platform::kInvalidKey;
  if (registry.OpenKey(platform::kHKeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       platform::kKeyRead | platform::kKeyWrite, &key) != platform::kErrorSuccess)
    return kDefaultMachineValue;
  std::uint8_t bytes[4];
  std::uint32_t size = sizeof bytes;
  std::uint32_t value = kDefaultMachineValue;
  // A shorter value would leave bytes unread: it counts as missing.
  if (registry.QueryValue(key, "FirstInstallDateTime", nullptr, bytes, &size) == platform::kErrorSuccess &&
      size == sizeof bytes)
    value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  registry.CloseKey(key);
  return value;
}
