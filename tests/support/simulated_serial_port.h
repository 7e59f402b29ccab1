// A serial port for tests behind the serial layer's interface. With a loopback plug on the
// far end the modem lines follow DTR and RTS and written bytes come back; without one no
// line is on, nothing comes back and reads end after their total time-out. It can refuse
// chosen settings and fail a chosen call with a chosen last-error value. The test sets it
// up from its own thread while a worker uses the port.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/thread.h"

namespace testsupport {

enum class SerialCall {
  kGetCommState,
  kSetCommState,
  kGetCommTimeouts,
  kSetCommTimeouts,
  kPurgeComm,
  kEscapeCommFunction,
  kGetCommModemStatus,
  kReadFile,
  kWriteFile,
};

class SimulatedSerialPorts;

// One open handle on the simulated port.
class SimulatedSerialPort : public platform::SerialPort {
 public:
  explicit SimulatedSerialPort(SimulatedSerialPorts& owner) : owner_(owner) {}
  ~SimulatedSerialPort() override;

  bool GetCommState(platform::Dcb* dcb) override;
  bool SetCommState(const platform::Dcb& dcb) override;
  bool GetCommTimeouts(platform::CommTimeouts* timeouts) override;
  bool SetCommTimeouts(const platform::CommTimeouts& timeouts) override;
  bool PurgeComm(std::uint32_t flags) override;
  bool EscapeCommFunction(std::uint32_t function) override;
  bool GetCommModemStatus(std::uint32_t* status) override;
  bool ReadFile(void* buffer, std::uint32_t size, std::uint32_t* transferred) override;
  bool WriteFile(const void* buffer, std::uint32_t size, std::uint32_t* transferred) override;
  bool DeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize) override;
  std::uint32_t LastError() const override { return lastError_; }

 private:
  // Runs body under the port's lock unless the call is set to fail.
  template <typename Body>
  bool Call(SerialCall call, Body body);

  SimulatedSerialPorts& owner_;
  std::atomic<std::uint32_t> lastError_{0};
};

// The one simulated COM port and what is plugged into its far end. Like a COM port it
// opens once at a time: a second Open while a handle lives is refused with access denied.
// Must outlive the ports it hands out.
class SimulatedSerialPorts : public platform::SerialPorts {
 public:
  // portName such as "COM5": answers the device path "\\.\COM5"; every other path is missing.
  explicit SimulatedSerialPorts(const std::string& portName);
  std::unique_ptr<platform::SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override;

  void SetPlugged(bool plugged);
  // Settings for which SetCommState fails with 87, as a port that cannot take them.
  void Refuse(std::function<bool(const platform::Dcb&)> refuses);
  // Calls of this kind fail with this last-error value until Heal.
  void Fail(SerialCall call, std::uint32_t error);
  void Heal();

  // Every block written, in order.
  std::vector<std::string> Written() const;
  platform::CommTimeouts Timeouts() const;

 private:
  friend class SimulatedSerialPort;

  const std::string devicePath_;
  mutable platform::Lock lock_;
  bool open_ = false;
  bool plugged_ = true;
  std::function<bool(const platform::Dcb&)> refuses_;
  std::map<SerialCall, std::uint32_t> failing_;
  std::vector<std::string> written_;
  std::deque<std::uint8_t> incoming_;
  bool dtr_ = false, rts_ = false;
  platform::Dcb state_;
  platform::CommTimeouts timeouts_;
};

}  // namespace testsupport
