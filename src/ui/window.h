// A window: its frame, the controls of its layout table, its menu, and the services of
// the window thread that its worker uses. Each window of the program derives from it and
// binds its handlers by the table's names.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/layout_table.h"

namespace ui {

// One row of a window's table: the control and the handler of its event (a button's or
// check box's click, a list's or text's change) and of its typed keys.
template <class W>
struct ControlRow {
  ControlSpec description;
  void (W::*event)() = nullptr;
  void (W::*keyPress)(char& key) = nullptr;
};

template <class W>
struct MenuRow {
  MenuSpec description;
  void (W::*click)() = nullptr;
};

// The keys a window answers itself where the focused control does not keep them. The
// arrow keys move inside a group: the controls of one panel or group box.
enum class DialogKey { kTab, kShiftTab, kEnter, kEscape, kNextInGroup, kPreviousInGroup };

class Window {
 public:
  Window(const WindowSpec& description, std::vector<ControlSpec> table, std::vector<MenuSpec> menu, Window* owner);
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const WindowSpec& Description() const { return spec_; }
  const char* Name() const { return spec_.name; }
  Window* Owner() const { return owner_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  void Repaint();

  // Shows the window modally and returns the result Close gave. A window closed before
  // it is shown comes and goes at once.
  int ShowModal();
  bool Modal() const { return modal_; }
  void Close(int result = 0);
  // Runs whenever the window is about to appear, modally or not.
  std::function<void()> OnShow;
  // The close box, Alt+F4 or the system menu: OnCloseQuery may refuse.
  std::function<bool()> OnCloseQuery;
  void UserClose();

  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  // The control of that name, or null.
  Control* Find(const char* name) const;
  // The control of that name, of T's kind. The tables are the only source of names: a
  // name they lack, or a control of another kind, is a fault of the program, thrown as a
  // std::logic_error that names the window, the control and the kinds.
  template <class T>
  T* Get(const char* name) const {
    Control* control = Find(name);
    if (control == nullptr || !T::OfKind(control->Kind())) NoSuchControl(name, control, &T::OfKind);
    return static_cast<T*>(control);
  }
  const std::vector<std::unique_ptr<MenuItem>>& MenuItems() const { return menu_; }
  MenuItem* FindMenu(const char* name) const;
  Control* Focused() const { return focused_; }

  // The controls that take the focus from the keyboard (buttons, check boxes, lists,
  // texts, trees), in tab order: the table's rows, each container's in turn, as a toolkit
  // that walks its windows' children nests them. Hidden or disabled ones included.
  std::vector<Control*> TabOrder() const;
  Control* DefaultButton() const;
  Control* CancelButton() const;
  // Whether control keeps key for itself: a memo its Enter, a control with a key filter
  // its Enter, a list, text or tree its arrow keys.
  static bool KeepsKey(const Control& control, DialogKey key);
  // What a dialog key does: Tab and Shift+Tab move the focus in tab order, Enter presses
  // the focused button or else the default button, Escape the cancel button, the arrows
  // move within the focused control's group. False when the key did nothing.
  bool UserDialogKey(DialogKey key);
  // Alt with a letter: focuses and presses the button or check box whose caption
  // underlines it ("&" before it). False when none does.
  bool UserMnemonic(char letter);

  // Lays the controls out again, as a shown or hidden docked control asks.
  void Relayout();

  // From a worker: runs call on the window thread and returns when it has run.
  void Synchronize(const std::function<void()>& call);
  // On the window thread: keeps handling events and synchronous calls until done().
  void WaitUntil(const std::function<bool()>& done);

  WindowPeer& Peer() const { return *peer_; }

 protected:
  // Binds the handlers of a window's tables to its controls and menu items.
  template <class W>
  void Bind(W& self, const std::vector<ControlRow<W>>& rows, const std::vector<MenuRow<W>>& menu = {});

  template <class W>
  static std::vector<ControlSpec> Specs(const std::vector<ControlRow<W>>& rows) {
    std::vector<ControlSpec> specs;
    for (const ControlRow<W>& row : rows) specs.push_back(row.description);
    return specs;
  }
  template <class W>
  static std::vector<MenuSpec> Specs(const std::vector<MenuRow<W>>& rows) {
    std::vector<MenuSpec> specs;
    for (const MenuRow<W>& row : rows) specs.push_back(row.description);
    return specs;
  }

 private:
  friend class Control;
  std::unique_ptr<Control> NewControl(const ControlSpec& description, Control* parent);
  [[noreturn]] void NoSuchControl(const char* name, const Control* found, bool (*wanted)(ControlKind)) const;
  // The next usable control of order after from (before it when backward), round the end;
  // null when none is usable.
  static Control* Step(const std::vector<Control*>& order, const Control* from, bool backward);

  const WindowSpec spec_;
  const std::vector<ControlSpec> table_;
  Window* const owner_;
  std::unique_ptr<WindowPeer> peer_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<std::unique_ptr<MenuItem>> menu_;
  std::string caption_;
  Control* focused_ = nullptr;
  bool enabled_ = true;
  bool visible_ = false;
  bool modal_ = false;
  bool closeRequested_ = false;
  int modalResult_ = 0;
};

template <class W>
void Window::Bind(W& self, const std::vector<ControlRow<W>>& rows, const std::vector<MenuRow<W>>& menu) {
  for (const ControlRow<W>& row : rows) {
    Control* control = Get<Control>(row.description.name);
    if (row.event != nullptr) {
      auto event = row.event;
      std::function<void()> call = [&self, event] { (self.*event)(); };
      if (row.description.kind == ControlKind::kButton || row.description.kind == ControlKind::kCheckBox)
        control->OnClick = call;
      else
        control->OnChange = call;
    }
    if (row.keyPress != nullptr) {
      auto keyPress = row.keyPress;
      control->OnKeyPress = [&self, keyPress](char& key) { (self.*keyPress)(key); };
    }
  }
  for (const MenuRow<W>& row : menu) {
    if (row.click == nullptr) continue;
    auto click = row.click;
    FindMenu(row.description.name)->OnClick = [&self, click] { (self.*click)(); };
  }
}

}  // namespace ui
