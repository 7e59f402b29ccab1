// The Win32 toolkit for tests: the same windows on real controls, with what the headless
// toolkit offers a test (a script per modal window, the windows shown modally, the ones
// that had to be closed), and a look at the screen: after every act of ui::user the
// native controls are read back and compared with what the neutral ones hold.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/modal_script.h"
#include "ui/win32/win32_backend.h"
#include "ui/window.h"

namespace ui {

class Win32TestBackend : public Win32Backend, public ModalScripts {
 public:
  Win32TestBackend() = default;

  // Reads back every native control of window (shown, enabled, text, items, selection,
  // check, read-only, password character, position, place, font) and notes each
  // difference from the neutral control.
  void CheckScreen(const Window& window);
  // The differences found so far, one line each; a test expects none.
  const std::vector<std::string>& ScreenFaults() const { return screenFaults_; }
  // Writes the window as the screen shows it, frame included, to a .bmp file.
  bool SaveScreenshot(const Window& window, const std::string& path);

  // The system's wait for input as Windows 95, 98 and Me answer it: a wake mask with a
  // flag they lack is refused (ERROR_INVALID_PARAMETER); with refuseEvery, every wait is.
  void WaitAsWindows9x(bool refuseEvery);
  // The processor time the calling thread has used, in milliseconds; -1 where the system
  // keeps none (Windows 9x itself).
  static long long ThreadProcessorMs();

  // Before the window is made: a running timer ticks only when Tick delivers its tick, so
  // that a test steps a window's timer itself instead of racing the real clock.
  void HoldTimers() { holdTimers_ = true; }
  // Posts one WM_TIMER of a held timer, as the system would, and returns once the loop
  // has dispatched it; a timer that is not running ignores it.
  void Tick(Timer& timer);
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;

  void ModalLoop(Window& window, const bool& ended) override;
  // A test runs no main loop for the quit message to end: it goes at once, as Run takes it
  // when its loop ends, so that it closes no message box shown after it.
  void Quit() override;

 private:
  class HeldTimer;
  std::vector<HeldTimer*> heldTimers_;
  bool holdTimers_ = false;
  std::vector<std::string> screenFaults_;
};

}  // namespace ui
