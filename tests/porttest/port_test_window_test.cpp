// The test window driven by its buttons, as a user does, over a simulated loopback port.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "firmware/window_wait.h"
#include "platform/thread.h"
#include "porttest/port_test_window.h"
#include "store/port_mapper_window.h"
#include "support/simulated_serial_port.h"
#include "support/stage_setting.h"
#include "support/ui_test_backend.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/user.h"

#ifndef _WIN32
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#endif

using testsupport::WaitFor;
using ui::user::Click;

namespace {

struct Bench {
  testsupport::UiBackend backend;
  testsupport::SimulatedSerialPorts ports{"COM5"};
  testsupport::UiDesktop desktop;
};

// Ends the test program when its scope has not been left in time, so that a hang fails
// the run instead of blocking it.
class Watchdog {
 public:
  Watchdog(int ms, const char* what) {
    thread_.Start([this, ms, what] {
      if (!left_.Wait(static_cast<std::uint32_t>(ms))) {
        std::fprintf(stderr, "hung: %s\n", what);
        std::abort();
      }
    });
  }
  ~Watchdog() {
    left_.Set();
    thread_.Join();
  }

 private:
  platform::Event left_;
  platform::Thread thread_;
};

// Lets a worker held in the serial layer go on when the test leaves, however it leaves.
struct Release {
  std::atomic<bool>& flag;
  ~Release() { flag = true; }
};

void Pause(ui::Window& window, int ms) {
  WaitFor(window, [] { return false; }, ms);
}

std::vector<std::string> MemoLines(const TfrmPortTest& w) {
  std::vector<std::string> lines;
  const std::string& text = w.memoPTPrompt->Text();
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) return lines;
    at = end + 2;
  }
}

// The lines that begin with head and end with tail.
std::size_t Matching(const std::vector<std::string>& lines, const std::string& head, const std::string& tail = "") {
  std::size_t n = 0;
  for (const std::string& line : lines)
    n += line.size() >= head.size() + tail.size() && line.compare(0, head.size(), head) == 0 &&
                 line.compare(line.size() - tail.size(), tail.size(), tail) == 0
             ? 1
             : 0;
  return n;
}

// What a mouse can click.
bool Buttons(const TfrmPortTest& w, bool start, bool stop, bool close) {
  return w.pbtnPTStart->Usable() == start && w.pbtnPTStop->Usable() == stop && w.pbtnPTClose->Usable() == close;
}

}  // namespace

TEST(PortTestWindow, ACompleteRunThroughEveryState) {
  Bench bench;
  bench.backend.SetModalTimeLimit(std::chrono::milliseconds(4 * testsupport::kWindowWaitMs));
  bench.backend.WhenModal("frmPortTest", [](ui::Window& window) {
    auto& w = static_cast<TfrmPortTest&>(window);
    EXPECT_EQ(w.Caption(), "COM5 Port Test");
    EXPECT_EQ(w.Description().clientWidth, 592);
    EXPECT_EQ(w.Description().clientHeight, 388);
    EXPECT_FALSE(ui::user::CloseBox(w));
    EXPECT_EQ(w.gbxPTPromptMsg->Text(), "Result Message");
    EXPECT_TRUE(w.memoPTPrompt->ReadOnly());
    EXPECT_STREQ(w.memoPTPrompt->Description().font.face, "Fixedsys");
    EXPECT_EQ(w.memoPTPrompt->Description().font.pixelHeight, 13);
    EXPECT_EQ(w.pnlPTBtnArea->Bounds(), (ui::Rect{0, 332, 592, 56}));
    EXPECT_EQ(MemoLines(w),
              (std::vector<std::string>{"Please make sure that the type of serial port is RS-232 and that the loopback "
                                        "connector has already been connected with the VEQ COMPort. Then click the "
                                        "Start button to test."}));
    EXPECT_TRUE(Buttons(w, true, false, true));
    ASSERT_TRUE(Click(*w.pbtnPTStart));
    EXPECT_EQ(w.TestState.load(), std::uint32_t(ptsStartRequested));
    EXPECT_TRUE(Buttons(w, false, false, true));
    ASSERT_TRUE(WaitFor(w, [&] { return w.TestState == ptsRunning; }));
    EXPECT_TRUE(Buttons(w, false, true, false));
    ASSERT_TRUE(Click(*w.pbtnPTStop));
    ASSERT_TRUE(WaitFor(w, [&] { return w.TestState == ptsStopped; }));
    EXPECT_TRUE(Buttons(w, true, false, true));
    const std::size_t linesWhenStopped = MemoLines(w).size();
    ASSERT_TRUE(Click(*w.pbtnPTStart));  // goes on, memo kept
    EXPECT_TRUE(Buttons(w, false, true, false));
    ASSERT_TRUE(WaitFor(w, [&] { return w.TestState == ptsFinished; }));
    EXPECT_TRUE(Buttons(w, true, false, true));
    // The finish line follows the finish: wait for it.
    ASSERT_TRUE(WaitFor(w, [&] { return MemoLines(w).back() == "COM5 finsih test"; }));
    testsupport::Photograph(w, "port-test-window");
    const std::vector<std::string> lines = MemoLines(w);
    EXPECT_EQ(Matching(lines, "COM5 Start testing", ""), 1u);
    EXPECT_GT(lines.size(), linesWhenStopped);
    EXPECT_EQ(lines.front(), "COM5 Start testing");
    EXPECT_EQ(Matching(lines, "TEST Baud Rate:", " OK"), 720u);
    // The resumed run went on where it stopped: no setting twice, none left out.
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size());

    // Start after the finish: a new run from the first setting, memo cleared.
    ASSERT_TRUE(Click(*w.pbtnPTStart));
    ASSERT_TRUE(WaitFor(w, [&] { return MemoLines(w).size() >= 3; }));
    EXPECT_EQ(MemoLines(w)[0], "COM5 Start testing");
    EXPECT_EQ(MemoLines(w)[2], "TEST Baud Rate:     50 Parity:None  Data:5 Stop:1   OK");
    ASSERT_TRUE(Click(*w.pbtnPTStop));
    ASSERT_TRUE(WaitFor(w, [&] { return w.TestState == ptsStopped || w.TestState == ptsFinished; }));
    ASSERT_TRUE(Click(*w.pbtnPTClose));
  });
  RunPortTest(nullptr, "COM5", bench.ports, bench.desktop);
  EXPECT_EQ(bench.backend.ModalWindows(), (std::vector<std::string>{"frmPortTest"}));
  EXPECT_TRUE(bench.backend.StuckWindows().empty());
  EXPECT_TRUE(bench.desktop.boxes.empty());
}

// Tab walks memo, Close, Stop, Start, passing the disabled Stop; Escape presses Close, also
// from the memo, which keeps neither key.
TEST(PortTestWindow, TheKeyboardWalksTheButtonsAndEscapeCloses) {
  Bench bench;
  bench.backend.WhenModal("frmPortTest", [](ui::Window& window) {
    auto& w = static_cast<TfrmPortTest&>(window);
    EXPECT_EQ(w.TabOrder(), (std::vector<ui::Control*>{w.memoPTPrompt, w.pbtnPTClose, w.pbtnPTStop, w.pbtnPTStart}));
    ASSERT_TRUE(Buttons(w, true, false, true));
    for (const ui::Control* next : {static_cast<ui::Control*>(w.memoPTPrompt), w.pbtnPTClose, w.pbtnPTStart,
                                    static_cast<ui::Control*>(w.memoPTPrompt)}) {
      ASSERT_TRUE(ui::user::Press(w, ui::DialogKey::kTab));
      EXPECT_TRUE(next->Focused()) << next->Name();
    }
    for (const ui::Control* previous : {w.pbtnPTStart, w.pbtnPTClose}) {
      ASSERT_TRUE(ui::user::Press(w, ui::DialogKey::kShiftTab));
      EXPECT_TRUE(previous->Focused()) << previous->Name();
    }
    ASSERT_TRUE(ui::user::Press(w, ui::DialogKey::kShiftTab));
    ASSERT_TRUE(w.memoPTPrompt->Focused());
    EXPECT_TRUE(ui::user::Press(w, ui::DialogKey::kEscape));
  });
  RunPortTest(nullptr, "COM5", bench.ports, bench.desktop);
  EXPECT_EQ(bench.backend.ModalWindows(), (std::vector<std::string>{"frmPortTest"}));
  EXPECT_TRUE(bench.backend.StuckWindows().empty());
}

TEST(PortTestWindow, StopAsTheRunFinishesLeavesItFinished) {
  Bench bench;
  // The last setting waits until Stop has been clicked.
  std::atomic<bool> atLastSetting{false};
  std::atomic<bool> stopClicked{false};
  bench.ports.Refuse([&](const platform::Dcb& dcb) {
    if (dcb.BaudRate == 230400 && dcb.ByteSize == 8 && dcb.Parity == 4 && dcb.StopBits == 2) {
      atLastSetting = true;
      while (!stopClicked) platform::SleepMs(1);
    }
    return false;
  });
  TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
  const Release release{stopClicked};
  ASSERT_EQ(w.ReadyToShow(), 1);
  w.Show();
  ASSERT_TRUE(Click(*w.pbtnPTStart));
  ASSERT_TRUE(WaitFor(w, [&] { return atLastSetting.load(); }));
  ASSERT_TRUE(Click(*w.pbtnPTStop));  // just too late to pause the run
  stopClicked = true;
  ASSERT_TRUE(WaitFor(w, [&] { return MemoLines(w).back() == "COM5 finsih test"; }));
  EXPECT_EQ(w.TestState.load(), std::uint32_t(ptsFinished));
  EXPECT_TRUE(Buttons(w, true, false, true));
  ASSERT_TRUE(Click(*w.pbtnPTClose));
}

TEST(PortTestWindow, APortOpenElsewhereIsNeverShown) {
  Bench bench;
  std::uint32_t error = 0;
  const auto elsewhere = bench.ports.Open("\\\\.\\COM5", &error);
  {
    TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
    EXPECT_EQ(w.ReadyToShow(), 0);
    EXPECT_FALSE(w.Enabled());
    EXPECT_FALSE(w.pbtnPTStart->Enabled());
  }
  ASSERT_EQ(bench.desktop.boxes.size(), 1u);
  EXPECT_EQ(bench.desktop.boxes[0].text, "Open COM5 Fail");
  EXPECT_EQ(bench.desktop.boxes[0].caption, kMainWindowCaption);
  EXPECT_EQ(bench.desktop.boxes[0].flags, 0x10u);
  RunPortTest(nullptr, "COM5", bench.ports, bench.desktop);
  EXPECT_EQ(bench.desktop.boxes.size(), 2u);
  EXPECT_TRUE(bench.backend.ModalWindows().empty());
}

TEST(PortTestWindow, APortThatCannotBeConfiguredRunsNoTest) {
  Bench bench;
  bench.ports.Fail(testsupport::SerialCall::kGetCommTimeouts, 1);
  TfrmPortTest w(nullptr, "COM5", bench.ports, bench.desktop, 1);
  ASSERT_EQ(w.ReadyToShow(), 1);
  w.Show();
  ASSERT_TRUE(WaitFor(w, [&] { return w.ThreadDone == 1; }));
  const std::vector<std::string> lines = MemoLines(w);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "WIN32API GetCommTimeouts Fail[1]");
  EXPECT_EQ(lines[2], "Init the Configuration of Port Fail");
  ASSERT_TRUE(Click(*w.pbtnPTStart));
  EXPECT_EQ(w.memoPTPrompt->Text(), "");
  EXPECT_TRUE(Buttons(w, false, false, true));
  Pause(w, 50);
  EXPECT_EQ(w.memoPTPrompt->Text(), "");
  Watchdog watchdog(5000, "Close after a failed set-up");
  ASSERT_TRUE(Click(*w.pbtnPTClose));
}

TEST(PortTestWindow, CloseEndsTheWorkerInEveryQuietState) {
  for (std::uint32_t state : {ptsIdle, ptsStopped, ptsFinished}) {
    Bench bench;
    // To be stopped, the run waits at its first setting until Stop is clicked: on a busy
    // machine it could otherwise finish before the test sees it running.
    std::atomic<bool> stopClicked{state != ptsStopped};
    bench.ports.Refuse([&stopClicked](const platform::Dcb&) {
      while (!stopClicked) platform::SleepMs(1);
      return false;
    });
    auto w = std::make_unique<TfrmPortTest>(nullptr, "COM5", bench.ports, bench.desktop, 1);
    const Release release{stopClicked};
    w->ReadyToShow();
    w->Show();
    if (state != ptsIdle) {
      ASSERT_TRUE(Click(*w->pbtnPTStart));
      if (state == ptsStopped) {
        ASSERT_TRUE(WaitFor(*w, [&] { return w->TestState == ptsRunning; }));
        ASSERT_TRUE(Click(*w->pbtnPTStop));
        stopClicked = true;
      }
      ASSERT_TRUE(WaitFor(*w, [&] { return w->TestState == state; }));
    }
    // The worker's pause ends when Close tells it to terminate (the worker's life shows
    // that); here, that Close in every quiet state ends the worker and the window.
    Watchdog watchdog(10000, "Close in a quiet state");
    ASSERT_TRUE(Click(*w->pbtnPTClose));
    w.reset();
  }
}

TEST(PortTestWindow, StartThenCloseAtOnceNeverHangs) {
  int closedAtOnce = 0;
  for (int i = 0; i < 120; ++i) {
    Bench bench;
    auto w = std::make_unique<TfrmPortTest>(nullptr, "COM5", bench.ports, bench.desktop, 1);
    w->ReadyToShow();
    w->Show();
    ASSERT_TRUE(Click(*w->pbtnPTStart));
    // Mostly the worker's first look at the state already finds Start and it heads for
    // its "Start testing" line; now and then it gets a moment more, with or without this
    // thread answering.
    if (i % 3 == 1) Pause(*w, 1);
    if (i % 3 == 2) platform::SleepMs(static_cast<std::uint32_t>(i % 7));
    Watchdog watchdog(10000, "Close right after Start");
    if (w->pbtnPTClose->Usable()) {
      ++closedAtOnce;
    } else {
      // The run got going first: the way out is Stop, then Close.
      ASSERT_TRUE(Click(*w->pbtnPTStop));
      ASSERT_TRUE(WaitFor(*w, [&] { return w->TestState == ptsStopped || w->TestState == ptsFinished; }));
    }
    ASSERT_TRUE(Click(*w->pbtnPTClose));
    w.reset();
  }
  // Without a moment for the worker, Close is always still there.
  EXPECT_GE(closedAtOnce, 40);
}

namespace {

// A real serial line whose far end echoes every byte back: a pty here; under Wine, the
// COM port the stage links to such a pty.
class EchoLine {
 public:
#ifdef _WIN32
  EchoLine() : name(StageSetting("VEQ_LOOPBACK_COM")) {}
#else
  EchoLine() : name("COM9") {
    pty_.LinkAs(dir_.path(), name);
    setenv("VEQ_COM_DIR", dir_.path().c_str(), 1);
    echo_.Start([this] {
      while (!stop_) {
        const std::string got = pty_.Read(64, 20);
        if (!got.empty()) pty_.Write(got);
      }
    });
  }
  ~EchoLine() {
    stop_ = true;
    echo_.Join();
    unsetenv("VEQ_COM_DIR");
  }
#endif
  // Empty when there is none.
  const std::string name;

#ifndef _WIN32
 private:
  testsupport::TempDir dir_;
  testsupport::PtyPair pty_;
  std::atomic<bool> stop_{false};
  platform::Thread echo_;
#endif
};

}  // namespace

TEST(PortTestWindow, ARealLinePassesEverySettingItTakes) {
  const EchoLine line;
  if (line.name.empty()) GTEST_SKIP() << "VEQ_LOOPBACK_COM names a COM port with a loopback behind it";
  testsupport::UiBackend backend;
  auto serial = platform::CreateSystemSerialPorts();
  testsupport::UiDesktop desktop;
  TfrmPortTest w(nullptr, line.name, *serial, desktop, 2000);
  ASSERT_EQ(w.ReadyToShow(), 1);
  w.Show();
  ASSERT_TRUE(Click(*w.pbtnPTStart));
  EXPECT_TRUE(WaitFor(w, [&] { return w.TestState == ptsFinished; }, 120000));
  const std::vector<std::string> lines = MemoLines(w);
  const std::size_t passed = Matching(lines, "TEST Baud Rate:", " OK");
  const std::size_t refused = Matching(lines, "SET  Baud Rate:");
  EXPECT_EQ(Matching(lines, "TEST Baud Rate:", "FAIL"), 0u);
  EXPECT_EQ(passed + refused, 720u);
  EXPECT_GT(passed, 0u);
  std::string platformLines;
  for (const std::string& shown : lines)
    if (shown.find("Signal") != std::string::npos || shown.find("WIN32API") != std::string::npos)
      platformLines += " | " + shown;
  std::printf("%s: %zu settings taken and passed, %zu refused; modem lines:%s\n", line.name.c_str(), passed, refused,
              platformLines.c_str());
  EXPECT_TRUE(Click(*w.pbtnPTClose));
}
