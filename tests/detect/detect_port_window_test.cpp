// The detection window offscreen: its layout, the dots, the progress bar, and that it
// closes by itself right after the sweep.
#include <QDateTime>
#include <QDir>
#include <QtTest>
#include <atomic>

#include "detect/detect_port_window.h"
#include "store/port_manager.h"
#include "support/fake_platform.h"

namespace {

// A serial layer that takes a while to answer, so the window can be seen mid-sweep, and
// that has no ports at all. Keeps the time of its last answer.
class SlowPorts : public platform::SerialPorts {
 public:
  std::unique_ptr<platform::SerialPort> Open(const std::string&, std::uint32_t* lastError) override {
    QThread::msleep(2);
    lastAnswer = QDateTime::currentMSecsSinceEpoch();
    *lastError = platform::kSerialErrorFileNotFound;
    return nullptr;
  }
  std::atomic<qint64> lastAnswer{0};
};

// A store of its own for the window, with nothing loaded.
struct PortMapperStub {
  testsupport::EmptyRegistry registry;
  TTorl7370PortManager store{nullptr, registry};
};

}  // namespace

class DetectWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAsDrawn() {
    testsupport::FakeSerialPorts serial;
    PortMapperStub stub;
    TfrmDetectPort window(stub.store, serial, std::chrono::milliseconds(0));
    QCOMPARE(window.windowTitle(), QString("VEQ COMPort Mapping Utility for Windows95/98/Me"));
    QCOMPARE(window.stxtDetectingPort->text(), QString("               Detecting Port  "));
    QVERIFY(window.stxtDetectingPort->font().bold());
    QCOMPARE(window.stxtDetectingPort->font().pixelSize(), 20);
    QVERIFY(window.stxtDetectPortDot->font().bold());
    QCOMPARE(window.stxtDetectPortDot->font().pixelSize(), 30);
    QCOMPARE(window.pbrDetectingPort->maximum(), 256);
    QVERIFY(!window.pbrDetectingPort->isTextVisible());
    QCOMPARE(window.tmDetectPort->interval(), 200);
    QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
    window.exec();
    QCOMPARE(window.size(), QSize(461, 58));
    QCOMPARE(window.stxtDetectingPort->geometry(), QRect(0, 0, 238, 33));
    QCOMPARE(window.stxtDetectPortDot->geometry(), QRect(238, 0, 223, 33));
    QCOMPARE(window.pbrDetectingPort->geometry(), QRect(0, 33, 461, 25));
  }

  void sweepsShowsDotsAndClosesWithinOneTick() {
    SlowPorts serial;
    PortMapperStub stub;
    TfrmDetectPort window(stub.store, serial, std::chrono::milliseconds(0));
    // Runs after the window's own handler on every tick.
    int ticksAfterFinish = 0;
    connect(window.tmDetectPort, &QTimer::timeout, [&] { ticksAfterFinish += window.DetectFinished; });
    QStringList dots;
    bool screenshot = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (!dots.contains(window.stxtDetectPortDot->text())) dots << window.stxtDetectPortDot->text();
      if (!screenshot && window.pbrDetectingPort->value() > 100) {
        const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
        QDir().mkpath(dir);
        QVERIFY(window.grab().save(dir + "/detect-window.png"));
        screenshot = true;
      }
    });
    watch.start(5);
    window.exec();
    const qint64 closedAfter = QDateTime::currentMSecsSinceEpoch() - serial.lastAnswer;
    QVERIFY(screenshot);
    QCOMPARE(window.DetectFinished, 1);
    QCOMPARE(window.pbrDetectingPort->value(), 255);
    // The first tick after the sweep closed the window: one interval, plus slack for a busy machine.
    QCOMPARE(ticksAfterFinish, 1);
    QVERIFY(!window.tmDetectPort->isActive());
    QVERIFY2(closedAfter < 200 + 100, qPrintable(QString::number(closedAfter)));
    QVERIFY(dots.contains("."));
    for (int i = 0; i < 256; ++i) QCOMPARE(stub.store.ports[i], nullptr);
  }

  // A window that goes before it was ever shown neither hangs nor leaves the sweep behind.
  void destroyedBeforeShownWaitsForTheSweep() {
    testsupport::FakeSerialPorts serial({5});
    PortMapperStub stub;
    { TfrmDetectPort window(stub.store, serial, std::chrono::milliseconds(1)); }
    QCOMPARE(stub.store.ports[5], PORT_PRESENT);
    QCOMPARE(serial.Opened().size(), size_t(255));
  }

  void dotsRunThroughFifteenLengthsThenEmpty() {
    testsupport::FakeSerialPorts serial;
    PortMapperStub stub;
    TfrmDetectPort window(stub.store, serial, std::chrono::milliseconds(0));
    window.tmDetectPort->stop();
    QStringList seen;
    for (int i = 0; i < 17; ++i) {
      window.tmDetectPortTimer();
      seen << window.stxtDetectPortDot->text();
    }
    QCOMPARE(seen[0], QString("."));
    QCOMPARE(seen[14], QString(15, '.'));
    QCOMPARE(seen[15], QString());
    QCOMPARE(seen[16], QString("."));
  }
};

QTEST_MAIN(DetectWindowTest)
#include "detect_port_window_test.moc"
