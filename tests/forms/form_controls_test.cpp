// Every control of the form frame and of the family-0 pages, as the program creates it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "forms/form_builder.h"

namespace kw::test {
namespace {

using K = ControlKind;

struct Expect {
  int id;
  K kind;
  int parent;
  int page;
  int maxLength = 0;
  std::optional<std::string> text;     // caption or start text
  std::optional<std::string> tooltip;  // nullopt: no tooltip at all
  int droppedWidth = 0;
  int width = 0;  // 0: not checked
};

std::string n(int v) { return std::to_string(v); }

std::vector<Expect> family0Table() {
  std::vector<Expect> e;
  // Type 3 (sub-type 17), inner page 0.
  const int p17 = 0;
  for (int i = 0; i < 3; ++i) {
    e.push_back({2140 + i, K::NumericField, ctl::kFamily0Tabs, p17, 3, "", t(169 + 2 * i)});
    e.push_back({2143 + i, K::DropDown, ctl::kFamily0Tabs, p17, 0, std::nullopt,
                 t(170 + 2 * i), 270});
  }
  e.push_back({2220, K::NumericField, ctl::kFamily0Tabs, p17, 3, "", std::nullopt});
  e.push_back({2219, K::NumericField, ctl::kFamily0Tabs, p17, 3, "", std::nullopt});
  e.push_back({2221, K::NumericField, ctl::kFamily0Tabs, p17, 2, "", std::nullopt});
  e.push_back({2146, K::DisplayField, ctl::kFamily0Tabs, p17, 0, "", std::nullopt});
  e.push_back({2214, K::Button, ctl::kFamily0Tabs, p17, 0, t(135), t(146)});
  e.push_back({2215, K::Button, ctl::kFamily0Tabs, p17, 0, t(136), t(147)});
  e.push_back({2218, K::Button, ctl::kFamily0Tabs, p17, 0, t(700), std::nullopt});
  e.push_back({2216, K::CheckBox, ctl::kFamily0Tabs, p17, 0, t(708), std::nullopt});
  e.push_back({2147, K::NumericField, ctl::kFamily0Tabs, p17, 3, "", t(139)});
  e.push_back({2217, K::CheckBox, ctl::kFamily0Tabs, p17, 0,
               "Nur Erweiterungen auslesen/programmieren", std::nullopt});
  for (int id = 2148; id <= 2151; ++id)
    e.push_back({id, K::DisplayField, ctl::kFamily0Tabs, p17, 0, "", std::nullopt});
  for (int k = 0; k < 18; ++k) {
    e.push_back({2192 + k, K::StatusLabel, ctl::kFamily0Tabs, p17, 0, "?", std::nullopt});
    e.push_back({2152 + k, K::NumericField, ctl::kFamily0Tabs, p17, 3, "",
                 t(190) + n(k + 1) + t(179) + "1"});
    e.push_back({2172 + k, K::DropDown, ctl::kFamily0Tabs, p17, 0, std::nullopt,
                 t(191) + n(k + 1) + t(179) + "1", 270});
  }

  // Type 2 (sub-type 16), inner page 1.
  const int p16 = 1;
  for (int i = 0; i < 3; ++i) {
    e.push_back({2074 + i, K::NumericField, ctl::kFamily0Tabs, p16, 3, "", t(169 + 2 * i)});
    e.push_back({2077 + i, K::DropDown, ctl::kFamily0Tabs, p16, 0, std::nullopt,
                 t(170 + 2 * i), 0, 240});
  }
  e.push_back({2080, K::DisplayField, ctl::kFamily0Tabs, p16, 0, "", std::nullopt});
  e.push_back({2138, K::Button, ctl::kFamily0Tabs, p16, 0, t(135), t(146)});
  e.push_back({2139, K::Button, ctl::kFamily0Tabs, p16, 0, t(136), t(147)});
  e.push_back({2081, K::NumericField, ctl::kFamily0Tabs, p16, 3, "", t(139)});
  for (int id = 2082; id <= 2085; ++id)
    e.push_back({id, K::DisplayField, ctl::kFamily0Tabs, p16, 0, "", std::nullopt});
  for (int r = 0; r < 10; ++r) {
    e.push_back({2126 + r, K::StatusLabel, ctl::kFamily0Tabs, p16, 0, "", std::nullopt});
    for (int pair = 0; pair < 2; ++pair) {
      e.push_back({2086 + 2 * r + pair, K::NumericField, ctl::kFamily0Tabs, p16, 3, "",
                   t(190) + n(r + 1) + t(179) + n(pair + 1)});
      e.push_back({2106 + 2 * r + pair, K::DropDown, ctl::kFamily0Tabs, p16, 0, std::nullopt,
                   t(191) + n(r + 1) + t(179) + n(pair + 1), 270, 227});
    }
  }

  // Type 1 (sub-type 15), inner page 2.
  const int p15 = 2;
  for (int i = 0; i < 3; ++i) {
    e.push_back({2022 + i, K::NumericField, ctl::kFamily0Tabs, p15, 3, "", t(127 + 2 * i)});
    e.push_back({2025 + i, K::DropDown, ctl::kFamily0Tabs, p15, 0, std::nullopt,
                 t(128 + 2 * i), 0, 240});
  }
  e.push_back({2028, K::DisplayField, ctl::kFamily0Tabs, p15, 0, "", std::nullopt});
  e.push_back({2072, K::Button, ctl::kFamily0Tabs, p15, 0, t(135), t(146)});
  e.push_back({2073, K::Button, ctl::kFamily0Tabs, p15, 0, t(136), t(147)});
  e.push_back({2029, K::NumericField, ctl::kFamily0Tabs, p15, 3, "", t(139)});
  e.push_back({2030, K::DisplayField, ctl::kFamily0Tabs, p15, 0, "", std::nullopt});
  e.push_back({2031, K::DisplayField, ctl::kFamily0Tabs, p15, 0, "", std::nullopt});
  for (int i = 0; i < 10; ++i) {
    const std::string gi = n(i / 2 + 1) + t(179) + n(i % 2 + 1);
    e.push_back({2032 + i, K::NumericField, ctl::kFamily0Tabs, p15, 3, "", t(177) + gi});
    e.push_back({2042 + i, K::DropDown, ctl::kFamily0Tabs, p15, 0, std::nullopt, t(178) + gi,
                 0, 180});
    e.push_back({2052 + i, K::NumericField, ctl::kFamily0Tabs, p15, 3, "", t(187) + gi});
    e.push_back({2062 + i, K::DropDown, ctl::kFamily0Tabs, p15, 0, std::nullopt, t(188) + gi,
                 0, 220});
  }
  return e;
}

std::vector<Expect> frameTable() {
  std::vector<Expect> e;
  e.push_back({2005, K::Button, 0, 0, 0, t(101), t(102)});
  e.push_back({2006, K::Button, 0, 0, 0, t(103), t(104)});
  e.push_back({2008, K::Button, 0, 0, 0, t(105), t(106)});
  e.push_back({2010, K::Button, 0, 0, 0, t(107), t(108)});
  e.push_back({2009, K::Button, 0, 0, 0, t(109), t(110)});
  e.push_back({2007, K::Button, 0, 0, 0, t(111), t(112)});
  const int ports[9] = {1, 0, 3, 0, 0, 0, 0, 0, 0};
  for (int b = 0; b < 9; ++b)
    e.push_back({2011 + b, K::OptionButton, 0, 0, 0, b == 0 ? t(116) : t(117) + n(b),
                 t(117) + n(b) + t(118) + n(ports[b])});
  e.push_back({2000, K::TabControl, 0, 0, 0, std::nullopt, std::nullopt});
  e.push_back({2002, K::TabControl, 2000, 0, 0, std::nullopt, std::nullopt});
  e.push_back({2003, K::TabControl, 2000, 1, 0, std::nullopt, std::nullopt});
  e.push_back({2001, K::TabControl, 2000, 2, 0, std::nullopt, std::nullopt});
  e.push_back({2004, K::TabControl, 2000, 4, 0, std::nullopt, std::nullopt});
  return e;
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
      EXPECT_EQ(c->text, *x.text);
    }
    if (x.tooltip) {
      EXPECT_EQ(c->tooltip, *x.tooltip);
      EXPECT_EQ(c->tooltipTitle, "");
    } else {
      EXPECT_EQ(c->tooltip, "");
    }
    EXPECT_EQ(c->desc.droppedWidth, x.droppedWidth);
    if (x.width) {
      EXPECT_EQ(c->desc.rect.w, x.width);
    }
    switch (x.kind) {
      case K::NumericField:
      case K::TextField:
      case K::Spin:
      case K::DropDown:
        EXPECT_EQ(c->background, colour::kInputYellow);
        EXPECT_TRUE(c->enabled);
        break;
      case K::DisplayField:
        EXPECT_EQ(c->background, colour::kDisplayGrey);
        EXPECT_FALSE(c->enabled);
        break;
      case K::CheckBox:
        EXPECT_EQ(c->state, 0);
        break;
      case K::StatusLabel:
        EXPECT_EQ(c->desc.align, Align::Centre);
        break;
      default:
        break;
    }
  }
}

TEST(ParameterForm, Family0PagesHaveEveryControl) {
  FormHarness h;
  h.start();
  checkTable(h, family0Table());
  // The type-3 button that switches programming mode wraps its caption.
  EXPECT_TRUE(h.c(2218)->desc.multiLine);
}

TEST(ParameterForm, FrameBusSelectorAndActionBar) {
  FormHarness h;
  h.start();
  checkTable(h, frameTable());

  // The current bus is selected; buses not in use are disabled.
  for (int b = 0; b < 9; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(h.c(2011 + b)->state, b == 2 ? 1 : 0);
    EXPECT_EQ(h.c(2011 + b)->enabled, b == 0 || b == 2);
  }
  // One exclusive group, under a frame with text 115.
  EXPECT_TRUE(h.c(2011)->desc.groupStart);
  for (int b = 1; b < 9; ++b) EXPECT_FALSE(h.c(2011 + b)->desc.groupStart);

  // Action bar left to right.
  const int order[6] = {2005, 2006, 2008, 2010, 2009, 2007};
  for (int i = 1; i < 6; ++i)
    EXPECT_LT(h.c(order[i - 1])->desc.rect.x, h.c(order[i])->desc.rect.x);
  // Bus selector under the tabs, action bar under the bus selector.
  const Rect tabs = h.c(2000)->desc.rect;
  EXPECT_GE(h.c(2011)->desc.rect.y, tabs.y + tabs.h);
  EXPECT_GT(h.c(2005)->desc.rect.y, h.c(2011)->desc.rect.y);

  // Tabs in index order with their captions.
  const std::vector<std::string> families = {t(120), t(200), t(270), t(680), t(724), t(350),
                                             t(370), t(410), t(480), t(460), t(490)};
  EXPECT_EQ(h.c(2000)->items, families);
  EXPECT_TRUE(h.c(2000)->desc.multiLine);
  EXPECT_EQ(h.c(2002)->items, (std::vector<std::string>{t(184), t(181), t(180)}));
  EXPECT_EQ(h.c(2003)->items, (std::vector<std::string>{t(256), t(255)}));
  EXPECT_EQ(h.c(2001)->items, (std::vector<std::string>{t(271), t(301), t(317), t(331)}));
  EXPECT_EQ(h.c(2004)->items, (std::vector<std::string>{t(757), t(787)}));
}

// Anonymous controls (labels, frames, pictures) of one page, by kind.
std::vector<const HeadlessControl*> unnumbered(const FormHarness& h, int parent, int page,
                                               K kind) {
  std::vector<const HeadlessControl*> out;
  for (const auto& [id, c] : h.ui.window(win::kMain)->controls)
    if (id >= kFirstAnonymousId && c.desc.parent == parent && c.desc.page == page &&
        c.desc.kind == kind)
      out.push_back(&c);
  return out;
}

const HeadlessControl* withText(const std::vector<const HeadlessControl*>& v,
                                const std::string& text) {
  for (const auto* c : v)
    if (c->text == text) return c;
  return nullptr;
}

std::vector<int> images(const FormHarness& h, int parent, int page) {
  std::vector<int> out;
  for (const auto* c : unnumbered(h, parent, page, K::Picture)) out.push_back(c->image);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ParameterForm, Family0LabelsFramesAndPictures) {
  FormHarness h;
  h.start();
  const int tabs = ctl::kFamily0Tabs;

  // Type 3.
  auto labels = unnumbered(h, tabs, 0, K::Label);
  const HeadlessControl* moduleRow = withText(labels, t(602));
  ASSERT_NE(moduleRow, nullptr);
  EXPECT_EQ(moduleRow->textColour, colour::kHeadingPurple);
  EXPECT_EQ(moduleRow->desc.align, Align::Right);
  const HeadlessControl* via = withText(labels, "(über Ausgang A)");
  ASSERT_NE(via, nullptr);
  EXPECT_EQ(via->textColour, colour::kHeadingPurple);
  ASSERT_NE(withText(labels, t(134)), nullptr);
  EXPECT_EQ(withText(labels, t(134))->textColour, colour::kHintBlue);
  for (const char* s : {"Dim-Zeit", "Modul(e) angeschlossen", "Modul(e) programmiert"})
    EXPECT_NE(withText(labels, s), nullptr) << s;
  for (int k = 0; k < 18; ++k) {
    const std::string row = t(141) + n(k / 3 + 1) + " - " + "ABC"[k % 3] + ":";
    const HeadlessControl* l = withText(labels, row);
    ASSERT_NE(l, nullptr) << row;
    // Left column k = 0..8, right column 9..17, each row: label, status, field, list.
    const Rect field = h.c(2152 + k)->desc.rect;
    EXPECT_EQ(field.y, h.c(2152 + k % 9)->desc.rect.y);
    EXPECT_EQ(k < 9, field.x < h.c(2161)->desc.rect.x);
    EXPECT_LT(l->desc.rect.x, h.c(2192 + k)->desc.rect.x);
    EXPECT_LT(h.c(2192 + k)->desc.rect.x, field.x);
    EXPECT_LT(field.x, h.c(2172 + k)->desc.rect.x);
  }
  auto frames = unnumbered(h, tabs, 0, K::Frame);
  EXPECT_NE(withText(frames, t(124)), nullptr);
  EXPECT_NE(withText(frames, t(182)), nullptr);
  EXPECT_EQ(images(h, tabs, 0), (std::vector<int>{16, 17}));

  // Type 2.
  labels = unnumbered(h, tabs, 1, K::Label);
  ASSERT_NE(withText(labels, t(122)), nullptr);
  EXPECT_EQ(withText(labels, t(122))->textColour, colour::kHeadingPurple);
  ASSERT_NE(withText(labels, t(183)), nullptr);
  EXPECT_EQ(withText(labels, t(183))->textColour, colour::kHeadingPurple);
  for (const std::string& s :
       {t(140), t(198), t(199), t(646), t(125) + " 1", t(126) + " 2", t(125) + "/" + t(126) + " 1",
        t(125) + "/" + t(126) + " 2", t(141) + "10"})
    EXPECT_NE(withText(labels, s), nullptr) << s;
  EXPECT_EQ(images(h, tabs, 1), (std::vector<int>{14, 15}));

  // Type 1.
  labels = unnumbered(h, tabs, 2, K::Label);
  EXPECT_EQ(withText(labels, t(121))->textColour, colour::kHeadingPurple);
  EXPECT_EQ(withText(labels, t(123))->textColour, colour::kHeadingOlive);
  EXPECT_EQ(withText(labels, t(176))->textColour, colour::kHeadingPurple);
  EXPECT_EQ(withText(labels, t(186))->textColour, colour::kHeadingOlive);
  for (int g = 1; g <= 5; ++g) {
    EXPECT_NE(withText(labels, t(141) + n(g) + t(142)), nullptr);
    EXPECT_NE(withText(labels, t(141) + n(g) + t(143)), nullptr);
  }
  frames = unnumbered(h, tabs, 2, K::Frame);
  for (int f : {124, 175, 185}) EXPECT_NE(withText(frames, t(f)), nullptr) << f;
  EXPECT_EQ(images(h, tabs, 2), (std::vector<int>{1, 2, 3}));
}

// Size of the area a control may use on its parent.
Rect areaOf(const FormHarness& h, int parent) {
  // The window is 700 x 640 outside; menu bar and status bar take about 20 px each.
  if (parent == 0) return {0, 0, 690, 598};
  const Rect tabs = h.c(parent)->desc.rect;
  // Tab header and borders take about 34 pixels in height and 8 in width.
  return {0, 0, tabs.w - 8, tabs.h - 34};
}

bool overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(ParameterForm, ControlsStayInsideTheirPageAndDoNotOverlap) {
  FormHarness h;
  h.start();
  std::map<std::pair<int, int>, std::vector<std::pair<int, Rect>>> pages;
  for (const auto& [id, c] : h.ui.window(win::kMain)->controls) {
    SCOPED_TRACE("control " + std::to_string(id));
    const Rect r = c.desc.rect;
    const Rect area = areaOf(h, c.desc.parent);
    EXPECT_GT(r.w, 0);
    EXPECT_GT(r.h, 0);
    EXPECT_GE(r.x, 0);
    EXPECT_GE(r.y, 0);
    EXPECT_LE(r.x + r.w, area.w);
    EXPECT_LE(r.y + r.h, area.h);
    if (c.desc.kind != K::Frame) pages[{c.desc.parent, c.desc.page}].push_back({id, r});
  }
  for (const auto& [where, list] : pages)
    for (size_t i = 0; i < list.size(); ++i)
      for (size_t j = i + 1; j < list.size(); ++j)
        EXPECT_FALSE(overlap(list[i].second, list[j].second))
            << "controls " << list[i].first << " and " << list[j].first << " on page "
            << where.second << " of " << where.first;
}

}  // namespace
}  // namespace kw::test
