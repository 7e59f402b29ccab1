// The same mappings written by the store on Windows and on the stand-in registry must
// leave the same entries. The Wine stage runs this test twice: in the Windows suite it
// writes the mappings and leaves them for `reg query`; natively it writes them again on a
// stand-in file and compares with what `reg query` printed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/address.h"
#include "store/store_fixture.h"
#include "support/stage_setting.h"
#ifndef _WIN32
#include "support/registry_tree.h"
#endif

namespace {

class RegistryParity : public StoreFixture {
 protected:
  void WriteMappings() {
    ASSERT_TRUE(OpenAndLoad());
    Port(5)->SetMapping(1, platform::InetAddr("10.0.0.5"), "parity one", 1, 2);
    Port(12)->SetMapping(9, platform::InetAddr("192.168.1.40"), "parity two", 0, 1);
    EXPECT_EQ(Port(5)->kind, 1);
    EXPECT_EQ(Port(12)->kind, 9);
    EXPECT_TRUE(window.desktop.boxes.empty());
  }
};

#ifdef _WIN32

TEST_F(RegistryParity, WriteMappingsForRegQuery) {
  if (StageSetting("VEQ_PARITY_WRITE").empty()) GTEST_SKIP() << "the Wine stage's parity run only";
  WriteMappings();
}

#else

// `reg query KEY /s` output as "Path :: Name" -> "type:HEX", the stand-in's own form.
std::map<std::string, std::string> ParseRegQuery(std::istream& in) {
  static const std::map<std::string, std::string> kTypes = {
      {"REG_SZ", "1"}, {"REG_BINARY", "3"}, {"REG_DWORD", "4"}};
  static const char kRoot[] = "HKEY_LOCAL_MACHINE\\";
  std::map<std::string, std::string> entries;
  std::string line, key;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kRoot, 0) == 0) {
      key = line.substr(sizeof kRoot - 1);
      continue;
    }
    if (line.rfind("    ", 0) != 0) continue;
    const std::size_t nameEnd = line.find("    ", 4);
    const std::size_t typeEnd = line.find("    ", nameEnd + 4);
    if (nameEnd == std::string::npos || typeEnd == std::string::npos) continue;
    const std::string name = line.substr(4, nameEnd - 4);
    const std::string type = line.substr(nameEnd + 4, typeEnd - nameEnd - 4);
    const std::string data = line.substr(typeEnd + 4);
    std::ostringstream hex;
    hex << std::uppercase << std::hex;
    if (type == "REG_SZ") {
      for (unsigned char c : data) hex << (c < 16 ? "0" : "") << static_cast<unsigned>(c);
      hex << "00";
    } else if (type == "REG_DWORD") {
      const unsigned long value = std::strtoul(data.c_str(), nullptr, 16);
      for (int shift = 0; shift < 32; shift += 8) {
        const unsigned byte = (value >> shift) & 0xFF;
        hex << (byte < 16 ? "0" : "") << byte;
      }
    } else {
      hex << data;
    }
    const auto known = kTypes.find(type);
    entries[key + " :: " + name] = (known != kTypes.end() ? known->second : type) + ":" + hex.str();
  }
  return entries;
}

// The values under the driver's keys; the moment of installation differs by nature.
std::map<std::string, std::string> DriverValues(const std::map<std::string, std::string>& tree) {
  static const char* const kRoots[] = {"Enum\\OLMXV1X\\", "Enum\\Root\\Ports\\",
                                       "System\\CurrentControlSet\\Services\\Class\\Ports\\",
                                       "Hardware\\DeviceMap\\SerialComm :: "};
  std::map<std::string, std::string> values;
  for (const auto& [path, value] : tree) {
    if (path.find(" :: ") == std::string::npos) continue;
    for (const char* root : kRoots)
      if (path.rfind(root, 0) == 0) values[path] = value;
  }
  return values;
}

TEST_F(RegistryParity, TheStandInHoldsWhatWindowsHolds) {
  const std::string queried = StageSetting("VEQ_PARITY_REG_QUERY");
  if (queried.empty()) GTEST_SKIP() << "the Wine stage's parity run only: VEQ_PARITY_REG_QUERY names its output";
  WriteMappings();
  std::ifstream in(queried, std::ios::binary);
  ASSERT_TRUE(in) << queried;
  const auto windows = DriverValues(ParseRegQuery(in));
  const auto standIn = DriverValues(testsupport::RegistryTree(machine.Location()));
  EXPECT_GT(standIn.size(), 40u);
  EXPECT_EQ(windows, standIn);
}

#endif

}  // namespace
