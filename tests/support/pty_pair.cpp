#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace testsupport {

PtyPair::PtyPair() {
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) std::abort();
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slavePath_ = name;
}

PtyPair::~PtyPair() {
  ReleaseSlave();
  if (master_ >= 0) close(master_);
}

void PtyPair::LinkAs(const std::string& dir, const std::string& name) const {
  const std::string link = dir + "/" + name;
  unlink(link.c_str());
  if (symlink(slavePath_.c_str(), link.c_str()) != 0) std::abort();
}

bool PtyPair::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    pollfd entry{master_, POLLOUT, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    const ssize_t put = write(master_, bytes.data() + done, bytes.size() - done);
    if (put > 0)
      done += static_cast<std::size_t>(put);
    else if (put < 0 && errno != EAGAIN && errno != EINTR)
      return false;
  }
  return true;
}

std::string PtyPair::Read(std::size_t count, int timeoutMs) {
  std::string bytes;
  while (bytes.size() < count) {
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) break;
    char buffer[256];
    const ssize_t got = read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

void PtyPair::ReleaseSlave() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
}

}  // namespace testsupport
