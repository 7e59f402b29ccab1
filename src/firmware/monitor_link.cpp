#include "firmware/monitor_link.h"

#include <cstring>

namespace {

const char kMagic[] = "EVA MON";
constexpr int kMagicSize = 7;

void PutBig16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

void PutBig32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint16_t Big16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

std::uint32_t Big32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
         static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

// Makes sure n unparsed bytes are in the receive buffer. 0, kMonSilent or kMonClosed.
int Need(MonitorLink& link, int n) {
  while (link.receivedCount - link.parsedCount < n) {
    const int ready = link.socket->WaitReadable(link.receiveTimeoutMs);
    if (ready <= 0) return kMonSilent;
    const int got = link.socket->Receive(link.receiveBuffer + link.receivedCount,
                                         static_cast<int>(sizeof link.receiveBuffer) - link.receivedCount);
    if (got <= 0) return kMonClosed;
    link.receivedCount += got;
  }
  return 0;
}

// Runs the state machine over one packet; returns the first error, the received code
// and length being left in the link.
int ParsePacket(MonitorLink& link) {
  for (;;) {
    const std::uint8_t* at = link.receiveBuffer + link.parsedCount;
    switch (link.receiveState) {
      case 0: {
        // Bytes that came after the last packet belong to the next one: keep them.
        const int carried = link.receivedCount - link.parsedCount;
        std::memmove(link.receiveBuffer, link.receiveBuffer + link.parsedCount, static_cast<std::size_t>(carried));
        link.receivedCount = carried;
        link.parsedCount = 0;
        link.receivedCode = link.receivedLength = 0;
        link.receiveState = 1;
        break;
      }
      case 1:
        if (const int error = Need(link, kMagicSize)) return error;
        if (std::memcmp(at, kMagic, kMagicSize) != 0) return kMonBadMagic;
        link.parsedCount += kMagicSize;
        link.receiveState = 2;
        break;
      case 2:
        if (const int error = Need(link, 2)) return error;
        link.parsedCount += 2;
        link.receiveState = 4;
        break;
      case 4:
        if (const int error = Need(link, 2)) return error;
        link.receivedCode = Big16(at);
        link.parsedCount += 2;
        link.receiveState = 3;
        break;
      case 3:
        if (const int error = Need(link, 2)) return error;
        link.receivedLength = Big16(at);
        link.parsedCount += 2;
        if (link.receivedLength > kMonitorMaxData) return kMonBadLength;
        if (link.receivedLength == 0) return 0;
        link.receiveState = 5;
        break;
      default: {
        if (const int error = Need(link, link.receivedLength)) return error;
        link.parsedCount += link.receivedLength;
        if ((link.receivedCode == kMonActiveSetting && link.receivedLength != 4) ||
            (link.receivedCode == kMonBeginDownload && link.receivedLength != 6))
          return kMonBadLength;
        return 0;
      }
    }
  }
}

// Sends a packet that needs no answer.
int Answer(MonitorLink& link, std::uint16_t code) {
  BuildPacket(link, code);
  return SendAndAwait(link);
}

}  // namespace

void StartLink(MonitorLink& link, platform::Socket& socket) {
  link = MonitorLink();
  link.socket = &socket;
}

int BuildPacket(MonitorLink& link, std::uint16_t code, std::uint32_t number, std::uint16_t blocks,
                const std::uint8_t* data, int dataLength) {
  std::uint8_t* payload = link.sendBuffer + kMonitorHeaderSize;
  int length = 0;
  switch (code) {
    case kMonIdentify:
    case kMonIdentifyAnswer:
    case kMonAck:
    case kMonNak:
    case kMonReboot:
    case kMonAccepted:
      break;
    case kMonActiveSetting:
      PutBig32(payload, number);
      length = 4;
      break;
    case kMonBeginDownload:
      PutBig32(payload, number);
      PutBig16(payload + 4, blocks);
      length = 6;
      link.sendSum = 0;
      break;
    case kMonDataBlock:
      if (data == nullptr || dataLength < 1 || dataLength > kMonitorMaxData) return kMonBadLength;
      std::memcpy(payload, data, static_cast<std::size_t>(dataLength));
      for (int i = 0; i < dataLength; ++i) link.sendSum += data[i];
      length = dataLength;
      break;
    case kMonEndDownload:
      PutBig32(payload, link.sendSum);
      length = 4;
      break;
    default:
      return kMonUnexpected;
  }
  std::memcpy(link.sendBuffer, kMagic, kMagicSize);
  PutBig16(link.sendBuffer + 7, 0);
  PutBig16(link.sendBuffer + 9, code);
  PutBig16(link.sendBuffer + 11, static_cast<std::uint16_t>(length));
  link.sendLength = kMonitorHeaderSize + length;
  link.sendCount = 0;
  return 0;
}

int SendAndAwait(MonitorLink& link) {
  while (link.sendCount < link.sendLength) {
    const int sent = link.socket->Send(link.sendBuffer + link.sendCount, link.sendLength - link.sendCount);
    if (sent <= 0) return kMonClosed;
    link.sendCount += sent;
  }
  const std::uint16_t code = Big16(link.sendBuffer + 9);
  if (code == kMonIdentifyAnswer || code == kMonAck || code == kMonNak) return 0;
  if (const int error = ReceivePacket(link)) return error;
  const std::uint16_t answer = link.receivedCode;
  if (code == kMonIdentify) return answer == kMonIdentifyAnswer ? 0 : kMonUnexpected;
  const bool acknowledged = code == kMonReboot || code == kMonActiveSetting || code == kMonBeginDownload ||
                            code == kMonDataBlock || code == kMonEndDownload || code == kMonAccepted;
  if (answer == kMonAck) return 0;
  if (acknowledged && answer == kMonNak) return code == kMonBeginDownload ? kMonBadLength : kMonRefused;
  return kMonUnexpected;
}

int ReceivePacket(MonitorLink& link) {
  const int error = ParsePacket(link);
  link.receiveState = 0;
  // After a broken packet nothing received can be trusted to start the next one.
  if (error != 0) link.receivedCount = link.parsedCount = 0;
  if (error == kMonClosed || error == kMonSilent) return error;
  if (error != 0) {
    Answer(link, kMonNak);
    return error;
  }
  const std::uint8_t* data = link.receiveBuffer + kMonitorHeaderSize;
  switch (link.receivedCode) {
    case kMonIdentify:
      return Answer(link, kMonIdentifyAnswer);
    case kMonIdentifyAnswer:
    case kMonAck:
    case kMonNak:
      return 0;
    case kMonReboot:
    case kMonActiveSetting:
    case kMonAccepted:
      return Answer(link, kMonAck);
    case kMonBeginDownload:
      link.receivedByteCount = 0;
      link.receivedByteSum = 0;
      link.announcedNumber = Big32(data);
      link.announcedBlocks = Big16(data + 4);
      return Answer(link, kMonAck);
    case kMonDataBlock:
      for (int i = 0; i < link.receivedLength; ++i) link.receivedByteSum += data[i];
      link.receivedByteCount += link.receivedLength;
      return Answer(link, kMonAck);
    case kMonEndDownload:
      if (link.receivedLength < 4 || link.receivedByteCount != static_cast<std::uint32_t>(link.announcedBlocks) * 1024) {
        Answer(link, kMonNak);
        return kMonBadLength;
      }
      if (link.receivedByteSum == Big32(data)) return Answer(link, kMonAck);
      Answer(link, kMonNak);
      return kMonRefused;
    default:
      return Answer(link, kMonNak);
  }
}
