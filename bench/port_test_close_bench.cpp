// Times Close on the port test window in its two quiet states, from the click to the
// window gone with its worker, on the headless toolkit: idle, where the worker looks at
// the state every 200 ms, and finished, where it pauses 500 ms. Close tells the worker
// to terminate, which ends a pause at once, so both should be far under the pause.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "firmware/window_wait.h"
#include "porttest/port_test_window.h"
#include "support/simulated_serial_port.h"
#include "support/ui_test_desktop.h"
#include "ui/headless/headless_backend.h"
#include "ui/headless/user.h"

namespace {

using Clock = std::chrono::steady_clock;

// One window brought to state and closed; the close in milliseconds, or -1 when the
// window never got there.
double CloseMs(std::uint32_t state) {
  ui::HeadlessBackend backend;
  testsupport::SimulatedSerialPorts ports{"COM5"};
  testsupport::UiDesktop desktop;
  auto w = std::make_unique<TfrmPortTest>(nullptr, "COM5", ports, desktop, 1);
  w->ReadyToShow();
  w->Show();
  if (state == ptsFinished) {
    if (!ui::user::Click(*w->pbtnPTStart) || !testsupport::WaitFor(*w, [&] { return w->TestState == state; }))
      return -1;
  } else {
    // Long enough for the worker to be inside its pause.
    testsupport::WaitFor(*w, [] { return false; }, 50);
  }
  const Clock::time_point start = Clock::now();
  if (!ui::user::Click(*w->pbtnPTClose)) return -1;
  w.reset();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  constexpr int kRuns = 21;
  struct Quiet {
    std::uint32_t state;
    const char* name;
    int pauseMs;
  };
  for (const Quiet& quiet : {Quiet{ptsIdle, "idle", 200}, Quiet{ptsFinished, "finished", 500}}) {
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
      const double one = CloseMs(quiet.state);
      if (one < 0) {
        std::fprintf(stderr, "the window never became %s\n", quiet.name);
        return 1;
      }
      ms.push_back(one);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("Close when %s (pause %d ms): median %.2f ms, min %.2f, max %.2f (%d runs)\n", quiet.name,
                quiet.pauseMs, ms[kRuns / 2], ms.front(), ms.back(), kRuns);
  }
  return 0;
}
