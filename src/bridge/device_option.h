// The wire contract between the port bridge and a device server port.
//
// Both the bridge (the client) and the device simulator (the server) use
// these numbers; neither redefines them.
//
// TCP: device port k (the mapping's "Port" value, 1 for the first port)
// is served at TCP port tcpBase + k; tcpBase is kDefaultTcpBase unless
// `--tcp-base N` is given to both sides.
//
// Telnet negotiation on connect: the bridge sends
//   IAC WILL BINARY, IAC DO BINARY, IAC WILL SGA, IAC DO SGA,
//   IAC WILL COM-PORT-OPTION (44), IAC WILL kControlOption (190).
// A device answers DO COM-PORT-OPTION; one that carries the control codes
// answers DO 190, one that does not answers DONT 190 (as plain RFC 2217
// servers do).
//
// RFC 2217 subnegotiations: IAC SB 44 <code> <value...> IAC SE, value
// bytes IAC-doubled, multi-byte values big-endian (network order). The
// client sends codes 1..12 below; the server answers with code + 100
// carrying the value it applied. NOTIFY-LINESTATE (106) and
// NOTIFY-MODEMSTATE (107) also arrive unasked from the server.
// Order the bridge relies on: a SET-CONTROL that changes DTR or RTS makes the
// device send its NOTIFY-MODEMSTATE for the lines that changed (as the mask
// allows) BEFORE its SET-CONTROL answer (105), so the modem status is current
// once the answer is in. The bridge sends SET-MODEMSTATE-MASK 0xF0 (the four
// line states, no deltas) after negotiation; the device then sends the
// current modem state once at once.
//
// Private control option 190, carrying the virtual driver's two control
// codes which RFC 2217 has no request for:
//   request : IAC SB 190 <code> <data...> IAC SE   (data IAC-doubled)
//     code 1 (kControlReboot)        : no data
//     code 2 (kControlFirmwareBlock) : exactly 1028 bytes, the driver's
//                                      block record (32-bit little-endian
//                                      block index, then 1024 data bytes)
//   answer  : IAC SB 190 <code + 100> <status> IAC SE
//     status 0 (kControlDone) = done, any other value = failed.
// The request fails when the option was refused (DONT/WONT 190), when the
// link is down, or when no answer arrives within kControlAnswerMs.
// One request is outstanding per link at a time; the device answers them
// in order.
#ifndef VEQ_BRIDGE_DEVICE_OPTION_H
#define VEQ_BRIDGE_DEVICE_OPTION_H

#include <cstdint>

namespace veq {
namespace deviceoption {

const int kDefaultTcpBase = 4000;

// Telnet option numbers.
const std::uint8_t kOptionBinary = 0;
const std::uint8_t kOptionSga = 3;
const std::uint8_t kOptionComPort = 44;
const std::uint8_t kControlOption = 190;

// RFC 2217 client-to-server codes; the server answers code + kServerOffset.
const std::uint8_t kSetBaudRate = 1;         // value: 4 bytes, baud
const std::uint8_t kSetDataSize = 2;         // value: 1 byte, 5..8 (0 = ask)
const std::uint8_t kSetParity = 3;           // 1 none 2 odd 3 even 4 mark 5 space
const std::uint8_t kSetStopSize = 4;         // 1 one, 2 two, 3 one and a half
const std::uint8_t kSetControl = 5;          // see kControl* values below
const std::uint8_t kNotifyLineState = 6;     // value: 1 byte line state
const std::uint8_t kNotifyModemState = 7;    // value: 1 byte modem state
const std::uint8_t kFlowControlSuspend = 8;  // no value
const std::uint8_t kFlowControlResume = 9;   // no value
const std::uint8_t kSetLineStateMask = 10;   // value: 1 byte
const std::uint8_t kSetModemStateMask = 11;  // value: 1 byte
const std::uint8_t kPurgeData = 12;          // 1 receive, 2 transmit, 3 both
const std::uint8_t kServerOffset = 100;

// SET-CONTROL values.
const std::uint8_t kControlFlowNone = 1;
const std::uint8_t kControlFlowXonXoff = 2;
const std::uint8_t kControlFlowHardware = 3;
const std::uint8_t kControlBreakOn = 5;
const std::uint8_t kControlBreakOff = 6;
const std::uint8_t kControlDtrOn = 8;
const std::uint8_t kControlDtrOff = 9;
const std::uint8_t kControlRtsOn = 11;
const std::uint8_t kControlRtsOff = 12;

// Modem state bits (NOTIFY-MODEMSTATE value).
const std::uint8_t kModemDcd = 0x80;
const std::uint8_t kModemRi = 0x40;
const std::uint8_t kModemDsr = 0x20;
const std::uint8_t kModemCts = 0x10;

// PURGE-DATA values.
const std::uint8_t kPurgeReceive = 1;
const std::uint8_t kPurgeTransmit = 2;
const std::uint8_t kPurgeBoth = 3;

// Private option 190 codes and answer.
const std::uint8_t kControlReboot = 1;
const std::uint8_t kControlFirmwareBlock = 2;
const std::uint8_t kControlAnswerOffset = 100;
const std::uint8_t kControlDone = 0;
const unsigned kFirmwareBlockBytes = 1028;
const int kControlAnswerMs = 5000;

}  // namespace deviceoption
}  // namespace veq

#endif
