#include <windows.h>

#include "platform/registry.h"

namespace platform {
namespace {

// HKEY_LOCAL_MACHINE is a sign-extended constant on 64-bit builds, so the root is mapped
// by name; every other handle is the system's own value.
HKEY ToHkey(RegKey key) { return key == kHKeyLocalMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key); }
RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

// The calls as they are. RegDeleteKeyA removes a whole subtree only on the Windows 9x
// family, the only one the program runs on.
class Win32Registry : public Registry {
 public:
  RegResult OpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(parent), subKey, 0, access, &opened);
    if (status == ERROR_SUCCESS) *result = FromHkey(opened);
    return status;
  }

  RegResult CreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result,
                      std::uint32_t* disposition) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    char noClass[] = "";
    HKEY created = nullptr;
    DWORD how = 0;
    const LONG status =
        RegCreateKeyExA(ToHkey(parent), subKey, 0, noClass, 0, access, nullptr, &created, &how);
    if (status == ERROR_SUCCESS) {
      *result = FromHkey(created);
      if (disposition != nullptr) *disposition = how;
    }
    return status;
  }

  RegResult EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
    return RegEnumKeyA(ToHkey(key), index, name, nameSize);
  }

  RegResult QueryValue(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataSize) override {
    DWORD valueType = 0;
    DWORD size = dataSize != nullptr ? *dataSize : 0;
    const LONG status = RegQueryValueExA(ToHkey(key), valueName, nullptr, type != nullptr ? &valueType : nullptr,
                                         data, dataSize != nullptr ? &size : nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      if (type != nullptr) *type = valueType;
      if (dataSize != nullptr) *dataSize = size;
    }
    return status;
  }

  RegResult SetValue(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataSize) override {
    return RegSetValueExA(ToHkey(key), valueName, 0, type, data, dataSize);
  }

  RegResult DeleteKey(RegKey key, const char* subKey) override { return RegDeleteKeyA(ToHkey(key), subKey); }

  RegResult DeleteValue(RegKey key, const char* valueName) override {
    return RegDeleteValueA(ToHkey(key), valueName);
  }

  RegResult CloseKey(RegKey key) override { return RegCloseKey(ToHkey(key)); }
};

}  // namespace

std::unique_ptr<Registry> OpenSystemRegistry(std::string* /*failure*/) { return std::make_unique<Win32Registry>(); }

}  // namespace platform
