// The detection window as its user sees it: its layout, the bar and the dots during the
// sweep, and that it closes by itself right after the sweep.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "detect/detect_port_window.h"
#include "firmware/window_wait.h"
#include "platform/thread.h"
#include "store/port_manager.h"
#include "support/fake_platform.h"
#include "support/ui_test_backend.h"
#include "ui/headless/user.h"

namespace {

using testsupport::WaitFor;

// A machine without COM ports whose sweep stops at COM101 until it is let go.
class HeldPorts : public platform::SerialPorts {
 public:
  std::unique_ptr<platform::SerialPort> Open(const std::string& path, std::uint32_t* lastError) override {
    if (path == "\\\\.\\COM101") {
      holding = true;
      while (!released) platform::SleepMs(1);
    }
    *lastError = platform::kSerialErrorFileNotFound;
    return nullptr;
  }
  std::atomic<bool> holding{false};
  std::atomic<bool> released{false};
};

// A store of its own for the window, with nothing loaded.
struct PortMapperStub {
  testsupport::EmptyRegistry registry;
  TTorl7370PortManager store{nullptr, registry};
};

}  // namespace

TEST(DetectPortWindow, LayoutAsDrawnWithoutACloseBox) {
  testsupport::UiBackend backend;
  testsupport::FakeSerialPorts serial;
  PortMapperStub stub;
  TfrmDetectPort w(stub.store, serial, std::chrono::milliseconds(0));
  EXPECT_EQ(w.Caption(), "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(w.Description().clientWidth, 461);
  EXPECT_EQ(w.Description().clientHeight, 58);
  EXPECT_EQ(w.stxtDetectingPort->Text(), "               Detecting Port  ");
  EXPECT_TRUE(w.stxtDetectingPort->Description().font.bold);
  EXPECT_EQ(w.stxtDetectingPort->Description().font.pixelHeight, 20);
  EXPECT_TRUE(w.stxtDetectPortDot->Description().font.bold);
  EXPECT_EQ(w.stxtDetectPortDot->Description().font.pixelHeight, 30);
  EXPECT_EQ(w.stxtDetectPortDot->Text(), "");
  EXPECT_EQ(w.pbrDetectingPort->Max(), 256);
  EXPECT_EQ(w.tmDetectPort.Interval(), 200);
  EXPECT_EQ(w.stxtDetectingPort->Bounds(), (ui::Rect{0, 0, 238, 33}));
  EXPECT_EQ(w.stxtDetectPortDot->Bounds(), (ui::Rect{238, 0, 223, 33}));
  EXPECT_EQ(w.pbrDetectingPort->Bounds(), (ui::Rect{0, 33, 461, 25}));
  // The sweep cannot be cancelled: no close box, and the window closes by itself.
  backend.WhenModal("frmDetectPort", [](ui::Window& window) { EXPECT_FALSE(ui::user::CloseBox(window)); });
  w.ShowModal();
  EXPECT_EQ(w.DetectFinished, 1);
  EXPECT_TRUE(backend.StuckWindows().empty());
}

TEST(DetectPortWindow, EveryTickRunsTheDotsAndTheFirstTickAfterTheSweepClosesTheWindow) {
  testsupport::UiBackend backend;
  // The ticks are the test's: the window closes only if the last one closes it.
  backend.HoldTimers();
  backend.SetModalTimeLimit(std::chrono::seconds(5));
  HeldPorts serial;
  PortMapperStub stub;
  TfrmDetectPort w(stub.store, serial, std::chrono::milliseconds(0));
  // Lets the sweep go on when the test leaves, however it leaves.
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag = true; }
  } release{serial.released};
  backend.WhenModal("frmDetectPort", [&](ui::Window&) {
    ASSERT_TRUE(WaitFor(w, [&] { return serial.holding.load(); }));
    // Every number up to the one being opened has stepped the bar.
    EXPECT_EQ(w.pbrDetectingPort->Position(), 101);
    EXPECT_EQ(w.stxtDetectPortDot->Text(), "");
    // One dot more on every tick up to fifteen, then none, then one again; a tick while
    // the sweep runs closes nothing.
    for (std::size_t tick = 1; tick <= 17; ++tick) {
      backend.Tick(w.tmDetectPort);
      ASSERT_EQ(w.stxtDetectPortDot->Text(), std::string(tick % 16, '.')) << "tick " << tick;
      if (tick == 7) testsupport::Photograph(w, "detect-window");
    }
    EXPECT_EQ(w.DetectFinished, 0);
    EXPECT_TRUE(w.tmDetectPort.Enabled());
    serial.released = true;
    ASSERT_TRUE(WaitFor(w, [&] { return w.DetectFinished == 1; }));
    backend.Tick(w.tmDetectPort);
  });
  w.ShowModal();
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_EQ(w.DetectFinished, 1);
  EXPECT_EQ(w.pbrDetectingPort->Position(), 255);
  // The closing tick still ran the dots, and stopped the timer.
  EXPECT_EQ(w.stxtDetectPortDot->Text(), "..");
  EXPECT_FALSE(w.tmDetectPort.Enabled());
  for (int i = 0; i < 256; ++i) EXPECT_EQ(stub.store.ports[i], nullptr);
}

// A window that goes before it was ever shown neither hangs nor leaves the sweep behind.
TEST(DetectPortWindow, DestroyedBeforeShownWaitsForTheSweep) {
  testsupport::UiBackend backend;
  testsupport::FakeSerialPorts serial({5});
  PortMapperStub stub;
  { TfrmDetectPort window(stub.store, serial, std::chrono::milliseconds(1)); }
  EXPECT_EQ(stub.store.ports[5], PORT_PRESENT);
  EXPECT_EQ(serial.Opened().size(), 255u);
}
