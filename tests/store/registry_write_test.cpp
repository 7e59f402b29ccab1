#include <gtest/gtest.h>

#include <vector>

#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/registry_values.h"
#include "store/store_fixture.h"

using testsupport::RegOp;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}
Bytes Dword(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

struct ExpectedValue {
  const char* name;
  std::uint32_t type;
  Bytes bytes;
};

const Bytes kDcb = {0x00, 0x00, 0x00, 0x00, 0x80, 0x25, 0x00, 0x00, 0x11, 0x33, 0x00, 0x00, 0x00,
                    0x00, 0x0A, 0x00, 0x0A, 0x00, 0x08, 0x00, 0x00, 0x11, 0x13, 0x00, 0x00, 0x00};

class RegistryWrite : public StoreFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenAndLoad()); }

  // Fills COM n's pending and committed values as Apply leaves them before Add.
  TTorl7370PortEntry& Prepare(int n, const char* address, std::int32_t devicePort, const char* memo) {
    TTorl7370PortEntry& port = *Port(n);
    CopyText(port.ipText, address);
    port.ipAddress = platform::InetAddr(address);
    port.devicePort = port.devicePortEdit = devicePort;
    port.autoReconn = port.autoReconnEdit = 1;
    CopyText(port.description, memo);
    port.flags = kPortModifiedFlag;
    return port;
  }
  TTorl7370PortEntry& Add(int n, std::int32_t model, const char* address, std::int32_t devicePort = 0) {
    TTorl7370PortEntry& port = Prepare(n, address, devicePort, "memo");
    port.AddToModel(store().modelHeaders[model]);
    return port;
  }

  // The values of a key as stored, in the order they were written.
  void ExpectValues(const std::string& path, const std::vector<ExpectedValue>& expected) {
    platform::RegKey key = 0;
    ASSERT_EQ(registry->OpenKey(platform::kHKeyLocalMachine, path.c_str(), platform::kKeyRead, &key), 0) << path;
    for (const ExpectedValue& value : expected) {
      std::uint32_t type = 0, size = 512;
      Bytes bytes(size);
      ASSERT_EQ(registry->QueryValue(key, value.name, &type, bytes.data(), &size), 0) << value.name;
      bytes.resize(size);
      EXPECT_EQ(type, value.type) << value.name;
      EXPECT_EQ(bytes, value.bytes) << value.name;
    }
    registry->CloseKey(key);
  }
  std::vector<std::string> WrittenNames() { return faulty->NamesOf(RegOp::kSetValue); }

  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (auto& box : window.desktop.boxes) texts.push_back(box.text);
    return texts;
  }
};

}  // namespace

TEST_F(RegistryWrite, KeyNumbersAreTheLowestFreeOnesChosenIndependently) {
  TTorl7370PortEntry& com3 = Add(3, 1, "10.0.0.1");
  EXPECT_EQ(com3.enumId, 0);
  EXPECT_EQ(com3.portId, 0);
  TTorl7370PortEntry& com4 = Add(4, 1, "10.0.0.1", 1);
  EXPECT_EQ(com4.enumId, 1);
  EXPECT_EQ(com4.portId, 1);
  CreateKey("Enum\\Root\\Ports\\0003");
  for (int i = 2; i <= 4; ++i) CreateKey("System\\CurrentControlSet\\Services\\Class\\Ports\\000" + std::to_string(i));
  TTorl7370PortEntry& com5 = Add(5, 1, "10.0.0.2");
  EXPECT_EQ(com5.enumId, 2);
  EXPECT_EQ(com5.portId, 5);
  EXPECT_EQ(store().FirstFreeId(store().hDeviceNodes), 4);
}

TEST_F(RegistryWrite, ClassKeysPresentAndNoDeviceNodesGivePortId5AndEnumId0) {
  for (int i = 0; i <= 4; ++i) CreateKey("System\\CurrentControlSet\\Services\\Class\\Ports\\000" + std::to_string(i));
  TTorl7370PortEntry& port = Add(3, 1, "10.0.0.1");
  EXPECT_EQ(port.portId, 5);
  EXPECT_EQ(port.enumId, 0);
  ExpectValues("Enum\\Root\\Ports\\0000", {{"Driver", platform::kRegSz, Text("Ports\\0005")}});
}

TEST_F(RegistryWrite, AMappingWritesEveryValueOfItsFourEntriesInOrder) {
  CreateKey("Enum\\Root\\Ports\\0000");
  faulty->ClearCalls();
  Prepare(12, "192.168.0.30", 1, "Line one\r\nLine two");
  Port(12)->AddToModel(store().modelHeaders[4]);
  ASSERT_EQ(window.ErrorCode, PMERR_NONE);
  const std::vector<ExpectedValue> deviceNode = {
      {"Capabilities", platform::kRegBinary, {0x14, 0, 0, 0}},
      {"ConfigFlags", platform::kRegBinary, {0, 0, 0, 0}},
      {"Class", platform::kRegSz, Text("Ports")},
      {"ClassGUID", platform::kRegSz, Text("{4d36e978-e325-11ce-bfc1-08002be10318}")},
      {"DeviceDesc", platform::kRegSz, Text("Communications Port (COM12)")},
      {"Driver", platform::kRegSz, Text("Ports\\0000")},
      {"FRIENDLYNAME", platform::kRegSz, Text("Communications Port (COM12)")},
      {"HardwareID", platform::kRegSz, Text("OLMXV1X")},
      {"Mfg", platform::kRegSz, Text("Quellmark Co., Ltd.")},
      {"PORTNAME", platform::kRegSz, Text("COM12")}};
  const std::vector<ExpectedValue> classDriver = {
      {"ConfigDialog", platform::kRegSz, Text("serialui.dll")},
      {"DCB", platform::kRegBinary, kDcb},
      {"DevLoader", platform::kRegSz, Text("*vcomm")},
      {"DriverDesc", platform::kRegSz, Text("Communications Port (COM12)")},
      {"EnumPropPages", platform::kRegSz, Text("serialui.dll,EnumPropPages")},
      {"InfPath", platform::kRegSz, Text("olmxv1x.inf")},
      {"InfSection", platform::kRegSz, Text("ComPort")},
      {"MatchingDeviceId", platform::kRegSz, Text("OLMXV1X")},
      {"PortDriver", platform::kRegSz, Text("olmxv1x.vxd")},
      {"PortSubClass", platform::kRegBinary, {0x01}},
      {"ProviderName", platform::kRegSz, Text("Quellmark Co., Ltd.")}};
  const std::vector<ExpectedValue> portKey = {
      {"IP Address", platform::kRegDword, Dword(platform::InetAddr("192.168.0.30"))},
      {"Port", platform::kRegDword, Dword(2)},
      {"Model", platform::kRegDword, Dword(0xB370)},
      {"Description", platform::kRegSz, Text("Line one\r\nLine two")},
      {"EnumID", platform::kRegDword, Dword(1)},
      {"PortID", platform::kRegDword, Dword(0)},
      {"AutoReconn", platform::kRegDword, Dword(1)}};
  ExpectValues("Enum\\Root\\Ports\\0001", deviceNode);
  ExpectValues("System\\CurrentControlSet\\Services\\Class\\Ports\\0000", classDriver);
  ExpectValues("Enum\\OLMXV1X\\OLMX12", portKey);
  ExpectValues("Hardware\\DeviceMap\\SerialComm", {{"COM12", platform::kRegSz, Text("COM12")}});
  std::vector<std::string> order;
  for (auto* table : {&deviceNode, &classDriver, &portKey})
    for (const ExpectedValue& value : *table) order.push_back(value.name);
  order.push_back("COM12");
  EXPECT_EQ(WrittenNames(), order);
  for (const char* secure : {"SecSeed", "SecMethod", "SecSig"}) {
    std::uint32_t size = 0;
    platform::RegKey key = 0;
    registry->OpenKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX12", platform::kKeyRead, &key);
    EXPECT_EQ(registry->QueryValue(key, secure, nullptr, nullptr, &size), platform::kErrorFileNotFound);
    registry->CloseKey(key);
  }
}

TEST_F(RegistryWrite, AddMovesThePortIntoItsModelAndAsksForARestart) {
  TTorl7370PortEntry& port = Add(7, 6, "10.0.0.8", 5);
  EXPECT_EQ(port.kind, 6);
  EXPECT_EQ(port.modelCode, 0x7308u);
  EXPECT_EQ(port.GetHeader(), store().modelHeaders[6]);
  EXPECT_EQ(port.flags, 0u);
  EXPECT_EQ(window.RebootRequired, 1);
  EXPECT_EQ(window.ChildTexts("VEQ7308(R)+ Ports"), (std::vector<std::string>{"COM7"}));
  EXPECT_EQ(static_cast<FakeNode*>(port.node)->parent, window.Category("VEQ7308(R)+ Ports"));
  EXPECT_EQ(window.ChildTexts("Unused Ports").size(), 254u);
  EXPECT_GE(window.treeFocused, 1);
  EXPECT_TRUE(window.desktop.boxes.empty());
}

TEST_F(RegistryWrite, EveryFailingWriteOfANewMappingLeavesTheRegistryAsItWas) {
  Add(3, 1, "10.0.0.1");  // something already there to keep
  const std::string before = Snapshot();
  window.RebootRequired = 0;
  faulty->ClearCalls();
  Add(4, 1, "10.0.0.1", 1);
  const auto creates = faulty->NamesOf(RegOp::kCreateKey).size();
  const auto writes = faulty->NamesOf(RegOp::kSetValue).size();
  ASSERT_EQ(creates, 3u);
  ASSERT_EQ(writes, 29u);
  Port(4)->RemoveMapping();
  ASSERT_EQ(Snapshot(), before);
  window.desktop.boxes.clear();
  window.RebootRequired = 0;

  auto expectUnchanged = [&](const std::string& what) {
    TTorl7370PortEntry& port = *Port(4);
    EXPECT_EQ(Snapshot(), before) << what;
    EXPECT_EQ(port.enumId, -1) << what;
    EXPECT_EQ(port.portId, -1) << what;
    EXPECT_EQ(port.kind, KIND_UNUSED) << what;
    EXPECT_EQ(port.modelCode, 0u) << what;
    EXPECT_EQ(static_cast<FakeNode*>(port.node)->parent, window.Category("Unused Ports")) << what;
    EXPECT_EQ(window.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM3"})) << what;
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Creating the value of registry fails"})) << what;
    EXPECT_EQ(window.RebootRequired, 0) << what;
    window.desktop.boxes.clear();
    faulty->ClearFaults();
  };
  for (std::size_t nth = 1; nth <= creates; ++nth) {
    faulty->FailCall(RegOp::kCreateKey, static_cast<int>(nth), platform::kErrorAccessDenied);
    Add(4, 1, "10.0.0.1", 1);
    expectUnchanged("create " + std::to_string(nth));
  }
  for (std::size_t nth = 1; nth <= writes; ++nth) {
    faulty->FailCall(RegOp::kSetValue, static_cast<int>(nth), platform::kErrorBadDb);
    Add(4, 1, "10.0.0.1", 1);
    expectUnchanged("write " + std::to_string(nth));
  }
}

TEST_F(RegistryWrite, RemovingAMappingDeletesItsFourEntries) {
  const std::string before = Snapshot();
  TTorl7370PortEntry& port = Add(9, 2, "10.0.0.3");
  window.SelectNode(port.node);
  port.RemoveMapping();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(port.kind, KIND_UNUSED);
  EXPECT_EQ(port.enumId, -1);
  EXPECT_EQ(port.portId, -1);
  EXPECT_EQ(port.ipAddress, platform::InetAddr("10.0.0.3"));  // the mapping's values stay
  // The only port of its category: its new node under "Unused Ports" is selected.
  EXPECT_EQ(window.selected, port.node);
  EXPECT_EQ(static_cast<FakeNode*>(port.node)->parent, window.Category("Unused Ports"));
  EXPECT_TRUE(window.ChildTexts("TORL7371 Ports").empty());
}

TEST_F(RegistryWrite, RemovingSelectsTheNextSiblingWhenThereIsOne) {
  Add(9, 2, "10.0.0.3");
  Add(11, 2, "10.0.0.4");
  Port(9)->RemoveMapping();
  EXPECT_EQ(window.selected, Port(11)->node);
}

TEST_F(RegistryWrite, APortKeyThatCannotBeDeletedLeavesTheWholeMapping) {
  TTorl7370PortEntry& port = Add(9, 2, "10.0.0.3");
  const std::string before = Snapshot();
  window.RebootRequired = 0;
  faulty->FailName(RegOp::kDeleteKey, "OLMX9", platform::kErrorAccessDenied);
  port.RemoveMapping();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Deleting the value of registry fails"}));
  EXPECT_EQ(port.kind, 2);
  EXPECT_NE(port.enumId, -1);
  EXPECT_EQ(window.ChildTexts("TORL7371 Ports"), (std::vector<std::string>{"COM9"}));
  EXPECT_EQ(window.ChildTexts("Unused Ports").size(), 254u);
  EXPECT_EQ(window.RebootRequired, 0);
}

TEST_F(RegistryWrite, UpdateRewritesTheFiveValuesAndDropsSecurityValues) {
  TTorl7370PortEntry& port = Add(9, 1, "10.0.0.3");
  platform::RegKey key = 0;
  registry->OpenKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9", platform::kKeyWrite, &key);
  for (const char* secure : {"SecSeed", "SecMethod", "SecSig"}) WriteDword(*registry, key, secure, 7);
  registry->CloseKey(key);
  port.ipAddress = platform::InetAddr("10.0.0.4");
  port.devicePort = port.devicePortEdit = 1;
  port.autoReconn = 0;
  CopyText(port.description, "new memo");
  port.flags = kPortModifiedFlag;
  window.RebootRequired = 0;
  faulty->ClearCalls();
  port.UpdatePortData();
  EXPECT_EQ(WrittenNames(), (std::vector<std::string>{"IP Address", "Port", "Model", "Description", "AutoReconn"}));
  EXPECT_EQ(faulty->NamesOf(RegOp::kDeleteValue), (std::vector<std::string>{"SecSeed", "SecMethod", "SecSig"}));
  ExpectValues("Enum\\OLMXV1X\\OLMX9", {{"IP Address", platform::kRegDword, Dword(platform::InetAddr("10.0.0.4"))},
                                        {"Port", platform::kRegDword, Dword(2)},
                                        {"Description", platform::kRegSz, Text("new memo")},
                                        {"AutoReconn", platform::kRegDword, Dword(0)},
                                        {"EnumID", platform::kRegDword, Dword(0)}});
  EXPECT_EQ(port.flags, 0u);
  EXPECT_EQ(window.RebootRequired, 1);
}

TEST_F(RegistryWrite, EveryFailingUpdateWriteLeavesTheRegistryAsItWas) {
  TTorl7370PortEntry& port = Add(9, 1, "10.0.0.3");
  const std::string before = Snapshot();
  port.ipAddress = platform::InetAddr("10.0.0.4");
  port.devicePortEdit = 1;
  CopyText(port.description, "changed");
  for (int nth = 1; nth <= 5; ++nth) {
    faulty->FailCall(RegOp::kSetValue, nth, platform::kErrorBadDb);
    port.UpdatePortData();
    EXPECT_EQ(Snapshot(), before) << nth;
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"The registry for VEQ COMPort has corrupted"})) << nth;
    window.desktop.boxes.clear();
    faulty->ClearFaults();
  }
}

TEST_F(RegistryWrite, AnUpdateThatCannotOpenThePortKeyShowsBothBoxes) {
  TTorl7370PortEntry& port = Add(5, 1, "10.0.0.3");
  const std::string before = Snapshot();
  faulty->FailName(RegOp::kOpenKey, "OLMX5", platform::kErrorFileNotFound);
  port.flags = kPortModifiedFlag;
  port.UpdatePortData();
  ASSERT_EQ(window.desktop.boxes.size(), 2u);
  EXPECT_EQ(window.desktop.boxes[0].text, "The registry for VEQ COMPort has corrupted");
  EXPECT_EQ(window.desktop.boxes[0].flags, 0x10u);
  EXPECT_EQ(window.desktop.boxes[1].text, "OLMX5");
  EXPECT_EQ(window.desktop.boxes[1].caption, "UpdatePortData Reg ERROR");
  EXPECT_EQ(window.desktop.boxes[1].flags, 0u);
  EXPECT_EQ(port.flags, kPortModifiedFlag);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RegistryWrite, SetMappingWithTheRecordsOwnValuesWritesNothing) {
  TTorl7370PortEntry& port = Add(6, 3, "10.0.0.6", 2);
  window.RebootRequired = 0;
  faulty->ClearCalls();
  port.SetMapping(3, platform::InetAddr("10.0.0.6"), "memo", 1, 3);
  EXPECT_TRUE(faulty->NamesOf(RegOp::kSetValue).empty());
  EXPECT_TRUE(faulty->NamesOf(RegOp::kCreateKey).empty());
  EXPECT_EQ(window.RebootRequired, 0);
}

TEST_F(RegistryWrite, SetMappingMapsRemapsAndUpdates) {
  TTorl7370PortEntry& port = *Port(6);
  window.SelectNode(port.node);
  port.SetMapping(3, platform::InetAddr("10.0.0.6"), "first", 0, 4);
  EXPECT_EQ(port.kind, 3);
  EXPECT_STREQ(port.ipText, "10.0.0.6");
  EXPECT_EQ(port.devicePort, 3);
  EXPECT_EQ(port.devicePortEdit, 3);
  EXPECT_EQ(window.mappingsShown, (std::vector<TTorl7370Port*>{&port}));
  ExpectValues("Enum\\OLMXV1X\\OLMX6", {{"Model", platform::kRegDword, Dword(0x7304)},
                                        {"Port", platform::kRegDword, Dword(4)},
                                        {"AutoReconn", platform::kRegDword, Dword(0)}});
  // Same model: the values are rewritten in place, the key numbers stay.
  const std::int32_t enumId = port.enumId;
  port.SetMapping(3, platform::InetAddr("10.0.0.7"), "second", 1, 1);
  EXPECT_EQ(port.enumId, enumId);
  ExpectValues("Enum\\OLMXV1X\\OLMX6", {{"IP Address", platform::kRegDword, Dword(platform::InetAddr("10.0.0.7"))},
                                        {"Description", platform::kRegSz, Text("second")}});
  // Another model: unmapped, then mapped again under the new one.
  port.SetMapping(9, platform::InetAddr("10.0.0.7"), "second", 1, 1);
  EXPECT_EQ(port.kind, 9);
  EXPECT_EQ(window.ChildTexts("TORL7371W Ports"), (std::vector<std::string>{"COM6"}));
  EXPECT_TRUE(window.ChildTexts("VEQ7304  Ports").empty());
  ExpectValues("Enum\\OLMXV1X\\OLMX6", {{"Model", platform::kRegDword, Dword(0xC371)}});
  EXPECT_TRUE(window.desktop.boxes.empty());
}

TEST_F(RegistryWrite, ASecurePortKeepsItsSecurityBesideItsMapping) {
  TTorl7370PortEntry& port = Prepare(14, "10.0.0.14", 0, "secure");
  port.kind = kModelTorl7370S;
  port.modelCode = 0xA370;
  port.secUserKey = 1;
  port.tdesKey[0] = 0x42;
  ASSERT_TRUE(store().CreatePortRegistry(port));
  const std::vector<std::string> written = WrittenNames();
  EXPECT_EQ(std::vector<std::string>(written.end() - 4, written.end()),
            (std::vector<std::string>{"SecSeed", "SecMethod", "SecSig", "COM14"}));
  port.secUserKey = 0;
  port.tdesKey[0] = 0;
  port.secMethod = 0;
  port.Attach(port.node);  // loads the mapping again, security included
  EXPECT_EQ(port.secMethod, 1u);
  EXPECT_EQ(port.secUserKey, 1u);
  EXPECT_EQ(port.tdesKey[0], 0x42);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
}
