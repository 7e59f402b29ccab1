// The window layer on Qt 6 Widgets: a widget per control at the rectangle of the layout
// pass, a top-level widget per window, the window thread's loop and a worker's
// synchronous call through a queued call to the window thread.
#pragma once

#include <QObject>
#include <memory>

#include "ui/backend.h"

namespace ui {

class QtBackend : public Backend {
 public:
  // Needs the QApplication. Gives the windows their look: the "Windows" style and the
  // window font, with the faces the layouts name where the system has them. Becomes
  // the current backend; the calling thread is the window thread.
  QtBackend();
  ~QtBackend() override;

  std::unique_ptr<WindowPeer> CreateWindowPeer(Window& window, Window* owner) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control, ControlPeer* parent, WindowPeer& window) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  void CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) override;
  void RunOnWindowThread(const std::function<void()>& call) override;
  void ProcessEvents(int waitMs) override;
  void Run() override;
  void Quit() override;

 private:
  // Lives on the window thread: workers' calls are queued to it.
  QObject windowThread_;
  bool quit_ = false;
};

}  // namespace ui
