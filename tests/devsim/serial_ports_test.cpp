// The simulator's serial ports as a client on the wire sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "bridge/device_option.h"
#include "devsim/serial_ports.h"
#include "telnet_client.h"

namespace {

namespace wire = veq::deviceoption;
using devsim::SerialFault;
using devsimtest::Received;
using devsimtest::TelnetClient;
using Bytes = std::vector<std::uint8_t>;

devsim::SerialSettings Free(int ports = 2) {
  devsim::SerialSettings settings;
  settings.ports = ports;
  settings.tcpBase = 0;
  return settings;
}

Bytes Block(std::uint32_t index, std::uint8_t seed) {
  Bytes block(wire::kFirmwareBlockBytes);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<std::uint8_t>(index >> (8 * i));
  for (std::size_t i = 4; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7 + seed);
  block[4] = 0xFF;  // an IAC in the data, doubled on the wire
  return block;
}

Bytes Request(std::uint8_t code, const Bytes& data = {}) {
  Bytes body(1, code);
  body.insert(body.end(), data.begin(), data.end());
  return body;
}

TEST(SerialPortsTest, NegotiatesAndLoopsDataBackAtTheSetFormat) {
  devsim::SerialPorts device(Free());
  ASSERT_TRUE(device.ok());
  TelnetClient client(device.tcpBase() + 2);
  ASSERT_TRUE(client.connected());
  auto agreed = [](std::uint8_t option, Received::Kind kind) {
    return [=](const std::vector<Received>& all) {
      for (const Received& r : all)
        if (r.kind == kind && r.option == option) return true;
      return false;
    };
  };
  EXPECT_TRUE(client.WaitFor(agreed(wire::kOptionComPort, Received::kDo)));
  EXPECT_TRUE(client.WaitFor(agreed(wire::kControlOption, Received::kDo)));

  client.Sub(wire::kOptionComPort, {wire::kSetBaudRate, 0, 0, 0x01, 0x2C});  // 300
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetBaudRate + 100), Bytes({0, 0, 0x01, 0x2C}));
  client.Sub(wire::kOptionComPort, {wire::kSetStopSize, 3});
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetStopSize + 100), Bytes({3}));
  client.Sub(wire::kOptionComPort, {wire::kSetDataSize, 9});  // refused: the size stays
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetDataSize + 100), Bytes({8}));

  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  client.Data(all);
  EXPECT_EQ(client.DataBytes(256), all);

  client.Sub(wire::kOptionComPort, {wire::kSetDataSize, 5});
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetDataSize + 100), Bytes({5}));
  client.Data({0xFF, 0x20, 0x3F});
  EXPECT_EQ(client.DataBytes(259), [&] {
    Bytes expected = all;
    expected.insert(expected.end(), {0x1F, 0x00, 0x1F});
    return expected;
  }());
  const devsim::SerialPortState state = device.State(2);
  EXPECT_EQ(state.baudRate, 300u);
  EXPECT_EQ(state.stopSize, 3);
  EXPECT_EQ(state.dataSize, 5);
  EXPECT_EQ(state.bytesIn, 259u);
  EXPECT_FALSE(device.State(1).connected);
}

// The plug's wiring as notifications: a changed line is reported before the SET-CONTROL
// answer, within the mask; the delta bits only when the mask lets them through.
TEST(SerialPortsTest, ReportsThePlugsModemLinesBeforeTheControlAnswer) {
  devsim::SerialPorts device(Free(1));
  TelnetClient client(device.tcpBase() + 1);
  client.Sub(wire::kOptionComPort, {wire::kSetModemStateMask, 0xF0});
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetModemStateMask + 100), Bytes({0xF0}));
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kNotifyModemState + 100), Bytes({0x00}));

  auto notifiedThenAnswered = [&](std::uint8_t control, std::uint8_t lines) {
    client.Sub(wire::kOptionComPort, {wire::kSetControl, control});
    EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kNotifyModemState + 100), Bytes({lines}));
    // The answer is still waiting, so the notification came first.
    EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kSetControl + 100), Bytes({control}));
  };
  notifiedThenAnswered(wire::kControlDtrOn, 0xE0);
  notifiedThenAnswered(wire::kControlRtsOn, 0xF0);
  notifiedThenAnswered(wire::kControlDtrOff, 0x10);

  client.Sub(wire::kOptionComPort, {wire::kSetModemStateMask, 0xFF});
  client.Answer(wire::kOptionComPort, wire::kNotifyModemState + 100);
  notifiedThenAnswered(wire::kControlRtsOff, 0x01);  // CTS fell: only its delta bit
  notifiedThenAnswered(wire::kControlDtrOn, 0xEA);

  client.Sub(wire::kOptionComPort, {wire::kSetLineStateMask, 0x10});
  client.Sub(wire::kOptionComPort, {wire::kSetControl, wire::kControlBreakOn});
  EXPECT_EQ(client.Answer(wire::kOptionComPort, wire::kNotifyLineState + 100), Bytes({0x10}));
  EXPECT_TRUE(device.State(1).breakOn);
}

TEST(SerialPortsTest, HoldsLoopedDataWhileCtsIsOffOrTheClientSuspends) {
  devsim::SerialPorts device(Free(1));
  TelnetClient client(device.tcpBase() + 1);
  client.Sub(wire::kOptionComPort, {wire::kSetControl, wire::kControlFlowHardware});
  client.Answer(wire::kOptionComPort, wire::kSetControl + 100);
  client.Data({1, 2, 3});
  client.Sub(wire::kOptionComPort, {wire::kSetBaudRate, 0, 0, 0, 0});  // a round trip
  client.Answer(wire::kOptionComPort, wire::kSetBaudRate + 100);
  EXPECT_TRUE(client.DataBytes(1, 0).empty());
  client.Sub(wire::kOptionComPort, {wire::kSetControl, wire::kControlRtsOn});
  EXPECT_EQ(client.DataBytes(3), Bytes({1, 2, 3}));

  client.Sub(wire::kOptionComPort, {wire::kFlowControlSuspend});
  client.Data({4});
  client.Sub(wire::kOptionComPort, {wire::kPurgeData, wire::kPurgeReceive});
  client.Answer(wire::kOptionComPort, wire::kPurgeData + 100);
  client.Data({5});
  client.Sub(wire::kOptionComPort, {wire::kFlowControlResume});
  EXPECT_EQ(client.DataBytes(4), Bytes({1, 2, 3, 5}));  // the purge took the held 4
}

TEST(SerialPortsTest, KeepsFirmwareBlocksInOrderAsTheImageAndCountsReboots) {
  devsim::SerialPorts device(Free(1));
  TelnetClient client(device.tcpBase() + 1);
  for (std::uint32_t index : {0u, 1u, 0xFFFFFFFFu}) {
    client.Sub(wire::kControlOption, Request(wire::kControlFirmwareBlock, Block(index, 3)));
    EXPECT_EQ(client.Answer(wire::kControlOption, wire::kControlFirmwareBlock + 100), Bytes({0})) << index;
  }
  Bytes image;
  for (std::uint32_t index : {0u, 1u}) {
    const Bytes block = Block(index, 3);
    image.insert(image.end(), block.begin() + 4, block.end());
  }
  const Bytes trailer = Block(0xFFFFFFFF, 3);
  image.insert(image.end(), trailer.begin() + 4, trailer.begin() + 12);  // only 8 bytes count
  EXPECT_EQ(device.FirmwareImage(), image);
  EXPECT_TRUE(device.Problem().empty());

  client.Sub(wire::kControlOption, Request(wire::kControlFirmwareBlock, Block(5, 3)));
  EXPECT_NE(client.Answer(wire::kControlOption, wire::kControlFirmwareBlock + 100), Bytes({0}));
  EXPECT_FALSE(device.Problem().empty());
  client.Sub(wire::kControlOption, Request(wire::kControlFirmwareBlock, Bytes(10)));
  EXPECT_NE(client.Answer(wire::kControlOption, wire::kControlFirmwareBlock + 100), Bytes({0}));

  client.Sub(wire::kControlOption, Request(wire::kControlReboot));
  EXPECT_EQ(client.Answer(wire::kControlOption, wire::kControlReboot + 100), Bytes({0}));
  EXPECT_EQ(device.Reboots(), 1);

  device.SetFault(SerialFault::kRefuseBlock, 0);
  client.Sub(wire::kControlOption, Request(wire::kControlFirmwareBlock, Block(0, 3)));
  EXPECT_NE(client.Answer(wire::kControlOption, wire::kControlFirmwareBlock + 100), Bytes({0}));
}

TEST(SerialPortsTest, MisbehavesOnRequest) {
  devsim::SerialSettings settings = Free(1);
  settings.fault = SerialFault::kRefuse;
  devsim::SerialPorts device(settings);
  EXPECT_FALSE(TelnetClient(device.tcpBase() + 1).connected());
  device.SetFault(SerialFault::kNoControlOption);
  // The listener comes back with the loop's next round.
  std::unique_ptr<TelnetClient> client;
  for (int i = 0; i < 500 && !(client && client->connected()); ++i) {
    if (client) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    client = std::make_unique<TelnetClient>(device.tcpBase() + 1);
  }
  ASSERT_TRUE(client->connected());
  // libtelnet reports no event for a refusal of what it asked for: the wire shows it.
  const Bytes refusal = {TELNET_IAC, TELNET_DONT, wire::kControlOption};
  EXPECT_TRUE(client->WaitFor([&](const std::vector<Received>&) {
    return std::search(client->raw().begin(), client->raw().end(), refusal.begin(), refusal.end()) !=
           client->raw().end();
  }));

  device.SetFault(SerialFault::kDropAfter, 100);
  client->Data(Bytes(150, 'x'));
  EXPECT_FALSE(client->WaitFor([](const std::vector<Received>&) { return false; }));
  EXPECT_TRUE(client->closed());
  EXPECT_LE(device.State(1).bytesIn, 100u);
  TelnetClient next(device.tcpBase() + 1);  // dropped once: the next link carries on
  next.Data(Bytes(150, 'y'));
  EXPECT_EQ(next.DataBytes(150), Bytes(150, 'y'));

  device.SetFault(SerialFault::kSlow, 60000);
  next.Sub(wire::kOptionComPort, {wire::kSetDataSize, 7});
  EXPECT_FALSE(next.WaitFor([](const std::vector<Received>& all) { return all.back().kind == Received::kSub; }, 200));

  device.SetFault(SerialFault::kMalformed);
  TelnetClient broken(device.tcpBase() + 1);
  EXPECT_TRUE(broken.WaitFor([](const std::vector<Received>& all) {
    for (const Received& r : all)
      if (r.kind == Received::kWarning) return true;
    return false;
  }));
}

}  // namespace
