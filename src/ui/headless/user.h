// A user at a headless window: clicks, typing into the focused control, choosing items.
// Each action fails, with a message on standard error, where a mouse or keyboard could
// not do it (a hidden or disabled control, a read-only text), and changes nothing then.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/window.h"

namespace ui::user {

// A click on a button, check box, edit, memo or combo box: text controls take the focus.
bool Click(Control& control);
bool Click(MenuItem& item);
// Keys to the window's focused control: printable characters, '\b' Backspace, '\r'
// Enter; each goes through the control's key filter first. Enter where the control does
// not keep it is the window's (the focused or the default button). A menu shortcut
// (kKeyF1) goes to its menu item.
bool Type(Window& window, const std::string& keys);
bool PressShortcut(Window& window, int key);
// A dialog key (Tab, Shift+Tab, Enter, Escape, an arrow) to the window's focused control,
// or to the window without one. Headless, it fails where the key does nothing; on a
// screen, only where no key can reach the window.
bool Press(Window& window, DialogKey key);
// Alt with a letter: the control whose caption underlines it.
bool PressAlt(Window& window, char letter);
// Opens the list and clicks the item with this text.
bool Choose(ComboBox& box, const std::string& item);
// Clicks the item in the tree.
bool Choose(Tree& tree, TreeItem& item);
// The close box.
bool CloseBox(Window& window);
// The text of a tree's item or a control as the screen shows it.
TreeItem* FindItem(const Tree& tree, const std::string& text);

}  // namespace ui::user
