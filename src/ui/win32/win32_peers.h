// The native peers of the Win32 toolkit, shared by the backend and its test flavour.
// Every control's window keeps its peer in a window property, a top-level window its
// window peer, so a container finds the peer of the child that notifies it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ui/controls.h"
#include "ui/win32/win32_backend.h"
#include "ui/window.h"

namespace ui {

class Win32Timer;

struct Win32Backend::Native {
  explicit Native(Win32Backend& backend);
  ~Native();
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  // The font of a control, made once per face, height and weight.
  HFONT Font(const FontSpec& description, const FontSpec& windowFont);
  // What every loop does with a message before it is dispatched: the F1 accelerator of
  // the message's window, and Enter on a focused push button. True when it was used.
  bool PreTranslate(MSG& msg);
  // What every loop does with a message it got.
  void Deliver(MSG& msg);
  // Delivers what is queued, and what other threads send; true when there was anything.
  bool Dispatch();

  Win32Backend& backend;
  HINSTANCE instance;
  DWORD windowThread;
  // The hidden window that runs the workers' calls and gets the timers' ticks.
  HWND callWindow = nullptr;
  // Above 0 while the backend itself changes a control: the notifications this causes
  // are not the user's.
  int quiet = 0;
  std::map<UINT_PTR, Win32Timer*> timers;
  UINT_PTR nextTimer = 1;
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  // Holds the file-copy clip.
  HMODULE shell32 = nullptr;
  // The wait for input between rounds of events: the system's, or a test's stand-in for
  // a system that refuses it.
  DWORD(WINAPI* waitForInput)(DWORD, const HANDLE*, BOOL, DWORD, DWORD) = MsgWaitForMultipleObjects;
};

// The classes of a window and of a panel, and the properties that hold their peers.
extern const char kWindowClass[];
extern const char kPanelClass[];
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Holds the quiet flag for a scope.
class Quietly {
 public:
  explicit Quietly(Win32Backend::Native& native) : native_(native) { ++native_.quiet; }
  ~Quietly() { --native_.quiet; }
  Quietly(const Quietly&) = delete;
  Quietly& operator=(const Quietly&) = delete;

 private:
  Win32Backend::Native& native_;
};

class Win32Window : public WindowPeer {
 public:
  Win32Window(Win32Backend::Native& native, Window& window, Window* owner);
  ~Win32Window() override;
  void SetCaption(const std::string& caption) override;
  void SetEnabled(bool enabled) override;
  void Place() override;
  void Show() override;
  void Hide() override;
  void RunModal() override;
  void EndModal() override;
  void Repaint() override;
  // The styles the dialog manager walks by: a group and a tab stop per container's
  // controls, in the order they were made, and the default button's frame.
  void SetDialogKeys(const std::vector<Control*>& tabOrder, Control* defaultButton) override;

  void SetMenu(const std::vector<MenuItem*>& items);
  HWND Handle() const { return hwnd_; }
  Window& Neutral() const { return window_; }
  HACCEL Accelerators() const { return accelerators_; }
  // The command a menu item sends, 0 for none of this window's.
  UINT CommandOf(const MenuItem& item) const;
  LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  // Gives the focus back to the control the window had it on; false when there is none.
  bool RestoreFocus();
  // Grows or shrinks the frame until the client area is the window's size: a menu bar
  // that wraps takes more than AdjustWindowRectEx counts.
  void FitClientArea();

  Win32Backend::Native& native_;
  Window& window_;
  Window* const owner_;
  HWND hwnd_ = nullptr;
  HACCEL accelerators_ = nullptr;
  std::vector<MenuItem*> menu_;
  bool ended_ = false;
};

class Win32Control : public ControlPeer {
 public:
  Win32Control(Win32Backend::Native& native, Control& control, HWND parent, const FontSpec& windowFont);
  ~Win32Control() override;
  void SetBounds(const Rect& bounds) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetFocus() override;
  void SetText(const std::string& text) override;
  void SetItems(const std::vector<std::string>& items) override;
  void SetItemIndex(int index) override;
  void SetChecked(bool checked) override;
  void SetReadOnly(bool readOnly) override;
  void AppendText(const std::string& added, const std::string& whole) override;
  void SetProgress(int minimum, int maximum, int position) override;
  void SetActive(bool active) override;
  void TreeInserted(TreeItem& item) override;
  void TreeRemoving(TreeItem& item) override;
  void TreeReordered() override;
  void TreeTextChanged(TreeItem& item) override;
  void TreeExpanded(TreeItem& item, bool expanded) override;
  void TreeSelected(TreeItem* item) override;

  HWND Handle() const { return hwnd_; }
  // Where typed keys go: an editable combo box's edit, else the control itself.
  HWND KeyTarget() const { return edit_ != nullptr ? edit_ : hwnd_; }
  Control& Neutral() const { return control_; }
  // Whether the file-copy clip could be opened.
  bool HasClip() const { return hasClip_; }

  // What the control tells its container.
  void Command(WORD code);
  void Notify(const NMHDR& header);
  // The brush for the control's background, or null for the system's.
  HBRUSH Colour(HDC dc, UINT msg);
  // The control's own messages, ahead of its class: focus and typed keys.
  LRESULT Subclassed(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // A panel's bevels and caption.
  void Paint();

 private:
  void Subclass(HWND hwnd);
  void Unsubclass(HWND hwnd);
  void TextChanged();
  void FitToText();
  void ShowBitmap();
  void SortLevel(HTREEITEM parent, const std::vector<std::unique_ptr<TreeItem>>& order);

  Win32Backend::Native& native_;
  Control& control_;
  HWND hwnd_ = nullptr;
  HWND edit_ = nullptr;
  WNDPROC original_ = nullptr;
  WNDPROC editOriginal_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  bool hasClip_ = false;
};

class Win32Timer : public TimerPeer {
 public:
  Win32Timer(Win32Backend::Native& native, Timer& timer);
  ~Win32Timer() override;
  void SetRunning(bool running, int intervalMs) override;
  void Tick() { timer_.Tick(); }
  // The id its WM_TIMER carries.
  UINT_PTR Id() const { return id_; }

 private:
  Win32Backend::Native& native_;
  Timer& timer_;
  const UINT_PTR id_;
};

// The peer of a control's window, or null; null removes it.
Win32Control* ControlOf(HWND hwnd);
void SetControlOf(HWND hwnd, Win32Control* peer);
// The peer of the top-level window that holds hwnd, or null.
Win32Window* WindowOf(HWND hwnd);
// A control's font: its own face, height and weight where it names them, else its window's.
FontSpec ResolvedFont(const FontSpec& description, const FontSpec& windowFont);
// A window's text, as GetWindowTextA gives it.
std::string TextOf(HWND hwnd);
// A combo box's item as its list shows it.
std::string ComboItem(HWND box, int index);
// A tree item's text and state as the tree shows them, and the record it holds.
struct ShownTreeItem {
  std::string text;
  UINT state = 0;
  TreeItem* record = nullptr;
};
ShownTreeItem ShownItem(HWND tree, HTREEITEM item);
// What a container (a window, panel or group box) gets from its children, handed to
// their peers; true when it was theirs.
bool FromChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace ui
