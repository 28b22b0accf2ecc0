// Factory values of every family and sub-type: the question, what each page gets, and
// what stays as it was.
#include "app/factory_values.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "forms/form_fixture.h"

namespace kw::test {
namespace {

constexpr int kMain = win::kMain;

struct FactoryHarness : FormHarness {
  FactoryHarness() { start(); }
  void show(int family, int innerTab) {
    ui.setState(kMain, ctl::kFamilyTabs, family);
    ui.inject({EventType::TabChanged, kMain, ctl::kFamilyTabs, family});
    run(60);
    const int inner[5] = {ctl::kFamily0Tabs, ctl::kFamily1Tabs, ctl::kFamily2Tabs, 0,
                          ctl::kFamily4Tabs};
    if (innerTab < 0 || family > 4 || inner[family] == 0) return;
    ui.setState(kMain, inner[family], innerTab);
    ui.inject({EventType::TabChanged, kMain, inner[family], innerTab});
    run(60);
  }
  void pressFactory(int answer) {
    ui.answerNext(answer);
    ui.inject({EventType::Click, kMain, ctl::kFactory, 0});
    run(60);
  }
};

using Snapshot = std::map<int, std::tuple<std::string, int, int, bool>>;

Snapshot snapshot(const HeadlessUi& ui) {
  Snapshot s;
  for (const auto& [id, c] : ui.window(kMain)->controls)
    s[id] = {ui.text(kMain, id), c.state, c.selection, c.enabled};
  return s;
}

struct Texts {
  int first;
  int last;
  std::string text;
};
struct States {
  int first;
  int last;
  int state;
};

struct Case {
  const char* name;
  int family;
  int innerTab;
  std::vector<Texts> beforeTexts;
  std::vector<States> beforeStates;
  std::vector<Texts> texts;  // after Yes
  std::vector<States> states;
  int focus = -1;
};

TEST(FactoryValues, EveryFamilyAndSubtype) {
  const Case cases[] = {
      {"0/15", 0, 2, {{2032, 2032, "55"}}, {},
       {{2022, 2022, "11"}, {2023, 2023, "10"}, {2024, 2024, "12"}, {2025, 2027, t(155)},
        {2029, 2029, "12"}, {2032, 2032, ""}},
       {}, 2022},
      {"0/16", 0, 1, {{2086, 2086, "7"}}, {},
       {{2074, 2074, "11"}, {2075, 2075, "10"}, {2076, 2076, "12"}, {2077, 2079, t(655)},
        {2081, 2081, "12"}, {2086, 2086, ""}},
       {}, 2074},
      {"0/17", 0, 0, {{2152, 2152, "9"}, {2192, 2209, "?"}}, {},
       {{2140, 2140, "010"}, {2141, 2141, "011"}, {2142, 2142, "012"}, {2143, 2145, t(655)},
        {2147, 2147, "12"}, {2192, 2209, ""}, {2220, 2220, "18"}, {2219, 2219, "100"},
        {2221, 2221, "3"}, {2152, 2152, ""}},
       {}, 2140},
      {"1/18", 1, 1, {{2224, 2224, "5"}}, {{2225, 2225, 1}, {2226, 2226, 4}},
       {{2222, 2222, "16"}, {2223, 2223, "17"}, {2224, 2224, ""}, {2226, 2226, "1"}},
       {{2225, 2225, 0}, {2226, 2226, 1}}},
      {"1/19", 1, 0, {{2255, 2255, "3"}}, {},
       {{2253, 2253, "16"}, {2254, 2254, "17"}, {2255, 2255, "3"}}, {}},
      {"2/11 first kind", 2, 0, {{2292, 2292, "44"}}, {{2288, 2288, 0}, {2289, 2289, 1}},
       {{2291, 2291, "90"}, {2292, 2292, "91"}, {2293, 2293, "0"}, {2294, 2294, "16"},
        {2295, 2295, "32"}},
       {}, 2291},
      {"2/11 second kind", 2, 0, {{2292, 2292, "44"}}, {{2289, 2289, 0}, {2288, 2288, 1}},
       {{2291, 2291, "90"}, {2292, 2292, "44"}, {2293, 2293, "0"}, {2294, 2294, "16"},
        {2295, 2295, "26"}},
       {}, 2291},
      {"2/12", 2, 1, {}, {}, {{300, 347, "800"}, {2311, 2311, "38400"}}, {}, 300},
      {"2/13", 2, 2, {}, {}, {{500, 523, "00000000"}, {524, 547, "00000001"}}, {}, 500},
      {"3", 3, -1, {}, {{2334, 2334, 0}, {2333, 2333, 1}}, {}, {{2334, 2334, 1}, {2333, 2333, 0}}},
      {"4/2348 with extensions", 4, 0, {}, {{2353, 2353, 1}, {2370, 2417, 1}},
       {{2339, 2339, "10"}, {2344, 2344, "00000000"}, {2354, 2369, "255"}},
       {{2341, 2341, 0}, {2342, 2342, 1}, {2343, 2343, 3}, {2370, 2417, 0}}},
      {"4/2348 without extensions", 4, 0, {{2354, 2354, "7"}}, {{2353, 2353, 0}, {2370, 2370, 1}},
       {{2339, 2339, "10"}, {2344, 2344, "00000000"}, {2354, 2354, "7"}},
       {{2341, 2341, 0}, {2342, 2342, 1}, {2343, 2343, 3}, {2370, 2370, 1}}},
      {"4/2350 with extensions", 4, 1, {{2354, 2354, "7"}}, {{2418, 2418, 1}, {2435, 2482, 1}},
       {{2339, 2339, "10"}, {2419, 2434, "255"}, {2354, 2354, "7"}},
       {{2435, 2482, 0}}},
      // Without its extensions only the fields of both sub-types change; the extension
      // fields of 2350 and those of 2348 keep what they had.
      {"4/2350 without extensions", 4, 1, {{2419, 2434, "7"}, {2354, 2354, "7"}},
       {{2418, 2418, 0}, {2435, 2482, 1}, {2353, 2353, 1}, {2370, 2370, 1}},
       {{2339, 2339, "10"}, {2344, 2344, "00000000"}, {2419, 2434, "7"}, {2354, 2354, "7"}},
       {{2341, 2341, 0}, {2342, 2342, 1}, {2343, 2343, 3}, {2435, 2482, 1}, {2370, 2370, 1}}},
      {"5", 5, -1, {}, {{2520, 2520, 0}, {2521, 2521, 1}, {2523, 2523, 0}, {2522, 2522, 1}},
       {{2527, 2527, "(0,7 - 2,1)"}},
       {{2520, 2520, 1}, {2521, 2521, 0}, {2523, 2523, 1}, {2522, 2522, 0}}},
      {"6", 6, -1, {}, {{2529, 2531, 0}, {2532, 2532, 1}, {2533, 2540, 0}, {2541, 2548, 1}},
       {{2528, 2528, "10"}, {2565, 2572, "5.12"}},
       {{2529, 2531, 1}, {2532, 2532, 0}, {2533, 2540, 1}, {2541, 2548, 0}, {2549, 2556, 1},
        {2557, 2564, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FactoryHarness h;
    h.show(c.family, c.innerTab);
    if (c.family == 5) {  // the second timing scale shown, as its option's click leaves it
      h.ui.inject({EventType::Click, kMain, 2521, 0});
      h.run(60);
      h.ui.setImage(kMain, 2526, 6);  // its picture, whatever the click did with it
    }
    for (const Texts& b : c.beforeTexts)
      for (int id = b.first; id <= b.last; ++id) h.ui.setText(kMain, id, b.text);
    for (const States& b : c.beforeStates)
      for (int id = b.first; id <= b.last; ++id) h.ui.setState(kMain, id, b.state);

    h.pressFactory(mb::kAnswerYes);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].title, t(583));
    EXPECT_EQ(h.ui.messages[0].text, t(584));
    EXPECT_EQ(h.ui.messages[0].flags, mb::kYesNo | mb::kIconQuestion);
    for (const Texts& e : c.texts)
      for (int id = e.first; id <= e.last; ++id) EXPECT_EQ(h.ui.text(kMain, id), e.text) << id;
    for (const States& e : c.states)
      for (int id = e.first; id <= e.last; ++id) EXPECT_EQ(h.ui.state(kMain, id), e.state) << id;
    if (c.focus >= 0) {
      EXPECT_EQ(h.ui.focus().second, c.focus);
    }
    if (c.family == 5) {  // the caption above, and the scale's field and picture with it
      EXPECT_TRUE(h.ui.enabled(kMain, 2517));
      ASSERT_NE(h.ui.control(kMain, 2526), nullptr);
      EXPECT_EQ(h.ui.control(kMain, 2526)->image, 8);
    }
  }
}

// No changes nothing, Yes on families 7 to 10 neither; the selection is read from the
// tabs either way.
TEST(FactoryValues, NoAndFamiliesWithoutValuesChangeNothing) {
  struct Shown {
    int family;
    int innerTab;
    int answer;
  };
  const Shown cases[] = {{0, 0, mb::kAnswerNo}, {0, 2, mb::kAnswerNo}, {1, 1, mb::kAnswerNo},
                        {2, 1, mb::kAnswerNo}, {4, 0, mb::kAnswerNo}, {6, -1, mb::kAnswerNo},
                        {2, 3, mb::kAnswerYes}, {7, -1, mb::kAnswerYes},
                        {8, -1, mb::kAnswerYes}, {9, -1, mb::kAnswerYes}};
  for (const Shown& c : cases) {
    SCOPED_TRACE(std::to_string(c.family) + "/" + std::to_string(c.innerTab));
    FactoryHarness h;
    h.show(c.family, c.innerTab);
    h.ctx->form.currentFamily = 3;  // stale: the button reads the tabs again
    h.ctx->form.subtypeFamily0 = 0;
    const Snapshot before = snapshot(h.ui);
    h.pressFactory(c.answer);
    EXPECT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(snapshot(h.ui), before);
    EXPECT_EQ(h.ctx->form.currentFamily, c.family);
    EXPECT_NE(h.ctx->form.subtypeFamily0, 0);
  }
  // Family 10 keeps the button off; called anyway, it changes nothing either.
  FactoryHarness h;
  h.show(10, -1);
  EXPECT_FALSE(h.ui.enabled(kMain, ctl::kFactory));
  const Snapshot before = snapshot(h.ui);
  h.ui.answerNext(mb::kAnswerYes);
  resetToFactory(*h.ctx);
  EXPECT_EQ(snapshot(h.ui), before);
}

}  // namespace
}  // namespace kw::test
