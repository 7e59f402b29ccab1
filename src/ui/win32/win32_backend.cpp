#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "ui/win32/win32_peers.h"

namespace ui {

const char kWindowClass[] = "VeqWindow";
const char kPanelClass[] = "VeqPanel";

namespace {

constexpr char kCallClass[] = "VeqCalls";
constexpr char kWindowProp[] = "VeqWindowPeer";
constexpr char kControlProp[] = "VeqControlPeer";
constexpr char kNativeProp[] = "VeqBackend";
// A worker's call, sent to the call window: lParam points at the call.
constexpr UINT kRunCall = WM_APP + 1;
constexpr UINT kFirstMenuCommand = 1000;
// Every kind of input Windows 95 and 98 know. The headers' QS_ALLINPUT adds QS_RAWINPUT
// (0x400) of Windows XP, and the systems before it refuse a wait that names it.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;
static_assert(kWakeMask == 0xFF, "the wake mask is every input flag of Windows 9x");

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE)
    SetPropA(hwnd, kWindowProp, static_cast<HANDLE>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
  auto* peer = static_cast<Win32Window*>(GetPropA(hwnd, kWindowProp));
  if (peer != nullptr) return peer->Proc(hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunCall) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
  }
  if (msg == WM_TIMER) {
    auto* native = static_cast<Win32Backend::Native*>(GetPropA(hwnd, kNativeProp));
    // A WM_TIMER already queued outlives KillTimer: only a timer that still exists ticks.
    const auto timer = native != nullptr ? native->timers.find(wParam) : std::map<UINT_PTR, Win32Timer*>::iterator();
    if (native != nullptr && timer != native->timers.end()) timer->second->Tick();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Once per process: the classes outlive every backend of a test run.
void RegisterClasses(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  WNDCLASSA panelClass = windowClass;
  panelClass.lpfnWndProc = PanelProc;
  panelClass.hIcon = nullptr;
  panelClass.lpszClassName = kPanelClass;
  RegisterClassA(&panelClass);
  WNDCLASSA callClass{};
  callClass.lpfnWndProc = CallProc;
  callClass.hInstance = instance;
  callClass.lpszClassName = kCallClass;
  RegisterClassA(&callClass);
  registered = true;
}

DWORD StyleOf(const WindowSpec& description) {
  const bool dialog = description.border == BorderStyle::kDialog;
  DWORD style = (dialog ? WS_POPUP : WS_OVERLAPPED) | WS_CAPTION | WS_CLIPCHILDREN;
  if (description.icons & kSystemMenu) style |= WS_SYSMENU;
  // A dialog frame has no minimize or maximize box.
  if (!dialog && (description.icons & kMinimize)) style |= WS_MINIMIZEBOX;
  if (!dialog && (description.icons & kMaximize)) style |= WS_MAXIMIZEBOX;
  return style;
}

DWORD ExStyleOf(const WindowSpec& description) { return description.border == BorderStyle::kDialog ? WS_EX_DLGMODALFRAME : 0; }

HWND HandleOf(const Window* window) {
  return window != nullptr ? static_cast<Win32Window&>(window->Peer()).Handle() : nullptr;
}

}  // namespace

Win32Control* ControlOf(HWND hwnd) {
  return hwnd != nullptr ? static_cast<Win32Control*>(GetPropA(hwnd, kControlProp)) : nullptr;
}

void SetControlOf(HWND hwnd, Win32Control* peer) {
  if (peer != nullptr)
    SetPropA(hwnd, kControlProp, peer);
  else
    RemovePropA(hwnd, kControlProp);
}

Win32Window* WindowOf(HWND hwnd) {
  for (HWND at = hwnd; at != nullptr; at = GetParent(at)) {
    if (auto* peer = static_cast<Win32Window*>(GetPropA(at, kWindowProp))) return peer;
    // Above a top-level window GetParent gives its owner.
    if (!(GetWindowLongA(at, GWL_STYLE) & WS_CHILD)) return nullptr;
  }
  return nullptr;
}

bool FromChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND: {
      Win32Control* child = ControlOf(reinterpret_cast<HWND>(lParam));
      if (child == nullptr) return false;
      child->Command(HIWORD(wParam));
      *result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      Win32Control* child = ControlOf(header->hwndFrom);
      if (child == nullptr) return false;
      child->Notify(*header);
      *result = 0;
      return true;
    }
    case WM_NOTIFYFORMAT:
      // Asked while the child is being made, before it knows its peer.
      if (lParam != NF_QUERY) return false;
      *result = NFR_ANSI;
      return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      Win32Control* child = ControlOf(reinterpret_cast<HWND>(lParam));
      HBRUSH brush = child != nullptr ? child->Colour(reinterpret_cast<HDC>(wParam), msg) : nullptr;
      if (brush == nullptr) return false;
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default:
      return false;
  }
}

// Shared state

Win32Backend::Native::Native(Win32Backend& owner)
    : backend(owner), instance(GetModuleHandleA(nullptr)), windowThread(GetCurrentThreadId()) {
  InitCommonControls();
  RegisterClasses(instance);
  callWindow = CreateWindowExA(0, kCallClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (callWindow == nullptr)
    std::fprintf(stderr, "win32: no window can be made (error %lu): is there a display?\n", GetLastError());
  else
    SetPropA(callWindow, kNativeProp, this);
  shell32 = LoadLibraryA("shell32.dll");
}

Win32Backend::Native::~Native() {
  if (callWindow != nullptr) {
    RemovePropA(callWindow, kNativeProp);
    DestroyWindow(callWindow);
  }
  for (const auto& font : fonts) DeleteObject(font.second);
  if (shell32 != nullptr) FreeLibrary(shell32);
}

FontSpec ResolvedFont(const FontSpec& description, const FontSpec& windowFont) {
  FontSpec font;
  font.face = description.face != nullptr ? description.face : windowFont.face != nullptr ? windowFont.face : kWindowFont.face;
  font.pixelHeight = description.pixelHeight != 0         ? description.pixelHeight
                     : windowFont.pixelHeight != 0 ? windowFont.pixelHeight
                                                   : kWindowFont.pixelHeight;
  font.bold = description.bold || (description.face == nullptr && description.pixelHeight == 0 && windowFont.bold);
  return font;
}

HFONT Win32Backend::Native::Font(const FontSpec& description, const FontSpec& windowFont) {
  const FontSpec wanted = ResolvedFont(description, windowFont);
  const auto key = std::make_tuple(std::string(wanted.face), wanted.pixelHeight, wanted.bold);
  const auto found = fonts.find(key);
  if (found != fonts.end()) return found->second;
  // A negative height asks for the characters' height in pixels, as the layouts give it.
  HFONT font = CreateFontA(-wanted.pixelHeight, 0, 0, 0, wanted.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, wanted.face);
  fonts.emplace(key, font);
  return font;
}

bool Win32Backend::Native::PreTranslate(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  Win32Window* window = WindowOf(msg.hwnd);
  if (window == nullptr) return false;
  if (window->Accelerators() != nullptr && TranslateAcceleratorA(window->Handle(), window->Accelerators(), &msg))
    return true;
  Win32Control* control = ControlOf(msg.hwnd);
  if (msg.message != WM_KEYDOWN || control == nullptr) return false;
  // A control that keeps Enter (the address box's key filter) gets it as its character,
  // which the dialog manager would make the window's.
  if (msg.wParam == VK_RETURN && Window::KeepsKey(control->Neutral(), DialogKey::kEnter)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
  }
  // A multi-line edit wants every key; Tab and Escape are the window's all the same.
  if (control->Neutral().Kind() == ControlKind::kMemo && (msg.wParam == VK_TAB || msg.wParam == VK_ESCAPE)) {
    if (msg.wParam == VK_TAB)
      SendMessageA(window->Handle(), WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) != 0 ? 1 : 0, FALSE);
    else
      SendMessageA(window->Handle(), WM_COMMAND, IDCANCEL, 0);
    return true;
  }
  return false;
}

bool Win32Backend::Native::Dispatch() {
  // A slice at most: a worker that sends line after line to a memo that repaints after
  // each would otherwise keep this loop going until it is done, and the caller's check
  // between slices would see only the end.
  constexpr DWORD kSliceMs = 20;
  const DWORD start = GetTickCount();
  bool any = false;
  MSG msg;
  while (GetTickCount() - start < kSliceMs && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // Quit has been called: Run sees its flag.
    if (msg.message == WM_QUIT) return any;
    any = true;
    Deliver(msg);
  }
  return any;
}

void Win32Backend::Native::Deliver(MSG& msg) {
  if (PreTranslate(msg)) return;
  // The dialog keys of the message's window: Tab, the arrows, Enter, Escape, Alt with an
  // underlined letter. The dialog manager dispatches what it does not take itself.
  Win32Window* window = WindowOf(msg.hwnd);
  if (window != nullptr && IsDialogMessageA(window->Handle(), &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

// Window

Win32Window::Win32Window(Win32Backend::Native& native, Window& window, Window* owner)
    : native_(native), window_(window), owner_(owner) {
  const WindowSpec& description = window.Description();
  const DWORD style = StyleOf(description);
  const DWORD exStyle = ExStyleOf(description);
  RECT frame{0, 0, description.clientWidth, description.clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  hwnd_ = CreateWindowExA(exStyle, kWindowClass, description.caption != nullptr ? description.caption : "", style, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, HandleOf(owner), nullptr,
                          native.instance, this);
  if (hwnd_ == nullptr) {
    std::fprintf(stderr, "win32: cannot make the window %s (error %lu)\n", description.name, GetLastError());
    return;
  }
  FitClientArea();
}

Win32Window::~Win32Window() {
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
  for (MenuItem* item : menu_) item->native = nullptr;
  if (hwnd_ == nullptr) return;
  RemovePropA(hwnd_, kWindowProp);
  DestroyWindow(hwnd_);
}

void Win32Window::FitClientArea() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int wider = window_.Description().clientWidth - client.right;
  const int higher = window_.Description().clientHeight - client.bottom;
  if (wider == 0 && higher == 0) return;
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top + higher,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::SetCaption(const std::string& caption) { SetWindowTextA(hwnd_, caption.c_str()); }

void Win32Window::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

void Win32Window::Place() {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT area{0, 0, screenWidth, screenHeight};
  if (window_.Description().position == Position::kOwnerCenter && owner_ != nullptr) GetWindowRect(HandleOf(owner_), &area);
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // Centred, and kept on the screen so that its caption can be reached.
  const int left = std::clamp(static_cast<int>(area.left + (area.right - area.left - width) / 2), 0,
                              std::max(0, screenWidth - width));
  const int top = std::clamp(static_cast<int>(area.top + (area.bottom - area.top - height) / 2), 0,
                             std::max(0, screenHeight - height));
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void Win32Window::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void Win32Window::RunModal() {
  ended_ = false;
  Show();
  native_.backend.ModalLoop(window_, ended_);
}

void Win32Window::SetDialogKeys(const std::vector<Control*>&, Control* defaultButton) {
  std::vector<const Control*> containers;
  for (const auto& control : window_.Controls()) {
    HWND hwnd = static_cast<Win32Control*>(control->Peer())->Handle();
    // The arrow keys stay among the controls of one container.
    if (std::find(containers.begin(), containers.end(), control->Parent()) == containers.end()) {
      containers.push_back(control->Parent());
      SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) | WS_GROUP);
    }
    // Tab goes into panels and group boxes for the controls they hold.
    if (control->Kind() == ControlKind::kPanel || control->Kind() == ControlKind::kGroupBox)
      SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  }
  // Its frame; Enter reaches it through the window, which knows it by name.
  if (defaultButton != nullptr)
    SendMessageA(static_cast<Win32Control*>(defaultButton->Peer())->Handle(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void Win32Window::EndModal() {
  ended_ = true;
  // Wakes a loop that waits in GetMessageA.
  PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void Win32Window::Repaint() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32Window::SetMenu(const std::vector<MenuItem*>& items) {
  HMENU bar = ::CreateMenu();
  std::map<std::string, HMENU> popups;
  std::vector<ACCEL> keys;
  for (std::size_t i = 0; i < items.size(); ++i) {
    MenuItem& item = *items[i];
    const MenuSpec& description = item.Description();
    const WORD command = static_cast<WORD>(kFirstMenuCommand + i);
    item.native = this;
    if (description.parent == nullptr) {
      HMENU popup = CreatePopupMenu();
      AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), description.caption);
      popups[description.name] = popup;
      continue;
    }
    HMENU popup = popups[description.parent];
    if (item.Separator()) {
      AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::string caption = description.caption;
    if (description.shortcut >= VK_F1 && description.shortcut <= VK_F12) {
      caption += "\tF" + std::to_string(description.shortcut - VK_F1 + 1);
      keys.push_back({FVIRTKEY | FNOINVERT, static_cast<WORD>(description.shortcut), command});
    }
    AppendMenuA(popup, MF_STRING, command, caption.c_str());
  }
  menu_ = items;
  ::SetMenu(hwnd_, bar);
  if (!keys.empty()) accelerators_ = CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
  FitClientArea();
}

UINT Win32Window::CommandOf(const MenuItem& item) const {
  const auto found = std::find(menu_.begin(), menu_.end(), &item);
  return found == menu_.end() ? 0 : static_cast<UINT>(kFirstMenuCommand + (found - menu_.begin()));
}

bool Win32Window::RestoreFocus() {
  Control* focused = window_.Focused();
  HWND target = focused != nullptr ? static_cast<Win32Control*>(focused->Peer())->Handle() : nullptr;
  if (target == nullptr || !IsWindowVisible(target) || !IsWindowEnabled(target)) return false;
  // Not quietly, as Win32Control::SetFocus: a tree may select its first item.
  ::SetFocus(target);
  return true;
}

LRESULT Win32Window::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (FromChild(msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_COMMAND:
      // Enter and Escape, as the dialog manager tells them: no control has these ids.
      if (lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        window_.UserDialogKey(LOWORD(wParam) == IDOK ? DialogKey::kEnter : DialogKey::kEscape);
        return 0;
      }
      // A menu item or its accelerator.
      if (lParam == 0 && LOWORD(wParam) >= kFirstMenuCommand && LOWORD(wParam) - kFirstMenuCommand < menu_.size()) {
        menu_[LOWORD(wParam) - kFirstMenuCommand]->UserClick();
        return 0;
      }
      break;
    case WM_CLOSE:
      window_.UserClose();
      return 0;
    case WM_NEXTDLGCTL: {
      // What the dialog manager asks of a dialog: the focus to a control (lParam set), or
      // to the next or previous one in tab order. Only a control that takes the focus.
      HWND target = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                        : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0 ? TRUE : FALSE);
      if (target != nullptr && (GetWindowLongA(target, GWL_STYLE) & WS_TABSTOP)) ::SetFocus(target);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && RestoreFocus()) return 0;
      break;
    case WM_SETFOCUS:
      if (RestoreFocus()) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Timer

Win32Timer::Win32Timer(Win32Backend::Native& native, Timer& timer)
    : native_(native), timer_(timer), id_(native.nextTimer++) {
  native_.timers[id_] = this;
}

Win32Timer::~Win32Timer() {
  KillTimer(native_.callWindow, id_);
  native_.timers.erase(id_);
}

void Win32Timer::SetRunning(bool running, int intervalMs) {
  if (running)
    SetTimer(native_.callWindow, id_, static_cast<UINT>(std::max(intervalMs, 1)), nullptr);
  else
    KillTimer(native_.callWindow, id_);
}

// Backend

Win32Backend::Win32Backend() : native_(std::make_unique<Native>(*this)) { SetCurrentBackend(this); }

Win32Backend::~Win32Backend() { SetCurrentBackend(nullptr); }

bool Win32Backend::OnWindowThread() const { return GetCurrentThreadId() == native_->windowThread; }

std::unique_ptr<WindowPeer> Win32Backend::CreateWindowPeer(Window& window, Window* owner) {
  return std::make_unique<Win32Window>(*native_, window, owner);
}

std::unique_ptr<ControlPeer> Win32Backend::CreateControlPeer(Control& control, ControlPeer* parent, WindowPeer& window) {
  auto& frame = static_cast<Win32Window&>(window);
  HWND container = parent != nullptr ? static_cast<Win32Control*>(parent)->Handle() : frame.Handle();
  return std::make_unique<Win32Control>(*native_, control, container, frame.Neutral().Description().font);
}

std::unique_ptr<TimerPeer> Win32Backend::CreateTimerPeer(Timer& timer) {
  return std::make_unique<Win32Timer>(*native_, timer);
}

void Win32Backend::CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) {
  static_cast<Win32Window&>(window).SetMenu(items);
}

void Win32Backend::RunOnWindowThread(const std::function<void()>& call) {
  if (OnWindowThread()) {
    call();
    return;
  }
  // Waits until the window thread has run it: in its loop, or in any wait that
  // dispatches what is sent to it.
  SendMessageA(native_->callWindow, kRunCall, 0, reinterpret_cast<LPARAM>(&call));
}

void Win32Backend::ProcessEvents(int waitMs) {
  if (native_->Dispatch() || quit_) return;
  const DWORD slice = static_cast<DWORD>(std::max(waitMs, 0));
  // A refused wait returns at once: sleeping out the slice keeps a window that waits for
  // its worker from taking the processor the worker needs.
  if (native_->waitForInput(0, nullptr, FALSE, slice, kWakeMask) == WAIT_FAILED) Sleep(slice);
  native_->Dispatch();
}

void Win32Backend::Run() {
  MSG msg;
  while (!quit_ && GetMessageA(&msg, nullptr, 0, 0) > 0) native_->Deliver(msg);
  // The quit message leaves the queue with the loop: left there, it would close at once
  // every message box the program still shows on its way out (the reboot question).
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void Win32Backend::Quit() {
  quit_ = true;
  PostQuitMessage(0);
}

void Win32Backend::ModalLoop(Window& window, const bool& ended) {
  MSG msg;
  while (!ended) {
    if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
      // The program ends: so does the modal window, and the loop below it sees WM_QUIT too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      window.Close();
      return;
    }
    native_->Deliver(msg);
  }
}

}  // namespace ui
