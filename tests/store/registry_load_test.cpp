#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/store_fixture.h"

namespace {

class RegistryLoad : public StoreFixture {
 protected:
  // Every COM number has exactly one record, in exactly one category, shown by one node.
  void ExpectEveryComNumberFiledOnce() {
    std::set<TTorl7370Port*> seen;
    int nodes = 0;
    for (auto& category : window.root.children) {
      for (auto& child : category->children) {
        ++nodes;
        auto* entry = static_cast<TTorl7370PortEntry*>(child->record);
        EXPECT_TRUE(seen.insert(entry).second);
        EXPECT_EQ(entry->node, child.get());
        EXPECT_EQ(entry->GetHeader()->node, category.get());
        EXPECT_EQ(CategoryIdOfKind(entry->kind), entry->GetHeader()->kind);
      }
    }
    EXPECT_EQ(nodes, 255);
    for (int n = 1; n <= 255; ++n) {
      ASSERT_NE(Port(n), nullptr) << n;
      ASSERT_NE(Port(n), PORT_PRESENT) << n;
      EXPECT_EQ(Port(n)->comNumber, n);
      EXPECT_EQ(seen.count(Port(n)), 1u);
    }
  }
  bool MappingExists(const std::string& subKey) { return KeyExists("Enum\\OLMXV1X\\" + subKey); }
  // The mapping keys in the order the registry enumerates them: creation order on
  // Windows 9x and the stand-in, alphabetical on Wine (as on Windows NT).
  std::vector<std::string> MappingKeysInOrder() {
    std::vector<std::string> names;
    platform::RegKey list = platform::kInvalidKey;
    if (registry->OpenKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X", platform::kKeyRead, &list) != 0) return names;
    char name[256];
    for (std::uint32_t i = 0; registry->EnumKey(list, i, name, sizeof name) == 0; ++i) names.push_back(name);
    registry->CloseKey(list);
    return names;
  }
};

}  // namespace

TEST_F(RegistryLoad, EmptyMappingListGivesUsedAndUnusedPortsOnly) {
  window.detect = [](PortTable& ports) {
    ports[1] = PORT_PRESENT;
    ports[2] = PORT_PRESENT;
  };
  ASSERT_TRUE(OpenAndLoad());
  EXPECT_EQ(window.detections, 1);
  EXPECT_EQ(window.ChildTexts("Used Ports"), (std::vector<std::string>{"COM1", "COM2"}));
  EXPECT_EQ(window.ChildTexts("Unused Ports").size(), 253u);
  EXPECT_EQ(window.ChildTexts("Unused Ports").front(), "COM3");
  EXPECT_EQ(Port(1)->kind, KIND_USED);
  EXPECT_EQ(Port(3)->kind, KIND_UNUSED);
  for (int n = 0; n < 256; ++n) EXPECT_EQ(window.MappedAtStart[n], 0);
  EXPECT_GE(window.sorts, 1);
  EXPECT_GE(window.repaints, 1);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, AMappedPortLoadsUnderItsModelWithAllItsValues) {
  MappingValues values;
  values.enumId = 3;
  values.portId = 0x1A;
  values.model = 0x7316;
  values.ip = "192.168.7.20";
  values.port = 12;
  values.description = "Line one\r\nLine two";
  CreateKey("Enum\\Root\\Ports\\0000");
  WriteMapping("OLMX5", values);
  std::vector<TTorl7370PortEntry*> seenByDetection;
  window.detect = [&](PortTable& ports) { seenByDetection.push_back(ports[5]); };
  ASSERT_TRUE(OpenAndLoad());

  EXPECT_NE(seenByDetection.at(0), nullptr);  // detection must see the mapped port's record
  TTorl7370PortEntry* port = Port(5);
  EXPECT_EQ(port->kind, 7);
  EXPECT_EQ(port->modelCode, 0x7316u);
  EXPECT_EQ(port->ipAddress, platform::InetAddr("192.168.7.20"));
  EXPECT_STREQ(port->ipText, "192.168.7.20");
  EXPECT_EQ(port->devicePort, 11);
  EXPECT_EQ(port->devicePortEdit, 11);
  EXPECT_STREQ(port->description, "Line one\r\nLine two");
  EXPECT_EQ(port->enumId, 3);
  EXPECT_EQ(port->portId, 0x1A);
  EXPECT_EQ(port->autoReconn, 1u);
  EXPECT_EQ(port->autoReconnEdit, 1u);
  EXPECT_EQ(port->flags, 0u);
  EXPECT_EQ(window.MappedAtStart[5], 1);
  EXPECT_EQ(window.ChildTexts("VEQ7316(R)+ Ports"), (std::vector<std::string>{"COM5"}));
  EXPECT_EQ(window.knownAddresses, (std::vector<std::string>{"192.168.7.20"}));
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, BrokenAndForeignEntriesAreDeletedAndTheScanGoesOn) {
  CreateKey("Enum\\OLMXV1X\\XYZ");
  MappingValues noDeviceNode;
  noDeviceNode.enumId = 9;
  noDeviceNode.withDeviceNode = false;
  WriteMapping("OLMX3", noDeviceNode);
  MappingValues noModel;
  noModel.enumId = 1;
  noModel.portId = 1;
  noModel.withModel = false;
  WriteMapping("OLMX4", noModel);
  MappingValues noPortId;
  noPortId.withPortId = false;
  WriteMapping("OLMX6", noPortId);
  MappingValues noClassDriver;
  noClassDriver.portId = 0x44;
  noClassDriver.withClassDriver = false;
  WriteMapping("OLMX8", noClassDriver);
  WriteMapping("OLMX10", MappingValues());  // the next one after the broken ones
  ASSERT_TRUE(OpenAndLoad());

  for (const char* gone : {"XYZ", "OLMX3", "OLMX4", "OLMX6", "OLMX8"}) EXPECT_FALSE(MappingExists(gone)) << gone;
  EXPECT_TRUE(MappingExists("OLMX10"));
  // What the broken entries named stays in place.
  EXPECT_TRUE(KeyExists("System\\CurrentControlSet\\Services\\Class\\Ports\\0000"));
  EXPECT_EQ(Port(10)->kind, 1);
  EXPECT_EQ(window.MappedAtStart[10], 1);
  for (int n : {3, 4, 6, 8}) {
    EXPECT_EQ(Port(n)->kind, KIND_UNUSED) << n;
    EXPECT_EQ(window.MappedAtStart[n], 0) << n;
  }
  // The last broken entry's code stays recorded, unshown.
  EXPECT_EQ(window.ErrorCode, PMERR_REG_DRIVER);
  EXPECT_TRUE(window.desktop.boxes.empty());
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, EntriesOfUnacceptedModelsLoadAsUsedPortsAndStay) {
  MappingValues secure;
  secure.model = 0xA370;
  WriteMapping("OLMX11", secure);
  MappingValues unknown;
  unknown.model = 0x1234;
  unknown.enumId = 1;
  unknown.portId = 1;
  WriteMapping("OLMX12", unknown);
  ASSERT_TRUE(OpenAndLoad());
  for (int n : {11, 12}) {
    EXPECT_EQ(Port(n)->kind, KIND_USED);
    EXPECT_STREQ(Port(n)->description, "The port can not be configured by this program.");
    EXPECT_EQ(Port(n)->devicePort, -1);
    EXPECT_EQ(Port(n)->enumId, -1);
    EXPECT_EQ(window.MappedAtStart[n], 1);
  }
  EXPECT_TRUE(MappingExists("OLMX11"));
  EXPECT_TRUE(MappingExists("OLMX12"));
  EXPECT_EQ(window.ChildTexts("Used Ports"), (std::vector<std::string>{"COM11", "COM12"}));
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, DuplicateAndOutOfRangePortNamesAreRecordedAndKept) {
  WriteMapping("OLMX7", MappingValues());
  MappingValues second;
  second.ip = "10.0.0.2";
  WriteMapping("OLMX07", second);
  WriteMapping("OLMX0", MappingValues());
  WriteMapping("OLMX300", MappingValues());
  ASSERT_TRUE(Open());
  ASSERT_TRUE(store().LoadPorts());
  // The first of OLMX7 and OLMX07 met names COM7's node; the other is the duplicate. The
  // record reads its values from "OLMX7" either way.
  const std::vector<std::string> order = MappingKeysInOrder();
  ASSERT_EQ(order.size(), 4u);
  const auto seven = std::find(order.begin(), order.end(), "OLMX7");
  const auto zeroSeven = std::find(order.begin(), order.end(), "OLMX07");
  const bool sevenFirst = seven < zeroSeven;
  EXPECT_EQ(Port(7)->ipAddress, platform::InetAddr("10.0.0.1"));
  EXPECT_EQ(window.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{sevenFirst ? "COM7" : "COM07"}));
  for (const char* kept : {"OLMX7", "OLMX07", "OLMX0", "OLMX300"}) EXPECT_TRUE(MappingExists(kept)) << kept;
  // The code of the last bad name met: OLMX300 in creation order, the duplicate OLMX7 in
  // alphabetical order.
  EXPECT_EQ(window.ErrorCode, order.back() == "OLMX300" ? PMERR_REG_PORTNAME_BAD : PMERR_REG_PORTNAME_DUP);
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, DuplicatePortNameRecordsItsOwnCode) {
  WriteMapping("OLMX7", MappingValues());
  WriteMapping("OLMX07", MappingValues());
  ASSERT_TRUE(OpenAndLoad());
  EXPECT_EQ(window.ErrorCode, PMERR_REG_PORTNAME_DUP);
}

TEST_F(RegistryLoad, MissingAutoReconnLoadsAsOff) {
  MappingValues values;
  values.withAutoReconn = false;
  WriteMapping("OLMX2", values);
  ASSERT_TRUE(OpenAndLoad());
  EXPECT_EQ(Port(2)->autoReconn, 0u);
  EXPECT_EQ(Port(2)->autoReconnEdit, 0u);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
}

TEST_F(RegistryLoad, ALeadingZeroNameFilesThePortButItsKeyIsNotFound) {
  WriteMapping("OLMX05", MappingValues());
  ASSERT_TRUE(OpenAndLoad());
  EXPECT_EQ(window.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM05"}));
  EXPECT_EQ(Port(5)->kind, 1);
  EXPECT_EQ(Port(5)->ipAddress, 0u);
  EXPECT_STREQ(Port(5)->ipText, "");
  EXPECT_EQ(Port(5)->enumId, -1);
  EXPECT_EQ(window.MappedAtStart[5], 1);
  EXPECT_EQ(window.ErrorCode, PMERR_REG_DRIVER);
  ExpectEveryComNumberFiledOnce();
}

TEST_F(RegistryLoad, AnUnreadablePortValueKeepsTheValuesReadSoFar) {
  MappingValues values;
  values.description = std::string(300, 'x');  // longer than the 256-byte buffer
  values.enumId = 2;
  WriteMapping("OLMX9", values);
  ASSERT_TRUE(OpenAndLoad());
  EXPECT_EQ(Port(9)->kind, 1);
  EXPECT_EQ(Port(9)->ipAddress, 0u);
  EXPECT_STREQ(Port(9)->description, "");
  EXPECT_EQ(window.ErrorCode, PMERR_REG_READ);
}

TEST_F(RegistryLoad, MissingDriverKeysEndTheStartWithTheirCode) {
  DeleteKeyPath("Enum", "OLMXV1X");
  EXPECT_FALSE(Open());
  EXPECT_EQ(window.ErrorCode, PMERR_REG_DRIVER);
  EXPECT_TRUE(window.root.children.empty());
}

TEST_F(RegistryLoad, MissingSerialCommKeyEndsTheStartWithItsCode) {
  DeleteKeyPath("Hardware\\DeviceMap", "SerialComm");
  EXPECT_FALSE(Open());
  EXPECT_EQ(window.ErrorCode, PMERR_REG_SERIALCOMM);
  EXPECT_NE(store().hMappingList, platform::kInvalidKey);  // closed by the store's end
  EXPECT_EQ(store().hSerialComm, platform::kInvalidKey);
}
