// Tab changes, clearing, function lists, the coupled controls and the service dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "forms/form_builder.h"
#include "forms/parameter_form.h"

namespace kw::test {
namespace {

using K = ControlKind;
constexpr int kMain = win::kMain;

void tab(FormHarness& h, int control, int page) {
  h.ui.setState(kMain, control, page);  // what the user's click does to the control
  h.ui.inject({EventType::TabChanged, kMain, control, page});
  h.run(60);
}

int focused(const FormHarness& h) { return h.ui.focus().second; }

TEST(FormTabs, Family0InnerTabsChooseSubtypeAndFocus) {
  FormHarness h;
  h.start();
  EXPECT_EQ(focused(h), 2140);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 17);
  tab(h, 2002, 2);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 15);
  EXPECT_EQ(focused(h), 2022);
  tab(h, 2002, 1);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 16);
  EXPECT_EQ(focused(h), 2074);
  tab(h, 2002, 0);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 17);
  EXPECT_EQ(focused(h), 2140);
}

TEST(FormTabs, FamilyTabsMoveTheFocusToTheFirstField) {
  FormHarness h;
  h.start();
  const int first[11] = {2022, 2253, 2291, 2327, 2339, 2515, 2528, 2573, 2626, 2607, 2628};
  for (int f = 10; f >= 0; --f) {
    tab(h, 2000, f);
    EXPECT_EQ(h.ctx->form.currentFamily, f);
    EXPECT_EQ(focused(h), first[f]) << "family " << f;
  }
  // Family 1 looks at its own inner tab again.
  h.ui.setState(kMain, 2003, 1);
  tab(h, 2000, 1);
  EXPECT_EQ(focused(h), 2222);
  EXPECT_EQ(h.ctx->form.subtypeFamily1, 18);
  tab(h, 2003, 0);
  EXPECT_EQ(h.ctx->form.subtypeFamily1, 19);
  EXPECT_EQ(focused(h), 2253);
  tab(h, 2003, 1);
  EXPECT_EQ(h.ctx->form.subtypeFamily1, 18);
  EXPECT_EQ(focused(h), 2222);
}

TEST(FormTabs, DirectWriteLockFollowsFamily10) {
  FormHarness h;
  h.start();
  EXPECT_FALSE(h.ctx->forms.directWriteLock);
  tab(h, 2000, 10);
  EXPECT_TRUE(h.ctx->forms.directWriteLock);
  EXPECT_FALSE(h.ui.enabled(kMain, 2005));
  EXPECT_FALSE(h.ui.enabled(kMain, 2010));
  EXPECT_TRUE(h.ui.enabled(kMain, 2006));
  tab(h, 2000, 10);  // the same page again keeps it
  EXPECT_TRUE(h.ctx->forms.directWriteLock);
  EXPECT_FALSE(h.ui.enabled(kMain, 2005));
  tab(h, 2000, 4);
  EXPECT_FALSE(h.ctx->forms.directWriteLock);
  EXPECT_TRUE(h.ui.enabled(kMain, 2005));
  EXPECT_TRUE(h.ui.enabled(kMain, 2010));
  EXPECT_EQ(h.ctx->form.currentFamily, 4);
}

TEST(FormTabs, Family2TabsAndThePositionPanel) {
  FormHarness h;
  h.start();
  // The position panel belongs to the turntable page; make sure its controls exist.
  for (int c = 700; c <= 747; ++c) h.ensure(c, K::Button, ctl::kFamily2Tabs, 3);
  h.ensure(751, K::StatusLabel, ctl::kFamily2Tabs, 3);
  h.ensure(2291, K::NumericField, ctl::kFamily2Tabs, 0);
  h.ctx->bus.stopFlag = 1;  // keep the bus thread from touching the mirror

  tab(h, 2001, 1);
  EXPECT_EQ(h.ctx->form.subtypeFamily2, 12);
  EXPECT_EQ(focused(h), 300);
  tab(h, 2001, 2);
  EXPECT_EQ(h.ctx->form.subtypeFamily2, 13);
  EXPECT_EQ(focused(h), 500);
  tab(h, 2001, 0);
  EXPECT_EQ(h.ctx->form.subtypeFamily2, 11);
  EXPECT_EQ(focused(h), 2291);

  // No address: panel off with text 336.
  h.ui.setText(kMain, 2291, "");
  tab(h, 2001, 3);
  EXPECT_EQ(h.ctx->form.subtypeFamily2, 14);
  EXPECT_EQ(h.ui.text(kMain, 751), t(336));
  for (int c = 700; c <= 747; ++c) EXPECT_FALSE(h.ui.enabled(kMain, c));

  // Address 5, normal operation, turntable idle: panel on, message gone.
  h.ui.setText(kMain, 2291, "5");
  const int bus = h.ctx->currentBus();
  h.ctx->bus.setMirror(bus, 5, 0x7F);
  tab(h, 2001, 3);
  EXPECT_EQ(h.ui.text(kMain, 751), "");
  for (int c = 700; c <= 747; ++c) EXPECT_TRUE(h.ui.enabled(kMain, c));

  // Turntable busy (bit 7): nothing changes.
  h.ui.setText(kMain, 751, "busy");
  h.ui.setEnabled(kMain, 710, false);
  h.ctx->bus.setMirror(bus, 5, 0x80);
  tab(h, 2001, 3);
  EXPECT_EQ(h.ui.text(kMain, 751), "busy");
  EXPECT_FALSE(h.ui.enabled(kMain, 710));
  EXPECT_TRUE(h.ui.enabled(kMain, 711));

  // Programming mode: panel off with text 337.
  h.ctx->bus.programmingMode = 1;
  tab(h, 2001, 3);
  EXPECT_EQ(h.ui.text(kMain, 751), t(337));
  for (int c = 700; c <= 747; ++c) EXPECT_FALSE(h.ui.enabled(kMain, c));
}

TEST(FormSelection, ReadFromTheTabs) {
  FormHarness h;
  h.start();
  h.ui.setState(kMain, 2000, 0);
  h.ui.setState(kMain, 2002, 2);
  selectionFromTabs(*h.ctx);
  EXPECT_EQ(h.ctx->form.currentFamily, 0);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 15);
  EXPECT_EQ(currentSubtype(*h.ctx), 15);
  h.ui.setState(kMain, 2000, 4);
  h.ui.setState(kMain, 2004, 1);
  h.ui.setState(kMain, 2003, 1);
  selectionFromTabs(*h.ctx);
  EXPECT_EQ(h.ctx->form.currentFamily, 4);
  EXPECT_EQ(h.ctx->form.subtypeFamily4, 2350);
  EXPECT_EQ(h.ctx->form.subtypeFamily1, 18);
  // Family 2 keeps the sub-type the tab changes set.
  h.ctx->form.subtypeFamily2 = 13;
  h.ui.setState(kMain, 2000, 2);
  h.ui.setState(kMain, 2001, 0);
  selectionFromTabs(*h.ctx);
  EXPECT_EQ(currentSubtype(*h.ctx), 13);
}

// --- Clearing ------------------------------------------------------------------------

constexpr Colour kMarker = rgb(1, 2, 3);

// Puts a recognisable value into every control of the main window.
void markAll(FormHarness& h) {
  // The bus thread writes a few controls itself (the programming-mode texts); keep it out
  // of the way so that only the clearing changes what was marked.
  h.ctx->bus.stopFlag = 1;
  h.clock.sleep(5);
  for (const auto& [id, c] : h.ui.window(kMain)->controls) {
    if (c.desc.kind == K::TabControl || id >= kFirstAnonymousId) continue;
    if (c.desc.kind == K::DropDown) {
      h.ui.setSelection(kMain, id, 0);
    } else {
      h.ui.setText(kMain, id, "x");
      h.ui.setState(kMain, id, 1);
    }
    h.ui.setBackground(kMain, id, kMarker);
  }
}

bool isEmpty(const FormHarness& h, int id) {
  const HeadlessControl* c = h.c(id);
  if (c->desc.kind == K::DropDown) return h.ui.text(kMain, id).empty();
  return c->text.empty();
}

// Checks that exactly `cleared` lost their value; returns nothing, reports through gtest.
void expectClearedExactly(const FormHarness& h, const std::set<int>& cleared) {
  for (const auto& [id, c] : h.ui.window(kMain)->controls) {
    if (c.desc.kind == K::TabControl || id >= kFirstAnonymousId) continue;
    if (c.desc.kind == K::Slider || c.desc.kind == K::Spin || c.desc.kind == K::CheckBox ||
        c.desc.kind == K::OptionButton)
      continue;  // checked by state in the tests that have them
    EXPECT_EQ(isEmpty(h, id), cleared.count(id) == 1) << "control " << id;
  }
}

std::set<int> range(int first, int last) {
  std::set<int> s;
  for (int c = first; c <= last; ++c) s.insert(c);
  return s;
}

std::set<int> operator+(std::set<int> a, const std::set<int>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

void selectPage(FormHarness& h, int family, int innerTabs = 0, int page = 0) {
  h.ui.setState(kMain, 2000, family);
  if (innerTabs) h.ui.setState(kMain, innerTabs, page);
}

TEST(ClearForm, Type1EmptiesBothTablesAndTheBasicRows) {
  FormHarness h;
  h.start();
  markAll(h);
  selectPage(h, 0, 2002, 2);
  clearForm(*h.ctx, false);
  EXPECT_TRUE(h.ui.messages.empty());
  expectClearedExactly(h, range(2022, 2071));
  // Lists end on the empty item.
  EXPECT_EQ(h.ui.selection(kMain, 2025), static_cast<int>(h.c(2025)->items.size()) - 1);
  EXPECT_EQ(h.c(2032)->background, kMarker);  // colours stay
}

TEST(ClearForm, Type2EmptiesRowsAndRestoresColours) {
  FormHarness h;
  h.start();
  markAll(h);
  selectPage(h, 0, 2002, 1);
  clearForm(*h.ctx, false);
  expectClearedExactly(h, range(2074, 2125) + range(2126, 2135));
  for (int c = 2074; c <= 2125; ++c) {
    const bool count = c >= 2082 && c <= 2085;
    EXPECT_EQ(h.c(c)->background, count ? colour::kDisplayGrey : colour::kInputYellow)
        << "control " << c;
  }
  EXPECT_EQ(h.c(2126)->background, kMarker);
}

TEST(ClearForm, Type3EmptiesOutputsStatusAndParameter28) {
  FormHarness h;
  h.start();
  markAll(h);
  selectPage(h, 0, 2002, 0);
  clearForm(*h.ctx, false);
  expectClearedExactly(h, range(2140, 2151) + range(2152, 2189) + range(2192, 2209) +
                              range(2219, 2221));
  for (int c = 2140; c <= 2151; ++c)
    EXPECT_EQ(h.c(c)->background, c <= 2145 ? colour::kInputYellow : colour::kDisplayGrey);
  EXPECT_EQ(h.c(2152)->background, kMarker);
  // Check boxes of the page are not inputs of the module table.
  EXPECT_EQ(h.c(2216)->state, 1);
}

struct FamilyCase {
  int family;
  int innerTabs;
  int page;
  std::set<int> cleared;
  int focus;  // 0: focus not moved
};

// Makes the controls of a page that a later page builder owns, so that clearing can be
// checked before that page is built.
void ensureFamilyControls(FormHarness& h) {
  const std::pair<int, int> fields[] = {
      {2222, 2224}, {2227, 2228}, {2253, 2254}, {2291, 2299}, {300, 347}, {400, 447},
      {500, 547},   {2327, 2331}, {2339, 2344}, {2354, 2417}, {2419, 2482}, {2515, 2519},
      {2528, 2528}, {2565, 2572}, {2573, 2590}, {2626, 2626}, {2607, 2609}, {2628, 2628}};
  for (auto [first, last] : fields)
    for (int c = first; c <= last; ++c) h.ensure(c, K::NumericField);
  h.ensure(2225, K::CheckBox);
  h.ensure(2226, K::Spin);
  for (int c = 2242; c <= 2246; ++c) h.ensure(c, K::Slider);
  for (int c = 2247; c <= 2251; ++c) h.ensure(c, K::Spin);
  for (int c = 2591; c <= 2606; ++c) h.ensure(c, K::OptionButton);
  h.ensure(2353, K::CheckBox);
  h.ensure(2418, K::CheckBox);
}

TEST(ClearForm, EveryOtherFamilyEmptiesItsList) {
  const std::vector<FamilyCase> cases = {
      {1, 2003, 0, range(2253, 2254), 0},
      {1, 2003, 1, range(2222, 2224) + range(2227, 2228) + range(2247, 2251) + std::set{2226},
       2222},
      {2, 2001, 0, range(2291, 2299), 2291},
      {2, 2001, 1, range(300, 347), 300},
      {2, 2001, 2, range(500, 547), 500},
      {3, 0, 0, range(2327, 2331), 2327},
      {5, 0, 0, range(2515, 2519), 2515},
      {6, 0, 0, range(2565, 2572) + std::set{2528}, 2528},
      {7, 0, 0, range(2573, 2590), 2573},
      {8, 0, 0, {2626}, 2626},
      {9, 0, 0, range(2607, 2609), 2607},
      {10, 0, 0, {2628}, 0},
  };
  for (const FamilyCase& fc : cases) {
    SCOPED_TRACE("family " + std::to_string(fc.family) + " page " + std::to_string(fc.page));
    FormHarness h;
    h.start();
    ensureFamilyControls(h);
    markAll(h);
    h.ui.setFocus(kMain, 1);
    // Family 2 follows the sub-type the tab change keeps.
    if (fc.family == 2) tab(h, 2001, fc.page);
    h.ui.setFocus(kMain, 1);
    selectPage(h, fc.family, fc.innerTabs, fc.page);
    clearForm(*h.ctx, false);
    std::set<int> cleared = fc.cleared;
    if (fc.family == 1 && fc.page == 1) cleared.erase(2226);  // set to 1, not emptied
    if (fc.family == 1 && fc.page == 1)
      for (int c = 2247; c <= 2251; ++c) cleared.erase(c);  // set to 0
    expectClearedExactly(h, cleared);
    EXPECT_EQ(focused(h), fc.focus == 0 ? 1 : fc.focus);
    if (fc.family == 2 && fc.page == 1) {
      for (int c = 400; c <= 447; ++c) EXPECT_EQ(h.ui.text(kMain, c), "0.00000");
    }
    if (fc.family == 1 && fc.page == 1) {
      EXPECT_EQ(h.ui.state(kMain, 2225), 0);
      EXPECT_EQ(h.ui.text(kMain, 2226), "1");
      for (int c = 2242; c <= 2246; ++c) EXPECT_EQ(h.ui.state(kMain, c), 0);
      for (int c = 2247; c <= 2251; ++c) {
        EXPECT_EQ(h.ui.state(kMain, c), 0);
        EXPECT_EQ(h.ui.text(kMain, c), "0");
      }
    }
    if (fc.family == 7) {
      for (int c = 2591; c <= 2606; ++c) EXPECT_EQ(h.ui.state(kMain, c), 0);
    }
  }
}

TEST(ClearForm, Family4ExtensionTablesOnlyWhenSwitchedOn) {
  FormHarness h;
  h.start();
  ensureFamilyControls(h);
  const std::set<int> basic = range(2339, 2344);
  std::set<int> table2348, table2350;
  for (int first : {2354, 2370, 2386, 2402}) table2348 = table2348 + range(first, first + 15);
  for (int first : {2419, 2435, 2451, 2467}) table2350 = table2350 + range(first, first + 15);

  markAll(h);
  h.ui.setState(kMain, 2353, 0);
  h.ui.setState(kMain, 2418, 1);
  selectPage(h, 4, 2004, 0);
  clearForm(*h.ctx, false);
  expectClearedExactly(h, basic);

  markAll(h);
  h.ui.setState(kMain, 2353, 1);
  clearForm(*h.ctx, false);
  expectClearedExactly(h, basic + table2348);

  markAll(h);
  selectPage(h, 4, 2004, 1);
  clearForm(*h.ctx, false);  // 2418 is on after markAll
  expectClearedExactly(h, basic + table2350);
}

TEST(ClearForm, ButtonAsksFirst) {
  FormHarness h;
  h.start();
  markAll(h);
  selectPage(h, 0, 2002, 2);
  h.ui.answerNext(mb::kAnswerNo);
  h.ui.inject({EventType::Click, kMain, 2008});
  h.run(60);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(581));
  EXPECT_EQ(h.ui.messages[0].text, t(582));
  EXPECT_EQ(h.ui.messages[0].flags, mb::kYesNo | mb::kIconQuestion);
  EXPECT_EQ(h.ui.text(kMain, 2022), "x");

  h.ui.answerNext(mb::kAnswerYes);
  h.ui.inject({EventType::Click, kMain, 2008});
  h.run(60);
  EXPECT_EQ(h.ui.messages.size(), 2u);
  expectClearedExactly(h, range(2022, 2071));
}

// --- Function lists ------------------------------------------------------------------

std::vector<std::string> texts(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<std::string> v;
  for (auto [a, b] : ranges)
    for (int n = a; n <= b; ++n) v.push_back(t(n));
  return v;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(FunctionLists, ItemsOfEveryList) {
  FormHarness h;
  h.start();
  const std::vector<std::string> none = {""};
  auto items = [&](int c) { return h.ui.items(kMain, c); };
  EXPECT_EQ(items(2025), texts({{151, 164}, {168, 168}}) + none);
  EXPECT_EQ(items(2026), texts({{151, 164}, {167, 167}}) + none);
  EXPECT_EQ(items(2027), texts({{151, 164}}) + none);
  for (int c = 2042; c <= 2051; ++c) EXPECT_EQ(items(c), texts({{151, 154}}) + none);
  for (int c = 2062; c <= 2071; ++c)
    EXPECT_EQ(items(c), texts({{155, 162}, {165, 166}}) + none);
  EXPECT_EQ(items(2077), texts({{651, 664}, {168, 168}}) + std::vector<std::string>{"21: IR-LED"} +
                             none);
  EXPECT_EQ(items(2078), texts({{651, 664}}) + none);
  EXPECT_EQ(items(2079), texts({{651, 664}, {667, 667}}) + none);
  for (int c = 2106; c <= 2125; ++c)
    EXPECT_EQ(items(c), texts({{651, 666}, {677, 677}, {668, 671}}) + none);
  for (int c = 2143; c <= 2145; ++c)
    EXPECT_EQ(items(c), texts({{651, 664}, {677, 677}, {668, 675}}) +
                            std::vector<std::string>{"26: IR-LED (Eingang) "} + none);
  for (int c = 2172; c <= 2189; ++c) {
    auto expected = texts({{651, 666}, {677, 677}, {668, 675}});
    if ((c - 2172) % 3 == 0) expected.push_back(t(676));
    EXPECT_EQ(items(c), expected + none) << "list " << c;
  }
  // Filling again replaces, it does not append.
  fillFunctionLists(*h.ctx);
  EXPECT_EQ(items(2027).size(), 15u);
}

TEST(FunctionLists, CodeIsTheNumberOfTheFirstTwoCharacters) {
  EXPECT_EQ(functionCode("05: Ausgang"), 5);
  EXPECT_EQ(functionCode("21: IR-LED"), 21);
  EXPECT_EQ(functionCode("26: IR-LED (Eingang) "), 26);
  EXPECT_EQ(functionCode("7: kurz"), 7);
  EXPECT_EQ(functionCode(""), 0);
  EXPECT_EQ(functionCode("x1"), 0);
}

TEST(FunctionLists, TextOfACode) {
  EXPECT_EQ(functionText(2025, 3), 153);
  EXPECT_EQ(functionText(2062, 16), 166);
  EXPECT_EQ(functionText(2077, 18), 168);
  EXPECT_EQ(functionText(2078, 18), 668);
  EXPECT_EQ(functionText(2079, 17), 667);
  EXPECT_EQ(functionText(2106, 17), 677);
  EXPECT_EQ(functionText(2144, 17), 677);
  EXPECT_EQ(functionText(2189, 17), 677);
  EXPECT_EQ(functionText(2172, 27), 676);
  EXPECT_EQ(functionText(2106, 27), 677);
  EXPECT_EQ(functionText(2143, 5), 655);
}

TEST(FunctionLists, EveryItemReadsBackToItself) {
  FormHarness h;
  h.start();
  int checked = 0;
  for (int list = 2000; list <= 2200; ++list) {
    if (!isFunctionList(list)) continue;
    ASSERT_TRUE(h.ui.controlExists(kMain, list)) << list;
    const auto items = h.ui.items(kMain, list);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back(), "");
    for (size_t i = 0; i + 1 < items.size(); ++i) {
      const std::string& item = items[i];
      if (item == "21: IR-LED" || item == "26: IR-LED (Eingang) ") continue;  // fixed items
      EXPECT_EQ(t(functionText(list, functionCode(item))), item) << "list " << list;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

// --- Coupled controls ----------------------------------------------------------------

TEST(FormEvents, ExtensionChoicesExcludeEachOther) {
  FormHarness h;
  h.start();
  h.ui.setState(kMain, 2216, 1);
  h.ui.setState(kMain, 2217, 1);
  h.ui.inject({EventType::Click, kMain, 2217});
  h.run(60);
  EXPECT_EQ(h.ui.state(kMain, 2216), 0);
  EXPECT_EQ(h.ui.state(kMain, 2217), 1);
  h.ui.setState(kMain, 2216, 1);
  h.ui.inject({EventType::Click, kMain, 2216});
  h.run(60);
  EXPECT_EQ(h.ui.state(kMain, 2217), 0);
  EXPECT_EQ(h.ui.state(kMain, 2216), 1);
}

TEST(FormEvents, TurntableModeAndTimingScale) {
  FormHarness h;
  h.start();
  for (int c : {2288, 2289}) h.ensure(c, K::OptionButton, ctl::kFamily2Tabs, 0);
  for (int c : {2290, 2292, 2517}) h.ensure(c, K::NumericField);
  for (int c : {2520, 2521}) h.ensure(c, K::OptionButton);
  h.ensure(2527, K::StatusLabel);
  h.ensure(2526, K::Picture);

  h.ui.inject({EventType::Click, kMain, 2288});
  h.run(60);
  EXPECT_FALSE(h.ui.enabled(kMain, 2292));
  EXPECT_FALSE(h.ui.enabled(kMain, 2290));
  h.ui.inject({EventType::Click, kMain, 2289});
  h.run(60);
  EXPECT_TRUE(h.ui.enabled(kMain, 2292));
  EXPECT_TRUE(h.ui.enabled(kMain, 2290));

  h.ui.inject({EventType::Click, kMain, 2521});
  h.run(60);
  EXPECT_EQ(h.ui.text(kMain, 2527), "(0,0 - 2,4)");
  EXPECT_FALSE(h.ui.enabled(kMain, 2517));
  EXPECT_EQ(h.c(2526)->image, 6);
  h.ui.inject({EventType::Click, kMain, 2520});
  h.run(60);
  EXPECT_EQ(h.ui.text(kMain, 2527), "(0,7 - 2,1)");
  EXPECT_TRUE(h.ui.enabled(kMain, 2517));
  EXPECT_EQ(h.c(2526)->image, 8);
}

TEST(FormEvents, SlidersAndSpinFieldsShowTheSameValue) {
  FormHarness h;
  h.start();
  const std::pair<int, int> pairs[] = {{2242, 2247}, {2243, 2248}, {2244, 2249}, {2245, 2250},
                                       {2246, 2251}, {2260, 2262}, {2261, 2263}, {2264, 2266},
                                       {2265, 2267}, {2270, 2272}, {2271, 2273}};
  for (auto [slider, spin] : pairs) {
    h.ensure(slider, K::Slider);
    h.ensure(spin, K::Spin);
  }
  int value = 10;
  for (auto [slider, spin] : pairs) {
    SCOPED_TRACE(slider);
    h.ui.setState(kMain, slider, value);
    h.ui.inject({EventType::ValueChanged, kMain, slider, value});
    h.run(60);
    EXPECT_EQ(h.ui.state(kMain, spin), value);
    EXPECT_EQ(h.ui.text(kMain, spin), std::to_string(value));
    // Typing into the spin field moves the slider.
    h.ui.setText(kMain, spin, std::to_string(value + 100));
    h.ui.inject({EventType::ValueChanged, kMain, spin, value + 100});
    h.run(60);
    EXPECT_EQ(h.ui.state(kMain, slider), value + 100);
    h.ui.setText(kMain, spin, "7");
    h.ui.inject({EventType::TextChanged, kMain, spin});
    h.run(60);
    EXPECT_EQ(h.ui.state(kMain, slider), 7);
    value += 11;
  }
  // Later pairs leave the earlier ones alone.
  EXPECT_EQ(h.ui.state(kMain, 2242), 7);
  EXPECT_EQ(h.ui.text(kMain, 2247), "7");
}

// --- Service dialog ------------------------------------------------------------------

struct QueueWatch {
  std::vector<std::pair<Tick, size_t>> changes;  // time and new queue length
};

void selectServiceItem(FormHarness& h) {
  const auto items = h.ui.items(kMain, 2077);
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == t(168)) h.ui.setSelection(kMain, 2077, static_cast<int>(i));
  ASSERT_EQ(h.ui.text(kMain, 2077), t(168));
}

TEST(ServiceDialog, ReadsShowsAndWritesBackTheServiceValues) {
  FormHarness h;
  h.start();
  h.run(100);
  h.ctx->bus.stopFlag = 1;  // keep the requests queued so they can be looked at
  h.run(100);
  const int bus = h.ctx->currentBus();
  h.ctx->bus.setMirror(bus, 2, 17);
  h.ctx->bus.setMirror(bus, 1, 42);
  ASSERT_EQ(h.ctx->queue.pendingCount(), 0u);

  QueueWatch watch;
  size_t last = 0;
  h.clock.every(1, [&] {
    const size_t n = h.ctx->queue.pendingCount();
    if (n != last) watch.changes.push_back({h.clock.now(), n});
    last = n;
    return h.ui.windowOpen(win::kService) || n < 3 ? 1 : -1;
  });

  // While the dialog is open, the user changes value B.
  std::string shownA, shownB, title;
  bool seen = false;
  h.clock.every(750, [&] {
    if (const HeadlessWindow* w = h.ui.window(win::kService)) {
      seen = true;
      title = w->desc.title;
      shownA = h.ui.text(win::kService, 2688);
      shownB = h.ui.text(win::kService, 2689);
      h.ui.setText(win::kService, 2689, "43");
    }
    return -1;
  });

  selectServiceItem(h);
  h.ui.ctrlDown = true;
  const Tick start = h.clock.now();
  h.ui.inject({EventType::SelectionChanged, kMain, 2077, 14});
  h.ui.injectAt(start + 800, {EventType::Click, win::kService, 2690});
  h.run(1500);

  ASSERT_TRUE(seen);
  EXPECT_EQ(title, t(635));
  EXPECT_EQ(shownA, "17");
  EXPECT_EQ(shownB, "42");
  EXPECT_FALSE(h.ui.windowOpen(win::kService));

  ASSERT_EQ(watch.changes.size(), 3u);
  // 28 to address 0 at once; after OK, B to address 1, 200 ms, A to address 2.
  EXPECT_LE(tickDiff(watch.changes[0].first, start), 2);
  EXPECT_GE(tickDiff(watch.changes[1].first, start), 800);
  EXPECT_LE(tickDiff(watch.changes[1].first, start), 810);
  EXPECT_EQ(tickDiff(watch.changes[2].first, watch.changes[1].first), 200);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 0, 28}));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 1, 43}));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 2, 17}));
  EXPECT_FALSE(h.ctx->queue.take().has_value());
}

TEST(ServiceDialog, OpensOnlyAfterTheWaitAndCloseBoxWritesNothing) {
  FormHarness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  h.run(100);
  Tick openedAt = 0;
  h.clock.every(1, [&] {
    if (h.ui.windowOpen(win::kService)) {
      openedAt = h.clock.now();
      return -1;
    }
    return 1;
  });
  selectServiceItem(h);
  h.ui.ctrlDown = true;
  const Tick start = h.clock.now();
  h.ui.inject({EventType::SelectionChanged, kMain, 2077, 14});
  h.ui.injectAt(start + 900, {EventType::CloseBox, win::kService, 0});
  h.run(1200);
  EXPECT_GE(tickDiff(openedAt, start), 700);
  EXPECT_LE(tickDiff(openedAt, start), 705);
  EXPECT_FALSE(h.ui.windowOpen(win::kService));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 0, 28}));
  EXPECT_FALSE(h.ctx->queue.take().has_value());
}

TEST(ServiceDialog, NeedsCtrlAndTheServiceItem) {
  FormHarness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  h.run(100);
  selectServiceItem(h);
  h.ui.ctrlDown = false;
  h.ui.inject({EventType::SelectionChanged, kMain, 2077, 14});
  h.run(1000);
  h.ui.ctrlDown = true;
  h.ui.setSelection(kMain, 2077, 0);
  h.ui.inject({EventType::SelectionChanged, kMain, 2077, 0});
  h.run(1000);
  EXPECT_FALSE(h.ctx->queue.take().has_value());
  EXPECT_EQ(std::count(h.ui.log.begin(), h.ui.log.end(), "open 3"), 0);
}

}  // namespace
}  // namespace kw::test
