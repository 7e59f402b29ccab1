// The monitor link's receive state machine: the device's side of the link is the input.
// Byte 0 picks what the program does first (its low four bits: 0 only listens, 1 to 7
// send one packet and await its answer; bit 4: the device closes once it has said all),
// byte 1 is the size of the segments the rest arrives in, less one. Then the program
// keeps receiving and answering packets until the device falls silent or closes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "firmware/monitor_link.h"
#include "fuzz_support.h"
#include "support/scripted_socket.h"

namespace {

constexpr std::uint16_t kFirstCodes[] = {kMonIdentify,   kMonActiveSetting, kMonBeginDownload, kMonDataBlock,
                                         kMonEndDownload, kMonReboot,        kMonAccepted};

bool IsLinkResult(int result) {
  return result == 0 || result == kMonClosed || result == kMonSilent || result == kMonBadLength ||
         result == kMonBadMagic || result == kMonUnexpected || result == kMonRefused;
}

// What the program sent is a row of whole packets, each with its magic and its length.
bool SentWholePackets(const std::string& sent) {
  std::size_t at = 0;
  while (at < sent.size()) {
    if (sent.size() - at < static_cast<std::size_t>(kMonitorHeaderSize) || sent.compare(at, 7, "EVA MON") != 0)
      return false;
    const auto* header = reinterpret_cast<const std::uint8_t*>(sent.data() + at);
    const std::size_t length = static_cast<std::size_t>(header[11] << 8 | header[12]);
    if (length > static_cast<std::size_t>(kMonitorMaxData)) return false;
    at += kMonitorHeaderSize + length;
  }
  return at == sent.size();
}

void RequireSoundLink(const MonitorLink& link, const testsupport::ScriptedSocket& socket, int result) {
  fuzz::Require(IsLinkResult(result), "the link returns one of its error numbers");
  fuzz::Require(0 <= link.parsedCount && link.parsedCount <= link.receivedCount &&
                    link.receivedCount <= static_cast<int>(sizeof link.receiveBuffer),
                "the receive counts stay within the buffer");
  fuzz::Require(result != 0 || link.receivedLength <= kMonitorMaxData, "a packet taken fits the buffer");
  fuzz::Require(SentWholePackets(socket.sent), "the program sends whole packets only");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const unsigned first = data[0] & 0x0F;
  const bool closes = (data[0] & 0x10) != 0;
  const std::size_t segment = static_cast<std::size_t>(data[1]) + 1;
  testsupport::ScriptedSocket socket;
  for (std::size_t at = 2; at < size; at += segment)
    socket.Arrive(std::string(reinterpret_cast<const char*>(data + at), std::min(segment, size - at)));
  if (closes) socket.CloseFromPeer();

  MonitorLink link;
  StartLink(link, socket);
  link.receiveTimeoutMs = 0;
  if (first >= 1 && first <= sizeof kFirstCodes / sizeof kFirstCodes[0]) {
    std::uint8_t block[1024];
    std::memset(block, 0xA5, sizeof block);
    const std::uint16_t code = kFirstCodes[first - 1];
    fuzz::Require(BuildPacket(link, code, 1, 2, block, sizeof block) == 0, "a known code builds");
    RequireSoundLink(link, socket, SendAndAwait(link));
  }
  // Each turn takes at least one byte or ends at silence or the close.
  for (std::size_t turn = 0; turn <= size; ++turn) {
    const int result = ReceivePacket(link);
    RequireSoundLink(link, socket, result);
    if (result == kMonSilent || result == kMonClosed) break;
  }
  return 0;
}
