// The monitor protocol link of the network firmware download: packets of a 13-byte
// big-endian header beginning "EVA MON" on TCP port 7000, built, sent and awaited, and
// received through a state machine that answers what the device sends.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

constexpr int kMonitorHeaderSize = 13;
constexpr int kMonitorMaxData = 2048;
constexpr int kMonitorReceiveTimeoutMs = 30000;

// Codes of the monitor protocol.
constexpr std::uint16_t kMonIdentify = 1;
constexpr std::uint16_t kMonIdentifyAnswer = 2;
constexpr std::uint16_t kMonAck = 10;
constexpr std::uint16_t kMonNak = 11;
constexpr std::uint16_t kMonReboot = 16;
constexpr std::uint16_t kMonActiveSetting = 17;
constexpr std::uint16_t kMonBeginDownload = 32;
constexpr std::uint16_t kMonDataBlock = 33;
constexpr std::uint16_t kMonEndDownload = 34;
constexpr std::uint16_t kMonAccepted = 48;

// Error numbers of the link.
constexpr int kMonClosed = -2;         // connection failed or closed
constexpr int kMonSilent = -3;         // no data within the receive time-out
constexpr int kMonBadLength = -4;      // a length that breaks the rules, or a refused begin
constexpr int kMonBadMagic = -5;       // wrong magic
constexpr int kMonUnexpected = -6;     // unexpected packet
constexpr int kMonRefused = -8;        // refused, or a wrong end sum

struct MonitorLink {
  platform::Socket* socket = nullptr;
  int receiveTimeoutMs = kMonitorReceiveTimeoutMs;
  // The packet to send.
  std::uint8_t sendBuffer[kMonitorHeaderSize + kMonitorMaxData] = {};
  int sendLength = 0;
  int sendCount = 0;
  std::uint32_t sendSum = 0;  // of the data sent with code 33 since the last code 32
  // The packet being received.
  std::uint8_t receiveBuffer[kMonitorHeaderSize + kMonitorMaxData] = {};
  int receivedCount = 0;
  int parsedCount = 0;
  int receiveState = 0;
  std::uint16_t receivedCode = 0;
  std::uint16_t receivedLength = 0;
  // What the device has sent with its own download codes.
  std::uint32_t receivedByteCount = 0;
  std::uint32_t receivedByteSum = 0;
  std::uint32_t announcedNumber = 0;
  std::uint16_t announcedBlocks = 0;
};

// Binds the link to a connected socket with every count, sum, length and code at 0.
void StartLink(MonitorLink& link, platform::Socket& socket);
// Fills the send buffer with one packet of code: number is the 32-bit argument of codes
// 17 and 32, blocks the block count of code 32, data the bytes of code 33. Returns 0, or
// kMonBadLength for a data block outside 1..2048 bytes, kMonUnexpected for an unknown
// code (nothing is built then).
int BuildPacket(MonitorLink& link, std::uint16_t code, std::uint32_t number = 0, std::uint16_t blocks = 0,
                const std::uint8_t* data = nullptr, int dataLength = 0);
// Sends the built packet and waits for the answer its code needs. 0 or an error number.
int SendAndAwait(MonitorLink& link);
// Receives one packet, parses it and answers it. 0 or an error number.
int ReceivePacket(MonitorLink& link);
