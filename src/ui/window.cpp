#include "ui/window.h"

#include <cstring>

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
    Control* parent = row.parent != nullptr ? Find(row.parent) : nullptr;
    controls_.push_back(NewControl(row, parent));
    Control& control = *controls_.back();
    control.AttachPeer(backend.CreateControlPeer(control, parent != nullptr ? parent->Peer() : nullptr, *peer_));
  }
  Relayout();
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
  peer_->RunModal();
  modal_ = false;
  visible_ = false;
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

void Window::Synchronize(const std::function<void()>& call) { CurrentBackend().RunOnWindowThread(call); }

void Window::WaitUntil(const std::function<bool()>& done) {
  constexpr int kSliceMs = 10;
  while (!done()) CurrentBackend().ProcessEvents(kSliceMs);
}

}  // namespace ui
