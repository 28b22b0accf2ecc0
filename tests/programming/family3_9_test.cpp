// Families 3 to 9: the writes of each sequence with their order and pauses, the checks
// and questions before them, cancelling between rows and steps, the read-out's decoding
// of module answers, and a round trip per family through a stand-in module.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>

#include "forms/parameter_form.h"
#include "programming/module_fixture.h"
#include "programming/module_run.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

// Family 7's list items carry their codes like the real language files ("05: ...",
// "3: ..."); every other text reads "t<n>".
std::string text7(int n) {
  char buf[32];
  if (n >= 431 && n <= 445) {
    std::snprintf(buf, sizeof buf, "%02d: f%d", n - 430, n);
    return buf;
  }
  if (n >= 450 && n <= 457) {
    std::snprintf(buf, sizeof buf, "%d: m%d", n - 450, n);
    return buf;
  }
  return t(n);
}

// A stand-in module behind the register window: a parameter number written to address 0
// puts what the module keeps for it on addresses 1..3; data written to 1..3 is kept under
// the last parameter number.
struct RegisterModule {
  std::map<int, std::array<int, 3>> store;
  std::vector<int> asked;  // parameter numbers in the order they came
  int parameter = 0;

  void attach(ModuleHarness& h) {
    h.onWrite = [this, &h](int address, int value) {
      if (address == 0) {
        parameter = value;
        asked.push_back(value);
        const auto it = store.find(value);
        const std::array<int, 3> a = it == store.end() ? std::array<int, 3>{} : it->second;
        for (int i = 0; i < 3; ++i) h.bus().set(0, i + 1, static_cast<uint8_t>(a[i]));
      } else if (address <= 3) {
        store[parameter][static_cast<size_t>(address - 1)] = value;
      }
    };
  }
};

// A booted program in programming mode with the page of `family` shown.
struct Module : ModuleHarness {
  Module(int family, int innerTab = -1, bool codedTexts = false) {
    if (codedTexts) {
      std::string f;
      for (int n = 1; n <= 800; ++n) f += std::to_string(n) + ", " + text7(n) + "\r\n";
      system.files["Kantel_V4.Lang_DE"] = f;
    }
    boot();
    programmingModeOn();
    showFamily(family, innerTab);
  }
  void fill(std::initializer_list<std::pair<int, const char*>> texts) {
    for (auto [c, s] : texts) setText(c, s);
  }
  void states(std::initializer_list<std::pair<int, int>> s) {
    for (auto [c, v] : s) ui.setState(win::kMain, c, v);
  }
  int state(int c) const { return ui.state(win::kMain, c); }
  int selection(int c) const { return ui.selection(win::kMain, c); }
  // Presses Program and lets the whole run happen.
  std::vector<BusWriteSeen> program() { return press(ctl::kProgram, 100); }
  std::vector<BusWriteSeen> readOut() { return press(ctl::kRead, 100); }
  // Messages after the frame's own question.
  std::vector<RecordedMessage> shown() const {
    return {ui.messages.begin() + (ui.messages.empty() ? 0 : 1), ui.messages.end()};
  }
};

constexpr uint32_t W = 700;  // the fixture's interface runs at 57600 baud

std::vector<int> repeated(size_t n, int gap) { return std::vector<int>(n, gap); }

// One expected refusal or question; title -1 = "Error".
struct Shown {
  int title;
  int text;
  int flags;
};

void expectShown(const Module& h, const std::vector<Shown>& expected) {
  const auto m = h.shown();
  ASSERT_EQ(m.size(), expected.size());
  size_t i = 0;
  for (const Shown& s : expected) {
    EXPECT_EQ(m[i].title, s.title < 0 ? std::string("Error") : t(s.title));
    EXPECT_EQ(m[i].text, t(s.text));
    EXPECT_EQ(m[i].flags, s.flags);
    ++i;
  }
}

constexpr int kQuestion = mb::kOkCancel | mb::kIconQuestion;

// ------------------------------------------------------------------------------------
// Family 3

TEST(Family3Program, WritesChecksAndQuestion) {
  struct Case {
    const char* name;
    const char* address;
    const char* seconds;
    const char* digit;
    bool bit3;  // option 2334 (factory)
    bool bit6;  // option 2336
    int answer;
    std::vector<Shown> shown;
    int time;  // -1 = nothing written
  };
  const Case cases[] = {
      {"factory options", "16", "0,7", "3", true, false, 0, {}, 2 + 8},
      {"address 0 passes", "0", "1,4", "3", true, false, 0, {}, 4 + 8},
      {"2,1 and bit 6", "111", "2,1", "3", true, true, 0, {}, 6 + 8 + 64},
      {"0 seconds", "16", "0", "3", true, false, 0, {}, 8},
      {"question OK", "16", "0.7", "3", false, false, mb::kAnswerOk, {{579, 580, kQuestion}}, 2},
      {"question Cancel",
       "16",
       "0,7",
       "3",
       false,
       false,
       mb::kAnswerCancel,
       {{579, 580, kQuestion}},
       -1},
      // The question comes before the digit check: Cancel ends it without a second box.
      {"Cancel before digit",
       "16",
       "0,7",
       "9",
       false,
       false,
       mb::kAnswerCancel,
       {{579, 580, kQuestion}},
       -1},
      {"2,2 seconds", "16", "2,2", "3", true, false, 0, {{710, 625, 0}}, -1},
      {"negative seconds", "16", "-0,3", "3", true, false, 0, {{710, 625, 0}}, -1},
      {"address 112", "112", "0,7", "3", true, false, 0, {{710, 624, 0}}, -1},
      {"address -1", "-1", "0,7", "3", true, false, 0, {{710, 624, 0}}, -1},
      {"digit 8", "16", "0,7", "8", true, false, 0, {{-1, 626, 0}}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Module h(3);
    h.fill({{2327, c.address}, {2328, c.seconds}, {2329, c.digit}});
    h.states({{2334, c.bit3}, {2333, !c.bit3}, {2336, c.bit6}, {2335, !c.bit6}});
    h.ui.answerNext(mb::kAnswerYes);
    if (c.answer != 0) h.ui.answerNext(c.answer);
    const auto w = h.program();
    ASSERT_NO_FATAL_FAILURE(expectShown(h, c.shown));
    if (c.time < 0) {
      EXPECT_TRUE(w.empty());
    } else {
      EXPECT_EQ(pairs(w), (Pairs{{0, 1},
                                 {1, std::stoi(c.address)},
                                 {0, 2},
                                 {1, c.time},
                                 {0, 3},
                                 {1, std::stoi(c.digit)}}));
      EXPECT_EQ(gaps(w), repeated(5, W));
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family3Read, DecodesTheAnswers) {
  struct Case {
    int time;  // answer to parameter 2
    const char* seconds;
    int bit3Off, bit3On, bit6Off, bit6On;  // option states afterwards (2333, 2334, 2335, 2336)
  };
  // Options start as bit 3 on, bit 6 on; bits 4 and 3 both set leave bit 3's pair alone.
  const Case cases[] = {{2 | 8 | 64, "0.70", 0, 1, 0, 1},
                        {6, "2.10", 1, 0, 1, 0},
                        {3 | 16 | 8, "1.05", 0, 1, 1, 0},
                        {7 | 16, "2.45", 0, 1, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    Module h(3);
    h.states({{2333, 0}, {2334, 1}, {2335, 0}, {2336, 1}});
    RegisterModule m;
    m.store = {{1, {16}},  {2, {c.time}}, {3, {13}},  {132, {1}},
               {133, {5}}, {130, {12}},   {131, {34}}};
    m.attach(h);
    const auto w = h.readOut();
    EXPECT_EQ(m.asked, (std::vector<int>{1, 2, 3, 132, 133, 130, 131}));
    EXPECT_EQ(gaps(w), repeated(6, W));
    EXPECT_EQ(h.text(2327), "016");
    EXPECT_EQ(h.text(2328), c.seconds);
    EXPECT_EQ(h.text(2329), "5");
    EXPECT_EQ(h.text(2330), "     1.5");
    EXPECT_EQ(h.text(2331), "   12.34");
    EXPECT_EQ((std::array<int, 4>{h.state(2333), h.state(2334), h.state(2335), h.state(2336)}),
              (std::array<int, 4>{c.bit3Off, c.bit3On, c.bit6Off, c.bit6On}));
    EXPECT_TRUE(h.unlocked());
  }
}

// ------------------------------------------------------------------------------------
// Family 4

Pairs mainWrites(int address, int lists, int bits) {
  return {{0, 1}, {1, address}, {0, 2}, {1, lists}, {0, 3}, {1, bits}};
}

TEST(Family4Program, MainPartAndRows) {
  struct Case {
    const char* name;
    int innerTab;
    bool tableOn;
    const char* address;
    int answerAddressZero;  // 0 = no question expected
    const char* bits;
    int bitsValue;
    int firstAddressParameter, firstDataParameter;  // 0 = no rows
  };
  const Case cases[] = {
      {"no table", 0, false, "33", 0, "101", 5, 0, 0},
      {"address 0, Yes", 0, false, "", mb::kAnswerYes, "11110000", 240, 0, 0},
      {"address 0, No", 0, false, "0", mb::kAnswerNo, "1", -1, 0, 0},
      {"table 2348", 0, true, "33", 0, "x1x1", 5, 10, 30},
      // Rows of 2350 go to 50..65 and 70..85, where the read-out looks for them.
      {"table 2350", 1, true, "33", 0, "1", 1, 50, 70},
      {"2350 switched off", 1, false, "33", 0, "1", 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Module h(4, c.innerTab);
    const int table = c.innerTab == 0 ? 2354 : 2419;
    h.fill({{2339, c.address}, {2344, c.bits}});
    h.states({{2341, 5}, {2342, 1}, {2343, 9}, {c.innerTab == 0 ? 2353 : 2418, c.tableOn}});
    for (int r = 0; r < 16; ++r) {
      h.setText(table + r, std::to_string(r + 20).c_str());
      h.states({{table + 16 + r, r}, {table + 32 + r, r & 1}, {table + 48 + r, r & 7}});
    }
    h.ui.answerNext(mb::kAnswerYes);
    if (c.answerAddressZero != 0) h.ui.answerNext(c.answerAddressZero);
    const auto w = h.program();
    if (c.answerAddressZero != 0) {
      ASSERT_EQ(h.shown().size(), 1u);
      EXPECT_EQ(h.shown()[0].title, t(710));
      EXPECT_EQ(h.shown()[0].text, t(722));
      EXPECT_EQ(h.shown()[0].flags, mb::kYesNo);
    } else {
      EXPECT_TRUE(h.shown().empty());
    }
    if (c.bitsValue < 0) {
      EXPECT_TRUE(w.empty());
      EXPECT_TRUE(h.unlocked());
      continue;
    }
    Pairs expected = mainWrites(integerOf(c.address), (5 << 5) | (1 << 4) | 9, c.bitsValue);
    for (int r = 0; r < 16 && c.firstAddressParameter != 0; ++r) {
      const Pairs row = {{0, c.firstAddressParameter + r},
                         {1, r + 20},
                         {0, c.firstDataParameter + r},
                         {1, (r << 4) | ((r & 1) << 3) | (r & 7)}};
      expected.insert(expected.end(), row.begin(), row.end());
    }
    EXPECT_EQ(pairs(w), expected);
    EXPECT_EQ(gaps(w), repeated(expected.size() - 1, W));
    if (c.tableOn) {
      EXPECT_EQ(h.c(table + 15)->background, colour::kInputYellow);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

// A fresh form has no entry chosen in its lists: every list of the main part and of both
// tables gets its first one.
void chooseLists(Module& h) {
  for (int c : {2341, 2342, 2343}) h.ui.setSelection(win::kMain, c, 0);
  for (int first : {2370, 2386, 2402, 2435, 2451, 2467})
    for (int r = 0; r < 16; ++r) h.ui.setSelection(win::kMain, first + r, 0);
}

TEST(Family4Program, AListWithoutAChoiceRefusesTheRun) {
  struct Case {
    const char* name;
    int innerTab;
    bool cleared;     // the form cleared before
    int unselected;   // a list left without a choice; 0 = none
    int focused;      // the list named; 0 = the run goes ahead
  };
  const Case cases[] = {
      {"all chosen", 0, false, 0, 0},
      {"bit 5 list empty", 0, false, 2342, 2342},
      {"row 4 of table 2348", 0, false, 2386 + 3, 2386 + 3},
      {"row of 2350", 1, false, 2467 + 15, 2467 + 15},
      {"after clearing the form", 0, true, 0, 2341},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Module h(4, c.innerTab);
    h.fill({{2339, "33"}, {2344, "1"}});
    h.states({{c.innerTab == 0 ? 2353 : 2418, 1}});
    chooseLists(h);
    if (c.cleared) clearForm(*h.ctx, false);
    if (c.unselected) h.ui.setSelection(win::kMain, c.unselected, -1);
    h.ui.answerNext(mb::kAnswerYes);
    if (c.cleared) h.ui.answerNext(mb::kAnswerYes);  // address 0
    const auto w = h.program();
    if (c.focused == 0) {
      EXPECT_FALSE(w.empty());
      EXPECT_TRUE(h.shown().empty());
      continue;
    }
    EXPECT_TRUE(w.empty());
    ASSERT_FALSE(h.shown().empty());
    EXPECT_EQ(h.shown().back().title, t(710));
    EXPECT_EQ(h.shown().back().text, t(41));
    EXPECT_EQ(h.ui.focus().second, c.focused);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family4Program, MarksEachPartWhileItGoesOut) {
  Module h(4, 0);
  h.fill({{2339, "33"}, {2344, "1"}});
  h.states({{2353, 1}});
  chooseLists(h);
  // Samples in the middle of each pair of writes (pairs take 2 x 700 ms) and of row 1.
  std::vector<std::array<Colour, 4>> seen;
  for (uint32_t at : {1000u, 2400u, 3800u, 4600u}) {
    h.clock.every(at, [&h, &seen] {
      seen.push_back({h.c(2339)->background, h.c(2344)->background, h.c(2351)->textColour,
                      h.c(2354)->background});
      return -1;
    });
  }
  h.program();
  constexpr Colour kRed = colour::kBusyRed, kYellow = colour::kInputYellow;
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0][0], kRed);
  EXPECT_EQ(seen[1][0], kYellow);
  EXPECT_EQ(seen[1][1], kRed);  // the bit field while parameter 2 (the lists) goes out
  EXPECT_EQ(seen[2][1], kYellow);
  EXPECT_EQ(seen[2][2], colour::kWarningRed);
  EXPECT_EQ(seen[3][2], rgb(0, 0, 0));
  EXPECT_EQ(seen[3][3], kRed);
}

TEST(Family4Program, CancelStopsBetweenRows) {
  Module h(4, 1);
  h.fill({{2339, "33"}, {2344, "1"}});
  h.states({{2418, 1}});
  chooseLists(h);
  for (int r = 0; r < 16; ++r) h.setText(2419 + r, "9");
  // Main part 6 x 700 ms, each row 4 x 700 ms: the click lands in row 2 (index 1).
  h.ui.injectAt(h.clock.now() + 6 * W + 4 * W + 1000,
                {EventType::Click, win::kMain, ctl::kCancel, 0});
  const auto w = h.program();
  ASSERT_EQ(w.size(), 6u + 8u);
  EXPECT_EQ(pairs({w.end() - 4, w.end()}), (Pairs{{0, 51}, {1, 9}, {0, 71}, {1, 0}}));
  EXPECT_EQ(h.c(2420)->background, colour::kInputYellow);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family4Read, DecodesMainPartAndRows) {
  for (int tab : {0, 1}) {
    SCOPED_TRACE(tab);
    Module h(4, tab);
    const int table = tab == 0 ? 2354 : 2419;
    const int addressParameter = tab == 0 ? 10 : 50;
    const int dataParameter = tab == 0 ? 30 : 70;
    h.states({{tab == 0 ? 2353 : 2418, 1}});
    RegisterModule m;
    m.store = {{1, {33}}, {3, {5}}, {132, {2}}, {133, {7}}, {2, {0xB5}}};
    for (int r = 0; r < 16; ++r) {
      m.store[addressParameter + r] = {r + 1};
      m.store[dataParameter + r] = {r == 4 ? 165 : r};
    }
    m.attach(h);
    const auto w = h.readOut();
    std::vector<int> expected = {1, 3, 132, 133, 2};
    for (int r = 0; r < 16; ++r) {
      expected.push_back(addressParameter + r);
      expected.push_back(dataParameter + r);
    }
    EXPECT_EQ(m.asked, expected);
    EXPECT_EQ(gaps(w), repeated(expected.size() - 1, W));
    EXPECT_EQ(h.text(2339), "033");
    EXPECT_EQ(h.text(2344), "00000101");
    EXPECT_EQ(h.text(2340), "     2.7");
    EXPECT_EQ(h.c(2340)->background, rgb(240, 240, 240));
    EXPECT_EQ(h.c(2351)->textColour, rgb(0, 0, 0));
    EXPECT_EQ((std::array<int, 3>{h.selection(2341), h.selection(2342), h.selection(2343)}),
              (std::array<int, 3>{5, 1, 5}));
    EXPECT_EQ(h.text(table + 4), "005");
    // Row answer 165 = 1010 0 101.
    EXPECT_EQ((std::array<int, 3>{h.selection(table + 16 + 4), h.selection(table + 32 + 4),
                                  h.selection(table + 48 + 4)}),
              (std::array<int, 3>{10, 0, 5}));
    EXPECT_EQ(h.selection(table + 48 + 3), 3);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family4Read, CancelSkipsTheRemainingRowsAndTableOffSkipsAll) {
  Module h(4, 0);
  h.states({{2353, 1}});
  RegisterModule m;
  m.attach(h);
  // Five main queries, then the click lands in row 1 (index 0).
  h.ui.injectAt(h.clock.now() + 5 * W + 300, {EventType::Click, win::kMain, ctl::kCancel, 0});
  h.readOut();
  EXPECT_EQ(m.asked, (std::vector<int>{1, 3, 132, 133, 2, 10, 30}));
  EXPECT_TRUE(h.unlocked());
  m.asked.clear();
  h.states({{2353, 0}});
  h.readOut();
  EXPECT_EQ(m.asked, (std::vector<int>{1, 3, 132, 133, 2}));
}

// ------------------------------------------------------------------------------------
// Family 5

TEST(Family5Program, BothScalesChecksAndQuestion) {
  struct Case {
    const char* name;
    bool coarse;  // option 2520, else 2521
    const char* seconds;
    const char* digit;
    bool bit3;  // option 2523 (factory)
    bool bit6;  // option 2525
    int answer;
    std::vector<Shown> shown;
    int time, digitWritten;  // time -1 = nothing written
  };
  const Case cases[] = {
      {"coarse factory", true, "1,4", "5", true, false, 0, {}, 4 + 8, 5},
      {"coarse bit 6", true, "2,1", "0", true, true, 0, {}, 6 + 8 + 64, 0},
      {"coarse question OK",
       true,
       "0,7",
       "5",
       false,
       false,
       mb::kAnswerOk,
       {{579, 580, kQuestion}},
       2,
       5},
      {"coarse question Cancel",
       true,
       "0,7",
       "5",
       false,
       false,
       mb::kAnswerCancel,
       {{579, 580, kQuestion}},
       -1,
       0},
      {"coarse 2,4 refused", true, "2,4", "5", true, false, 0, {{-1, 625, 0}}, -1, 0},
      {"coarse digit 8", true, "0,7", "8", true, false, 0, {{-1, 626, 0}}, -1, 0},
      // The fine scale has no flags, no question and no digit.
      {"fine 2,4", false, "2,4", "8", false, true, 0, {}, 30, 0},
      {"fine 0.48", false, "0.48", "", true, false, 0, {}, 6, 0},
      {"fine 2,5 refused", false, "2,5", "", true, false, 0, {{-1, 625, 0}}, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Module h(5);
    h.fill({{2515, "20"}, {2516, c.seconds}, {2517, c.digit}});
    h.states({{2520, c.coarse},
              {2521, !c.coarse},
              {2523, c.bit3},
              {2522, !c.bit3},
              {2525, c.bit6},
              {2524, !c.bit6}});
    h.ui.answerNext(mb::kAnswerYes);
    if (c.answer != 0) h.ui.answerNext(c.answer);
    const auto w = h.program();
    ASSERT_NO_FATAL_FAILURE(expectShown(h, c.shown));
    if (c.time < 0) {
      EXPECT_TRUE(w.empty());
    } else {
      EXPECT_EQ(pairs(w),
                (Pairs{{0, 1}, {1, 20}, {0, 2}, {1, c.time}, {0, 3}, {1, c.digitWritten}}));
      EXPECT_EQ(gaps(w), repeated(5, 700));
    }
    EXPECT_TRUE(h.unlocked());
  }
  // The address is refused with the program's own title.
  Module h(5);
  h.fill({{2515, "112"}, {2516, "0,7"}, {2517, "1"}});
  EXPECT_TRUE(h.program().empty());
  expectShown(h, {{-1, 624, 0}});
}

TEST(Family5Read, CoarseAndFineScale) {
  for (bool coarse : {true, false}) {
    SCOPED_TRACE(coarse);
    Module h(5);
    h.states({{2520, coarse}, {2521, !coarse}, {2522, 1}, {2523, 0}, {2524, 1}, {2525, 0}});
    RegisterModule m;
    // Coarse: 6 steps, bit 3 and bit 6; fine: 30 steps (bit 6 is no part of the time).
    m.store = {{1, {20}},  {2, {coarse ? 6 | 8 | 64 : 30 | 64}},
               {3, {13}},  {132, {3}},
               {133, {1}}, {130, {0}},
               {131, {9}}};
    m.attach(h);
    const auto w = h.readOut();
    EXPECT_EQ(m.asked, coarse ? (std::vector<int>{1, 2, 3, 132, 133, 130, 131})
                              : (std::vector<int>{1, 2, 132, 133, 130, 131}));
    EXPECT_EQ(gaps(w), repeated(m.asked.size() - 1, 800));
    EXPECT_EQ(h.text(2515), "020");
    EXPECT_EQ(h.text(2518), "     3.1");
    EXPECT_EQ(h.text(2519), "     0.9");
    if (coarse) {
      EXPECT_EQ(h.text(2516), "2.10");  // 30 AND 7 = 6 steps of 0.35 s
      EXPECT_EQ(h.text(2517), "5");
      EXPECT_EQ((std::array<int, 4>{h.state(2522), h.state(2523), h.state(2524), h.state(2525)}),
                (std::array<int, 4>{0, 1, 0, 1}));
    } else {
      EXPECT_EQ(h.text(2516), "2.40");  // 30 steps of 0.08 s; the flags are not read
      EXPECT_EQ(h.text(2517), "");
      EXPECT_EQ(h.state(2522), 1);
      EXPECT_EQ(h.state(2525), 0);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

// ------------------------------------------------------------------------------------
// Family 6

TEST(Family6Program, ValuesPausesAndMarking) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> states;
    int switches;
  };
  // Group options: 2533+g plain / 2541+g bit 7; 2549+g bit 6 / 2557+g no bit 6.
  const Case cases[] = {
      {"factory switches", {}, 0},
      {"all switched", {{2529, 0}, {2530, 0}, {2531, 0}, {2532, 1}}, 7},
      {"second only", {{2530, 0}}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Module h(6);
    h.fill({{2528, "12"},
            {2565, "0.48"},
            {2566, "0,48"},
            {2567, "1"},
            {2568, "0"},
            {2569, "10"},
            {2570, "0,16"},
            {2571, "20,32"},
            {2572, ""}});
    // Group 3: bit 7 and bit 6 both chosen; bit 6 is left out. Group 4: no bit 6.
    h.states({{2541 + 2, 1}, {2533 + 2, 0}, {2549 + 3, 0}, {2557 + 3, 1}});
    for (auto [control, s] : c.states) h.states({{control, s}});
    const auto w = h.program();
    const int groups[8] = {64 + 3, 64 + 3, 128 + 6, 0, 64 + 62, 64 + 1, 64 + 127, 64};
    Pairs expected = {{0, 1}, {1, 12}, {0, 2}, {1, c.switches}};
    for (int g = 0; g < 8; ++g) {
      expected.emplace_back(0, g + 3);
      expected.emplace_back(1, groups[g]);
    }
    EXPECT_EQ(pairs(w), expected);
    EXPECT_EQ(gaps(w), repeated(19, 700));
    for (int f : {2528, 2565, 2570, 2572}) EXPECT_EQ(h.c(f)->background, colour::kInputYellow);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family6Program, CancelStopsBetweenStepsAndUnmarks) {
  Module h(6);
  h.fill({{2528, "12"}});
  std::vector<Colour> during;
  // Step 4 (the second group) marks 2566 from 4.2 s to 5.6 s.
  h.clock.every(5200, [&] {
    during = {h.c(2528)->background, h.c(2565)->background, h.c(2566)->background};
    return -1;
  });
  h.ui.injectAt(h.clock.now() + 5300, {EventType::Click, win::kMain, ctl::kCancel, 0});
  const auto w = h.program();
  ASSERT_EQ(w.size(), 8u);  // steps 1..4, then the cancel
  EXPECT_EQ(pairs({w.end() - 2, w.end()}), (Pairs{{0, 4}, {1, 64}}));
  EXPECT_EQ(during,
            (std::vector<Colour>{colour::kInputYellow, colour::kInputYellow, colour::kBusyRed}));
  // The field under way when the user cancelled is not left red.
  EXPECT_EQ(h.c(2566)->background, colour::kInputYellow);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family6Read, DecodesSwitchesAndGroups) {
  Module h(6);
  RegisterModule m;
  // Group 1: 133 = bit 7 and 5 steps; group 2: 69 = bit 6 and 5 steps; group 3: 5 steps.
  m.store = {{1, {42}}, {2, {3}}, {3, {133}}, {4, {69}}, {5, {5}}, {6, {255}}};
  m.attach(h);
  const auto w = h.readOut();
  EXPECT_EQ(m.asked, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(gaps(w), repeated(9, 800));
  EXPECT_EQ(h.text(2528), "042");
  EXPECT_EQ((std::array<int, 4>{h.state(2529), h.state(2530), h.state(2531), h.state(2532)}),
            (std::array<int, 4>{0, 1, 0, 1}));
  struct Group {
    int g;
    int plain, bit7, bit6, noBit6;
    const char* time;
  };
  for (Group e :
       {Group{0, 0, 1, 0, 0, "0.80"}, Group{1, 1, 0, 1, 0, "0.80"}, Group{2, 1, 0, 0, 1, "0.80"},
        Group{3, 0, 1, 0, 0, "20.32"}, Group{4, 1, 0, 0, 1, "0.00"}}) {
    SCOPED_TRACE(e.g);
    EXPECT_EQ((std::array<int, 4>{h.state(2533 + e.g), h.state(2541 + e.g), h.state(2549 + e.g),
                                  h.state(2557 + e.g)}),
              (std::array<int, 4>{e.plain, e.bit7, e.bit6, e.noBit6}));
    EXPECT_EQ(h.text(2565 + e.g), e.time);
  }
  EXPECT_TRUE(h.unlocked());
}

// ------------------------------------------------------------------------------------
// Family 7

TEST(Family7Program, RowBytesAndPauses) {
  Module h(7, -1, true);
  h.fill({{2573, "7"}, {2574, "250"}});
  // Row 1: function 05, mode 3, option on; row 2: function 15, mode 7; row 3: nothing.
  h.states({{2575, 4}, {2583, 3}, {2599, 1}, {2576, 14}, {2584, 7}, {2592, 1}});
  const auto w = h.program();
  Pairs expected = {
      {0, 1}, {1, 7}, {0, 2}, {1, 250}, {0, 3}, {1, 5 | (3 << 5) | 16}, {0, 4}, {1, 15 | (7 << 5)}};
  for (int p = 5; p <= 10; ++p) {
    expected.emplace_back(0, p);
    expected.emplace_back(1, 0);
  }
  EXPECT_EQ(pairs(w), expected);
  std::vector<int> pauses;
  for (int i = 0; i < 19; ++i) pauses.push_back(i % 2 == 0 ? 400 : 200);
  EXPECT_EQ(gaps(w), pauses);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family7Program, CancelStopsBetweenSteps) {
  Module h(7, -1, true);
  // Each step takes 600 ms: the click lands in step 3.
  h.ui.injectAt(h.clock.now() + 2 * 600 + 450, {EventType::Click, win::kMain, ctl::kCancel, 0});
  const auto w = h.program();
  EXPECT_EQ(w.size(), 6u);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family7Read, DecodesRows) {
  Module h(7, -1, true);
  RegisterModule m;
  m.store = {{1, {7}}, {2, {250}}, {3, {5 | (3 << 5) | 16}}, {4, {15 | (7 << 5)}}, {5, {0}}};
  m.attach(h);
  const auto w = h.readOut();
  EXPECT_EQ(m.asked.size(), 10u);
  EXPECT_EQ(gaps(w), repeated(9, 700));
  EXPECT_EQ(h.text(2573), "007");
  EXPECT_EQ(h.text(2574), "250");
  EXPECT_EQ(h.text(2575), text7(435));
  EXPECT_EQ(h.text(2583), text7(453));
  EXPECT_EQ((std::array<int, 2>{h.state(2591), h.state(2599)}), (std::array<int, 2>{0, 1}));
  EXPECT_EQ(h.text(2576), text7(445));
  EXPECT_EQ(h.text(2584), text7(457));
  EXPECT_EQ((std::array<int, 2>{h.state(2592), h.state(2600)}), (std::array<int, 2>{1, 0}));
  // Function code 0 has no item: the list stays without a selection.
  EXPECT_EQ(h.selection(2577), -1);
  EXPECT_EQ(h.text(2585), text7(450));
  EXPECT_TRUE(h.unlocked());
}

// ------------------------------------------------------------------------------------
// Families 8 and 9: straight to bus addresses 0..3

TEST(Family8, WritesTheAddressTwiceAndReadsItBack) {
  Module h(8);
  h.fill({{2626, "42"}});
  const auto w = h.program();
  EXPECT_EQ(pairs(w), (Pairs{{0, 42}, {0, 42}}));
  EXPECT_EQ(gaps(w), (std::vector<int>{400}));
  EXPECT_TRUE(h.unlocked());
  // The read-out asks nothing: address 0 as the bus holds it now.
  h.bus().set(0, 0, 17);
  h.run(300);
  EXPECT_TRUE(h.readOut().empty());
  EXPECT_EQ(h.text(2626), "017");
  EXPECT_TRUE(h.unlocked());
}

TEST(Family9, WritesAndReadsAddressesZeroToThree) {
  Module h(9);
  h.fill({{2607, "10"}, {2608, "20"}, {2609, "0.48"}});
  h.states({{2611, 1}, {2610, 0}, {2617, 1}, {2616, 0}});
  const auto w = h.program();
  EXPECT_EQ(pairs(w), (Pairs{{0, 10}, {1, 0b1001}, {2, 20}, {3, 6}}));
  EXPECT_EQ(gaps(w), repeated(3, 400));
  EXPECT_TRUE(h.unlocked());

  struct Case {
    int a3;
    const char* seconds;
  };
  for (Case c : {Case{6, "0.48"}, Case{0, "0.00"}, Case{200, "16.0"}}) {
    SCOPED_TRACE(c.a3);
    h.bus().set(0, 0, 33);
    h.bus().set(0, 1, 0b10000010);
    h.bus().set(0, 2, 44);
    h.bus().set(0, 3, static_cast<uint8_t>(c.a3));
    h.run(300);
    EXPECT_TRUE(h.readOut().empty());
    EXPECT_EQ(h.text(2607), "033");
    EXPECT_EQ(h.text(2608), "044");
    EXPECT_EQ(h.text(2609), c.seconds);
    for (int j = 0; j < 8; ++j) {
      const int on = j == 1 || j == 7;
      EXPECT_EQ(h.state(2611 + 2 * j), on) << j;
      EXPECT_EQ(h.state(2610 + 2 * j), 1 - on) << j;
    }
  }
}

// ------------------------------------------------------------------------------------
// Round trips: fill, program, clear, read back, compare.

enum class Kind { Integer, Hundredths, State, Selection };
struct Field {
  int control;
  Kind kind;
};

std::vector<int> snapshot(const Module& h, const std::vector<Field>& fields) {
  std::vector<int> out;
  for (const Field& f : fields) {
    switch (f.kind) {
      case Kind::Integer:
        out.push_back(integerOf(h.text(f.control)));
        break;
      case Kind::Hundredths:
        out.push_back(static_cast<int>(decimalOf(h.text(f.control)) * 100 + 0.5));
        break;
      case Kind::State:
        out.push_back(h.state(f.control));
        break;
      case Kind::Selection:
        out.push_back(h.selection(f.control));
        break;
    }
  }
  return out;
}

// Clears the page, and also every option, check box and list among `fields`, so that the
// read-out has to set them itself.
void forget(Module& h, const std::vector<Field>& fields) {
  clearForm(*h.ctx, false);
  for (const Field& f : fields) {
    if (f.kind == Kind::State) h.states({{f.control, 0}});
    if (f.kind == Kind::Selection) h.ui.setSelection(win::kMain, f.control, -1);
  }
}

void roundTrip(Module& h, const std::vector<Field>& fields) {
  RegisterModule m;
  m.attach(h);
  const auto before = snapshot(h, fields);
  ASSERT_FALSE(h.program().empty());
  forget(h, fields);
  ASSERT_NE(snapshot(h, fields), before);
  h.readOut();
  EXPECT_EQ(snapshot(h, fields), before);
  EXPECT_TRUE(h.unlocked());
}

std::vector<Field> range(int first, int count, Kind kind, int stride = 1) {
  std::vector<Field> out;
  for (int i = 0; i < count; ++i) out.push_back({first + i * stride, kind});
  return out;
}

std::vector<Field> join(std::initializer_list<std::vector<Field>> parts) {
  std::vector<Field> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Times are kept in whole steps (0.35 s, 0.16 s, 0.08 s): the values below lie on the
// steps; others come back rounded to the nearest step (0,5 s in family 6 reads 0.48).
TEST(RoundTrip, Family3) {
  Module h(3);
  h.fill({{2327, "16"}, {2328, "1,4"}, {2329, "6"}});
  h.states({{2334, 1}, {2333, 0}, {2336, 1}, {2335, 0}});
  roundTrip(h, join({{{2327, Kind::Integer}, {2328, Kind::Hundredths}, {2329, Kind::Integer}},
                     range(2333, 4, Kind::State)}));
}

TEST(RoundTrip, Family4BothTables) {
  for (int tab : {0, 1}) {
    SCOPED_TRACE(tab);
    Module h(4, tab);
    const int table = tab == 0 ? 2354 : 2419;
    h.fill({{2339, "99"}, {2344, "10110"}});
    h.states({{2341, 6}, {2342, 1}, {2343, 11}, {tab == 0 ? 2353 : 2418, 1}});
    for (int r = 0; r < 16; ++r) {
      h.setText(table + r, std::to_string(100 - r));
      h.states({{table + 16 + r, 15 - r}, {table + 32 + r, r % 2}, {table + 48 + r, r % 8}});
    }
    // The bit field comes back as eight digits: "10110" reads "00010110".
    roundTrip(h, join({{{2339, Kind::Integer}, {2344, Kind::Integer}},
                       range(2341, 3, Kind::Selection),
                       range(table, 16, Kind::Integer),
                       range(table + 16, 48, Kind::Selection)}));
  }
}

TEST(RoundTrip, Family5BothScales) {
  for (bool coarse : {true, false}) {
    SCOPED_TRACE(coarse);
    Module h(5);
    h.fill({{2515, "77"}, {2516, coarse ? "0,35" : "1,04"}, {2517, coarse ? "2" : ""}});
    h.states({{2520, coarse}, {2521, !coarse}, {2523, 1}, {2522, 0}, {2525, 1}, {2524, 0}});
    // The fine scale keeps no flags and no digit.
    std::vector<Field> fields = {{2515, Kind::Integer}, {2516, Kind::Hundredths}};
    if (coarse) fields = join({fields, {{2517, Kind::Integer}}, range(2522, 4, Kind::State)});
    roundTrip(h, fields);
  }
}

TEST(RoundTrip, Family6) {
  Module h(6);
  // Without bit 7 a time keeps 6 bits (up to 63 steps, 10.08 s), with bit 7 7 bits.
  h.fill({{2528, "200"},
          {2565, "0,48"},
          {2566, "20,32"},
          {2567, "1,92"},
          {2568, "0,16"},
          {2569, "1,6"},
          {2570, "3,2"},
          {2571, "0"},
          {2572, "9,92"}});
  h.states({{2529, 0}, {2532, 1}, {2531, 0}});
  for (int g = 0; g < 8; ++g) {
    const bool bit7 = g % 3 == 1;
    h.states({{2533 + g, !bit7}, {2541 + g, bit7}});
    // With bit 7 the bit-6 pair is neither: the module keeps no bit 6 then.
    const bool bit6 = g % 2 == 0;
    h.states({{2549 + g, !bit7 && bit6}, {2557 + g, !bit7 && !bit6}});
  }
  roundTrip(h, join({{{2528, Kind::Integer}},
                     range(2529, 4, Kind::State),
                     range(2533, 32, Kind::State),
                     range(2565, 8, Kind::Hundredths)}));
}

TEST(RoundTrip, Family6RoundsToSteps) {
  Module h(6);
  h.fill({{2528, "1"}, {2565, "0,5"}});
  RegisterModule m;
  m.attach(h);
  h.program();
  clearForm(*h.ctx, false);
  h.readOut();
  EXPECT_EQ(h.text(2565), "0.48");
}

TEST(RoundTrip, Family7) {
  Module h(7, -1, true);
  h.fill({{2573, "3"}, {2574, "111"}});
  for (int g = 0; g < 8; ++g)
    h.states({{2575 + g, 14 - g}, {2583 + g, g}, {2599 + g, g % 2}, {2591 + g, 1 - g % 2}});
  roundTrip(h, join({{{2573, Kind::Integer}, {2574, Kind::Integer}},
                     range(2575, 16, Kind::Selection),
                     range(2591, 16, Kind::State)}));
}

TEST(RoundTrip, Families8And9ThroughTheBus) {
  {
    Module h(8);
    h.fill({{2626, "91"}});
    h.program();
    clearForm(*h.ctx, false);
    h.run(300);
    h.readOut();
    EXPECT_EQ(h.text(2626), "091");
  }
  Module h(9);
  h.fill({{2607, "5"}, {2608, "106"}, {2609, "1.2"}});
  for (int j = 0; j < 8; ++j) h.states({{2611 + 2 * j, j % 3 == 0}, {2610 + 2 * j, j % 3 != 0}});
  const std::vector<Field> fields =
      join({{{2607, Kind::Integer}, {2608, Kind::Integer}, {2609, Kind::Hundredths}},
            range(2610, 16, Kind::State)});
  const auto before = snapshot(h, fields);
  h.program();
  forget(h, fields);
  h.run(300);
  h.readOut();
  EXPECT_EQ(snapshot(h, fields), before);  // 1.2 s = 15 steps of 0.08 s, "1.20"
}

}  // namespace
}  // namespace kw::test
