// The COM firmware window offscreen with its worker and a simulated driver: the file
// check as the user meets it, whole downloads, refusals, and what is left open.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <filesystem>
#include <memory>

#include "driver_ports.h"
#include "firmware/download_window.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

namespace {

const DownloadTiming kQuick{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
const QString kCaption = "COM5 Download Firmware";

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

int OpenFileCount() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
  return count;
}

QString ScreenshotPath(const char* name) {
  const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
  QDir().mkpath(dir);
  return dir + "/" + name;
}

// One window on COM5 with its driver, desktop and a folder for images.
struct Session {
  explicit Session(std::uint32_t model) : ports(driver) {
    window = std::make_unique<TfrmDownload>(nullptr, "COM5", model, ports, desktop, kQuick);
  }
  std::string Image(const std::string& name, std::uint32_t model, std::uint32_t length) {
    const std::string path = dir.File(name);
    if (!WriteFirmwareImage(path, model, length)) return std::string();
    return path;
  }
  // Opens path through the Open button.
  void Choose(const std::string& path) {
    desktop.dialogPaths.push_back(path);
    window->pbtnDLOpen->click();
  }
  // Presses Start and waits for the worker to hand the window back.
  bool Download() {
    window->pbtnDLStart->click();
    return WaitUntil([this] { return !desktop.boxes.empty() && window->pbtnDLClose->isEnabled(); });
  }
  std::string LastBox() const { return desktop.boxes.empty() ? std::string() : desktop.boxes.back().text; }
  // Open and Close on, Start off, nothing open and no file shown.
  bool ReadyForAnotherFile() const {
    return window->pbtnDLOpen->isEnabled() && window->pbtnDLClose->isEnabled() && !window->pbtnDLStart->isEnabled() &&
           !window->FileHandle && window->stxtDownloadFileName->text().isEmpty();
  }

  testsupport::TempDir dir;
  testsupport::SimulatedDriver driver;
  testsupport::DriverPorts ports;
  testsupport::ScriptedDesktop desktop;
  std::unique_ptr<TfrmDownload> window;
};

}  // namespace

class DownloadWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndAcceptedFile() {
    Session s(0x7370);
    TfrmDownload& w = *s.window;
    QCOMPARE(w.ReadyToShow(), 1);
    QCOMPARE(s.ports.opened, std::vector<std::string>{"\\\\.\\COM5"});
    QCOMPARE(w.windowTitle(), kCaption);
    QCOMPARE(w.size(), QSize(463, 195));
    QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(w.gbxDownloadFile->height(), 49);
    QCOMPARE(w.gbxDownloadStatus->height(), 104);
    QCOMPARE(w.pbtnDLOpen->geometry(), QRect(370, 16, 75, 25));
    QCOMPARE(w.pbtnDLReboot->geometry(), QRect(170, 8, 75, 25));
    QCOMPARE(w.pbtnDLStart->geometry(), QRect(270, 8, 75, 25));
    QCOMPARE(w.pbtnDLClose->geometry(), QRect(370, 8, 75, 25));
    QCOMPARE(w.pbrDownloadStatus->geometry(), QRect(16, 8, 425, 25));
    QCOMPARE(w.pbrDownloadStatus->maximum(), 100);
    QVERIFY(w.pbtnDLOpen->isEnabled() && w.pbtnDLClose->isEnabled());
    QVERIFY(!w.pbtnDLStart->isEnabled() && !w.pbtnDLReboot->isEnabled());
    QVERIFY(!w.anmtDownloadFile->Active());

    s.Choose(s.Image("firmware.bin", 0x7370, kFirmwareImageSize));
    QCOMPARE(s.desktop.dialogs.size(), std::size_t{1});
    QCOMPARE(s.desktop.dialogs[0].title, std::string("Open Firmware Binary File"));
    QCOMPARE(s.desktop.dialogs[0].filter, std::string("Firmware binary file (*.bin)|*.bin"));
    QVERIFY(s.desktop.boxes.empty());
    QVERIFY(w.pbtnDLStart->isEnabled());
    QCOMPARE(w.FileSize, kFirmwareImageSize);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.grab().save(ScreenshotPath("firmware-window-accepted.png")));
  }

  void fullImageGoesOutBlockByBlock() {
    Session s(0x7370);
    TfrmDownload& w = *s.window;
    QList<int> progress;
    connect(w.pbrDownloadStatus, &QProgressBar::valueChanged, [&](int value) { progress << value; });
    // Hold block 128 until the window has been looked at mid-download.
    std::atomic<bool> held{false}, release{false};
    s.ports.beforeBlock = [&](std::uint32_t index) {
      if (index != 128) return;
      held = true;
      while (!release) QThread::msleep(1);
    };
    const std::string path = s.Image("firmware.bin", 0x7370, kFirmwareImageSize);
    s.Choose(path);
    w.show();
    w.pbtnDLStart->click();
    QVERIFY(WaitUntil([&] { return held.load(); }));
    QVERIFY(WaitUntil([&] { return w.anmtDownloadFile->Frame() > 3; }));
    QVERIFY(w.anmtDownloadFile->isVisible() && w.anmtDownloadFile->Active());
    QCOMPARE(w.pbrDownloadStatus->value(), 50);
    QVERIFY(!w.pbtnDLOpen->isEnabled() && !w.pbtnDLClose->isEnabled() && !w.pbtnDLReboot->isEnabled());
    QVERIFY(w.grab().save(ScreenshotPath("firmware-window-downloading.png")));
    release = true;
    QVERIFY(WaitUntil([&] { return !s.desktop.boxes.empty() && w.pbtnDLClose->isEnabled(); }));

    QCOMPARE(s.LastBox(), std::string("Download Complete"));
    QCOMPARE(QString::fromStdString(s.desktop.boxes.back().caption), kCaption);
    QCOMPARE(s.desktop.boxes.back().flags, platform::kMbOk);
    const auto blocks = s.driver.Blocks();
    QCOMPARE(blocks.size(), std::size_t{256});
    for (std::uint32_t i = 0; i < 256; ++i) {
      QCOMPARE(blocks[i].index, i);
      QCOMPARE(blocks[i].devicePath, std::string("\\\\.\\COM5"));
    }
    // The file's own bytes, trailer included.
    std::vector<std::uint8_t> image;
    for (const auto& block : blocks) image.insert(image.end(), block.data.begin(), block.data.end());
    QCOMPARE(image[1000], FirmwareImageByte(1000));
    QCOMPARE(std::string(image.end() - 8, image.end() - 4), std::string("7370"));
    QVERIFY(progress.contains(100));
    QVERIFY(std::is_sorted(progress.begin(), progress.end() - 1));
    QVERIFY(s.ReadyForAnotherFile());
    QVERIFY(w.pbtnDLReboot->isEnabled());
    QVERIFY(!w.anmtDownloadFile->isVisible());
    QCOMPARE(w.pbrDownloadStatus->value(), 0);
  }

  void wImageEndsInATrailerBlock() {
    Session s(0xC371);
    s.Choose(s.Image("w.bin", 0xC371, 1032));
    QVERIFY(s.Download());
    QCOMPARE(s.LastBox(), std::string("Download Complete"));
    const auto blocks = s.driver.Blocks();
    QCOMPARE(blocks.size(), std::size_t{2});
    QCOMPARE(blocks[0].index, 0u);
    QCOMPARE(blocks[1].index, TRAILER_BLOCK_INDEX);
    QCOMPARE(std::string(blocks[1].data.begin(), blocks[1].data.begin() + 4), std::string("C371"));
  }

  void failuresStopTheDownloadAndReportTheirCause_data() {
    QTest::addColumn<std::uint32_t>("model");
    QTest::addColumn<std::uint32_t>("length");
    QTest::addColumn<int>("refusedBlock");
    QTest::addColumn<int>("blocksSent");
    QTest::addColumn<QString>("message");
    QTest::newRow("W image not 1024 x n + 8") << 0xC370u << 1288u << -1 << 1
                                              << "Read Download binary file length fail";
    QTest::newRow("last block refused") << 0x7304u << kFirmwareImageSize << 255 << 256
                                        << "The format of Binary file Fail";
    QTest::newRow("other block refused") << 0x7304u << kFirmwareImageSize << 17 << 18 << "Download Binary file Fail";
  }

  void failuresStopTheDownloadAndReportTheirCause() {
    QFETCH(std::uint32_t, model);
    QFETCH(std::uint32_t, length);
    QFETCH(int, refusedBlock);
    QFETCH(int, blocksSent);
    QFETCH(QString, message);
    Session s(model);
    if (refusedBlock >= 0) s.driver.RefuseBlock(static_cast<std::uint32_t>(refusedBlock));
    const int openFiles = OpenFileCount();
    s.Choose(s.Image("fw.bin", model, length));
    QVERIFY(s.window->pbtnDLStart->isEnabled());
    QVERIFY(s.Download());
    QCOMPARE(QString::fromStdString(s.LastBox()), message);
    QCOMPARE(s.desktop.boxes.back().flags, platform::kMbIconError);
    QCOMPARE(s.driver.Blocks().size(), static_cast<std::size_t>(blocksSent));
    QVERIFY(s.ReadyForAnotherFile());
    QVERIFY(!s.window->pbtnDLReboot->isEnabled());
    QCOMPARE(OpenFileCount(), openFiles);
  }

  void fileChoiceReplacesRechecksAndShortensThePath() {
    Session s(0xC370);
    TfrmDownload& w = *s.window;
    const int openFiles = OpenFileCount();
    s.Choose(s.Image("first.bin", 0xC370, 1032));
    QVERIFY(w.pbtnDLStart->isEnabled());
    // A second file closes the first.
    const std::string second = s.Image("second.bin", 0xC370, 2056);
    s.Choose(second);
    QCOMPARE(w.FileSize, 2056u);
    QCOMPARE(OpenFileCount(), openFiles + 1);
    // A cancelled dialog checks the file chosen last again: now it is refused.
    std::filesystem::resize_file(second, 2057);
    s.Choose("");
    QCOMPARE(s.LastBox(), std::string("Firmware Binary File Length Wrong"));
    QCOMPARE(QString::fromStdString(s.desktop.boxes.back().caption), kCaption);
    QVERIFY(s.ReadyForAnotherFile());
    QCOMPARE(OpenFileCount(), openFiles);

    std::string name = s.dir.path() + "/";
    QVERIFY(name.size() < 60);
    name += std::string(70 - name.size() - 4, 'n') + ".bin";
    QCOMPARE(name.size(), std::size_t{70});
    s.Choose(s.Image(name.substr(s.dir.path().size() + 1), 0xC370, 1032));
    QCOMPARE(w.stxtDownloadFileName->text(), QString::fromStdString("..." + name.substr(22)));
  }

  void unopenableAndVanishedFilesLeaveNothingOpen() {
    Session s(0x7370);
    const int openFiles = OpenFileCount();
    s.Choose(s.dir.File("missing.bin"));
    QCOMPARE(s.LastBox(), std::string("Open Firmware Binary File Fail"));
    QVERIFY(s.ReadyForAnotherFile());

    const std::string path = s.Image("fw.bin", 0x7370, kFirmwareImageSize);
    s.Choose(path);
    QVERIFY(s.window->pbtnDLStart->isEnabled());
    std::filesystem::resize_file(path, 0);
    QVERIFY(s.Download());
    QCOMPARE(s.LastBox(), std::string("Read Download binary file length fail"));
    QVERIFY(s.driver.Blocks().empty());
    QVERIFY(s.ReadyForAnotherFile());
    QCOMPARE(OpenFileCount(), openFiles);
  }

  void refusedRebootIsReported() {
    Session s(0x7370);
    s.Choose(s.Image("fw.bin", 0x7370, kFirmwareImageSize));
    QVERIFY(s.Download());
    s.driver.RefuseReboot();
    QVERIFY(s.window->pbtnDLReboot->isEnabled());
    s.window->pbtnDLReboot->click();
    QCOMPARE(s.driver.Reboots(), std::vector<std::string>{"\\\\.\\COM5"});
    QCOMPARE(s.LastBox(), std::string("Reboot COM5 Fail"));
    QCOMPARE(QString::fromStdString(s.desktop.boxes.back().caption), kCaption);
    QVERIFY(!s.window->pbtnDLReboot->isEnabled());
  }

  void portThatCannotBeOpenedIsNeverShown() {
    testsupport::SimulatedDriver driver;
    testsupport::DriverPorts ports(driver);
    ports.refuseOpen = true;
    testsupport::ScriptedDesktop desktop;
    bool shown = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
      if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        shown = true;
        modal->done(0);
      }
    });
    guard.start(50);
    RunComFirmwareUpdate(nullptr, "COM9", 0x7370, ports, desktop);
    QVERIFY(!shown);
    QCOMPARE(desktop.boxes.size(), std::size_t{1});
    QCOMPARE(desktop.boxes[0].text, std::string("Open COM9 Fail"));
    QCOMPARE(desktop.boxes[0].caption, std::string("VEQ COMPort Mapping Utility for Windows95/98/Me"));
    QCOMPARE(desktop.boxes[0].flags, platform::kMbIconError);

    TfrmDownload window(nullptr, "COM9", 0x7370, ports, desktop, kQuick);
    QCOMPARE(window.ReadyToShow(), 0);
    QVERIFY(!window.isEnabled());
  }
};

QTEST_MAIN(DownloadWindowTest)
#include "download_window_test.moc"
