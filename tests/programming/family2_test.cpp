// Family 2 (sub-types 11 to 14): the write sequences, the read-outs, round trips through
// a stand-in module, and the position ask of the bus thread behind the position panel.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "forms/families.h"
#include "forms/form.h"
#include "forms/parameter_form.h"
#include "programming/parameter_store_module.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

constexpr int kTab11 = 0;
constexpr int kTab12 = 1;
constexpr int kTab13 = 2;
constexpr int kTab14 = 3;

struct FieldText {
  int control;
  const char* text;
};

// A started program in programming mode with the family-2 page `tab` shown.
void bootOn(ModuleHarness& h, int tab) {
  h.boot();
  h.showFamily(2, tab);
  h.programmingModeOn();
}

std::vector<int> range(int first, int last) {
  std::vector<int> v;
  for (int i = first; i <= last; ++i) v.push_back(i);
  return v;
}

// Step table with a sum of exactly one turn; step 0 is 300, step 1 needs a high byte of 5.
std::vector<int> fullTurnSteps() {
  std::vector<int> v(ctl::kStepCount, 800);
  v[0] = 300;
  v[1] = 1300;
  return v;
}

void fillSteps(ModuleHarness& h, const std::vector<int>& steps) {
  for (int s = 0; s < ctl::kStepCount; ++s)
    h.setText(ctl::kFirstStep + s, steps[s] == 0 ? "" : std::to_string(steps[s]));
  checkSteps(*h.ctx);  // what the form runs after each change of a step field
}

// ------------------------------------------------------------------------------------
// Programming

TEST(Family2Program, SettingsWritesAndPauses) {
  ModuleHarness h;
  bootOn(h, kTab11);
  for (FieldText f : {FieldText{2291, "20"}, {2292, "21"}, {2293, "23"}, {2294, "24"},
                      {2295, "25"}})
    h.setText(f.control, f.text);
  const auto w = h.press(ctl::kProgram, 4000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 1}, {1, 20}, {2, 25}, {3, 24}, {0, 3}, {1, 23}, {0, 4}, {1, 21}}));
  EXPECT_EQ(gaps(w), (std::vector<int>{700, 200, 200, 200, 700, 200, 700}));
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2Program, PositionPanelWritesNothing) {
  ModuleHarness h;
  bootOn(h, kTab14);
  const auto w = h.press(ctl::kProgram, 2000);
  EXPECT_TRUE(w.empty());
  ASSERT_EQ(h.ui.messages.size(), 1u);  // only the question before the run
  EXPECT_EQ(h.ui.messages[0].title, t(577));
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2Program, StepTableSplitsEachStepIntoHighAndLowByte) {
  ModuleHarness h;
  bootOn(h, kTab12);
  const std::vector<int> steps = fullTurnSteps();
  fillSteps(h, steps);
  ASSERT_TRUE(h.ctx->forms.tableValid);
  const auto w = h.press(ctl::kProgram, 60000);
  ASSERT_EQ(w.size(), 4u * ctl::kStepCount);
  Pairs expected;
  for (int s = 0; s < ctl::kStepCount; ++s) {
    const int v = steps[s];
    // High byte on 1, low byte on 2, the low byte a second time.
    for (auto p : Pairs{{0, 10 + s}, {1, v >> 8}, {2, v & 255}, {2, v & 255}})
      expected.push_back(p);
  }
  EXPECT_EQ(pairs(w), expected);
  // Step 0 = 300: high 1, low 44.
  EXPECT_EQ(pairs({w.begin(), w.begin() + 4}), (Pairs{{0, 10}, {1, 1}, {2, 44}, {2, 44}}));
  // W after the parameter number, 200 after each data byte, the repeated low byte
  // queued without a pause, so the next row's number follows it on the next bus cycle.
  const auto g = gaps(w);
  for (int s = 0; s + 1 < ctl::kStepCount; ++s) {
    SCOPED_TRACE(s);
    EXPECT_NEAR(g[4 * s], 700, 1);
    EXPECT_EQ(g[4 * s + 1], 200);
    EXPECT_EQ(g[4 * s + 2], 200);
    EXPECT_LE(g[4 * s + 3], 2);
  }
  for (int s = 0; s < ctl::kStepCount; ++s)  // no row is left marked
    EXPECT_NE(h.c(ctl::kFirstStep + s)->background, colour::kBusyRed);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2Program, StepTableRefusedWhileNotValid) {
  struct Case {
    const char* name;
    bool fillAllButLast;
  };
  for (Case c : {Case{"empty", false}, Case{"last step empty", true}}) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    bootOn(h, kTab12);
    std::vector<int> steps(ctl::kStepCount, c.fillAllButLast ? 800 : 0);
    steps.back() = 0;
    fillSteps(h, steps);
    ASSERT_FALSE(h.ctx->forms.tableValid);
    const auto w = h.press(ctl::kProgram, 2000);
    EXPECT_TRUE(w.empty());
    ASSERT_EQ(h.ui.messages.size(), 2u);
    EXPECT_EQ(h.ui.messages[1].title, "Error");
    EXPECT_EQ(h.ui.messages[1].text, t(627));
    EXPECT_EQ(h.ui.messages[1].flags, mb::kOk);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family2Program, PatternDigitsToByte) {
  struct Row {
    const char* text;
    int byte;
  };
  const Row rows[] = {
      {"00011011", 25},  // digits 4..8 = 1,1,0,1,1: 16 + 8 + 1, the 7th adds nothing
      {"11111111", 29},  // digits 1..3 and 7 are not part of the pattern
      {"00000010", 0},   // the 7th alone
      {"0001", 16},      // a short text: the missing digits add nothing
      {"xxx1x1x1", 21},  // only a "1" counts
      {"00022222", 0},
  };
  ModuleHarness h;
  bootOn(h, kTab13);
  for (size_t i = 0; i < std::size(rows); ++i)
    h.setText(ctl::kFirstPattern + static_cast<int>(i), rows[i].text);
  const auto w = h.press(ctl::kProgram, 50000);
  ASSERT_EQ(w.size(), 2u * ctl::kStepCount);
  Pairs expected;
  for (int i = 0; i < ctl::kStepCount; ++i) {
    expected.emplace_back(0, 10 + i);
    expected.emplace_back(3, i < static_cast<int>(std::size(rows)) ? rows[i].byte : 0);
  }
  EXPECT_EQ(pairs(w), expected);
  const auto g = gaps(w);
  for (size_t i = 0; i < g.size(); ++i) EXPECT_EQ(g[i], i % 2 == 0 ? 700 : 200) << i;
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2Program, CancelStopsBetweenRows) {
  struct Case {
    const char* name;
    int tab;
    int cancelAtMs;
    size_t rows;  // rows written in full
    size_t writesPerRow;
  };
  // A step row takes 700 + 200 + 200 ms, a pattern row 700 + 200 ms.
  const Case cases[] = {{"steps, first row", kTab12, 500, 1, 4},
                        {"steps, second row", kTab12, 1500, 2, 4},
                        {"patterns, first row", kTab13, 500, 1, 2},
                        {"patterns, second row", kTab13, 1000, 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    bootOn(h, c.tab);
    fillSteps(h, fullTurnSteps());
    h.ui.injectAt(h.clock.now() + static_cast<uint32_t>(c.cancelAtMs),
                  {EventType::Click, win::kMain, ctl::kCancel, 0});
    const auto w = h.press(ctl::kProgram, 8000);
    EXPECT_EQ(w.size(), c.rows * c.writesPerRow);
    EXPECT_EQ(parametersOf(w), range(10, 10 + static_cast<int>(c.rows) - 1));
    const int first = c.tab == kTab12 ? ctl::kFirstStep : ctl::kFirstPattern;
    EXPECT_NE(h.c(first + static_cast<int>(c.rows) - 1)->background, colour::kBusyRed);
    EXPECT_TRUE(h.unlocked());
  }
}

// ------------------------------------------------------------------------------------
// Read-out

TEST(Family2ReadOut, SettingsByFirmware) {
  struct Case {
    const char* name;
    std::array<int, 3> p3;
    std::vector<int> parameters;
    const char* firmware;
    int option2288, option2289;
    bool secondAddressEnabled;
    const char* secondAddress;
  };
  const Case cases[] = {
      {"firmware 4 has the second address", {23, 4, 5}, {1, 2, 3, 4}, "4.05", 0, 1, true, "21"},
      {"firmware 3 has none", {23, 3, 10}, {1, 2, 3}, "3.10", 1, 0, false, ""},
      {"older firmware leaves the page", {23, 2, 0}, {1, 2, 3}, "2.00", 0, 1, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    bootOn(h, kTab11);
    ParameterStoreModule module(h);
    module.answer(1, 20, 25, 24);
    module.answer(2, 48, 7);
    module.values[3] = c.p3;
    module.answer(4, 21);
    const auto w = h.press(ctl::kRead, 4000);
    EXPECT_EQ(parametersOf(w), c.parameters);
    EXPECT_EQ(gaps(w), std::vector<int>(c.parameters.size() - 1, 700));
    const std::pair<int, const char*> shown[] = {
        {2291, "20"}, {2295, "25"}, {2294, "24"}, {2296, "48"}, {2297, "( 0 - 47 )"},
        {2298, "7"},  {2293, "23"}, {2299, c.firmware}, {2292, c.secondAddress}};
    for (auto [control, text] : shown) EXPECT_EQ(h.text(control), text) << control;
    EXPECT_EQ(h.ui.state(win::kMain, 2288), c.option2288);
    EXPECT_EQ(h.ui.state(win::kMain, 2289), c.option2289);
    EXPECT_EQ(h.ui.enabled(win::kMain, 2292), c.secondAddressEnabled);
    EXPECT_EQ(h.ui.enabled(win::kMain, 2290), c.secondAddressEnabled);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family2ReadOut, SettingsWithoutModuleShowZeros) {
  ModuleHarness h;
  bootOn(h, kTab11);
  ParameterStoreModule module(h);
  h.press(ctl::kRead, 4000);
  EXPECT_EQ(h.text(2291), "0");
  EXPECT_EQ(h.text(2297), "( 0 - -1 )");
  EXPECT_EQ(h.text(2299), "0.00");
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2ReadOut, StepTableDecodingAndStepCheck) {
  ModuleHarness h;
  bootOn(h, kTab12);
  ParameterStoreModule module(h);
  module.answer(10, 3, 32);  // 800
  module.answer(11, 1, 44);  // 300
  const auto w = h.press(ctl::kRead, 40000);
  EXPECT_EQ(pairs(w).size(), 48u);
  EXPECT_EQ(parametersOf(w), range(10, 57));
  EXPECT_EQ(gaps(w), std::vector<int>(47, 700));
  EXPECT_EQ(h.text(300), "800");
  EXPECT_EQ(h.text(400), "7.50000");  // the angle label, set by the step check
  EXPECT_EQ(h.text(301), "300");
  EXPECT_EQ(h.text(401), "2.81250");
  EXPECT_EQ(h.text(302), "0");
  EXPECT_EQ(h.c(300)->background, colour::kWhite);
  EXPECT_EQ(h.c(302)->background, colour::kZeroPink);
  EXPECT_EQ(h.text(ctl::kStepSum), "1100");
  EXPECT_FALSE(h.ctx->forms.tableValid);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2ReadOut, StepTableStops) {
  struct Case {
    const char* name;
    int cancelAtMs;  // -1: no cancel
    int sumOver;     // parameter whose answer takes the sum past a full turn, 0 = none
    std::vector<int> parameters;
    bool warned;
  };
  const Case cases[] = {
      {"cancel in the second wait", 1000, 0, {10, 11}, false},
      {"cancel in the first wait", 100, 0, {10}, false},
      {"sum past a full turn", -1, 11, {10, 11}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    bootOn(h, kTab12);
    ParameterStoreModule module(h);
    for (int p = 10; p <= 57; ++p) module.answer(p, 3, 32);
    if (c.sumOver != 0) {
      module.answer(10, 150, 0);  // 38400: a full turn with the first step alone
      module.answer(c.sumOver, 0, 1);
    }
    if (c.cancelAtMs >= 0)
      h.ui.injectAt(h.clock.now() + static_cast<uint32_t>(c.cancelAtMs),
                    {EventType::Click, win::kMain, ctl::kCancel, 0});
    const auto w = h.press(ctl::kRead, 40000);
    EXPECT_EQ(parametersOf(w), c.parameters);
    // The steps read so far stay; the rest stays empty.
    const int read = static_cast<int>(c.parameters.size());
    EXPECT_NE(h.text(ctl::kFirstStep + read - 1), "");
    EXPECT_EQ(h.text(ctl::kFirstStep + read), "");
    if (c.warned) {
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(530));
      EXPECT_EQ(h.ui.messages[1].text, t(531) + "38400!     ");
      EXPECT_EQ(h.ui.messages[1].flags, mb::kIconWarning);
    } else {
      EXPECT_EQ(h.ui.messages.size(), 1u);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family2ReadOut, PatternsAsEightBinaryDigits) {
  ModuleHarness h;
  bootOn(h, kTab13);
  ParameterStoreModule module(h);
  module.answer(10, 7, 7, 25);
  module.answer(11, 0, 0, 255);
  module.answer(12, 0, 0, 1);
  const auto w = h.press(ctl::kRead, 40000);
  EXPECT_EQ(parametersOf(w), range(10, 57));
  EXPECT_EQ(gaps(w), std::vector<int>(47, 700));
  EXPECT_EQ(h.text(500), "00011001");
  EXPECT_EQ(h.text(501), "11111111");
  EXPECT_EQ(h.text(502), "00000001");
  EXPECT_EQ(h.text(547), "00000000");
  EXPECT_EQ(h.c(500)->background, colour::kInputYellow);  // unmarked after its ask
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2ReadOut, PositionPanelAsksNothing) {
  ModuleHarness h;
  bootOn(h, kTab14);
  const auto w = h.press(ctl::kRead, 2000);
  EXPECT_TRUE(w.empty());
  EXPECT_TRUE(h.unlocked());
}

// ------------------------------------------------------------------------------------
// Round trips

TEST(Family2RoundTrip, Settings) {
  ModuleHarness h;
  bootOn(h, kTab11);
  ParameterStoreModule module(h);
  module.answer(2, 48, 0);
  module.answer(3, 0, 4, 5);  // firmware 4.05: the module has the second address
  const FieldText fields[] = {{2291, "20"}, {2292, "21"}, {2293, "23"}, {2294, "24"},
                              {2295, "25"}};
  for (FieldText f : fields) h.setText(f.control, f.text);
  module.storing = true;
  h.press(ctl::kProgram, 4000);
  module.storing = false;
  clearForm(*h.ctx, false);
  ASSERT_EQ(h.text(2291), "");
  h.press(ctl::kRead, 4000);
  for (FieldText f : fields) EXPECT_EQ(h.text(f.control), f.text) << f.control;
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2RoundTrip, StepTable) {
  ModuleHarness h;
  bootOn(h, kTab12);
  ParameterStoreModule module(h);
  const std::vector<int> steps = fullTurnSteps();
  fillSteps(h, steps);
  module.storing = true;
  h.press(ctl::kProgram, 60000);
  module.storing = false;
  clearForm(*h.ctx, false);
  ASSERT_EQ(h.text(ctl::kFirstStep), "");
  h.press(ctl::kRead, 40000);
  for (int s = 0; s < ctl::kStepCount; ++s)
    EXPECT_EQ(h.text(ctl::kFirstStep + s), std::to_string(steps[s])) << s;
  EXPECT_EQ(h.text(ctl::kStepSum), "38400");
  EXPECT_EQ(h.c(ctl::kStepSum)->background, colour::kSumGreen);
  EXPECT_TRUE(h.ctx->forms.tableValid);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family2RoundTrip, Patterns) {
  ModuleHarness h;
  bootOn(h, kTab13);
  ParameterStoreModule module(h);
  // The module keeps digits 4, 5, 6 and 8 only: a pattern with digits 1 to 3 and 7 at
  // "0" comes back as it was, any other comes back with those digits at "0".
  struct Row {
    const char* written;
    const char* readBack;
  };
  const Row rows[] = {{"00011001", "00011001"}, {"00000100", "00000100"},
                      {"11111111", "00011101"}, {"", "00000000"}};
  for (size_t i = 0; i < std::size(rows); ++i)
    h.setText(ctl::kFirstPattern + static_cast<int>(i), rows[i].written);
  for (int i = static_cast<int>(std::size(rows)); i < ctl::kStepCount; ++i)
    h.setText(ctl::kFirstPattern + i, "00010001");
  module.storing = true;
  h.press(ctl::kProgram, 50000);
  module.storing = false;
  clearForm(*h.ctx, false);
  h.press(ctl::kRead, 40000);
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(h.text(ctl::kFirstPattern + static_cast<int>(i)), rows[i].readBack) << i;
  for (int i = static_cast<int>(std::size(rows)); i < ctl::kStepCount; ++i)
    EXPECT_EQ(h.text(ctl::kFirstPattern + i), "00010001") << i;
  EXPECT_TRUE(h.unlocked());
}

// ------------------------------------------------------------------------------------
// Position ask of the bus thread

// A turntable on `address` (0: on whichever address is asked) that answers each ask
// with `answer` on its address. Without an answer the ask itself (0xF0, bit 7 set)
// stays on the address and holds every further ask.
void turntable(ModuleHarness& h, int address, const int& answer) {
  h.onWrite = [&h, address, &answer](int a, int v) {
    if ((a == address || address == 0) && v == 0xF0)
      h.bus().set(0, a, static_cast<uint8_t>(answer));
  };
}
constexpr int kIdleAtZero = 0x40;

std::vector<BusWriteSeen> asksTo(const std::vector<BusWriteSeen>& w, int address) {
  std::vector<BusWriteSeen> out;
  for (const auto& x : w)
    if (x.address == address) out.push_back(x);
  return out;
}

// Shows the position panel with `address` in the turntable's address field.
void showPanel(ModuleHarness& h, const char* address) {
  h.boot();
  h.setText(2291, address);
  h.showFamily(2, kTab14);
}

TEST(PositionQuery, AsksEvery500MsAndShowsThePosition) {
  ModuleHarness h;
  int answer = 0x40 | 7;  // idle (bit 7 clear), at a position (bit 6), position 7
  turntable(h, 20, answer);
  showPanel(h, "20");
  const size_t before = h.writes.size();
  h.run(2600);
  const auto asks = asksTo({h.writes.begin() + static_cast<std::ptrdiff_t>(before), h.writes.end()}, 20);
  ASSERT_GE(asks.size(), 5u);
  for (const auto& a : asks) EXPECT_EQ(a.value, 0xF0);
  for (int g : gaps(asks)) EXPECT_EQ(g, 500);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "7");

  // Bit 6 clear: the turntable is between positions; the number shown stays.
  answer = 12;
  h.run(1200);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "7");
  answer = 0x40 | 33;
  h.run(1200);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "33");
}

TEST(PositionQuery, WaitsWhileTheTurntableIsBusy) {
  ModuleHarness h;
  int answer = 0x80 | 0x40 | 5;  // bit 7: the ask is not taken yet
  turntable(h, 20, answer);
  showPanel(h, "20");
  h.run(3000);
  // The first ask still saw the idle bus; after it the busy answer holds every new ask.
  EXPECT_EQ(asksTo(h.writes, 20).size(), 2u);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "");
  // The turntable becomes idle at position 5: shown at once, and the asks go on.
  h.bus().set(0, 20, 0x40 | 5);
  h.run(1100);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "5");
  EXPECT_GE(asksTo(h.writes, 20).size(), 3u);
}

TEST(PositionQuery, AsksOnlyWhereItMayAsk) {
  struct Case {
    const char* name;
    const char* address;
    int page;  // inner tab of family 2 shown while running
    bool programming;
    bool enabled;
    int asked;  // address that gets asks, 0 = none
  };
  const Case cases[] = {
      {"panel shown", "20", kTab14, false, true, 20},
      {"programming mode", "20", kTab14, true, true, 0},
      {"settings page shown", "20", kTab11, false, true, 0},
      {"no address", "", kTab14, false, true, 0},
      {"programming block", "104", kTab14, false, true, 0},
      {"programming control", "106", kTab14, false, true, 0},
      {"ordinary but above the block", "111", kTab14, false, true, 0},
      {"beyond the bus", "148", kTab14, false, true, 0},
      {"last module address", "103", kTab14, false, true, 103},
      {"switched off by a tool", "20", kTab14, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    turntable(h, 0, kIdleAtZero);
    h.boot();
    if (c.programming) h.programmingModeOn();
    h.ctx->forms.positionQuery.enabled = c.enabled;
    h.setText(2291, c.address);
    h.showFamily(2, c.page);
    const size_t before = h.writes.size();
    h.run(2000);
    const std::vector<BusWriteSeen> w(h.writes.begin() + static_cast<std::ptrdiff_t>(before),
                                      h.writes.end());
    if (c.asked == 0) {
      EXPECT_TRUE(w.empty());
    } else {
      EXPECT_EQ(asksTo(w, c.asked).size(), 4u);
      EXPECT_EQ(w.size(), 4u);
    }
  }
}

TEST(PositionQuery, NoAnswerHoldsTheAsks) {
  ModuleHarness h;
  showPanel(h, "20");
  h.run(3000);
  // The first ask still found the idle address; its 0xF0 then stays and holds the rest.
  EXPECT_EQ(asksTo(h.writes, 20).size(), 2u);
  EXPECT_EQ(h.ctx->bus.mirror(0, 20), 0xF0);
}

TEST(PositionQuery, FollowsTheAddressFieldAndThePage) {
  ModuleHarness h;
  turntable(h, 0, kIdleAtZero);
  showPanel(h, "20");
  h.run(1000);
  EXPECT_FALSE(asksTo(h.writes, 20).empty());
  // A new address typed in: the asks go there.
  h.setText(2291, "30");
  h.ui.inject({EventType::TextChanged, win::kMain, 2291, 0});
  h.run(100);
  const size_t at = h.writes.size();
  h.run(1000);
  const std::vector<BusWriteSeen> after(h.writes.begin() + static_cast<std::ptrdiff_t>(at),
                                        h.writes.end());
  EXPECT_FALSE(asksTo(after, 30).empty());
  EXPECT_TRUE(asksTo(after, 20).empty());
  // Another family shown: no more asks; back on the panel: they start again.
  h.showFamily(3);
  const size_t away = h.writes.size();
  h.run(1500);
  EXPECT_EQ(h.writes.size(), away);
  h.showFamily(2, kTab14);
  h.run(1000);
  EXPECT_GT(h.writes.size(), away);
}

}  // namespace
}  // namespace kw::test
