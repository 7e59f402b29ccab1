#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "platform/bridge_io.h"

namespace platform {
namespace bridgeio {
namespace {

bool LocalAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

struct Rate {
  std::uint32_t rate;
  speed_t speed;
};
const Rate kRates[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},
                       {150, B150},       {200, B200},       {300, B300},       {600, B600},
                       {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
                       {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
                       {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

}  // namespace

long ReadSome(int fd, void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : kFailed;
  }
}

long WriteSome(int fd, const void* data, std::size_t size) {
  for (;;) {
    const ssize_t put = send(fd, data, size, MSG_NOSIGNAL);
    if (put >= 0) return put == 0 ? kWouldBlock : put;
    if (errno == ENOTSOCK) {
      const ssize_t written = write(fd, data, size);
      if (written >= 0) return written == 0 ? kWouldBlock : written;
    }
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : kFailed;
  }
}

void Close(int fd) {
  if (fd >= 0) close(fd);
}

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool OpenPty(Pty* pty, std::string* error) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    *error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
    Close(master);
    return false;
  }
  char name[128];
  int on = 1;
  termios settings{};
  if (ptsname_r(master, name, sizeof name) != 0 || ioctl(master, TIOCPKT, &on) != 0 ||
      tcgetattr(master, &settings) != 0) {
    *error = std::string("cannot set up a pseudo-terminal: ") + std::strerror(errno);
    Close(master);
    return false;
  }
  cfmakeraw(&settings);
  settings.c_lflag |= EXTPROC;
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&settings, B9600);
  tcsetattr(master, TCSANOW, &settings);
  // Opened and closed once, the master reports a hang-up until a program opens the slave.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  Close(slave);
  char drain[64];
  while (ReadSome(master, drain, sizeof drain) > 0) {
  }
  pty->master = master;
  pty->slavePath = name;
  return true;
}

bool PtySlaveOpen(int master) {
  pollfd entry{master, POLLIN, 0};
  return poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
}

bool ReadPtySettings(int master, PtySettings* settings) {
  termios now{};
  if (tcgetattr(master, &now) != 0) return false;
  settings->baud = 0;
  const speed_t speed = cfgetospeed(&now);
  for (const Rate& rate : kRates)
    if (rate.speed == speed) settings->baud = rate.rate;
  settings->stopBits = (now.c_cflag & CSTOPB) != 0 ? 2 : 1;
  settings->flow = (now.c_cflag & CRTSCTS) != 0 ? 2 : (now.c_iflag & (IXON | IXOFF)) != 0 ? 1 : 0;
  if ((now.c_lflag & EXTPROC) == 0) {
    now.c_lflag |= EXTPROC;
    tcsetattr(master, TCSANOW, &now);
  }
  return true;
}

void FlushPtyInput(int master) {
  // The master's output queue is the slave's input.
  tcflush(master, TCOFLUSH);
}

bool ReplaceLink(const std::string& target, const std::string& linkPath) {
  const std::string fresh = linkPath + ".new";
  unlink(fresh.c_str());
  if (symlink(target.c_str(), fresh.c_str()) != 0) return false;
  if (rename(fresh.c_str(), linkPath.c_str()) != 0) {
    unlink(fresh.c_str());
    return false;
  }
  return true;
}

void RemovePath(const std::string& path) { unlink(path.c_str()); }

int ListenLocal(const std::string& path, std::string* error) {
  sockaddr_un address{};
  if (!LocalAddress(path, &address)) {
    *error = "socket path too long: " + path;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  unlink(path.c_str());
  // Made with no access for others from the start, not narrowed afterwards.
  const mode_t old = umask(077);
  const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  umask(old);
  if (bound != 0 || listen(fd, 16) != 0) {
    *error = "cannot listen at " + path + ": " + std::strerror(errno);
    Close(fd);
    return -1;
  }
  return fd;
}

int AcceptLocal(int listener) { return accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC); }

int ConnectLocal(const std::string& path) {
  sockaddr_un address{};
  if (!LocalAddress(path, &address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    Close(fd);
    return -1;
  }
  return fd;
}

bool IsSocket(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

int StartTcpConnect(std::uint32_t address, std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = address;
  peer.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0 && errno != EINPROGRESS) {
    Close(fd);
    return -1;
  }
  return fd;
}

int TcpConnectError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

bool Poll(std::vector<PollEntry>* entries, int timeoutMs) {
  std::vector<pollfd> fds(entries->size());
  for (std::size_t i = 0; i < fds.size(); ++i) {
    const PollEntry& entry = (*entries)[i];
    fds[i].fd = entry.fd;
    fds[i].events = static_cast<short>((entry.wantRead ? POLLIN : 0) | (entry.wantWrite ? POLLOUT : 0));
  }
  const int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready < 0) return errno == EINTR;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    PollEntry& entry = (*entries)[i];
    entry.readable = (fds[i].revents & (POLLIN | POLLPRI)) != 0;
    entry.writable = (fds[i].revents & POLLOUT) != 0;
    entry.hangup = (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
  return true;
}

int OpenSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
  return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

int ReadSignal(int fd) {
  signalfd_siginfo info{};
  return ReadSome(fd, &info, sizeof info) == static_cast<long>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

int LockFile(const std::string& path, bool* busy) {
  *busy = false;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *busy = errno == EWOULDBLOCK;
    Close(fd);
    return -1;
  }
  return fd;
}

bool AskLocal(int fd, const std::string& request, std::string* answer, int timeoutMs) {
  const std::string line = request + "\n";
  for (std::size_t sent = 0; sent < line.size();) {
    const ssize_t put = send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    sent += static_cast<std::size_t>(put);
  }
  return ReadLine(fd, answer, timeoutMs);
}

bool ReadLine(int fd, std::string* answer, int timeoutMs) {
  answer->clear();
  const long long deadline = NowMs() + timeoutMs;
  for (;;) {
    const long long left = deadline - NowMs();
    pollfd entry{fd, POLLIN, 0};
    if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) == 0) return false;
    char c = 0;
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (c == '\n') return true;
    *answer += c;
  }
}

std::vector<std::string> ListDirectory(const std::string& dir) {
  std::vector<std::string> names;
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) names.push_back(entry->d_name);
  closedir(folder);
  return names;
}

bool IsDanglingLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && stat(path.c_str(), &info) != 0;
}

}  // namespace bridgeio
}  // namespace platform
