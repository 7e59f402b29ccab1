// The network firmware window offscreen: the file check with its messages and labels,
// and a whole update against the device simulator on 127.0.0.1.
#include <QDir>
#include <QStyleFactory>
#include <QtTest>
#include <fstream>

#include "devsim/device_simulator.h"
#include "firmware/download_window_v2.h"
#include "platform/address.h"
#include "platform/window_style.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::uint8_t> Bytes(std::size_t size, int seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * seed + 3);
  return bytes;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
  QDir().mkpath(dir);
  QVERIFY(widget->grab().save(dir + "/" + name));
}

struct Bench {
  Bench() : network(platform::CreateSystemNetwork()) {}
  std::unique_ptr<TfrmDownloadV2> Window(std::uint32_t model = 0x7316, NetworkTimings timings = {}) {
    return std::make_unique<TfrmDownloadV2>(nullptr, platform::InetAddr("127.0.0.1"), "COM7", model, *network,
                                            desktop, timings);
  }
  // A file at a path of exactly length characters.
  std::string FileOfLength(std::size_t length, const std::vector<std::uint8_t>& bytes) {
    std::string path = dir.path() + "/";
    path += std::string(length - path.size() - 4, 'f') + ".exf";
    Write(path, bytes);
    return path;
  }
  testsupport::TempDir dir;
  std::unique_ptr<platform::Network> network;
  testsupport::ScriptedDesktop desktop;
};

const std::vector<std::uint8_t> kImage1 = Bytes(3000, 5), kImage2 = Bytes(4096, 7);

}  // namespace

class DownloadWindowV2Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStyleFactory::create("Windows"));
    QApplication::setFont(WindowFont());
  }

  void openChecksTheFileAndShowsItsName() {
    Bench bench;
    auto w = bench.Window();
    QCOMPARE(w->ReadyToShow(), 1);
    QVERIFY(w->isEnabled());
    QCOMPARE(w->windowTitle(), QString("COM7 Download Firmware"));
    QCOMPARE(w->size(), QSize(463, 195));
    QVERIFY(w->pbtnDLOpen->isEnabled() && !w->pbtnDLStart->isEnabled() && w->pbtnDLClose->isEnabled());
    QVERIFY(!w->anmtDownloadFile->isVisible());
    QCOMPARE(w->stxtDwonloadFileName->text(), QString());

    const auto good = BuildExfBytes(0x7316, kImage1, 1, 0, kImage2, 1, 0);
    const std::string shortPath = bench.FileOfLength(47, good), longPath = bench.FileOfLength(48, good);
    bench.desktop.dialogPaths = {shortPath};
    w->pbtnDLOpenClick();
    QCOMPARE(bench.desktop.dialogs.at(0).filter, std::string("VEQ binary file (*.exf)|*.EXF"));
    QCOMPARE(bench.desktop.dialogs.at(0).defaultExt, std::string("exg"));
    QCOMPARE(w->stxtDownloadFileName->text(), QString::fromStdString(shortPath));
    QVERIFY(w->pbtnDLStart->isEnabled());
    bench.desktop.dialogPaths = {longPath};
    w->pbtnDLOpenClick();
    QCOMPARE(w->stxtDownloadFileName->text(), QString::fromStdString("..." + longPath));
    w->show();
    SaveScreenshot(w.get(), "network-firmware-window-checked.png");

    // Cancel changes nothing; refused files keep the file accepted before.
    bench.desktop.dialogPaths = {""};
    w->pbtnDLOpenClick();
    QCOMPARE(w->stxtDownloadFileName->text(), QString::fromStdString("..." + longPath));
    auto broken = good;
    broken.back() ^= 1;  // one byte of image 2
    const std::string brokenPath = bench.dir.File("broken.exf");
    Write(brokenPath, broken);
    const std::string otherPath = bench.dir.File("other.exf");
    Write(otherPath, BuildExfBytes(0x7308, kImage1, 1, 0, kImage2, 1, 0));
    bench.desktop.dialogPaths = {brokenPath, otherPath, bench.dir.File("missing.exf")};
    w->pbtnDLOpenClick();
    w->pbtnDLOpenClick();
    w->pbtnDLOpenClick();
    std::vector<std::string> texts;
    for (const auto& box : bench.desktop.boxes) texts.push_back(box.text);
    QCOMPARE(texts, (std::vector<std::string>{"The VEQ Binary file is corrupted", "The Binary File is not for VEQ 7316+",
                                              "Cannot find the VEQ Binary file"}));
    QCOMPARE(bench.desktop.boxes[0].flags, 0x10u);
    QVERIFY(w->pbtnDLStart->isEnabled());
    QCOMPARE(w->File.image2, kImage2);
  }

  void aWholeUpdateAgainstTheSimulatedDevice() {
    devsim::DeviceSimulator device(devsim::DeviceSettings{});
    QVERIFY(device.ok());
    Bench bench;
    NetworkTimings timings;
    timings.commandPort = device.commandPort();
    timings.monitorPort = device.monitorPort();
    timings.resetPauseMs = 300;
    auto w = bench.Window(0x7316, timings);
    w->ReadyToShow();
    w->show();
    const std::string path = bench.dir.File("fw.exf");
    Write(path, BuildExfBytes(0x7316, Bytes(200000, 3), 1, 0, Bytes(200704, 9), 1, 0));
    bench.desktop.dialogPaths = {path};
    w->pbtnDLOpenClick();
    bool shot = false;
    QTest::mouseClick(w->pbtnDLStart, Qt::LeftButton);
    QVERIFY(!w->pbtnDLOpen->isEnabled() && !w->pbtnDLStart->isEnabled() && !w->pbtnDLClose->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT((shot = shot || (w->anmtDownloadFile->isVisible() &&
                                              w->pbrDownloadStatus->value() > 0 &&
                                              w->grab().save(qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots") +
                                                             "/network-firmware-window-downloading.png"))),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(w->pbtnDLClose->isEnabled(), 30000);
    QCOMPARE(w->pbrDownloadStatus->value(), 100);
    QVERIFY(!w->anmtDownloadFile->isVisible());
    QVERIFY(bench.desktop.boxes.empty());  // success shows no box
    QCOMPARE(device.Image1(), w->File.image1);
    QCOMPARE(device.Image2(), w->File.image2);
  }

  void closingDuringADownloadNeverHangs() {
    devsim::DeviceSettings settings;
    settings.fault = devsim::Fault::kFallSilent;
    devsim::DeviceSimulator device(settings);
    Bench bench;
    NetworkTimings timings;
    timings.commandPort = device.commandPort();
    timings.monitorPort = device.monitorPort();
    timings.resetPauseMs = 0;
    auto w = bench.Window(0x7316, timings);
    w->ReadyToShow();
    const std::string path = bench.dir.File("fw.exf");
    Write(path, BuildExfBytes(0x7316, kImage1, 1, 0, kImage2, 1, 0));
    bench.desktop.dialogPaths = {path};
    w->pbtnDLOpenClick();
    w->pbtnDLStartClick();
    QTRY_VERIFY_WITH_TIMEOUT(!device.ImageBlockLengths().empty(), 10000);
    QElapsedTimer timer;
    timer.start();
    w->close();
    w.reset();
    QVERIFY2(timer.elapsed() < 5000, "closing waited for the silent device");
    QVERIFY(bench.desktop.boxes.empty());
  }
};

QTEST_MAIN(DownloadWindowV2Test)
#include "download_window_v2_test.moc"
