// A user at a Win32 window: the messages a mouse and a keyboard produce, sent to the
// native controls on the window thread. An act fails, with a message on standard error,
// where a mouse or keyboard could not do it; after each one the test backend compares the
// screen with the window.
#include "ui/headless/user.h"

#include <cstdio>

#include "ui/win32/win32_peers.h"
#include "ui/win32/win32_test_backend.h"

namespace ui::user {

namespace {

bool Refuse(const char* what, const char* name) {
  std::fprintf(stderr, "user: cannot %s %s\n", what, name);
  return false;
}

HWND HandleOf(const Control& control) { return static_cast<Win32Control*>(control.Peer())->Handle(); }
HWND HandleOf(const Window& window) { return static_cast<Win32Window&>(window.Peer()).Handle(); }

Win32Backend::Native& Shared() { return static_cast<Win32Backend&>(CurrentBackend()).Shared(); }

// Whether a mouse reaches hwnd: it and every window it lies in shown and enabled.
bool Reachable(HWND hwnd) {
  for (HWND at = hwnd; at != nullptr; at = GetParent(at)) {
    if (!IsWindowVisible(at) || !IsWindowEnabled(at)) return false;
    if (!(GetWindowLongA(at, GWL_STYLE) & WS_CHILD)) break;
  }
  return true;
}

// The screen against the window, when the backend is the test flavour.
void Look(const Window& window) {
  if (auto* test = dynamic_cast<Win32TestBackend*>(&CurrentBackend())) test->CheckScreen(window);
}

// A click behind the text's last character: the focus, and the caret there with nothing
// selected (a combo box selects all its text as it takes the focus).
void ClickBehindText(HWND hwnd, bool comboBox) {
  SetFocus(hwnd);
  const int end = GetWindowTextLengthA(hwnd);
  if (comboBox)
    SendMessageA(hwnd, CB_SETEDITSEL, 0, MAKELPARAM(end, end));
  else
    SendMessageA(hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);
}

// One key as the keyboard sends it, posted to the window with the focus: key down and key
// up, with Shift or Alt held meanwhile. The program's own loop takes them as it takes a
// user's: the menu's accelerators, the dialog manager, and TranslateMessage, which makes
// the character. Returns once the loop has taken them and what they caused.
void Post(HWND target, WPARAM virtualKey, bool shift, bool alt) {
  BYTE before[256];
  GetKeyboardState(before);
  BYTE held[256];
  CopyMemory(held, before, sizeof held);
  if (shift) held[VK_SHIFT] = 0x80;
  if (alt) held[VK_MENU] = 0x80;
  SetKeyboardState(held);
  const DWORD scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0) << 16;
  // With Alt, the context bit: the keys of the system menu and the underlined letters.
  const DWORD context = alt ? 1u << 29 : 0;
  PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1u | scan | context));
  PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u | scan | context));
  MSG pending;
  while (PeekMessageA(&pending, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE)) Shared().Dispatch();
  Shared().Dispatch();
  SetKeyboardState(before);
}

// A character as a key of the keyboard, with Shift where it needs it; false for one that
// no key makes.
bool KeyOf(char key, WPARAM* virtualKey, bool* shift) {
  switch (key) {
    case '\r':
      *virtualKey = VK_RETURN;
      break;
    case '\b':
      *virtualKey = VK_BACK;
      break;
    case '\t':
      *virtualKey = VK_TAB;
      break;
    case '\x1b':
      *virtualKey = VK_ESCAPE;
      break;
    default: {
      const SHORT scan = VkKeyScanA(key);
      // Control or Alt with it: not a key of its own.
      if (scan == -1 || (HIBYTE(scan) & ~1)) return false;
      *virtualKey = LOBYTE(scan);
      *shift = (HIBYTE(scan) & 1) != 0;
      return true;
    }
  }
  *shift = false;
  return true;
}

// The window of the focus, where keys go: one of window's controls, or window itself.
HWND KeyboardFocus(const Window& window) {
  HWND focus = GetFocus();
  // Without a focus, keys go to the active window.
  if (focus == HandleOf(window) || (focus == nullptr && GetActiveWindow() == HandleOf(window)))
    return HandleOf(window);
  Win32Control* control = ControlOf(focus);
  if (control == nullptr || &control->Neutral().Owner() != &window || !Reachable(focus)) return nullptr;
  return focus;
}

}  // namespace

bool Click(Control& control) {
  HWND hwnd = HandleOf(control);
  if (!Reachable(hwnd)) return Refuse("click", control.Name());
  switch (control.Kind()) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      SendMessageA(hwnd, BM_CLICK, 0, 0);
      break;
    case ControlKind::kEdit:
    case ControlKind::kMemo:
    case ControlKind::kComboBox:
      ClickBehindText(hwnd, control.Kind() == ControlKind::kComboBox);
      break;
    case ControlKind::kDropDownList:
    case ControlKind::kTree:
      SetFocus(hwnd);
      break;
    default:
      break;
  }
  Look(control.Owner());
  return true;
}

bool Click(MenuItem& item) {
  if (item.Separator()) return Refuse("click a separator in", item.Name());
  auto* window = static_cast<Win32Window*>(item.native);
  if (window == nullptr) return Refuse("find the window of", item.Name());
  HWND hwnd = window->Handle();
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return Refuse("open the menu of", item.Name());
  // What choosing the item sends.
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(window->CommandOf(item), 0), 0);
  Look(window->Neutral());
  return true;
}

bool Type(Window& window, const std::string& keys) {
  if (!IsWindowEnabled(HandleOf(window))) return Refuse("type into the disabled window", window.Name());
  for (char key : keys) {
    HWND focus = KeyboardFocus(window);
    if (focus == nullptr || focus == HandleOf(window)) return Refuse("type without a usable focus in", window.Name());
    WPARAM virtualKey = 0;
    bool shift = false;
    if (KeyOf(key, &virtualKey, &shift)) {
      Post(focus, virtualKey, shift, false);
    } else {
      // What an input method sends for a character without a key.
      PostMessageA(focus, WM_CHAR, static_cast<unsigned char>(key), 1);
      Shared().Dispatch();
    }
  }
  Look(window);
  return true;
}

bool Press(Window& window, DialogKey key) {
  if (!IsWindowEnabled(HandleOf(window))) return Refuse("press a key in the disabled window", window.Name());
  HWND focus = KeyboardFocus(window);
  if (focus == nullptr) return Refuse("press a key in the inactive window", window.Name());
  // The keys in DialogKey's order.
  static const WPARAM kVirtualKeys[] = {VK_TAB, VK_TAB, VK_RETURN, VK_ESCAPE, VK_DOWN, VK_UP};
  Post(focus, kVirtualKeys[static_cast<int>(key)], key == DialogKey::kShiftTab, false);
  Look(window);
  return true;
}

bool PressAlt(Window& window, char letter) {
  if (!IsWindowEnabled(HandleOf(window))) return Refuse("press a key in the disabled window", window.Name());
  HWND focus = KeyboardFocus(window);
  WPARAM virtualKey = 0;
  bool shift = false;
  if (focus == nullptr || !KeyOf(letter, &virtualKey, &shift)) return Refuse("press Alt with a letter in", window.Name());
  Post(focus, virtualKey, false, true);
  Look(window);
  return true;
}

bool PressShortcut(Window& window, int key) {
  HWND hwnd = HandleOf(window);
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd))
    return Refuse("press a shortcut in the disabled window", window.Name());
  // Keys go to the focused window, or to the active one when nothing has the focus.
  HWND focus = GetFocus();
  if (focus != nullptr ? WindowOf(focus) != &window.Peer() : GetActiveWindow() != hwnd)
    return Refuse("press a key in the inactive window", window.Name());
  MSG down{};
  down.hwnd = focus != nullptr ? focus : hwnd;
  down.message = WM_KEYDOWN;
  down.wParam = static_cast<WPARAM>(key);
  down.lParam = 1;
  if (!Shared().PreTranslate(down)) return Refuse("find the shortcut's item in", window.Name());
  Look(window);
  return true;
}

bool Choose(ComboBox& box, const std::string& item) {
  HWND hwnd = HandleOf(box);
  if (!Reachable(hwnd)) return Refuse("open", box.Name());
  // The item as the list shows it.
  int index = -1;
  const int count = static_cast<int>(SendMessageA(hwnd, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count && index < 0; ++i)
    if (ComboItem(hwnd, i) == item) index = i;
  if (index < 0) return Refuse("find the item in", box.Name());
  // What a click on the box and then on the item produces.
  SetFocus(hwnd);
  SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), CBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
  Look(box.Owner());
  return true;
}

bool Choose(Tree& tree, TreeItem& item) {
  HWND hwnd = HandleOf(tree);
  if (!Reachable(hwnd)) return Refuse("click into", tree.Name());
  if (item.native == nullptr) return Refuse("find the item in", tree.Name());
  // Opens the closed items above it, telling the window as a click on their buttons does.
  SendMessageA(hwnd, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item.native));
  // Selected before it takes the focus: a tree that gets the focus without a selection
  // selects its first item, which a click on another item never shows.
  SendMessageA(hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item.native));
  SetFocus(hwnd);
  Look(tree.Owner());
  return true;
}

bool CloseBox(Window& window) {
  HWND hwnd = HandleOf(window);
  if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_SYSMENU)) return Refuse("find a close box on", window.Name());
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return Refuse("click the close box of", window.Name());
  SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  Look(window);
  return true;
}

TreeItem* FindItem(const Tree& tree, const std::string& text) {
  HWND hwnd = HandleOf(tree);
  // Every item the native tree holds, in the order it shows them when all are open.
  std::vector<HTREEITEM> open;
  for (HTREEITEM root = TreeView_GetRoot(hwnd); root != nullptr; root = TreeView_GetNextSibling(hwnd, root))
    open.insert(open.begin(), root);
  while (!open.empty()) {
    HTREEITEM at = open.back();
    open.pop_back();
    const ShownTreeItem shown = ShownItem(hwnd, at);
    if (shown.text == text) return shown.record;
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(hwnd, at); child != nullptr; child = TreeView_GetNextSibling(hwnd, child))
      children.insert(children.begin(), child);
    open.insert(open.end(), children.begin(), children.end());
  }
  return nullptr;
}

}  // namespace ui::user
