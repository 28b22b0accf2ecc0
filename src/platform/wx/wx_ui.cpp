// wxWidgets user interface: start of the toolkit, windows, dialogs and the event pump
// that the program's own main loop drives.
#include "platform/wx/wx_ui.h"

#include <wx/log.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/wx/wx_ui_impl.h"

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace kw {
namespace wxui {

namespace {

WxUi* g_live = nullptr;

class App final : public wxApp {
 public:
  // The program reads no command line (a restart passes one ignored number), so the
  // base class must not parse it.
  bool OnInit() override { return true; }

  int FilterEvent(wxEvent& event) override {
    const wxEventType type = event.GetEventType();
    if ((type == wxEVT_CHAR_HOOK || type == wxEVT_KEY_DOWN) && g_live) {
      if (g_live->filterKey(static_cast<wxKeyEvent&>(event))) return Event_Processed;
    }
    return Event_Skip;
  }
};

// Failed wx assertions go to stderr instead of a modal box in the middle of a bus run.
void assertToStderr(const wxString& file, int line, const wxString& func, const wxString& cond,
                    const wxString& msg) {
  std::fprintf(stderr, "wx assertion %s failed in %s (%s:%d) %s\n", cond.utf8_str().data(),
               func.utf8_str().data(), file.utf8_str().data(), line, msg.utf8_str().data());
}

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

WxUi* WxUi::live() { return g_live; }

WxUi::WxUi() : mainThread_(std::this_thread::get_id()) {
  wxTheApp->SetExitOnFrameDelete(false);
  loop_ = new wxGUIEventLoop;
  wxEventLoopBase::SetActive(loop_);
  wxInitAllImageHandlers();
  applyCompactTheme();
  screen();
  g_live = this;
}

WxUi::~WxUi() {
  g_live = nullptr;
  std::vector<int> open;
  for (const auto& [number, w] : windows_) open.push_back(number);
  for (int number : open) closeWindow(number);
  while (busyDepth_ > 0) {
    wxEndBusyCursor();
    --busyDepth_;
  }
  if (wxEventLoopBase::GetActive() == loop_) wxEventLoopBase::SetActive(nullptr);
  delete loop_;
  loop_ = nullptr;
  if (wxTheApp) wxTheApp->OnExit();
  wxEntryCleanup();
}

void WxUi::postToMain(std::function<void()> fn) {
  if (!wxTheApp) return;
  wxTheApp->CallAfter([fn = std::move(fn)] {
    if (g_live) fn();
  });
}

// ------------------------------------------------------------------------------------
// Images

wxBitmap toBitmap(const Image& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() < static_cast<size_t>(image.width) * image.height * 4)
    return wxNullBitmap;
  wxImage img(image.width, image.height, false);
  img.InitAlpha();
  unsigned char* rgb = img.GetData();
  unsigned char* alpha = img.GetAlpha();
  const size_t n = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < n; ++i) {
    rgb[i * 3] = image.rgba[i * 4];
    rgb[i * 3 + 1] = image.rgba[i * 4 + 1];
    rgb[i * 3 + 2] = image.rgba[i * 4 + 2];
    alpha[i] = image.rgba[i * 4 + 3];
  }
  return wxBitmap(img);
}

void WxUi::registerImage(int number, const Image& image) {
  if (!onMain()) {
    postToMain([this, number, image] { registerImage(number, image); });
    return;
  }
  images_[number] = toBitmap(image);
}

const wxBitmap* WxUi::bitmap(int number) const {
  auto it = images_.find(number);
  if (it == images_.end() || !it->second.IsOk()) return nullptr;
  return &it->second;
}

// ------------------------------------------------------------------------------------
// Windows

WindowWidgets* WxUi::findWindow(int window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const WindowWidgets* WxUi::findWindow(int window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

ControlWidget* WxUi::findControl(int window, int control) {
  WindowWidgets* w = findWindow(window);
  if (!w) return nullptr;
  auto it = w->controls.find(control);
  return it == w->controls.end() ? nullptr : &it->second;
}

int WxUi::windowOfFrame(const wxWindow* frame) const {
  for (const auto& [number, w] : windows_)
    if (w.frame == frame) return number;
  return -1;
}

wxWindow* WxUi::ownerFrame(int window) const {
  const WindowWidgets* w = findWindow(window);
  return w ? w->frame : nullptr;
}

bool WxUi::openWindow(int window, const WindowSpec& desc) {
  if (!onMain()) return false;
  if (findWindow(window)) closeWindow(window);

  wxWindow* owner = desc.owner >= 0 ? ownerFrame(desc.owner) : nullptr;
  long style = wxCAPTION | wxSYSTEM_MENU | wxCLIP_CHILDREN;
  if (desc.closeBox) style |= wxCLOSE_BOX;
  if (desc.minimiseBox) style |= wxMINIMIZE_BOX;
  if (desc.resizable) style |= wxRESIZE_BORDER | wxMAXIMIZE_BOX;
  // An owned window stays above its owner and out of the task bar.
  if (owner) style |= wxFRAME_FLOAT_ON_PARENT | wxFRAME_NO_TASKBAR;

  wxPoint pos(desc.rect.x, desc.rect.y);
  const wxSize size(desc.rect.w > 0 ? desc.rect.w : 300, desc.rect.h > 0 ? desc.rect.h : 200);
  if (desc.centred) {
    const wxRect screenRect = wxDisplay(0u).GetGeometry();
    pos = wxPoint(screenRect.x + (screenRect.width - size.x) / 2,
                  screenRect.y + (screenRect.height - size.y) / 2);
  }
  auto* frame = new wxFrame(owner, wxID_ANY, toWx(desc.title), pos, size, style);
  if (!frame) return false;
  auto* panel = new wxPanel(frame, wxID_ANY);

  WindowWidgets w;
  w.desc = desc;
  w.frame = frame;
  w.panel = panel;
  windows_[window] = std::move(w);
  {
    Lock l(mutex_);
    WindowValue v;
    v.rect = Rect{pos.x, pos.y, size.x, size.y};
    store_[window] = std::move(v);
  }

  frame->Bind(wxEVT_CLOSE_WINDOW, [this, window, frame](wxCloseEvent& e) {
    WindowWidgets* ww = findWindow(window);
    if (!ww || ww->frame != frame) {
      e.Skip();  // already forgotten: let it go
      return;
    }
    if (!e.CanVeto()) {
      forgetWindow(window);
      e.Skip();
      return;
    }
    // The program decides; only closeWindow() really closes.
    e.Veto();
    if (ww->desc.closeBox) queueEvent({EventType::CloseBox, window, 0, 0, 0});
  });
  frame->Bind(wxEVT_MENU, [this, window](wxCommandEvent& e) {
    const int id = menuItemOf(e.GetId());
    if (id == 0) {
      e.Skip();
      return;
    }
    if (WindowWidgets* ww = findWindow(window)) {
      // Check marks belong to the program: undo any toggling by the toolkit.
      auto it = ww->menuItems.find(id);
      if (it != ww->menuItems.end() && it->second.item && it->second.item->IsCheckable())
        it->second.item->Check(ww->checks[id]);
    }
    queueEvent({EventType::MenuItem, window, id, 0, 0});
  });
  frame->Bind(wxEVT_DESTROY, [this, window, frame](wxWindowDestroyEvent& e) {
    e.Skip();
    if (e.GetEventObject() != frame) return;
    WindowWidgets* ww = findWindow(window);
    if (ww && ww->frame == frame) forgetWindow(window);
  });
  auto keepRect = [this, window, frame](wxEvent& e) {
    e.Skip();
    const wxRect r = frame->GetRect();
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it != store_.end()) it->second.rect = Rect{r.x, r.y, r.width, r.height};
  };
  frame->Bind(wxEVT_MOVE, keepRect);
  frame->Bind(wxEVT_SIZE, keepRect);

  if (desc.waitCursor) {
    frame->SetCursor(wxCursor(wxCURSOR_WAIT));
    panel->SetCursor(wxCursor(wxCURSOR_WAIT));
  }
  if (desc.visible) frame->Show();
  return true;
}

void WxUi::forgetWindow(int window) {
  windows_.erase(window);
  Lock l(mutex_);
  store_.erase(window);
  dirtyStatus_.erase(window);
}

void WxUi::closeWindow(int window) {
  if (!onMain()) {
    postToMain([this, window] { closeWindow(window); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  // Windows it owns go first, as the toolkit would take them along anyway.
  std::vector<int> owned;
  for (const auto& [number, other] : windows_)
    if (number != window && other.desc.owner == window) owned.push_back(number);
  for (int number : owned) closeWindow(number);

  w = findWindow(window);
  if (!w) return;
  wxFrame* frame = w->frame;
  forgetWindow(window);
  if (frame) {
    frame->Hide();
    frame->Destroy();
  }
}

bool WxUi::windowOpen(int window) const {
  Lock l(mutex_);
  return store_.count(window) != 0;
}

void WxUi::showWindow(int window, bool visible) {
  if (!onMain()) {
    postToMain([this, window, visible] { showWindow(window, visible); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  w->frame->Show(visible);
  if (visible) w->frame->Raise();
}

void WxUi::setWindowTitle(int window, const std::string& title) {
  if (!onMain()) {
    postToMain([this, window, title] { setWindowTitle(window, title); });
    return;
  }
  if (WindowWidgets* w = findWindow(window)) {
    w->desc.title = title;
    w->frame->SetTitle(toWx(title));
  }
}

Rect WxUi::windowRect(int window) const {
  if (onMain()) {
    const WindowWidgets* w = findWindow(window);
    if (!w) return {};
    const wxRect r = w->frame->GetRect();
    return Rect{r.x, r.y, r.width, r.height};
  }
  Lock l(mutex_);
  auto it = store_.find(window);
  return it == store_.end() ? Rect{} : it->second.rect;
}

void WxUi::moveWindow(int window, int x, int y) {
  if (!onMain()) {
    postToMain([this, window, x, y] { moveWindow(window, x, y); });
    return;
  }
  if (WindowWidgets* w = findWindow(window)) w->frame->Move(x, y);
}

int WxUi::windowState(int window) const {
  if (!onMain()) return 0;
  const WindowWidgets* w = findWindow(window);
  if (!w) return 0;
  if (w->frame->IsIconized()) return 1;
  if (w->frame->IsMaximized()) return 2;
  return 0;
}

// ------------------------------------------------------------------------------------
// Dialogs and environment

namespace {

// Which side shows a fatal message that came from another thread.
enum FatalMessageState : int { kFatalWaiting, kFatalOnMain, kFatalShown, kFatalElsewhere };

// How long the main thread may take to pick up a fatal message of another thread. It is
// normally back in its event loop within 50 ms; a main thread that does not come is stuck
// (perhaps waiting for the very thread that failed), and the message is shown without it.
constexpr auto kFatalPickUp = std::chrono::seconds(3);

#ifdef _WIN32
void showMessageWithoutEventLoop(const std::string& title, const std::string& text) {
  // The system's own message box runs its own loop and may be called from any thread.
  ::MessageBoxW(nullptr, toWx(text).wc_str(), toWx(title).wc_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}
#else
// Message programs of the common desktops, tried in order; each shows the text as given
// and returns when the user closes it.
struct MessageProgram {
  const char* program;
  std::vector<std::string> (*arguments)(const std::string& title, const std::string& text);
};
const MessageProgram kMessagePrograms[] = {
    {"zenity",
     [](const std::string& t, const std::string& x) {
       return std::vector<std::string>{"--error", "--no-markup", "--title=" + t, "--text=" + x};
     }},
    {"kdialog",
     [](const std::string& t, const std::string& x) {
       return std::vector<std::string>{"--title", t, "--error", x};
     }},
    {"xmessage",
     [](const std::string& t, const std::string& x) {
       return std::vector<std::string>{"-center", "-title", t, "-buttons", "OK", x};
     }},
};

bool runMessageProgram(const MessageProgram& p, const std::string& title,
                       const std::string& text) {
  std::vector<std::string> args = p.arguments(title, text);
  args.insert(args.begin(), p.program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, p.program, nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // 127: the shell-like "not found" of a program that could not be started after all.
  return WIFEXITED(status) && WEXITSTATUS(status) != 127;
}

void showMessageWithoutEventLoop(const std::string& title, const std::string& text) {
  for (const MessageProgram& p : kMessagePrograms)
    if (runMessageProgram(p, title, text)) return;
}
#endif

}  // namespace

void WxUi::showFatalMessage(const std::string& title, const std::string& text) {
  if (onMain()) {
    messageBox(win::kMain, title, text, mb::kOk | mb::kIconError);
    return;
  }
  // Widgets belong to the main thread: it is asked to show the message, and this thread
  // waits until the user has closed it.
  auto state = std::make_shared<std::atomic<int>>(kFatalWaiting);
  postToMain([this, state, title, text] {
    int waiting = kFatalWaiting;
    if (!state->compare_exchange_strong(waiting, kFatalOnMain)) return;
    messageBox(win::kMain, title, text, mb::kOk | mb::kIconError);
    state->store(kFatalShown);
  });
  wxWakeUpIdle();
  const auto giveUp = std::chrono::steady_clock::now() + kFatalPickUp;
  while (state->load() == kFatalWaiting && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  int waiting = kFatalWaiting;
  if (state->compare_exchange_strong(waiting, kFatalElsewhere)) {
    showMessageWithoutEventLoop(title, text);
    return;
  }
  while (state->load() != kFatalShown) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int WxUi::messageBox(int owner, const std::string& title, const std::string& text, int flags) {
  const bool yesNo = (flags & mb::kButtonMask) == mb::kYesNo;
  const bool okCancel = (flags & mb::kButtonMask) == mb::kOkCancel;
  if (!onMain()) return yesNo ? mb::kAnswerNo : okCancel ? mb::kAnswerCancel : mb::kAnswerOk;
  flushPending();
  long style = yesNo ? wxYES_NO : okCancel ? (wxOK | wxCANCEL) : wxOK;
  switch (flags & mb::kIconMask) {
    case mb::kIconError: style |= wxICON_ERROR; break;
    case mb::kIconQuestion: style |= wxICON_QUESTION; break;
    case mb::kIconWarning: style |= wxICON_WARNING; break;
    case mb::kIconInformation: style |= wxICON_INFORMATION; break;
    default: style |= wxICON_NONE; break;
  }
  wxWindow* parent = ownerFrame(owner);
  if (parent && !parent->IsShown()) parent = nullptr;
  wxMessageDialog dlg(parent, toWx(text), toWx(title), style | wxCENTRE);
  const int result = dlg.ShowModal();
  if (yesNo) return result == wxID_YES ? mb::kAnswerYes : mb::kAnswerNo;
  if (okCancel) return result == wxID_OK ? mb::kAnswerOk : mb::kAnswerCancel;
  return mb::kAnswerOk;
}

namespace {

std::optional<std::string> runFileDialog(wxWindow* parent, const FileDialogSpec& desc,
                                          long style) {
  wxString dir = toWx(desc.directory);
  wxString name = toWx(desc.fileName);
  // A proposal that carries its own folder splits into folder and name.
  if (!name.empty()) {
    const wxFileName fn(name);
    if (fn.GetPath().length() > 0 && fn.DirExists()) {
      if (dir.empty()) dir = fn.GetPath();
      name = fn.GetFullName();
    }
  }
  wxString pattern = toWx(desc.pattern);
  if (pattern.empty()) pattern = wxFileSelectorDefaultWildcardStr;
  wxFileDialog dlg(parent, toWx(desc.title), dir, name, pattern, style);
  dlg.SetFilterIndex(0);
  if (dlg.ShowModal() != wxID_OK) return std::nullopt;
  return fromWx(dlg.GetPath());
}

}  // namespace

std::optional<std::string> WxUi::openFileDialog(const FileDialogSpec& desc) {
  if (!onMain()) return std::nullopt;
  flushPending();
  wxWindow* parent = ownerFrame(desc.owner);
  if (parent && !parent->IsShown()) parent = nullptr;
  return runFileDialog(parent, desc, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
}

std::optional<std::string> WxUi::saveFileDialog(const FileDialogSpec& desc) {
  if (!onMain()) return std::nullopt;
  flushPending();
  wxWindow* parent = ownerFrame(desc.owner);
  if (parent && !parent->IsShown()) parent = nullptr;
  // The program asks about overwriting itself.
  return runFileDialog(parent, desc, wxFD_SAVE);
}

void WxUi::setWaitCursor(bool on) {
  if (!onMain()) {
    postToMain([this, on] { setWaitCursor(on); });
    return;
  }
  if (on) {
    wxBeginBusyCursor();
    ++busyDepth_;
  } else if (busyDepth_ > 0) {
    wxEndBusyCursor();
    --busyDepth_;
  }
}

void WxUi::movePointer(int x, int y) {
  if (!onMain()) {
    postToMain([this, x, y] { movePointer(x, y); });
    return;
  }
  // Warping goes through a shown window; without one the pointer stays where it is.
  for (auto& [number, w] : windows_) {
    if (!w.frame->IsShown()) continue;
    const wxPoint client = w.panel->ScreenToClient(wxPoint(x, y));
    w.panel->WarpPointer(client.x, client.y);
    return;
  }
}

ScreenMetrics WxUi::screen() const {
  if (!onMain()) {
    Lock l(mutex_);
    return screen_;  // as last measured on the main thread
  }
  ScreenMetrics m;
  const unsigned count = wxDisplay::GetCount();
  if (count == 0) return m;
  const wxRect primary = wxDisplay(0u).GetGeometry();
  wxRect all = primary;
  for (unsigned i = 1; i < count; ++i) all.Union(wxDisplay(i).GetGeometry());
  m.primaryWidth = primary.width;
  m.primaryHeight = primary.height;
  m.virtualWidth = all.width;
  m.virtualHeight = all.height;
  m.monitors = static_cast<int>(count);
  Lock l(mutex_);
  screen_ = m;
  return m;
}

bool WxUi::ctrlHeld() const {
  if (!onMain()) return false;
  // The pointer query carries the modifier state on every backend.
  return wxGetMouseState().ControlDown() || wxGetKeyState(WXK_CONTROL);
}

// ------------------------------------------------------------------------------------
// Events

void WxUi::queueEvent(const UiEvent& event) {
  if (suppress_ > 0) return;
  events_.push_back(event);
}

// The default button of a window, when it has one that can be clicked now; 0 otherwise.
int WxUi::defaultButton(int window) const {
  const WindowWidgets* w = findWindow(window);
  if (!w) return 0;
  for (const auto& [id, c] : w->controls) {
    if (c.desc.kind != ControlKind::Button || !c.desc.defaultButton) continue;
    return c.widget && c.widget->IsShownOnScreen() && enabled(window, id) ? id : 0;
  }
  return 0;
}

bool WxUi::filterKey(wxKeyEvent& event) {
  const int code = event.GetKeyCode();
  const bool enter = code == WXK_RETURN || code == WXK_NUMPAD_ENTER;
  if (code != WXK_F1 && code != WXK_F2 && !enter) return false;
  if (event.HasAnyModifiers()) return false;
  int window = -1;
  auto* source = wxDynamicCast(event.GetEventObject(), wxWindow);
  if (source) window = windowOfFrame(wxGetTopLevelParent(source));
  int button = 0;
  if (enter) {
    // Enter clicks the window's default button, as in a dialog; a focused button takes
    // its own Enter, and a window without a default button gets the key as it is.
    if (window < 0 || wxDynamicCast(source, wxButton)) return false;
    button = defaultButton(window);
    if (button == 0) return false;
  }
  // The same press may pass as char hook and as key down: count it once.
  const long time = event.GetTimestamp();
  if (time != 0 && time == lastKeyTime_ && code == lastKeyCode_) return true;
  lastKeyTime_ = time;
  lastKeyCode_ = code;
  if (enter) {
    queueEvent({EventType::Click, window, button, 0, 0});
    return true;
  }
  if (window < 0) window = 0;
  queueEvent({code == WXK_F1 ? EventType::KeyF1 : EventType::KeyF2, window, 0, 0, 0});
  return true;
}

void WxUi::statusBarClicked(int window, int x) {
  queueEvent({EventType::StatusBarClick, window, 0, 0, x});
}

void WxUi::ensureLoopActive() {
  // Modal dialogs bring their own loop and put ours back when they end.
  if (!wxEventLoopBase::GetActive()) wxEventLoopBase::SetActive(loop_);
}

void WxUi::dispatchAvailable() {
  ensureLoopActive();
  flushPending();
  if (wxEventLoopBase::GetActive() != loop_) return;
  // Bounded, so that an idle handler asking for more cannot hold the program here.
  const int64_t start = nowMs();
  for (int n = 0; n < 500 && loop_->Pending(); ++n) {
    loop_->Dispatch();
    if (nowMs() - start > 50) break;
  }
  if (wxTheApp) wxTheApp->ProcessPendingEvents();
  flushPending();
}

bool WxUi::takeEvent(UiEvent& event) {
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

bool WxUi::pollEvent(UiEvent& event) {
  if (!onMain()) return false;
  if (takeEvent(event)) return true;
  dispatchAvailable();
  return takeEvent(event);
}

bool WxUi::waitEvent(int ms, UiEvent& event) {
  if (!onMain()) return false;
  if (takeEvent(event)) return true;
  const int64_t deadline = nowMs() + (ms > 0 ? ms : 0);
  for (;;) {
    dispatchAvailable();
    if (takeEvent(event)) return true;
    const int64_t remaining = deadline - nowMs();
    if (remaining <= 0) return false;
    ensureLoopActive();
    if (wxEventLoopBase::GetActive() == loop_) {
      loop_->DispatchTimeout(static_cast<unsigned long>(remaining));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

void WxUi::processPendingEvents() {
  if (!onMain()) return;
  dispatchAvailable();
  // Paint what became visible, so a start window is drawn before long work begins.
  for (auto& [number, w] : windows_)
    if (w.frame->IsShown()) w.frame->Update();
  dispatchAvailable();
}

}  // namespace wxui

std::unique_ptr<Ui> createWxUi(int argc, char** argv) {
  static char name[] = "kantelwerk";
  static char* fallback[] = {name, nullptr};
  int ac = argc;
  char** av = argv;
  if (ac <= 0 || !av) {
    ac = 1;
    av = fallback;
  }
  wxSetAssertHandler(wxui::assertToStderr);
#ifdef NDEBUG
  // The toolkit's own debugging chatter ("lost focus even though it didn't have it") is
  // no news for a user.
  wxLog::SetLogLevel(wxLOG_Warning);
#endif
  wxApp::SetInstance(new wxui::App);
  if (!wxEntryStart(ac, av)) return nullptr;
  if (!wxTheApp || !wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return nullptr;
  }
  // Log messages go to stderr rather than popping up boxes of their own.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  return std::make_unique<wxui::WxUi>();
}

}  // namespace kw
