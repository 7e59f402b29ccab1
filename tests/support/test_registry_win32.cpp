// The machine's registry as a test registry. The suite owns the machine it runs on (a
// throw-away Wine prefix), so the driver's keys are removed and laid down again.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/registry_install.h"
#include "support/test_registry.h"

namespace testsupport {
namespace {

const char* const kDriverKeys[] = {
    "Enum\\OLMXV1X",
    "Enum\\Root\\Ports",
    "System\\CurrentControlSet\\Services\\Class\\Ports",
    "Hardware\\DeviceMap\\SerialComm",
};

// Bottom-up, so that it works whichever RegDeleteKeyA the system has.
void DeleteTree(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) DeleteTree(key, name);
  RegCloseKey(key);
  RegDeleteKeyA(parent, path.c_str());
}

std::string Hex(const BYTE* data, DWORD size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (DWORD i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

void AppendValues(HKEY key, const std::string& path, const char* only, std::string* out) {
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameSize = sizeof name, type = 0, size = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    std::vector<BYTE> data(size + 1);
    nameSize = sizeof name;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return;
    if (only != nullptr && lstrcmpiA(name, only) != 0) continue;
    *out += path + "|" + name + "|" + std::to_string(type) + "|" + Hex(data.data(), size) + "\n";
  }
}

void AppendTree(HKEY parent, const std::string& path, std::string* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  *out += path + "|\n";
  AppendValues(key, path, nullptr, out);
  char name[256];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index)
    AppendTree(HKEY_LOCAL_MACHINE, path + "\\" + name, out);
  RegCloseKey(key);
}

// The serial device map lives under HARDWARE, which Wine (like Windows NT) keeps volatile:
// a key made there with options 0 is refused (1021). So only its values go, and a test that
// removed the key gets it back as a volatile one.
void EmptyVolatileKey(const char* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  char name[256];
  DWORD size = sizeof name;
  while (RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
    size = sizeof name;
  }
  RegCloseKey(key);
}

}  // namespace

struct TestRegistry::Place {};

TestRegistry::TestRegistry() {
  for (const char* path : kDriverKeys) {
    if (std::string(path).rfind("Hardware\\", 0) == 0)
      EmptyVolatileKey(path);
    else
      DeleteTree(HKEY_LOCAL_MACHINE, path);
  }
  std::string failure;
  registry_ = platform::OpenSystemRegistry(&failure);
  const platform::RegResult installed = registry_ ? platform::InstallDriverKeys(*registry_) : -1;
  if (installed != platform::kErrorSuccess) {
    std::fprintf(stderr, "no test registry: %s (%ld)\n", failure.c_str(), static_cast<long>(installed));
    std::abort();
  }
}

TestRegistry::~TestRegistry() = default;

std::string TestRegistry::Snapshot() const {
  std::string out;
  for (const char* path : kDriverKeys) AppendTree(HKEY_LOCAL_MACHINE, path, &out);
  HKEY version = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &version) ==
      ERROR_SUCCESS) {
    AppendValues(version, "Software\\Microsoft\\Windows\\CurrentVersion", "FirstInstallDateTime", &out);
    RegCloseKey(version);
  }
  return out;
}

std::string TestRegistry::Location() const { return "HKEY_LOCAL_MACHINE"; }

}  // namespace testsupport
