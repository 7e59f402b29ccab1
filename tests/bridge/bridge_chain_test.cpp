// The utility end to end on Linux: its own windows on a COM port that veq-comportd bridges
// to a simulated device port with a loopback plug, over RFC 2217 on 127.0.0.1.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "bridge/bridge_harness.h"
#include "firmware/download_window.h"
#include "firmware/firmware_image.h"
#include "platform/serial.h"
#include "platform/system.h"
#include "porttest/port_test_window.h"
#include "support/ui_test_backend.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/user.h"
#include "window_wait.h"

namespace {

using bridgetest::Harness;
using testsupport::WaitFor;
using ui::user::Click;

std::vector<std::string> MemoLines(const TfrmPortTest& w) {
  std::vector<std::string> lines;
  std::istringstream text(w.memoPTPrompt->Text());
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& head, const std::string& tail) {
  std::size_t n = 0;
  for (const std::string& line : lines)
    if (line.compare(0, head.size(), head) == 0 && line.size() >= tail.size() &&
        line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
      ++n;
  return n;
}

// COM5 mapped to device port 2, the bridge up and its link made.
struct Chain : Harness {
  Chain() : Harness({{5, 2, true}}) {
    StartBridge();
    EXPECT_TRUE(Eventually([this] { return device.State(2).connected && Exists(Link(5) + ".ctl"); })) << Log();
  }
};

}  // namespace

TEST(BridgeChain, PortTestPassesEverySettingAndTheModemLines) {
  Chain chain;
  testsupport::UiBackend backend;
  auto serial = platform::CreateSystemSerialPorts();
  testsupport::UiDesktop desktop;
  auto window = std::make_unique<TfrmPortTest>(nullptr, "COM5", *serial, desktop, 4800);
  TfrmPortTest& w = *window;
  ASSERT_EQ(w.ReadyToShow(), 1);
  w.Show();
  ASSERT_TRUE(Click(*w.pbtnPTStart));
  ASSERT_TRUE(WaitFor(w, [&] { return w.TestState == ptsFinished; }, 300000));
  const std::vector<std::string> lines = MemoLines(w);
  EXPECT_EQ(Count(lines, "TEST Baud Rate:", " OK"), 720u);
  EXPECT_EQ(Count(lines, "", "FAIL"), 0u);
  EXPECT_EQ(Count(lines, "TEST DTR/DSR/RTS/CTS/DCD/RI Signal OK", ""), 1u);
  // The device took the last setting as the utility set it.
  const devsim::SerialPortState state = chain.device.State(2);
  EXPECT_EQ(state.baudRate, 230400u);
  EXPECT_EQ(state.dataSize, 8);
  EXPECT_EQ(state.parity, 5);    // space
  EXPECT_EQ(state.stopSize, 2);  // two
  ASSERT_TRUE(Click(*w.pbtnPTClose));
  window.reset();
  // Closed by its last program: DTR and RTS drop at the device.
  EXPECT_TRUE(Harness::Eventually([&] { return !chain.device.State(2).dtr && !chain.device.State(2).rts; }));
}

TEST(BridgeChain, FirmwareUpdateLeavesTheImageAndTheRebootReachesTheDevice) {
  Chain chain;
  const std::string image = chain.dir.File("firmware.bin");
  ASSERT_TRUE(WriteFirmwareImage(image, 0x7370, kFirmwareImageSize));
  testsupport::UiBackend backend;
  auto serial = platform::CreateSystemSerialPorts();
  testsupport::UiDesktop desktop;
  TfrmDownload w(nullptr, "COM5", 0x7370, *serial, desktop);
  ASSERT_EQ(w.ReadyToShow(), 1);
  w.Show();
  desktop.dialogPaths.push_back(image);
  ASSERT_TRUE(Click(*w.pbtnDLOpen));
  ASSERT_TRUE(Click(*w.pbtnDLStart));
  ASSERT_TRUE(WaitFor(w, [&] { return !desktop.boxes.empty() && w.pbtnDLClose->Usable(); }));
  EXPECT_EQ(desktop.boxes.back().text, "Download Complete");
  std::ifstream file(image, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(chain.device.FirmwareImage() == bytes) << chain.device.Problem();
  ASSERT_TRUE(Click(*w.pbtnDLReboot));
  EXPECT_EQ(chain.device.Reboots(), 1);
  ASSERT_TRUE(Click(*w.pbtnDLClose));
}

TEST(BridgeChain, APlainProgramGetsDataBaudAndALinkThatFollowsTheRegistry) {
  Chain chain;
  // A program that knows nothing of the control socket: raw mode at 115200, 0xFF included.
  const int fd = open(chain.Link(5).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios settings{};
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  cfsetspeed(&settings, B115200);
  tcsetattr(fd, TCSANOW, &settings);
  const std::string sent("\xff\x00\xfe\xff\xff" "ends", 9);
  ASSERT_EQ(write(fd, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
  std::string got;
  EXPECT_TRUE(Harness::Eventually([&] {
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    return got.size() >= sent.size();
  }));
  EXPECT_EQ(got, sent);
  EXPECT_EQ(chain.device.State(2).baudRate, 115200u);
  EXPECT_TRUE(chain.device.State(2).dtr);  // raised by the first open

  // A mapping added and one changed, then the restart request: the bridge serves COM9
  // without a restart, and COM5 keeps its link.
  const int linksBefore = chain.device.State(2).connections;
  chain.Map({9, 3, true});
  platform::CreateSystemServices()->ExitWindowsEx(platform::kEwxReboot, 0);
  EXPECT_TRUE(Harness::Eventually([&] { return chain.device.State(3).connected && Harness::Exists(chain.Link(9)); }))
      << chain.Log();
  EXPECT_EQ(chain.device.State(2).connections, linksBefore);
  const std::string status = chain.Status();
  EXPECT_NE(status.find("COM5"), std::string::npos) << status;
  EXPECT_NE(status.find("COM9"), std::string::npos) << status;
  close(fd);
}
