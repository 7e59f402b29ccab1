#include <gtest/gtest.h>

#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/store_fixture.h"

namespace {

class AddressChecks : public StoreFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenAndLoad()); }

  bool Check(const char* text) {
    TTorl7370PortEntry* port = Port(1);
    CopyText(port->ipText, text);
    return port->CheckAddress();
  }

  // Makes COM n a committed mapping of a model onto address and device port.
  TTorl7370PortEntry* Map(int n, std::int32_t model, const char* address, std::int32_t devicePort) {
    TTorl7370PortEntry* port = Port(n);
    port->kind = model;
    port->ipAddress = platform::InetAddr(address);
    port->devicePort = port->devicePortEdit = devicePort;
    return port;
  }
};

}  // namespace

TEST_F(AddressChecks, RefusesAddressesThatNoDeviceCanHave) {
  for (const char* text : {"10.0.0.0", "10.255.255.255", "0.1.2.3", "234.1.1.1", "1.2.3.0", "1.2.3.255", "1.2.3",
                           "1.2.3.4.5", "172.16.0.255", "", "a.b.c.d", "1.2.3.4 ", "256.1.1.1", "1.256.1.1",
                           "1.1.256.1", "1.1.1.1000", "99999999999.1.1.1",
                           "128.0.255.255", "192.168.1.0"}) {
    EXPECT_FALSE(Check(text)) << '"' << text << '"';
  }
}

TEST_F(AddressChecks, AcceptsDeviceAddressesAtTheEdgesOfEachNumber) {
  for (const char* text : {"233.1.1.1", "10.0.0.1", "172.16.255.1", "1.0.0.1", "1.2.3.4", "233.255.255.254", "224.0.0.1",
                           "126.255.255.254", "128.0.0.1", "191.255.255.254", "192.0.0.1", "223.255.255.254"}) {
    EXPECT_TRUE(Check(text)) << text;
  }
}

TEST_F(AddressChecks, RefusesNumbersThePlatformWouldReadOtherwise) {
  // inet_addr reads 010 as octal 8 and refuses empty numbers: what is checked must be
  // what is stored.
  EXPECT_FALSE(Check("010.0.0.1"));
  EXPECT_FALSE(Check("10.01.0.1"));
  EXPECT_FALSE(Check("1..2.3"));
  EXPECT_FALSE(Check(".1.2.3"));
  EXPECT_TRUE(Check("10.0.0.10"));
}

TEST_F(AddressChecks, AnAcceptedAddressJoinsTheKnownListOnce) {
  EXPECT_TRUE(Check("10.0.0.1"));
  EXPECT_TRUE(Check("10.0.0.1"));
  EXPECT_EQ(window.knownAddresses, (std::vector<std::string>{"10.0.0.1"}));
  EXPECT_TRUE(window.desktop.boxes.empty());
}

TEST_F(AddressChecks, ARefusedAddressIsClearedAndReported) {
  window.addressText = "10.0.0.0";
  EXPECT_FALSE(Check("10.0.0.0"));
  EXPECT_STREQ(Port(1)->ipText, "");
  EXPECT_EQ(window.addressText, "");
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "The IP address of the device is wrong");
  EXPECT_EQ(window.desktop.boxes[0].flags, 0x10u);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
  EXPECT_TRUE(window.knownAddresses.empty());
}

TEST_F(AddressChecks, DuplicateMeansSameAddressAndDevicePortWhateverTheModel) {
  Map(4, 1, "10.0.0.5", 0);
  TTorl7370PortEntry* port = Map(9, 3, "10.0.0.9", 0);
  CopyText(port->ipText, "10.0.0.5");
  port->devicePortEdit = 1;
  EXPECT_TRUE(port->CheckDuplicate());
  EXPECT_TRUE(window.desktop.boxes.empty());

  port->devicePortEdit = 0;
  EXPECT_FALSE(port->CheckDuplicate());
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "The setting is same as COM4. Please verify the setting again.");
  EXPECT_EQ(window.desktop.boxes[0].caption, "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(window.desktop.boxes[0].flags, 0x10u);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
  EXPECT_EQ(window.enabledStates, (std::vector<bool>{false, true}));
}

TEST_F(AddressChecks, DuplicateSkipsItselfAndPortsThatAreNotMapped) {
  TTorl7370PortEntry* port = Map(9, 1, "10.0.0.5", 0);
  CopyText(port->ipText, "10.0.0.5");
  Port(3)->kind = KIND_USED;
  Port(3)->ipAddress = platform::InetAddr("10.0.0.5");
  Port(3)->devicePortEdit = 0;
  Port(5)->ipAddress = platform::InetAddr("10.0.0.5");  // unused, keeps old values
  EXPECT_TRUE(port->CheckDuplicate());
}

TEST_F(AddressChecks, DeviceTwinIsTheFirstOtherSecureTwoPortMappingOfTheAddress) {
  TTorl7370PortEntry* port = Map(20, kModelTorl7370S, "10.0.0.7", 0);
  CopyText(port->ipText, "10.0.0.7");
  Map(5, kModelTorl7371S, "10.0.0.7", 0);
  EXPECT_EQ(port->FindDeviceTwin(), nullptr);
  Map(30, kModelTorl7370S, "10.0.0.7", 1);
  Map(8, kModelTorl7370S, "10.0.0.7", 1);
  EXPECT_EQ(port->FindDeviceTwin(), Port(8));
}

TEST_F(AddressChecks, RevertEditsPutsTheCommittedValuesBackIntoRecordAndWindow) {
  TTorl7370PortEntry* port = Map(6, 2, "10.1.2.3", 0);
  port->autoReconn = 0;
  CopyText(port->ipText, "10.9.9.9");
  CopyText(port->description, "typed memo");
  port->devicePortEdit = 1;
  port->autoReconnEdit = 1;
  port->flags = kPortModifiedFlag;
  port->RevertEdits();
  EXPECT_STREQ(port->ipText, "10.1.2.3");
  EXPECT_EQ(port->devicePortEdit, 0);
  EXPECT_EQ(port->autoReconnEdit, 0u);
  EXPECT_STREQ(port->description, "typed memo");
  EXPECT_EQ(port->flags, kPortModifiedFlag);
  EXPECT_EQ(window.addressText, "10.1.2.3");
  EXPECT_EQ(window.devicePortIndex, 0);
  EXPECT_FALSE(window.autoReconnChecked);
  ASSERT_FALSE(window.shown.empty());
  EXPECT_EQ(window.shown.back(), port);

  Port(7)->RevertEdits();  // never committed: no address text
  EXPECT_STREQ(Port(7)->ipText, "");
}
