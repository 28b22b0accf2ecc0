// The output adjustment tools of the servo modules in the started program: what each
// tool writes and waits, the refusals, and the question of sub-type 19 that switches the
// programming mode on; against a stand-in module or the simulated servo modules of the
// standard layout (sub-type 19 at address 13).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "programming/parameter_store_module.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

constexpr int kTab19 = 0;
constexpr int kTab18 = 1;

int state(const ModuleHarness& h, int control) { return h.ui.state(win::kMain, control); }

std::vector<std::string> titles(const ModuleHarness& h) {
  std::vector<std::string> out;
  for (const auto& m : h.ui.messages) out.push_back(m.title);
  return out;
}

// A slider, its spin field's value and its spin field's text, for each pair.
std::vector<std::string> shown(const ModuleHarness& h, std::vector<std::pair<int, int>> p) {
  std::vector<std::string> out;
  for (auto [slider, spin] : p)
    out.push_back(std::to_string(state(h, slider)) + "/" + std::to_string(state(h, spin)) + "/" +
                  h.text(spin));
  return out;
}

const std::vector<std::pair<int, int>> kPairs18 = {{2244, 2249}, {2245, 2250}, {2246, 2251}};

// Sub-type 18 in programming mode with output 2 chosen; output 2 lives in parameter 3.
struct Servo18 {
  ModuleHarness h;
  ParameterStoreModule module{h};
  explicit Servo18(bool programming = true) {
    h.boot();
    h.showFamily(1, kTab18);
    if (programming) h.programmingModeOn();
    module.answer(3, 11, 22, 33);
    h.ui.setState(win::kMain, 2226, 2);
  }
  std::vector<BusWriteSeen> adjust(bool on, uint32_t ms = 1000) {
    h.ui.setState(win::kMain, 2225, on ? 1 : 0);
    return h.press(2225, ms);
  }
};

TEST(OutputTools18, LoadSetTestAndRest) {
  Servo18 s;
  auto w = s.adjust(true);
  EXPECT_EQ(pairs(w), (Pairs{{0, 3}}));
  EXPECT_EQ(shown(s.h, kPairs18), (std::vector<std::string>{"11/11/11", "22/22/22", "33/33/33"}));

  w = s.h.press(2232, 1000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 3}, {2, 22}}));
  EXPECT_EQ(gaps(w), std::vector<int>{400});

  // A test, then the output loaded again.
  s.module.answer(3, 44, 55, 66);
  w = s.h.press(2236, 2000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 10}, {1, 2}, {2, 4}, {0, 3}}));
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(tickDiff(w[1].at, w[0].at), 400);
  EXPECT_NEAR(tickDiff(w[3].at, w[2].at), 400, 2);  // 1 and 2 go out back to back
  EXPECT_EQ(shown(s.h, kPairs18), (std::vector<std::string>{"44/44/44", "55/55/55", "66/66/66"}));

  // Another output chosen while adjusting: loaded at once.
  s.module.answer(8, 7, 8, 9);
  s.h.ui.setState(win::kMain, 2226, 7);
  s.h.ui.inject({EventType::ValueChanged, win::kMain, 2226, 7});
  s.h.run(1000);
  EXPECT_EQ(state(s.h, 2244), 7);

  // Switched off: everything to 0, nothing written.
  EXPECT_TRUE(s.adjust(false).empty());
  EXPECT_EQ(shown(s.h, kPairs18), (std::vector<std::string>{"0/0/0", "0/0/0", "0/0/0"}));
  EXPECT_TRUE(s.h.ui.messages.empty());
}

TEST(OutputTools18, Refusals) {
  {
    SCOPED_TRACE("switched on outside programming mode: the switch goes off again");
    Servo18 s(false);
    EXPECT_TRUE(s.adjust(true).empty());
    EXPECT_EQ(titles(s.h), std::vector<std::string>{t(500)});
    EXPECT_EQ(state(s.h, 2225), 0);
  }
  {
    SCOPED_TRACE("set and test while not adjusting");
    Servo18 s;
    EXPECT_TRUE(s.h.press(2231, 1000).empty());
    ASSERT_EQ(titles(s.h), std::vector<std::string>{t(527)});
    EXPECT_EQ(s.h.ui.messages[0].text, t(528));
    EXPECT_TRUE(s.h.press(2238, 1000).empty());
    EXPECT_EQ(s.h.ui.messages.size(), 1u);
  }
}

TEST(OutputTools, SwitchedOffOutsideProgrammingModeAsksForItFirst) {
  struct Case {
    const char* name;
    int tab;
    const char* address;  // field 2253 (sub-type 19)
    int answer;
    std::vector<int> titles;
    std::string text;
  };
  const Case cases[] = {
      {"18", kTab18, "", mb::kAnswerNo, {500}, t(501)},
      {"19 without an address", kTab19, "", mb::kAnswerNo, {612}, t(501)},
      {"19, switching on declined", kTab19, "13", mb::kAnswerNo, {612}, t(501) + "\n" + t(611)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.setText(2253, c.address);
    // Values left in the sliders stay: the check comes before the tools are put to rest.
    for (int slider : {2244, 2264}) h.ui.setState(win::kMain, slider, 9);
    h.ui.answerNext(c.answer);
    const int adjust = c.tab == kTab18 ? 2225 : 2256;
    h.ui.setState(win::kMain, adjust, 0);
    EXPECT_TRUE(h.press(adjust, 2000).empty());
    std::vector<std::string> want;
    for (int n : c.titles) want.push_back(t(n));
    EXPECT_EQ(titles(h), want);
    ASSERT_FALSE(h.ui.messages.empty());
    EXPECT_EQ(h.ui.messages[0].text, c.text);
    EXPECT_EQ(state(h, c.tab == kTab18 ? 2244 : 2264), 9);
  }
}

TEST(OutputTools19, SetAndTestNeedTheToggle) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab19);
  h.programmingModeOn();
  EXPECT_TRUE(h.press(2276, 1000).empty());  // a test writes nothing
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_TRUE(h.press(2268, 1000).empty());
  ASSERT_EQ(titles(h), std::vector<std::string>{t(527)});
  EXPECT_EQ(h.ui.messages[0].text, t(528));
  EXPECT_TRUE(h.unlocked());
}

TEST(OutputTools, DirectReadOfAnEmptyParameterShowsZeros) {
  ModuleHarness h;
  ParameterStoreModule module(h);
  module.answer(11, 0, 8, 9);
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  for (int spin : {2247, 2248}) h.ui.setState(win::kMain, spin, 4);
  h.press(2229, 2000);
  EXPECT_EQ(h.text(2224), "000");
  EXPECT_EQ(shown(h, {{2242, 2247}, {2243, 2248}}), (std::vector<std::string>{"0/0/0", "0/0/0"}));
}

TEST(OutputTools, DirectParameter) {
  struct Case {
    const char* name;
    int tab;
    int button;
    bool programming;
    Pairs writes;
    std::vector<int> gaps;
  };
  const Case cases[] = {
      {"18 read", kTab18, 2229, true, {{0, 11}}, {}},
      {"18 write", kTab18, 2230, true, {{0, 11}, {1, 42}, {2, 5}, {3, 6}}, {700, 200, 200}},
      {"19 write", kTab19, 2259, true, {{0, 13}, {1, 42}, {2, 5}, {3, 6}}, {200, 200, 200}},
      {"outside programming mode", kTab18, 2230, false, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ParameterStoreModule module(h);
    module.answer(11, 7, 8, 9);
    h.boot();
    h.showFamily(1, c.tab);
    if (c.programming) h.programmingModeOn();
    for (int field : {2224, 2255}) h.setText(field, "42");
    for (auto [spin, v] : {std::pair{2247, 5}, {2248, 6}, {2262, 5}, {2263, 6}})
      h.ui.setState(win::kMain, spin, v);
    const auto w = h.press(c.button, 2000);
    EXPECT_EQ(pairs(w), c.writes);
    EXPECT_EQ(gaps(w), c.gaps);
    EXPECT_EQ(titles(h).size(), c.programming ? 0u : 1u);
    if (c.button == 2229) {
      EXPECT_EQ(shown(h, {{2242, 2247}, {2243, 2248}}),
                (std::vector<std::string>{"8/8/8", "9/9/9"}));
    }
  }
}

// ------------------------------------------------------------------------------------
// Sub-type 19 against the simulated module

struct Servo19 : ModuleHarness {
  Servo19() { sim::addStandardLayout(bus()); }
  std::shared_ptr<sim::SimModule> module() { return sim::findModule(bus(), 1, 19); }
  void toggle(bool on, uint32_t ms = 3000) {
    ui.setState(win::kMain, 2256, on ? 1 : 0);
    press(2256, ms);
  }
};

TEST(OutputTools19, QuestionSwitchesTheProgrammingModeOn) {
  struct Case {
    const char* name;
    const char* address;  // field 2253
    std::vector<int> answers;
    std::vector<int> titles;  // message titles in order
    bool loaded;
  };
  const Case cases[] = {
      {"yes", "13", {mb::kAnswerYes, mb::kAnswerYes, mb::kAnswerNo}, {612, 700, 575}, true},
      {"no", "13", {mb::kAnswerNo}, {612}, false},
      {"no module answers", "40", {mb::kAnswerYes, mb::kAnswerYes}, {612, 700, 710}, false},
      {"no address", "", {}, {612}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Servo19 h;
    h.module()->setParameter(4, 101, 102, 103);  // output 3
    h.module()->setParameter(68, 104, 105, 106);
    h.boot();
    h.showFamily(1, kTab19);
    h.setText(2253, c.address);
    h.ui.setState(win::kMain, 2257, 3);
    for (int a : c.answers) h.ui.answerNext(a);
    h.toggle(true, 6000);
    std::vector<std::string> want;
    for (int n : c.titles) want.push_back(t(n));
    EXPECT_EQ(titles(h), want);
    EXPECT_EQ(h.ctx->bus.programmingMode.load(), c.loaded ? 1 : 0);
    EXPECT_EQ(state(h, 2256), c.loaded ? 1 : 0);
    EXPECT_EQ(h.text(2256), t(c.loaded ? 266 : 265));
    if (c.loaded) {
      EXPECT_EQ(h.ui.messages[0].text, t(501) + "\n" + t(611));
      EXPECT_EQ(shown(h, {{2264, 2266}, {2265, 2267}, {2270, 2272}, {2271, 2273}}),
                (std::vector<std::string>{"101/101/101", "102/102/102", "103/103/103",
                                          "104/104/104"}));
      EXPECT_EQ(h.text(2284), "105");
      EXPECT_EQ(h.text(2285), "106");
    }
    if (std::string(c.address).empty()) {
      EXPECT_EQ(h.ui.focus().second, 2253);
    }
  }
}

TEST(OutputTools19, SetValuesRoundTripThroughTheModule) {
  Servo19 h;
  h.boot();
  h.showFamily(1, kTab19);
  h.setText(2253, "13");
  h.ui.setState(win::kMain, 2257, 3);
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.answerNext(mb::kAnswerNo);
  h.toggle(true, 6000);
  ASSERT_EQ(state(h, 2256), 1);

  const std::pair<int, int> spins[] = {{2266, 41}, {2267, 42}, {2272, 43}, {2273, 44}};
  for (auto [spin, v] : spins) h.ui.setState(win::kMain, spin, v);
  for (int button : {2268, 2269, 2274, 2275}) h.press(button, 2000);
  h.setText(2284, "45");
  h.setText(2285, "46");
  const auto w = h.press(2286, 3000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 12}, {1, 3}, {3, 45}, {2, 16}, {3, 46}, {2, 32}}));
  EXPECT_EQ(gaps(w), (std::vector<int>{400, 400, 200, 400, 200}));
  EXPECT_TRUE(h.unlocked());
  EXPECT_EQ(h.module()->parameter(4), (sim::ParameterValue{41, 42, 43}));
  EXPECT_EQ(h.module()->parameter(68), (sim::ParameterValue{44, 45, 46}));

  // Off: everything at rest; on again: the module's values come back.
  h.toggle(false);
  EXPECT_EQ(h.text(2284), "");
  EXPECT_EQ(state(h, 2266), 0);
  EXPECT_EQ(h.text(2256), t(265));
  h.toggle(true);
  EXPECT_EQ(state(h, 2273), 44);
  EXPECT_EQ(h.text(2285), "46");
  // A test of the middle position: the command, then the output loaded again.
  const auto test = h.press(2280, 3000);
  EXPECT_EQ(pairs(test), (Pairs{{0, 10}, {1, 3}, {2, 128}, {0, 4}, {0, 68}}));
}

}  // namespace
}  // namespace kw::test
