// What the port bridge needs from a POSIX system, as plain descriptors: pseudo-terminals in
// packet mode, local and TCP sockets without blocking, one poll over all of them, the
// stop signals and the directory lock. POSIX only: on Windows the driver stands in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace bridgeio {

// ReadSome and WriteSome: the byte count, or one of these.
constexpr long kEnd = 0;
constexpr long kWouldBlock = -1;
constexpr long kFailed = -2;

long ReadSome(int fd, void* buffer, std::size_t size);
long WriteSome(int fd, const void* data, std::size_t size);
void Close(int fd);
long long NowMs();

// A pseudo-terminal whose master reports the slave's settings changes (packet mode with
// EXTPROC). It starts as if its last program had closed it.
struct Pty {
  int master = -1;
  std::string slavePath;
};
bool OpenPty(Pty* pty, std::string* error);
// True while some program holds the slave open.
bool PtySlaveOpen(int master);
// What the slave's settings carry through a pty.
struct PtySettings {
  std::uint32_t baud = 0;
  std::uint8_t stopBits = 1;  // 1 or 2
  std::uint8_t flow = 0;      // 0 none, 1 XON/XOFF, 2 RTS/CTS
  bool operator==(const PtySettings& other) const {
    return baud == other.baud && stopBits == other.stopBits && flow == other.flow;
  }
};
// Reads the settings and puts EXTPROC back if a program's settings cleared it.
bool ReadPtySettings(int master, PtySettings* settings);
// Discards what waits in the slave's input queue (the program's receive side).
void FlushPtyInput(int master);
// Packet-mode status bits of a master read's first byte.
constexpr std::uint8_t kPacketIoctl = 0x40;
constexpr std::uint8_t kPacketFlushRead = 0x01;
constexpr std::uint8_t kPacketFlushWrite = 0x02;

// Makes linkPath a symbolic link to target, replacing whatever stood there.
bool ReplaceLink(const std::string& target, const std::string& linkPath);
void RemovePath(const std::string& path);

// A listening Unix stream socket at path (a stale one replaced), open to its owner only.
int ListenLocal(const std::string& path, std::string* error);
int AcceptLocal(int listener);
// A blocking connection to a Unix socket; -1 when nothing listens there.
int ConnectLocal(const std::string& path);
// Whether path is a socket.
bool IsSocket(const std::string& path);

// A TCP connection begun without blocking; the descriptor becomes writable when it is made.
int StartTcpConnect(std::uint32_t address, std::uint16_t port);
// 0 once connected, else the error that ended it.
int TcpConnectError(int fd);

struct PollEntry {
  int fd = -1;
  bool wantRead = false, wantWrite = false;
  bool readable = false, writable = false, hangup = false;
};
// poll over the entries; false on a failure other than a signal.
bool Poll(std::vector<PollEntry>* entries, int timeoutMs);

// A descriptor readable when SIGTERM, SIGINT or SIGHUP arrives (they no longer end the
// process); ReadSignal returns the signal's number, 0 when none waits.
int OpenSignals();
int ReadSignal(int fd);
void IgnoreBrokenPipes();

// An exclusive lock on path held for the life of the descriptor; -1 when another process
// holds it (*busy true) or the file cannot be made.
int LockFile(const std::string& path, bool* busy);

// One request line to a Unix socket and its answer line; false when nothing answers.
bool AskLocal(int fd, const std::string& request, std::string* answer, int timeoutMs);
// The next line (without its newline); false at the end or after timeoutMs.
bool ReadLine(int fd, std::string* line, int timeoutMs);

// The names in a folder, and whether a path is a symbolic link to nothing.
std::vector<std::string> ListDirectory(const std::string& dir);
bool IsDanglingLink(const std::string& path);

}  // namespace bridgeio
}  // namespace platform
