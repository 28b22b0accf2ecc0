// Inside of the Win32 user interface: the window and control tables that only the main
// (GUI) thread touches, and the value store that every thread may read and write.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui.h"

namespace kw::win32ui {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
inline COLORREF toColorRef(Colour c) { return static_cast<COLORREF>(c); }  // same 0x00BBGGRR

// Bits of a control value that another thread changed and the control has not shown yet.
enum Dirty : unsigned {
  kDirtyText = 1,
  kDirtyState = 2,
  kDirtyEnabled = 4,
  kDirtyImage = 8,
};

// What any thread may know about a control. The store is the truth: the GUI thread keeps
// it current on every user change, and controls are brought in line with it.
struct ControlValue {
  ControlKind kind = ControlKind::Label;
  std::string text;
  int state = 0;
  bool enabled = true;
  int image = 0;
  int rangeMin = 0;
  int rangeMax = 100;
  int group = 0;  // option buttons: exclusive group, 0 for other kinds
  std::vector<std::string> items;
  unsigned dirty = 0;
};

struct StatusField {
  std::string text;
  Align align = Align::Left;
  int image = 0;
  std::optional<StatusDraw> draw;
};

struct WindowValue {
  std::map<int, ControlValue> controls;
  std::vector<StatusField> status;
  Rect rect;
};

// GUI-thread side of a control.
struct ControlWidget {
  ControlSpec desc;
  HWND hwnd = nullptr;
  HWND buddy = nullptr;    // the arrows of a spin field
  HWND tooltip = nullptr;  // its balloon, when it has one
  std::vector<HWND> pages;  // tab control: one child window per page
  Colour background = kNoColour;
  Colour textColour = kNoColour;
};

struct WindowWidgets {
  WindowSpec desc;
  HWND hwnd = nullptr;
  HWND statusBar = nullptr;
  HMENU menuBar = nullptr;
  std::vector<int> statusWidths;
  std::map<int, ControlWidget> controls;
  std::map<int, HMENU> menuOf;  // menu item -> the menu that holds it
  std::map<HWND, int> lastOptionGroup;  // per parent: group of the last option button
  std::vector<HICON> statusIcons;       // one per field, owned here
  std::vector<int> statusImages;        // the image each field shows
};

class Win32Ui final : public Ui {
 public:
  explicit Win32Ui(HINSTANCE instance);
  ~Win32Ui() override;

  void registerImage(int number, const Image& image) override;

  bool openWindow(int window, const WindowSpec& desc) override;
  void closeWindow(int window) override;
  bool windowOpen(int window) const override;
  void showWindow(int window, bool visible) override;
  void setWindowTitle(int window, const std::string& title) override;
  Rect windowRect(int window) const override;
  void moveWindow(int window, int x, int y) override;
  int windowState(int window) const override;
  void processPendingEvents() override;

  void setMenu(int window, const std::vector<MenuTitle>& menu) override;
  void setMenuCheck(int window, int item, bool checked) override;
  void createPopupMenu(int menu, const std::vector<MenuItem>& items) override;
  void showPopupMenu(int window, int menu) override;

  void createStatusBar(int window, const std::vector<int>& widths) override;
  void setStatusText(int window, int field, const std::string& text, Align align) override;
  void setStatusImage(int window, int field, int image) override;
  void setStatusDraw(int window, int field, const StatusDraw& draw) override;

  bool createControl(int window, const ControlSpec& desc) override;
  bool controlExists(int window, int control) const override;
  void setText(int window, int control, const std::string& text) override;
  std::string text(int window, int control) const override;
  void setState(int window, int control, int state) override;
  int state(int window, int control) const override;
  void setEnabled(int window, int control, bool enabled) override;
  bool enabled(int window, int control) const override;
  void setVisible(int window, int control, bool visible) override;
  void setBackground(int window, int control, Colour colour) override;
  void setTextColour(int window, int control, Colour colour) override;
  void setImage(int window, int control, int image) override;
  void setRange(int window, int control, int min, int max) override;
  void setItems(int window, int control, const std::vector<std::string>& items) override;
  void addItem(int window, int control, const std::string& item) override;
  std::vector<std::string> items(int window, int control) const override;
  void setSelection(int window, int control, int index) override;
  bool selectByText(int window, int control, const std::string& text) override;
  int selection(int window, int control) const override;
  void setTooltip(int window, int control, const std::string& text, const std::string& title,
                  int icon) override;
  void setFocus(int window, int control) override;

  int messageBox(int owner, const std::string& title, const std::string& text,
                 int flags) override;
  void showFatalMessage(const std::string& title, const std::string& text) override;
  std::optional<std::string> openFileDialog(const FileDialogSpec& desc) override;
  std::optional<std::string> saveFileDialog(const FileDialogSpec& desc) override;
  void setWaitCursor(bool on) override;
  void movePointer(int x, int y) override;

  ScreenMetrics screen() const override;
  bool ctrlHeld() const override;

  bool waitEvent(int ms, UiEvent& event) override;
  bool pollEvent(UiEvent& event) override;

  // --- Used by the window procedures ---------------------------------------------
  LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool topLevel);

 private:
  using Lock = std::lock_guard<std::mutex>;
  struct ControlRef {
    int window = -1;
    int control = 0;
  };

  bool onMain() const { return std::this_thread::get_id() == mainThread_; }
  // Runs a GUI-thread-only call later on the GUI thread when it came from elsewhere.
  void postToMain(std::function<void()> fn);
  void runPosted();

  WindowWidgets* findWindow(int window);
  const WindowWidgets* findWindow(int window) const;
  ControlWidget* findControl(int window, int control);
  int windowOfHwnd(HWND hwnd) const;
  HWND ownerHwnd(int window) const;
  void forgetWindow(int window);
  void queueEvent(const UiEvent& event);
  bool isMenuItem(int window, int id) const;
  // The Enter key of a window without a default push button of its own in focus.
  bool pressDefaultButton(int window);

  // Value store (caller holds mutex_).
  ControlValue* value(int window, int control);
  const ControlValue* value(int window, int control) const;
  void markDirty(int window, int control, unsigned bits);
  template <typename Change>
  void updateValue(int window, int control, Change change);
  void requestFlush();
  void applyText(ControlValue& v, const std::string& text, unsigned& bits);
  void applyState(int window, ControlValue& v, int state, unsigned& bits);

  // Brings controls in line with the store after other threads changed it.
  void flushPending();
  void showValue(int window, int control, const ControlValue& v, unsigned bits);
  void showTab(ControlWidget& c, int page);

  // Creation.
  HWND parentFor(WindowWidgets& w, const ControlSpec& desc);
  bool createWidget(WindowWidgets& w, HWND parent, const ControlSpec& desc, ControlWidget& cw,
                    ControlValue& v);
  void createTabPages(ControlWidget& cw);
  void destroyControl(int window, int control);

  // Control notifications (WM_COMMAND, WM_NOTIFY, WM_HSCROLL).
  void onCommand(HWND control, int code);
  void onNotify(const NMHDR& hdr);
  void onScroll(HWND control);
  void userChangedText(const ControlRef& ref, HWND hwnd);
  void userChangedState(const ControlRef& ref, int state);
  void optionClicked(const ControlRef& ref);
  LRESULT colourFor(HDC dc, HWND control, bool& handled);
  bool drawItem(const DRAWITEMSTRUCT& item);
  void drawStatusField(const DRAWITEMSTRUCT& item);
  void drawPicture(const DRAWITEMSTRUCT& item);

  // Status bar and menus.
  void layoutStatusBar(WindowWidgets& w);
  void refreshStatusBar(int window);
  void showStatusField(WindowWidgets& w, int field, const StatusField& f);
  int textWidth(HWND hwnd, const std::wstring& text) const;
  HFONT fittingFont(HDC dc, const std::wstring& text, int width);
  HMENU buildMenu(const std::vector<MenuItem>& items, WindowWidgets* w, bool popup);
  HBITMAP menuBitmap(int image);
  HBRUSH brush(Colour colour);

  // Events.
  bool filterKey(const MSG& msg);
  void dispatchAvailable();
  bool takeEvent(UiEvent& event);

  HINSTANCE instance_;
  std::thread::id mainThread_;
  HWND messageWindow_ = nullptr;  // receives the work that other threads post
  HFONT font_ = nullptr;
  int lineHeight_ = 13;  // of font_

  // GUI thread only.
  std::map<int, WindowWidgets> windows_;
  std::map<HWND, ControlRef> controlOfHwnd_;
  std::map<int, Image> images_;
  std::map<int, HBITMAP> menuBitmaps_;
  std::map<Colour, HBRUSH> brushes_;
  std::map<LONG, HFONT> statusFonts_;  // smaller fonts for status texts, by height
  std::map<int, std::vector<MenuItem>> popups_;
  std::deque<UiEvent> events_;
  int suppress_ = 0;  // >0 while the program itself changes controls: no events then
  int busyDepth_ = 0;
  int nextGroup_ = 1;

  // Shared between threads.
  mutable std::mutex mutex_;
  std::map<int, WindowValue> store_;
  std::set<std::pair<int, int>> dirty_;
  std::set<int> dirtyStatus_;
  bool flushPosted_ = false;
  std::deque<std::function<void()>> posted_;
  mutable ScreenMetrics screen_;

  friend class SuppressEvents;
};

// While alive, changes the program makes to controls produce no events.
class SuppressEvents {
 public:
  explicit SuppressEvents(Win32Ui& ui) : ui_(ui) { ++ui_.suppress_; }
  ~SuppressEvents() { --ui_.suppress_; }
  SuppressEvents(const SuppressEvents&) = delete;
  SuppressEvents& operator=(const SuppressEvents&) = delete;

 private:
  Win32Ui& ui_;
};

// Window messages of the backend itself.
constexpr UINT kMsgFlush = WM_APP + 1;  // other threads changed values
constexpr UINT kMsgRun = WM_APP + 2;    // other threads posted GUI-thread work

// Images as device-independent bitmaps. Pictures and status-bar icons are blended onto
// the dialog face colour; menu bitmaps keep their alpha (premultiplied).
HBITMAP faceBitmap(const Image& image, COLORREF face);
HBITMAP alphaBitmap(const Image& image);
HICON iconOf(const Image& image);

}  // namespace kw::win32ui
