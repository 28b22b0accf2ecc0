// The Win32 user interface with real windows (under Wine in CI): what the bus and clock
// threads write reaches the controls through the GUI thread, option groups stay exclusive,
// tab pages show only their own controls, and the close box only asks.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_ui.h"

namespace kw {
namespace {

constexpr int kWindow = 5;
const wchar_t kTitle[] = L"Win32UiTest";

// Shown as far as the control itself goes (the test window stays hidden).
bool shown(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }

std::wstring textOf(HWND h) {
  wchar_t buf[256] = {};
  GetWindowTextW(h, buf, 256);
  return buf;
}

// The child window (at any depth) of the test window whose text is `text`.
HWND childWithText(const std::wstring& text) {
  struct Search {
    std::wstring text;
    HWND found = nullptr;
  } search{text, nullptr};
  HWND top = FindWindowW(L"KantelwerkWindow", kTitle);
  EnumChildWindows(
      top,
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (textOf(h) != s->text) return TRUE;
        s->found = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class Win32UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui = createWin32Ui();
    if (!ui) GTEST_SKIP() << "no window system";
    WindowSpec window;
    window.title = "Win32UiTest";
    window.rect = {10, 10, 400, 300};
    window.visible = false;  // mapping a window costs Wine a wait for the window manager
    if (!ui->openWindow(kWindow, window)) GTEST_SKIP() << "no window system (no display)";
  }
  void add(ControlKind kind, int id, const std::string& text, int parent = 0, int page = 0,
           bool groupStart = false) {
    ControlSpec c;
    c.kind = kind;
    c.id = id;
    c.text = text;
    c.rect = {10, 10 + 25 * (id % 10), 120, 22};
    c.parent = parent;
    c.page = page;
    c.groupStart = groupStart;
    if (kind == ControlKind::TabControl) {
      c.rect = {150, 10, 220, 200};
      c.items = {"one", "two"};
    }
    ASSERT_TRUE(ui->createControl(kWindow, c));
  }
  std::vector<UiEvent> pump() {
    std::vector<UiEvent> events;
    UiEvent e;
    for (int i = 0; i < 20; ++i) {
      while (ui->pollEvent(e)) events.push_back(e);
      Sleep(5);
    }
    return events;
  }
  std::unique_ptr<Ui> ui;
};

TEST_F(Win32UiTest, ValuesFromOtherThreadsReachTheControls) {
  add(ControlKind::TextField, 1, "field");
  add(ControlKind::CheckBox, 2, "check");
  HWND field = childWithText(L"field");
  HWND check = childWithText(L"check");
  ASSERT_TRUE(field && check);
  std::thread bus([&] {
    ui->setText(kWindow, 1, "from the bus");
    ui->setState(kWindow, 2, 1);
    ui->setEnabled(kWindow, 1, false);
  });
  bus.join();
  EXPECT_TRUE(pump().empty());  // program changes are no user events
  EXPECT_EQ(textOf(field), L"from the bus");
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(field));
}

TEST_F(Win32UiTest, OptionButtonsOfAGroupExcludeEachOther) {
  add(ControlKind::OptionButton, 1, "a", 0, 0, true);
  add(ControlKind::Label, 2, "between");
  add(ControlKind::OptionButton, 3, "b");
  add(ControlKind::OptionButton, 4, "c", 0, 0, true);  // a group of its own
  ui->setState(kWindow, 1, 1);
  ui->setState(kWindow, 4, 1);
  SendMessageW(childWithText(L"b"), BM_CLICK, 0, 0);
  const std::vector<UiEvent> events = pump();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (UiEvent{EventType::Click, kWindow, 3, 1, 0}));
  const std::pair<const wchar_t*, int> expected[] = {{L"a", 0}, {L"b", 1}, {L"c", 1}};
  for (const auto& [caption, state] : expected) {
    EXPECT_EQ(SendMessageW(childWithText(caption), BM_GETCHECK, 0, 0),
              state ? BST_CHECKED : BST_UNCHECKED)
        << static_cast<char>(caption[0]);
  }
}

TEST_F(Win32UiTest, TabPagesShowOnlyTheirOwnControls) {
  add(ControlKind::TabControl, 10, "");
  add(ControlKind::Button, 11, "on one", 10, 0);
  add(ControlKind::Button, 12, "on two", 10, 1);
  HWND one = GetParent(childWithText(L"on one"));  // the pages
  HWND two = GetParent(childWithText(L"on two"));
  ASSERT_NE(one, two);
  EXPECT_TRUE(shown(one));
  EXPECT_FALSE(shown(two));
  ui->setSelection(kWindow, 10, 1);
  EXPECT_FALSE(shown(one));
  EXPECT_TRUE(shown(two));
  EXPECT_EQ(ui->selection(kWindow, 10), 1);
}

TEST_F(Win32UiTest, TheCloseBoxOnlyAsks) {
  PostMessageW(FindWindowW(L"KantelwerkWindow", kTitle), WM_CLOSE, 0, 0);
  const std::vector<UiEvent> events = pump();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, EventType::CloseBox);
  EXPECT_TRUE(ui->windowOpen(kWindow));
  ui->closeWindow(kWindow);
  EXPECT_FALSE(ui->windowOpen(kWindow));
  EXPECT_EQ(FindWindowW(L"KantelwerkWindow", kTitle), nullptr);
}

}  // namespace
}  // namespace kw

#endif  // _WIN32
