// The utility end to end on Linux: its own windows on a COM port that veq-comportd bridges
// to a simulated device port with a loopback plug, over RFC 2217 on 127.0.0.1.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/port_mapper_window.h"
#include "bridge/bridge_harness.h"
#include "firmware/download_window.h"
#include "firmware/firmware_image.h"
#include "platform/registry_sqlite.h"
#include "platform/serial.h"
#include "platform/services.h"
#include "platform/system.h"
#include "porttest/port_test_window.h"
#include "support/fake_platform.h"
#include "support/registry_builder.h"
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

TEST(BridgeChain, APlainProgramGetsDataBaudAndTheLines) {
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

  close(fd);
}

TEST(BridgeChain, AMappingAddedInTheWindowIsServedAfterExitAndYes) {
  Chain chain;
  const int linksBefore = chain.device.State(2).connections;
  testsupport::UiBackend backend;
  std::string failure;
  std::unique_ptr<platform::Registry> registry = platform::SqliteRegistry::Open(chain.registry, &failure);
  ASSERT_TRUE(registry) << failure;
  std::unique_ptr<platform::SystemServices> system = platform::CreateSystemServices();
  testsupport::UiDesktop desktop;
  testsupport::CountingCrypto crypto;
  std::unique_ptr<platform::SerialPorts> serial = platform::CreateSystemSerialPorts();
  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  platform::Services services{*registry, *system, desktop, crypto, *serial, *network};
  auto w = std::make_unique<TfrmPortMapper7370>(services);
  w->OnFormCreate();
  ASSERT_FALSE(w->Terminated());
  w->Show();
  ui::TreeItem* com9 = nullptr;
  for (const auto& category : w->tvwPortMapper->Items())
    if (category->Text() == "Unused Ports")
      for (const auto& item : category->Children())
        if (item->Text() == "COM9") com9 = item.get();
  ASSERT_NE(com9, nullptr);
  ASSERT_TRUE(ui::user::Choose(*w->tvwPortMapper, *com9));
  ASSERT_TRUE(ui::user::Choose(*w->cbxSelectedDevType, "VEQ7308(R)+"));
  ASSERT_TRUE(Click(*w->cbxServerIPAddress));
  ASSERT_TRUE(ui::user::Type(*w, std::string(w->cbxServerIPAddress->Text().size(), '\b') + "127.0.0.1\r"));
  ASSERT_EQ(w->ApplyResult, 0);
  EXPECT_FALSE(Harness::Exists(chain.Link(9)));
  desktop.answers.push_back(platform::kIdYes);
  ASSERT_TRUE(Click(*w->pbtnExit));
  w.reset();
  ASSERT_FALSE(desktop.boxes.empty());
  EXPECT_EQ(desktop.boxes.back().text, "Do you want to reboot the system ?");
  // The bridge serves COM9 on device port 1 without a restart; COM5 keeps its link.
  EXPECT_TRUE(Harness::Eventually([&] { return chain.device.State(1).connected && Harness::Exists(chain.Link(9)); }))
      << chain.Log();
  EXPECT_EQ(chain.device.State(2).connections, linksBefore);
  const std::string status = chain.Status();
  for (const auto& [com, port] : {std::make_pair(5, 2), std::make_pair(9, 1)}) {
    std::istringstream lines(status);
    std::string line, name, device, link;
    while (std::getline(lines, line) && line.compare(0, 5, "COM" + std::to_string(com) + " ") != 0) {
    }
    std::istringstream(line) >> name >> device >> link;
    EXPECT_EQ(device, "127.0.0.1:" + std::to_string(chain.device.tcpBase() + port)) << status;
    EXPECT_EQ(link, "up") << status;
  }
}

TEST(BridgeChain, AReloadDropsRemovedPortsAndReconnectsChangedOnes) {
  Harness chain({{5, 1, true}, {6, 2, true}, {7, 3, true}});
  chain.StartBridge();
  ASSERT_TRUE(Harness::Eventually([&] { return chain.device.State(3).connected && Harness::Exists(chain.Link(7)); }));
  const int fd = open(chain.Link(5).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  {
    std::string failure;
    std::unique_ptr<platform::Registry> registry = platform::SqliteRegistry::Open(chain.registry, &failure);
    ASSERT_TRUE(registry) << failure;
    ASSERT_TRUE(testsupport::RegistryBuilder(*registry).DeleteKey("Enum\\OLMXV1X", "OLMX5"));
  }
  chain.Map({6, 4, true});
  chain.bridge->Signal(SIGHUP);
  EXPECT_TRUE(Harness::Eventually([&] { return !Harness::Exists(chain.Link(5)) && chain.device.State(4).connected; }))
      << chain.Log();
  // The program that held COM5 sees the hang-up; COM7 kept its only link.
  char byte = 0;
  EXPECT_TRUE(Harness::Eventually([&] { return read(fd, &byte, 1) == 0 || errno == EIO; }));
  close(fd);
  EXPECT_FALSE(chain.device.State(2).connected);
  EXPECT_EQ(chain.device.State(3).connections, 1);
}
