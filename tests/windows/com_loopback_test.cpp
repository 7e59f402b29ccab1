// The loopback test's procedure through a real COM port. The Wine stage links COMn to a
// pty whose other end socat echoes back: a loopback plug for the data lines only.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"
#include "porttest/port_test_thread.h"
#include "support/stage_setting.h"

namespace {

class LineRecorder : public PortTestWindowOps {
 public:
  void ReportLine(const std::string& line) override {
    platform::Locked lock(lock_);
    lines_.push_back(line);
  }
  void EnterRunning() override {}
  void EnterStopped() override {}
  void EnterFinished() override {}
  std::vector<std::string> Lines() {
    platform::Locked lock(lock_);
    return lines_;
  }

 private:
  platform::Lock lock_;
  std::vector<std::string> lines_;
};

class ComLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = StageSetting("VEQ_LOOPBACK_COM");
    if (name.empty()) GTEST_SKIP() << "VEQ_LOOPBACK_COM names a COM port with a loopback behind it";
    std::uint32_t error = 0;
    port = ports->Open("\\\\.\\" + name, &error);
    ASSERT_NE(port, nullptr) << error;
    worker = TPortTestThrd::Create(window, *port, name, state, done);
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(worker->InitPort(TPortTestThrd::kTimeoutMs));
    worker->ResetSettings();
  }

  std::unique_ptr<platform::SerialPorts> ports = platform::CreateSystemSerialPorts();
  std::unique_ptr<platform::SerialPort> port;
  LineRecorder window;
  std::atomic<std::uint32_t> state{ptsRunning};
  std::atomic<int> done{0};
  std::unique_ptr<TPortTestThrd> worker;
};

TEST_F(ComLoopback, ThePatternComesBackAtEverySpeedWithEightDataBits) {
  worker->dcb.ByteSize = 8;
  std::vector<std::string> expected;
  for (std::uint32_t baud : BaudRateList) {
    worker->dcb.BaudRate = baud;
    worker->TestData();
    expected.push_back("TEST " + worker->DescribeSetting(true));
  }
  EXPECT_EQ(window.Lines(), expected);
}

TEST_F(ComLoopback, TheSignalTestFailsWhereTheLinesCannotBeRead) {
  // See Win32PtyPort.WhereWineIsNotWindows: a pty has no modem lines.
  worker->TestSignals();
  // Wine fails already at raising DTR, before the status could be read.
  EXPECT_EQ(window.Lines(), std::vector<std::string>{"WIN32API EscapeCommFunction Fail[50]"});
}

TEST_F(ComLoopback, AWholeRunReportsEverySettingOnceAndEnds) {
  while (worker->TestStep()) {
  }
  const std::vector<std::string> lines = window.Lines();
  ASSERT_EQ(lines.size(), 1u + 720u);  // the signal test, then every valid setting
  EXPECT_EQ(lines[0], "WIN32API EscapeCommFunction Fail[50]");
  int eightBitsPassed = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool passed = line.size() > 2 && line.compare(line.size() - 2, 2, "OK") == 0;
    // A pty takes some settings and refuses others; never an API failure mid-run.
    EXPECT_TRUE(line.rfind("TEST ", 0) == 0 || (line.rfind("SET  ", 0) == 0 && !passed)) << line;
    eightBitsPassed += passed && line.find("Parity:None  Data:8 Stop:1   ") != std::string::npos;
  }
  EXPECT_EQ(eightBitsPassed, 18);
  EXPECT_EQ(worker->Phase, 3u);
}

}  // namespace
