// Control peers: one native window per control, a child of its container at the layout's
// rectangle. The backend's own changes run quietly; what the user does reaches the
// neutral control through its User... operations.
#include <cstring>
#include <map>

#include "ui/win32/win32_peers.h"

namespace ui {

namespace {

// The file-copy clip among shell32's AVI resources.
constexpr int kFileCopyClip = 161;
// Room for a combo box's list below its edit.
constexpr int kDropDownHeight = 160;
constexpr int kTreeIndent = 19;

struct NativeKind {
  const char* className;
  DWORD style;
  DWORD exStyle;
};

NativeKind KindOf(const Control& control) {
  const std::uint32_t style = control.Description().style;
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
  const DWORD frame = (style & kNoBorder) ? 0 : WS_EX_CLIENTEDGE;
  const DWORD readOnly = (control.Kind() == ControlKind::kEdit || control.Kind() == ControlKind::kMemo) &&
                                 static_cast<const TextBox&>(control).ReadOnly()
                             ? ES_READONLY
                             : 0;
  switch (control.Kind()) {
    case ControlKind::kPanel:
      return {kPanelClass, child | WS_CLIPCHILDREN, 0};
    case ControlKind::kGroupBox:
      return {"BUTTON", child | WS_CLIPCHILDREN | BS_GROUPBOX, 0};
    case ControlKind::kStaticText: {
      const DWORD align = (style & kAlignRight) ? SS_RIGHT : (style & kAlignCenter) ? SS_CENTER : SS_LEFT;
      return {"STATIC", child | SS_NOPREFIX | align, 0};
    }
    case ControlKind::kButton:
      return {"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::kCheckBox:
      // Not an automatic box: the neutral state decides what it shows.
      return {"BUTTON", child | WS_TABSTOP | BS_CHECKBOX, 0};
    case ControlKind::kDropDownList:
      return {"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::kComboBox:
      return {"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::kMemo:
      return {"EDIT",
              child | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | readOnly |
                  ((style & kVerticalScrollBar) ? WS_VSCROLL : 0),
              frame};
    case ControlKind::kEdit:
      return {"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | readOnly | ((style & kPasswordChar) ? ES_PASSWORD : 0),
              frame};
    case ControlKind::kTree:
      return {WC_TREEVIEWA, child | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, WS_EX_CLIENTEDGE};
    case ControlKind::kProgressBar:
      return {PROGRESS_CLASSA, child | ((style & kSmooth) ? PBS_SMOOTH : 0), 0};
    case ControlKind::kAnimation:
      return {ANIMATE_CLASSA, child | ACS_CENTER | ACS_TRANSPARENT, 0};
    case ControlKind::kStatusBar:
      // Placed by the layout, not by its own docking.
      return {STATUSCLASSNAMEA, child | CCS_NOPARENTALIGN | CCS_NORESIZE, 0};
    case ControlKind::kPicture:
      return {"STATIC", child | SS_BITMAP, 0};
  }
  return {"STATIC", child, 0};
}

bool IsCombo(const Control& control) {
  return control.Kind() == ControlKind::kDropDownList || control.Kind() == ControlKind::kComboBox;
}

// The native height: a combo box's window holds its list too.
int NativeHeight(const Control& control, int height) { return IsCombo(control) ? height + kDropDownHeight : height; }

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ControlOf(hwnd)->Subclassed(hwnd, msg, wParam, lParam);
}

int CALLBACK ByRank(LPARAM first, LPARAM second, LPARAM ranks) {
  const auto& rank = *reinterpret_cast<const std::map<LPARAM, int>*>(ranks);
  return rank.at(first) - rank.at(second);
}

HTREEITEM NativeItem(const TreeItem* item) { return item != nullptr ? static_cast<HTREEITEM>(item->native) : nullptr; }

}  // namespace

std::string TextOf(HWND hwnd) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, &text[0], static_cast<int>(text.size()))));
  return text;
}

std::string ComboItem(HWND box, int index) {
  std::string item(static_cast<std::size_t>(SendMessageA(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0)) + 1,
                   '\0');
  const LRESULT length = SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item[0]));
  item.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return item;
}

ShownTreeItem ShownItem(HWND tree, HTREEITEM item) {
  char text[256] = "";
  TVITEMA native{};
  native.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  native.hItem = item;
  native.stateMask = TVIS_EXPANDED;
  native.pszText = text;
  native.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&native));
  return {text, native.state, reinterpret_cast<TreeItem*>(native.lParam)};
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (FromChild(msg, wParam, lParam, &result)) return result;
  Win32Control* peer = ControlOf(hwnd);
  if (msg == WM_PAINT && peer != nullptr) {
    peer->Paint();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

Win32Control::Win32Control(Win32Backend::Native& native, Control& control, HWND parent, const FontSpec& windowFont)
    : native_(native), control_(control) {
  static WORD nextId = 100;
  const NativeKind kind = KindOf(control);
  const Rect& r = control.Bounds();
  hwnd_ = CreateWindowExA(kind.exStyle, kind.className, "", kind.style, r.left, r.top, r.width,
                          NativeHeight(control, r.height), parent, reinterpret_cast<HMENU>(nextId++), native.instance,
                          nullptr);
  if (hwnd_ == nullptr) return;
  SetControlOf(hwnd_, this);
  font_ = native.Font(control.Description().font, windowFont);
  const Quietly quietly(native_);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  // A panel is of the backend's own class.
  if (control.Kind() != ControlKind::kPanel) Subclass(hwnd_);
  const int maxLength = control.Description().maxLength;
  switch (control.Kind()) {
    case ControlKind::kComboBox:
      edit_ = FindWindowExA(hwnd_, nullptr, "Edit", nullptr);
      if (edit_ != nullptr) {
        SetControlOf(edit_, this);
        Subclass(edit_);
      }
      if (maxLength > 0) SendMessageA(hwnd_, CB_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
      break;
    case ControlKind::kEdit:
    case ControlKind::kMemo:
      // Without a length of its own, the most the system allows (0): an edit starts with
      // 30,000 characters, fewer than a whole port test writes into its memo.
      SendMessageA(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
      if (control.Description().style & kPasswordChar) SendMessageA(hwnd_, EM_SETPASSWORDCHAR, '*', 0);
      break;
    case ControlKind::kTree:
      SendMessageA(hwnd_, TVM_SETINDENT, kTreeIndent, 0);
      break;
    case ControlKind::kStatusBar:
      SendMessageA(hwnd_, SB_SIMPLE, TRUE, 0);
      break;
    case ControlKind::kAnimation:
      // Without the clip (a system without it), the control stays empty.
      hasClip_ = native.shell32 != nullptr &&
                 SendMessageA(hwnd_, ACM_OPENA, reinterpret_cast<WPARAM>(native.shell32),
                              reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(kFileCopyClip))) != 0;
      break;
    default:
      break;
  }
}

Win32Control::~Win32Control() {
  if (hwnd_ == nullptr) return;
  if (edit_ != nullptr) Unsubclass(edit_);
  if (original_ != nullptr) Unsubclass(hwnd_);
  SetControlOf(hwnd_, nullptr);
  DestroyWindow(hwnd_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

void Win32Control::Subclass(HWND hwnd) {
  WNDPROC& original = hwnd == edit_ ? editOriginal_ : original_;
  original = reinterpret_cast<WNDPROC>(SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG>(&SubclassProc)));
}

void Win32Control::Unsubclass(HWND hwnd) {
  SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG>(hwnd == edit_ ? editOriginal_ : original_));
  if (hwnd == edit_) SetControlOf(edit_, nullptr);
}

LRESULT Win32Control::Subclassed(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const WNDPROC original = hwnd == edit_ ? editOriginal_ : original_;
  LRESULT result = 0;
  // A group box holds controls but its class tells nobody what they do.
  if (control_.Kind() == ControlKind::kGroupBox && FromChild(msg, wParam, lParam, &result)) return result;
  // Nor does it paint what lies inside its frame, which its parent leaves to it.
  if (control_.Kind() == ControlKind::kGroupBox && msg == WM_ERASEBKGND) {
    RECT area;
    GetClientRect(hwnd, &area);
    FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  if (native_.quiet == 0) {
    if (msg == WM_SETFOCUS) control_.UserFocused();
    if (msg == WM_CHAR) {
      char key = static_cast<char>(wParam);
      if (!control_.UserKeyPress(key)) return 0;
      wParam = static_cast<unsigned char>(key);
    }
  }
  return CallWindowProcA(original, hwnd, msg, wParam, lParam);
}

void Win32Control::Command(WORD code) {
  if (native_.quiet > 0) return;
  switch (control_.Kind()) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      if (code == BN_CLICKED) control_.UserClick();
      break;
    case ControlKind::kDropDownList:
    case ControlKind::kComboBox: {
      auto& box = static_cast<ComboBox&>(control_);
      if (code == CBN_SELCHANGE) {
        const int index = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
        if (index >= 0) box.UserChoose(index);
      } else if (code == CBN_EDITCHANGE) {
        TextChanged();
      }
      break;
    }
    case ControlKind::kEdit:
    case ControlKind::kMemo:
      if (code == EN_CHANGE) TextChanged();
      break;
    default:
      break;
  }
}

void Win32Control::TextChanged() {
  // Wine's edit tells of a change also for a key its length limit refused; Windows 9x
  // does not, and a text that stayed the same has not changed.
  const std::string text = TextOf(hwnd_);
  if (text != control_.Text()) control_.UserTextChanged(text);
}

void Win32Control::Notify(const NMHDR& header) {
  if (native_.quiet > 0 || control_.Kind() != ControlKind::kTree) return;
  auto& tree = static_cast<Tree&>(control_);
  const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
  auto* item = reinterpret_cast<TreeItem*>(change.itemNew.lParam);
  if (header.code == TVN_SELCHANGEDA) {
    tree.UserSelect(item);
  } else if (header.code == TVN_ITEMEXPANDEDA && item != nullptr) {
    // From the notification itself: the tree's state query needs common controls 5.80,
    // and the 4.72 of Windows 98 and of Windows 95 with its update answers 0 to it. A
    // toggle names no direction; the item's new state then tells it.
    const UINT action = change.action & TVE_TOGGLE;
    tree.UserExpand(*item, action == TVE_TOGGLE ? (change.itemNew.state & TVIS_EXPANDED) != 0 : action == TVE_EXPAND);
  }
}

HBRUSH Win32Control::Colour(HDC dc, UINT /*msg*/) {
  if (control_.Kind() != ControlKind::kEdit && control_.Kind() != ControlKind::kMemo) return nullptr;
  if (!IsWindowEnabled(hwnd_)) return nullptr;
  // A read-only text keeps the window's colour, as an editable one has it, unless it
  // sits on the button face.
  const int colour = (control_.Description().style & kButtonFace) ? COLOR_BTNFACE : COLOR_WINDOW;
  SetBkColor(dc, GetSysColor(colour));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return GetSysColorBrush(colour);
}

void Win32Control::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  RECT area;
  GetClientRect(hwnd_, &area);
  const std::uint32_t style = control_.Description().style;
  // One pixel per ring, outer first, as the layout counts them.
  if (style & kBevelOuterLowered) {
    DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
    InflateRect(&area, -1, -1);
  }
  if (style & kBevelInnerLowered) {
    DrawEdge(dc, &area, BDR_SUNKENINNER, BF_RECT);
    InflateRect(&area, -1, -1);
  }
  const std::string caption = TextOf(hwnd_);
  if (!caption.empty()) {
    HGDIOBJ old = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, caption.c_str(), -1, &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | ((style & kAlignRight) ? DT_RIGHT : DT_CENTER));
    SelectObject(dc, old);
  }
  EndPaint(hwnd_, &paint);
}

void Win32Control::SetBounds(const Rect& bounds) {
  MoveWindow(hwnd_, bounds.left, bounds.top, bounds.width, NativeHeight(control_, bounds.height), TRUE);
  FitToText();
}

void Win32Control::SetVisible(bool visible) {
  const Quietly quietly(native_);
  ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Control::SetEnabled(bool enabled) {
  const Quietly quietly(native_);
  EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void Win32Control::SetFocus() {
  // Only in the active window: another one would be activated by it. An inactive window
  // gives its control the focus when it is activated.
  Win32Window* window = WindowOf(hwnd_);
  if (window == nullptr || GetActiveWindow() != window->Handle()) return;
  // Not quietly: a tree given the focus with nothing selected selects its first item, as
  // Windows' tree does, and the window must hear of that as of a user's choice. The
  // focus itself comes back only as the one the window already gave.
  ::SetFocus(hwnd_);
}

void Win32Control::SetText(const std::string& text) {
  const Quietly quietly(native_);
  switch (control_.Kind()) {
    case ControlKind::kStatusBar:
      SendMessageA(hwnd_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
      return;
    case ControlKind::kPicture:
      ShowBitmap();
      return;
    case ControlKind::kDropDownList:
    case ControlKind::kTree:
    case ControlKind::kProgressBar:
    case ControlKind::kAnimation:
      // They show their items, their position or their clip.
      return;
    default:
      break;
  }
  SetWindowTextA(hwnd_, text.c_str());
  if (control_.Kind() == ControlKind::kPanel) InvalidateRect(hwnd_, nullptr, TRUE);
  FitToText();
}

void Win32Control::FitToText() {
  if (control_.Kind() != ControlKind::kStaticText || !(control_.Description().style & kAutoSize)) return;
  const std::string& text = control_.Text();
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, std::max<LONG>(size.cy, metrics.tmHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Control::ShowBitmap() {
  const auto& picture = static_cast<const Picture&>(control_);
  const unsigned char* file = picture.Bitmap();
  const std::size_t size = picture.BitmapSize();
  HBITMAP shown = nullptr;
  BITMAPFILEHEADER fileHeader{};
  BITMAPINFOHEADER info{};
  if (file != nullptr && size >= sizeof fileHeader + sizeof info) {
    std::memcpy(&fileHeader, file, sizeof fileHeader);
    std::memcpy(&info, file + sizeof fileHeader, sizeof info);
    // The pixels must lie inside the bytes given, whatever the header claims.
    const unsigned long long stride = (static_cast<unsigned long long>(info.biWidth < 0 ? 0 : info.biWidth) *
                                           info.biBitCount + 31) / 32 * 4;
    const unsigned long long rows = info.biHeight < 0 ? -static_cast<long long>(info.biHeight) : info.biHeight;
    if (fileHeader.bfType == 0x4D42 && info.biSize >= sizeof info && fileHeader.bfOffBits <= size &&
        info.biCompression == BI_RGB && stride * rows <= size - fileHeader.bfOffBits) {
      HDC dc = GetDC(hwnd_);
      shown = CreateDIBitmap(dc, &info, CBM_INIT, file + fileHeader.bfOffBits,
                             reinterpret_cast<const BITMAPINFO*>(file + sizeof fileHeader), DIB_RGB_COLORS);
      ReleaseDC(hwnd_, dc);
    }
  }
  SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown));
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  bitmap_ = shown;
}

void Win32Control::SetItems(const std::vector<std::string>& items) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items) SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32Control::SetItemIndex(int index) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Control::SetChecked(bool checked) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Control::SetReadOnly(bool readOnly) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Control::AppendText(const std::string& added, const std::string& whole) {
  const Quietly quietly(native_);
  // At the end, unless the memo's oldest lines went to make room.
  const int shown = GetWindowTextLengthA(hwnd_);
  if (static_cast<std::size_t>(shown) + added.size() == whole.size()) {
    SendMessageA(hwnd_, EM_SETSEL, static_cast<WPARAM>(shown), shown);
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
  }
  // A memo at its limit took less than all: the whole text then, as it must show.
  if (static_cast<std::size_t>(GetWindowTextLengthA(hwnd_)) != whole.size()) SetWindowTextA(hwnd_, whole.c_str());
  // The caret at the end, so the memo shows its new last line.
  const LPARAM end = GetWindowTextLengthA(hwnd_);
  SendMessageA(hwnd_, EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageA(hwnd_, EM_SCROLLCARET, 0, 0);
}

void Win32Control::SetProgress(int minimum, int maximum, int position) {
  // The 16-bit range is the one Windows 95's common controls (4.00) know; the 32-bit one
  // came with 4.70, for the ranges that need it.
  if (minimum >= 0 && maximum <= 0xFFFF)
    SendMessageA(hwnd_, PBM_SETRANGE, 0, MAKELPARAM(minimum, maximum));
  else
    SendMessageA(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  SendMessageA(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Control::SetActive(bool active) {
  if (!hasClip_) return;
  if (!active) {
    SendMessageA(hwnd_, ACM_STOP, 0, 0);
    return;
  }
  // The layout counts frames from 1, the control from 0. A control refuses a stop frame
  // past its clip's end (Wine's clip has two frames): the clip plays whole then.
  const int stopFrame = control_.Description().stopFrame;
  if (stopFrame <= 0 ||
      SendMessageA(hwnd_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, stopFrame - 1)) == 0)
    SendMessageA(hwnd_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, -1));
}

void Win32Control::TreeInserted(TreeItem& item) {
  const Quietly quietly(native_);
  const TreeItem* before = static_cast<Tree&>(control_).Sibling(item, -1);
  TVINSERTSTRUCTA insert{};
  insert.hParent = item.Parent() != nullptr ? NativeItem(item.Parent()) : TVI_ROOT;
  insert.hInsertAfter = before != nullptr ? NativeItem(before) : TVI_FIRST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(item.Text().c_str());
  insert.item.lParam = reinterpret_cast<LPARAM>(&item);
  item.native = reinterpret_cast<void*>(SendMessageA(hwnd_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void Win32Control::TreeRemoving(TreeItem& item) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(NativeItem(&item)));
}

void Win32Control::SortLevel(HTREEITEM parent, const std::vector<std::unique_ptr<TreeItem>>& order) {
  if (order.empty()) return;
  std::map<LPARAM, int> rank;
  for (std::size_t i = 0; i < order.size(); ++i) rank[reinterpret_cast<LPARAM>(order[i].get())] = static_cast<int>(i);
  TVSORTCB sort{};
  sort.hParent = parent;
  sort.lpfnCompare = ByRank;
  sort.lParam = reinterpret_cast<LPARAM>(&rank);
  SendMessageA(hwnd_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
  for (const auto& item : order) SortLevel(NativeItem(item.get()), item->Children());
}

void Win32Control::TreeReordered() {
  const Quietly quietly(native_);
  SortLevel(TVI_ROOT, static_cast<Tree&>(control_).Items());
}

void Win32Control::TreeTextChanged(TreeItem& item) {
  const Quietly quietly(native_);
  TVITEMA change{};
  change.mask = TVIF_TEXT;
  change.hItem = NativeItem(&item);
  change.pszText = const_cast<char*>(item.Text().c_str());
  SendMessageA(hwnd_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

void Win32Control::TreeExpanded(TreeItem& item, bool expanded) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(NativeItem(&item)));
}

void Win32Control::TreeSelected(TreeItem* item) {
  const Quietly quietly(native_);
  SendMessageA(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(NativeItem(item)));
}

}  // namespace ui
