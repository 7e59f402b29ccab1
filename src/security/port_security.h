// The security settings of a port of one of the secure models: the TDES method and its
// 32-byte key block, kept in the port's driver key as three values with the key block
// scrambled, first with a fresh seed and then with a value of the machine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

constexpr std::size_t kKeyBlockSize = 32;
// The machine value when the machine has none of its own.
constexpr std::uint32_t kDefaultMachineValue = 0x6A3E5B17;

// The security fields of a port record.
struct PortSecurity {
  PortSecurity();

  std::uint32_t secMethod = 1;      // committed: 0 NONE, 1 TDES
  std::uint32_t secMethodEdit = 1;  // chosen in the window, not yet applied
  std::uint32_t secUserKey = 0;     // committed: 1 when the key block comes from a password
  std::uint32_t secUserKeyEdit = 0;
  std::uint32_t pwdResult = 0;      // what the password dialog left: 0 cleared, 1 entered, 2 cancelled
  char pinText[256] = {};
  std::uint8_t tdesKey[24] = {};
  std::uint8_t tdesTail[8] = {};
};

// The built-in key block into tdesKey and tdesTail; nothing else changes.
void ResetToDefaultKey(PortSecurity& security);
// The settings of a new port, or of a port newly given a secure model.
void ResetSecurityDefaults(PortSecurity& security);

void ScrambleBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t length, std::uint32_t value);
void UnscrambleBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t length, std::uint32_t value);

// The seed of a save: the low half of the time as a FILETIME, plus one draw 0..32767 of
// the standard generator seeded with it.
std::uint32_t MakeSeed(std::uint64_t fileTime);

// The three values "SecSeed", "SecMethod" and "SecSig" of a port key.
void SaveSecurity(const PortSecurity& security, platform::Registry& registry, platform::RegKey portKey,
                  std::uint32_t machineValue, std::uint64_t fileTime);
void LoadSecurity(PortSecurity& security, platform::Registry& registry, platform::RegKey portKey,
                  std::uint32_t machineValue);
void DeleteSecurity(platform::Registry& registry, platform::RegKey portKey);

bool SameKeyBlock(const PortSecurity& a, const PortSecurity& b);
// The target's pending settings and key block become the source's committed ones.
void TakeSecurityFrom(PortSecurity& target, const PortSecurity& source);
// The target's committed and pending settings become the source's pending ones, with its
// key block (the registry write is the caller's).
void CopySecuritySettings(const PortSecurity& source, PortSecurity& target);

// "FirstInstallDateTime" of the installation, or kDefaultMachineValue.
std::uint32_t ReadMachineValue(platform::Registry& registry);
