// The Win32 toolkit: every window and control is a native window made with the ANSI
// calls that Windows 95, 98 and Me have, with the common controls of Internet Explorer
// 4. A worker's synchronous call is a message sent to a hidden window of the window
// thread, so a window that waits for its worker keeps serving it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/backend.h"

namespace ui {

class Win32Backend : public Backend {
 public:
  // Registers the window classes, readies the common controls and becomes the current
  // backend; the calling thread is the window thread.
  Win32Backend();
  ~Win32Backend() override;

  std::unique_ptr<WindowPeer> CreateWindowPeer(Window& window, Window* owner) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control, ControlPeer* parent, WindowPeer& window) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  void CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) override;
  void RunOnWindowThread(const std::function<void()>& call) override;
  void ProcessEvents(int waitMs) override;
  void Run() override;
  void Quit() override;

  // Whether Quit was called; a Run after it returns at once.
  bool QuitRequested() const { return quit_; }
  bool OnWindowThread() const;

  // What the peers share: the classes, the fonts, the quiet flag. Defined with the peers.
  struct Native;
  Native& Shared() const { return *native_; }

  // The modal loop of a window shown modally, until ended is set; the owner is already
  // disabled and the window shown.
  virtual void ModalLoop(Window& window, const bool& ended);

 private:
  std::unique_ptr<Native> native_;
  bool quit_ = false;
};

}  // namespace ui
