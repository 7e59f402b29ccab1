// The network firmware window on the test toolkit against every misbehaviour of the
// simulated device and against peers that talk nonsense: each run ends with its failure
// box, and the window is left as after any failed run, ready for a second Start.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "devsim/device_simulator.h"
#include "firmware/device_fault_cases.h"
#include "firmware/download_window_v2.h"
#include "firmware/monitor_link.h"
#include "platform/address.h"
#include "support/hostile_peer.h"
#include "support/temp_dir.h"
#include "support/ui_test_backend.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/user.h"
#include "window_wait.h"

namespace {

using testsupport::HostilePeer;

struct Bench {
  explicit Bench(std::uint16_t commandPort, std::uint16_t monitorPort) : network(platform::CreateSystemNetwork()) {
    NetworkTimings timings;
    timings.commandPort = commandPort;
    timings.monitorPort = monitorPort;
    timings.connectTimeoutMs = 2000;
    timings.receiveTimeoutMs = 500;
    timings.recoveryPauseMs = 300;  // time for a recovered simulated device to listen again
    timings.resetPauseMs = 10;
    window = std::make_unique<TfrmDownloadV2>(nullptr, platform::InetAddr("127.0.0.1"), "COM7", 0x7316, *network,
                                              desktop, timings);
    window->ReadyToShow();
    std::vector<std::uint8_t> image1(3000), image2(4096);
    for (std::size_t i = 0; i < image2.size(); ++i) image2[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t i = 0; i < image1.size(); ++i) image1[i] = static_cast<std::uint8_t>(i * 5);
    const auto bytes = BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0);
    const std::string path = dir.File("fw.exf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    desktop.dialogPaths = {path};
    opened = ui::user::Click(*window->pbtnDLOpen) && window->pbtnDLStart->Usable();
  }

  // Clicks Start and waits for the run's end: Close usable again.
  bool RunOnce() {
    if (!ui::user::Click(*window->pbtnDLStart)) return false;
    if (window->pbtnDLClose->Usable()) return false;  // a run holds every button
    return testsupport::WaitFor(*window, [&] { return window->pbtnDLClose->Usable(); });
  }
  // As a failed run leaves it: every button usable, the animation gone.
  bool LeftUsable() const {
    return window->pbtnDLOpen->Usable() && window->pbtnDLStart->Usable() && window->pbtnDLClose->Usable() &&
           !window->anmtDownloadFile->Showing();
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : desktop.boxes) texts.push_back(box.text);
    return texts;
  }

  testsupport::UiBackend backend;
  testsupport::TempDir dir;
  std::unique_ptr<platform::Network> network;
  testsupport::UiDesktop desktop;
  std::unique_ptr<TfrmDownloadV2> window;
  bool opened = false;
};

TEST(HostileNetworkWindow, EveryDeviceMisbehaviourFailsAndASecondStartSucceeds) {
  for (const DeviceFaultCase& c : kDeviceFaultCases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.fault)) + " " + std::to_string(c.code));
    devsim::DeviceSettings settings;
    settings.fault = c.fault;
    settings.faultCommand = c.code;
    devsim::DeviceSimulator device(settings);
    ASSERT_TRUE(device.ok());
    Bench bench(device.commandPort(), device.monitorPort());
    ASSERT_TRUE(bench.opened);
    ASSERT_TRUE(bench.RunOnce());
    EXPECT_EQ(bench.Boxes(), std::vector<std::string>{c.text});
    EXPECT_EQ(bench.desktop.boxes.at(0).flags, 0x10u);
    EXPECT_TRUE(bench.LeftUsable());

    device.SetFault(devsim::Fault::kNone);
    ASSERT_TRUE(bench.RunOnce());
    EXPECT_EQ(bench.Boxes().size(), std::size_t{1});  // success shows no box
    EXPECT_EQ(bench.window->pbrDownloadStatus->Position(), 100);
    EXPECT_FALSE(bench.window->pbtnDLStart->Usable());  // as after any successful run
  }
}

TEST(HostileNetworkWindow, ARefusedCommandPortRecoversThroughTheMonitor) {
  devsim::DeviceSettings settings;
  settings.fault = devsim::Fault::kRefuseCommandPort;
  devsim::DeviceSimulator device(settings);
  Bench bench(device.commandPort(), device.monitorPort());
  ASSERT_TRUE(bench.opened);
  ASSERT_TRUE(bench.RunOnce());
  EXPECT_EQ(bench.Boxes(), std::vector<std::string>{"Correct the error of last download"});
  EXPECT_EQ(bench.window->pbrDownloadStatus->Position(), 100);
}

TEST(HostileNetworkWindow, PeersTalkingNonsenseFailEveryStart) {
  struct Case {
    HostilePeer::Manner manner;
    int pauseMs;
    bool onMonitorPort;
    std::vector<std::string> boxes;
  };
  const std::string command = "The Device fail to process the download command";
  const std::string monitor = "The target device is unsupported";
  const std::string recovery = "Correct the error of last download";
  const Case cases[] = {
      {HostilePeer::Manner::kRandomBytes, 0, false, {command}},
      {HostilePeer::Manner::kTrickle, 1000, false, {command}},
      {HostilePeer::Manner::kRandomBytes, 0, true, {recovery, monitor}},
      {HostilePeer::Manner::kTrickle, 1000, true, {recovery, monitor}},
  };
  for (const Case& c : cases) {
    HostilePeer peer(c.manner, c.pauseMs);
    ASSERT_TRUE(peer.ok());
    const std::uint16_t closed = testsupport::ClosedPort();
    Bench bench(c.onMonitorPort ? closed : peer.port(), c.onMonitorPort ? peer.port() : closed);
    ASSERT_TRUE(bench.opened);
    std::vector<std::string> expected;
    for (int start = 1; start <= 2; ++start) {
      const auto begin = std::chrono::steady_clock::now();
      ASSERT_TRUE(bench.RunOnce());
      EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5)) << "a run outlived its time-outs";
      expected.insert(expected.end(), c.boxes.begin(), c.boxes.end());
      EXPECT_EQ(bench.Boxes(), expected);
      EXPECT_TRUE(bench.LeftUsable());
    }
    EXPECT_EQ(peer.Connections(), 2);
  }
}

}  // namespace
