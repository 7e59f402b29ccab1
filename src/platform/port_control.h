// The control socket beside a bridged port: "$VEQ_COM_DIR/COMn.ctl", a Unix stream socket
// that only the bridge's user may open. It carries what a pseudo-terminal cannot: data
// bits, parity, the modem lines, purges and the driver's control codes.
//
// One request line, one answer line, in turn. Numbers are decimal, blocks hexadecimal.
//   "STATE <baud> <data bits> <parity 0..4> <stop 0..2> <flow 0 none|1 xon/xoff|2 hardware>"
//   "LINES <dtr 0|1> <rts 0|1>"       both lines set; answered once the device took them
//   "BREAK <0|1>"
//   "PURGE <rx 0|1> <tx 0|1>"
//   "MODEM"                           answer "OK <bits>": CTS 0x10 DSR 0x20 RI 0x40 DCD 0x80
//   "LINK"                            "OK" while the device link carries data
//   "IOCTL <code> <hex bytes>"        the driver's control code, answered by the device
// Answers: "OK" (with a value where given) or "ERR <Win32 error>".
#pragma once

namespace platform {

constexpr const char* kPortControlSuffix = ".ctl";
// The bridge's own socket in the same folder: "STATUS" (a line per port, then "END") and
// "RELOAD" (answered "OK <ports>" once the mappings have been read again).
constexpr const char* kBridgeCommandSocket = "veq-comportd.sock";
constexpr unsigned kPortControlLineMax = 4096;  // longer than any request, a block included

}  // namespace platform
