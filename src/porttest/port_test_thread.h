// The loopback test of a mapped port: the modem lines must follow DTR and RTS through the
// loopback plug on the device port, and a 16-byte pattern must come back unchanged at
// each of the 720 valid serial settings. Every result is a line in the test window.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial.h"
#include "platform/worker_life.h"

enum TestState : std::uint32_t {
  ptsIdle = 0,
  ptsStartRequested = 1,
  ptsRunning = 2,
  ptsStopRequested = 3,
  ptsStopped = 4,
  ptsFinished = 5,
};

// Test error codes.
constexpr std::uint32_t PTERR_GETCOMMSTATE = 1;
constexpr std::uint32_t PTERR_PURGECOMM = 2;
constexpr std::uint32_t PTERR_GETCOMMTIMEOUTS = 3;
constexpr std::uint32_t PTERR_SETCOMMTIMEOUTS = 4;
constexpr std::uint32_t PTERR_ESCAPECOMM = 5;
constexpr std::uint32_t PTERR_GETMODEMSTATUS = 6;
constexpr std::uint32_t PTERR_WRITEFILE = 7;
constexpr std::uint32_t PTERR_READFILE = 8;
constexpr std::uint32_t PTERR_INIT_PORT = 0x1001;

constexpr std::uint32_t BaudRateList[] = {50,   75,   110,  150,   300,   600,   1200,  1800,   2400,
                                          4800, 7200, 9600, 14400, 19200, 38400, 57600, 115200, 230400};
constexpr std::uint8_t DataBitsList[] = {5, 6, 7, 8};
constexpr std::uint8_t ParityList[] = {0, 1, 2, 3, 4};
constexpr std::uint8_t StopBitsList[] = {0, 1, 2};

// What the worker asks of its window; each call runs on the window thread while the
// worker waits. The window owns TestState and ThreadDone.
class PortTestWindowOps {
 public:
  virtual ~PortTestWindowOps() = default;
  virtual void ReportLine(const std::string& line) = 0;
  virtual void EnterRunning() = 0;
  virtual void EnterStopped() = 0;
  virtual void EnterFinished() = 0;
};

class TPortTestThrd {
 public:
  static constexpr std::uint32_t kTimeoutMs = 4800;

  // Creates the worker suspended for the window's open port: its thread waits for Resume.
  // Null when no thread can be started.
  static std::unique_ptr<TPortTestThrd> Create(PortTestWindowOps& window, platform::SerialPort& port,
                                               std::string portName, const std::atomic<std::uint32_t>& testState,
                                               std::atomic<int>& threadDone, std::uint32_t timeoutMs = kTimeoutMs);
  // Tells the worker to terminate and waits for its end; a worker never resumed goes
  // without running.
  ~TPortTestThrd() { Terminate(); }
  TPortTestThrd(const TPortTestThrd&) = delete;
  TPortTestThrd& operator=(const TPortTestThrd&) = delete;

  void Resume() { life_.Resume(); }
  // Ends the worker at its next look at the state, or at once from a pause.
  void Terminate() { life_.Terminate(); }
  bool Resumed() const { return life_.Resumed(); }

  // The procedure's pieces, public so that they can be examined one by one.
  bool InitPort(std::uint32_t timeoutMs);
  void ResetSettings();
  bool TestStep();  // true: more steps follow; false: the run is over
  void TestSignals();
  void TestData();
  bool NextSetting();  // false when every wheel has wrapped
  std::string DescribeSetting(bool passed) const;
  void ReportError(std::uint32_t code);

  std::uint32_t Phase = 0;
  std::uint32_t PatternCounter = 0;
  platform::Dcb dcb;

 private:
  TPortTestThrd(PortTestWindowOps& window, platform::SerialPort& port, std::string portName,
                const std::atomic<std::uint32_t>& testState, std::atomic<int>& threadDone, std::uint32_t timeoutMs);
  void Execute();
  void Report(const std::string& line) { window_.ReportLine(line); }

  PortTestWindowOps& window_;
  platform::SerialPort& port_;
  const std::string portName_;
  const std::atomic<std::uint32_t>& testState_;
  std::atomic<int>& threadDone_;
  const std::uint32_t timeoutMs_;
  platform::WorkerLife life_;  // last: its thread ends before the members above go
};
