#include "ui/controls.h"

#include <algorithm>

#include "ui/window.h"

namespace ui {

namespace {

Backend* current = nullptr;

}  // namespace

Backend& CurrentBackend() { return *current; }
void SetCurrentBackend(Backend* backend) { current = backend; }

Control::Control(Window& window, const ControlSpec& description, Control* parent)
    : window_(window),
      spec_(description),
      parent_(parent),
      bounds_(description.bounds),
      visible_((description.style & kHidden) == 0),
      enabled_((description.style & kDisabled) == 0),
      text_(description.caption != nullptr ? description.caption : "") {}

Control::~Control() {
  if (window_.focused_ == this) window_.focused_ = nullptr;
}

void Control::AttachPeer(std::unique_ptr<ControlPeer> peer) {
  peer_ = std::move(peer);
  peer_->SetText(text_);
  peer_->SetEnabled(enabled_);
  peer_->SetVisible(visible_);
}

void Control::SetBounds(const Rect& bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  peer_->SetBounds(bounds);
}

bool Control::Showing() const {
  for (const Control* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  peer_->SetVisible(visible);
  if (!visible && Focused()) window_.focused_ = nullptr;
  if (spec_.dock != Dock::kNone) window_.Relayout();
}

bool Control::Usable() const {
  if (!Showing()) return false;
  for (const Control* c = this; c != nullptr; c = c->parent_)
    if (!c->enabled_) return false;
  return window_.Enabled();
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  peer_->SetEnabled(enabled);
}

bool Control::Focused() const { return window_.focused_ == this; }

void Control::SetFocus() {
  window_.focused_ = this;
  peer_->SetFocus();
}

void Control::SetText(const std::string& text) {
  text_ = text;
  peer_->SetText(text);
}

void Control::UserClick() {
  if (OnClick) OnClick();
}

bool Control::UserKeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(key);
  return key != 0;
}

void Control::UserTextChanged(const std::string& text) {
  text_ = text;
  if (OnChange) OnChange();
}

void Control::UserFocused() { window_.focused_ = this; }

// Check box

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Peer()->SetChecked(checked);
  if (OnClick) OnClick();
}

void CheckBox::UserClick() { SetChecked(!checked_); }

// Combo box

void ComboBox::SendItems() {
  Peer()->SetItems(items_);
  Peer()->SetItemIndex(itemIndex_);
  if (Kind() == ControlKind::kComboBox) Peer()->SetText(Text());
}

void ComboBox::AddItem(const std::string& item) { InsertItem(ItemCount(), item); }

void ComboBox::InsertItem(int index, const std::string& item) {
  index = std::clamp(index, 0, ItemCount());
  items_.insert(items_.begin() + index, item);
  if (itemIndex_ >= index) ++itemIndex_;
  SendItems();
}

void ComboBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  if (Kind() == ControlKind::kDropDownList) StoreText("");
  SendItems();
}

int ComboBox::IndexOf(const std::string& item) const {
  const auto found = std::find(items_.begin(), items_.end(), item);
  return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void ComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  itemIndex_ = index;
  if (index >= 0 || Kind() == ControlKind::kDropDownList) StoreText(index >= 0 ? items_[index] : "");
  Peer()->SetItemIndex(index);
  if (Kind() == ControlKind::kComboBox) Peer()->SetText(Text());
}

void ComboBox::SetText(const std::string& text) {
  if (Kind() == ControlKind::kDropDownList) {
    SetItemIndex(IndexOf(text));
    return;
  }
  itemIndex_ = IndexOf(text);
  StoreText(text);
  Peer()->SetItemIndex(itemIndex_);
  Peer()->SetText(text);
}

void ComboBox::UserChoose(int index) {
  SetItemIndex(index);
  if (OnChange) OnChange();
}

void ComboBox::UserTextChanged(const std::string& text) {
  itemIndex_ = -1;
  Control::UserTextChanged(text);
}

// Edit and memo

TextBox::TextBox(Window& window, const ControlSpec& description, Control* parent)
    : Control(window, description, parent), readOnly_((description.style & kReadOnly) != 0) {}

void TextBox::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  Peer()->SetReadOnly(readOnly);
}

void TextBox::SetText(const std::string& text) {
  Control::SetText(text);
  if (OnChange) OnChange();
}

void TextBox::AddLine(const std::string& line) {
  const std::string added = Text().empty() ? line : "\r\n" + line;
  std::string text = Text() + added;
  if (text.size() > kMaxLogLength) {
    // From the first line that starts where at most the kept length is left; a newest
    // line longer than that keeps its end.
    const std::size_t cut = text.size() - kKeptLogLength;
    const std::size_t lineEnd = text.find("\r\n", cut >= 2 ? cut - 2 : 0);
    text.erase(0, lineEnd == std::string::npos ? cut : lineEnd + 2);
  }
  StoreText(text);
  Peer()->AppendText(added, Text());
  if (OnChange) OnChange();
}

// Progress bar

void ProgressBar::Send() { Peer()->SetProgress(min_, max_, position_); }

void ProgressBar::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = std::max(minimum, maximum);
  position_ = std::clamp(position_, min_, max_);
  Send();
}

void ProgressBar::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  Send();
}

// Animation

void Animation::SetActive(bool active) {
  active_ = active;
  Peer()->SetActive(active);
}

// Picture

void Picture::SetBitmap(const unsigned char* bitmapFile, std::size_t size) {
  bitmap_ = bitmapFile;
  size_ = size;
  Peer()->SetText("");
}

// Tree

TreeItem::~TreeItem() = default;

Tree::~Tree() = default;

std::vector<std::unique_ptr<TreeItem>>& Tree::SiblingsOf(const TreeItem* parent) {
  return parent != nullptr ? const_cast<TreeItem*>(parent)->children_ : roots_;
}

TreeItem* Tree::Add(TreeItem* parent, std::unique_ptr<TreeItem> item, const std::string& text) {
  TreeItem* added = item.get();
  added->text_ = text;
  added->parent_ = parent;
  SiblingsOf(parent).push_back(std::move(item));
  Peer()->TreeInserted(*added);
  return added;
}

bool Tree::Contains(const TreeItem* ancestor, const TreeItem* item) const {
  for (; item != nullptr; item = item->parent_)
    if (item == ancestor) return true;
  return false;
}

void Tree::Remove(TreeItem* item) {
  if (item == nullptr) return;
  if (Contains(item, selected_)) {
    selected_ = nullptr;
    Peer()->TreeSelected(nullptr);
  }
  Peer()->TreeRemoving(*item);
  auto& siblings = SiblingsOf(item->parent_);
  siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                              [item](const std::unique_ptr<TreeItem>& p) { return p.get() == item; }));
}

void Tree::SetItemText(TreeItem& item, const std::string& text) {
  item.text_ = text;
  Peer()->TreeTextChanged(item);
}

void Tree::SetExpanded(TreeItem& item, bool expanded) {
  item.expanded_ = expanded;
  Peer()->TreeExpanded(item, expanded);
}

void Tree::Sort(const std::function<bool(const TreeItem&, const TreeItem&)>& less) {
  std::function<void(std::vector<std::unique_ptr<TreeItem>>&)> sortLevel =
      [&](std::vector<std::unique_ptr<TreeItem>>& items) {
        std::stable_sort(items.begin(), items.end(),
                         [&less](const std::unique_ptr<TreeItem>& a, const std::unique_ptr<TreeItem>& b) {
                           return less(*a, *b);
                         });
        for (auto& item : items) sortLevel(item->children_);
      };
  sortLevel(roots_);
  Peer()->TreeReordered();
}

TreeItem* Tree::Sibling(const TreeItem& item, int step) const {
  const auto& siblings = const_cast<Tree*>(this)->SiblingsOf(item.parent_);
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() != &item) continue;
    const long at = static_cast<long>(i) + step;
    return at >= 0 && at < static_cast<long>(siblings.size()) ? siblings[at].get() : nullptr;
  }
  return nullptr;
}

void Tree::Select(TreeItem* item) {
  if (item == selected_) return;
  // The selected item is in sight, as a native tree shows it: its closed parents open.
  for (TreeItem* parent = item != nullptr ? item->Parent() : nullptr; parent != nullptr; parent = parent->Parent())
    if (!parent->Expanded()) SetExpanded(*parent, true);
  // The handler of the item left still sees it selected.
  if (OnChanging) OnChanging(selected_);
  selected_ = item;
  Peer()->TreeSelected(item);
  if (OnChanged) OnChanged(item);
}

// Timer

Timer::Timer(int intervalMs, bool enabled)
    : intervalMs_(intervalMs), enabled_(enabled), peer_(CurrentBackend().CreateTimerPeer(*this)) {
  peer_->SetRunning(enabled_, intervalMs_);
}

Timer::~Timer() = default;

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  peer_->SetRunning(enabled, intervalMs_);
}

void Timer::Tick() {
  if (enabled_ && OnTimer) OnTimer();
}

}  // namespace ui
