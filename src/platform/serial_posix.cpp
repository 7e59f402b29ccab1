// Serial ports on POSIX: "\\.\COMn" is $VEQ_COM_DIR/COMn when that folder is given (a link
// to any tty), else /dev/ttyS<n-1>. termios carries the DCB, the modem-line ioctls the
// escape functions and the status, poll the time-outs. A port the bridge serves has its
// control socket beside it: there the format, the lines, the status, purges and the
// driver's control codes go, which its pseudo-terminal cannot carry.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/bridge_io.h"
#include "platform/port_control.h"
#include "platform/serial.h"

namespace platform {
namespace {

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
// Longer than the bridge ever takes to answer, device round trip included.
constexpr int kControlAnswerMs = 10000;

struct BaudRate {
  std::uint32_t rate;
  speed_t speed;
};

const BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600},
};

bool SpeedOf(std::uint32_t rate, speed_t* speed) {
  for (const BaudRate& entry : kBaudRates)
    if (entry.rate == rate) {
      *speed = entry.speed;
      return true;
    }
  return false;
}

std::uint32_t RateOf(speed_t speed) {
  for (const BaudRate& entry : kBaudRates)
    if (entry.speed == speed) return entry.rate;
  return 0;
}

// The Win32 value of an errno from a modem-line or line-setting call.
std::uint32_t ControlError(int error) {
  if (error == ENOTTY || error == EINVAL) return kSerialErrorInvalidFunction;
  return kSerialErrorGenFailure;
}

// The n of a "COMn" name (any case, as the platform's device names go), or 0.
long ComNumberOf(const std::string& name) {
  if (name.size() < 4 || name.size() > 8 || name[3] == '0') return 0;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  for (std::size_t i = 3; i < name.size(); ++i)
    if (std::isdigit(static_cast<unsigned char>(name[i])) == 0) return 0;
  return std::strtol(name.c_str() + 3, nullptr, 10);
}

// The file behind a device path; empty when the path names no serial port at all.
std::string FileOf(const std::string& devicePath) {
  const std::string prefix = "\\\\.\\";
  if (devicePath.compare(0, prefix.size(), prefix) != 0) return std::string();
  const std::string name = devicePath.substr(prefix.size());
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return std::string();
  const char* dir = std::getenv("VEQ_COM_DIR");
  const bool inDir = dir != nullptr && *dir != '\0';
  const long com = ComNumberOf(name);
  if (com > 0) return inDir ? std::string(dir) + "/COM" + std::to_string(com) : "/dev/ttyS" + std::to_string(com - 1);
  return inDir ? std::string(dir) + "/" + name : "/dev/" + name;
}

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string Hex(const void* data, std::uint32_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::uint32_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort(int fd, int control, std::string devicePath, DriverControl* driver)
      : fd_(fd), control_(control), devicePath_(std::move(devicePath)), driver_(driver) {
    if (control_ >= 0) {
      GetTtyState(&controlDcb_);
      // The format the bridge starts a link with.
      controlDcb_.ByteSize = 8;
      controlDcb_.Parity = kNoParity;
    }
  }
  ~PosixSerialPort() override {
    // The exclusive mode belongs to the tty, not to this descriptor: it would outlive the
    // port while anything else keeps the tty open.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
    bridgeio::Close(control_);
  }

  bool GetCommState(Dcb* dcb) override {
    if (control_ < 0) return GetTtyState(dcb);
    *dcb = controlDcb_;
    return true;
  }

  bool GetTtyState(Dcb* dcb) {
    termios attributes{};
    if (tcgetattr(fd_, &attributes) != 0) return Fail(ControlError(errno));
    dcb->BaudRate = RateOf(cfgetospeed(&attributes));
    switch (attributes.c_cflag & CSIZE) {
      case CS5: dcb->ByteSize = 5; break;
      case CS6: dcb->ByteSize = 6; break;
      case CS7: dcb->ByteSize = 7; break;
      default: dcb->ByteSize = 8; break;
    }
    const tcflag_t c = attributes.c_cflag;
    if ((c & PARENB) == 0)
      dcb->Parity = kNoParity;
    else if ((c & CMSPAR) != 0)
      dcb->Parity = (c & PARODD) != 0 ? kMarkParity : kSpaceParity;
    else
      dcb->Parity = (c & PARODD) != 0 ? kOddParity : kEvenParity;
    dcb->StopBits = (c & CSTOPB) == 0 ? kOneStopBit : dcb->ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
    dcb->fBinary = true;
    dcb->fParity = (attributes.c_iflag & INPCK) != 0;
    // One flag carries both directions of hardware flow control: it reads back as CTS
    // flow; RTS keeps the control last set, as the tty has no separate record of it.
    dcb->fOutxCtsFlow = (c & CRTSCTS) != 0;
    dcb->fOutxDsrFlow = false;
    dcb->fDsrSensitivity = false;
    dcb->fOutX = (attributes.c_iflag & IXON) != 0;
    dcb->fInX = (attributes.c_iflag & IXOFF) != 0;
    dcb->fDtrControl = dtrControl_;
    dcb->fRtsControl = rtsControl_;
    return true;
  }

  bool SetCommState(const Dcb& dcb) override {
    speed_t speed = B9600;
    const bool known = SpeedOf(dcb.BaudRate, &speed);
    // The bridge carries any rate to the device; the pty takes only those it knows.
    if ((!known && (control_ < 0 || dcb.BaudRate == 0)) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > kSpaceParity ||
        dcb.StopBits > kTwoStopBits)
      return Fail(kSerialErrorInvalidParameter);
    // As on a 16550: one and a half stop bits only with 5 data bits, two only with more.
    if ((dcb.StopBits == kOne5StopBits && dcb.ByteSize != 5) || (dcb.StopBits == kTwoStopBits && dcb.ByteSize == 5))
      return Fail(kSerialErrorInvalidParameter);
    // A tty has no DSR flow control, DSR sensitivity, DTR handshake or RTS toggling.
    if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fDtrControl > kDtrControlEnable ||
        dcb.fRtsControl > kRtsControlHandshake)
      return Fail(kSerialErrorInvalidParameter);
    if (control_ >= 0) return SetBridgedState(dcb, known ? &speed : nullptr);
    termios old{};
    if (tcgetattr(fd_, &old) != 0) return Fail(ControlError(errno));
    termios wanted = old;
    cfmakeraw(&wanted);
    wanted.c_cflag |= CLOCAL | CREAD;
    wanted.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    wanted.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);  // raw mode leaves some of these
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    wanted.c_cflag |= kSizes[dcb.ByteSize - 5];
    if (dcb.Parity != kNoParity) wanted.c_cflag |= PARENB;
    if (dcb.Parity == kOddParity || dcb.Parity == kMarkParity) wanted.c_cflag |= PARODD;
    if (dcb.Parity == kMarkParity || dcb.Parity == kSpaceParity) wanted.c_cflag |= CMSPAR;
    if (dcb.StopBits != kOneStopBit) wanted.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == kRtsControlHandshake) wanted.c_cflag |= CRTSCTS;
    if (dcb.fParity) wanted.c_iflag |= INPCK;
    if (dcb.fOutX) wanted.c_iflag |= IXON;
    if (dcb.fInX) wanted.c_iflag |= IXOFF;
    cfsetispeed(&wanted, speed);
    cfsetospeed(&wanted, speed);
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) return Fail(kSerialErrorInvalidParameter);
    // tcsetattr succeeds when any part of the request took: what did not take is a
    // setting this tty cannot have.
    termios now{};
    const tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS, kInput = INPCK | IXON | IXOFF;
    if (tcgetattr(fd_, &now) != 0 || (now.c_cflag & kControl) != (wanted.c_cflag & kControl) ||
        (now.c_iflag & kInput) != (wanted.c_iflag & kInput) || cfgetospeed(&now) != speed) {
      tcsetattr(fd_, TCSANOW, &old);
      return Fail(kSerialErrorInvalidParameter);
    }
    dtrControl_ = dcb.fDtrControl;
    rtsControl_ = dcb.fRtsControl;
    // The lines follow their control settings; a tty without modem lines (a
    // pseudo-terminal) has none to set, which is no fault of the setting.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ioctl(fd_, dtrControl_ == kDtrControlEnable ? TIOCMBIS : TIOCMBIC, &dtr);
    if (rtsControl_ != kRtsControlHandshake) ioctl(fd_, rtsControl_ == kRtsControlEnable ? TIOCMBIS : TIOCMBIC, &rts);
    return true;
  }

  bool GetCommTimeouts(CommTimeouts* timeouts) override {
    *timeouts = timeouts_;
    return true;
  }

  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return true;
  }

  bool PurgeComm(std::uint32_t flags) override {
    const bool rx = (flags & kPurgeRxClear) != 0, tx = (flags & kPurgeTxClear) != 0;
    if (!rx && !tx) return true;  // aborting needs nothing: every call here is synchronous
    if (tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0) return Fail(ControlError(errno));
    if (control_ >= 0) return Ask(std::string("PURGE ") + (rx ? "1 " : "0 ") + (tx ? "1" : "0"), nullptr);
    return true;
  }

  bool EscapeCommFunction(std::uint32_t function) override {
    if (control_ >= 0) {
      switch (function) {
        case kSetRts: rtsOn_ = true; break;
        case kClrRts: rtsOn_ = false; break;
        case kSetDtr: dtrOn_ = true; break;
        case kClrDtr: dtrOn_ = false; break;
        default: return Fail(kSerialErrorInvalidParameter);
      }
      return SendLines();
    }
    switch (function) {
      case kSetRts: return SetLine(TIOCM_RTS, true);
      case kClrRts: return SetLine(TIOCM_RTS, false);
      case kSetDtr: return SetLine(TIOCM_DTR, true);
      case kClrDtr: return SetLine(TIOCM_DTR, false);
      default: return Fail(kSerialErrorInvalidParameter);
    }
  }

  bool GetCommModemStatus(std::uint32_t* status) override {
    if (control_ >= 0) {
      std::string bits;
      if (!Ask("MODEM", &bits)) return false;
      *status = static_cast<std::uint32_t>(std::strtoul(bits.c_str(), nullptr, 10)) &
                (kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn);
      return true;
    }
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) return Fail(ControlError(errno));
    *status = ((lines & TIOCM_CTS) != 0 ? kMsCtsOn : 0) | ((lines & TIOCM_DSR) != 0 ? kMsDsrOn : 0) |
              ((lines & TIOCM_RI) != 0 ? kMsRingOn : 0) | ((lines & TIOCM_CD) != 0 ? kMsRlsdOn : 0);
    return true;
  }

  bool ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    *transferred = 0;
    const CommTimeouts& t = timeouts_;
    // MAXDWORD interval with zero totals: return at once with whatever has arrived.
    const bool immediate =
        t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
    const long long total = static_cast<long long>(t.ReadTotalTimeoutMultiplier) * size + t.ReadTotalTimeoutConstant;
    const long long deadline = immediate ? NowMs() : total > 0 ? NowMs() + total : -1;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (*transferred < size) {
      long long wait = deadline < 0 ? -1 : std::max(0LL, deadline - NowMs());
      // Between bytes the interval time-out applies once the first byte is in.
      if (*transferred > 0 && t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword)
        wait = wait < 0 ? t.ReadIntervalTimeout : std::min<long long>(wait, t.ReadIntervalTimeout);
      const int ready = Poll(POLLIN, wait);
      if (ready < 0) return Fail(kSerialErrorGenFailure);
      if (ready == 0) break;
      const ssize_t got = read(fd_, bytes + *transferred, size - *transferred);
      if (got > 0)
        *transferred += static_cast<std::uint32_t>(got);
      else if (got == 0)
        break;  // the other end has gone: nothing more will come
      else if (errno != EAGAIN && errno != EINTR)
        return Fail(kSerialErrorGenFailure);
    }
    return true;
  }

  bool WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    *transferred = 0;
    // A link that is down and not retried takes no data, as a failed driver would not.
    if (control_ >= 0 && !Ask("LINK", nullptr)) return false;
    const long long total =
        static_cast<long long>(timeouts_.WriteTotalTimeoutMultiplier) * size + timeouts_.WriteTotalTimeoutConstant;
    const long long deadline = total > 0 ? NowMs() + total : -1;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (*transferred < size) {
      const long long wait = deadline < 0 ? -1 : std::max(0LL, deadline - NowMs());
      const int ready = Poll(POLLOUT, wait);
      if (ready < 0) return Fail(kSerialErrorGenFailure);
      if (ready == 0) break;
      const ssize_t put = write(fd_, bytes + *transferred, size - *transferred);
      if (put > 0)
        *transferred += static_cast<std::uint32_t>(put);
      else if (put < 0 && errno != EAGAIN && errno != EINTR)
        return Fail(kSerialErrorGenFailure);
    }
    return true;
  }

  bool DeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize) override {
    if (driver_ == nullptr && control_ >= 0)
      return Ask("IOCTL " + std::to_string(code) + " " + Hex(input, input == nullptr ? 0 : inputSize), nullptr);
    if (driver_ == nullptr) return Fail(kSerialErrorInvalidFunction);
    std::uint32_t error = 0;
    if (driver_->Control(devicePath_, code, input, inputSize, &error)) return true;
    return Fail(error);
  }

  std::uint32_t LastError() const override { return lastError_; }

 private:
  bool Fail(std::uint32_t error) {
    lastError_ = error;
    return false;
  }

  // One request on the control socket; the answer's value (after "OK ") into *value.
  bool Ask(const std::string& request, std::string* value) {
    std::string answer;
    if (!bridgeio::AskLocal(control_, request, &answer, kControlAnswerMs)) return Fail(kSerialErrorGenFailure);
    if (answer.compare(0, 4, "ERR ") == 0) {
      const unsigned long code = std::strtoul(answer.c_str() + 4, nullptr, 10);
      return Fail(code != 0 ? static_cast<std::uint32_t>(code) : kSerialErrorGenFailure);
    }
    if (answer.compare(0, 2, "OK") != 0) return Fail(kSerialErrorGenFailure);
    if (value != nullptr) *value = answer.size() > 3 ? answer.substr(3) : std::string();
    return true;
  }

  bool SendLines() {
    return Ask(std::string("LINES ") + (dtrOn_ ? "1 " : "0 ") + (rtsOn_ ? "1" : "0"), nullptr);
  }

  // A bridged port: the pty gets what it can hold (raw mode, speed, stop bits, flow
  // control, so a program reading its settings sees them); the bridge gets the whole
  // format and the lines.
  bool SetBridgedState(const Dcb& dcb, const speed_t* speed) {
    termios wanted{};
    if (tcgetattr(fd_, &wanted) != 0) return Fail(ControlError(errno));
    cfmakeraw(&wanted);
    wanted.c_cflag |= CLOCAL | CREAD;
    wanted.c_cflag &= ~(CSTOPB | CRTSCTS);
    wanted.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    if (dcb.StopBits != kOneStopBit) wanted.c_cflag |= CSTOPB;
    const bool hardware = dcb.fOutxCtsFlow || dcb.fRtsControl == kRtsControlHandshake;
    if (hardware) wanted.c_cflag |= CRTSCTS;
    if (dcb.fOutX) wanted.c_iflag |= IXON;
    if (dcb.fInX) wanted.c_iflag |= IXOFF;
    if (speed != nullptr) {
      cfsetispeed(&wanted, *speed);
      cfsetospeed(&wanted, *speed);
    }
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) return Fail(kSerialErrorInvalidParameter);
    const int flow = hardware ? 2 : dcb.fOutX || dcb.fInX ? 1 : 0;
    if (!Ask("STATE " + std::to_string(dcb.BaudRate) + " " + std::to_string(dcb.ByteSize) + " " +
                 std::to_string(dcb.Parity) + " " + std::to_string(dcb.StopBits) + " " + std::to_string(flow),
             nullptr))
      return false;
    dtrOn_ = dcb.fDtrControl == kDtrControlEnable;
    rtsOn_ = dcb.fRtsControl != kRtsControlDisable;
    if (!SendLines()) return false;
    controlDcb_ = dcb;
    controlDcb_.fBinary = true;
    dtrControl_ = dcb.fDtrControl;
    rtsControl_ = dcb.fRtsControl;
    return true;
  }

  bool SetLine(int line, bool on) {
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) return Fail(ControlError(errno));
    return true;
  }

  // poll for one event; wait < 0 waits without end. Returns poll's result.
  int Poll(short events, long long wait) {
    pollfd entry{fd_, events, 0};
    for (;;) {
      const int timeout = wait < 0 ? -1 : static_cast<int>(std::min(wait, 1LL << 30));
      const int ready = poll(&entry, 1, timeout);
      if (ready >= 0 || errno != EINTR) return ready;
    }
  }

  int fd_;
  int control_;  // the bridge's control socket, or -1
  Dcb controlDcb_;
  bool dtrOn_ = true, rtsOn_ = true;
  std::string devicePath_;
  DriverControl* driver_;
  CommTimeouts timeouts_;
  std::uint8_t dtrControl_ = kDtrControlEnable;
  std::uint8_t rtsControl_ = kRtsControlEnable;
  std::uint32_t lastError_ = 0;
};

class PosixSerialPorts : public SerialPorts {
 public:
  explicit PosixSerialPorts(DriverControl* driver) : driver_(driver) {}

  std::unique_ptr<SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override {
    const std::string file = FileOf(devicePath);
    if (file.empty()) {
      *lastError = kSerialErrorFileNotFound;
      return nullptr;
    }
    const int fd = open(file.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      *lastError = OpenError(errno);
      return nullptr;
    }
    // Share mode 0: the advisory lock keeps out every other opener, root included, and
    // TIOCEXCL the programs that do not lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *lastError = errno == EWOULDBLOCK ? kSerialErrorSharingViolation : kSerialErrorGenFailure;
      close(fd);
      return nullptr;
    }
    // A serial node whose UART is absent opens but answers every line call with EIO: that
    // is no port, as the platform would say. Anything else that is no tty is a failure.
    termios probe{};
    if (tcgetattr(fd, &probe) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      *lastError = errno == EIO ? kSerialErrorFileNotFound : kSerialErrorGenFailure;
      close(fd);
      return nullptr;
    }
    const std::string control = file + kPortControlSuffix;
    const int controlFd = bridgeio::IsSocket(control) ? bridgeio::ConnectLocal(control) : -1;
    return std::make_unique<PosixSerialPort>(fd, controlFd, devicePath, driver_);
  }

 private:
  static std::uint32_t OpenError(int error) {
    switch (error) {
      // No such file, or a device node whose hardware is absent.
      case ENOENT:
      case ENXIO:
      case ENODEV:
      case ENOTDIR: return kSerialErrorFileNotFound;
      case EACCES:
      case EPERM:
      case EROFS: return kSerialErrorAccessDenied;
      case EBUSY: return kSerialErrorSharingViolation;
      default: return kSerialErrorGenFailure;
    }
  }

  DriverControl* driver_;
};

}  // namespace

std::unique_ptr<SerialPorts> CreateSystemSerialPorts(DriverControl* driver) {
  return std::make_unique<PosixSerialPorts>(driver);
}

}  // namespace platform
