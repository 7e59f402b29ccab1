// The test window offscreen, driven by its buttons over a simulated loopback port.
#include <QDir>
#include <QElapsedTimer>
#include <QStyleFactory>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/window_style.h"
#include "porttest/port_test_window.h"
#include "store/port_mapper_window.h"
#include "support/pty_pair.h"
#include "support/scripted_desktop.h"
#include "support/simulated_serial_port.h"
#include "support/temp_dir.h"

namespace {

constexpr int kWaitMs = 20000;

struct Bench {
  testsupport::SimulatedSerialPorts ports{"COM5"};
  testsupport::ScriptedDesktop desktop;
};

// Ends the test program when its scope has not been left in time, so that a hang fails
// the run instead of blocking it.
class Watchdog {
 public:
  Watchdog(int ms, const char* what)
      : thread_([this, ms, what] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return left_; })) {
            std::fprintf(stderr, "hung: %s\n", what);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      left_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool left_ = false;
  std::thread thread_;
};

QStringList MemoLines(TfrmPortTest& w) { return w.memoPTPrompt->toPlainText().split('\n'); }

bool Buttons(TfrmPortTest& w, bool start, bool stop, bool close) {
  return w.pbtnPTStart->isEnabled() == start && w.pbtnPTStop->isEnabled() == stop &&
         w.pbtnPTClose->isEnabled() == close;
}

}  // namespace

class PortTestWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStyleFactory::create("Windows"));
    QApplication::setFont(WindowFont());
  }

  void aCompleteRunThroughEveryState() {
    Bench bench;
    TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
    QCOMPARE(w.ReadyToShow(), 1);
    w.show();
    QCOMPARE(w.windowTitle(), QString("COM5 Port Test"));
    QCOMPARE(w.size(), QSize(592, 388));
    QVERIFY(MemoLines(w).first().startsWith("Please make sure that the type of serial port is RS-232"));
    QVERIFY(Buttons(w, true, false, true));
    QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);
    QCOMPARE(w.TestState.load(), std::uint32_t(ptsStartRequested));
    QVERIFY(Buttons(w, false, false, true));
    QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsRunning, kWaitMs);
    QVERIFY(Buttons(w, false, true, false));
    QTest::mouseClick(w.pbtnPTStop, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsStopped, kWaitMs);
    QVERIFY(Buttons(w, true, false, true));
    const int linesWhenStopped = MemoLines(w).size();
    QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);  // goes on, memo kept
    QVERIFY(Buttons(w, false, true, false));
    QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsFinished, kWaitMs);
    QVERIFY(Buttons(w, true, false, true));
    const QStringList lines = MemoLines(w);
    QCOMPARE(lines.count("COM5 Start testing"), 1);
    QVERIFY(lines.size() > linesWhenStopped);
    QCOMPARE(lines.first(), QString("COM5 Start testing"));
    QCOMPARE(lines.last(), QString("COM5 finsih test"));
    QCOMPARE(lines.filter(QRegularExpression("^TEST Baud Rate:.* OK$")).size(), 720);
    // The resumed run went on where it stopped: no setting twice, none left out.
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
    const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
    QDir().mkpath(dir);
    QVERIFY(w.grab().save(dir + "/port-test-window.png"));

    // Start after the finish: a new run from the first setting, memo cleared.
    QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(MemoLines(w).size() >= 3, kWaitMs);
    QCOMPARE(MemoLines(w)[0], QString("COM5 Start testing"));
    QTRY_VERIFY_WITH_TIMEOUT(MemoLines(w).size() >= 3, kWaitMs);
    QCOMPARE(MemoLines(w)[2], QString("TEST Baud Rate:     50 Parity:None  Data:5 Stop:1   OK"));
    QTest::mouseClick(w.pbtnPTStop, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsStopped || w.TestState == ptsFinished, kWaitMs);
    QTest::mouseClick(w.pbtnPTClose, Qt::LeftButton);
  }

  void stopAsTheRunFinishesLeavesItFinished() {
    Bench bench;
    TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
    w.ReadyToShow();
    QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsFinished, kWaitMs);
    w.pbtnPTStopClick();  // pressed just too late
    QCOMPARE(w.TestState.load(), std::uint32_t(ptsFinished));
  }

  void aPortOpenElsewhereIsNeverShown() {
    Bench bench;
    std::uint32_t error = 0;
    const auto elsewhere = bench.ports.Open("\\\\.\\COM5", &error);
    TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
    QCOMPARE(w.ReadyToShow(), 0);
    QVERIFY(!w.isEnabled());
    QCOMPARE(bench.desktop.boxes.size(), size_t(1));
    QCOMPARE(bench.desktop.boxes[0].text, std::string("Open COM5 Fail"));
    QCOMPARE(bench.desktop.boxes[0].caption, std::string(kMainWindowCaption));
    QCOMPARE(bench.desktop.boxes[0].flags, 0x10u);
    QVERIFY(!w.pbtnPTStart->isEnabled());
  }

  void aPortThatCannotBeConfiguredRunsNoTest() {
    Bench bench;
    bench.ports.Fail(testsupport::SerialCall::kGetCommTimeouts, 1);
    TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
    QCOMPARE(w.ReadyToShow(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.ThreadDone.load(), 1, kWaitMs);
    const QStringList lines = MemoLines(w);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[1], QString("WIN32API GetCommTimeouts Fail[1]"));
    QCOMPARE(lines[2], QString("Init the Configuration of Port Fail"));
    QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);
    QVERIFY(w.memoPTPrompt->toPlainText().isEmpty());
    QVERIFY(Buttons(w, false, false, true));
    QTest::qWait(50);
    QVERIFY(w.memoPTPrompt->toPlainText().isEmpty());
    Watchdog watchdog(5000, "Close after a failed set-up");
    w.pbtnPTCloseClick();
  }

  void closeEndsTheWorkerPromptlyInEveryQuietState() {
    for (std::uint32_t state : {ptsIdle, ptsStopped, ptsFinished}) {
      Bench bench;
      // To be stopped, the run waits at its first setting until Stop is clicked: on a busy
      // machine it could otherwise finish before the test sees it running.
      std::atomic<bool> stopClicked{state != ptsStopped};
      bench.ports.Refuse([&stopClicked](const platform::Dcb&) {
        while (!stopClicked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
      });
      auto w = std::make_unique<TfrmPortTest>(nullptr, "COM5", bench.ports, bench.desktop, 1);
      struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }
      } release{stopClicked};
      w->ReadyToShow();
      if (state != ptsIdle) {
        QTest::mouseClick(w->pbtnPTStart, Qt::LeftButton);
        if (state == ptsStopped) {
          QTRY_VERIFY_WITH_TIMEOUT(w->TestState == ptsRunning, kWaitMs);
          QTest::mouseClick(w->pbtnPTStop, Qt::LeftButton);
          stopClicked = true;
        }
        QTRY_VERIFY_WITH_TIMEOUT(w->TestState == state, kWaitMs);
      }
      QElapsedTimer timer;
      timer.start();
      {
        Watchdog watchdog(10000, "Close in a quiet state");
        QTest::mouseClick(w->pbtnPTClose, Qt::LeftButton);
        w.reset();
      }
      // A pause is cut short by Close: shorter than the 500 ms pause of the finished state.
      QVERIFY2(timer.elapsed() < 300, "the worker kept the window waiting");
    }
  }

  void startThenCloseAtOnceNeverHangs() {
    for (int i = 0; i < 120; ++i) {
      Bench bench;
      auto w = std::make_unique<TfrmPortTest>(nullptr, "COM5", bench.ports, bench.desktop, 1);
      w->ReadyToShow();
      QTest::mouseClick(w->pbtnPTStart, Qt::LeftButton);
      // Mostly the worker's first look at the state already finds Start and it heads for
      // its "Start testing" line; now and then it gets a moment more, with or without this
      // thread answering.
      if (i % 3 == 1) QTest::qWait(1);
      if (i % 3 == 2) std::this_thread::sleep_for(std::chrono::milliseconds(i % 7));
      Watchdog watchdog(10000, "Close right after Start");
      w->pbtnPTCloseClick();
      w.reset();
    }
  }

  // A real tty: a pty whose far end echoes every byte back.
  void aPtyPassesEverySettingItTakes() {
    testsupport::TempDir dir;
    testsupport::PtyPair pty;
    pty.LinkAs(dir.path(), "COM9");
    qputenv("VEQ_COM_DIR", QByteArray::fromStdString(dir.path()));
    std::atomic<bool> stop{false};
    std::thread echo([&] {
      while (!stop) {
        const std::string got = pty.Read(64, 20);
        if (!got.empty()) pty.Write(got);
      }
    });
    auto serial = platform::CreateSystemSerialPorts();
    testsupport::ScriptedDesktop desktop;
    {
      TfrmPortTest w(nullptr, "COM9", *serial, desktop, 2000);
      QCOMPARE(w.ReadyToShow(), 1);
      QTest::mouseClick(w.pbtnPTStart, Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(w.TestState == ptsFinished, 120000);
      const QStringList lines = MemoLines(w);
      const int passed = lines.filter(QRegularExpression("^TEST Baud Rate:.* OK$")).size();
      const int refused = lines.filter(QRegularExpression("^SET  Baud Rate:")).size();
      QCOMPARE(lines.filter(QRegularExpression("^TEST Baud Rate:.*FAIL$")).size(), 0);
      QCOMPARE(passed + refused, 720);
      QVERIFY(passed > 0);
      qInfo("pty: %d settings taken and passed, %d refused; modem lines: %s", passed, refused,
            qPrintable(lines.filter("Signal").join(" | ") + " " + lines.filter("WIN32API").join(" | ")));
      w.pbtnPTCloseClick();
    }
    stop = true;
    echo.join();
    qunsetenv("VEQ_COM_DIR");
  }
};

QTEST_MAIN(PortTestWindowTest)
#include "port_test_window_test.moc"
