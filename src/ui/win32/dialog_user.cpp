#include "ui/win32/dialog_user.h"

#include <windows.h>

#include <cstdio>

namespace ui {

namespace {

constexpr char kDialogClass[] = "#32770";
// The message box's text: a static without an id of its own.
constexpr int kBoxText = 0xFFFF;
// The open and save dialogs: Windows 98's file name edit, and the combo box that later
// systems (and Wine) have in its place; the list of file types.
constexpr int kFileNameEdit = 0x480;
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileTypes = 0x470;
constexpr DWORD kPollMs = 10;
// A dialog with another caption is taken after this, so that a wrong caption shows as a
// difference in what was read rather than as a test that hangs.
constexpr DWORD kOtherCaptionMs = 3000;
constexpr DWORD kLimitMs = 20000;

std::string TextOf(HWND hwnd) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, &text[0], static_cast<int>(text.size()))));
  return text;
}

bool Shown(HWND hwnd) { return hwnd != nullptr && IsWindowVisible(hwnd); }

struct DialogSearch {
  HWND except;
  HWND found;
};

BOOL CALLBACK TakeDialog(HWND hwnd, LPARAM lParam) {
  auto& search = *reinterpret_cast<DialogSearch*>(lParam);
  char name[16] = "";
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (hwnd == search.except || process != GetCurrentProcessId() || !Shown(hwnd) ||
      GetClassNameA(hwnd, name, sizeof name) == 0 || lstrcmpiA(name, kDialogClass) != 0)
    return TRUE;
  search.found = hwnd;
  return FALSE;
}

// A dialog of this process on the screen other than except.
HWND AnyDialog(HWND except) {
  DialogSearch search{except, nullptr};
  EnumWindows(TakeDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The dialog captioned caption once it is up; null when the call that shows it returned
// first.
HWND Await(const std::string& caption, const std::atomic<bool>& returned) {
  const DWORD start = GetTickCount();
  while (!returned) {
    HWND found = FindWindowA(kDialogClass, caption.c_str());
    if (!Shown(found) && GetTickCount() - start > kOtherCaptionMs) {
      found = AnyDialog(nullptr);
      if (found != nullptr)
        std::fprintf(stderr, "dialogs: none captioned \"%s\"; answering \"%s\"\n", caption.c_str(),
                     TextOf(found).c_str());
    }
    if (Shown(found)) return found;
    Sleep(kPollMs);
  }
  std::fprintf(stderr, "dialogs: none captioned \"%s\" came\n", caption.c_str());
  return nullptr;
}

bool AwaitGone(HWND dialog, DWORD limitMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(dialog)) {
    if (GetTickCount() - start > limitMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

// What a mouse click on the dialog's button id does.
bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!Shown(button) || !IsWindowEnabled(button)) {
    std::fprintf(stderr, "dialogs: \"%s\" shows no button %d to click\n", TextOf(dialog).c_str(), id);
    return false;
  }
  // Posted: what the click starts (a box about a refused name, say) must not hold this
  // thread.
  PostMessageA(button, BM_CLICK, 0, 0);
  return true;
}

struct ButtonSet {
  UINT type;
  int buttons[3];
};

// The message box's type, from the buttons it shows.
std::uint32_t TypeOf(HWND box) {
  static const ButtonSet kSets[] = {
      {MB_OK, {IDOK}},
      {MB_OKCANCEL, {IDOK, IDCANCEL}},
      {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
      {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
      {MB_YESNO, {IDYES, IDNO}},
      {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
  };
  unsigned shown = 0;
  for (int id = IDOK; id <= IDNO; ++id)
    if (Shown(GetDlgItem(box, id))) shown |= 1u << id;
  for (const ButtonSet& set : kSets) {
    unsigned wanted = 0;
    for (int id : set.buttons)
      if (id != 0) wanted |= 1u << id;
    if (wanted == shown) return set.type;
  }
  return MB_TYPEMASK;
}

BOOL CALLBACK TakeIcon(HWND hwnd, LPARAM lParam) {
  char name[16] = "";
  if (!Shown(hwnd) || GetClassNameA(hwnd, name, sizeof name) == 0 || lstrcmpiA(name, "Static") != 0 ||
      (GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
    return TRUE;
  *reinterpret_cast<HICON*>(lParam) = reinterpret_cast<HICON>(SendMessageA(hwnd, STM_GETICON, 0, 0));
  return FALSE;
}

// The message box's icon, as one of the system's: the box loads the same shared icons.
std::uint32_t IconOf(HWND box) {
  HICON shown = nullptr;
  EnumChildWindows(box, TakeIcon, reinterpret_cast<LPARAM>(&shown));
  if (shown == nullptr) return 0;
  const struct {
    LPCSTR icon;
    UINT flag;
  } kIcons[] = {{IDI_HAND, MB_ICONHAND},
                {IDI_QUESTION, MB_ICONQUESTION},
                {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                {IDI_ASTERISK, MB_ICONASTERISK}};
  for (const auto& icon : kIcons)
    if (LoadIconA(nullptr, icon.icon) == shown) return icon.flag;
  return MB_ICONMASK;
}

std::vector<std::string> ItemsOf(HWND combo) {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string item(static_cast<std::size_t>(SendMessageA(combo, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
    item.resize(static_cast<std::size_t>(SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]))));
    items.push_back(item);
  }
  return items;
}

// The edit a user types the file's name into, once the dialog has made it: Windows 98's
// own edit, or the edit inside the combo box (an extended one under Wine) of the later
// dialogs.
HWND FileNameEdit(HWND dialog) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND edit = GetDlgItem(dialog, kFileNameEdit);
    for (HWND at = edit == nullptr ? GetDlgItem(dialog, kFileNameCombo) : nullptr; at != nullptr && edit == nullptr;
         at = GetWindow(at, GW_CHILD)) {
      char name[16] = "";
      GetClassNameA(at, name, sizeof name);
      if (lstrcmpiA(name, "Edit") == 0) edit = at;
    }
    if (Shown(edit) || GetTickCount() - start > kLimitMs) return Shown(edit) ? edit : nullptr;
    Sleep(kPollMs);
  }
}

// Types the name over whatever the edit holds, key by key.
void TypeName(HWND edit, const std::string& name) {
  SendMessageA(edit, EM_SETSEL, 0, -1);
  for (char key : name) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(key), 1);
}

// Gives up on a dialog that refused the name: reads and answers the box it shows, then
// cancels.
void Refused(HWND dialog) {
  HWND complaint = AnyDialog(dialog);
  std::fprintf(stderr, "dialogs: \"%s\" refused the name: \"%s\"\n", TextOf(dialog).c_str(),
               complaint != nullptr ? TextOf(GetDlgItem(complaint, kBoxText)).c_str() : "");
  if (complaint != nullptr && ClickButton(complaint, IDOK)) AwaitGone(complaint, kLimitMs);
  if (ClickButton(dialog, IDCANCEL)) AwaitGone(dialog, kLimitMs);
}

}  // namespace

DialogUser::~DialogUser() { Answered(); }

void DialogUser::AnswerBox(const std::string& caption, std::function<int(const BoxOnScreen&)> answer) {
  thread_.Start([this, caption, answer] {
    HWND box = Await(caption, returned_);
    if (box == nullptr) return;
    BoxOnScreen seen;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, kBoxText));
    seen.flags = TypeOf(box) | IconOf(box);
    if (!ClickButton(box, answer(seen))) {
      // Some button ends it, so that the test goes on to report what it expected.
      for (int id = IDOK; id <= IDNO && !ClickButton(box, id);) ++id;
      AwaitGone(box, kLimitMs);
      return;
    }
    answered_ = AwaitGone(box, kLimitMs);
    if (!answered_) std::fprintf(stderr, "dialogs: the box \"%s\" stayed\n", seen.text.c_str());
  });
}

void DialogUser::AnswerFileDialog(const std::string& title, const std::string& path, FileDialogOnScreen* seen) {
  thread_.Start([this, title, path, seen] {
    HWND dialog = Await(title, returned_);
    if (dialog == nullptr) return;
    seen->title = TextOf(dialog);
    HWND edit = FileNameEdit(dialog);
    if (HWND types = GetDlgItem(dialog, kFileTypes)) seen->types = ItemsOf(types);
    if (edit == nullptr) {
      std::fprintf(stderr, "dialogs: \"%s\" has no file name to type into\n", seen->title.c_str());
      if (ClickButton(dialog, IDCANCEL)) AwaitGone(dialog, kLimitMs);
      return;
    }
    if (path.empty()) {
      answered_ = ClickButton(dialog, IDCANCEL) && AwaitGone(dialog, kLimitMs);
      return;
    }
    TypeName(edit, path);
    // A dialog that is still up a while after Open has refused the name with a box.
    answered_ = ClickButton(dialog, IDOK) && AwaitGone(dialog, 5000);
    if (!answered_ && IsWindow(dialog)) Refused(dialog);
  });
}

bool DialogUser::Answered() {
  returned_ = true;
  thread_.Join();
  return answered_;
}

}  // namespace ui
