// Serial ports as the Win32 comm API presents them: a port is opened by its device path
// ("\\.\COM5"), configured through a DCB and time-outs, and reached with synchronous reads,
// writes, modem-line calls and the driver's control codes. Every failing call leaves its
// Win32 error value in LastError().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Win32 error values the serial layer reports.
constexpr std::uint32_t kSerialErrorInvalidFunction = 1;
constexpr std::uint32_t kSerialErrorFileNotFound = 2;
constexpr std::uint32_t kSerialErrorAccessDenied = 5;
constexpr std::uint32_t kSerialErrorInvalidParameter = 87;
constexpr std::uint32_t kSerialErrorSharingViolation = 32;
constexpr std::uint32_t kSerialErrorGenFailure = 31;

// DCB values.
constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
constexpr std::uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;
constexpr std::uint8_t kRtsControlDisable = 0, kRtsControlEnable = 1, kRtsControlHandshake = 2,
                       kRtsControlToggle = 3;
constexpr std::uint8_t kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2;

// PurgeComm flags.
constexpr std::uint32_t kPurgeTxAbort = 0x1, kPurgeRxAbort = 0x2, kPurgeTxClear = 0x4, kPurgeRxClear = 0x8;
// EscapeCommFunction codes.
constexpr std::uint32_t kSetRts = 3, kClrRts = 4, kSetDtr = 5, kClrDtr = 6;
// GetCommModemStatus bits.
constexpr std::uint32_t kMsCtsOn = 0x10, kMsDsrOn = 0x20, kMsRingOn = 0x40, kMsRlsdOn = 0x80;

// The fields of the Win32 DCB that this system reads or writes.
struct Dcb {
  std::uint32_t BaudRate = 9600;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = kNoParity;
  std::uint8_t StopBits = kOneStopBit;
  bool fBinary = true;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  std::uint8_t fDtrControl = kDtrControlEnable;
  bool fDsrSensitivity = false;
  bool fOutX = false;
  bool fInX = false;
  std::uint8_t fRtsControl = kRtsControlEnable;
};

// COMMTIMEOUTS, in milliseconds.
struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// One open port (a HANDLE from CreateFileA). Closing is destruction (CloseHandle).
// Each call returns true on success, false with LastError() set.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  virtual bool GetCommState(Dcb* dcb) = 0;
  virtual bool SetCommState(const Dcb& dcb) = 0;
  virtual bool GetCommTimeouts(CommTimeouts* timeouts) = 0;
  virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool PurgeComm(std::uint32_t flags) = 0;
  virtual bool EscapeCommFunction(std::uint32_t function) = 0;
  virtual bool GetCommModemStatus(std::uint32_t* status) = 0;
  // Synchronous I/O bounded by the total time-outs: a read that times out succeeds
  // with fewer bytes (possibly none).
  virtual bool ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) = 0;
  virtual bool WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) = 0;
  // The driver's private control codes; input only, no output.
  virtual bool DeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize) = 0;
  virtual std::uint32_t LastError() const = 0;
};

// What stands behind the driver's control codes of one port. The real driver answers on
// Windows; elsewhere tests install a simulation.
class DriverControl {
 public:
  virtual ~DriverControl() = default;
  // Returns true when the driver accepted the request; false with *lastError set.
  virtual bool Control(const std::string& devicePath, std::uint32_t code, const void* input,
                       std::uint32_t inputSize, std::uint32_t* lastError) = 0;
};

// Opens ports: CreateFileA with read and write access, share mode 0, OPEN_EXISTING.
class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // devicePath is "\\.\COMn" or "\\.\<name>". Null on failure with *lastError set
  // (kSerialErrorFileNotFound when there is no such port).
  virtual std::unique_ptr<SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) = 0;
};

// The machine's serial ports. driver, when given, answers DeviceIoControl in place of the
// platform's own driver (and must outlive the ports opened).
std::unique_ptr<SerialPorts> CreateSystemSerialPorts(DriverControl* driver = nullptr);

}  // namespace platform
