// In-memory user interface for tests: keeps every window and control with its
// properties, takes injected events (at once or at a time on the virtual timeline),
// answers message boxes and file dialogs from a script and records every one shown.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/ui.h"

namespace kw {

struct HeadlessControl {
  ControlSpec desc;
  std::string text;
  int state = 0;
  int selection = -1;
  bool enabled = true;
  bool visible = true;
  Colour background = kNoColour;
  Colour textColour = kNoColour;
  int image = 0;
  std::vector<std::string> items;
  std::string tooltip;
  std::string tooltipTitle;
};

struct HeadlessStatusField {
  std::string text;
  Align align = Align::Left;
  int image = 0;
  std::optional<StatusDraw> draw;
};

struct HeadlessWindow {
  WindowSpec desc;
  bool visible = false;
  Rect rect;
  int state = 0;
  std::vector<MenuTitle> menu;
  std::map<int, bool> menuChecks;
  std::vector<int> statusWidths;
  std::vector<HeadlessStatusField> status;
  std::map<int, HeadlessControl> controls;
};

struct RecordedMessage {
  int owner = 0;
  std::string title;
  std::string text;
  int flags = 0;
  int answer = 0;
};

class HeadlessUi final : public Ui {
 public:
  // With a clock, waitEvent lets virtual time pass; without, it returns at once.
  explicit HeadlessUi(Clock* clock = nullptr) : clock_(clock) {}

  // --- Test side -------------------------------------------------------------------
  void inject(const UiEvent& e);  // delivered by the next poll/wait
  void injectAt(Tick when, const UiEvent& e);  // delivered once the clock reaches `when`
  // The Enter key in `window`: a click of its default button, when it has one that is
  // enabled and shown; nothing otherwise.
  void pressEnter(int window);
  // Scripted answers, used in order; when the script is empty the answer is `defaultAnswer`
  // (OK for OK boxes, this value for Yes/No boxes).
  void answerNext(int answer) { answers_.push_back(answer); }
  int defaultYesNoAnswer = mb::kAnswerNo;
  void fileDialogNext(std::optional<std::string> path) { fileAnswers_.push_back(path); }
  std::vector<RecordedMessage> messages;
  // Message boxes asked for on a thread other than the one that made this Ui. A window
  // system shows none of them (they return at once without an answer), so neither does
  // this Ui: they are only counted.
  int offThreadMessageBoxes = 0;
  std::vector<FileDialogSpec> fileDialogs;
  ScreenMetrics screenMetrics;
  bool ctrlDown = false;
  int waitCursorDepth = 0;
  std::vector<std::string> log;  // window opens/closes and the like, in order
  int pendingEvents() const;
  // Called when a message box is shown, before it is answered (lets a test act "during" it).
  std::function<void(const RecordedMessage&)> onMessage;

  const HeadlessWindow* window(int w) const;
  const HeadlessControl* control(int w, int c) const;
  HeadlessStatusField statusField(int w, int field) const;
  bool menuChecked(int w, int item) const;

  // --- Ui --------------------------------------------------------------------------
  void registerImage(int number, const Image& image) override;
  bool imageRegistered(int number) const;
  bool openWindow(int window, const WindowSpec& desc) override;
  void closeWindow(int window) override;
  bool windowOpen(int window) const override;
  void showWindow(int window, bool visible) override;
  void setWindowTitle(int window, const std::string& title) override;
  Rect windowRect(int window) const override;
  void moveWindow(int window, int x, int y) override;
  int windowState(int window) const override;
  void processPendingEvents() override {}

  void setMenu(int window, const std::vector<MenuTitle>& menu) override;
  void setMenuCheck(int window, int item, bool checked) override;
  void createPopupMenu(int menu, const std::vector<MenuItem>& items) override;
  void showPopupMenu(int window, int menu) override;
  std::vector<MenuItem> popupMenu(int menu) const;
  std::vector<int> shownPopups;

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
  std::pair<int, int> focus() const { return focus_; }

  int messageBox(int owner, const std::string& title, const std::string& text,
                 int flags) override;
  // Recorded in `messages` (owner -1, OK with the error icon) from whatever thread.
  void showFatalMessage(const std::string& title, const std::string& text) override;
  std::optional<std::string> openFileDialog(const FileDialogSpec& desc) override;
  std::optional<std::string> saveFileDialog(const FileDialogSpec& desc) override;
  void setWaitCursor(bool on) override;
  void movePointer(int x, int y) override;
  std::pair<int, int> pointer() const { return pointer_; }

  ScreenMetrics screen() const override { return screenMetrics; }
  bool ctrlHeld() const override { return ctrlDown; }

  bool waitEvent(int ms, UiEvent& event) override;
  bool pollEvent(UiEvent& event) override;

 private:
  HeadlessControl* find(int w, int c);
  const HeadlessControl* find(int w, int c) const;
  bool takeDue(UiEvent& event);

  Clock* clock_;
  const std::thread::id owner_ = std::this_thread::get_id();
  mutable std::recursive_mutex mutex_;  // the bus and clock threads set controls too
  std::map<int, HeadlessWindow> windows_;
  std::map<int, Image> images_;
  std::map<int, std::vector<MenuItem>> popups_;
  std::deque<UiEvent> events_;
  std::vector<std::pair<Tick, UiEvent>> timed_;
  std::deque<int> answers_;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::pair<int, int> focus_{-1, -1};
  std::pair<int, int> pointer_{0, 0};
};

}  // namespace kw
