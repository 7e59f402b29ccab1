// A window described as data: its frame, its controls in the order of its layout table,
// and its menu. The same table drives every toolkit.
#pragma once

#include <cstdint>

namespace ui {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect& other) const {
    return left == other.left && top == other.top && width == other.width && height == other.height;
  }
  bool operator!=(const Rect& other) const { return !(*this == other); }
};

enum class ControlKind {
  kPanel,
  kGroupBox,
  kStaticText,
  kButton,
  kCheckBox,
  kDropDownList,  // a list to choose from, no typing
  kComboBox,      // a list with an editable text
  kMemo,
  kEdit,
  kTree,
  kProgressBar,
  kAnimation,  // the platform's file-copy animation
  kStatusBar,
  kPicture,
};

// The side a control is docked to inside what its parent has left; kNone places it at
// its own rectangle.
enum class Dock { kNone, kTop, kBottom, kLeft, kRight, kFill };

// Properties of a control, combined with |.
enum Style : std::uint32_t {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kBevelInnerLowered = 1u << 2,  // a panel's inner bevel, lowered
  kBevelOuterLowered = 1u << 3,  // a panel's outer bevel, lowered
  kReadOnly = 1u << 4,
  kVerticalScrollBar = 1u << 5,
  kPasswordChar = 1u << 6,  // an edit that shows every character as "*"
  kAlignRight = 1u << 7,    // text alignment of static texts and panels
  kAlignCenter = 1u << 8,
  kAutoSize = 1u << 9,      // a static text sized to its text
  kSmooth = 1u << 10,       // a progress bar drawn without blocks
  kNoBorder = 1u << 11,     // a text box without its frame
  kButtonFace = 1u << 12,   // a text box on the button-face colour
  kSunkenBorder = 1u << 13,  // a static text in a sunken frame
};

struct FontSpec {
  const char* face = nullptr;  // null: the window's font
  int pixelHeight = 0;         // 0: the window's font height
  bool bold = false;
};

// "MS Sans Serif" 13 pixels high: the font of every window.
constexpr FontSpec kWindowFont{"MS Sans Serif", 13, false};

struct ControlSpec {
  const char* name;
  ControlKind kind;
  const char* parent;  // null: the window's client area
  Dock dock;
  // For kNone the control's rectangle in its parent; docked to the top or bottom the
  // height counts, to the left or right the width, filled nothing.
  Rect bounds;
  const char* caption;
  std::uint32_t style = 0;
  int maxLength = 0;  // edits, memos and editable combo boxes; 0: no limit
  FontSpec font{};
  // An animation's last frame, counted from 1; 0: the clip's own last one.
  int stopFrame = 0;
};

enum class BorderStyle { kSingle, kDialog };

enum BorderIcons : std::uint32_t {
  kSystemMenu = 1u << 0,
  kMinimize = 1u << 1,
  kMaximize = 1u << 2,
};

enum class Position { kDesktopCenter, kOwnerCenter };

struct WindowSpec {
  const char* name;
  const char* caption;
  int clientWidth;
  int clientHeight;
  BorderStyle border;
  std::uint32_t icons;
  Position position;
  FontSpec font = kWindowFont;
  // The buttons Enter and Escape press where the focused control does not keep the key
  // (by name; null: none). Tab walks the table's rows in their order.
  const char* defaultButton = nullptr;
  const char* cancelButton = nullptr;
};

// Keys the windows name.
constexpr int kKeyF1 = 0x70;

struct MenuSpec {
  const char* name;
  const char* parent;   // null: an entry of the menu bar
  const char* caption;  // null: a separator
  int shortcut = 0;     // kKeyF1, or 0
};

}  // namespace ui
