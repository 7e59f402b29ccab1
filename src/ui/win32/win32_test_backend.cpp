#include "ui/win32/win32_test_backend.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ui/win32/win32_peers.h"

namespace ui {

namespace {

std::string Describe(bool value) { return value ? "yes" : "no"; }
std::string Describe(int value) { return std::to_string(value); }
std::string Describe(const std::string& value) { return "\"" + value + "\""; }

// Notes where one window's screen and neutral state differ.
class ScreenCheck {
 public:
  ScreenCheck(const Window& window, std::vector<std::string>& faults) : window_(window), faults_(faults) {}

  template <class T>
  void Expect(const char* control, const char* what, const T& onScreen, const T& held) {
    if (onScreen == held) return;
    const std::string fault = std::string(window_.Name()) + "." + control + ": " + what + " " + Describe(onScreen) +
                              " on the screen, " + Describe(held) + " in the window";
    std::fprintf(stderr, "screen: %s\n", fault.c_str());
    faults_.push_back(fault);
  }

  void Frame() {
    HWND hwnd = static_cast<Win32Window&>(window_.Peer()).Handle();
    Expect("(window)", "caption", TextOf(hwnd), window_.Caption());
    Expect("(window)", "shown", IsWindowVisible(hwnd) != 0, window_.Visible());
    Expect("(window)", "enabled", IsWindowEnabled(hwnd) != 0, window_.Enabled());
    RECT client;
    GetClientRect(hwnd, &client);
    Expect("(window)", "client width", static_cast<int>(client.right), window_.Description().clientWidth);
    Expect("(window)", "client height", static_cast<int>(client.bottom), window_.Description().clientHeight);
  }

  void Control(const ui::Control& control) {
    const char* name = control.Name();
    HWND hwnd = static_cast<Win32Control*>(control.Peer())->Handle();
    Expect(name, "shown", IsWindowVisible(hwnd) != 0, window_.Visible() && control.Showing());
    Expect(name, "enabled", IsWindowEnabled(hwnd) != 0, control.Enabled());
    Place(control, hwnd);
    Font(control, hwnd);
    switch (control.Kind()) {
      case ControlKind::kStatusBar: {
        // A simple status bar answers for its one part as part 0.
        char text[256] = "";
        SendMessageA(hwnd, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        Expect(name, "text", std::string(text), control.Text());
        break;
      }
      case ControlKind::kCheckBox:
        Expect(name, "text", TextOf(hwnd), control.Text());
        Expect(name, "checked", SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED,
               static_cast<const CheckBox&>(control).Checked());
        break;
      case ControlKind::kDropDownList:
      case ControlKind::kComboBox:
        Combo(static_cast<const ComboBox&>(control), hwnd);
        break;
      case ControlKind::kEdit:
      case ControlKind::kMemo: {
        const auto& text = static_cast<const TextBox&>(control);
        Expect(name, "text", TextOf(hwnd), text.Text());
        Expect(name, "read-only", (GetWindowLongA(hwnd, GWL_STYLE) & ES_READONLY) != 0, text.ReadOnly());
        if (control.Description().style & kPasswordChar)
          Expect(name, "password character", static_cast<int>(SendMessageA(hwnd, EM_GETPASSWORDCHAR, 0, 0)),
                 static_cast<int>('*'));
        break;
      }
      case ControlKind::kProgressBar: {
        const auto& bar = static_cast<const ProgressBar&>(control);
        Expect(name, "minimum", static_cast<int>(SendMessageA(hwnd, PBM_GETRANGE, TRUE, 0)), bar.Min());
        Expect(name, "maximum", static_cast<int>(SendMessageA(hwnd, PBM_GETRANGE, FALSE, 0)), bar.Max());
        Expect(name, "position", static_cast<int>(SendMessageA(hwnd, PBM_GETPOS, 0, 0)), bar.Position());
        break;
      }
      case ControlKind::kTree:
        Tree(static_cast<const ui::Tree&>(control), hwnd);
        break;
      case ControlKind::kAnimation:
      case ControlKind::kPicture:
        break;
      default:
        Expect(name, "text", TextOf(hwnd), control.Text());
        break;
    }
  }

 private:
  void Place(const ui::Control& control, HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    const Rect& held = control.Bounds();
    Expect(control.Name(), "left", static_cast<int>(r.left), held.left);
    Expect(control.Name(), "top", static_cast<int>(r.top), held.top);
    // A text sized to its text and a picture sized to its bitmap keep only their place.
    const bool ownSize = control.Kind() == ControlKind::kPicture ||
                         (control.Kind() == ControlKind::kStaticText && (control.Description().style & kAutoSize));
    if (ownSize) return;
    Expect(control.Name(), "width", static_cast<int>(r.right - r.left), held.width);
    // A combo box's window holds its list too.
    if (control.Kind() != ControlKind::kDropDownList && control.Kind() != ControlKind::kComboBox)
      Expect(control.Name(), "height", static_cast<int>(r.bottom - r.top), held.height);
  }

  void Font(const ui::Control& control, HWND hwnd) {
    // Panels paint their caption themselves; bars and clips show no text.
    switch (control.Kind()) {
      case ControlKind::kPanel:
      case ControlKind::kProgressBar:
      case ControlKind::kAnimation:
      case ControlKind::kPicture:
        return;
      default:
        break;
    }
    LOGFONTA font{};
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    if (handle == nullptr || GetObjectA(handle, sizeof font, &font) == 0) {
      Expect(control.Name(), "font", std::string("(none)"), std::string("a font"));
      return;
    }
    const FontSpec wanted = ResolvedFont(control.Description().font, window_.Description().font);
    Expect(control.Name(), "font", std::string(font.lfFaceName), std::string(wanted.face));
    // The face the system found for it, not only the one asked for.
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, handle);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof face, face);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    Expect(control.Name(), "font found", std::string(face), std::string(wanted.face));
    Expect(control.Name(), "font height", static_cast<int>(-font.lfHeight), wanted.pixelHeight);
    Expect(control.Name(), "bold", font.lfWeight >= FW_BOLD, wanted.bold);
  }

  void Combo(const ComboBox& box, HWND hwnd) {
    const int count = static_cast<int>(SendMessageA(hwnd, CB_GETCOUNT, 0, 0));
    Expect(box.Name(), "item count", count, box.ItemCount());
    for (int i = 0; i < count && i < box.ItemCount(); ++i)
      Expect(box.Name(), "item", ComboItem(hwnd, i), box.Items()[static_cast<std::size_t>(i)]);
    Expect(box.Name(), "item index", static_cast<int>(SendMessageA(hwnd, CB_GETCURSEL, 0, 0)), box.ItemIndex());
    Expect(box.Name(), "text", TextOf(hwnd), box.Text());
  }

  // The native items under parent, in their order, against the neutral ones.
  void Items(const ui::Tree& tree, HWND hwnd, HTREEITEM first, const std::vector<std::unique_ptr<TreeItem>>& held) {
    HTREEITEM at = first;
    for (const auto& item : held) {
      if (at == nullptr) {
        Expect(tree.Name(), "item", std::string("(none)"), item->Text());
        return;
      }
      const ShownTreeItem shown = ShownItem(hwnd, at);
      Expect(tree.Name(), "item", shown.text, item->Text());
      Expect(tree.Name(), "item's record", shown.record == item.get(), true);
      if (!item->Children().empty())
        Expect(tree.Name(), ("expanded " + item->Text()).c_str(), (shown.state & TVIS_EXPANDED) != 0,
               item->Expanded());
      Items(tree, hwnd, TreeView_GetChild(hwnd, at), item->Children());
      at = TreeView_GetNextSibling(hwnd, at);
    }
    if (at != nullptr) Expect(tree.Name(), "items", std::string("more"), std::string("no more"));
  }

  void Tree(const ui::Tree& tree, HWND hwnd) {
    Items(tree, hwnd, TreeView_GetRoot(hwnd), tree.Items());
    HTREEITEM selected = TreeView_GetSelection(hwnd);
    const TreeItem* held = tree.Selected();
    if (selected == (held != nullptr ? static_cast<HTREEITEM>(held->native) : nullptr)) return;
    const std::string shown = selected != nullptr ? ShownItem(hwnd, selected).text : "(none)";
    std::string wanted = held != nullptr ? held->Text() : "(none)";
    // Another item of the same text still differs.
    if (wanted == shown) wanted = "another " + wanted;
    Expect(tree.Name(), "selected", shown, wanted);
  }

  const Window& window_;
  std::vector<std::string>& faults_;
};

// The input flags Windows 95, 98 and Me know.
constexpr DWORD kWindows9xInput = 0xFF;

DWORD WINAPI Windows9xWait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
  if (mask & ~kWindows9xInput) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return MsgWaitForMultipleObjects(count, handles, all, ms, mask);
}

DWORD WINAPI RefusedWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return WAIT_FAILED;
}

}  // namespace

void Win32TestBackend::WaitAsWindows9x(bool refuseEvery) {
  Shared().waitForInput = refuseEvery ? RefusedWait : Windows9xWait;
}

long long Win32TestBackend::ThreadProcessorMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return -1;
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  // In units of 100 ns.
  return static_cast<long long>((ticks(kernel) + ticks(user)) / 10000);
}

void Win32TestBackend::CheckScreen(const Window& window) {
  ScreenCheck check(window, screenFaults_);
  check.Frame();
  for (const auto& control : window.Controls()) check.Control(*control);
}

void Win32TestBackend::ModalLoop(Window& window, const bool& ended) {
  CheckScreen(window);
  RunScript(window, ended, *this, "win32");
}

void Win32TestBackend::Quit() {
  Win32Backend::Quit();
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// A native timer that never asks the system for its ticks: its id still reaches it
// through the call window, as a real tick would.
class Win32TestBackend::HeldTimer : public Win32Timer {
 public:
  HeldTimer(Win32TestBackend& backend, Timer& timer)
      : Win32Timer(backend.Shared(), timer), neutral(timer), backend_(backend) {
    backend_.heldTimers_.push_back(this);
  }
  ~HeldTimer() override {
    auto& held = backend_.heldTimers_;
    held.erase(std::remove(held.begin(), held.end(), this), held.end());
  }
  void SetRunning(bool, int) override {}

  Timer& neutral;

 private:
  Win32TestBackend& backend_;
};

std::unique_ptr<TimerPeer> Win32TestBackend::CreateTimerPeer(Timer& timer) {
  if (!holdTimers_) return Win32Backend::CreateTimerPeer(timer);
  return std::make_unique<HeldTimer>(*this, timer);
}

void Win32TestBackend::Tick(Timer& timer) {
  for (HeldTimer* held : heldTimers_) {
    if (&held->neutral != &timer) continue;
    HWND callWindow = Shared().callWindow;
    PostMessageA(callWindow, WM_TIMER, held->Id(), 0);
    MSG msg;
    do ProcessEvents(0);
    while (PeekMessageA(&msg, callWindow, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    return;
  }
}

bool Win32TestBackend::SaveScreenshot(const Window& window, const std::string& path) {
  HWND hwnd = static_cast<Win32Window&>(window.Peer()).Handle();
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ProcessEvents(0);
  RECT frame;
  GetWindowRect(hwnd, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as a .bmp file keeps its rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  // What the window draws, from its own device context: PrintWindow came after Windows 98.
  HDC screen = GetWindowDC(hwnd);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (picture != nullptr) {
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + rowBytes * static_cast<DWORD>(height);
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
      saved = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
              std::fwrite(bits, rowBytes * static_cast<DWORD>(height), 1, out) == 1;
      saved = std::fclose(out) == 0 && saved;
    }
    SelectObject(memory, old);
    DeleteObject(picture);
  }
  DeleteDC(memory);
  ReleaseDC(hwnd, screen);
  return saved;
}

}  // namespace ui
