// The controls a window holds, toolkit-neutral: each keeps its own state, tells its
// native peer what to show, and runs the window's handlers. Programmatic changes fire
// the events the windows were written against: a check box's OnClick and an edit's or
// memo's OnChange fire on every change; a list's OnChange only on the user's choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/layout_table.h"

namespace ui {

class Window;

class Control {
 public:
  Control(Window& window, const ControlSpec& description, Control* parent);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const ControlSpec& Description() const { return spec_; }
  const char* Name() const { return spec_.name; }
  ControlKind Kind() const { return spec_.kind; }
  // Whether a control of that kind is of this class: Window::Get checks it. Every kind is
  // a Control; each class below names its own.
  static bool OfKind(ControlKind) { return true; }
  Window& Owner() const { return window_; }
  Control* Parent() const { return parent_; }
  const Rect& Bounds() const { return bounds_; }

  // Its own flag; Showing() also asks its parents, as the screen would.
  bool Visible() const { return visible_; }
  bool Showing() const;
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Its own flag; Usable() also asks its parents and whether it is shown: what a mouse
  // can reach.
  bool Enabled() const { return enabled_; }
  bool Usable() const;
  void SetEnabled(bool enabled);
  bool Focused() const;
  void SetFocus();

  // The caption of a button, check box, panel, group box or static text; the text of an
  // edit, memo, combo box or status bar. Memo lines end in CR LF.
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& text);

  std::function<void()> OnClick;
  std::function<void()> OnChange;
  // A typed character; setting it to 0 discards it.
  std::function<void(char& key)> OnKeyPress;

  // What the user did, as a backend reports it.
  virtual void UserClick();
  // Runs the key filter; false when the key was discarded.
  bool UserKeyPress(char& key);
  // The user changed the text of an edit, memo or editable combo box.
  virtual void UserTextChanged(const std::string& text);
  void UserFocused();

  ControlPeer* Peer() const { return peer_.get(); }
  void AttachPeer(std::unique_ptr<ControlPeer> peer);
  void SetBounds(const Rect& bounds);

 protected:
  void StoreText(const std::string& text) { text_ = text; }

 private:
  Window& window_;
  const ControlSpec spec_;
  Control* const parent_;
  std::unique_ptr<ControlPeer> peer_;
  Rect bounds_;
  bool visible_;
  bool enabled_;
  std::string text_;
};

using Panel = Control;
using GroupBox = Control;
using StaticText = Control;
using Button = Control;
using StatusBar = Control;

class CheckBox : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kCheckBox; }
  bool Checked() const { return checked_; }
  // Fires OnClick when the state changes.
  void SetChecked(bool checked);
  // A click toggles the box.
  void UserClick() override;

 private:
  bool checked_ = false;
};

// A drop-down list, or with an editable text a combo box.
class ComboBox : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kDropDownList || kind == ControlKind::kComboBox; }
  const std::vector<std::string>& Items() const { return items_; }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  void AddItem(const std::string& item);
  void InsertItem(int index, const std::string& item);
  void ClearItems();
  int IndexOf(const std::string& item) const;
  // -1: nothing selected. Selecting an item also puts its text into an editable box.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // An editable box's text; a list's text is its selected item.
  void SetText(const std::string& text) override;

  // The user chose an item from the list: fires OnChange.
  void UserChoose(int index);
  void UserTextChanged(const std::string& text) override;

 private:
  void SendItems();
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

// An edit or a memo.
class TextBox : public Control {
 public:
  TextBox(Window& window, const ControlSpec& description, Control* parent);
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kEdit || kind == ControlKind::kMemo; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  int MaxLength() const { return Description().maxLength; }
  void Clear() { SetText(""); }
  // Fires OnChange.
  void SetText(const std::string& text) override;
  // Appends line as a memo's new last line, after a CR LF unless the memo is empty.
  // Past kMaxLogLength characters the oldest whole lines go, down to kKeptLogLength.
  // Fires OnChange.
  void AddLine(const std::string& line);

  // A Windows 9x multi-line edit holds at most 64 KB, and a log that reached it would
  // stop growing: kept below, with room for the edit's own use of that space.
  static constexpr std::size_t kMaxLogLength = 60000;
  // Dropping lines shows the whole text anew: done once in many lines, not at each one.
  static constexpr std::size_t kKeptLogLength = 45000;

 private:
  bool readOnly_;
};

using Edit = TextBox;
using Memo = TextBox;

class ProgressBar : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kProgressBar; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetRange(int minimum, int maximum);
  // Kept within the range.
  void SetPosition(int position);

 private:
  void Send();
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

class Animation : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kAnimation; }
  bool Active() const { return active_; }
  void SetActive(bool active);

 private:
  bool active_ = false;
};

// A picture: a Windows bitmap file's bytes, which must outlive the control.
class Picture : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kPicture; }
  void SetBitmap(const unsigned char* bitmapFile, std::size_t size);
  const unsigned char* Bitmap() const { return bitmap_; }
  std::size_t BitmapSize() const { return size_; }

 private:
  const unsigned char* bitmap_ = nullptr;
  std::size_t size_ = 0;
};

class TreeItem {
 public:
  virtual ~TreeItem();
  const std::string& Text() const { return text_; }
  TreeItem* Parent() const { return parent_; }
  const std::vector<std::unique_ptr<TreeItem>>& Children() const { return children_; }
  bool Expanded() const { return expanded_; }
  // Where a backend keeps its native item.
  void* native = nullptr;

 private:
  friend class Tree;
  std::string text_;
  TreeItem* parent_ = nullptr;
  std::vector<std::unique_ptr<TreeItem>> children_;
  bool expanded_ = false;
};

class Tree : public Control {
 public:
  using Control::Control;
  static bool OfKind(ControlKind kind) { return kind == ControlKind::kTree; }
  ~Tree() override;
  const std::vector<std::unique_ptr<TreeItem>>& Items() const { return roots_; }
  // Appends item under parent (null: a root) and returns it.
  TreeItem* Add(TreeItem* parent, std::unique_ptr<TreeItem> item, const std::string& text);
  // Removes item with its children; a removed selection leaves nothing selected.
  void Remove(TreeItem* item);
  void SetItemText(TreeItem& item, const std::string& text);
  void SetExpanded(TreeItem& item, bool expanded);
  // Orders the siblings of every level by less.
  void Sort(const std::function<bool(const TreeItem&, const TreeItem&)>& less);
  // The sibling at offset step from item, or null.
  TreeItem* Sibling(const TreeItem& item, int step) const;
  TreeItem* Selected() const { return selected_; }
  // Fires OnChanging with the item left, then OnChanged with the new one.
  void Select(TreeItem* item);

  std::function<void(TreeItem* leaving)> OnChanging;
  std::function<void(TreeItem* selected)> OnChanged;

  void UserSelect(TreeItem* item) { Select(item); }
  void UserExpand(TreeItem& item, bool expanded) { item.expanded_ = expanded; }

 private:
  std::vector<std::unique_ptr<TreeItem>>& SiblingsOf(const TreeItem* parent);
  bool Contains(const TreeItem* ancestor, const TreeItem* item) const;
  std::vector<std::unique_ptr<TreeItem>> roots_;
  TreeItem* selected_ = nullptr;
};

class Timer {
 public:
  Timer(int intervalMs, bool enabled);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int Interval() const { return intervalMs_; }
  std::function<void()> OnTimer;
  // A backend's tick.
  void Tick();

 private:
  const int intervalMs_;
  bool enabled_;
  std::unique_ptr<TimerPeer> peer_;
};

class MenuItem {
 public:
  explicit MenuItem(const MenuSpec& description) : spec_(description) {}
  const MenuSpec& Description() const { return spec_; }
  const char* Name() const { return spec_.name; }
  bool Separator() const { return spec_.caption == nullptr; }
  std::function<void()> OnClick;
  void UserClick() {
    if (OnClick) OnClick();
  }
  void* native = nullptr;

 private:
  const MenuSpec spec_;
};

}  // namespace ui
