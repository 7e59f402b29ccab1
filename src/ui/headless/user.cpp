#include "ui/headless/user.h"

#include <cstdio>

namespace ui::user {

namespace {

bool Refuse(const char* what, const char* name) {
  std::fprintf(stderr, "user: cannot %s %s\n", what, name);
  return false;
}

bool TakesText(const Control& control) {
  switch (control.Kind()) {
    case ControlKind::kEdit:
    case ControlKind::kMemo:
      return !static_cast<const TextBox&>(control).ReadOnly();
    case ControlKind::kComboBox:
      return true;
    default:
      return false;
  }
}

int MaxLength(const Control& control) { return control.Description().maxLength; }

// What a typed key does to a text once the filter has let it through.
void TypeInto(Control& control, char key) {
  std::string text = control.Text();
  if (key == '\b') {
    if (text.empty()) return;
    const bool lineBreak = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
    text.erase(text.size() - (lineBreak ? 2 : 1));
  } else {
    const std::string typed = key == '\r' ? "\r\n" : std::string(1, key);
    if (key == '\r' && control.Kind() != ControlKind::kMemo) return;
    if (static_cast<unsigned char>(key) < 0x20 && key != '\r') return;
    if (MaxLength(control) > 0 && text.size() + typed.size() > static_cast<std::size_t>(MaxLength(control)))
      return;
    text += typed;
  }
  control.UserTextChanged(text);
}

}  // namespace

bool Click(Control& control) {
  if (!control.Usable()) return Refuse("click", control.Name());
  switch (control.Kind()) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      control.UserFocused();
      control.UserClick();
      return true;
    case ControlKind::kEdit:
    case ControlKind::kMemo:
    case ControlKind::kComboBox:
    case ControlKind::kDropDownList:
    case ControlKind::kTree:
      control.UserFocused();
      return true;
    default:
      return true;
  }
}

bool Click(MenuItem& item) {
  if (item.Separator()) return Refuse("click a separator in", item.Name());
  item.UserClick();
  return true;
}

bool Type(Window& window, const std::string& keys) {
  if (!window.Enabled()) return Refuse("type into the disabled window", window.Name());
  for (char key : keys) {
    Control* control = window.Focused();
    if (control == nullptr || !control->Usable()) return Refuse("type without a usable focus in", window.Name());
    // The window takes Enter before it becomes a character, as a dialog manager does.
    if (key == '\r' && !Window::KeepsKey(*control, DialogKey::kEnter)) {
      window.UserDialogKey(DialogKey::kEnter);
      continue;
    }
    if (!control->UserKeyPress(key)) continue;
    if (TakesText(*control)) {
      TypeInto(*control, key);
    } else if ((control->Kind() == ControlKind::kButton || control->Kind() == ControlKind::kCheckBox) && key == ' ') {
      control->UserClick();
    }
  }
  return true;
}

bool Press(Window& window, DialogKey key) {
  if (!window.Enabled()) return Refuse("press a key in the disabled window", window.Name());
  // Without a focused control the window itself has the keyboard.
  Control* control = window.Focused();
  if (control != nullptr && control->Usable() && key == DialogKey::kEnter && Window::KeepsKey(*control, key))
    return Type(window, "\r");
  if (!window.UserDialogKey(key)) return Refuse("see the key do anything in", window.Name());
  return true;
}

bool PressAlt(Window& window, char letter) {
  if (!window.Enabled()) return Refuse("press a key in the disabled window", window.Name());
  if (!window.UserMnemonic(letter)) return Refuse("find the underlined letter in", window.Name());
  return true;
}

bool PressShortcut(Window& window, int key) {
  if (!window.Enabled()) return Refuse("press a shortcut in the disabled window", window.Name());
  for (const auto& item : window.MenuItems())
    if (item->Description().shortcut == key) return Click(*item);
  return Refuse("find the shortcut's item in", window.Name());
}

bool Choose(ComboBox& box, const std::string& item) {
  if (!box.Usable()) return Refuse("open", box.Name());
  const int index = box.IndexOf(item);
  if (index < 0) return Refuse("find the item in", box.Name());
  box.UserFocused();
  box.UserChoose(index);
  return true;
}

bool Choose(Tree& tree, TreeItem& item) {
  if (!tree.Usable()) return Refuse("click into", tree.Name());
  for (TreeItem* parent = item.Parent(); parent != nullptr; parent = parent->Parent())
    if (!parent->Expanded()) tree.UserExpand(*parent, true);
  tree.UserFocused();
  tree.UserSelect(&item);
  return true;
}

bool CloseBox(Window& window) {
  if (!(window.Description().icons & kSystemMenu)) return Refuse("find a close box on", window.Name());
  window.UserClose();
  return true;
}

TreeItem* FindItem(const Tree& tree, const std::string& text) {
  std::vector<TreeItem*> open;
  for (const auto& item : tree.Items()) open.push_back(item.get());
  while (!open.empty()) {
    TreeItem* item = open.back();
    open.pop_back();
    if (item->Text() == text) return item;
    for (const auto& child : item->Children()) open.push_back(child.get());
  }
  return nullptr;
}

}  // namespace ui::user
