#include "ui/window.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "ui/layout.h"

namespace ui {

Window::Window(const WindowSpec& description, std::vector<ControlSpec> table, std::vector<MenuSpec> menu, Window* owner)
    : spec_(description), table_(std::move(table)), owner_(owner), caption_(description.caption != nullptr ? description.caption : "") {
  Backend& backend = CurrentBackend();
  peer_ = backend.CreateWindowPeer(*this, owner);
  peer_->SetCaption(caption_);
  if (!menu.empty()) {
    std::vector<MenuItem*> items;
    for (const MenuSpec& item : menu) {
      menu_.push_back(std::make_unique<MenuItem>(item));
      items.push_back(menu_.back().get());
    }
    backend.CreateMenu(*peer_, items);
  }
  for (const ControlSpec& row : table_) {
    Control* parent = row.parent != nullptr ? Get<Control>(row.parent) : nullptr;
    controls_.push_back(NewControl(row, parent));
    Control& control = *controls_.back();
    control.AttachPeer(backend.CreateControlPeer(control, parent != nullptr ? parent->Peer() : nullptr, *peer_));
  }
  Relayout();
  peer_->SetDialogKeys(TabOrder(), DefaultButton());
}

Window::~Window() {
  // Children go before their parents, as their peers were made after them.
  while (!controls_.empty()) controls_.pop_back();
}

std::unique_ptr<Control> Window::NewControl(const ControlSpec& description, Control* parent) {
  switch (description.kind) {
    case ControlKind::kCheckBox:
      return std::make_unique<CheckBox>(*this, description, parent);
    case ControlKind::kDropDownList:
    case ControlKind::kComboBox:
      return std::make_unique<ComboBox>(*this, description, parent);
    case ControlKind::kMemo:
    case ControlKind::kEdit:
      return std::make_unique<TextBox>(*this, description, parent);
    case ControlKind::kTree:
      return std::make_unique<Tree>(*this, description, parent);
    case ControlKind::kProgressBar:
      return std::make_unique<ProgressBar>(*this, description, parent);
    case ControlKind::kAnimation:
      return std::make_unique<Animation>(*this, description, parent);
    case ControlKind::kPicture:
      return std::make_unique<Picture>(*this, description, parent);
    default:
      return std::make_unique<Control>(*this, description, parent);
  }
}

Control* Window::Find(const char* name) const {
  for (const auto& control : controls_)
    if (std::strcmp(control->Name(), name) == 0) return control.get();
  return nullptr;
}

namespace {

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kPanel: return "panel";
    case ControlKind::kGroupBox: return "group box";
    case ControlKind::kStaticText: return "static text";
    case ControlKind::kButton: return "button";
    case ControlKind::kCheckBox: return "check box";
    case ControlKind::kDropDownList: return "drop-down list";
    case ControlKind::kComboBox: return "combo box";
    case ControlKind::kMemo: return "memo";
    case ControlKind::kEdit: return "edit";
    case ControlKind::kTree: return "tree";
    case ControlKind::kProgressBar: return "progress bar";
    case ControlKind::kAnimation: return "animation";
    case ControlKind::kStatusBar: return "status bar";
    case ControlKind::kPicture: return "picture";
  }
  return "control";
}

}  // namespace

void Window::NoSuchControl(const char* name, const Control* found, bool (*wanted)(ControlKind)) const {
  std::string what = std::string("window ") + Name() + ": ";
  if (found == nullptr) throw std::logic_error(what + "its table has no control \"" + name + "\"");
  std::string kinds;
  // kPicture is the last kind.
  for (int i = 0; i <= static_cast<int>(ControlKind::kPicture); ++i) {
    const auto kind = static_cast<ControlKind>(i);
    if (wanted(kind)) kinds += (kinds.empty() ? "" : " or ") + std::string(KindName(kind));
  }
  throw std::logic_error(what + "\"" + name + "\": kind " + KindName(found->Kind()) + ", asked for as " + kinds);
}

MenuItem* Window::FindMenu(const char* name) const {
  for (const auto& item : menu_)
    if (std::strcmp(item->Name(), name) == 0) return item.get();
  return nullptr;
}

void Window::Relayout() {
  std::vector<bool> visible;
  for (const auto& control : controls_) visible.push_back(control->Visible());
  // Made before every control exists: the last one lays them all out.
  if (visible.size() != table_.size()) return;
  const std::vector<Rect> rects = LayoutControls(table_, visible, spec_.clientWidth, spec_.clientHeight);
  for (std::size_t i = 0; i < rects.size(); ++i) controls_[i]->SetBounds(rects[i]);
}

void Window::SetCaption(const std::string& caption) {
  caption_ = caption;
  peer_->SetCaption(caption);
}

void Window::SetEnabled(bool enabled) {
  enabled_ = enabled;
  peer_->SetEnabled(enabled);
}

void Window::Show() {
  if (!visible_) {
    peer_->Place();
    if (OnShow) OnShow();
  }
  visible_ = true;
  peer_->Show();
}

void Window::Hide() {
  visible_ = false;
  peer_->Hide();
}

void Window::Repaint() { peer_->Repaint(); }

int Window::ShowModal() {
  modalResult_ = 0;
  if (closeRequested_) {
    closeRequested_ = false;
    return modalResult_;
  }
  modal_ = true;
  peer_->Place();
  if (OnShow) OnShow();
  visible_ = true;
  // The owner takes no input while this window is up.
  const bool ownerEnabled = owner_ != nullptr && owner_->Enabled();
  if (ownerEnabled) owner_->SetEnabled(false);
  peer_->RunModal();
  // Enabled before this window goes, the owner takes the activation back rather than
  // another program's window.
  if (ownerEnabled) owner_->SetEnabled(true);
  peer_->Hide();
  modal_ = false;
  visible_ = false;
  if (ownerEnabled && owner_->Visible()) {
    owner_->peer_->Activate();
    // A disabled window loses its focus: the owner gets it back where it was.
    if (owner_->focused_ != nullptr && owner_->focused_->Usable()) owner_->focused_->SetFocus();
  }
  return modalResult_;
}

void Window::Close(int result) {
  modalResult_ = result;
  if (modal_) {
    peer_->EndModal();
  } else if (visible_) {
    Hide();
  } else {
    closeRequested_ = true;
  }
}

void Window::UserClose() {
  if (!OnCloseQuery || OnCloseQuery()) Close();
}

namespace {

bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
    case ControlKind::kDropDownList:
    case ControlKind::kComboBox:
    case ControlKind::kMemo:
    case ControlKind::kEdit:
    case ControlKind::kTree:
      return true;
    default:
      return false;
  }
}

bool Pressable(const Control* control) {
  return control != nullptr && (control->Kind() == ControlKind::kButton || control->Kind() == ControlKind::kCheckBox);
}

// The underlined letter of a caption, or 0: the character after a single "&".
char UnderlinedLetter(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return caption[i + 1];
    ++i;
  }
  return 0;
}

char Lower(char letter) { return static_cast<char>(std::tolower(static_cast<unsigned char>(letter))); }

}  // namespace

std::vector<Control*> Window::TabOrder() const {
  std::vector<Control*> order;
  // Depth first: a container's controls follow it, before its next sibling.
  std::function<void(const Control*)> walk = [&](const Control* parent) {
    for (const auto& control : controls_) {
      if (control->Parent() != parent) continue;
      if (TakesFocus(control->Kind())) order.push_back(control.get());
      walk(control.get());
    }
  };
  walk(nullptr);
  return order;
}

Control* Window::DefaultButton() const {
  return spec_.defaultButton != nullptr ? Get<Control>(spec_.defaultButton) : nullptr;
}

Control* Window::CancelButton() const {
  return spec_.cancelButton != nullptr ? Get<Control>(spec_.cancelButton) : nullptr;
}

bool Window::KeepsKey(const Control& control, DialogKey key) {
  switch (key) {
    case DialogKey::kEnter:
      return control.Kind() == ControlKind::kMemo || static_cast<bool>(control.OnKeyPress);
    case DialogKey::kNextInGroup:
    case DialogKey::kPreviousInGroup:
      return TakesFocus(control.Kind()) && !Pressable(&control);
    default:
      return false;
  }
}

Control* Window::Step(const std::vector<Control*>& order, const Control* from, bool backward) {
  const auto at = std::find(order.begin(), order.end(), from);
  const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(order.size());
  // Without a focus among them, the walk starts at the first (or the last).
  std::ptrdiff_t index = at != order.end() ? at - order.begin() : backward ? count : -1;
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    index = (index + (backward ? count - 1 : 1)) % count;
    if (order[static_cast<std::size_t>(index)]->Usable()) return order[static_cast<std::size_t>(index)];
  }
  return nullptr;
}

bool Window::UserDialogKey(DialogKey key) {
  if (!enabled_) return false;
  Control* focused = focused_ != nullptr && focused_->Usable() ? focused_ : nullptr;
  if (focused != nullptr && KeepsKey(*focused, key)) return false;
  Control* target = nullptr;
  switch (key) {
    case DialogKey::kTab:
    case DialogKey::kShiftTab:
      target = Step(TabOrder(), focused, key == DialogKey::kShiftTab);
      if (target == nullptr || target == focused) return false;
      target->SetFocus();
      return true;
    case DialogKey::kNextInGroup:
    case DialogKey::kPreviousInGroup: {
      if (focused == nullptr) return false;
      std::vector<Control*> group = TabOrder();
      group.erase(std::remove_if(group.begin(), group.end(),
                                 [focused](const Control* c) { return c->Parent() != focused->Parent(); }),
                  group.end());
      target = Step(group, focused, key == DialogKey::kPreviousInGroup);
      if (target == nullptr || target == focused) return false;
      target->SetFocus();
      return true;
    }
    case DialogKey::kEnter:
      // A check box takes Space; Enter on it is the window's.
      target = focused != nullptr && focused->Kind() == ControlKind::kButton ? focused : DefaultButton();
      break;
    case DialogKey::kEscape:
      target = CancelButton();
      break;
  }
  if (target == nullptr || !target->Usable()) return false;
  target->UserClick();
  return true;
}

bool Window::UserMnemonic(char letter) {
  if (!enabled_ || letter == 0) return false;
  for (const auto& control : controls_) {
    if (!Pressable(control.get()) || !control->Usable() || Lower(UnderlinedLetter(control->Text())) != Lower(letter))
      continue;
    control->SetFocus();
    control->UserClick();
    return true;
  }
  return false;
}

void Window::Synchronize(const std::function<void()>& call) { CurrentBackend().RunOnWindowThread(call); }

void Window::WaitUntil(const std::function<bool()>& done) {
  constexpr int kSliceMs = 10;
  while (!done()) CurrentBackend().ProcessEvents(kSliceMs);
}

}  // namespace ui
