// Inside of the wxWidgets user interface: the widget tables that only the main thread
// touches, and the value store that every thread may read and write.
#pragma once

#include <wx/wx.h>

#include <wx/evtloop.h>
#include <wx/notebook.h>
#include <wx/simplebook.h>
#include <wx/spinctrl.h>
#include <wx/tglbtn.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace kw::wxui {

class StatusBar;

inline wxString toWx(const std::string& s) { return wxString::FromUTF8(s.data(), s.size()); }
inline std::string fromWx(const wxString& s) {
  const wxScopedCharBuffer buf = s.utf8_str();
  return std::string(buf.data(), buf.length());
}
inline wxColour toWxColour(Colour c) {
  if (c < 0) return wxNullColour;
  return wxColour(static_cast<unsigned char>(colourRed(c)),
                  static_cast<unsigned char>(colourGreen(c)),
                  static_cast<unsigned char>(colourBlue(c)));
}

// Bits of a control value that another thread changed and the widget has not shown yet.
enum Dirty : unsigned {
  kDirtyText = 1,
  kDirtyState = 2,
  kDirtyEnabled = 4,
  kDirtyImage = 8,
};

// What any thread may know about a control. The store is the truth: the main thread
// keeps it current on every user change, and widgets are brought in line with it.
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
  std::vector<int> statusWidths;
  std::vector<StatusField> status;
  bool statusDirty = false;
  Rect rect;
};

// Main-thread side of a control.
struct ControlWidget {
  ControlSpec desc;
  // None while the control waits for its page to be shown; the store holds its value.
  wxWindow* widget = nullptr;
  // Looks set on a control without its widget yet, done once it is made.
  std::vector<std::function<void()>> replay;
  wxWindow* box = nullptr;  // bordered panel around a status label, else none
  wxRadioButton* sentinel = nullptr;  // hidden group member that holds "none selected"
};

struct MenuEntry {
  wxMenu* menu = nullptr;
  wxMenuItem* item = nullptr;
  int image = 0;
};

struct WindowWidgets {
  WindowSpec desc;
  wxFrame* frame = nullptr;
  wxPanel* panel = nullptr;
  StatusBar* statusBar = nullptr;
  std::map<int, ControlWidget> controls;
  std::vector<int> waiting;  // controls without their widget, in the order they were made
  std::map<int, MenuEntry> menuItems;
  std::map<int, bool> checks;
  std::set<wxMenu*> menusWithChecks;  // their image items leave room for a check mark
  std::map<wxWindow*, int> lastOptionGroup;  // per parent: group of the last option button
  std::map<int, wxRadioButton*> sentinels;   // per option group
};

class WxUi final : public Ui {
 public:
  WxUi();
  ~WxUi() override;

  // The live instance, or nullptr; deferred main-thread work checks it before running.
  static WxUi* live();

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

  // --- Used by the pieces of the backend -----------------------------------------
  // Key presses seen by the application's event filter (F1/F2 from any window).
  bool filterKey(wxKeyEvent& event);
  // Copy of a window's status fields for painting.
  std::vector<StatusField> statusFields(int window) const;
  const wxBitmap* bitmap(int number) const;
  void queueEvent(const UiEvent& event);
  void statusBarClicked(int window, int x);

 private:
  using Lock = std::lock_guard<std::mutex>;

  bool onMain() const { return std::this_thread::get_id() == mainThread_; }
  // Runs a main-thread-only call later on the main thread when it came from elsewhere.
  void postToMain(std::function<void()> fn);

  WindowWidgets* findWindow(int window);
  const WindowWidgets* findWindow(int window) const;
  ControlWidget* findControl(int window, int control);
  int defaultButton(int window) const;
  int windowOfFrame(const wxWindow* frame) const;
  wxWindow* ownerFrame(int window) const;
  void forgetWindow(int window);

  // Value store (caller holds mutex_).
  ControlValue* value(int window, int control);
  const ControlValue* value(int window, int control) const;
  void markDirty(int window, int control, unsigned bits);
  template <typename Change>
  void updateValue(int window, int control, Change change);
  void markStatusDirty(int window, int field);
  void requestFlush();
  void applyText(ControlValue& v, const std::string& text, unsigned& bits);
  void applyState(int window, ControlValue& v, int state, unsigned& bits);

  // Brings widgets in line with the store after other threads changed it.
  void flushPending();
  void showValue(int window, int control, const ControlValue& v, unsigned bits);
  // Widgets of hidden pages are made when their page is first shown.
  bool pageShown(int window, int parent, int page);
  bool makeWidget(int window, const ControlSpec& desc, bool fresh);
  void syncWidget(int window, int control);
  void showPage(int window, int tab, int page);
  // Runs `look` now, or once the control's widget is made.
  bool deferLook(ControlWidget& c, std::function<void()> look);
  // Repaints the fields of `fields` (bit i: field i) only: the clock's field changes every
  // second, and the whole bar costs several times the one field.
  void refreshStatusBar(int window, uint32_t fields);

  // Widget events.
  void bindControlEvents(int window, const ControlWidget& c);
  void userChangedText(int window, int control, const std::string& text);
  void userChangedState(int window, int control, int state, const std::string& text);

  // Menus.
  wxBitmap menuBitmap(int image, bool checked, bool roomForCheck) const;
  void refreshMenuItem(WindowWidgets& w, int item);
  wxMenu* buildMenu(const std::vector<MenuItem>& items, WindowWidgets* w);
  int menuWxId(int item);
  int menuItemOf(int wxId) const;  // 0 when not one of ours

  // Event loop.
  void ensureLoopActive();
  void dispatchAvailable();
  bool takeEvent(UiEvent& event);

  // Text helpers.
  wxString wrapText(wxWindow* measure, const wxString& text, int width) const;
  void setCaption(ControlWidget& c, const std::string& text);

  std::thread::id mainThread_;
  wxGUIEventLoop* loop_ = nullptr;

  // Main thread only.
  std::map<int, WindowWidgets> windows_;
  std::map<int, wxBitmap> images_;
  std::map<int, std::vector<MenuItem>> popups_;
  std::map<int, int> menuWxIds_;  // program's item number -> toolkit id, and back
  std::map<int, int> menuItems_;
  int nextMenuWxId_ = 10000;
  std::deque<UiEvent> events_;
  int suppress_ = 0;  // >0 while the program itself changes widgets: no events then
  int busyDepth_ = 0;
  int nextGroup_ = 1;
  long lastKeyTime_ = -1;
  int lastKeyCode_ = 0;

  // Shared between threads.
  mutable std::mutex mutex_;
  std::map<int, WindowValue> store_;
  std::set<std::pair<int, int>> dirty_;
  std::map<int, uint32_t> dirtyStatus_;  // window: bit mask of its changed fields
  bool flushPosted_ = false;
  mutable ScreenMetrics screen_;

  friend class SuppressEvents;
};

// While alive, changes the program makes to widgets produce no events.
class SuppressEvents {
 public:
  explicit SuppressEvents(WxUi& ui) : ui_(ui) { ++ui_.suppress_; }
  ~SuppressEvents() { --ui_.suppress_; }
  SuppressEvents(const SuppressEvents&) = delete;
  SuppressEvents& operator=(const SuppressEvents&) = delete;

 private:
  WxUi& ui_;
};

// The six-field bar of the main window, painted entirely here so that images and
// fields drawn by the program look the same as plain text fields.
class StatusBar final : public wxStatusBar {
 public:
  StatusBar(wxFrame* parent, WxUi* ui, int window, const std::vector<int>& widths);
  static constexpr int kBorder = 2;  // gap between two fields
  // Marks the fields of `fields` (bit i: field i) for repainting.
  void refreshFields(uint32_t fields);

 private:
  void onPaint(wxPaintEvent& event);
  void onLeftDown(wxMouseEvent& event);
  // Field i's box; the last field takes what is left of the bar.
  wxRect fieldBox(size_t i) const;

  WxUi* ui_;
  int window_;
  std::vector<int> widths_;
};

// Tab control with tabs in as many rows as they need above a plain page book.
class TabRows final : public wxPanel {
 public:
  TabRows(wxWindow* parent, const wxPoint& pos, const wxSize& size,
          const std::vector<wxString>& captions);
  // Whether the captions fail to fit into one row of the given width.
  static bool needsRows(wxWindow* measure, int width, const std::vector<wxString>& captions);
  wxSimplebook* book() const { return book_; }
  void select(int page);  // no event
  void setPageText(size_t n, const wxString& text);
  std::function<void(int)> onUserSelect;

 private:
  void layoutTabs();
  void onPaint(wxPaintEvent& event);
  void onLeftDown(wxMouseEvent& event);

  std::vector<wxString> captions_;
  std::vector<wxRect> tabRects_;
  wxSimplebook* book_ = nullptr;
  int header_ = 0;
};

// The page book behind either kind of tab control.
wxBookCtrlBase* bookOf(wxWindow* tabControl);

// Makes the native widgets compact enough for the program's fixed pixel layouts.
void applyCompactTheme();
void allowNarrowSpin(wxWindow* spin);
void allowNarrowCaption(wxWindow* box);
void widenToCaption(wxWindow* box);

wxBitmap toBitmap(const Image& image);

}  // namespace kw::wxui
