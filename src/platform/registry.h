// The registry as the driver reads it: HKEY_LOCAL_MACHINE with the calls, result codes
// and value types of the Win32 registry API. The Win32 backend forwards to the real
// calls; elsewhere a file-backed stand-in keeps the same semantics.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

using RegResult = std::int32_t;  // LONG of the Win32 API
using RegKey = std::uintptr_t;   // HKEY

constexpr RegKey kInvalidKey = 0;
constexpr RegKey kHKeyLocalMachine = 0x80000002u;

// Win32 result codes used by the registry layer.
constexpr RegResult kErrorSuccess = 0;
constexpr RegResult kErrorFileNotFound = 2;
constexpr RegResult kErrorAccessDenied = 5;
constexpr RegResult kErrorInvalidHandle = 6;
constexpr RegResult kErrorInvalidParameter = 87;
constexpr RegResult kErrorMoreData = 234;
constexpr RegResult kErrorNoMoreItems = 259;
constexpr RegResult kErrorBadDb = 1009;
constexpr RegResult kErrorKeyDeleted = 1018;

// Value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

// Access masks.
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyWrite = 0x20006;

// Dispositions reported by CreateKey.
constexpr std::uint32_t kRegCreatedNewKey = 1;
constexpr std::uint32_t kRegOpenedExistingKey = 2;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA: opens an existing subkey (an empty or null subKey reopens parent).
  virtual RegResult OpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) = 0;
  // RegCreateKeyExA with class "", options 0: opens or creates every missing level.
  virtual RegResult CreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result,
                              std::uint32_t* disposition) = 0;
  // RegEnumKeyA: the name of subkey number index into a buffer of nameSize bytes.
  virtual RegResult EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) = 0;
  // RegQueryValueExA: type and data may be null; *dataSize is in/out as in Win32.
  virtual RegResult QueryValue(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataSize) = 0;
  // RegSetValueExA: stores exactly dataSize bytes (strings pass their NUL).
  virtual RegResult SetValue(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t dataSize) = 0;
  // RegDeleteKeyA with the Windows 9x meaning: the subkey goes with all below it.
  virtual RegResult DeleteKey(RegKey key, const char* subKey) = 0;
  virtual RegResult DeleteValue(RegKey key, const char* valueName) = 0;
  virtual RegResult CloseKey(RegKey key) = 0;

  // The changes made from BeginChanges up to its EndChanges reach the registry together:
  // a process that dies between them leaves none of them. Pairs may nest. The Win32
  // registry has no such bracket; there each change stands on its own.
  virtual void BeginChanges() {}
  // kErrorSuccess when the bracket's changes are kept.
  virtual RegResult EndChanges() { return kErrorSuccess; }
};

// The machine's registry: the Win32 registry on Windows, the file-backed stand-in
// elsewhere (at $VEQ_REGISTRY, or the user's data directory). On failure returns null
// and describes the reason in *failure.
std::unique_ptr<Registry> OpenSystemRegistry(std::string* failure);

}  // namespace platform
