// Serial ports through the Win32 comm API.
#include <windows.h>

#include "platform/serial.h"

namespace platform {
namespace {

class Win32SerialPort : public SerialPort {
 public:
  Win32SerialPort(HANDLE handle, std::string devicePath, DriverControl* driver)
      : handle_(handle), devicePath_(std::move(devicePath)), driver_(driver) {}
  ~Win32SerialPort() override { CloseHandle(handle_); }

  bool GetCommState(Dcb* dcb) override {
    DCB state{};
    state.DCBlength = sizeof state;
    if (!::GetCommState(handle_, &state)) return Failed();
    dcb->BaudRate = state.BaudRate;
    dcb->ByteSize = state.ByteSize;
    dcb->Parity = state.Parity;
    dcb->StopBits = state.StopBits;
    dcb->fBinary = state.fBinary != 0;
    dcb->fParity = state.fParity != 0;
    dcb->fOutxCtsFlow = state.fOutxCtsFlow != 0;
    dcb->fOutxDsrFlow = state.fOutxDsrFlow != 0;
    dcb->fDtrControl = static_cast<std::uint8_t>(state.fDtrControl);
    dcb->fDsrSensitivity = state.fDsrSensitivity != 0;
    dcb->fOutX = state.fOutX != 0;
    dcb->fInX = state.fInX != 0;
    dcb->fRtsControl = static_cast<std::uint8_t>(state.fRtsControl);
    return true;
  }

  bool SetCommState(const Dcb& dcb) override {
    DCB state{};
    state.DCBlength = sizeof state;
    if (!::GetCommState(handle_, &state)) return Failed();
    state.BaudRate = dcb.BaudRate;
    state.ByteSize = dcb.ByteSize;
    state.Parity = dcb.Parity;
    state.StopBits = dcb.StopBits;
    state.fBinary = dcb.fBinary;
    state.fParity = dcb.fParity;
    state.fOutxCtsFlow = dcb.fOutxCtsFlow;
    state.fOutxDsrFlow = dcb.fOutxDsrFlow;
    state.fDtrControl = dcb.fDtrControl;
    state.fDsrSensitivity = dcb.fDsrSensitivity;
    state.fOutX = dcb.fOutX;
    state.fInX = dcb.fInX;
    state.fRtsControl = dcb.fRtsControl;
    return ::SetCommState(handle_, &state) || Failed();
  }

  bool GetCommTimeouts(CommTimeouts* timeouts) override {
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(handle_, &t)) return Failed();
    *timeouts = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                 t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return true;
  }

  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    COMMTIMEOUTS t{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                   timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                   timeouts.WriteTotalTimeoutConstant};
    return ::SetCommTimeouts(handle_, &t) || Failed();
  }

  bool PurgeComm(std::uint32_t flags) override { return ::PurgeComm(handle_, flags) || Failed(); }

  bool EscapeCommFunction(std::uint32_t function) override {
    return ::EscapeCommFunction(handle_, function) || Failed();
  }

  bool GetCommModemStatus(std::uint32_t* status) override {
    DWORD bits = 0;
    if (!::GetCommModemStatus(handle_, &bits)) return Failed();
    *status = bits;
    return true;
  }

  bool ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    DWORD done = 0;
    const bool ok = ::ReadFile(handle_, buffer, size, &done, nullptr) != 0;
    *transferred = done;
    return ok || Failed();
  }

  bool WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) override {
    DWORD done = 0;
    const bool ok = ::WriteFile(handle_, buffer, size, &done, nullptr) != 0;
    *transferred = done;
    return ok || Failed();
  }

  bool DeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize) override {
    if (driver_ != nullptr) {
      std::uint32_t error = 0;
      if (driver_->Control(devicePath_, code, input, inputSize, &error)) return true;
      lastError_ = error;
      return false;
    }
    DWORD returned = 0;
    return ::DeviceIoControl(handle_, code, const_cast<void*>(input), inputSize, nullptr, 0, &returned, nullptr) ||
           Failed();
  }

  std::uint32_t LastError() const override { return lastError_; }

 private:
  bool Failed() {
    lastError_ = ::GetLastError();
    return false;
  }

  HANDLE handle_;
  std::string devicePath_;
  DriverControl* driver_;
  std::uint32_t lastError_ = 0;
};

class Win32SerialPorts : public SerialPorts {
 public:
  explicit Win32SerialPorts(DriverControl* driver) : driver_(driver) {}

  std::unique_ptr<SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override {
    HANDLE handle = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *lastError = ::GetLastError();
      return nullptr;
    }
    return std::make_unique<Win32SerialPort>(handle, devicePath, driver_);
  }

 private:
  DriverControl* driver_;
};

}  // namespace

std::unique_ptr<SerialPorts> CreateSystemSerialPorts(DriverControl* driver) {
  return std::make_unique<Win32SerialPorts>(driver);
}

}  // namespace platform
