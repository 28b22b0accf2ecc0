#include "app/steller_window.h"

#include <gtest/gtest.h>

#include <optional>

#include "buslink/steller_rows.h"
#include "config/program_prefs.h"
#include "window_texts.h"

namespace kw::test {
namespace {

using namespace steller;
constexpr int kWin = win::kSteller;

class StellerWindow : public ::testing::Test {
 protected:
  void SetUp() override { addWindowTexts(h); }
  void start(const std::string& programPrefs = "") {
    if (!programPrefs.empty()) h.system.files[kProgramPreferencesFile] = programPrefs;
    h.start();
  }
  void event(EventType type, int control, int value = 0, int window = kWin) {
    h.ui.inject({type, window, control, value, 0});
    h.run(1);
  }
  void menu14() { event(EventType::MenuItem, menu::kSteller, 0, win::kMain); }
  // Row `row` bound to `address`, live; the bus thread held still so that the request
  // queue can be looked at.
  void liveRow(int row, int address) {
    h.ui.setText(kWin, kFirstAddressList + row, std::to_string(address));
    h.ui.setState(kWin, kFirstLiveToggle + row, 1);
  }
  void holdBusThread() {
    h.ctx->bus.stopFlag = 1;
    h.clock.sleep(5);
  }
  std::string programFile() { return h.system.files[kProgramPreferencesFile]; }

  Harness h;
};

TEST_F(StellerWindow, MenuOpensItAtItsPlaceWithFourRows) {
  start(
      "[Steller]\r\nStellerPosX = 300\r\nStellerPosY = 40\r\nSteller1 = 20\r\nSteller3 = 111\r\n"
      "Steller4 = 500\r\n[Bus]\r\nBus = 2\r\n");
  menu14();
  const HeadlessWindow* w = h.ui.window(kWin);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->visible);
  EXPECT_EQ(w->rect, (Rect{300, 40, 454, 106}));
  EXPECT_EQ(w->desc.title, "DE text 633");
  EXPECT_EQ(h.ui.text(kWin, kBusNumber), "2");
  EXPECT_EQ(h.ui.text(kWin, kFirstAddressList), "20");
  EXPECT_EQ(h.ui.text(kWin, kFirstAddressList + 1), "0");
  EXPECT_EQ(h.ui.text(kWin, kFirstAddressList + 2), "111");
  EXPECT_EQ(h.ui.selection(kWin, kFirstAddressList + 3), -1);  // 500 is no address
  for (int row = 0; row < kRows; ++row) EXPECT_EQ(h.ui.state(kWin, kFirstLiveToggle + row), 0);
}

TEST_F(StellerWindow, ControlsSitWhereTheLayoutPutsThem) {
  start();
  menu14();
  struct Row {
    int id;
    ControlKind kind;
    Rect rect;
    std::string text;
  };
  const Row rows[] = {
      {kBusNumber, ControlKind::Label, {30, 42, 20, 20}, "0"},
      {kFirstAddressList, ControlKind::DropDown, {95, 4, 45, 21}, "0"},  // slot 1 holds 0
      {kFirstLiveToggle + 1, ControlKind::ToggleButton, {144, 31, 38, 20}, "DE text 632"},
      {bitButton(0, 7), ControlKind::ToggleButton, {188, 4, 20, 20}, "8"},
      {bitButton(2, 0), ControlKind::ToggleButton, {328, 58, 20, 20}, "1"},
      {bitButton(3, 1), ControlKind::ToggleButton, {308, 85, 20, 20}, "2"},
      {kFirstAllOn + 3, ControlKind::Button, {350, 85, 50, 20}, "DE text 648"},
      {kFirstAllOff + 2, ControlKind::Button, {400, 58, 50, 20}, "DE text 647"},
  };
  for (const Row& r : rows) {
    const HeadlessControl* c = h.ui.control(kWin, r.id);
    ASSERT_NE(c, nullptr) << r.id;
    EXPECT_EQ(c->desc.kind, r.kind) << r.id;
    EXPECT_EQ(c->desc.rect, r.rect) << r.id;
    EXPECT_EQ(h.ui.text(kWin, r.id), r.text) << r.id;
  }
  EXPECT_EQ(bitButton(3, 7), 2686);
  // Sorted as text: "10" follows "1".
  const auto items = h.ui.items(kWin, kFirstAddressList + 2);
  ASSERT_EQ(items.size(), 112u);
  EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 5),
            (std::vector<std::string>{"0", "1", "10", "100", "101"}));
  EXPECT_EQ(items.back(), "99");
}

TEST_F(StellerWindow, BitButtonsWriteTheAddressValueWithTheirBitChanged) {
  struct Case {
    int value;
    int bit;
    int down;
    int written;
  };
  const Case cases[] = {
      {5, 1, 1, 7},     // row live on address 20 holding 5: button "2" writes 7
      {5, 0, 0, 4},     // button "1" released
      {0, 7, 1, 0x80},  // button "8"
      {0xFF, 7, 0, 0x7F}, {0x40, 6, 1, 0x40},  // already set: written anyway
  };
  for (const Case& c : cases) {
    Harness h2;
    addWindowTexts(h2);
    h2.start();
    toggleStellerWindow(*h2.ctx);
    h2.ui.setText(kWin, kFirstAddressList, "20");
    h2.ui.setState(kWin, kFirstLiveToggle, 1);
    h2.ctx->bus.stopFlag = 1;
    h2.clock.sleep(5);
    h2.ctx->bus.setMirror(0, 20, static_cast<int16_t>(c.value));
    h2.ui.inject({EventType::Click, kWin, bitButton(0, c.bit), c.down, 0});
    const Tick t0 = h2.clock.now();
    h2.run(1);
    EXPECT_EQ(h2.ctx->queue.take(), (BusRequest{2, 20, c.written})) << c.value << " bit " << c.bit;
    EXPECT_GE(tickDiff(h2.clock.now(), t0), 200);  // the switch waits its 200 ms
  }
}

// The value a bit button changes is the one of the current bus, not of bus 0.
TEST_F(StellerWindow, ABitWriteTakesTheValueOfTheCurrentBus) {
  start("[Bus]\r\nBus = 2\r\n");
  ASSERT_EQ(h.ctx->currentBus(), 2);
  menu14();
  liveRow(0, 20);
  holdBusThread();
  h.ctx->bus.setMirror(0, 20, 0xF0);
  h.ctx->bus.setMirror(2, 20, 5);
  event(EventType::Click, bitButton(0, 1), 1);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 20, 7}));
}

TEST_F(StellerWindow, TheClickDecidesEvenWhenTheBusHasPutTheButtonBack) {
  start();
  menu14();
  liveRow(1, 33);
  holdBusThread();
  h.ui.setState(kWin, bitButton(1, 2), 0);  // the bus thread's view of the bit
  event(EventType::Click, bitButton(1, 2), 1);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 33, 4}));
}

TEST_F(StellerWindow, AllOnAndAllOffActOnlyOnALiveRow) {
  struct Case {
    int button;
    bool live;
    std::optional<BusRequest> written;
  };
  const Case cases[] = {
      {kFirstAllOn + 2, true, BusRequest{2, 64, 255}},
      {kFirstAllOff + 2, true, BusRequest{2, 64, 0}},
      {kFirstAllOn + 2, false, std::nullopt},
      {kFirstAllOff + 2, false, std::nullopt},
  };
  for (const Case& c : cases) {
    Harness h2;
    addWindowTexts(h2);
    h2.start();
    toggleStellerWindow(*h2.ctx);
    h2.ui.setText(kWin, kFirstAddressList + 2, "64");
    h2.ui.setState(kWin, kFirstLiveToggle + 2, c.live ? 1 : 0);
    h2.ctx->bus.stopFlag = 1;
    h2.clock.sleep(5);
    h2.ui.inject({EventType::Click, kWin, c.button, 0, 0});
    h2.run(1);
    EXPECT_EQ(h2.ctx->queue.take(), c.written) << c.button << " live " << c.live;
    EXPECT_TRUE(h2.ui.messages.empty());
  }
}

TEST_F(StellerWindow, ABitButtonOfARowNotLiveDoesNothing) {
  start();
  menu14();
  h.ui.setText(kWin, kFirstAddressList, "20");
  holdBusThread();
  event(EventType::Click, bitButton(0, 3), 1);
  EXPECT_FALSE(h.ctx->queue.take().has_value());
}

TEST_F(StellerWindow, InProgrammingModeSwitchingIsRefusedWithAMessage) {
  start();
  menu14();
  liveRow(0, 20);
  holdBusThread();
  h.ctx->bus.programmingMode = 1;
  for (int button : {kFirstAllOn, kFirstAllOff, bitButton(0, 4)})
    event(EventType::Click, button, 1);
  ASSERT_EQ(h.ui.messages.size(), 3u);
  for (const RecordedMessage& m : h.ui.messages) {
    EXPECT_EQ(m.owner, kWin);
    EXPECT_EQ(m.title, "DE text 633");
    EXPECT_EQ(m.text, "DE text 634");
  }
  EXPECT_FALSE(h.ctx->queue.take().has_value());
}

TEST_F(StellerWindow, ChoosingAnotherAddressReleasesTheRowsToggle) {
  start();
  menu14();
  liveRow(0, 20);
  liveRow(1, 21);
  h.ui.setText(kWin, kFirstAddressList, "30");
  event(EventType::SelectionChanged, kFirstAddressList, 5);
  EXPECT_EQ(h.ui.state(kWin, kFirstLiveToggle), 0);
  EXPECT_EQ(h.ui.state(kWin, kFirstLiveToggle + 1), 1);
}

TEST_F(StellerWindow, TheToggleTakesTheRowsAddressIntoItsSlot) {
  h.system.files[kProgramPreferencesFile] = "";
  start();
  menu14();
  h.ui.setText(kWin, kFirstAddressList + 3, "42");
  h.ui.setState(kWin, kFirstLiveToggle + 3, 1);
  event(EventType::Click, kFirstLiveToggle + 3, 1);
  EXPECT_EQ(h.ctx->programPrefs.stellerSlots[4], 42);
  h.ui.setText(kWin, kFirstAddressList + 3, "7");  // released: taken again
  event(EventType::Click, kFirstLiveToggle + 3, 0);
  event(EventType::KeyF2, 0, 0, win::kMain);
  h.run(400);
  EXPECT_NE(programFile().find("StellerOffen = 1\r\n"), std::string::npos);
  EXPECT_NE(programFile().find("Steller4 = 7\r\n"), std::string::npos);
}

TEST_F(StellerWindow, LiveRowsFollowTheBus) {
  start("[Bus]\r\nBus = 3\r\n");
  menu14();
  liveRow(0, 20);
  h.ui.setText(kWin, kFirstAddressList + 1, "20");  // same address, not live
  h.ui.setState(kWin, bitButton(1, 0), 1);
  h.ctx->bus.setMirror(3, 20, 0xA5);
  h.ctx->bus.setMirror(0, 20, 0x00);  // another bus: not looked at
  h.run(10);
  for (int bit = 0; bit < kBits; ++bit)
    EXPECT_EQ(h.ui.state(kWin, bitButton(0, bit)), (0xA5 >> bit) & 1) << bit;
  EXPECT_EQ(h.ui.state(kWin, bitButton(1, 0)), 1);
  EXPECT_EQ(h.ui.state(kWin, bitButton(1, 1)), 0);
  h.ctx->bus.setMirror(3, 20, 0x01);
  h.run(10);
  EXPECT_EQ(h.ui.state(kWin, bitButton(0, 0)), 1);
  EXPECT_EQ(h.ui.state(kWin, bitButton(0, 7)), 0);
}

TEST_F(StellerWindow, WithoutTheWindowNothingFollowsAndAddressesAreDecimal) {
  HeadlessUi ui;
  BusState bus;
  bus.setMirror(0, 9, 0xFF);
  followStellerRows(ui, bus);  // no window: nothing to do, nothing created
  EXPECT_FALSE(ui.windowOpen(kWin));
  EXPECT_EQ(stellerAddress(""), 0);
  EXPECT_EQ(stellerAddress("105"), 105);
  EXPECT_EQ(stellerAddress("12x"), 12);
  EXPECT_GE(stellerAddress("99999999"), kBusAddresses);  // no address: the mirror gives 0
}

TEST_F(StellerWindow, ABusChangeShowsTheNewBusAndReleasesTheToggles) {
  h.system.files[kSuitePreferencesFile] = "[Bus2Com]\r\nBus4Akt = 1\r\n";
  start();
  menu14();
  liveRow(0, 20);
  liveRow(3, 21);
  event(EventType::Click, 2015, 1, win::kMain);
  EXPECT_EQ(h.ctx->currentBus(), 4);
  EXPECT_EQ(h.ui.text(kWin, kBusNumber), "4");
  for (int row = 0; row < kRows; ++row) EXPECT_EQ(h.ui.state(kWin, kFirstLiveToggle + row), 0);
}

TEST_F(StellerWindow, CloseBoxThenQuitStoresTheNewPlaceMenuCloseKeepsTheOld) {
  struct Case {
    bool byCloseBox;
    std::string stored;
  };
  const Case cases[] = {
      {true, "StellerOffen = 0\r\nStellerPosX = 700\r\nStellerPosY = 450\r\n"},
      {false, "StellerOffen = 0\r\nStellerPosX = 300\r\nStellerPosY = 40\r\n"},
  };
  for (const Case& c : cases) {
    Harness h2;
    addWindowTexts(h2);
    h2.system.files[kProgramPreferencesFile] =
        "[Steller]\r\nStellerPosX = 300\r\nStellerPosY = 40\r\n";
    h2.start();
    h2.ui.inject({EventType::MenuItem, win::kMain, menu::kSteller, 0, 0});
    h2.run(1);
    h2.ui.moveWindow(kWin, 700, 450);
    if (c.byCloseBox) {
      h2.ui.inject({EventType::CloseBox, kWin, 0, 0, 0});
    } else {
      h2.ui.inject({EventType::MenuItem, win::kMain, menu::kSteller, 0, 0});
    }
    h2.run(1);
    EXPECT_FALSE(h2.ui.windowOpen(kWin));
    h2.ui.answerNext(mb::kAnswerYes);
    h2.ui.inject({EventType::MenuItem, win::kMain, menu::kQuit, 0, 0});
    EXPECT_EQ(h2.expectExit([&] { h2.run(3000); }), 0);
    EXPECT_NE(h2.system.files[kProgramPreferencesFile].find(c.stored), std::string::npos)
        << (c.byCloseBox ? "close box" : "menu");
  }
}

TEST_F(StellerWindow, OpenAtQuitItReopensAtTheNextStartAtItsPlace) {
  h.system.files[kProgramPreferencesFile] = "";
  start();
  menu14();
  h.ui.setText(kWin, kFirstAddressList + 1, "77");
  event(EventType::Click, kFirstLiveToggle + 1, 1);
  h.ui.moveWindow(kWin, 820, 610);
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.inject({EventType::CloseBox, win::kMain, 0, 0, 0});
  EXPECT_EQ(h.expectExit([&] { h.run(3000); }), 0);
  EXPECT_FALSE(h.ui.windowOpen(kWin));  // closed after the file was written
  const std::string saved = programFile();
  EXPECT_NE(saved.find("StellerOffen = 1\r\nStellerPosX = 820\r\nStellerPosY = 610\r\n"
                       "Steller1 = 0\r\nSteller2 = 77\r\n"),
            std::string::npos);

  Harness next;
  addWindowTexts(next);
  next.system.files[kProgramPreferencesFile] = saved;
  next.start();
  ASSERT_TRUE(next.ui.windowOpen(kWin));
  EXPECT_EQ(next.ui.windowRect(kWin), (Rect{820, 610, 454, 106}));
  EXPECT_EQ(next.ui.text(kWin, kFirstAddressList + 1), "77");
  // Still open, so the next save keeps the setting instead of losing it.
  saveProgramPreferences(*next.ctx);
  EXPECT_NE(next.system.files[kProgramPreferencesFile].find("StellerOffen = 1\r\n"),
            std::string::npos);
}

TEST_F(StellerWindow, StartsClosedWhenItWasClosedAtQuit) {
  start("[Steller]\r\nStellerOffen = 0\r\n");
  EXPECT_FALSE(h.ui.windowOpen(kWin));
  menu14();
  EXPECT_TRUE(h.ui.windowOpen(kWin));
  menu14();
  EXPECT_FALSE(h.ui.windowOpen(kWin));
}

}  // namespace
}  // namespace kw::test
