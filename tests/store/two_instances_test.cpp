// Two instances of the utility on one registry file at once: the store of each mapping,
// changing and freeing the same COM numbers, and the real program started twice.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "store/device_models.h"
#include "store/store_process.h"
#include "support/registry_tree.h"
#include "support/temp_dir.h"

namespace {

using Tree = std::map<std::string, std::string>;
using Clock = std::chrono::steady_clock;

const char kMappingList[] = "Enum\\OLMXV1X";
const char kDeviceNodes[] = "Enum\\Root\\Ports";
const char kClassDrivers[] = "System\\CurrentControlSet\\Services\\Class\\Ports";
const char kSerialComm[] = "Hardware\\DeviceMap\\SerialComm";

// One instance's user: for a few seconds maps, changes and frees ports, half of them
// among the COM numbers both instances use.
int WorkOnPorts(const std::string& path, unsigned seed, int ownFirst) {
  StoreOnFile instance(path);
  if (!instance.loaded) return 2;
  std::mt19937 random(seed);
  const auto end = Clock::now() + std::chrono::seconds(3);
  for (int step = 0; Clock::now() < end; ++step) {
    const int n = random() % 2 == 0 ? 1 + static_cast<int>(random() % 6) : ownFirst + static_cast<int>(random() % 6);
    TTorl7370PortEntry* port = instance.store().ports[n];
    if (port == nullptr) return 4;
    const std::int32_t kind = kMappableKinds[random() % std::size(kMappableKinds)];
    const std::uint32_t address = 0x0100000A + (static_cast<std::uint32_t>(random() % 200) << 24);  // 10.0.0.x
    const std::string memo = "step " + std::to_string(step) + " of " + std::to_string(seed);
    if (IsModelKind(port->kind) && random() % 3 == 0)
      port->RemoveMapping();
    else
      port->SetMapping(random() % 2 == 0 && IsModelKind(port->kind) ? port->kind : kind, address, memo.c_str(),
                       random() % 2, 1);
  }
  return 0;
}

std::string Dword(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "4:%02X%02X%02X%02X", value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF,
                value >> 24);
  return text;
}

std::string Sz(const std::string& text) {
  std::string hex = "1:";
  char byte[4];
  for (unsigned char c : text + std::string(1, '\0')) {
    std::snprintf(byte, sizeof byte, "%02X", c);
    hex += byte;
  }
  return hex;
}

std::string Hex4(std::int32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, "%04X", static_cast<unsigned>(number));
  return name;
}

std::size_t ValueCount(const Tree& tree, const std::string& key) {
  std::size_t count = 0;
  for (auto entry = tree.lower_bound(key + " :: "); entry != tree.end() && entry->first.rfind(key + " :: ", 0) == 0;
       ++entry)
    ++count;
  return count;
}

// The subkeys directly under a key.
std::set<std::string> SubKeys(const Tree& tree, const std::string& key) {
  std::set<std::string> names;
  for (const auto& entry : tree) {
    if (entry.first.rfind(key + "\\", 0) != 0) continue;
    const std::string rest = entry.first.substr(key.size() + 1);
    if (rest.find('\\') == std::string::npos && rest.find(" :: ") == std::string::npos) names.insert(rest);
  }
  return names;
}

// What a fresh start finds: every COM number in exactly one category, every mapped port
// with its whole driver keys of its own, and no device keys that no mapping names.
void ExpectConsistent(const std::string& path, const Tree& before) {
  ASSERT_EQ(testsupport::RegistryIntegrity(path), "ok");
  StoreOnFile fresh(path);
  ASSERT_TRUE(fresh.loaded) << fresh.failure << " error " << fresh.window.ErrorCode;
  std::map<std::string, int> filed;
  for (const auto& category : fresh.window.root.children)
    for (const auto& node : category->children) ++filed[node->text];
  EXPECT_EQ(filed.size(), 255u);
  for (int n = 1; n <= 255; ++n) EXPECT_EQ(filed["COM" + std::to_string(n)], 1) << "COM" << n;

  const Tree tree = testsupport::RegistryTree(path);
  std::set<std::string> devices, drivers;
  for (int n = 1; n <= 255; ++n) {
    const TTorl7370PortEntry* port = fresh.store().ports[n];
    if (port == nullptr || !IsModelKind(port->kind)) continue;
    const std::string com = "COM" + std::to_string(n);
    const std::string key = std::string(kMappingList) + "\\OLMX" + std::to_string(n);
    EXPECT_EQ(ValueCount(tree, key), 7u) << key;
    const std::string device = std::string(kDeviceNodes) + "\\" + Hex4(port->enumId);
    const std::string driver = std::string(kClassDrivers) + "\\" + Hex4(port->portId);
    EXPECT_TRUE(devices.insert(device).second) << device << " named by two mappings";
    EXPECT_TRUE(drivers.insert(driver).second) << driver << " named by two mappings";
    EXPECT_EQ(ValueCount(tree, device), 10u) << device;
    EXPECT_EQ(ValueCount(tree, driver), 11u) << driver;
    EXPECT_EQ(tree.count(device + " :: PORTNAME") ? tree.at(device + " :: PORTNAME") : "", Sz(com)) << device;
    EXPECT_EQ(tree.count(device + " :: Driver") ? tree.at(device + " :: Driver") : "", Sz("Ports\\" + Hex4(port->portId)));
    EXPECT_EQ(tree.count(driver + " :: DriverDesc") ? tree.at(driver + " :: DriverDesc") : "",
              Sz("Communications Port (" + com + ")"))
        << driver;
    EXPECT_EQ(tree.count(key + " :: Model") ? tree.at(key + " :: Model") : "", Dword(port->modelCode)) << key;
    const std::string serial = std::string(kSerialComm) + " :: " + com;
    EXPECT_EQ(tree.count(serial) ? tree.at(serial) : "", Sz(com)) << serial;
  }
  for (const std::string& name : SubKeys(tree, kDeviceNodes)) {
    const std::string device = std::string(kDeviceNodes) + "\\" + name;
    EXPECT_TRUE(devices.count(device) || before.count(device)) << device << " belongs to no mapping";
  }
  for (const std::string& name : SubKeys(tree, kClassDrivers)) {
    const std::string driver = std::string(kClassDrivers) + "\\" + name;
    EXPECT_TRUE(drivers.count(driver) || before.count(driver)) << driver << " belongs to no mapping";
  }
}

class TwoInstances : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    ASSERT_TRUE(platform::SqliteRegistry::Open(Registry(), &failure)) << failure;
    before = testsupport::RegistryTree(Registry());
  }
  // COM1 to COM6 mapped before both instances start, so both begin with them mapped.
  void MapSharedPorts() {
    StoreOnFile instance(Registry());
    ASSERT_TRUE(instance.loaded);
    for (int n = 1; n <= 6; ++n) {
      instance.store().ports[n]->SetMapping(kMappableKinds[n], 0x0100000A, "shared", 1, 1);
      ASSERT_TRUE(IsModelKind(instance.store().ports[n]->kind)) << n;
    }
  }
  std::string Registry() { return dir.File("registry.db"); }

  testsupport::TempDir dir;
  Tree before;
};

}  // namespace

TEST_F(TwoInstances, StoresWorkingOnTheSamePortsLeaveAConsistentRegistry) {
  MapSharedPorts();
  const std::string path = Registry();
  const pid_t first = Spawn([&] { return WorkOnPorts(path, 11, 20); });
  const pid_t second = Spawn([&] { return WorkOnPorts(path, 12, 30); });
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(EndOf(status), "exit 0");
  ASSERT_EQ(waitpid(second, &status, 0), second);
  EXPECT_EQ(EndOf(status), "exit 0");
  ExpectConsistent(path, before);
}

TEST_F(TwoInstances, APortMappedByTheOtherInstanceIsNotTakenOver) {
  StoreOnFile first(Registry()), second(Registry());
  ASSERT_TRUE(first.loaded && second.loaded);
  first.store().ports[5]->SetMapping(1, 0x0100000A, "first", 1, 1);
  ASSERT_TRUE(IsModelKind(first.store().ports[5]->kind));
  const Tree mapped = testsupport::RegistryTree(Registry());

  TTorl7370PortEntry& stale = *second.store().ports[5];
  stale.SetMapping(2, 0x0200000A, "second", 0, 1);
  ASSERT_EQ(second.window.desktop.boxes.size(), 1u);
  EXPECT_EQ(second.window.desktop.boxes[0].text, "Creating the value of registry fails");
  EXPECT_EQ(stale.kind, KIND_UNUSED);
  EXPECT_EQ(stale.enumId, -1);
  EXPECT_EQ(stale.portId, -1);
  EXPECT_EQ(testsupport::RegistryTree(Registry()), mapped);
}

TEST_F(TwoInstances, AStaleRecordNeverFreesTheMappingThatReplacedIt) {
  MapSharedPorts();
  StoreOnFile first(Registry()), second(Registry());
  ASSERT_TRUE(first.loaded && second.loaded);
  // The first instance frees COM3, maps COM9 (which takes COM3's old device keys) and
  // COM3 again; the second still holds COM3's first mapping.
  first.store().ports[3]->RemoveMapping();
  first.store().ports[9]->SetMapping(1, 0x0900000A, "nine", 1, 1);
  first.store().ports[3]->SetMapping(1, 0x0300000A, "three", 1, 1);
  TTorl7370PortEntry& stale = *second.store().ports[3];
  ASSERT_EQ(first.store().ports[9]->enumId, stale.enumId);
  const Tree mapped = testsupport::RegistryTree(Registry());

  stale.RemoveMapping();
  ASSERT_EQ(second.window.desktop.boxes.size(), 1u);
  EXPECT_EQ(second.window.desktop.boxes[0].text, "Deleting the value of registry fails");
  EXPECT_TRUE(IsModelKind(stale.kind));  // still mapped in its window
  EXPECT_EQ(testsupport::RegistryTree(Registry()), mapped);
  ExpectConsistent(Registry(), before);
}

#ifdef VEQ_MAPPER_PROGRAM
// Whether a process has a file open (the registry stays open as long as its store lives).
bool HoldsFile(pid_t pid, const std::string& path) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
    if (std::filesystem::read_symlink(entry.path(), error) == path) return true;
  return false;
}

TEST_F(TwoInstances, TheProgramStartedTwiceComesUpAndLeavesTheRegistryWhole) {
  const std::string comDir = dir.File("com");
  ASSERT_EQ(mkdir(comDir.c_str(), 0700), 0);
  auto start = [&] {
    return Spawn([&] {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("VEQ_REGISTRY", Registry().c_str(), 1);
      setenv("VEQ_COM_DIR", comDir.c_str(), 1);
      execl(VEQ_MAPPER_PROGRAM, VEQ_MAPPER_PROGRAM, static_cast<char*>(nullptr));
      return 127;
    });
  };
  const pid_t first = start(), second = start();
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  // Both load the registry and probe all 255 ports before their windows come; a program
  // that fails at start-up ends (or crashes) by then.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_TRUE(HoldsFile(first, Registry()));
  EXPECT_TRUE(HoldsFile(second, Registry()));
  int status = 0;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first instance ended: " << EndOf(status);
  EXPECT_EQ(waitpid(second, &status, WNOHANG), 0) << "the second instance ended: " << EndOf(status);
  kill(first, SIGTERM);
  kill(second, SIGTERM);
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(EndOf(status), "signal 15");
  ASSERT_EQ(waitpid(second, &status, 0), second);
  EXPECT_EQ(EndOf(status), "signal 15");
  EXPECT_EQ(testsupport::RegistryTree(Registry()), before);
  ExpectConsistent(Registry(), before);
}
#endif
