// The stand-in registry opening whatever file it finds: a refused file stays as it was;
// an opened one answers enumeration, queries, writes and deletions without harm.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/registry_sqlite.h"
#include "support/temp_dir.h"

namespace {

using platform::RegKey;

constexpr int kMaxDepth = 4;
constexpr std::uint32_t kMaxChildren = 16;
const char* const kValueNames[] = {"IP Address", "Port", "Model", "Description", "EnumID", "PortID", "AutoReconn",
                                   "FirstInstallDateTime", ""};

struct Scratch {
  testsupport::TempDir dir;
  std::string path = dir.File("registry.db");
};
// Built on first use, after the switch to tmpfs; removed with its files when the run ends.
Scratch& scratch() {
  static Scratch made;
  return made;
}

void QueryValues(platform::SqliteRegistry& registry, RegKey key) {
  for (const char* name : kValueNames) {
    std::uint32_t type = 0, size = 0;
    if (registry.QueryValue(key, name, &type, nullptr, &size) != platform::kErrorSuccess) continue;
    std::vector<std::uint8_t> data(size + 1, 0xCC);
    std::uint32_t room = size;
    const platform::RegResult result = registry.QueryValue(key, name, &type, data.data(), &room);
    fuzz::Require(result != platform::kErrorSuccess || room == size, "a value reads at the size it reported");
    fuzz::Require(data[size] == 0xCC, "a value never writes past the room it reported");
    std::uint8_t small[2] = {0xCC, 0xCC};
    std::uint32_t one = 1;
    if (registry.QueryValue(key, name, &type, small, &one) == platform::kErrorMoreData)
      fuzz::Require(small[1] == 0xCC && one == size, "a value too big for its buffer says its size only");
  }
}

// Walks the keys below key, reading their values, no deeper than kMaxDepth.
void Walk(platform::SqliteRegistry& registry, RegKey key, int depth) {
  QueryValues(registry, key);
  if (depth == kMaxDepth) return;
  for (std::uint32_t index = 0; index < kMaxChildren; ++index) {
    char name[256];
    std::memset(name, 'x', sizeof name);
    const platform::RegResult result = registry.EnumKey(key, index, name, sizeof name);
    if (result != platform::kErrorSuccess) break;
    fuzz::Require(std::memchr(name, '\0', sizeof name) != nullptr, "an enumerated name ends within its buffer");
    RegKey child = platform::kInvalidKey;
    if (registry.OpenKey(key, name, platform::kKeyRead, &child) != platform::kErrorSuccess) continue;
    Walk(registry, child, depth + 1);
    registry.CloseKey(child);
  }
}

void Change(platform::SqliteRegistry& registry) {
  RegKey key = platform::kInvalidKey;
  if (registry.CreateKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9", platform::kKeyWrite, &key, nullptr) ==
      platform::kErrorSuccess) {
    const std::uint8_t port[4] = {2, 0, 0, 0};
    registry.SetValue(key, "Port", platform::kRegDword, port, sizeof port);
    registry.DeleteValue(key, "Port");
    registry.CloseKey(key);
  }
  char first[256];
  if (registry.EnumKey(platform::kHKeyLocalMachine, 0, first, sizeof first) == platform::kErrorSuccess && first[0] != '\0')
    registry.DeleteKey(platform::kHKeyLocalMachine, first);
  registry.DeleteKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UseTmpfs();
  scratch();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzz::RemoveRegistryFiles(scratch().path);
  fuzz::WriteFile(scratch().path, bytes);
  std::string failure;
  auto registry = platform::SqliteRegistry::Open(scratch().path, &failure);
  if (registry == nullptr) {
    fuzz::Require(failure.rfind("Cannot open the registry file \"", 0) == 0, "a refusal says why");
    fuzz::Require(fuzz::ReadFile(scratch().path) == bytes, "a refused file is left as it was");
    return 0;
  }
  Walk(*registry, platform::kHKeyLocalMachine, 0);
  Change(*registry);
  Walk(*registry, platform::kHKeyLocalMachine, 0);
  return 0;
}
