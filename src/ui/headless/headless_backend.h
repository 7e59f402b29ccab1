// A toolkit without a screen, for tests: every control's state is the neutral one, a
// modal window runs the script a test gave for it, timers tick on the real clock (or when
// the test says) and workers' synchronous calls wait for the window thread as they would
// on a screen.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/thread.h"
#include "ui/backend.h"
#include "ui/modal_script.h"

namespace ui {

class HeadlessBackend : public Backend, public ModalScripts {
 public:
  // Becomes the current backend; the calling thread is the window thread.
  HeadlessBackend();
  ~HeadlessBackend() override;

  // Whether Quit was called; a Run after it returns at once.
  bool QuitRequested() const { return quit_; }
  // Before the window is made: a running timer ticks only when Tick delivers its tick, so
  // that a test steps a window's timer itself instead of racing the real clock.
  void HoldTimers() { holdTimers_ = true; }
  // Delivers one tick of a held timer in a round of events, as the clock would; a timer
  // that is not running ignores it.
  void Tick(Timer& timer);

  std::unique_ptr<WindowPeer> CreateWindowPeer(Window& window, Window* owner) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control, ControlPeer* parent, WindowPeer& window) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  void CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) override;
  void RunOnWindowThread(const std::function<void()>& call) override;
  void ProcessEvents(int waitMs) override;
  void Run() override;
  void Quit() override;

 private:
  class HeadlessWindow;
  class HeadlessTimer;
  struct PendingCall {
    const std::function<void()>* call;
    platform::Event done;
  };
  // Fires due timers; returns when the next one is due.
  std::chrono::steady_clock::time_point FireTimers();

  const std::uintptr_t windowThread_;
  platform::Lock lock_;
  // Set when a call is queued.
  platform::Event wake_;
  std::deque<PendingCall*> calls_;
  std::vector<HeadlessTimer*> timers_;
  bool quit_ = false;
  bool holdTimers_ = false;
};

}  // namespace ui
