#include "firmware/monitor_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scripted_socket.h"

namespace {

std::string Packet(std::uint16_t code, const std::string& data = "", std::uint16_t announced = 0xFFFF) {
  const std::uint16_t length = announced == 0xFFFF ? static_cast<std::uint16_t>(data.size()) : announced;
  std::string packet = "EVA MON";
  packet += '\0';
  packet += '\0';
  packet += static_cast<char>(code >> 8);
  packet += static_cast<char>(code);
  packet += static_cast<char>(length >> 8);
  packet += static_cast<char>(length);
  return packet + data;
}

std::string Big32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

class MonitorLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { StartLink(link, socket); }
  int Exchange(std::uint16_t code, std::uint32_t number = 0, std::uint16_t blocks = 0) {
    EXPECT_EQ(BuildPacket(link, code, number, blocks), 0);
    return SendAndAwait(link);
  }
  testsupport::ScriptedSocket socket;
  MonitorLink link;
};

}  // namespace

TEST_F(MonitorLinkTest, BuildsPacketsWithBigEndianHeadersAndData) {
  EXPECT_EQ(BuildPacket(link, kMonBeginDownload, 0x01020304, 0x0506), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(link.sendBuffer), link.sendLength),
            Packet(32, Big32(0x01020304) + "\x05\x06"));
  EXPECT_EQ(BuildPacket(link, kMonActiveSetting, 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(link.sendBuffer), link.sendLength), Packet(17, Big32(1)));
  EXPECT_EQ(BuildPacket(link, kMonReboot), 0);
  EXPECT_EQ(link.sendLength, kMonitorHeaderSize);
  EXPECT_EQ(BuildPacket(link, 99), kMonUnexpected);
  EXPECT_EQ(link.sendLength, kMonitorHeaderSize);  // nothing built
}

TEST_F(MonitorLinkTest, DataBlocksHoldOneTo2048BytesAndTheEndCarriesTheirSumModulo2To32) {
  std::vector<std::uint8_t> block(2049, 0xFF);
  BuildPacket(link, kMonBeginDownload, 0, 2);
  EXPECT_EQ(BuildPacket(link, kMonDataBlock, 0, 0, block.data(), 0), kMonBadLength);
  EXPECT_EQ(BuildPacket(link, kMonDataBlock, 0, 0, block.data(), 2049), kMonBadLength);
  EXPECT_EQ(link.sendSum, 0u);
  EXPECT_EQ(BuildPacket(link, kMonDataBlock, 0, 0, block.data(), 2048), 0);
  EXPECT_EQ(link.sendLength, kMonitorHeaderSize + 2048);
  EXPECT_EQ(link.sendSum, 2048u * 0xFF);
  link.sendSum = 0xFFFFFF00u;
  BuildPacket(link, kMonDataBlock, 0, 0, block.data(), 2);
  EXPECT_EQ(link.sendSum, 0xFEu);  // 0xFFFFFF00 + 0x1FE wraps
  BuildPacket(link, kMonEndDownload);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(link.sendBuffer), link.sendLength), Packet(34, Big32(0xFE)));
  BuildPacket(link, kMonBeginDownload, 0, 1);  // a new download starts a new sum
  EXPECT_EQ(link.sendSum, 0u);
}

TEST_F(MonitorLinkTest, AnswersDecideEachExchange) {
  socket.Arrive(Packet(kMonIdentifyAnswer));
  EXPECT_EQ(Exchange(kMonIdentify), 0);
  socket.Arrive(Packet(kMonAck));
  EXPECT_EQ(Exchange(kMonIdentify), kMonUnexpected);
  socket.Arrive(Packet(kMonNak));
  EXPECT_EQ(Exchange(kMonBeginDownload, 0, 1), kMonBadLength);
  for (std::uint16_t code : {kMonEndDownload, kMonReboot, kMonActiveSetting}) {
    socket.Arrive(Packet(kMonNak));
    EXPECT_EQ(Exchange(code, 1), kMonRefused) << code;
  }
  const std::uint8_t byte = 7;
  BuildPacket(link, kMonDataBlock, 0, 0, &byte, 1);
  socket.Arrive(Packet(kMonNak));
  EXPECT_EQ(SendAndAwait(link), kMonRefused);
  socket.Arrive(Packet(kMonAccepted));  // answered with ACK, yet not the answer awaited
  EXPECT_EQ(Exchange(kMonReboot), kMonUnexpected);
  socket.Arrive(Packet(kMonAck));
  EXPECT_EQ(Exchange(kMonReboot), 0);
  socket.sent.clear();
  EXPECT_EQ(Exchange(kMonAck), 0);  // nothing awaited after ACK
  EXPECT_EQ(socket.sent, Packet(kMonAck));
}

TEST_F(MonitorLinkTest, FailuresOfTheConnection) {
  EXPECT_EQ(Exchange(kMonReboot), kMonSilent);  // nothing arrives
  EXPECT_EQ(socket.sent, Packet(kMonReboot));    // and no NAK follows silence
  socket.CloseFromPeer();
  socket.sent.clear();
  EXPECT_EQ(Exchange(kMonReboot), kMonClosed);
  EXPECT_EQ(socket.sent, Packet(kMonReboot));
  socket.failSends = true;
  EXPECT_EQ(Exchange(kMonReboot), kMonClosed);
}

TEST_F(MonitorLinkTest, MalformedPacketsAreAnsweredWithNak) {
  socket.Arrive(Packet(kMonAck, "", 2049));
  EXPECT_EQ(ReceivePacket(link), kMonBadLength);
  EXPECT_EQ(socket.sent, Packet(kMonNak));
  socket.sent.clear();
  socket.Arrive("EVA MOX" + Packet(kMonAck).substr(7));
  EXPECT_EQ(ReceivePacket(link), kMonBadMagic);
  EXPECT_EQ(socket.sent, Packet(kMonNak));
  socket.sent.clear();
  socket.Arrive(Packet(kMonBeginDownload, "12345"));
  EXPECT_EQ(ReceivePacket(link), kMonBadLength);
  EXPECT_EQ(socket.sent, Packet(kMonNak));
  socket.sent.clear();
  socket.Arrive(Packet(kMonActiveSetting, "12345"));
  EXPECT_EQ(ReceivePacket(link), kMonBadLength);
  socket.sent.clear();
  socket.Arrive(Packet(77));
  EXPECT_EQ(ReceivePacket(link), 0);
  EXPECT_EQ(socket.sent, Packet(kMonNak));
}

TEST_F(MonitorLinkTest, TheDevicesOwnDownloadIsCheckedByCountAndSum) {
  socket.Arrive(Packet(kMonBeginDownload, Big32(0) + std::string("\x00\x01", 2)));
  EXPECT_EQ(ReceivePacket(link), 0);
  EXPECT_EQ(link.announcedBlocks, 1);
  const std::string block(1024, '\x02');
  socket.Arrive(Packet(kMonDataBlock, block));
  EXPECT_EQ(ReceivePacket(link), 0);
  socket.Arrive(Packet(kMonEndDownload, Big32(2048)));
  socket.sent.clear();
  EXPECT_EQ(ReceivePacket(link), 0);
  EXPECT_EQ(socket.sent, Packet(kMonAck));
  socket.Arrive(Packet(kMonEndDownload, Big32(2049)));
  socket.sent.clear();
  EXPECT_EQ(ReceivePacket(link), kMonRefused);
  EXPECT_EQ(socket.sent, Packet(kMonNak));
  socket.Arrive(Packet(kMonBeginDownload, Big32(0) + std::string("\x00\x02", 2)));
  ReceivePacket(link);
  socket.Arrive(Packet(kMonDataBlock, block));
  ReceivePacket(link);
  socket.Arrive(Packet(kMonEndDownload, Big32(2048)));  // one block short
  EXPECT_EQ(ReceivePacket(link), kMonBadLength);
}

TEST_F(MonitorLinkTest, ThePacketParsesHoweverItsBytesArrive) {
  const std::string packet = Packet(kMonBeginDownload, Big32(9) + std::string("\x00\x03", 2));
  auto check = [&](const std::vector<std::string>& segments, const std::string& how) {
    socket.sent.clear();
    for (const std::string& segment : segments) socket.Arrive(segment);
    EXPECT_EQ(ReceivePacket(link), 0) << how;
    EXPECT_EQ(link.announcedNumber, 9u) << how;
    EXPECT_EQ(link.announcedBlocks, 3) << how;
    EXPECT_EQ(socket.sent, Packet(kMonAck)) << how;
    link.announcedNumber = link.announcedBlocks = 0;
  };
  check({packet}, "in one piece");
  std::vector<std::string> bytes;
  for (char c : packet) bytes.emplace_back(1, c);
  check(bytes, "byte by byte");
  for (std::size_t at = 1; at < kMonitorHeaderSize; ++at)
    check({packet.substr(0, at), packet.substr(at)}, "split at " + std::to_string(at));
  // Two packets in one segment: the second is kept for the next receive.
  socket.Arrive(Packet(kMonAck) + Packet(kMonIdentifyAnswer));
  EXPECT_EQ(ReceivePacket(link), 0);
  EXPECT_EQ(link.receivedCode, kMonAck);
  EXPECT_EQ(ReceivePacket(link), 0);
  EXPECT_EQ(link.receivedCode, kMonIdentifyAnswer);
}
