// An import of a whole .cpm file killed at random points: the registry stays readable, and
// the next start finds each mapping whole or gone, and nothing else touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_file.h"
#include "store/store_process.h"
#include "support/registry_builder.h"
#include "support/registry_tree.h"
#include "support/temp_dir.h"

namespace {

using Tree = std::map<std::string, std::string>;

const char kMappingList[] = "Enum\\OLMXV1X";
const char kDeviceNodes[] = "Enum\\Root\\Ports";
const char kClassDrivers[] = "System\\CurrentControlSet\\Services\\Class\\Ports";
const char kSerialComm[] = "Hardware\\DeviceMap\\SerialComm";

// Every COM number, each with a model, address, port, flag and memo of its own; lines end
// in CR LF as on disk.
std::string WholeMachineFile() {
  static const char* const kModels[] = {"7370", "7371", "7304", "b370", "b371", "7308", "7316", "c370", "c371"};
  std::string text = "[VEQ COMPORT MAPPING]\r\nVersion = 1.20\r\n\r\n";
  for (int n = 1; n <= 255; ++n) {
    char section[160];
    std::snprintf(section, sizeof section,
                  "[COM%d]\r\nModel = %s\r\nIP Address = 10.1.%d.%d\r\nPort = 1\r\nAutoReconn = %d\r\n"
                  "Memo001 = port %d\r\n\r\n",
                  n, kModels[n % 9], n / 100 + 1, n % 100 + 1, n % 2, n);
    text += section;
  }
  return text;
}

// What is already in the registry before the import: keys and values of others, and
// device keys that are not the driver's mappings, so the import has to pass over them.
void FillOthers(platform::Registry& registry) {
  testsupport::RegistryBuilder builder(registry);
  for (const char* path : {"Enum\\Root\\Ports\\0000", "Enum\\Root\\Ports\\0002",
                           "System\\CurrentControlSet\\Services\\Class\\Ports\\0001", "Software\\Other\\Program"})
    ASSERT_TRUE(builder.CreateKey(path)) << path;
  platform::RegKey key = platform::kInvalidKey;
  ASSERT_EQ(registry.OpenKey(platform::kHKeyLocalMachine, "Software\\Other\\Program", platform::kKeyWrite, &key),
            platform::kErrorSuccess);
  const std::uint8_t bytes[] = {'k', 'e', 'e', 'p', 0};
  EXPECT_EQ(registry.SetValue(key, "Setting", platform::kRegSz, bytes, sizeof bytes), platform::kErrorSuccess);
  registry.CloseKey(key);
  ASSERT_EQ(registry.OpenKey(platform::kHKeyLocalMachine, kSerialComm, platform::kKeyWrite, &key),
            platform::kErrorSuccess);
  const std::uint8_t port[] = {'/', 'd', 'e', 'v', '/', 'x', 0};
  EXPECT_EQ(registry.SetValue(key, "Serial0", platform::kRegSz, port, sizeof port), platform::kErrorSuccess);
  registry.CloseKey(key);
}

bool Within(const std::string& entry, const std::string& keyPath) {
  return entry == keyPath || entry.rfind(keyPath + "\\", 0) == 0 || entry.rfind(keyPath + " :: ", 0) == 0;
}

// The key number a DWORD value names, as the "%04X" subkey name; empty when the value is
// missing.
std::string KeyNumber(const Tree& tree, const std::string& valuePath) {
  const auto found = tree.find(valuePath);
  if (found == tree.end() || found->second.size() != 2 + 8) return "";
  const std::string& hex = found->second;  // "4:" then the four bytes, lowest first
  const unsigned number = std::stoul(hex.substr(8, 2) + hex.substr(6, 2) + hex.substr(4, 2) + hex.substr(2, 2),
                                     nullptr, 16);
  char name[16];
  std::snprintf(name, sizeof name, "%04X", number);
  return name;
}

// Every key and value that the mapping of COM n consists of in a registry.
Tree MappingOf(const Tree& tree, int n) {
  const std::string port = std::string(kMappingList) + "\\OLMX" + std::to_string(n);
  const std::string device = std::string(kDeviceNodes) + "\\" + KeyNumber(tree, port + " :: EnumID");
  const std::string driver = std::string(kClassDrivers) + "\\" + KeyNumber(tree, port + " :: PortID");
  const std::string serial = std::string(kSerialComm) + " :: COM" + std::to_string(n);
  Tree mapping;
  for (const auto& entry : tree)
    if (Within(entry.first, port) || Within(entry.first, device) || Within(entry.first, driver) ||
        entry.first == serial)
      mapping.insert(entry);
  return mapping;
}

// The entries of after that before does not hold or holds otherwise.
Tree Added(const Tree& before, const Tree& after) {
  Tree added;
  for (const auto& entry : after) {
    const auto found = before.find(entry.first);
    if (found == before.end() || found->second != entry.second) added.insert(entry);
  }
  return added;
}

std::string Listing(const Tree& tree) {
  std::string text;
  for (const auto& entry : tree) text += "  " + entry.first + " = " + entry.second + "\n";
  return text;
}

// The number of port keys under the mapping list, read beside the importing process.
int PortKeyCount(sqlite3* db) {
  static const char kQuery[] =
      "SELECT count(*) FROM keys WHERE parent = (SELECT id FROM keys WHERE name = 'OLMXV1X' AND parent = "
      "(SELECT id FROM keys WHERE name = 'Enum' AND parent = 1))";
  sqlite3_stmt* statement = nullptr;
  int count = 0;
  if (sqlite3_prepare_v2(db, kQuery, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
    count = sqlite3_column_int(statement, 0);
  sqlite3_finalize(statement);
  return count;
}

class ImportCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::string failure;
      auto registry = platform::SqliteRegistry::Open(Pristine(), &failure);
      ASSERT_TRUE(registry) << failure;
      FillOthers(*registry);
    }
    std::ofstream(File(), std::ios::binary) << WholeMachineFile();
    before = testsupport::RegistryTree(Pristine());
    ASSERT_FALSE(before.empty());

    // What a completed import writes, on a copy of the same registry.
    std::filesystem::copy_file(Pristine(), dir.File("complete.db"));
    StoreOnFile complete(dir.File("complete.db"));
    ASSERT_TRUE(complete.loaded);
    ASSERT_EQ(Import(complete), PMERR_NONE);
    complete.window.store.reset();
    complete.registry.reset();
    completed = testsupport::RegistryTree(dir.File("complete.db"));
    for (const auto& entry : before) EXPECT_EQ(completed[entry.first], entry.second) << entry.first;
    for (int n = 1; n <= 255; ++n) ASSERT_EQ(MappingOf(completed, n).size(), 8u + 11 + 12 + 1) << n;  // three keys with their values, one value
  }

  std::string Pristine() { return dir.File("pristine.db"); }
  std::string File() { return dir.File("all.cpm"); }
  std::uint32_t Import(StoreOnFile& instance) {
    MappingFile file;
    if (!file.OpenForImport(File())) return PMERR_IMPORT_OPEN;
    return instance.store().ImportMappings(file);
  }

  // Starts the import in a child on a fresh copy of the registry, kills it once `written`
  // port keys are there and `delayUs` more have passed, and checks what the next start
  // finds. Returns the number of mappings that survived.
  int KillAndReload(const std::string& name, int written, int delayUs) {
    const std::string path = dir.File(name);
    std::filesystem::copy_file(Pristine(), path);
    const pid_t child = Spawn([&] {
      StoreOnFile instance(path);
      if (!instance.loaded) return 2;
      return Import(instance) == PMERR_NONE ? 0 : 3;
    });
    EXPECT_GT(child, 0);
    if (child <= 0) return -1;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, 1000);
    // No deadline of its own: an instrumented build on a loaded machine may take minutes
    // to get there, and CTest's time-out still ends a run that never does.
    int status = 0;
    pid_t ended = 0;
    while (PortKeyCount(db) < written && (ended = waitpid(child, &status, WNOHANG)) == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    sqlite3_close(db);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    EXPECT_EQ(ended, 0) << "the import ended with " << EndOf(status) << " before " << written << " port keys";
    if (ended != 0) return -1;
    kill(child, SIGKILL);
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(EndOf(status), "signal 9") << "the import ended before it could be killed";

    EXPECT_EQ(testsupport::RegistryIntegrity(path), "ok");
    StoreOnFile next(path);
    EXPECT_TRUE(next.loaded) << next.failure << " error " << next.window.ErrorCode;
    if (!next.loaded) return -1;
    const Tree after = testsupport::RegistryTree(path);

    // Each mapped port holds exactly what the completed import wrote for it; the others
    // hold nothing of theirs.
    Tree expected = before;
    int mapped = 0;
    for (int n = 1; n <= 255; ++n) {
      const TTorl7370PortEntry* port = next.store().ports[n];
      EXPECT_NE(port, nullptr) << n;
      if (port == nullptr || !IsModelKind(port->kind)) continue;
      ++mapped;
      const Tree whole = MappingOf(completed, n);
      EXPECT_EQ(MappingOf(after, n), whole) << "COM" << n << " is mapped but not whole";
      expected.insert(whole.begin(), whole.end());
    }
    EXPECT_EQ(Added(expected, after), Tree()) << "left behind by the killed import:\n" << Listing(Added(expected, after));
    EXPECT_EQ(Added(after, expected), Tree()) << "lost:\n" << Listing(Added(after, expected));
    return mapped;
  }

  testsupport::TempDir dir;
  Tree before, completed;
};

}  // namespace

TEST_F(ImportCrash, EveryMappingIsWholeOrGoneAndNothingElseChanges) {
  std::mt19937 random(20261208);
  const int points[] = {1, 2, 30, 90, 160, 200, 230};
  int round = 0;
  for (int written : points) {
    const int delayUs = static_cast<int>(random() % 2000);
    SCOPED_TRACE("killed after " + std::to_string(written) + " port keys and " + std::to_string(delayUs) + " us");
    const int mapped = KillAndReload("round" + std::to_string(++round) + ".db", written, delayUs);
    EXPECT_GE(mapped, written);  // every port key seen was part of a whole mapping
  }
}
