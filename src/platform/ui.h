// The windowing system as the program sees it: windows and controls are addressed by
// number, events come back as plain records. Implemented over wxWidgets for the real
// program and in memory for the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kw {

// Colours are 0x00BBGGRR like the values stored in the suite preference file.
using Colour = int32_t;
constexpr Colour kNoColour = -1;  // default / transparent
constexpr Colour rgb(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int colourRed(Colour c) { return c & 0xFF; }
constexpr int colourGreen(Colour c) { return (c >> 8) & 0xFF; }
constexpr int colourBlue(Colour c) { return (c >> 16) & 0xFF; }

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool operator==(const Rect&) const = default;
};

// Window numbers used throughout the program.
namespace win {
constexpr int kMain = 0;
constexpr int kBackupShow = 2;
constexpr int kService = 3;
constexpr int kSettings = 13;
constexpr int kSteller = 16;
constexpr int kRoster = 20;
constexpr int kStart = 64;
constexpr int kWait = 100;
constexpr int kCount = 69;  // size of the window handle table
}  // namespace win

struct WindowSpec {
  int owner = -1;  // window number of the owner, -1 for none
  std::string title;
  Rect rect;             // outer size; x/y ignored when centred
  bool centred = false;  // centre on the primary screen
  bool visible = true;
  bool closeBox = true;
  bool resizable = false;
  bool minimiseBox = false;
  bool waitCursor = false;  // the class cursor is the hourglass
};

enum class ControlKind {
  Label,
  NumericField,   // digits only, maxLength
  TextField,      // free text, maxLength
  ReadOnlyField,  // shows a value, cannot be typed into
  DisplayField,   // disabled edit filled by the program
  DropDown,       // fixed items, state = selected index
  CheckBox,
  OptionButton,  // exclusive within its parent/group
  ToggleButton,  // push button that stays down
  Slider,
  Spin,
  Button,
  Frame,
  StatusLabel,
  Picture,
  ProgressBar,
  TabControl,
  // A list of rows in columns (the native report list, so screen readers read it):
  // ControlSpec.items are the column headings; setItems gives the rows, each row's cells
  // separated by kCellSeparator; selection/state is the chosen row (-1: none).
  // SelectionChanged reports a row chosen (value = row), ColumnClick a heading clicked.
  ListView,
};

// Separates the cells of a ListView row.
constexpr char kCellSeparator = '\t';

// The cells of a ListView row, as the backends show them.
inline std::vector<std::string> splitCells(const std::string& row) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    const size_t end = row.find(kCellSeparator, start);
    cells.push_back(row.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return cells;
    start = end + 1;
  }
}

enum class Align { Left, Centre, Right };

struct ControlSpec {
  ControlKind kind = ControlKind::Label;
  int id = 0;
  Rect rect;         // relative to the parent's client area
  std::string text;  // caption or initial text
  int parent = 0;    // 0 = the window itself, otherwise a TabControl's id
  int page = 0;      // page of that tab control
  int maxLength = 0;  // numeric/text fields, 0 = unlimited
  Align align = Align::Left;
  bool multiLine = false;   // buttons with wrapped captions, multi-line tab rows
  bool groupStart = false;  // first option button of a new exclusive group
  int droppedWidth = 0;     // width of an open drop-down list, 0 = control width
  int image = 0;            // Picture: image number
  int rangeMin = 0;         // Slider, Spin, ProgressBar
  int rangeMax = 100;
  std::vector<std::string> items;  // DropDown items, TabControl page captions
  bool defaultButton = false;      // Button: the Enter key in its window clicks it
};

enum class EventType {
  None,
  Click,             // buttons, check boxes, option and toggle buttons
  TextChanged,       // edit fields
  SelectionChanged,  // drop-down lists
  ValueChanged,      // sliders and spin fields
  TabChanged,        // tab controls; value = new page
  CloseBox,          // the window's close box
  MenuItem,          // control = menu item number
  KeyF1,
  KeyF2,
  StatusBarClick,  // x = pointer position in the status bar
  ColumnClick,     // ListView heading; value = column
};

struct UiEvent {
  EventType type = EventType::None;
  int window = 0;
  int control = 0;
  int value = 0;  // new tab page, selection, state or slider position
  int x = 0;
  bool operator==(const UiEvent&) const = default;
};

struct MenuItem {
  int id = 0;  // 0 = separator
  std::string text;
  int image = 0;  // 0 = none
};

struct MenuTitle {
  std::string text;
  std::vector<MenuItem> items;
};

// Message box flags, as the Windows API numbers them.
namespace mb {
constexpr int kOk = 0x00;
constexpr int kOkCancel = 0x01;
constexpr int kYesNo = 0x04;
constexpr int kIconError = 0x10;
constexpr int kIconQuestion = 0x20;
constexpr int kIconWarning = 0x30;
constexpr int kIconInformation = 0x40;
constexpr int kButtonMask = 0x0F;
constexpr int kIconMask = 0xF0;
// Answers.
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;
}  // namespace mb

struct FileDialogSpec {
  int owner = 0;
  std::string title;
  std::string pattern;  // "Description|*.ext|Description|*.*"
  std::string directory;
  std::string fileName;  // proposed name
};

// Owner-drawn status-bar field.
struct StatusDraw {
  std::string text;
  Colour textColour = rgb(0, 0, 0);
  Colour background = kNoColour;  // kNoColour = transparent
};

struct ScreenMetrics {
  int primaryWidth = 1920;
  int primaryHeight = 1080;
  int virtualWidth = 1920;
  int virtualHeight = 1080;
  int monitors = 1;
};

// 16x16 (or any size) RGBA image, rows top to bottom, 4 bytes a pixel.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

// All methods are for the main thread unless marked "any thread". The any-thread setters
// are what the bus and clock threads use; the wx backend forwards them to the main thread.
class Ui {
 public:
  virtual ~Ui() = default;

  // Images are registered once at start-up under fixed numbers.
  virtual void registerImage(int number, const Image& image) = 0;

  // Windows.
  virtual bool openWindow(int window, const WindowSpec& desc) = 0;
  virtual void closeWindow(int window) = 0;
  virtual bool windowOpen(int window) const = 0;
  virtual void showWindow(int window, bool visible) = 0;
  virtual void setWindowTitle(int window, const std::string& title) = 0;
  virtual Rect windowRect(int window) const = 0;  // outer, screen coordinates
  virtual void moveWindow(int window, int x, int y) = 0;
  virtual int windowState(int window) const = 0;  // 0 normal, 1 minimised, 2 maximised
  virtual void processPendingEvents() = 0;        // let the window system catch up

  // Menus.
  virtual void setMenu(int window, const std::vector<MenuTitle>& menu) = 0;
  virtual void setMenuCheck(int window, int item, bool checked) = 0;
  virtual void createPopupMenu(int menu, const std::vector<MenuItem>& items) = 0;
  virtual void showPopupMenu(int window, int menu) = 0;

  // Status bar.
  virtual void createStatusBar(int window, const std::vector<int>& widths) = 0;
  virtual void setStatusText(int window, int field, const std::string& text,
                             Align align = Align::Left) = 0;                       // any thread
  virtual void setStatusImage(int window, int field, int image) = 0;              // any thread
  virtual void setStatusDraw(int window, int field, const StatusDraw& draw) = 0;  // any thread

  // Controls.
  virtual bool createControl(int window, const ControlSpec& desc) = 0;
  virtual bool controlExists(int window, int control) const = 0;      // any thread
  virtual void setText(int window, int control, const std::string& text) = 0;  // any thread
  virtual std::string text(int window, int control) const = 0;        // any thread
  virtual void setState(int window, int control, int state) = 0;     // any thread
  virtual int state(int window, int control) const = 0;              // any thread
  virtual void setEnabled(int window, int control, bool enabled) = 0;  // any thread
  virtual bool enabled(int window, int control) const = 0;
  virtual void setVisible(int window, int control, bool visible) = 0;
  virtual void setBackground(int window, int control, Colour colour) = 0;
  virtual void setTextColour(int window, int control, Colour colour) = 0;
  virtual void setImage(int window, int control, int image) = 0;  // any thread
  virtual void setRange(int window, int control, int min, int max) = 0;
  virtual void setItems(int window, int control, const std::vector<std::string>& items) = 0;
  virtual void addItem(int window, int control, const std::string& item) = 0;
  virtual std::vector<std::string> items(int window, int control) const = 0;
  virtual void setSelection(int window, int control, int index) = 0;  // -1 = none
  virtual bool selectByText(int window, int control, const std::string& text) = 0;
  virtual int selection(int window, int control) const = 0;
  virtual void setTooltip(int window, int control, const std::string& text,
                          const std::string& title, int icon) = 0;
  virtual void setFocus(int window, int control) = 0;

  // Dialogs.
  virtual int messageBox(int owner, const std::string& title, const std::string& text,
                         int flags) = 0;
  // Any thread: the message of a fault that ends the program (title, text, error icon, OK
  // button), shown over the program's windows. Returns once the user has closed it, or at
  // once when no message can be shown at all. A message box asked for on the bus or clock
  // thread shows nothing; this is the call for a thread that is about to end the program.
  virtual void showFatalMessage(const std::string& title, const std::string& text) = 0;
  virtual std::optional<std::string> openFileDialog(const FileDialogSpec& desc) = 0;
  virtual std::optional<std::string> saveFileDialog(const FileDialogSpec& desc) = 0;
  virtual void setWaitCursor(bool on) = 0;
  virtual void movePointer(int x, int y) = 0;

  // Environment.
  virtual ScreenMetrics screen() const = 0;
  virtual bool ctrlHeld() const = 0;

  // Events. waitEvent blocks at most ms milliseconds; pollEvent never blocks.
  virtual bool waitEvent(int ms, UiEvent& event) = 0;
  virtual bool pollEvent(UiEvent& event) = 0;
};

}  // namespace kw
