// The mapping file import: each input is a .cpm file checked and, when the check accepts
// it, applied to a store over the stand-in registry. Every input starts from the same
// registry file: COM1 and COM4 in use by the system, COM2, COM3 and COM7 mapped.
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "platform/registry_sqlite.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/fake_window.h"
#include "store/mapping_file.h"
#include "support/registry_builder.h"
#include "support/registry_snapshot.h"
#include "support/temp_dir.h"

namespace {

struct Scratch {
  testsupport::TempDir dir;
  std::string registryPath = dir.File("registry.db");
  std::string importPath = dir.File("import.cpm");
  std::string preparedBytes;
  std::string preparedSnapshot;
};
// Built on first use, after the switch to tmpfs; removed with its files when the run ends.
Scratch& scratch() {
  static Scratch made;
  return made;
}

void DetectSystemPorts(PortTable& ports) { ports[1] = ports[4] = PORT_PRESENT; }

void Prepare() {
  fuzz::RemoveRegistryFiles(scratch().registryPath);
  {
    std::string failure;
    auto registry = platform::SqliteRegistry::Open(scratch().registryPath, &failure);
    fuzz::Require(registry != nullptr, "the prepared registry opens");
    testsupport::RegistryBuilder builder(*registry);
    testsupport::MappingValues com2;
    com2.ip = "10.0.0.2";
    com2.description = "two";
    testsupport::MappingValues com3;
    com3.enumId = com3.portId = 1;
    com3.model = 0xB370;
    com3.ip = "172.16.4.9";
    com3.autoReconn = 0;
    com3.description = "first line\r\nsecond line";
    testsupport::MappingValues com7;
    com7.enumId = com7.portId = 2;
    com7.model = 0x7316;
    com7.ip = "192.168.1.20";
    com7.port = 15;
    fuzz::Require(builder.WriteMapping("OLMX2", com2) && builder.WriteMapping("OLMX3", com3) &&
                      builder.WriteMapping("OLMX7", com7),
                  "the prepared mappings are written");
  }  // closing the last connection folds the write-ahead log into the file
  scratch().preparedBytes = fuzz::ReadFile(scratch().registryPath);
  scratch().preparedSnapshot = testsupport::RegistrySnapshot(scratch().registryPath);
}

// A store over the registry as it stands, with the system's ports detected.
bool LoadStore(FakeWindow& window, platform::Registry& registry) {
  window.detect = DetectSystemPorts;
  window.store = std::make_unique<TTorl7370PortManager>(&window, registry);
  return window.store->OpenRegistry() && window.store->LoadPorts();
}

// Every COM number has exactly one record, filed under exactly one tree node.
void RequireOneRecordPerPort(FakeWindow& window) {
  const TTorl7370PortManager& store = *window.store;
  std::set<const TTorl7370Port*> records;
  for (int n = 1; n <= 255; ++n) {
    const TTorl7370PortEntry* port = store.ports[static_cast<std::size_t>(n)];
    fuzz::Require(port != nullptr && port != PORT_PRESENT, "every COM number has a record");
    fuzz::Require(port->comNumber == n, "a record sits at its own COM number");
    fuzz::Require(records.insert(port).second, "no record stands for two COM numbers");
  }
  std::size_t filed = 0;
  for (const auto& category : window.root.children)
    for (const auto& node : category->children) {
      fuzz::Require(records.count(node->record) == 1, "a tree node holds a port record");
      ++filed;
    }
  fuzz::Require(filed == records.size(), "every record has exactly one tree node");
}

// What a store loaded afresh from the registry finds equals what the import left in memory.
void RequireRegistryMatches(FakeWindow& window, platform::Registry& registry) {
  FakeWindow reloaded;
  fuzz::Require(LoadStore(reloaded, registry), "the registry loads again after an import");
  fuzz::Require(reloaded.desktop.boxes.empty(), "the reload finds nothing to complain about");
  for (std::size_t n = 1; n <= 255; ++n) {
    const TTorl7370PortEntry& a = *window.store->ports[n];
    const TTorl7370PortEntry& b = *reloaded.store->ports[n];
    fuzz::Require(a.kind == b.kind, "the registry holds the imported model");
    if (!IsModelKind(a.kind)) continue;
    fuzz::Require(a.ipAddress == b.ipAddress && a.devicePort == b.devicePort && a.autoReconn == b.autoReconn,
                  "the registry holds the imported address, port and flag");
    fuzz::Require(std::strcmp(a.description, b.description) == 0, "the registry holds the imported memo");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UseTmpfs();
  scratch();
  Prepare();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::RemoveRegistryFiles(scratch().registryPath);
  fuzz::WriteFile(scratch().registryPath, scratch().preparedBytes);
  fuzz::WriteFile(scratch().importPath, std::string(reinterpret_cast<const char*>(data), size));

  std::string failure;
  auto registry = platform::SqliteRegistry::Open(scratch().registryPath, &failure);
  fuzz::Require(registry != nullptr, "the working copy of the registry opens");
  FakeWindow window;
  fuzz::Require(LoadStore(window, *registry), "the store loads");
  TTorl7370PortManager& store = *window.store;

  MappingFile file;
  fuzz::Require(file.OpenForImport(scratch().importPath), "the import file opens");
  store.importLine = 0;
  const std::uint32_t checked = store.CheckMappingFile(file);
  fuzz::Require(store.importLine >= 1, "a check reads at least one line");
  if (checked != PMERR_NONE) {
    fuzz::Require(checked == PMERR_CPM_FORMAT || checked == PMERR_CPM_SETTING || checked == PMERR_CPM_DUP_COM ||
                      checked == PMERR_CPM_USED_PORT,
                  "a refusal has one of the mapping file's codes");
    fuzz::Require(testsupport::RegistrySnapshot(scratch().registryPath) == scratch().preparedSnapshot,
                  "a refused file changes nothing in the registry");
    RequireOneRecordPerPort(window);
    return 0;
  }
  fuzz::Require(file.Rewind(), "the import file rewinds");
  store.importLine = 0;
  fuzz::Require(store.ApplyMappingFile(file) == PMERR_NONE, "a file the check accepts applies without fault");
  fuzz::Require(window.desktop.boxes.empty(), "applying on a sound registry shows no box");
  RequireOneRecordPerPort(window);
  RequireRegistryMatches(window, *registry);
  return 0;
}
