// The frame every programming run shares, the direct write of family 10, the switch into
// and out of programming mode, and the order of requests under contention.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "buslink/request_queue.h"
#include "programming/module_run.h"
#include "programming/module_fixture.h"

namespace kw::test {
namespace {

TEST(ModuleRun, WaitsFollowTheBaudRate) {
  struct Row {
    uint32_t baud, program, read;
  };
  for (Row r : {Row{9600, 900, 900}, Row{38400, 900, 900}, Row{57600, 700, 700},
                Row{115200, 700, 700}, Row{200000, 700, 700}, Row{230400, 400, 250}}) {
    EXPECT_EQ(programWaitFor(r.baud), r.program) << r.baud;
    EXPECT_EQ(readTimeoutFor(r.baud), r.read) << r.baud;
  }
  // The interface's own rate reaches the run: type 0 first rate 230400, type 2 19200.
  ModuleHarness fast(moduleSuitePrefs(0, 0));
  fast.boot();
  EXPECT_EQ(fast.ctx->busLink.lastBaud(), 230400u);
}

TEST(ModuleRun, FieldValuesReadTheWayModulesExpect) {
  EXPECT_EQ(integerOf("  42abc"), 42);
  EXPECT_EQ(integerOf("x"), 0);
  EXPECT_EQ(integerOf("300"), 300);
  EXPECT_EQ(integerOf("70000"), static_cast<int16_t>(70000 & 0xFFFF));
  EXPECT_DOUBLE_EQ(decimalOf("0,7"), 0.7);
  EXPECT_DOUBLE_EQ(decimalOf(""), 0.0);
  struct Row {
    const char* text;
    double step;
    int steps;
  };
  for (Row r : {Row{"0,7", 0.35, 2}, Row{"2,1", 0.35, 6}, Row{"0", 0.35, 0}, Row{"2,4", 0.08, 30},
                Row{"0.48", 0.16, 3}, Row{"0,48", 0.16, 3}, Row{"0.48", 0.08, 6}})
    EXPECT_EQ(secondsToSteps(decimalOf(r.text), r.step), r.steps) << r.text << " / " << r.step;
  EXPECT_EQ(leadingCode("07: text", 2), 7);
  EXPECT_EQ(leadingCode("x7", 2), 0);
  EXPECT_EQ(leadingCode("", 2), 0);
  EXPECT_EQ(pad(7, 3), "007");
  EXPECT_EQ(pad(1234, 3), "1234");
}

TEST(ProgramModule, NeedsProgrammingModeAndConsent) {
  ModuleHarness h;
  h.boot();
  h.showFamily(3);
  auto w = h.press(ctl::kProgram, 500);
  EXPECT_TRUE(w.empty());
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(500));
  EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
  h.programmingModeOn();
  h.ui.answerNext(mb::kAnswerNo);
  w = h.press(ctl::kProgram, 500);
  EXPECT_TRUE(w.empty());
  EXPECT_EQ(h.ui.messages.back().title, t(577));
  EXPECT_EQ(h.ui.messages.back().flags, mb::kYesNo | mb::kIconQuestion);
  // Nothing was locked: the exit button keeps its first caption.
  EXPECT_TRUE(h.ui.enabled(win::kMain, ctl::kProgram));
  EXPECT_EQ(h.text(ctl::kCancel), t(111));
}

// Family 10: each case fills the page, presses Program, and may have a module answer.
struct DirectCase {
  const char* name;
  const char* address;
  int bits;           // toggle states of Bit 1..8
  int answerAfterMs;  // the module puts 255 on the address after this; -1 = never
  int cancelAfterMs;  // the cancel button is pressed after this; -1 = never
  const char* message;  // the message shown, "" = none
  const char* lineAt1500;
  const char* lineAt4000;
  int expectedValue;  // written to the address, -1 = nothing written
};

TEST(DirectWrite, ConfirmationEndings) {
  const DirectCase cases[] = {
      {"confirmed", "60", 0x05, 500, -1, "", "Bestätigung ist OK!", "", 5},
      {"confirmed late, OK only", "60", 0x80, 2900, -1, "", "Warten auf Bestätigung",
       "Bestätigung ist OK!", 128},
      {"no answer", "60", 0x01, -1, -1, "", "Warten auf Bestätigung",
       "Bestätigung ist NICHT OK!!!", 1},
      {"cancelled", "60", 0x01, -1, 1000, "", "", "", 1},
      {"no address", "", 0x01, -1, -1, "FEHLER: Es muss zumindest eine Adresse eingetragen sein!  ",
       "", "", -1},
      {"no bit", "60", 0x00, -1, -1, "FEHLER: Es muss zumindest ein Bit aktviert sein!  ", "", "",
       -1},
      // The written 255 stands on the address at once, like the module's confirmation.
      {"255 cannot be confirmed", "60", 0xFF, -1, -1, "t40", "", "", 255},
  };
  for (const DirectCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(10);
    h.setText(2628, c.address);
    for (int n = 0; n < 8; ++n) h.ui.setState(win::kMain, 2629 + n, (c.bits >> n) & 1);
    const Tick start = h.clock.now();
    if (c.answerAfterMs >= 0)
      h.clock.every(static_cast<uint32_t>(c.answerAfterMs), [&h] {
        h.bus().set(0, 60, 255);
        return -1;
      });
    if (c.cancelAfterMs >= 0)
      h.ui.injectAt(start + static_cast<uint32_t>(c.cancelAfterMs),
                    {EventType::Click, win::kMain, ctl::kCancel, 0});
    // The run goes on inside one main-loop pass: look at the line from the timeline.
    std::string at1500 = "-", at4000 = "-";
    h.clock.every(1500, [&] {
      at1500 = h.text(2637);
      return -1;
    });
    h.clock.every(4000, [&] {
      at4000 = h.text(2637);
      return -1;
    });
    // Not in programming mode: family 10 does not need it, but still asks.
    h.click(ctl::kProgram);
    h.run(8000);
    EXPECT_EQ(at1500, c.lineAt1500);
    EXPECT_EQ(at4000, c.lineAt4000);
    EXPECT_EQ(h.text(2637), "");
    ASSERT_FALSE(h.ui.messages.empty());
    EXPECT_EQ(h.ui.messages[0].title, t(577));
    if (*c.message) {
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].text, c.message);
    } else {
      EXPECT_EQ(h.ui.messages.size(), 1u);
    }
    if (c.expectedValue >= 0) {
      ASSERT_FALSE(h.writes.empty());
      EXPECT_EQ(h.writes[0], (BusWriteSeen{0, 60, c.expectedValue}));
    } else {
      EXPECT_TRUE(h.writes.empty());
    }
    EXPECT_TRUE(h.unlocked());
    EXPECT_FALSE(h.ui.enabled(win::kMain, ctl::kRead));  // family 10 only writes
  }
}

TEST(DirectWrite, AddressesUpTo111AreWritten) {
  for (const char* address : {"111", "112", "200"}) {
    SCOPED_TRACE(address);
    ModuleHarness h;
    h.boot();
    h.showFamily(10);
    h.setText(2628, address);
    h.ui.setState(win::kMain, 2629, 1);
    h.press(ctl::kProgram, 7000);
    if (std::string(address) == "111") {
      EXPECT_EQ(pairs(h.writes), (std::vector<std::pair<int, int>>{{111, 1}}));
    } else {
      EXPECT_TRUE(h.writes.empty());
      EXPECT_EQ(h.ui.messages.back().title, t(494));
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(DirectWrite, CloseBoxEndsTheWaitOnly) {
  ModuleHarness h;
  h.boot();
  h.showFamily(10);
  h.setText(2628, "60");
  h.ui.setState(win::kMain, 2629, 1);
  h.ui.injectAt(h.clock.now() + 1000, {EventType::CloseBox, win::kMain, 0, 0});
  const int code = h.expectExit([&] { h.press(ctl::kProgram, 2000); });
  // No verdict, no quit question, and the program goes on.
  EXPECT_EQ(code, -1);
  EXPECT_EQ(h.text(2637), "");
  EXPECT_EQ(h.ui.messages.size(), 1u);
  EXPECT_TRUE(h.unlocked());
}

TEST(ProgramModule, LockCoversTheFormAndLeavesUnusedBusesOff) {
  ModuleHarness h;
  h.boot();
  h.programmingModeOn();
  h.showFamily(3);
  h.ui.setState(win::kMain, 2334, 1);  // no question about bit 3
  const std::vector<int> locked = {2005, 2006, 2008, 2009, 2010, 2072, 2073, 2229, 2241, 2259,
                                   2268, 2269, 2274, 2283, 2300, 2302, 2304, 2310, 2315,
                                   2317, 700, 747};
  std::vector<int> enabledWhileLocked;
  std::string cancelCaption;
  std::vector<bool> busesWhileLocked, busesAfter;
  auto buses = [&] {
    std::vector<bool> out;
    for (int b = 0; b < 9; ++b) out.push_back(h.ui.enabled(win::kMain, 2011 + b));
    return out;
  };
  h.clock.every(1000, [&] {
    for (int c : locked)
      if (h.ui.enabled(win::kMain, c)) enabledWhileLocked.push_back(c);
    cancelCaption = h.ui.enabled(win::kMain, ctl::kCancel) ? h.text(ctl::kCancel) : "off";
    busesWhileLocked = buses();
    return -1;
  });
  h.press(ctl::kProgram, 8000);
  EXPECT_EQ(enabledWhileLocked, std::vector<int>{});
  EXPECT_EQ(cancelCaption, t(502));
  EXPECT_EQ(busesWhileLocked, std::vector<bool>(9, false));
  busesAfter = buses();
  // Only bus 0 is in use: the other options stay off after the unlock too.
  std::vector<bool> want(9, false);
  want[0] = true;
  EXPECT_EQ(busesAfter, want);
  EXPECT_TRUE(h.unlocked());
}

// Family 0 sub-type 17 with only the extension rows: the run starts with its 200 ms pause
// that acts on nothing, and what the user did meanwhile is answered when it ends.
TEST(ProgramModule, CancelAndCloseDuringAPauseWithoutEventsAreKept) {
  struct Case {
    const char* name;
    EventType event;  // None: nothing happens during the pause
    int control;
    bool quitAsked;
    bool rowsWritten;
  };
  const Case cases[] = {
      {"undisturbed", EventType::None, 0, false, true},
      {"cancel: no row is written", EventType::Click, ctl::kCancel, false, false},
      {"close, quit declined: the question after the pause, then every row", EventType::CloseBox,
       0, true, true},
  };
  size_t allRows = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.programmingModeOn();
    h.showFamily(0, 0);
    h.ui.setState(win::kMain, 2217, 1);  // extension rows only
    h.ui.answerNext(mb::kAnswerYes);     // program
    h.ui.answerNext(mb::kAnswerNo);      // quit
    if (c.event != EventType::None)
      h.ui.injectAt(h.clock.now() + 100, {c.event, win::kMain, c.control, 0});
    const auto w = h.press(ctl::kProgram, 60000);
    if (c.event == EventType::None) allRows = w.size();
    EXPECT_GT(allRows, 0u);
    EXPECT_EQ(w.size(), c.rowsWritten ? allRows : 0u);
    std::vector<std::string> titles;
    for (const auto& m : h.ui.messages) titles.push_back(m.title);
    EXPECT_EQ(titles, c.quitAsked ? (std::vector<std::string>{t(577), t(504)})
                                  : std::vector<std::string>{t(577)});
    EXPECT_TRUE(h.unlocked());
  }
}

// A stand-in module for the handshake: answers the request bit the way `answer` says.
enum class Handshake { Answers, LeavesAddress, Silent };

void standInModule(ModuleHarness& h, Handshake how) {
  h.onWrite = [&h, how](int a, int v) {
    if (a != 106 || (v & 0x80) == 0 || how == Handshake::Silent) return;
    h.bus().set(0, 106, static_cast<uint8_t>(v & 0x7F));
    if (how == Handshake::Answers) h.bus().set(0, 107, 0);
  };
}

TEST(ProgrammingMode, SwitchOnHandshakeAndItsEndings) {
  struct Case {
    const char* name;
    int family;
    const char* address;
    Handshake how;
    bool on;
    bool readOut;
  };
  const Case cases[] = {
      {"family 0 answers, then read", 0, "10", Handshake::Answers, true, true},
      {"family 1 answers, then read", 1, "13", Handshake::Answers, true, true},
      {"family 2 answers, then read", 2, "15", Handshake::Answers, true, true},
      {"family 3 answers, no read", 3, "103", Handshake::Answers, true, false},
      {"family 4 at 127", 4, "127", Handshake::Answers, true, true},
      {"107 left non-zero", 1, "13", Handshake::LeavesAddress, false, false},
      {"silent", 2, "15", Handshake::Silent, false, false},
  };
  const int kinds[] = {47, 45, 49, 40, 41};
  const int fields[] = {2140, 2253, 2291, 2327, 2339};
  const int buttons[] = {2218, 2287, 2287, 2332, 2352};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(c.family);
    standInModule(h, c.how);
    h.setText(fields[c.family], c.address);
    h.ui.answerNext(mb::kAnswerYes);  // switch on
    h.ui.answerNext(mb::kAnswerNo);   // the read-out's own question
    auto w = h.press(buttons[c.family], 4000);
    const int address = std::stoi(c.address);
    const std::vector<std::pair<int, int>> request = {
        {106, 40}, {105, 97}, {104, kinds[c.family]}, {107, address}, {106, 168}};
    ASSERT_GE(w.size(), 5u);
    EXPECT_EQ(pairs({w.begin(), w.begin() + 5}), request);
    EXPECT_EQ(gaps({w.begin(), w.begin() + 5}), (std::vector<int>{90, 90, 90, 90}));
    const auto& ask = h.ui.messages[0];
    EXPECT_EQ(ask.title, t(700));
    EXPECT_EQ(ask.text, t(c.family == 0 ? 717 : c.family == 1 ? 721 : c.family == 2 ? 719
                                                : c.family == 3 ? 720 : 743) +
                            t(712) + "0" + t(713) + c.address + "     \n" + t(714) +
                            (address == 127 ? "\n\n" + t(617) : std::string()));
    const auto all = pairs(w);
    const std::vector<std::pair<int, int>> tail(all.begin() + 5, all.end());
    if (c.on) {
      EXPECT_EQ(tail, (std::vector<std::pair<int, int>>{{106, 32}, {105, 0}, {104, 0}}));
      EXPECT_EQ(h.ctx->bus.programmingMode.load(), 1);
      EXPECT_EQ(h.text(buttons[c.family]), t(701));
      EXPECT_EQ(h.ui.messages.size(), c.readOut ? 2u : 1u);
      if (c.readOut) {
        EXPECT_EQ(h.ui.messages[1].title, t(575));
      }
    } else {
      EXPECT_EQ(tail, (std::vector<std::pair<int, int>>{{106, 0}, {105, 0}, {104, 0}, {107, 0}}));
      // The request bit went out at 360 ms; polling gives up 2000 ms after the 510 ms mark.
      EXPECT_EQ(tickDiff(w[5].at, w[0].at), 510 + 2000 + 50);
      EXPECT_EQ(h.ctx->bus.programmingMode.load(), 0);
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(710));
      EXPECT_EQ(h.ui.messages[1].flags, mb::kIconInformation);
      EXPECT_NE(h.ui.messages[1].text.find(t(716)), std::string::npos);
      EXPECT_EQ(h.text(buttons[c.family]), t(700));
    }
  }
}

TEST(ProgrammingMode, AddressesOutsideTheModuleRangeAreRefused) {
  for (const char* address : {"0", "104", "111", "126", ""}) {
    SCOPED_TRACE(address);
    ModuleHarness h;
    h.boot();
    h.showFamily(0);
    h.setText(2140, address);
    auto w = h.press(2218, 500);
    EXPECT_TRUE(w.empty());
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].title, t(710));
    EXPECT_EQ(h.ui.messages[0].text, t(711));
    EXPECT_EQ(h.ui.focus(), (std::pair<int, int>{win::kMain, 2140}));
  }
}

TEST(ProgrammingMode, SwitchOffWritesAndResetsTheServoFields) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, 0);  // sub-type 19
  h.programmingModeOn();
  h.setText(2253, "13");
  h.setText(2254, "77");
  h.ui.setState(win::kMain, 2264, 5);
  auto w = h.press(2287, 1000);
  EXPECT_EQ(pairs(w), (std::vector<std::pair<int, int>>{{0, 255}, {106, 0}}));
  EXPECT_EQ(gaps(w), (std::vector<int>{330}));
  EXPECT_EQ(h.ui.messages[0].title, t(701));
  EXPECT_EQ(h.text(2254), "");
  EXPECT_EQ(h.text(2262), "1");
  EXPECT_EQ(h.ui.state(win::kMain, 2264), 0);
  EXPECT_EQ(h.text(2256), t(265));
  EXPECT_EQ(h.ctx->bus.programmingMode.load(), 0);
  EXPECT_EQ(h.text(2287), t(700));
}

TEST(ProgrammingMode, QuitDuringTheSwitchWaitsForItsWrites) {
  ModuleHarness h;
  h.boot();
  h.showFamily(3);
  standInModule(h, Handshake::Answers);
  h.setText(2327, "16");
  h.ui.answerNext(mb::kAnswerYes);  // switch on
  h.ui.answerNext(mb::kAnswerYes);  // quit
  h.ui.injectAt(h.clock.now() + 200, {EventType::CloseBox, win::kMain, 0, 0});
  const int code = h.expectExit([&] { h.press(2332, 3000); });
  EXPECT_EQ(code, 0);
  // The quit came after the whole handshake, not in the middle of it.
  EXPECT_EQ(pairs(h.writes), (std::vector<std::pair<int, int>>{{106, 40}, {105, 97}, {104, 40},
                                                               {107, 16}, {106, 168}, {106, 32},
                                                               {105, 0}, {104, 0}}));
}

TEST(ProgrammingMode, AnAnswerAtALaterPollIsTaken) {
  ModuleHarness h;
  h.boot();
  h.showFamily(3);
  h.setText(2327, "16");
  h.ui.answerNext(mb::kAnswerYes);
  // The module answers 1.5 s after the click, a dozen answer polls after the request.
  h.clock.every(1500, [&h] {
    h.bus().set(0, 106, 40);
    h.bus().set(0, 107, 0);
    return -1;
  });
  const auto w = h.press(2332, 4000);
  ASSERT_EQ(w.size(), 8u);
  EXPECT_EQ(pairs({w.begin() + 5, w.end()}),
            (std::vector<std::pair<int, int>>{{106, 32}, {105, 0}, {104, 0}}));
  EXPECT_GE(tickDiff(w[5].at, w[0].at), 1500 - 1);
  EXPECT_EQ(h.ctx->bus.programmingMode.load(), 1);
  EXPECT_EQ(h.ui.messages.size(), 1u);
}

// The user agrees to quit while the module is being switched on: the switch-on ends, no
// read-out and no question follow, and the program ends.
TEST(ProgrammingMode, QuitDuringASwitchOnWithReadOutAsksNothingMore) {
  const int fields[] = {2140, 2253, 2291, 0, 2339};
  const int buttons[] = {2218, 2287, 2287, 0, 2352};
  for (int family : {0, 1, 2, 4}) {
    SCOPED_TRACE(family);
    ModuleHarness h;
    h.boot();
    h.showFamily(family);
    standInModule(h, Handshake::Answers);
    h.setText(fields[family], "16");
    h.ui.answerNext(mb::kAnswerYes);  // switch on
    h.ui.answerNext(mb::kAnswerYes);  // quit
    // The newer servo module and a turntable with a feedback address wait in programming
    // mode: quitting itself offers to leave it.
    const bool offersToLeave = family == 1 || family == 2;
    if (offersToLeave) h.ui.answerNext(mb::kAnswerNo);
    h.ui.injectAt(h.clock.now() + 200, {EventType::CloseBox, win::kMain, 0, 0});
    const int code = h.expectExit([&] { h.press(buttons[family], 40000); });
    EXPECT_EQ(code, 0);
    std::vector<std::string> titles;
    for (const auto& m : h.ui.messages) titles.push_back(m.title);
    std::vector<std::string> want = {t(700), t(504)};
    if (offersToLeave) want.push_back(t(504));
    EXPECT_EQ(titles, want);
    // Only the switch-on's own writes: nothing of a read-out.
    EXPECT_EQ(h.writes.size(), 8u);
  }
}

TEST(ProgrammingMode, SwitchOffResetsTheOlderServoTools) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, 1);  // sub-type 18
  h.programmingModeOn();
  h.setText(2253, "13");  // the address the switch names for both sub-types
  for (int c : {2225, 2244, 2245, 2246, 2249, 2250, 2251}) h.ui.setState(win::kMain, c, 7);
  for (int c : {2249, 2250, 2251}) h.setText(c, "7");
  const auto w = h.press(2287, 1000);
  EXPECT_EQ(pairs(w), (std::vector<std::pair<int, int>>{{0, 255}, {106, 0}}));
  for (int c : {2225, 2244, 2245, 2246, 2249, 2250, 2251})
    EXPECT_EQ(h.ui.state(win::kMain, c), 0) << c;
  for (int c : {2249, 2250, 2251}) EXPECT_EQ(h.text(c), "0") << c;
}

TEST(RequestQueue, OrderSurvivesABusyLockWithRealThreads) {
  RequestQueue q;
  constexpr int kCount = 200000;
  std::atomic<bool> done{false};
  std::vector<int> taken;
  taken.reserve(kCount);
  std::thread bus([&] {
    while (static_cast<int>(taken.size()) < kCount) {
      if (auto r = q.take()) taken.push_back(r->value);
      // Hold the lock now and then, as the bus thread's own appends do.
      if (taken.size() % 7 == 0) std::lock_guard<std::mutex> hold(q.requestMutex());
    }
    done = true;
  });
  int overflowed = 0;
  for (int i = 0; i < kCount; ++i) {
    q.submit(0, i);
    if (q.overflowCount() > 0) ++overflowed;
  }
  while (!done) q.drainOverflow();
  bus.join();
  ASSERT_EQ(static_cast<int>(taken.size()), kCount);
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(taken[i], i) << "overtaken at " << i;
  RecordProperty("overflowed", overflowed);
}

}  // namespace
}  // namespace kw::test

namespace kw::test {
namespace {

TEST(SimulatedLayout, ProgrammingKeysAreOfferedOnlyWithASimulatedInterface) {
  for (bool simulated : {false, true}) {
    SCOPED_TRACE(simulated);
    ModuleHarness h;
    std::vector<int> pressed;
    if (simulated)
      h.ctx->simulatedProgrammingKey = [&](int family) {
        pressed.push_back(family);
        return family != 9;  // no module of family 9 on the bus
      };
    h.boot();
    const auto& menu = h.ui.window(win::kMain)->menu;
    ASSERT_EQ(menu.size(), simulated ? 4u : 3u);
    if (!simulated) continue;
    EXPECT_EQ(menu[2].text, t(23));
    ASSERT_EQ(menu[2].items.size(), 5u);
    EXPECT_EQ(menu[2].items[0].text, t(24) + " " + t(350));
    h.ui.inject({EventType::MenuItem, win::kMain, menu[2].items[1].id, 0});
    h.ui.inject({EventType::MenuItem, win::kMain, menu[2].items[4].id, 0});
    h.run(200);
    EXPECT_EQ(pressed, (std::vector<int>{6, 9}));
    ASSERT_EQ(h.ui.messages.size(), 1u);  // family 9 had no module to press
    EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
  }
}

}  // namespace
}  // namespace kw::test
