// A serial port for tests behind the serial layer's interface: with a loopback plug the
// modem lines follow DTR and RTS and written bytes come back; without one nothing does.
// It can refuse chosen settings and fail a chosen call with a chosen last-error value.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/serial.h"

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

// The line and its far end; shared by the port the program opens and the test.
class LoopbackLine {
 public:
  bool plugged = true;
  // Settings the port refuses (SetCommState fails with 87).
  std::function<bool(const platform::Dcb&)> refuses;
  // Calls of this kind fail with this last-error value.
  void Fail(SerialCall call, std::uint32_t error) {
    std::lock_guard<std::mutex> lock(mutex);
    failing[call] = error;
  }
  void Heal() {
    std::lock_guard<std::mutex> lock(mutex);
    failing.clear();
  }
  // Every block written, in order.
  std::vector<std::string> Written() {
    std::lock_guard<std::mutex> lock(mutex);
    return written;
  }

  std::mutex mutex;
  std::map<SerialCall, std::uint32_t> failing;
  std::vector<std::string> written;
  std::deque<std::uint8_t> echoed;
  bool dtr = false, rts = false;
  platform::Dcb state;
  platform::CommTimeouts timeouts;
};

// Hands out ports on one line; every other path is missing.
class LoopbackPorts : public platform::SerialPorts {
 public:
  LoopbackPorts(std::shared_ptr<LoopbackLine> line, std::string devicePath)
      : line_(std::move(line)), devicePath_(std::move(devicePath)) {}
  std::unique_ptr<platform::SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override;

 private:
  std::shared_ptr<LoopbackLine> line_;
  std::string devicePath_;
};

}  // namespace testsupport
