#include "porttest/port_test_thread.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

template <typename T, std::size_t N>
bool Advance(T& value, const T (&list)[N]) {
  std::size_t at = N;
  for (std::size_t i = 0; i < N; ++i)
    if (list[i] == value) at = i;
  value = at + 1 < N ? list[at + 1] : list[0];
  return value != list[0];
}

bool IsValid(const platform::Dcb& dcb) {
  return !(dcb.StopBits == platform::kOne5StopBits && dcb.ByteSize != 5) &&
         !(dcb.StopBits == platform::kTwoStopBits && dcb.ByteSize == 5);
}

}  // namespace

std::unique_ptr<TPortTestThrd> TPortTestThrd::Create(PortTestWindowOps& window, platform::SerialPort& port,
                                                     std::string portName,
                                                     const std::atomic<std::uint32_t>& testState,
                                                     std::atomic<int>& threadDone, std::uint32_t timeoutMs) {
  std::unique_ptr<TPortTestThrd> worker(
      new TPortTestThrd(window, port, std::move(portName), testState, threadDone, timeoutMs));
  if (!worker->life_.Start([w = worker.get()] { w->Execute(); })) return nullptr;
  return worker;
}

TPortTestThrd::TPortTestThrd(PortTestWindowOps& window, platform::SerialPort& port, std::string portName,
                             const std::atomic<std::uint32_t>& testState, std::atomic<int>& threadDone,
                             std::uint32_t timeoutMs)
    : window_(window),
      port_(port),
      portName_(std::move(portName)),
      testState_(testState),
      threadDone_(threadDone),
      timeoutMs_(timeoutMs) {}

void TPortTestThrd::Execute() {
  if (!InitPort(timeoutMs_)) {
    ReportError(PTERR_INIT_PORT);
    threadDone_ = 1;
    return;
  }
  while (!life_.Terminated()) {
    switch (testState_.load()) {
      case ptsIdle:
      case ptsStopped:
        life_.Sleep(200);
        break;
      case ptsStartRequested:
        Phase = 0;
        PatternCounter = 0;
        Report(portName_ + " Start testing");
        ResetSettings();
        window_.EnterRunning();
        break;
      case ptsRunning:
        if (!TestStep()) {
          window_.EnterFinished();
          Report(portName_ + " finsih test");
        }
        break;
      case ptsStopRequested:
        window_.EnterStopped();
        break;
      case ptsFinished:
        life_.Sleep(500);
        break;
      default:
        break;
    }
  }
  threadDone_ = 1;
}

bool TPortTestThrd::InitPort(std::uint32_t timeoutMs) {
  if (!port_.GetCommState(&dcb)) {
    ReportError(PTERR_GETCOMMSTATE);
    return false;
  }
  if (!port_.PurgeComm(platform::kPurgeTxAbort | platform::kPurgeTxClear) ||
      !port_.PurgeComm(platform::kPurgeRxAbort | platform::kPurgeRxClear)) {
    ReportError(PTERR_PURGECOMM);
    return false;
  }
  platform::CommTimeouts timeouts;
  if (!port_.GetCommTimeouts(&timeouts)) {
    ReportError(PTERR_GETCOMMTIMEOUTS);
    return false;
  }
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = timeoutMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = timeoutMs;
  if (!port_.SetCommTimeouts(timeouts)) {
    ReportError(PTERR_SETCOMMTIMEOUTS);
    return false;
  }
  return true;
}

void TPortTestThrd::ResetSettings() {
  dcb.BaudRate = 50;
  dcb.ByteSize = 5;
  dcb.Parity = platform::kNoParity;
  dcb.StopBits = platform::kOneStopBit;
  dcb.fOutxCtsFlow = false;
  dcb.fOutxDsrFlow = false;
  dcb.fOutX = false;
  dcb.fInX = false;
  dcb.fRtsControl = platform::kRtsControlEnable;
}

bool TPortTestThrd::TestStep() {
  if (Phase == 0) {
    TestSignals();
    Phase = 1;
    return true;
  }
  if (Phase != 1) return false;
  TestData();
  for (;;) {
    if (!NextSetting()) {
      Phase = 3;
      return false;
    }
    if (IsValid(dcb)) return true;
  }
}

bool TPortTestThrd::NextSetting() {
  return Advance(dcb.BaudRate, BaudRateList) || Advance(dcb.ByteSize, DataBitsList) ||
         Advance(dcb.Parity, ParityList) || Advance(dcb.StopBits, StopBitsList);
}

void TPortTestThrd::TestSignals() {
  static const struct {
    std::uint32_t bit;
    const char* on;
    const char* off;
  } kLines[] = {{platform::kMsDsrOn, "TEST DSR Signal ON  FAIL", "TEST DSR Signal OFF FAIL"},
                {platform::kMsCtsOn, "TEST CTS Signal ON  FAIL", "TEST CTS Signal OFF FAIL"},
                {platform::kMsRingOn, "TEST RI  Signal ON  FAIL", "TEST RI  Signal OFF FAIL"},
                {platform::kMsRlsdOn, "TEST DCD Signal ON  FAIL", "TEST DCD Signal OFF FAIL"}};
  bool failed = false;
  std::uint32_t status = 0;
  if (!port_.EscapeCommFunction(platform::kSetDtr) || !port_.EscapeCommFunction(platform::kSetRts))
    return ReportError(PTERR_ESCAPECOMM);
  if (!port_.GetCommModemStatus(&status)) return ReportError(PTERR_GETMODEMSTATUS);
  for (const auto& line : kLines)
    if ((status & line.bit) == 0) {
      Report(line.on);
      failed = true;
    }
  if (!port_.EscapeCommFunction(platform::kClrDtr) || !port_.EscapeCommFunction(platform::kClrRts))
    return ReportError(PTERR_ESCAPECOMM);
  if (!port_.GetCommModemStatus(&status)) return ReportError(PTERR_GETMODEMSTATUS);
  for (const auto& line : kLines)
    if ((status & line.bit) != 0) {
      Report(line.off);
      failed = true;
    }
  Report(failed ? "TEST DTR/DSR/RTS/CTS/DCD/RI Signal FAIL" : "TEST DTR/DSR/RTS/CTS/DCD/RI Signal OK");
}

void TPortTestThrd::TestData() {
  if (!port_.SetCommState(dcb)) {
    Report("SET  " + DescribeSetting(false));
    return;
  }
  const std::uint8_t mask = static_cast<std::uint8_t>((1u << dcb.ByteSize) - 1);
  std::uint8_t sent[16], received[16] = {};
  for (std::uint8_t& byte : sent) byte = static_cast<std::uint8_t>(PatternCounter++) & mask;
  std::uint32_t written = 0, read = 0;
  if (!port_.WriteFile(sent, sizeof sent, &written)) return ReportError(PTERR_WRITEFILE);
  if (written == sizeof sent) {
    if (!port_.ReadFile(received, sizeof received, &read)) return ReportError(PTERR_READFILE);
    if (read == sizeof received && std::memcmp(sent, received, sizeof sent) == 0) {
      Report("TEST " + DescribeSetting(true));
      return;
    }
  }
  if (!port_.PurgeComm(platform::kPurgeTxAbort | platform::kPurgeTxClear)) ReportError(PTERR_PURGECOMM);
  if (!port_.PurgeComm(platform::kPurgeRxAbort | platform::kPurgeRxClear)) ReportError(PTERR_PURGECOMM);
  Report("TEST " + DescribeSetting(false));
}

std::string TPortTestThrd::DescribeSetting(bool passed) const {
  static const char* const kParities[] = {"None  ", "Odd   ", "Even  ", "Mark  ", "Space "};
  static const char* const kStops[] = {"1   ", "1.5 ", "2   "};
  char text[96];
  std::snprintf(text, sizeof text, "Baud Rate:%7u Parity:%sData:%u Stop:%s%s", dcb.BaudRate,
                dcb.Parity <= 4 ? kParities[dcb.Parity] : "", static_cast<unsigned>(dcb.ByteSize),
                dcb.StopBits <= 2 ? kStops[dcb.StopBits] : "", passed ? "OK" : "FAIL");
  return text;
}

void TPortTestThrd::ReportError(std::uint32_t code) {
  static const char* const kCalls[] = {nullptr,           "GetCommState",       "PurgeComm",
                                       "GetCommTimeouts", "SetCommTimeouts",    "EscapeCommFunction",
                                       "GetCommModemStatus", "WriteFile",       "ReadFile"};
  char line[96];
  if (code >= PTERR_GETCOMMSTATE && code <= PTERR_READFILE)
    std::snprintf(line, sizeof line, "WIN32API %s Fail[%d]", kCalls[code], static_cast<int>(port_.LastError()));
  else if (code == PTERR_INIT_PORT)
    std::snprintf(line, sizeof line, "Init the Configuration of Port Fail");
  else
    std::snprintf(line, sizeof line, "Unkown Error Code[%x]", code);
  Report(line);
}
