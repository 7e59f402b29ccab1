// The network firmware window on the test toolkit: the file check with its messages and
// labels, and a whole update against the device simulator on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "firmware/download_window_v2.h"
#include "platform/address.h"
#include "support/temp_dir.h"
#include "support/ui_test_backend.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/user.h"
#include "window_wait.h"

// The device simulator is a POSIX program: a Windows build runs the window's file check
// here, and the Wine stage sends an update over Winsock to the simulator running natively.
#ifndef _WIN32
#include "devsim/device_simulator.h"
#endif

namespace {

using testsupport::WaitFor;

std::vector<std::uint8_t> Bytes(std::size_t size, int seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * seed + 3);
  return bytes;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

struct Bench {
  Bench() : network(platform::CreateSystemNetwork()) {}
  std::unique_ptr<TfrmDownloadV2> Window(std::uint32_t model = 0x7316, NetworkTimings timings = {}) {
    return std::make_unique<TfrmDownloadV2>(nullptr, platform::InetAddr("127.0.0.1"), "COM7", model, *network,
                                            desktop, timings);
  }
#ifndef _WIN32
  // Timings that reach device on 127.0.0.1.
  static NetworkTimings On(const devsim::DeviceSimulator& device, int resetPauseMs) {
    NetworkTimings timings;
    timings.commandPort = device.commandPort();
    timings.monitorPort = device.monitorPort();
    timings.resetPauseMs = resetPauseMs;
    return timings;
  }
#endif
  // A file at a path of exactly length characters.
  std::string FileOfLength(std::size_t length, const std::vector<std::uint8_t>& bytes) {
    std::string path = dir.path() + testsupport::kPathSeparator;
    path += std::string(length - path.size() - 4, 'f') + ".exf";
    Write(path, bytes);
    return path;
  }
  // Opens path through the Open button.
  bool Choose(TfrmDownloadV2& w, const std::string& path) {
    desktop.dialogPaths.push_back(path);
    return ui::user::Click(*w.pbtnDLOpen);
  }

  testsupport::UiBackend backend;
  testsupport::TempDir dir;
  std::unique_ptr<platform::Network> network;
  testsupport::UiDesktop desktop;
};

const std::vector<std::uint8_t> kImage1 = Bytes(3000, 5), kImage2 = Bytes(4096, 7);

TEST(NetworkDownloadWindow, OpenChecksTheFileAndShowsItsName) {
  Bench bench;
  auto w = bench.Window();
  EXPECT_FALSE(w->Enabled());  // until the readiness query
  EXPECT_EQ(w->ReadyToShow(), 1);
  EXPECT_TRUE(w->Enabled());
  w->Show();
  EXPECT_EQ(w->Caption(), "COM7 Download Firmware");
  EXPECT_EQ(w->Description().clientWidth, 463);
  EXPECT_EQ(w->Description().clientHeight, 195);
  EXPECT_TRUE(w->pbtnDLOpen->Usable() && !w->pbtnDLStart->Usable() && w->pbtnDLClose->Usable());
  EXPECT_FALSE(w->anmtDownloadFile->Showing());
  EXPECT_EQ(w->stxtDwonloadFileName->Text(), "");

  const auto good = BuildExfBytes(0x7316, kImage1, 1, 0, kImage2, 1, 0);
  const std::string shortPath = bench.FileOfLength(47, good), longPath = bench.FileOfLength(48, good);
  ASSERT_TRUE(bench.Choose(*w, shortPath));
  EXPECT_EQ(bench.desktop.dialogs.at(0).title, "Open Firmware Binary File");
  EXPECT_EQ(bench.desktop.dialogs.at(0).filter, "VEQ binary file (*.exf)|*.EXF");
  EXPECT_EQ(bench.desktop.dialogs.at(0).defaultExt, "exg");
  EXPECT_EQ(w->stxtDownloadFileName->Text(), shortPath);
  EXPECT_TRUE(w->pbtnDLStart->Usable());
  testsupport::Photograph(*w, "network-firmware-window-checked");
  ASSERT_TRUE(bench.Choose(*w, longPath));
  EXPECT_EQ(w->stxtDownloadFileName->Text(), "..." + longPath);

  // Cancel changes nothing; refused files keep the file accepted before.
  ASSERT_TRUE(bench.Choose(*w, ""));
  EXPECT_EQ(w->stxtDownloadFileName->Text(), "..." + longPath);
  auto broken = good;
  broken.back() ^= 1;  // one byte of image 2
  const std::string brokenPath = bench.dir.File("broken.exf");
  Write(brokenPath, broken);
  const std::string otherPath = bench.dir.File("other.exf");
  Write(otherPath, BuildExfBytes(0x7308, kImage1, 1, 0, kImage2, 1, 0));
  for (const std::string& path : {brokenPath, otherPath, bench.dir.File("missing.exf")})
    ASSERT_TRUE(bench.Choose(*w, path));
  std::vector<std::string> texts;
  for (const auto& box : bench.desktop.boxes) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"The VEQ Binary file is corrupted", "The Binary File is not for VEQ 7316+",
                                             "Cannot find the VEQ Binary file"}));
  EXPECT_EQ(bench.desktop.boxes[0].flags, 0x10u);
  EXPECT_EQ(bench.desktop.boxes[0].caption, "COM7 Download Firmware");
  EXPECT_TRUE(w->pbtnDLStart->Usable());
  EXPECT_EQ(w->File.image2, kImage2);
}

#ifndef _WIN32
TEST(NetworkDownloadWindow, AWholeUpdateAgainstTheSimulatedDevice) {
  devsim::DeviceSimulator device(devsim::DeviceSettings{});
  ASSERT_TRUE(device.ok());
  Bench bench;
  auto w = bench.Window(0x7316, Bench::On(device, 300));
  w->ReadyToShow();
  const std::string path = bench.dir.File("fw.exf");
  Write(path, BuildExfBytes(0x7316, Bytes(200000, 3), 1, 0, Bytes(200704, 9), 1, 0));
  ASSERT_TRUE(bench.Choose(*w, path));
  ASSERT_TRUE(ui::user::Click(*w->pbtnDLStart));
  EXPECT_FALSE(w->pbtnDLOpen->Usable() || w->pbtnDLStart->Usable() || w->pbtnDLClose->Usable());
  EXPECT_TRUE(WaitFor(*w, [&] { return w->anmtDownloadFile->Showing() && w->pbrDownloadStatus->Position() > 0; }));
  EXPECT_TRUE(w->anmtDownloadFile->Active());
  ASSERT_TRUE(WaitFor(*w, [&] { return w->pbtnDLClose->Usable(); }, 30000));
  EXPECT_EQ(w->pbrDownloadStatus->Position(), 100);
  EXPECT_FALSE(w->anmtDownloadFile->Showing());
  EXPECT_TRUE(bench.desktop.boxes.empty());  // success shows no box
  EXPECT_EQ(device.Image1(), w->File.image1);
  EXPECT_EQ(device.Image2(), w->File.image2);
}

// The close box stays during a download; the window goes at once and waits only for the
// worker's stop, not for the device.
TEST(NetworkDownloadWindow, ClosingDuringADownloadNeverHangs) {
  devsim::DeviceSettings settings;
  settings.fault = devsim::Fault::kFallSilent;
  devsim::DeviceSimulator device(settings);
  Bench bench;
  auto w = bench.Window(0x7316, Bench::On(device, 0));
  ASSERT_EQ(w->ReadyToShow(), 1);
  const std::string path = bench.dir.File("fw.exf");
  Write(path, BuildExfBytes(0x7316, kImage1, 1, 0, kImage2, 1, 0));
  std::chrono::steady_clock::time_point closed;
  bench.backend.WhenModal("frmDownloadV2", [&](ui::Window& window) {
    auto& v2 = static_cast<TfrmDownloadV2&>(window);
    ASSERT_TRUE(bench.Choose(v2, path));
    ASSERT_TRUE(ui::user::Click(*v2.pbtnDLStart));
    ASSERT_TRUE(WaitFor(v2, [&] { return !device.ImageBlockLengths().empty(); }, 10000));
    closed = std::chrono::steady_clock::now();
    EXPECT_TRUE(ui::user::CloseBox(v2));
  });
  w->ShowModal();
  w.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(5))
      << "closing waited for the silent device";
  EXPECT_TRUE(bench.desktop.boxes.empty());
  EXPECT_TRUE(bench.backend.StuckWindows().empty());
}
#endif

}  // namespace
