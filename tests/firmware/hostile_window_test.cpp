// The network firmware window offscreen against every misbehaviour of the simulated
// device and against peers that talk nonsense: each run ends with its failure box, and
// the window is left as after any failed run, ready for a second Start.
#include <QStyleFactory>
#include <QtTest>
#include <fstream>

#include "devsim/device_simulator.h"
#include "firmware/device_fault_cases.h"
#include "firmware/download_window_v2.h"
#include "firmware/monitor_link.h"
#include "platform/address.h"
#include "platform/window_style.h"
#include "support/hostile_peer.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

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
    window->show();
    std::vector<std::uint8_t> image1(3000), image2(4096);
    for (std::size_t i = 0; i < image2.size(); ++i) image2[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t i = 0; i < image1.size(); ++i) image1[i] = static_cast<std::uint8_t>(i * 5);
    const auto bytes = BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0);
    const std::string path = dir.File("fw.exf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    desktop.dialogPaths = {path};
    window->pbtnDLOpenClick();
  }

  // Clicks Start and waits for the run's end: Close enabled again.
  bool RunOnce() {
    QTest::mouseClick(window->pbtnDLStart, Qt::LeftButton);
    if (window->pbtnDLClose->isEnabled()) return false;  // a run holds every button
    return QTest::qWaitFor([&] { return window->pbtnDLClose->isEnabled(); }, 20000);
  }
  // As a failed run leaves it: every button enabled, the animation gone.
  bool LeftUsable() const {
    return window->pbtnDLOpen->isEnabled() && window->pbtnDLStart->isEnabled() && window->pbtnDLClose->isEnabled() &&
           !window->anmtDownloadFile->isVisible();
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : desktop.boxes) texts.push_back(box.text);
    return texts;
  }

  testsupport::TempDir dir;
  std::unique_ptr<platform::Network> network;
  testsupport::ScriptedDesktop desktop;
  std::unique_ptr<TfrmDownloadV2> window;
};

}  // namespace

class HostileWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStyleFactory::create("Windows"));
    QApplication::setFont(WindowFont());
  }

  void everyDeviceMisbehaviourFailsAndASecondStartSucceeds() {
    for (const DeviceFaultCase& c : kDeviceFaultCases) {
      const QByteArray label = QByteArray::number(static_cast<int>(c.fault)) + " " + QByteArray::number(c.code);
      devsim::DeviceSettings settings;
      settings.fault = c.fault;
      settings.faultCommand = c.code;
      devsim::DeviceSimulator device(settings);
      QVERIFY(device.ok());
      Bench bench(device.commandPort(), device.monitorPort());
      QVERIFY2(bench.RunOnce(), label);
      QCOMPARE(bench.Boxes(), std::vector<std::string>{c.text});
      QCOMPARE(bench.desktop.boxes.at(0).flags, 0x10u);
      QVERIFY2(bench.LeftUsable(), label);

      device.SetFault(devsim::Fault::kNone);
      QVERIFY2(bench.RunOnce(), label);
      QCOMPARE(bench.Boxes().size(), std::size_t{1});  // success shows no box
      QCOMPARE(bench.window->pbrDownloadStatus->value(), 100);
      QVERIFY2(!bench.window->pbtnDLStart->isEnabled(), label);  // as after any successful run
    }
  }

  void aRefusedCommandPortRecoversThroughTheMonitor() {
    devsim::DeviceSettings settings;
    settings.fault = devsim::Fault::kRefuseCommandPort;
    devsim::DeviceSimulator device(settings);
    Bench bench(device.commandPort(), device.monitorPort());
    QVERIFY(bench.RunOnce());
    QCOMPARE(bench.Boxes(), std::vector<std::string>{"Correct the error of last download"});
    QCOMPARE(bench.window->pbrDownloadStatus->value(), 100);
  }

  void peersTalkingNonsenseFailEveryStart() {
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
      QVERIFY(peer.ok());
      const std::uint16_t closed = testsupport::ClosedPort();
      Bench bench(c.onMonitorPort ? closed : peer.port(), c.onMonitorPort ? peer.port() : closed);
      std::vector<std::string> expected;
      for (int start = 1; start <= 2; ++start) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(bench.RunOnce());
        QVERIFY2(timer.elapsed() < 5000, "a run outlived its time-outs");
        expected.insert(expected.end(), c.boxes.begin(), c.boxes.end());
        QCOMPARE(bench.Boxes(), expected);
        QVERIFY(bench.LeftUsable());
      }
      QCOMPARE(peer.Connections(), 2);
    }
  }
};

QTEST_MAIN(HostileWindowTest)
#include "hostile_window_test.moc"
