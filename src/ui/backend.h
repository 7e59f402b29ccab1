// What a toolkit provides to the windows: a native peer for each window, control, timer
// and menu, the window thread's loop, and a synchronous call from a worker. A peer only
// shows what the neutral control holds; it tells the control what the user did through
// the control's User... operations.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/layout_table.h"

namespace ui {

class Control;
class MenuItem;
class Timer;
class TreeItem;
class Window;

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void SetBounds(const Rect& bounds) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetFocus() = 0;
  // The caption, or the text of an edit, memo, combo box or status bar.
  virtual void SetText(const std::string& text) = 0;
  // Lists.
  virtual void SetItems(const std::vector<std::string>& /*items*/) {}
  virtual void SetItemIndex(int /*index*/) {}
  // Check boxes.
  virtual void SetChecked(bool /*checked*/) {}
  // Edits and memos.
  virtual void SetReadOnly(bool /*readOnly*/) {}
  // Memos: added stands at the end of the text now whole; a native memo that can append
  // shows the new end instead of the text from its top.
  virtual void AppendText(const std::string& /*added*/, const std::string& whole) { SetText(whole); }
  // Progress bars.
  virtual void SetProgress(int /*minimum*/, int /*maximum*/, int /*position*/) {}
  // Animations.
  virtual void SetActive(bool /*active*/) {}
  // Trees: an item added (at its place among its siblings), about to be removed with its
  // children, every sibling order changed, an item's text, expansion, the selection.
  virtual void TreeInserted(TreeItem& /*item*/) {}
  virtual void TreeRemoving(TreeItem& /*item*/) {}
  virtual void TreeReordered() {}
  virtual void TreeTextChanged(TreeItem& /*item*/) {}
  virtual void TreeExpanded(TreeItem& /*item*/, bool /*expanded*/) {}
  virtual void TreeSelected(TreeItem* /*item*/) {}
};

class WindowPeer {
 public:
  virtual ~WindowPeer() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Places the window as its description says (centred on the desktop or its owner).
  virtual void Place() = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Shows the window and runs the toolkit's modal loop until EndModal has been called;
  // the window stays up. The owner is already disabled.
  virtual void RunModal() = 0;
  virtual void EndModal() = 0;
  virtual void Repaint() = 0;
  // Makes the shown window the active one, where the toolkit does not on its own when a
  // modal window it owns goes.
  virtual void Activate() {}
  // Once the controls are made: their tab order and the default button, where the
  // toolkit walks the focus or draws the default button itself.
  virtual void SetDialogKeys(const std::vector<Control*>& /*tabOrder*/, Control* /*defaultButton*/) {}
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  // Starts or stops the ticks; a running timer restarts its interval.
  virtual void SetRunning(bool running, int intervalMs) = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // Peers are made after the neutral object is complete, parents before children.
  virtual std::unique_ptr<WindowPeer> CreateWindowPeer(Window& window, Window* owner) = 0;
  // parent is null for a control placed in the window's client area.
  virtual std::unique_ptr<ControlPeer> CreateControlPeer(Control& control, ControlPeer* parent,
                                                         WindowPeer& window) = 0;
  virtual std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) = 0;
  // The window's menu bar, made once with all its items.
  virtual void CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) = 0;

  // Runs call on the window thread and returns when it has run. On the window thread it
  // runs at once.
  virtual void RunOnWindowThread(const std::function<void()>& call) = 0;
  // Handles what is pending on the window thread: events, timers, synchronous calls;
  // waits up to waitMs for something to come when nothing is.
  virtual void ProcessEvents(int waitMs) = 0;
  // The main loop, until Quit.
  virtual void Run() = 0;
  virtual void Quit() = 0;
};

// The toolkit of this process, set by the program entry or a test.
Backend& CurrentBackend();
void SetCurrentBackend(Backend* backend);

}  // namespace ui
