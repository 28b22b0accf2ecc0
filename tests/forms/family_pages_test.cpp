// The pages of module families 1 to 10: every numbered control with its kind, limits,
// captions and start state; the grouping into frames; the legacy mode of the older servo
// module, the step-table check of the turntable, and clearing each page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "forms/families.h"
#include "forms/form_builder.h"
#include "forms/parameter_form.h"

namespace kw::test {
namespace {

using K = ControlKind;
constexpr int kMain = win::kMain;
constexpr int kTabs = ctl::kFamilyTabs;
constexpr int kServo = ctl::kFamily1Tabs;
constexpr int kTurntable = ctl::kFamily2Tabs;
constexpr int kExtensions = ctl::kFamily4Tabs;

using P = std::pair<int, int>;

std::string n(int v) { return std::to_string(v); }
std::string two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}
std::vector<std::string> texts(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<std::string> v;
  for (auto [a, b] : ranges)
    for (int i = a; i <= b; ++i) v.push_back(t(i));
  return v;
}

// What one numbered control must look like right after start-up.
struct Expect {
  int id = 0;
  K kind = K::Label;
  int parent = 0;
  int page = 0;
  int maxLength = 0;
  std::optional<std::string> text;     // caption or start text; nullopt: not checked
  std::optional<std::string> tooltip;  // nullopt: no tooltip at all
  std::optional<Colour> background;    // nullopt: the kind's colour (see checkTable)
  bool enabled = true;
  int rangeMin = 0;  // sliders and spin fields
  int rangeMax = 0;
  int state = 0;  // check/option/toggle/spin
  bool multiLine = false;
  bool groupStart = false;
  int width = 0;  // 0: not checked
  std::vector<std::string> items;  // lists: checked when not empty
  Align align = Align::Left;       // labels: checked for status labels
  Colour textColour = kNoColour;
};

struct Table {
  std::vector<Expect> rows;
  int parent = 0;
  int page = 0;
  Expect& add(int id, K kind) {
    Expect e;
    e.id = id;
    e.kind = kind;
    e.parent = parent;
    e.page = page;
    if (kind == K::StatusLabel) e.align = Align::Centre;
    rows.push_back(e);
    return rows.back();
  }
  Expect& field(int id, int maxLength, std::optional<std::string> tip) {
    Expect& e = add(id, K::NumericField);
    e.maxLength = maxLength;
    e.text = "";
    e.tooltip = std::move(tip);
    return e;
  }
  Expect& text(int id, int maxLength, std::optional<std::string> tip) {
    Expect& e = add(id, K::TextField);
    e.maxLength = maxLength;
    e.text = "";
    e.tooltip = std::move(tip);
    return e;
  }
  Expect& button(int id, std::string caption, std::optional<std::string> tip) {
    Expect& e = add(id, K::Button);
    e.text = std::move(caption);
    e.tooltip = std::move(tip);
    return e;
  }
  Expect& slider(int id, std::optional<std::string> tip) {
    Expect& e = add(id, K::Slider);
    e.rangeMin = 1;
    e.rangeMax = 255;
    e.tooltip = std::move(tip);
    return e;
  }
  Expect& spin(int id, int min, int max, int start, std::optional<std::string> tip = {}) {
    Expect& e = add(id, K::Spin);
    e.rangeMin = min;
    e.rangeMax = max;
    e.state = start;
    e.text = n(start);
    e.tooltip = std::move(tip);
    return e;
  }
  Expect& option(int id, std::string caption, std::optional<std::string> tip, bool on,
                 bool first) {
    Expect& e = add(id, K::OptionButton);
    e.text = std::move(caption);
    e.tooltip = std::move(tip);
    e.state = on ? 1 : 0;
    e.groupStart = first;
    return e;
  }
  Expect& check(int id, std::string caption, std::optional<std::string> tip, bool on) {
    Expect& e = add(id, K::CheckBox);
    e.text = std::move(caption);
    e.tooltip = std::move(tip);
    e.state = on ? 1 : 0;
    return e;
  }
  Expect& list(int id, std::optional<std::string> tip, std::vector<std::string> items) {
    Expect& e = add(id, K::DropDown);
    e.tooltip = std::move(tip);
    e.items = std::move(items);
    return e;
  }
  Expect& status(int id, std::string start) {
    Expect& e = add(id, K::StatusLabel);
    e.text = std::move(start);
    return e;
  }
  Expect& readOnly(int id) {
    Expect& e = add(id, K::ReadOnlyField);
    e.text = "";
    return e;
  }
  Expect& display(int id) {
    Expect& e = add(id, K::DisplayField);
    e.text = "";
    e.enabled = false;
    return e;
  }
};

// ------------------------------------------------------------------------------------
// The tables.

Table servoTable() {
  Table t19;
  t19.parent = kServo;
  t19.page = 0;
  t19.field(2253, 3, t(205));
  t19.field(2254, 3, t(206));
  t19.display(2258);
  t19.button(2287, t(700), std::nullopt).multiLine = true;
  t19.field(2255, 3, t(210));
  t19.button(2259, t(213), t(214));
  t19.slider(2260, std::nullopt);
  t19.slider(2261, std::nullopt);
  t19.spin(2262, 1, 255, 1);
  t19.spin(2263, 1, 255, 1);
  t19.spin(2257, 1, 8, 1, t(221));
  Expect& adjust = t19.add(2256, K::ToggleButton);
  adjust.text = t(265);
  adjust.tooltip = t(223);
  adjust.multiLine = true;
  const int sliders[4] = {2264, 2265, 2270, 2271};
  const int sliderTips[4] = {228, 230, 263, 264};
  const int spins[4] = {2266, 2267, 2272, 2273};
  const int buttons[4] = {2268, 2269, 2274, 2275};
  const int buttonTips[4] = {229, 231, 234, 234};
  for (int i = 0; i < 4; ++i) {
    t19.slider(sliders[i], t(sliderTips[i]));
    t19.spin(spins[i], 1, 255, 0);
    t19.button(buttons[i], t(227), t(buttonTips[i]));
  }
  t19.field(2284, 3, t(260));
  t19.field(2285, 3, t(261));
  t19.button(2286, t(227), t(262));
  for (int i = 0; i < 4; ++i) t19.button(2276 + i, t(236 + 2 * i), t(237 + 2 * i));
  t19.button(2280, t(245), t(246));
  for (int i = 0; i < 3; ++i) t19.button(2281 + i, t(248 + 2 * i), t(249 + 2 * i));

  // Sub-type 18 starts in legacy mode: the newer generation's controls are off.
  Table t18;
  t18.parent = kServo;
  t18.page = 1;
  t18.field(2222, 3, t(205));
  t18.field(2223, 3, t(206));
  t18.field(2228, 2, std::nullopt).enabled = false;
  t18.display(2227);
  Expect& out = t18.field(2224, 3, t(210));
  out.enabled = false;
  out.background = colour::kDisplayGrey;
  t18.button(2229, t(211), t(212)).enabled = false;
  t18.button(2230, t(213), t(214)).enabled = false;
  t18.slider(2242, t(217)).enabled = false;
  t18.slider(2243, t(218)).enabled = false;
  for (int id : {2247, 2248}) {
    Expect& e = t18.spin(id, 1, 255, 1);
    e.enabled = false;
    e.background = colour::kDisplayGrey;
  }
  t18.spin(2226, 1, 8, 1, t(221));
  t18.check(2225, t(222), t(223), false);
  t18.slider(2244, t(228));
  t18.slider(2245, t(230));
  t18.spin(2249, 1, 255, 0);
  t18.spin(2250, 1, 255, 0);
  t18.button(2231, t(227), t(229));
  t18.button(2232, t(227), t(231));
  t18.slider(2246, t(233));
  t18.spin(2251, 1, 255, 0);
  t18.button(2233, t(227), t(234));
  for (int i = 0; i < 4; ++i) t18.button(2234 + i, t(236 + 2 * i), t(237 + 2 * i));
  t18.button(2238, t(245), t(246));
  for (int i = 0; i < 3; ++i) t18.button(2239 + i, t(248 + 2 * i), t(249 + 2 * i));

  t19.rows.insert(t19.rows.end(), t18.rows.begin(), t18.rows.end());
  return t19;
}

Table turntableTable() {
  Table all;
  all.parent = kTurntable;

  all.page = 0;
  all.button(2290, t(700), std::nullopt).multiLine = true;
  all.option(2288, t(342), std::nullopt, false, true);
  all.option(2289, t(343), std::nullopt, true, false);
  all.field(2291, 3, t(274));
  all.field(2292, 3, t(346));
  all.field(2293, 3, t(277));
  all.field(2294, 3, t(280));
  all.field(2295, 3, t(283));
  all.status(2296, "0");
  all.status(2297, " ");
  all.status(2298, "0");
  all.status(2299, "0");
  all.button(2305, t(288), t(289));
  all.button(2306, t(290), t(291));
  all.button(2300, t(293), t(294));
  all.button(2301, t(295), t(296));
  all.button(2304, t(297), t(298));
  all.button(2302, t(299), t(300));
  Expect& target = all.field(2303, 5, std::nullopt);
  target.text = "1";
  target.background = kNoColour;  // not module data: no input colour

  // The step check ran once at the end of the family: every step is 0.
  all.page = 1;
  for (int s = 0; s < 48; ++s) {
    all.field(300 + s, 4, t(305) + two(s) + t(306) + two(s + 1)).background =
        colour::kZeroPink;
    all.status(400 + s, "0.00000").align = Align::Right;
  }
  all.button(2315, t(308), t(309));
  all.button(2316, t(310), t(311));
  all.button(2317, t(313), t(314));
  Expect& sum = all.readOnly(2311);
  sum.text = "0";
  sum.background = colour::kZeroPink;
  Expect& angle = all.readOnly(2312);
  angle.text = "0.00000";
  angle.background = colour::kZeroPink;

  all.page = 2;
  for (int s = 0; s < 48; ++s) all.field(500 + s, 8, t(321) + two(s));
  all.button(2307, t(323), t(324));
  all.button(2308, t(325), t(326));
  all.button(2309, "00000000", t(328));
  all.button(2310, t(329), t(330));

  all.page = 3;
  for (int c = 0; c < 4; ++c)
    for (int j = 0; j < 12; ++j) {
      const int p = 12 * c + j;
      all.button(700 + p, two(p), t(333) + n(p) + t(c == 0 ? 334 : 333));
    }
  all.status(750, "");
  all.status(751, "").textColour = colour::kWarningRed;
  return all;
}

Table modulesTable() {
  Table all;
  all.parent = kTabs;

  all.page = 3;
  all.field(2327, 3, t(682));
  all.text(2328, 3, t(684));
  all.status(2338, "(0,7 - 2,1)");
  all.field(2329, 1, t(696));
  all.readOnly(2330);
  all.readOnly(2331);
  all.option(2334, t(691), t(692), true, true);
  all.option(2333, t(693), t(694), false, false);
  all.option(2335, t(703), t(704), true, true);
  all.option(2336, t(705), t(706), false, false);
  all.add(2337, K::Picture);
  all.button(2332, t(700), std::nullopt).multiLine = true;

  all.page = 4;
  all.field(2339, 3, t(723));
  all.field(2344, 8, std::nullopt);
  all.readOnly(2340);
  all.status(2351, t(725)).align = Align::Right;
  all.list(2341, std::nullopt, texts({{747, 754}}));
  all.list(2342, std::nullopt, texts({{744, 745}}));
  all.list(2343, std::nullopt, texts({{727, 742}}));
  all.button(2352, t(700), std::nullopt).multiLine = true;
  struct Ext {
    int page, check, field, high, mid, low;
    std::vector<std::string> highItems, lowItems;
  };
  const Ext exts[2] = {
      {0, 2353, 2354, 2370, 2386, 2402, texts({{726, 726}, {728, 742}}), texts({{778, 785}})},
      {1, 2418, 2419, 2435, 2451, 2467, texts({{758, 773}}), texts({{792, 799}})}};
  for (const Ext& x : exts) {
    Table ext;
    ext.parent = kExtensions;
    ext.page = x.page;
    ext.check(x.check, t(791), std::nullopt, false);
    for (int r = 0; r < 16; ++r) {
      ext.field(x.field + r, 3, std::nullopt);
      // The extension lists are not filled in by default: they keep the plain colour.
      ext.list(x.high + r, std::nullopt, x.highItems).background = kNoColour;
      ext.list(x.mid + r, std::nullopt, texts({{775, 776}})).background = kNoColour;
      ext.list(x.low + r, std::nullopt, x.lowItems).background = kNoColour;
    }
    all.rows.insert(all.rows.end(), ext.rows.begin(), ext.rows.end());
  }

  all.page = 5;
  all.field(2515, 3, t(352));
  all.text(2516, 3, t(354));
  all.status(2527, "(0,7 - 2,1)");
  all.field(2517, 1, t(366));
  all.readOnly(2518);
  all.readOnly(2519);
  all.option(2520, t(356), t(357), true, true);
  all.option(2521, t(358), t(359), false, false);
  all.option(2523, t(361), t(362), true, true);
  all.option(2522, t(363), t(364), false, false);
  all.option(2524, t(403), t(404), true, true);
  all.option(2525, t(405), t(406), false, false);
  all.add(2526, K::Picture);

  all.page = 6;
  all.field(2528, 3, t(372));
  all.check(2529, t(374), t(375), true);
  all.check(2530, t(377), t(378), true);
  all.option(2531, t(379), t(380), true, true);
  all.option(2532, t(381), t(382), false, false);
  for (int g = 1; g <= 8; ++g) {
    const int i = g - 1;
    all.option(2533 + i, t(385), t(386) + n(g) + t(387), true, true);
    all.option(2541 + i, t(388), t(386) + n(g) + t(389), false, false);
    all.option(2549 + i, t(391), t(392) + n(g) + t(393), true, true);
    all.option(2557 + i, t(394), t(392) + n(g) + t(395), false, false);
    all.text(2565 + i, 4, t(397) + n(g) + t(398));
  }

  all.page = 7;
  all.field(2573, 3, t(412));
  all.field(2574, 3, t(414));
  for (int g = 1; g <= 8; ++g) {
    const int i = g - 1;
    all.list(2575 + i, t(416) + n(g), texts({{431, 445}})).width = 420;
    all.list(2583 + i, t(417) + n(g), texts({{450, 457}})).width = 100;
    all.option(2591 + i, t(418), t(419) + n(g) + t(420), false, true);
    all.option(2599 + i, t(421), t(419) + n(g) + t(422), false, false);
  }

  all.page = 8;
  all.status(2627, t(481)).textColour = colour::kWarningRed;
  all.field(2626, 3, std::nullopt);

  all.page = 9;
  all.field(2607, 3, t(462));
  all.field(2608, 3, t(464));
  all.text(2609, 5, t(466));
  for (int g = 1; g <= 8; ++g) {
    const int i = g - 1;
    all.option(2610 + 2 * i, t(468), t(469) + n(g) + t(470), true, true);
    all.option(2611 + 2 * i, t(471), t(469) + n(g) + t(472), false, false);
  }

  all.page = 10;
  all.field(2628, 3, t(491));
  for (int k = 0; k < 8; ++k) {
    Expect& e = all.add(2629 + k, K::ToggleButton);
    e.text = "Bit " + n(k + 1);
    e.tooltip = std::nullopt;
  }
  return all;
}

void checkTable(const FormHarness& h, const std::vector<Expect>& table) {
  for (const Expect& x : table) {
    SCOPED_TRACE("control " + std::to_string(x.id));
    const HeadlessControl* c = h.c(x.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->desc.kind, x.kind);
    EXPECT_EQ(c->desc.parent, x.parent);
    EXPECT_EQ(c->desc.page, x.page);
    EXPECT_EQ(c->desc.maxLength, x.maxLength);
    if (x.text) {
      EXPECT_EQ(h.ui.text(kMain, x.id), *x.text);
    }
    if (x.tooltip) {
      EXPECT_EQ(c->tooltip, *x.tooltip);
      EXPECT_EQ(c->tooltipTitle, "");
    } else {
      EXPECT_EQ(c->tooltip, "");
    }
    EXPECT_EQ(c->enabled, x.enabled);
    if (x.width) {
      EXPECT_EQ(c->desc.rect.w, x.width);
    }
    if (!x.items.empty()) {
      EXPECT_EQ(c->items, x.items);
      EXPECT_EQ(c->selection, -1);
    }
    EXPECT_EQ(c->desc.multiLine, x.multiLine);
    EXPECT_EQ(c->desc.droppedWidth, 0);
    if (x.textColour != kNoColour) {
      EXPECT_EQ(c->textColour, x.textColour);
    }

    Colour background = kNoColour;
    switch (x.kind) {
      case K::NumericField:
      case K::TextField:
      case K::Spin:
      case K::DropDown:
        background = colour::kInputYellow;
        break;
      case K::DisplayField:
        background = colour::kDisplayGrey;
        EXPECT_FALSE(c->enabled);
        break;
      default:
        break;
    }
    EXPECT_EQ(c->background, x.background.value_or(background));

    switch (x.kind) {
      case K::Slider:
      case K::Spin:
        EXPECT_EQ(c->desc.rangeMin, x.rangeMin);
        EXPECT_EQ(c->desc.rangeMax, x.rangeMax);
        if (x.kind == K::Spin) {
          EXPECT_EQ(c->state, x.state);
        }
        break;
      case K::CheckBox:
      case K::ToggleButton:
        EXPECT_EQ(c->state, x.state);
        break;
      case K::OptionButton:
        EXPECT_EQ(c->state, x.state);
        EXPECT_EQ(c->desc.groupStart, x.groupStart);
        break;
      case K::StatusLabel:
        EXPECT_EQ(c->desc.align, x.align);
        break;
      default:
        break;
    }
  }
}

TEST(FamilyPages, Family1ServoModules) {
  FormHarness h;
  h.start();
  checkTable(h, servoTable().rows);
}

TEST(FamilyPages, Family2Turntable) {
  FormHarness h;
  h.start();
  checkTable(h, turntableTable().rows);
}

TEST(FamilyPages, Families3To10) {
  FormHarness h;
  h.start();
  checkTable(h, modulesTable().rows);
  EXPECT_EQ(h.c(2337)->image, 7);
  EXPECT_EQ(h.c(2526)->image, 8);
}

// The pages hold exactly the numbered controls of the tables: nothing missing, nothing
// extra, and no number given to two controls of the tables.
TEST(FamilyPages, PagesHoldExactlyTheTabledNumbers) {
  std::set<int> expected;
  for (const Table& table : {servoTable(), turntableTable(), modulesTable()})
    for (const Expect& e : table.rows) EXPECT_TRUE(expected.insert(e.id).second) << e.id;

  FormHarness h;
  h.start();
  std::set<int> found;
  for (const auto& [id, c] : h.ui.window(kMain)->controls) {
    if (id >= kFirstAnonymousId || c.desc.kind == K::TabControl) continue;
    const int parent = c.desc.parent;
    if (parent == kServo || parent == kTurntable || parent == kExtensions ||
        (parent == kTabs && c.desc.page >= 3))
      found.insert(id);
  }
  EXPECT_EQ(found, expected);
}

// ------------------------------------------------------------------------------------
// Labels, frames, pictures and grouping.

std::vector<const HeadlessControl*> unnumbered(const FormHarness& h, int parent, int page,
                                               K kind) {
  std::vector<const HeadlessControl*> out;
  for (const auto& [id, c] : h.ui.window(kMain)->controls)
    if (id >= kFirstAnonymousId && c.desc.parent == parent && c.desc.page == page &&
        c.desc.kind == kind)
      out.push_back(&c);
  return out;
}

std::vector<const HeadlessControl*> withText(const std::vector<const HeadlessControl*>& v,
                                             const std::string& text) {
  std::vector<const HeadlessControl*> out;
  for (const auto* c : v)
    if (c->text == text) out.push_back(c);
  return out;
}

// The one anonymous control of `kind` with `text` on the page.
const HeadlessControl* one(const FormHarness& h, int parent, int page, K kind,
                           const std::string& text) {
  auto v = withText(unnumbered(h, parent, page, kind), text);
  EXPECT_EQ(v.size(), 1u) << "\"" << text << "\" on page " << page << " of " << parent;
  return v.empty() ? nullptr : v.front();
}

std::vector<int> images(const FormHarness& h, int parent, int page) {
  std::vector<int> out;
  for (const auto* c : unnumbered(h, parent, page, K::Picture)) out.push_back(c->image);
  std::sort(out.begin(), out.end());
  return out;
}

bool inside(const Rect& outer, const Rect& r) {
  return r.x >= outer.x && r.y >= outer.y && r.x + r.w <= outer.x + outer.w &&
         r.y + r.h <= outer.y + outer.h;
}

// Every control of `ids` lies inside the frame captioned `caption`, and no other frame of
// the page with a different caption holds it more tightly.
void expectInFrame(const FormHarness& h, int parent, int page, const std::string& caption,
                   std::initializer_list<int> ids) {
  const HeadlessControl* f = one(h, parent, page, K::Frame, caption);
  if (!f) return;
  for (int id : ids) {
    SCOPED_TRACE("control " + std::to_string(id) + " in frame \"" + caption + "\"");
    ASSERT_NE(h.c(id), nullptr);
    EXPECT_EQ(h.c(id)->desc.parent, parent);
    EXPECT_EQ(h.c(id)->desc.page, page);
    EXPECT_TRUE(inside(f->desc.rect, h.c(id)->desc.rect));
  }
}

// The frame with `caption` that holds control `id` (captions may repeat on a page).
const HeadlessControl* frameHolding(const FormHarness& h, int parent, int page,
                                    const std::string& caption, int id) {
  for (const auto* f : withText(unnumbered(h, parent, page, K::Frame), caption))
    if (inside(f->desc.rect, h.c(id)->desc.rect)) return f;
  return nullptr;
}

TEST(FamilyPages, ServoFramesLabelsAndPictures) {
  FormHarness h;
  h.start();
  // Sub-type 19.
  expectInFrame(h, kServo, 0, t(201), {2253, 2254, 2258, 2287});
  expectInFrame(h, kServo, 0, t(219), {2257, 2256});
  expectInFrame(h, kServo, 0, t(224),
                {2264, 2265, 2270, 2271, 2266, 2267, 2272, 2273, 2268, 2269, 2274, 2275});
  expectInFrame(h, kServo, 0, t(259), {2284, 2285, 2286});
  expectInFrame(h, kServo, 0, t(235), {2276, 2277, 2278, 2279});
  expectInFrame(h, kServo, 0, t(244), {2280});
  expectInFrame(h, kServo, 0, t(247), {2281, 2282, 2283});
  const HeadlessControl* untitled = frameHolding(h, kServo, 0, "", 2255);
  ASSERT_NE(untitled, nullptr);
  for (int id : {2259, 2260, 2261, 2262, 2263})
    EXPECT_TRUE(inside(untitled->desc.rect, h.c(id)->desc.rect)) << id;
  auto labels = unnumbered(h, kServo, 0, K::Label);
  for (int text : {202, 203}) {
    const HeadlessControl* l = one(h, kServo, 0, K::Label, t(text));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->textColour, colour::kHeadingPurple);
  }
  for (int text : {208, 209}) {
    const HeadlessControl* l = one(h, kServo, 0, K::Label, t(text));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->textColour, colour::kHeadingOlive);
  }
  for (int text : {207, 215, 216, 220, 225, 226, 257, 258, 236, 240})
    EXPECT_FALSE(withText(labels, t(text)).empty()) << text;
  EXPECT_EQ(images(h, kServo, 0), (std::vector<int>{5}));
  // Each slider has its spin field beside it, on the same row.
  for (auto [slider, spin] : {P{2260, 2262}, P{2261, 2263}, P{2264, 2266}, P{2271, 2273}}) {
    EXPECT_LT(h.c(slider)->desc.rect.x, h.c(spin)->desc.rect.x);
    EXPECT_LT(std::abs(h.c(slider)->desc.rect.y - h.c(spin)->desc.rect.y), 4);
  }

  // Sub-type 18.
  expectInFrame(h, kServo, 1, t(201), {2222, 2223, 2228, 2227});
  expectInFrame(h, kServo, 1, t(219), {2226, 2225});
  expectInFrame(h, kServo, 1, t(224), {2244, 2245, 2249, 2250, 2231, 2232});
  expectInFrame(h, kServo, 1, t(235), {2234, 2235, 2236, 2237});
  expectInFrame(h, kServo, 1, t(244), {2238});
  expectInFrame(h, kServo, 1, t(247), {2239, 2240, 2241});
  const HeadlessControl* adjust = frameHolding(h, kServo, 1, "", 2224);
  ASSERT_NE(adjust, nullptr);
  for (int id : {2229, 2230, 2242, 2243, 2247, 2248})
    EXPECT_TRUE(inside(adjust->desc.rect, h.c(id)->desc.rect)) << id;
  const HeadlessControl* last = frameHolding(h, kServo, 1, "", 2246);
  ASSERT_NE(last, nullptr);
  EXPECT_NE(last, adjust);
  for (int id : {2251, 2233}) EXPECT_TRUE(inside(last->desc.rect, h.c(id)->desc.rect)) << id;
  // Column headings over the three address fields.
  for (auto [heading, field] : {P{202, 2222}, P{203, 2223}, P{204, 2228}}) {
    const HeadlessControl* l = one(h, kServo, 1, K::Label, t(heading));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->desc.rect.x, h.c(field)->desc.rect.x);
    EXPECT_LT(l->desc.rect.y, h.c(field)->desc.rect.y);
  }
  labels = unnumbered(h, kServo, 1, K::Label);
  for (int text : {207, 208, 209, 215, 216, 220, 225, 226, 232})
    EXPECT_FALSE(withText(labels, t(text)).empty()) << text;
  EXPECT_EQ(images(h, kServo, 1), (std::vector<int>{4}));
}

TEST(FamilyPages, TurntableLayout) {
  FormHarness h;
  h.start();
  // Settings: option pair in its frame, tools in theirs.
  expectInFrame(h, kTurntable, 0, t(341), {2288, 2289});
  expectInFrame(h, kTurntable, 0, t(287), {2305, 2306});
  expectInFrame(h, kTurntable, 0, t(292), {2300, 2301, 2304, 2302, 2303});
  auto labels = unnumbered(h, kTurntable, 0, K::Label);
  for (int text : {272, 273, 344, 345, 275, 276, 278, 279, 281, 282, 284, 285, 286})
    EXPECT_EQ(withText(labels, t(text)).size(), 1u) << text;
  // 2303 beside 2302; 2297 beside 2296.
  EXPECT_GT(h.c(2303)->desc.rect.x, h.c(2302)->desc.rect.x);
  EXPECT_LT(std::abs(h.c(2303)->desc.rect.y - h.c(2302)->desc.rect.y), 6);
  EXPECT_GT(h.c(2297)->desc.rect.x, h.c(2296)->desc.rect.x);
  EXPECT_EQ(h.c(2297)->desc.rect.y, h.c(2296)->desc.rect.y);

  // Step table: four blocks of twelve rows, each row label, field, angle.
  labels = unnumbered(h, kTurntable, 1, K::Label);
  for (int text : {302, 303, 304}) EXPECT_EQ(withText(labels, t(text)).size(), 4u) << text;
  for (int s = 0; s < 48; ++s) {
    SCOPED_TRACE("step " + n(s));
    const std::string caption = two(s) + " - " + two((s + 1) % 48);
    const auto row = withText(labels, caption);
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0]->desc.align, Align::Right);
    const Rect field = h.c(300 + s)->desc.rect;
    const Rect angle = h.c(400 + s)->desc.rect;
    EXPECT_LT(row[0]->desc.rect.x, field.x);
    EXPECT_LT(field.x, angle.x);
    EXPECT_EQ(field.y, h.c(300 + s % 12)->desc.rect.y);   // rows line up across blocks
    EXPECT_EQ(field.x, h.c(300 + (s / 12) * 12)->desc.rect.x);  // one column per block
    if (s % 12 > 0) {
      EXPECT_GT(field.y, h.c(300 + s - 1)->desc.rect.y);
    }
    if (s >= 12) {
      EXPECT_GT(field.x, h.c(300 + s - 12)->desc.rect.x + 100);
    }
  }
  EXPECT_EQ(withText(labels, "47 - 00").size(), 1u);
  expectInFrame(h, kTurntable, 1, t(307), {2315, 2316});
  expectInFrame(h, kTurntable, 1, t(312), {2317});
  EXPECT_EQ(withText(labels, t(315)).size(), 1u);
  EXPECT_EQ(withText(labels, t(316)).size(), 1u);

  // Patterns: numbered rows in four blocks, legend.
  labels = unnumbered(h, kTurntable, 2, K::Label);
  for (int text : {318, 319}) EXPECT_EQ(withText(labels, t(text)).size(), 4u) << text;
  for (int s = 0; s < 48; ++s) {
    const auto row = withText(labels, two(s));
    ASSERT_EQ(row.size(), 1u) << s;
    EXPECT_EQ(row[0]->desc.rect.y, h.c(500 + s)->desc.rect.y + 3);
    EXPECT_EQ(h.c(500 + s)->desc.rect.y, h.c(500 + s % 12)->desc.rect.y);
  }
  for (const std::string& s : {std::string("1:"), std::string("3:"), std::string("4:"),
                               std::string("5:"), t(320), std::string("J6 - 5"),
                               std::string("J6 - 4"), std::string("J6 - 3")})
    EXPECT_EQ(withText(labels, s).size(), 1u) << s;
  expectInFrame(h, kTurntable, 2, t(322), {2307, 2308});
  expectInFrame(h, kTurntable, 2, t(327), {2309, 2310});

  // Position panel: four columns of twelve, each button with its row label.
  labels = unnumbered(h, kTurntable, 3, K::Label);
  EXPECT_EQ(withText(labels, t(332)).size(), 48u);
  EXPECT_EQ(withText(labels, t(335)).size(), 1u);
  for (int p = 0; p < 48; ++p) {
    const Rect r = h.c(700 + p)->desc.rect;
    EXPECT_EQ(r.y, h.c(700 + p % 12)->desc.rect.y) << p;
    if (p >= 12) {
      EXPECT_GT(r.x, h.c(700 + p - 12)->desc.rect.x) << p;
    }
    EXPECT_LT(r.y, h.c(750)->desc.rect.y);
  }
  EXPECT_LT(h.c(750)->desc.rect.y, h.c(751)->desc.rect.y);
}

TEST(FamilyPages, ModuleFramesLabelsAndPictures) {
  FormHarness h;
  h.start();
  // Family 3.
  expectInFrame(h, kTabs, 3, t(690), {2334, 2333});
  expectInFrame(h, kTabs, 3, t(702), {2335, 2336});
  EXPECT_LT(h.c(2334)->desc.rect.y, h.c(2333)->desc.rect.y);
  auto labels = unnumbered(h, kTabs, 3, K::Label);
  for (const std::string& s : {t(681), t(683), t(695), t(697), t(699), std::string("(1 - 111)"),
                               std::string("(0 - 7)")})
    EXPECT_EQ(withText(labels, s).size(), 1u) << s;
  // Range captions follow their fields.
  EXPECT_GT(h.c(2338)->desc.rect.x, h.c(2328)->desc.rect.x);
  EXPECT_EQ(h.c(2338)->desc.rect.y, h.c(2328)->desc.rect.y + 3);
  EXPECT_TRUE(images(h, kTabs, 3).empty());  // its picture has a number

  // Family 4: three lists under their captions, extension tables below.
  labels = unnumbered(h, kTabs, 4, K::Label);
  using Caption = std::pair<const char*, int>;
  for (auto [caption, list] : {Caption{"8-6", 2341}, Caption{"5", 2342}, Caption{"4-1", 2343}}) {
    const auto l = withText(labels, caption);
    ASSERT_EQ(l.size(), 1u) << caption;
    EXPECT_LT(l[0]->desc.rect.y, h.c(list)->desc.rect.y);
    EXPECT_LT(std::abs(l[0]->desc.rect.x - h.c(list)->desc.rect.x), 40);
  }
  EXPECT_LT(h.c(2341)->desc.rect.x, h.c(2342)->desc.rect.x);
  EXPECT_LT(h.c(2342)->desc.rect.x, h.c(2343)->desc.rect.x);
  EXPECT_LT(h.c(2351)->desc.rect.x, h.c(2341)->desc.rect.x);
  for (int text : {681, 756, 697}) EXPECT_EQ(withText(labels, t(text)).size(), 1u) << text;
  EXPECT_EQ(images(h, kTabs, 4), (std::vector<int>{18}));
  EXPECT_EQ(h.c(kExtensions)->desc.rect, kFamily4ExtensionTabsRect);
  for (int page = 0; page < 2; ++page) {
    SCOPED_TRACE("extension page " + n(page));
    const int rowText = page == 0 ? 774 : 788;
    const int field = page == 0 ? 2354 : 2419;
    const int warn = 790;
    labels = unnumbered(h, kExtensions, page, K::Label);
    const auto w = withText(labels, t(warn));
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0]->textColour, colour::kWarningRed);
    for (const char* caption : {"8-5", "4", "3-1"}) EXPECT_EQ(withText(labels, caption).size(), 2u);
    for (int r = 0; r < 16; ++r) {
      const auto l = withText(labels, t(rowText) + two(r + 1) + " - Adr");
      ASSERT_EQ(l.size(), 1u) << r;
      const Rect f = h.c(field + r)->desc.rect;
      EXPECT_LT(l[0]->desc.rect.x, f.x);
      // Field, then the three lists of the byte, left to right on one row.
      int x = f.x;
      for (int list = 1; list <= 3; ++list) {
        const Rect lr = h.c(field + 16 * list + r)->desc.rect;
        EXPECT_GT(lr.x, x);
        EXPECT_EQ(lr.y, f.y);
        x = lr.x;
      }
    }
  }

  // Family 5.
  expectInFrame(h, kTabs, 5, t(355), {2520, 2521});
  expectInFrame(h, kTabs, 5, t(360), {2523, 2522});
  expectInFrame(h, kTabs, 5, t(402), {2524, 2525});
  EXPECT_LT(h.c(2523)->desc.rect.y, h.c(2522)->desc.rect.y);
  labels = unnumbered(h, kTabs, 5, K::Label);
  const auto note = withText(labels, t(368));
  ASSERT_EQ(note.size(), 1u);
  EXPECT_EQ(note[0]->textColour, rgb(175, 0, 0));
  EXPECT_GE(note[0]->desc.rect.h, 3 * 14);  // three lines
  for (const std::string& s : {t(351), t(353), t(365), t(367), std::string("Modul")})
    EXPECT_EQ(withText(labels, s).size(), 1u) << s;

  // Family 6: eight groups, 1..4 left and 5..8 right, each with its three sub-frames.
  expectInFrame(h, kTabs, 6, t(371), {2528});
  expectInFrame(h, kTabs, 6, t(376), {2530, 2531, 2532});
  EXPECT_EQ(withText(unnumbered(h, kTabs, 6, K::Label), t(373)).size(), 1u);
  EXPECT_EQ(images(h, kTabs, 6), (std::vector<int>{13}));
  for (int g = 1; g <= 8; ++g) {
    SCOPED_TRACE("group " + n(g));
    const int i = g - 1;
    expectInFrame(h, kTabs, 6, t(383) + n(g), {2533 + i, 2541 + i, 2549 + i, 2557 + i, 2565 + i});
    const HeadlessControl* group = one(h, kTabs, 6, K::Frame, t(383) + n(g));
    const HeadlessControl* first = one(h, kTabs, 6, K::Frame, t(383) + n(g <= 4 ? 1 : 5));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->desc.rect.x, first->desc.rect.x);
    if (g > 4) {
      EXPECT_GT(group->desc.rect.x, one(h, kTabs, 6, K::Frame, t(383) + "1")->desc.rect.x);
    }
    if (g != 1 && g != 5) {
      EXPECT_GT(group->desc.rect.y, first->desc.rect.y);
    }
    const auto* sub1 = frameHolding(h, kTabs, 6, t(384), 2533 + i);
    const auto* sub2 = frameHolding(h, kTabs, 6, t(390), 2549 + i);
    const auto* sub3 = frameHolding(h, kTabs, 6, t(396), 2565 + i);
    ASSERT_TRUE(sub1 && sub2 && sub3);
    EXPECT_TRUE(inside(sub1->desc.rect, h.c(2541 + i)->desc.rect));
    EXPECT_TRUE(inside(sub2->desc.rect, h.c(2557 + i)->desc.rect));
    for (const auto* sub : {sub1, sub2, sub3}) EXPECT_TRUE(inside(group->desc.rect, sub->desc.rect));
  }
  EXPECT_EQ(withText(unnumbered(h, kTabs, 6, K::Frame), t(384)).size(), 8u);
  EXPECT_EQ(withText(unnumbered(h, kTabs, 6, K::Label), t(399)).size(), 8u);

  // Family 7: one frame per row.
  for (int g = 1; g <= 8; ++g) {
    const int i = g - 1;
    expectInFrame(h, kTabs, 7, t(415) + n(g), {2575 + i, 2583 + i, 2591 + i, 2599 + i});
    if (g > 1) {
      EXPECT_GT(h.c(2575 + i)->desc.rect.y, h.c(2574 + i)->desc.rect.y);
    }
  }
  labels = unnumbered(h, kTabs, 7, K::Label);
  for (int text : {411, 413}) EXPECT_EQ(withText(labels, t(text)).size(), 1u);
  EXPECT_EQ(images(h, kTabs, 7), (std::vector<int>{12}));

  // Family 8.
  labels = unnumbered(h, kTabs, 8, K::Label);
  for (int text = 482; text <= 487; ++text) EXPECT_EQ(withText(labels, t(text)).size(), 1u);
  EXPECT_EQ(images(h, kTabs, 8), (std::vector<int>{11}));

  // Family 9: eight frames side by side.
  for (int g = 1; g <= 8; ++g) {
    const int i = g - 1;
    expectInFrame(h, kTabs, 9, t(467) + n(g), {2610 + 2 * i, 2611 + 2 * i});
    if (g > 1) {
      EXPECT_GT(h.c(2610 + 2 * i)->desc.rect.x, h.c(2608 + 2 * i)->desc.rect.x);
      EXPECT_EQ(h.c(2610 + 2 * i)->desc.rect.y, h.c(2610)->desc.rect.y);
    }
  }
  labels = unnumbered(h, kTabs, 9, K::Label);
  for (const std::string& s : {t(461), t(463), t(465), std::string("in Sek. (z.B. 0.48)")})
    EXPECT_EQ(withText(labels, s).size(), 1u) << s;
  EXPECT_EQ(images(h, kTabs, 9), (std::vector<int>{10}));

  // Family 10: bit 8 on the left down to bit 1 on the right.
  for (int k = 1; k < 8; ++k)
    EXPECT_LT(h.c(2629 + k)->desc.rect.x, h.c(2629 + k - 1)->desc.rect.x) << k;
  EXPECT_EQ(withText(unnumbered(h, kTabs, 10, K::Label), t(461)).size(), 1u);
}

// ------------------------------------------------------------------------------------
// Legacy mode of the older servo module.

constexpr int kNewerOnly[] = {2224, 2229, 2230, 2242, 2243, 2247, 2248};

TEST(LegacyMode, BuiltOnAndSwitchedBothWays) {
  FormHarness h;
  h.start();
  EXPECT_TRUE(h.ctx->forms.legacyMode);

  setLegacyMode(*h.ctx, false);
  EXPECT_FALSE(h.ctx->forms.legacyMode);
  for (int c : kNewerOnly) EXPECT_TRUE(h.ui.enabled(kMain, c)) << c;
  for (int c : {2224, 2247, 2248}) EXPECT_EQ(h.c(c)->background, colour::kInputYellow) << c;
  // 2228 is left to the read-out when the newer generation is shown.
  EXPECT_FALSE(h.ui.enabled(kMain, 2228));
  h.ui.setEnabled(kMain, 2228, true);
  setLegacyMode(*h.ctx, false);
  EXPECT_TRUE(h.ui.enabled(kMain, 2228));

  setLegacyMode(*h.ctx, true);
  EXPECT_TRUE(h.ctx->forms.legacyMode);
  for (int c : kNewerOnly) EXPECT_FALSE(h.ui.enabled(kMain, c)) << c;
  for (int c : {2224, 2247, 2248}) EXPECT_EQ(h.c(c)->background, colour::kDisplayGrey) << c;
  EXPECT_FALSE(h.ui.enabled(kMain, 2228));
  // The rest of the page is untouched.
  for (int c : {2222, 2223, 2226, 2225, 2244, 2245, 2246, 2249, 2231, 2233, 2234, 2239})
    EXPECT_TRUE(h.ui.enabled(kMain, c)) << c;
  for (int c : {2222, 2223, 2249}) EXPECT_EQ(h.c(c)->background, colour::kInputYellow) << c;
}

// ------------------------------------------------------------------------------------
// Step table check.

void setSteps(FormHarness& h, const std::vector<int>& values) {
  for (int s = 0; s < 48; ++s)
    h.ui.setText(kMain, 300 + s, s < static_cast<int>(values.size()) ? n(values[s]) : "");
}

std::vector<int> fullTurn() { return std::vector<int>(48, 800); }

TEST(CheckSteps, FullTurnTurnsBothSumsGreen) {
  FormHarness h;
  h.start();
  setSteps(h, fullTurn());
  checkSteps(*h.ctx);
  EXPECT_EQ(h.ui.text(kMain, 2311), "38400");
  EXPECT_EQ(h.ui.text(kMain, 2312), "360.00000");
  EXPECT_EQ(h.c(2311)->background, colour::kSumGreen);
  EXPECT_EQ(h.c(2312)->background, colour::kSumGreen);
  for (int s = 0; s < 48; ++s) {
    EXPECT_EQ(h.ui.text(kMain, 400 + s), "7.50000") << s;
    EXPECT_EQ(h.c(300 + s)->background, colour::kWhite) << s;
  }
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.ctx->cancelRequested.load(), 0);
  EXPECT_TRUE(h.ctx->forms.tableValid);
}

TEST(CheckSteps, OneShortStaysPinkWithoutMessage) {
  FormHarness h;
  h.start();
  std::vector<int> v = fullTurn();
  v[47] = 799;
  setSteps(h, v);
  checkSteps(*h.ctx);
  EXPECT_EQ(h.ui.text(kMain, 2311), "38399");
  EXPECT_EQ(h.ui.text(kMain, 2312), "359.99063");
  EXPECT_EQ(h.c(2311)->background, colour::kZeroPink);
  EXPECT_EQ(h.c(2312)->background, colour::kZeroPink);
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.ctx->cancelRequested.load(), 0);
}

TEST(CheckSteps, OneOverWarnsOncePerCheckAndCancels) {
  FormHarness h;
  h.start();
  std::vector<int> v = fullTurn();
  v[0] = 801;
  setSteps(h, v);
  checkSteps(*h.ctx);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(530));
  EXPECT_EQ(h.ui.messages[0].text, t(531) + "38400!     ");
  EXPECT_EQ(h.ui.messages[0].flags, mb::kOk | mb::kIconWarning);
  EXPECT_EQ(h.ctx->cancelRequested.load(), 1);
  EXPECT_EQ(h.ui.text(kMain, 2311), "38401");
  EXPECT_EQ(h.c(2311)->background, colour::kZeroPink);
  EXPECT_EQ(h.c(2312)->background, colour::kZeroPink);

  h.ctx->cancelRequested = 0;
  checkSteps(*h.ctx);
  EXPECT_EQ(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ctx->cancelRequested.load(), 1);
}

TEST(CheckSteps, AngleLabelsAndZeroFields) {
  FormHarness h;
  h.start();
  std::vector<int> v(48, 0);
  v[0] = 1234;
  v[5] = 320;
  v[20] = 9999;
  setSteps(h, v);
  h.ui.setText(kMain, 300 + 7, "");  // an empty field counts as 0
  checkSteps(*h.ctx);
  EXPECT_EQ(h.ui.text(kMain, 400), "11.56875");
  EXPECT_EQ(h.ui.text(kMain, 405), "3.00000");
  EXPECT_EQ(h.ui.text(kMain, 407), "0.00000");
  EXPECT_EQ(h.ui.text(kMain, 420), "93.74063");  // 93.740625 rounds up
  EXPECT_EQ(h.ui.text(kMain, 2311), n(1234 + 320 + 9999));
  for (int s = 0; s < 48; ++s) {
    const bool set = s == 0 || s == 5 || s == 20;
    EXPECT_EQ(h.c(300 + s)->background, set ? colour::kWhite : colour::kZeroPink) << s;
  }
}

TEST(CheckSteps, TableValidFollowsTheLastField) {
  FormHarness h;
  h.start();
  std::vector<int> v = fullTurn();
  v[47] = 0;
  setSteps(h, v);
  checkSteps(*h.ctx);
  EXPECT_FALSE(h.ctx->forms.tableValid);

  v = fullTurn();
  v[0] = 0;
  v[1] = 1600;
  setSteps(h, v);
  checkSteps(*h.ctx);
  EXPECT_TRUE(h.ctx->forms.tableValid);  // only the last step decides
  EXPECT_EQ(h.c(2311)->background, colour::kSumGreen);
}

TEST(CheckSteps, TypingIntoAStepFieldChecksTheTable) {
  FormHarness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  for (int s : {0, 23, 47}) {
    h.ui.setText(kMain, 300 + s, "160");
    h.ui.inject({EventType::TextChanged, kMain, 300 + s});
    h.run(60);
    EXPECT_EQ(h.ui.text(kMain, 400 + s), "1.50000") << s;
    EXPECT_EQ(h.c(300 + s)->background, colour::kWhite) << s;
  }
  EXPECT_EQ(h.ui.text(kMain, 2311), "480");
  // A change of another field of the page does not run the check.
  h.ui.setText(kMain, 300, "1");
  h.ui.inject({EventType::TextChanged, kMain, 2303});
  h.run(60);
  EXPECT_EQ(h.ui.text(kMain, 2311), "480");
}

// ------------------------------------------------------------------------------------
// Clearing each page, with the real controls.

constexpr Colour kMarker = rgb(1, 2, 3);

// Controls whose text the bus thread writes (programming-mode state), left out.
bool busOwned(int id) {
  return id == 751 || id == 2332 || id == 2287 || id == 2290 || id == 2218 || id == 2352;
}

void markAll(FormHarness& h) {
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

bool isEmpty(const FormHarness& h, int id) { return h.ui.text(kMain, id).empty(); }

void expectClearedExactly(const FormHarness& h, const std::set<int>& cleared) {
  for (const auto& [id, c] : h.ui.window(kMain)->controls) {
    if (c.desc.kind == K::TabControl || id >= kFirstAnonymousId || busOwned(id)) continue;
    if (c.desc.kind == K::Slider || c.desc.kind == K::Spin || c.desc.kind == K::CheckBox ||
        c.desc.kind == K::OptionButton || c.desc.kind == K::ToggleButton)
      continue;  // by state below
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

int focused(const FormHarness& h) { return h.ui.focus().second; }

struct ClearCase {
  int family;
  int innerTabs;
  int page;
  std::set<int> cleared;
  int focus;  // 0: the focus stays
};

// Starts a program, marks every control, selects the page and clears it.
void clearPage(FormHarness& h, const ClearCase& c) {
  h.start();
  h.ctx->bus.stopFlag = 1;
  markAll(h);
  h.ui.setFocus(kMain, 1);
  h.ui.setState(kMain, 2000, c.family);
  if (c.innerTabs) h.ui.setState(kMain, c.innerTabs, c.page);
  // Family 2 keeps the sub-type its tab changes set.
  if (c.family == 2) h.ctx->form.subtypeFamily2 = 11 + c.page;
  clearForm(*h.ctx, false);
}

TEST(ClearFamilyPages, EachPageEmptiesExactlyItsInputs) {
  const std::vector<ClearCase> cases = {
      {1, 2003, 0, range(2253, 2254), 0},
      {1, 2003, 1, range(2222, 2224) + range(2227, 2228), 2222},
      {2, 2001, 0, range(2291, 2299), 2291},
      {2, 2001, 1, range(300, 347), 300},
      {2, 2001, 2, range(500, 547), 500},
      {2, 2001, 3, {}, 0},
      {3, 0, 0, range(2327, 2331), 2327},
      {5, 0, 0, range(2515, 2519), 2515},
      {6, 0, 0, range(2565, 2572) + std::set{2528}, 2528},
      {7, 0, 0, range(2573, 2590), 2573},
      {8, 0, 0, {2626}, 2626},
      {9, 0, 0, range(2607, 2609), 2607},
      {10, 0, 0, {2628}, 0},
  };
  for (const ClearCase& c : cases) {
    SCOPED_TRACE("family " + n(c.family) + " page " + n(c.page));
    FormHarness h;
    clearPage(h, c);
    expectClearedExactly(h, c.cleared);
    EXPECT_EQ(focused(h), c.focus == 0 ? 1 : c.focus);
    EXPECT_TRUE(h.ui.messages.empty());
  }
}

TEST(ClearFamilyPages, OlderServoModuleResetsItsAdjustment) {
  FormHarness h;
  clearPage(h, {1, 2003, 1, {}, 0});
  EXPECT_EQ(h.ui.state(kMain, 2225), 0);
  EXPECT_EQ(h.ui.text(kMain, 2226), "1");
  for (int c = 2242; c <= 2246; ++c) EXPECT_EQ(h.ui.state(kMain, c), 0) << c;
  for (int c = 2247; c <= 2251; ++c) {
    EXPECT_EQ(h.ui.state(kMain, c), 0) << c;
    EXPECT_EQ(h.ui.text(kMain, c), "0") << c;
  }
  // The newer module's page keeps its sliders.
  EXPECT_EQ(h.ui.state(kMain, 2260), 1);
  EXPECT_EQ(h.ui.state(kMain, 2262), 1);
  EXPECT_EQ(h.ui.text(kMain, 2262), "1");
}

TEST(ClearFamilyPages, StepTableIsCheckedAgain) {
  FormHarness h;
  clearPage(h, {2, 2001, 1, {}, 0});
  for (int s = 0; s < 48; ++s) {
    EXPECT_EQ(h.ui.text(kMain, 400 + s), "0.00000") << s;
    EXPECT_EQ(h.c(300 + s)->background, colour::kZeroPink) << s;
  }
  EXPECT_EQ(h.ui.text(kMain, 2311), "0");
  EXPECT_EQ(h.ui.text(kMain, 2312), "0.00000");
  EXPECT_EQ(h.c(2311)->background, colour::kZeroPink);
  EXPECT_FALSE(h.ctx->forms.tableValid);
  // Patterns and settings keep their values.
  EXPECT_EQ(h.ui.text(kMain, 500), "x");
  EXPECT_EQ(h.ui.text(kMain, 2291), "x");
}

TEST(ClearFamilyPages, GroupModuleOptionsAreNotModuleValues) {
  FormHarness h;
  clearPage(h, {7, 0, 0, {}, 0});
  for (int c = 2591; c <= 2606; ++c) EXPECT_EQ(h.ui.state(kMain, c), 0) << c;
  // Family 7's lists show no item; family 6 and 9 options stay as they were.
  for (int c = 2575; c <= 2590; ++c) EXPECT_EQ(h.ui.selection(kMain, c), -1) << c;
  for (int c : {2533, 2541, 2610, 2611}) EXPECT_EQ(h.ui.state(kMain, c), 1) << c;
}

TEST(ClearFamilyPages, AddressModuleListsAndExtensionTables) {
  std::set<int> table2348, table2350;
  for (int first : {2354, 2370, 2386, 2402}) table2348 = table2348 + range(first, first + 15);
  for (int first : {2419, 2435, 2451, 2467}) table2350 = table2350 + range(first, first + 15);
  const std::set<int> basic = range(2339, 2344);
  struct Case {
    int page;
    bool check2353;
    bool check2418;
    std::set<int> cleared;
  };
  const Case cases[] = {{0, false, true, basic},
                        {0, true, false, basic + table2348},
                        {1, true, false, basic},
                        {1, false, true, basic + table2350}};
  for (const Case& c : cases) {
    SCOPED_TRACE("page " + n(c.page) + " checks " + n(c.check2353) + n(c.check2418));
    FormHarness h;
    h.start();
    h.ctx->bus.stopFlag = 1;
    markAll(h);
    h.ui.setState(kMain, 2353, c.check2353 ? 1 : 0);
    h.ui.setState(kMain, 2418, c.check2418 ? 1 : 0);
    h.ui.setState(kMain, 2000, 4);
    h.ui.setState(kMain, 2004, c.page);
    clearForm(*h.ctx, false);
    expectClearedExactly(h, c.cleared);
    // Lists without an empty item show no selection at all.
    for (int list : {2341, 2342, 2343}) EXPECT_EQ(h.ui.selection(kMain, list), -1) << list;
    for (int id : c.cleared)
      if (h.c(id)->desc.kind == K::DropDown) {
        EXPECT_EQ(h.ui.selection(kMain, id), -1) << id;
      }
  }
}

// ------------------------------------------------------------------------------------
// Tab changes land on the real first fields.

TEST(FamilyPages, TabChangesFocusTheFirstFieldOfEachPage) {
  FormHarness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  auto tab = [&](int control, int page) {
    h.ui.setState(kMain, control, page);
    h.ui.inject({EventType::TabChanged, kMain, control, page});
    h.run(60);
  };
  const int first[11] = {2022, 2253, 2291, 2327, 2339, 2515, 2528, 2573, 2626, 2607, 2628};
  for (int f = 1; f <= 10; ++f) {
    tab(2000, f);
    EXPECT_EQ(focused(h), first[f]) << f;
    EXPECT_TRUE(h.ui.controlExists(kMain, first[f]));
    EXPECT_EQ(h.c(first[f])->desc.parent, f == 1 ? kServo : f == 2 ? kTurntable : kTabs);
  }
  tab(2000, 2);
  tab(2001, 1);
  EXPECT_EQ(focused(h), 300);
  EXPECT_EQ(h.c(300)->desc.page, 1);
  tab(2001, 2);
  EXPECT_EQ(focused(h), 500);
  EXPECT_EQ(h.c(500)->desc.page, 2);
}

}  // namespace
}  // namespace kw::test
