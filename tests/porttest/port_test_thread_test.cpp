#include "porttest/port_test_thread.h"

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "support/simulated_serial_port.h"

using testsupport::SerialCall;

namespace {

// The window side run inline: lines are kept, the state moves as the window moves it.
class RecordingWindow : public PortTestWindowOps {
 public:
  void ReportLine(const std::string& line) override {
    platform::Locked locked(lock);
    lines.push_back(line);
  }
  void EnterRunning() override { state = ptsRunning; }
  void EnterStopped() override { state = ptsStopped; }
  void EnterFinished() override { state = ptsFinished; }
  std::vector<std::string> Lines() {
    platform::Locked locked(lock);
    return lines;
  }
  platform::Lock lock;
  std::vector<std::string> lines;
  std::atomic<std::uint32_t> state{ptsIdle};
};

class PortTestProcedure : public ::testing::Test {
 protected:
  // The worker stays suspended: the test runs its pieces on its own thread.
  PortTestProcedure() {
    std::uint32_t error = 0;
    port = serial.Open("\\\\.\\COM5", &error);
    worker = TPortTestThrd::Create(window, *port, "COM5", window.state, done, 1);
  }
  // Runs the procedure's steps directly: the signal test, then every setting.
  std::vector<std::string> RunSteps() {
    worker->ResetSettings();
    while (worker->TestStep()) {
    }
    return window.Lines();
  }

  testsupport::SimulatedSerialPorts serial{"COM5"};
  std::unique_ptr<platform::SerialPort> port;
  RecordingWindow window;
  std::atomic<int> done{0};
  std::unique_ptr<TPortTestThrd> worker;
};

int Count(const std::vector<std::string>& lines, const std::string& piece) {
  int n = 0;
  for (const std::string& line : lines) n += line.find(piece) != std::string::npos;
  return n;
}

}  // namespace

TEST_F(PortTestProcedure, TheOdometerYields720ValidSettingsInOrder) {
  worker->ResetSettings();
  int total = 0, one = 0, oneAndHalf = 0, two = 0;
  std::vector<std::uint32_t> firstRates;
  do {
    const platform::Dcb& dcb = worker->dcb;
    const bool valid = !(dcb.StopBits == 1 && dcb.ByteSize != 5) && !(dcb.StopBits == 2 && dcb.ByteSize == 5);
    if (!valid) continue;
    ++total;
    if (total <= 19) firstRates.push_back(dcb.BaudRate);
    if (dcb.StopBits == 0) ++one;
    if (dcb.StopBits == 1) {
      ++oneAndHalf;
      EXPECT_EQ(dcb.ByteSize, 5);
    }
    if (dcb.StopBits == 2) {
      ++two;
      EXPECT_NE(dcb.ByteSize, 5);
    }
  } while (worker->NextSetting());
  EXPECT_EQ(total, 720);
  EXPECT_EQ(one, 360);
  EXPECT_EQ(oneAndHalf, 90);
  EXPECT_EQ(two, 270);
  EXPECT_EQ(firstRates.front(), 50u);
  EXPECT_EQ(firstRates[17], 230400u);
  EXPECT_EQ(firstRates[18], 50u);  // then 6 data bits
  EXPECT_EQ(worker->dcb.BaudRate, 50u);  // wrapped to the first setting
}

TEST_F(PortTestProcedure, APluggedPortPassesEverySettingWithAMaskedRunningPattern) {
  ASSERT_TRUE(worker->InitPort(1));
  const platform::CommTimeouts timeouts = serial.Timeouts();
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 1u);
  EXPECT_EQ(timeouts.ReadIntervalTimeout + timeouts.ReadTotalTimeoutMultiplier + timeouts.WriteTotalTimeoutMultiplier, 0u);
  const std::vector<std::string> lines = RunSteps();
  ASSERT_EQ(lines.size(), 721u);
  EXPECT_EQ(lines[0], "TEST DTR/DSR/RTS/CTS/DCD/RI Signal OK");
  EXPECT_EQ(lines[1], "TEST Baud Rate:     50 Parity:None  Data:5 Stop:1   OK");
  EXPECT_EQ(lines[720], "TEST Baud Rate: 230400 Parity:Space Data:8 Stop:2   OK");
  EXPECT_EQ(Count(lines, " OK"), 721);
  const std::vector<std::string> written = serial.Written();
  ASSERT_EQ(written.size(), 720u);
  EXPECT_EQ(written[0], std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 16));
  EXPECT_EQ(static_cast<std::uint8_t>(written[1][15]), 0x1F);  // counts on, within 5 bits
  EXPECT_EQ(static_cast<std::uint8_t>(written[2][0]), 0x00);   // 32 & 0x1F
  for (int i = 0; i < 18; ++i)  // the first 18 settings have 5 data bits
    for (char c : written[i]) EXPECT_LE(static_cast<std::uint8_t>(c), 0x1F);
  bool sawFull = false;
  for (const std::string& block : written)
    for (char c : block) sawFull |= static_cast<std::uint8_t>(c) == 0xFF;
  EXPECT_TRUE(sawFull);  // 8 data bits reach 0xFF
  EXPECT_EQ(worker->PatternCounter, 720u * 16);
}

TEST_F(PortTestProcedure, WithoutAPlugEveryLineFails) {
  serial.SetPlugged(false);
  ASSERT_TRUE(worker->InitPort(2));  // each read waits out these 2 ms
  const std::vector<std::string> lines = RunSteps();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
            (std::vector<std::string>{"TEST DSR Signal ON  FAIL", "TEST CTS Signal ON  FAIL", "TEST RI  Signal ON  FAIL",
                                      "TEST DCD Signal ON  FAIL", "TEST DTR/DSR/RTS/CTS/DCD/RI Signal FAIL"}));
  EXPECT_EQ(lines.size(), 725u);
  EXPECT_EQ(lines[5], "TEST Baud Rate:     50 Parity:None  Data:5 Stop:1   FAIL");
  for (std::size_t i = 5; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("TEST Baud Rate:", 0), 0u) << lines[i];
    EXPECT_EQ(lines[i].substr(lines[i].size() - 4), "FAIL") << lines[i];
  }
}

TEST_F(PortTestProcedure, ARefusedSettingGivesItsSetLineAndKeepsThePattern) {
  serial.Refuse([](const platform::Dcb& dcb) { return dcb.Parity == platform::kMarkParity; });
  const std::vector<std::string> lines = RunSteps();
  EXPECT_EQ(Count(lines, "SET  Baud Rate:"), 144);  // 18 rates x 4 data bits x 2 stop settings
  EXPECT_EQ(Count(lines, "SET  Baud Rate:     50 Parity:Mark  Data:5 Stop:1   FAIL"), 1);
  EXPECT_EQ(worker->PatternCounter, (720u - 144) * 16);
}

TEST_F(PortTestProcedure, EachFailingCallReportsItsLastError) {
  struct Case {
    SerialCall call;
    const char* line;
  };
  for (const Case& c : {Case{SerialCall::kEscapeCommFunction, "WIN32API EscapeCommFunction Fail[31]"},
                        Case{SerialCall::kGetCommModemStatus, "WIN32API GetCommModemStatus Fail[31]"},
                        Case{SerialCall::kWriteFile, "WIN32API WriteFile Fail[31]"},
                        Case{SerialCall::kReadFile, "WIN32API ReadFile Fail[31]"}}) {
    window.lines.clear();
    serial.Heal();
    serial.Fail(c.call, 31);
    worker->Phase = 0;
    worker->ResetSettings();
    worker->TestStep();  // the signal test
    worker->TestStep();  // the first setting
    const std::vector<std::string> lines = window.Lines();
    EXPECT_GE(Count(lines, c.line), 1) << c.line;
    // A failing line call ends the signal test without its summary.
    const bool lineCall = c.call == SerialCall::kEscapeCommFunction || c.call == SerialCall::kGetCommModemStatus;
    EXPECT_EQ(Count(lines, "/RI Signal"), lineCall ? 0 : 1) << c.line;
    // A failed write or read leaves its setting without a TEST line.
    EXPECT_EQ(Count(lines, "TEST Baud Rate:"), lineCall ? 1 : 0) << c.line;
  }
  serial.Heal();
  serial.Fail(SerialCall::kPurgeComm, 5);
  serial.SetPlugged(false);
  window.lines.clear();
  worker->Phase = 1;
  worker->ResetSettings();
  worker->TestStep();
  EXPECT_EQ(window.Lines(), (std::vector<std::string>{"WIN32API PurgeComm Fail[5]", "WIN32API PurgeComm Fail[5]",
                                                      "TEST Baud Rate:     50 Parity:None  Data:5 Stop:1   FAIL"}));
}

TEST_F(PortTestProcedure, AFailedInitPortReportsTwoLinesAndEndsTheWorker) {
  struct Case {
    SerialCall call;
    const char* line;
  };
  for (const Case& c : {Case{SerialCall::kGetCommState, "WIN32API GetCommState Fail[2]"},
                        Case{SerialCall::kPurgeComm, "WIN32API PurgeComm Fail[2]"},
                        Case{SerialCall::kGetCommTimeouts, "WIN32API GetCommTimeouts Fail[2]"}}) {
    serial.Heal();
    serial.Fail(c.call, 2);
    window.lines.clear();
    EXPECT_FALSE(worker->InitPort(1)) << c.line;
    EXPECT_EQ(window.Lines(), std::vector<std::string>{c.line});
  }
  serial.Heal();
  window.lines.clear();
  serial.Fail(SerialCall::kSetCommTimeouts, 87);
  worker->Resume();
  for (int i = 0; i < 500 && done == 0; ++i) platform::SleepMs(2);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(window.Lines(), (std::vector<std::string>{"WIN32API SetCommTimeouts Fail[87]",
                                                      "Init the Configuration of Port Fail"}));
  worker->ReportError(0x77);
  EXPECT_EQ(window.Lines().back(), "Unkown Error Code[77]");
}
