// The COM firmware window on the test toolkit with its worker and a simulated driver:
// the file check as the user meets it, whole downloads, refusals, and what is left open.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>

#include "driver_ports.h"
#include "firmware/download_window.h"
#include "platform/thread.h"
#include "support/temp_dir.h"
#include "support/ui_test_backend.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/user.h"
#include "window_wait.h"

namespace {

using testsupport::WaitFor;

const DownloadTiming kQuick{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
const std::string kCaption = "COM5 Download Firmware";

// Cuts or lengthens a file, as another program may while the window holds it open.
void Resize(const std::string& path, std::size_t size) {
  std::vector<char> bytes(size);
  std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
}

// The window, with what its progress bar showed after each of the worker's steps.
class WatchedWindow : public TfrmDownload {
 public:
  using TfrmDownload::TfrmDownload;
  void ShowProgress(std::uint32_t bytesSent) override {
    TfrmDownload::ShowProgress(bytesSent);
    Synchronize([this] { progress.push_back(pbrDownloadStatus->Position()); });
  }
  std::vector<int> progress;
};

// The user at a COM firmware window, with the desktop that answers its dialogs and boxes.
struct User {
  TfrmDownload& w;
  testsupport::UiDesktop& desktop;

  // Opens path through the Open button.
  bool Choose(const std::string& path) {
    desktop.dialogPaths.push_back(path);
    return ui::user::Click(*w.pbtnDLOpen);
  }
  // Presses Start and waits for the worker to hand the window back.
  bool Download() {
    return ui::user::Click(*w.pbtnDLStart) &&
           WaitFor(w, [this] { return !desktop.boxes.empty() && w.pbtnDLClose->Usable(); });
  }
  std::string LastBox() const { return desktop.boxes.empty() ? std::string() : desktop.boxes.back().text; }
  // Open and Close on, Start off, nothing open and no file shown.
  bool ReadyForAnotherFile() const {
    return w.pbtnDLOpen->Usable() && w.pbtnDLClose->Usable() && !w.pbtnDLStart->Usable() && !w.FileHandle &&
           w.stxtDownloadFileName->Text().empty();
  }
};

// COM5 with its driver, a desktop and a folder for images.
struct Bench {
  Bench() : ports(driver) {}
  std::string Image(const std::string& name, std::uint32_t model, std::uint32_t length) {
    const std::string path = dir.File(name);
    if (!WriteFirmwareImage(path, model, length)) return std::string();
    return path;
  }

  testsupport::UiBackend backend;
  testsupport::TempDir dir;
  testsupport::SimulatedDriver driver;
  testsupport::DriverPorts ports;
  testsupport::UiDesktop desktop;
};

// One window on COM5, shown as the main window shows it once it is ready.
struct Session : Bench {
  explicit Session(std::uint32_t model)
      : window(nullptr, "COM5", model, ports, desktop, kQuick), user{window, desktop} {
    EXPECT_EQ(window.ReadyToShow(), 1);
    window.Show();
  }
  WatchedWindow window;
  User user;
};

TEST(DownloadWindow, LayoutAndAcceptedFile) {
  Session s(0x7370);
  TfrmDownload& w = s.window;
  EXPECT_EQ(s.ports.opened, std::vector<std::string>{"\\\\.\\COM5"});
  EXPECT_EQ(w.Caption(), kCaption);
  EXPECT_EQ(w.Description().clientWidth, 463);
  EXPECT_EQ(w.Description().clientHeight, 195);
  EXPECT_FALSE(ui::user::CloseBox(w));
  EXPECT_EQ(w.gbxDownloadFile->Bounds(), (ui::Rect{0, 0, 463, 49}));
  EXPECT_EQ(w.gbxDownloadStatus->Bounds(), (ui::Rect{0, 49, 463, 104}));
  EXPECT_EQ(w.pbtnDLOpen->Bounds(), (ui::Rect{370, 16, 75, 25}));
  EXPECT_EQ(w.pbtnDLReboot->Bounds(), (ui::Rect{170, 8, 75, 25}));
  EXPECT_EQ(w.pbtnDLStart->Bounds(), (ui::Rect{270, 8, 75, 25}));
  EXPECT_EQ(w.pbtnDLClose->Bounds(), (ui::Rect{370, 8, 75, 25}));
  EXPECT_EQ(w.pnlDownloadBtn->Bounds().height, 42);
  EXPECT_EQ(w.pbrDownloadStatus->Bounds(), (ui::Rect{16, 8, 425, 25}));
  EXPECT_EQ(w.pbrDownloadStatus->Max(), 100);
  EXPECT_TRUE(w.pbtnDLOpen->Usable() && w.pbtnDLClose->Usable());
  EXPECT_FALSE(w.pbtnDLStart->Usable() || w.pbtnDLReboot->Usable());
  EXPECT_FALSE(w.anmtDownloadFile->Active() || w.anmtDownloadFile->Showing());

  ASSERT_TRUE(s.user.Choose(s.Image("firmware.bin", 0x7370, kFirmwareImageSize)));
  ASSERT_EQ(s.desktop.dialogs.size(), std::size_t{1});
  EXPECT_EQ(s.desktop.dialogs[0].title, "Open Firmware Binary File");
  EXPECT_EQ(s.desktop.dialogs[0].filter, "Firmware binary file (*.bin)|*.bin");
  EXPECT_EQ(s.desktop.dialogs[0].defaultExt, "bin");
  EXPECT_TRUE(s.desktop.dialogs[0].mustExist);
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_TRUE(w.pbtnDLStart->Usable());
  EXPECT_EQ(w.FileSize, kFirmwareImageSize);
  testsupport::Photograph(w, "firmware-window-accepted");
}

TEST(DownloadWindow, FullImageGoesOutBlockByBlock) {
  Session s(0x7370);
  WatchedWindow& w = s.window;
  // Hold block 128 until the window has been looked at mid-download.
  std::atomic<bool> held{false}, release{false};
  s.ports.beforeBlock = [&](std::uint32_t index) {
    if (index != 128) return;
    held = true;
    while (!release) platform::SleepMs(1);
  };
  ASSERT_TRUE(s.user.Choose(s.Image("firmware.bin", 0x7370, kFirmwareImageSize)));
  ASSERT_TRUE(ui::user::Click(*w.pbtnDLStart));
  ASSERT_TRUE(WaitFor(w, [&] { return held.load(); }));
  EXPECT_TRUE(w.anmtDownloadFile->Showing() && w.anmtDownloadFile->Active());
  EXPECT_EQ(w.pbrDownloadStatus->Position(), 50);
  testsupport::Photograph(w, "firmware-window-downloading");
  EXPECT_FALSE(w.pbtnDLOpen->Usable() || w.pbtnDLClose->Usable() || w.pbtnDLReboot->Usable());
  release = true;
  ASSERT_TRUE(WaitFor(w, [&] { return !s.desktop.boxes.empty() && w.pbtnDLClose->Usable(); }));

  EXPECT_EQ(s.user.LastBox(), "Download Complete");
  EXPECT_EQ(s.desktop.boxes.back().caption, kCaption);
  EXPECT_EQ(s.desktop.boxes.back().flags, platform::kMbOk);
  const auto blocks = s.driver.Blocks();
  ASSERT_EQ(blocks.size(), std::size_t{256});
  for (std::uint32_t i = 0; i < 256; ++i) {
    EXPECT_EQ(blocks[i].index, i);
    EXPECT_EQ(blocks[i].devicePath, "\\\\.\\COM5");
  }
  // The file's own bytes, trailer included.
  std::vector<std::uint8_t> image;
  for (const auto& block : blocks) image.insert(image.end(), block.data.begin(), block.data.end());
  EXPECT_EQ(image[1000], FirmwareImageByte(1000));
  EXPECT_EQ(std::string(image.end() - 8, image.end() - 4), "7370");
  ASSERT_EQ(w.progress.size(), std::size_t{256});
  EXPECT_EQ(w.progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(w.progress.begin(), w.progress.end()));
  EXPECT_TRUE(s.user.ReadyForAnotherFile());
  EXPECT_TRUE(w.pbtnDLReboot->Usable());
  EXPECT_FALSE(w.anmtDownloadFile->Showing() || w.anmtDownloadFile->Active());
  EXPECT_EQ(w.pbrDownloadStatus->Position(), 0);
}

TEST(DownloadWindow, WImageEndsInATrailerBlock) {
  Session s(0xC371);
  ASSERT_TRUE(s.user.Choose(s.Image("w.bin", 0xC371, 1032)));
  ASSERT_TRUE(s.user.Download());
  EXPECT_EQ(s.user.LastBox(), "Download Complete");
  const auto blocks = s.driver.Blocks();
  ASSERT_EQ(blocks.size(), std::size_t{2});
  EXPECT_EQ(blocks[0].index, 0u);
  EXPECT_EQ(blocks[1].index, TRAILER_BLOCK_INDEX);
  EXPECT_EQ(std::string(blocks[1].data.begin(), blocks[1].data.begin() + 4), "C371");
}

// 1024 x 50000 + 8 bytes: past 42,949,672 bytes sent, bytes x 100 no longer fits in 32 bits.
TEST(DownloadWindow, ProgressOfAWImageAbove42MegabytesRisesTo100) {
  Session s(0xC370);
  const std::uint32_t length = 1024u * 50000u + 8u;
  ASSERT_TRUE(s.user.Choose(s.Image("long.bin", 0xC370, length)));
  EXPECT_EQ(s.window.FileSize, length);
  ASSERT_TRUE(ui::user::Click(*s.window.pbtnDLStart));
  ASSERT_TRUE(WaitFor(s.window, [&] { return !s.desktop.boxes.empty() && s.window.pbtnDLClose->Usable(); }, 120000));
  EXPECT_EQ(s.user.LastBox(), "Download Complete");
  const std::vector<int>& progress = s.window.progress;
  ASSERT_EQ(progress.size(), std::size_t{50001});
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 100);
}

TEST(DownloadWindow, FailuresStopTheDownloadAndReportTheirCause) {
  // A W image that is not 1024 x n + 8, the last block refused, another block refused.
  const struct {
    std::uint32_t model, length;
    int refusedBlock;
    std::size_t blocksSent;
    const char* message;
  } cases[] = {
      {0xC370, 1288, -1, 1, "Read Download binary file length fail"},
      {0x7304, kFirmwareImageSize, 255, 256, "The format of Binary file Fail"},
      {0x7304, kFirmwareImageSize, 17, 18, "Download Binary file Fail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Session s(c.model);
    if (c.refusedBlock >= 0) s.driver.RefuseBlock(static_cast<std::uint32_t>(c.refusedBlock));
    ASSERT_TRUE(s.user.Choose(s.Image("fw.bin", c.model, c.length)));
    EXPECT_TRUE(s.window.pbtnDLStart->Usable());
    ASSERT_TRUE(s.user.Download());
    EXPECT_EQ(s.user.LastBox(), c.message);
    EXPECT_EQ(s.desktop.boxes.back().flags, platform::kMbIconError);
    EXPECT_EQ(s.driver.Blocks().size(), c.blocksSent);
    EXPECT_TRUE(s.user.ReadyForAnotherFile());
    EXPECT_FALSE(s.window.pbtnDLReboot->Usable());
    EXPECT_EQ(s.dir.OpenFiles(), 0);
  }
}

TEST(DownloadWindow, FileChoiceReplacesRechecksAndShortensThePath) {
  Session s(0xC370);
  TfrmDownload& w = s.window;
  ASSERT_TRUE(s.user.Choose(s.Image("first.bin", 0xC370, 1032)));
  EXPECT_TRUE(w.pbtnDLStart->Usable());
  // A second file closes the first.
  const std::string second = s.Image("second.bin", 0xC370, 2056);
  ASSERT_TRUE(s.user.Choose(second));
  EXPECT_EQ(w.FileSize, 2056u);
  EXPECT_EQ(s.dir.OpenFiles(), 1);
  // A cancelled dialog checks the file chosen last again: now it is refused.
  Resize(second, 2057);
  ASSERT_TRUE(s.user.Choose(""));
  EXPECT_EQ(s.user.LastBox(), "Firmware Binary File Length Wrong");
  EXPECT_EQ(s.desktop.boxes.back().caption, kCaption);
  EXPECT_TRUE(s.user.ReadyForAnotherFile());
  EXPECT_EQ(s.dir.OpenFiles(), 0);

  std::string name = s.dir.path() + testsupport::kPathSeparator;
  ASSERT_LT(name.size(), std::size_t{60});
  name += std::string(70 - name.size() - 4, 'n') + ".bin";
  ASSERT_EQ(name.size(), std::size_t{70});
  ASSERT_TRUE(s.user.Choose(s.Image(name.substr(s.dir.path().size() + 1), 0xC370, 1032)));
  EXPECT_EQ(w.stxtDownloadFileName->Text(), "..." + name.substr(22));
}

TEST(DownloadWindow, UnopenableAndVanishedFilesLeaveNothingOpen) {
  Session s(0x7370);
  ASSERT_TRUE(s.user.Choose(s.dir.File("missing.bin")));
  EXPECT_EQ(s.user.LastBox(), "Open Firmware Binary File Fail");
  EXPECT_TRUE(s.user.ReadyForAnotherFile());

  const std::string path = s.Image("fw.bin", 0x7370, kFirmwareImageSize);
  ASSERT_TRUE(s.user.Choose(path));
  EXPECT_TRUE(s.window.pbtnDLStart->Usable());
  Resize(path, 0);
  ASSERT_TRUE(s.user.Download());
  EXPECT_EQ(s.user.LastBox(), "Read Download binary file length fail");
  EXPECT_TRUE(s.driver.Blocks().empty());
  EXPECT_TRUE(s.user.ReadyForAnotherFile());
  EXPECT_EQ(s.dir.OpenFiles(), 0);
}

// As the main window runs it: shown modally until Close, which is the only way out.
TEST(DownloadWindow, RefusedRebootIsReportedAndCloseEndsTheWindow) {
  Bench bench;
  const std::string path = bench.Image("fw.bin", 0x7370, kFirmwareImageSize);
  bench.backend.WhenModal("frmDownload", [&](ui::Window& window) {
    User user{static_cast<TfrmDownload&>(window), bench.desktop};
    TfrmDownload& w = user.w;
    ASSERT_TRUE(user.Choose(path));
    ASSERT_TRUE(user.Download());
    bench.driver.RefuseReboot();
    ASSERT_TRUE(ui::user::Click(*w.pbtnDLReboot));
    EXPECT_EQ(bench.driver.Reboots(), std::vector<std::string>{"\\\\.\\COM5"});
    EXPECT_EQ(user.LastBox(), "Reboot COM5 Fail");
    EXPECT_EQ(bench.desktop.boxes.back().caption, kCaption);
    EXPECT_FALSE(w.pbtnDLReboot->Usable());
    EXPECT_TRUE(ui::user::Click(*w.pbtnDLClose));
  });
  RunComFirmwareUpdate(nullptr, "COM5", 0x7370, bench.ports, bench.desktop);
  EXPECT_EQ(bench.backend.ModalWindows(), std::vector<std::string>{"frmDownload"});
  EXPECT_TRUE(bench.backend.StuckWindows().empty());
}

TEST(DownloadWindow, PortThatCannotBeOpenedIsNeverShown) {
  Bench bench;
  bench.ports.refuseOpen = true;
  RunComFirmwareUpdate(nullptr, "COM9", 0x7370, bench.ports, bench.desktop);
  EXPECT_TRUE(bench.backend.ModalWindows().empty());
  ASSERT_EQ(bench.desktop.boxes.size(), std::size_t{1});
  EXPECT_EQ(bench.desktop.boxes[0].text, "Open COM9 Fail");
  EXPECT_EQ(bench.desktop.boxes[0].caption, "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(bench.desktop.boxes[0].flags, platform::kMbIconError);

  TfrmDownload window(nullptr, "COM9", 0x7370, bench.ports, bench.desktop, kQuick);
  EXPECT_EQ(window.ReadyToShow(), 0);
  EXPECT_FALSE(window.Enabled());
}

}  // namespace
