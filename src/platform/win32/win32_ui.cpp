// Win32 user interface: window classes, top-level windows, dialogs and the event pump
// that the program's own main loop drives. Other threads never touch a window: they
// change the value store and post a message to the hidden message window.
#include "platform/win32/win32_ui.h"

#include "platform/win32/win32_ui_impl.h"

#include <commdlg.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace kw {
namespace win32ui {

namespace {

constexpr wchar_t kFrameClass[] = L"KantelwerkWindow";
constexpr wchar_t kPageClass[] = L"KantelwerkPage";
constexpr wchar_t kMessageClass[] = L"KantelwerkMessages";

Win32Ui* uiOf(HWND hwnd) {
  return reinterpret_cast<Win32Ui*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Top-level windows and tab pages share one procedure; the Win32Ui travels in the
// creation parameter and then in the window's user data.
LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool topLevel) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  if (Win32Ui* ui = uiOf(hwnd)) return ui->handleMessage(hwnd, msg, wp, lp, topLevel);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return windowProc(hwnd, msg, wp, lp, true);
}

LRESULT CALLBACK pageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return windowProc(hwnd, msg, wp, lp, false);
}

bool registerClasses(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = frameProc;
  wc.lpszClassName = kFrameClass;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  wc.lpfnWndProc = pageProc;
  wc.lpszClassName = kPageClass;
  wc.hIcon = nullptr;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  wc.lpfnWndProc = frameProc;
  wc.lpszClassName = kMessageClass;
  wc.hbrBackground = nullptr;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  return true;
}

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

Win32Ui::Win32Ui(HINSTANCE instance) : instance_(instance), mainThread_(std::this_thread::get_id()) {
  // The form's pixel layout was made for the dialog font of the system, not the bold
  // system font a window gets by default.
  font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (HDC dc = GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) lineHeight_ = tm.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  messageWindow_ = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance_, this);
  screen();
}

Win32Ui::~Win32Ui() {
  std::vector<int> open;
  for (const auto& [number, w] : windows_) open.push_back(number);
  for (int number : open) closeWindow(number);
  if (messageWindow_) DestroyWindow(messageWindow_);
  for (auto& [n, bmp] : menuBitmaps_) DeleteObject(bmp);
  for (auto& [c, b] : brushes_) DeleteObject(b);
  for (auto& [height, font] : statusFonts_) DeleteObject(font);
}

void Win32Ui::postToMain(std::function<void()> fn) {
  {
    Lock l(mutex_);
    posted_.push_back(std::move(fn));
  }
  PostMessageW(messageWindow_, kMsgRun, 0, 0);
}

void Win32Ui::runPosted() {
  for (;;) {
    std::function<void()> fn;
    {
      Lock l(mutex_);
      if (posted_.empty()) return;
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
  }
}

// ------------------------------------------------------------------------------------
// Images

void Win32Ui::registerImage(int number, const Image& image) {
  if (!onMain()) {
    postToMain([this, number, image] { registerImage(number, image); });
    return;
  }
  images_[number] = image;
  if (auto it = menuBitmaps_.find(number); it != menuBitmaps_.end()) {
    DeleteObject(it->second);
    menuBitmaps_.erase(it);
  }
}

// ------------------------------------------------------------------------------------
// Windows

WindowWidgets* Win32Ui::findWindow(int window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const WindowWidgets* Win32Ui::findWindow(int window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

ControlWidget* Win32Ui::findControl(int window, int control) {
  WindowWidgets* w = findWindow(window);
  if (!w) return nullptr;
  auto it = w->controls.find(control);
  return it == w->controls.end() ? nullptr : &it->second;
}

int Win32Ui::windowOfHwnd(HWND hwnd) const {
  for (const auto& [number, w] : windows_)
    if (w.hwnd == hwnd) return number;
  return -1;
}

HWND Win32Ui::ownerHwnd(int window) const {
  const WindowWidgets* w = findWindow(window);
  return w ? w->hwnd : nullptr;
}

bool Win32Ui::openWindow(int window, const WindowSpec& desc) {
  if (!onMain()) return false;
  if (findWindow(window)) closeWindow(window);

  HWND owner = desc.owner >= 0 ? ownerHwnd(desc.owner) : nullptr;
  // No WS_CLIPCHILDREN: a frame (group box) paints only its outline and leaves its
  // inside to the window behind it.
  DWORD style = WS_CAPTION | WS_SYSMENU;
  if (desc.minimiseBox) style |= WS_MINIMIZEBOX;
  if (desc.resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  // The layouts give the inside of a window (as the GTK backend shows them too): the
  // frame and title bar come on top, and a menu bar added later (setMenu) as well.
  RECT outer{0, 0, desc.rect.w > 0 ? desc.rect.w : 300, desc.rect.h > 0 ? desc.rect.h : 200};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  const int w = outer.right - outer.left;
  const int h = outer.bottom - outer.top;
  int x = desc.rect.x;
  int y = desc.rect.y;
  if (desc.centred) {
    x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  }
  // An owned window stays above its owner and out of the task bar by itself.
  HWND hwnd = CreateWindowExW(0, kFrameClass, widen(desc.title).c_str(), style, x, y, w, h,
                              owner, nullptr, instance_, this);
  if (!hwnd) return false;
  if (!desc.closeBox) EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

  WindowWidgets ww;
  ww.desc = desc;
  ww.hwnd = hwnd;
  windows_[window] = std::move(ww);
  {
    Lock l(mutex_);
    WindowValue v;
    v.rect = Rect{x, y, w, h};
    store_[window] = std::move(v);
  }
  if (desc.visible) ShowWindow(hwnd, SW_SHOWNORMAL);
  return true;
}

void Win32Ui::forgetWindow(int window) {
  WindowWidgets* w = findWindow(window);
  if (w) {
    for (auto& [id, c] : w->controls) {
      controlOfHwnd_.erase(c.hwnd);
      if (c.tooltip) DestroyWindow(c.tooltip);
    }
    for (HICON icon : w->statusIcons)
      if (icon) DestroyIcon(icon);
  }
  windows_.erase(window);
  Lock l(mutex_);
  store_.erase(window);
  dirtyStatus_.erase(window);
}

void Win32Ui::closeWindow(int window) {
  if (!onMain()) {
    postToMain([this, window] { closeWindow(window); });
    return;
  }
  if (!findWindow(window)) return;
  // Windows it owns go first, as the system would take them along anyway.
  std::vector<int> owned;
  for (const auto& [number, other] : windows_)
    if (number != window && other.desc.owner == window) owned.push_back(number);
  for (int number : owned) closeWindow(number);

  WindowWidgets* w = findWindow(window);
  if (!w) return;
  HWND hwnd = w->hwnd;
  HMENU bar = w->menuBar;
  forgetWindow(window);
  if (hwnd) DestroyWindow(hwnd);  // takes its menu bar along
  (void)bar;
}

bool Win32Ui::windowOpen(int window) const {
  Lock l(mutex_);
  return store_.count(window) != 0;
}

void Win32Ui::showWindow(int window, bool visible) {
  if (!onMain()) {
    postToMain([this, window, visible] { showWindow(window, visible); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  ShowWindow(w->hwnd, visible ? SW_SHOW : SW_HIDE);
  if (visible) SetForegroundWindow(w->hwnd);
}

void Win32Ui::setWindowTitle(int window, const std::string& title) {
  if (!onMain()) {
    postToMain([this, window, title] { setWindowTitle(window, title); });
    return;
  }
  if (WindowWidgets* w = findWindow(window)) {
    w->desc.title = title;
    SetWindowTextW(w->hwnd, widen(title).c_str());
  }
}

Rect Win32Ui::windowRect(int window) const {
  if (onMain()) {
    const WindowWidgets* w = findWindow(window);
    if (!w) return {};
    RECT r{};
    GetWindowRect(w->hwnd, &r);
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  Lock l(mutex_);
  auto it = store_.find(window);
  return it == store_.end() ? Rect{} : it->second.rect;
}

void Win32Ui::moveWindow(int window, int x, int y) {
  if (!onMain()) {
    postToMain([this, window, x, y] { moveWindow(window, x, y); });
    return;
  }
  if (WindowWidgets* w = findWindow(window))
    SetWindowPos(w->hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Ui::windowState(int window) const {
  if (!onMain()) return 0;
  const WindowWidgets* w = findWindow(window);
  if (!w) return 0;
  if (IsIconic(w->hwnd)) return 1;
  if (IsZoomed(w->hwnd)) return 2;
  return 0;
}

// ------------------------------------------------------------------------------------
// Dialogs and environment

namespace {

// Which side shows a fatal message that came from another thread.
enum FatalMessageState : int { kFatalWaiting, kFatalOnMain, kFatalShown, kFatalElsewhere };

// The GUI thread is normally back in its event loop within 50 ms; one that does not come
// is stuck (perhaps waiting for the very thread that failed), and the message is shown
// without it.
constexpr auto kFatalPickUp = std::chrono::seconds(3);

}  // namespace

void Win32Ui::showFatalMessage(const std::string& title, const std::string& text) {
  if (onMain()) {
    messageBox(win::kMain, title, text, mb::kOk | mb::kIconError);
    return;
  }
  auto state = std::make_shared<std::atomic<int>>(kFatalWaiting);
  postToMain([this, state, title, text] {
    int waiting = kFatalWaiting;
    if (!state->compare_exchange_strong(waiting, kFatalOnMain)) return;
    messageBox(win::kMain, title, text, mb::kOk | mb::kIconError);
    state->store(kFatalShown);
  });
  const auto giveUp = std::chrono::steady_clock::now() + kFatalPickUp;
  while (state->load() == kFatalWaiting && std::chrono::steady_clock::now() < giveUp)
    Sleep(10);
  int waiting = kFatalWaiting;
  if (state->compare_exchange_strong(waiting, kFatalElsewhere)) {
    // The system's message box runs a loop of its own and may be shown from any thread.
    MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    return;
  }
  while (state->load() != kFatalShown) Sleep(20);
}

int Win32Ui::messageBox(int owner, const std::string& title, const std::string& text, int flags) {
  const int buttons = flags & mb::kButtonMask;
  if (!onMain())
    return buttons == mb::kYesNo ? mb::kAnswerNo
           : buttons == mb::kOkCancel ? mb::kAnswerCancel
                                      : mb::kAnswerOk;
  flushPending();
  HWND parent = ownerHwnd(owner);
  if (parent && !IsWindowVisible(parent)) parent = nullptr;
  // The program's flags are the system's own; only the button and icon bits are passed.
  const UINT style = static_cast<UINT>(flags & (mb::kButtonMask | mb::kIconMask)) |
                     (parent ? 0u : MB_TASKMODAL);
  const int answer = MessageBoxW(parent, widen(text).c_str(), widen(title).c_str(), style);
  switch (answer) {
    case IDYES: return mb::kAnswerYes;
    case IDNO: return mb::kAnswerNo;
    case IDCANCEL: return buttons == mb::kYesNo ? mb::kAnswerNo : mb::kAnswerCancel;
    default: return mb::kAnswerOk;
  }
}

namespace {

// "Description|*.ext|Description|*.*" as the system's double-zero-terminated list.
std::wstring filterOf(const std::string& pattern) {
  std::wstring f = widen(pattern.empty() ? std::string("*.*|*.*") : pattern);
  for (auto& ch : f)
    if (ch == L'|') ch = L'\0';
  f.push_back(L'\0');
  f.push_back(L'\0');
  return f;
}

std::optional<std::string> runFileDialog(HWND parent, const FileDialogSpec& desc, bool save) {
  std::wstring dir = widen(desc.directory);
  std::wstring name = widen(desc.fileName);
  // A proposal that carries its own folder splits into folder and name.
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) {
    if (dir.empty()) dir = name.substr(0, slash);
    name = name.substr(slash + 1);
  }
  std::vector<wchar_t> file(4096, L'\0');
  name.copy(file.data(), std::min(name.size(), file.size() - 1));
  const std::wstring filter = filterOf(desc.pattern);
  const std::wstring title = widen(desc.title);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = parent;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  // The program asks about overwriting itself; the current folder stays where it is.
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
              (save ? OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return std::nullopt;
  return narrow(std::wstring(file.data()));
}

}  // namespace

std::optional<std::string> Win32Ui::openFileDialog(const FileDialogSpec& desc) {
  if (!onMain()) return std::nullopt;
  flushPending();
  HWND parent = ownerHwnd(desc.owner);
  if (parent && !IsWindowVisible(parent)) parent = nullptr;
  return runFileDialog(parent, desc, false);
}

std::optional<std::string> Win32Ui::saveFileDialog(const FileDialogSpec& desc) {
  if (!onMain()) return std::nullopt;
  flushPending();
  HWND parent = ownerHwnd(desc.owner);
  if (parent && !IsWindowVisible(parent)) parent = nullptr;
  return runFileDialog(parent, desc, true);
}

void Win32Ui::setWaitCursor(bool on) {
  if (!onMain()) {
    postToMain([this, on] { setWaitCursor(on); });
    return;
  }
  if (on) {
    ++busyDepth_;
  } else if (busyDepth_ > 0) {
    --busyDepth_;
  }
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busyDepth_ > 0 ? IDC_WAIT : IDC_ARROW)));
}

void Win32Ui::movePointer(int x, int y) {
  if (!onMain()) {
    postToMain([this, x, y] { movePointer(x, y); });
    return;
  }
  SetCursorPos(x, y);
}

ScreenMetrics Win32Ui::screen() const {
  if (!onMain()) {
    Lock l(mutex_);
    return screen_;  // as last measured on the GUI thread
  }
  ScreenMetrics m;
  m.primaryWidth = GetSystemMetrics(SM_CXSCREEN);
  m.primaryHeight = GetSystemMetrics(SM_CYSCREEN);
  m.virtualWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  m.virtualHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  m.monitors = std::max(1, GetSystemMetrics(SM_CMONITORS));
  Lock l(mutex_);
  screen_ = m;
  return m;
}

bool Win32Ui::ctrlHeld() const {
  if (!onMain()) return false;
  return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// ------------------------------------------------------------------------------------
// Events

void Win32Ui::queueEvent(const UiEvent& event) {
  if (suppress_ > 0) return;
  events_.push_back(event);
}

// F1 and F2 belong to the program in every one of its windows.
bool Win32Ui::filterKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (msg.wParam != VK_F1 && msg.wParam != VK_F2) return false;
  if (GetKeyState(VK_CONTROL) & 0x8000 || GetKeyState(VK_SHIFT) & 0x8000 ||
      GetKeyState(VK_MENU) & 0x8000)
    return false;
  int window = windowOfHwnd(GetAncestor(msg.hwnd, GA_ROOT));
  if (window < 0) window = 0;
  queueEvent({msg.wParam == VK_F1 ? EventType::KeyF1 : EventType::KeyF2, window, 0, 0, 0});
  return true;
}

void Win32Ui::dispatchAvailable() {
  flushPending();
  // Bounded, so that a stream of messages cannot hold the program here.
  const int64_t start = nowMs();
  MSG msg;
  for (int n = 0; n < 500 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) continue;
    if (filterKey(msg)) continue;
    // Tab and arrow keys move between the controls of a window like in a dialog.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && windowOfHwnd(root) >= 0 && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (nowMs() - start > 50) break;
  }
  flushPending();
}

bool Win32Ui::takeEvent(UiEvent& event) {
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

bool Win32Ui::pollEvent(UiEvent& event) {
  if (!onMain()) return false;
  if (takeEvent(event)) return true;
  dispatchAvailable();
  return takeEvent(event);
}

bool Win32Ui::waitEvent(int ms, UiEvent& event) {
  if (!onMain()) return false;
  if (takeEvent(event)) return true;
  const int64_t deadline = nowMs() + (ms > 0 ? ms : 0);
  for (;;) {
    dispatchAvailable();
    if (takeEvent(event)) return true;
    const int64_t remaining = deadline - nowMs();
    if (remaining <= 0) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(remaining), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void Win32Ui::processPendingEvents() {
  if (!onMain()) return;
  dispatchAvailable();
  // Paint what became visible, so a start window is drawn before long work begins.
  for (auto& [number, w] : windows_)
    if (IsWindowVisible(w.hwnd)) UpdateWindow(w.hwnd);
  dispatchAvailable();
}

bool Win32Ui::pressDefaultButton(int window) {
  const WindowWidgets* w = findWindow(window);
  if (!w) return false;
  int target = 0;
  for (const auto& [id, c] : w->controls)
    if (c.desc.kind == ControlKind::Button && c.desc.defaultButton) target = id;
  if (target == 0) return false;
  // A push button in focus takes the Enter for itself, as in a dialog.
  const HWND focus = GetFocus();
  for (const auto& [id, c] : w->controls)
    if (c.desc.kind == ControlKind::Button && c.hwnd == focus) target = id;
  const ControlWidget& c = w->controls.at(target);
  if (c.hwnd && IsWindowVisible(c.hwnd) && enabled(window, target))
    queueEvent({EventType::Click, window, target, 0, 0});
  return true;
}

bool Win32Ui::isMenuItem(int window, int id) const {
  if (const WindowWidgets* w = findWindow(window); w && w->menuOf.count(id)) return true;
  for (const auto& [number, items] : popups_)
    for (const MenuItem& item : items)
      if (item.id == id) return true;
  return false;
}

// ------------------------------------------------------------------------------------
// Window procedure

LRESULT Win32Ui::handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool topLevel) {
  if (hwnd == messageWindow_) {
    if (msg == kMsgFlush) {
      flushPending();
      return 0;
    }
    if (msg == kMsgRun) {
      runPosted();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) {
        onCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
        return 0;
      }
      if (HIWORD(wp) == 0) {
        // A menu item: the item number is the command id. Enter and Escape come the same
        // way (IDOK, IDCANCEL from the dialog keys) and are not items of the program;
        // Enter clicks the window's default button, when it has one.
        const int window = std::max(0, windowOfHwnd(GetAncestor(hwnd, GA_ROOT)));
        if (LOWORD(wp) == IDOK && pressDefaultButton(window)) return 0;
        if (isMenuItem(window, LOWORD(wp)))
          queueEvent({EventType::MenuItem, window, LOWORD(wp), 0, 0});
        return 0;
      }
      break;
    case WM_NOTIFY:
      onNotify(*reinterpret_cast<const NMHDR*>(lp));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lp != 0) onScroll(reinterpret_cast<HWND>(lp));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      bool handled = false;
      const LRESULT r = colourFor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), handled);
      if (handled) return r;
      break;
    }
    case WM_DRAWITEM:
      if (drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_SETCURSOR: {
      const int window = windowOfHwnd(GetAncestor(hwnd, GA_ROOT));
      const WindowWidgets* w = findWindow(window);
      if (busyDepth_ > 0 || (w && w->desc.waitCursor)) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  if (!topLevel) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_CLOSE: {
      // The program decides; only closeWindow() really closes.
      const int window = windowOfHwnd(hwnd);
      const WindowWidgets* w = findWindow(window);
      if (w && w->desc.closeBox) queueEvent({EventType::CloseBox, window, 0, 0, 0});
      return 0;
    }
    case WM_SIZE: {
      const int window = windowOfHwnd(hwnd);
      if (WindowWidgets* w = findWindow(window)) layoutStatusBar(*w);
      [[fallthrough]];
    }
    case WM_MOVE: {
      const int window = windowOfHwnd(hwnd);
      RECT r{};
      GetWindowRect(hwnd, &r);
      Lock l(mutex_);
      auto it = store_.find(window);
      if (it != store_.end()) it->second.rect = Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
      break;
    }
    case WM_HELP:
      return TRUE;  // F1 is the program's (filterKey); no second help request
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace win32ui

std::unique_ptr<Ui> createWin32Ui() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
              ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&icc);
  if (!win32ui::registerClasses(instance)) return nullptr;
  return std::make_unique<win32ui::Win32Ui>(instance);
}

}  // namespace kw
