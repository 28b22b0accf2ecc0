// Families 3 to 10: the switching, address, group and output modules, configured by
// addresses, bit patterns, option pairs and times.
#include <string>
#include <vector>

#include "app/context.h"
#include "forms/families.h"

namespace kw {

namespace {

using pages::besideField;

// Family pages are wider than the sub-type pages inside inner tabs.
constexpr int kPageW = layout::kFamilyPage.w;
// The module picture sits in the top right corner of most pages.
constexpr Rect kCornerPicture = {kPageW - 70, 0, 64, 48};

// Language texts first..last as list items.
std::vector<Words> textItems(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<Words> items;
  for (auto [first, last] : ranges)
    for (int n = first; n <= last; ++n) items.push_back(tx(n));
  return items;
}

// A labelled field row: label right-aligned, the field, and an optional caption after it.
enum class Field { Numeric, Text, ReadOnly };
struct FieldRow {
  int id;
  Words label;
  Field kind;
  int maxLength;
  Words tooltip;
  Words after;    // caption after the field (a range hint), empty = none
  int afterId;    // number of that caption when it is a status label, 0 = plain label
};

void fieldRows(FormBuilder& b, const Grid& g, const std::vector<FieldRow>& rows) {
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const FieldRow& r = rows[static_cast<size_t>(i)];
    b.label(besideField(g.cell(i, 0)), r.label, Align::Right);
    const Rect cell = g.cell(i, 1);
    switch (r.kind) {
      case Field::Numeric: b.numeric(r.id, cell, r.maxLength, r.tooltip); break;
      case Field::Text: b.textField(r.id, cell, r.maxLength, r.tooltip); break;
      case Field::ReadOnly: b.readOnly(r.id, cell, r.tooltip); break;
    }
    if (r.afterId != 0) {
      // A status label centres its text; kept narrow it lines up with the plain
      // range captions of the other rows.
      const Rect after = besideField(g.cell(i, 2));
      b.statusLabel(r.afterId, {after.x, after.y, 56, after.h}, r.after);
    } else if (!r.after.empty()) {
      b.label(besideField(g.cell(i, 2)), r.after);
    }
  }
}

// Two option buttons stacked in a titled frame; the first starts its own group.
struct OptionPair {
  int frame;  // frame caption, 0 = no frame
  int first;
  int second;
  int firstCaption;
  int secondCaption;
  Words firstTip;
  Words secondTip;
  bool firstOn;
};

void optionFrame(FormBuilder& b, Rect r, const OptionPair& p) {
  const Rect in = b.frame(r, tx(p.frame));
  b.option(p.first, {in.x, in.y, in.w, 18}, tx(p.firstCaption), p.firstTip, p.firstOn, true);
  b.option(p.second, {in.x, in.y + 20, in.w, 18}, tx(p.secondCaption), p.secondTip);
}

// ------------------------------------------------------------------------------------
// Family 3: switching module A.

}  // namespace

namespace pages {

void buildFamily3(FormBuilder& b) {
  const Grid g{.x = 4, .y = 4, .rowPitch = 26, .columns = {230, 40, 110}};
  fieldRows(b, g,
            {{2327, tx(681), Field::Numeric, 3, tx(682), "(1 - 111)", 0},
             {2328, tx(683), Field::Text, 3, tx(684), "(0,7 - 2,1)", 2338},
             {2329, tx(695), Field::Numeric, 1, tx(696), "(0 - 7)", 0},
             {2330, tx(697), Field::ReadOnly, 0, {}, {}, 0},
             {2331, tx(699), Field::ReadOnly, 0, {}, {}, 0}});
  constexpr int kY = 4 + 5 * 26 + 10;
  optionFrame(b, {4, kY, 400, 62},
              {690, 2334, 2333, 691, 693, tx(692), tx(694), true});
  optionFrame(b, {4, kY + 66, 400, 62},
              {702, 2335, 2336, 703, 705, tx(704), tx(706), true});
  b.button(2332, {kPageW - 176, 4, 170, 38}, tx(700), {}, true);
  b.picture(2337, {kPageW - 122, 60, 64, 48}, 7);
}

// ------------------------------------------------------------------------------------
// Family 4: address module, with two extension tables of sixteen rows.

namespace {

struct ExtensionTable {
  int page;        // page of tab control 2004
  int checkBox;
  int rowText;     // row label text before "NN - Adr"
  int firstField;  // 16 address fields
  int firstHigh;   // 16 lists, bits 8-5
  int firstMid;    // 16 lists, bit 4
  int firstLow;    // 16 lists, bits 3-1
  std::vector<Words> high;
  std::vector<Words> mid;
  std::vector<Words> low;
};

void buildExtensionTable(FormBuilder& b, const ExtensionTable& t) {
  b.onPage(ctl::kFamily4Tabs, t.page);
  b.check(t.checkBox, {4, 4, 300, 18}, tx(791));
  b.label({308, 5, 348, 16}, tx(790), Align::Left, colour::kWarningRed);

  // Two columns of eight rows: label, address, the three lists of the data byte.
  constexpr int kRows = 8;
  for (int half = 0; half < 2; ++half) {
    const Grid g{.x = 4 + half * 330, .y = 48, .rowPitch = 28, .rowHeight = 21,
                 .columns = {110, 28, 80, 42, 52}, .gap = 3};
    b.label({g.colX(2), 30, g.columns[2], 14}, "8-5", Align::Centre);
    b.label({g.colX(3), 30, g.columns[3], 14}, "4", Align::Centre);
    b.label({g.colX(4), 30, g.columns[4], 14}, "3-1", Align::Centre);
    for (int row = 0; row < kRows; ++row) {
      const int r = half * kRows + row;
      b.label({g.colX(0), g.rowY(row) + 3, g.columns[0], 16},
              {tx(t.rowText), num2(r + 1), lit(" - Adr")}, Align::Right);
      b.numeric(t.firstField + r, pages::fieldIn(g.cell(row, 1), g.columns[1]), 3);
      // The extension lists stay white: they count only while the check box is on.
      for (int part = 0; part < 3; ++part) {
        Control c;
        c.kind = ControlKind::DropDown;
        c.id = (part == 0 ? t.firstHigh : part == 1 ? t.firstMid : t.firstLow) + r;
        c.rect = g.cell(row, 2 + part);
        c.items = part == 0 ? t.high : part == 1 ? t.mid : t.low;
        c.plain = true;
        b.add(c);
      }
    }
  }
}

}  // namespace

void buildFamily4(FormBuilder& b) {
  const Grid g{.x = 4, .y = 4, .rowPitch = 26, .columns = {150, 80}};
  b.label(besideField(g.cell(0, 0)), tx(681), Align::Right);
  b.numeric(2339, {g.colX(1), g.rowY(0), 34, layout::kField}, 3, tx(723));
  b.label(besideField(g.cell(1, 0)), tx(756), Align::Right);
  b.numeric(2344, g.cell(1, 1), 8);
  b.label({g.colX(2) + 20, g.rowY(0) + 3, 100, 16}, tx(697), Align::Right);
  b.readOnly(2340, {g.colX(2) + 124, g.rowY(0), 60, layout::kField});

  // The data byte in three lists, bits counted from the least significant.
  const Grid lists{.x = 4, .y = 74, .rowHeight = 22, .columns = {150, 150, 90, 180}};
  b.statusLabel(2351, besideField(lists.cell(0, 0)), tx(725), Align::Right);
  b.label({lists.colX(1), 58, 150, 14}, "8-6", Align::Centre);
  b.label({lists.colX(2), 58, 90, 14}, "5", Align::Centre);
  b.label({lists.colX(3), 58, 180, 14}, "4-1", Align::Centre);
  b.list(2341, lists.cell(0, 1), {}, 0, textItems({{747, 754}}));
  b.list(2342, lists.cell(0, 2), {}, 0, textItems({{744, 745}}));
  b.list(2343, lists.cell(0, 3), {}, 0, textItems({{727, 742}}));

  b.button(2352, {kPageW - 176, 4, 170, 38}, tx(700), {}, true);
  b.picture(0, {kPageW - 70, 50, 64, 48}, 18);

  buildExtensionTable(b, {0, 2353, 774, 2354, 2370, 2386, 2402,
                          textItems({{726, 726}, {728, 742}}), textItems({{775, 776}}),
                          textItems({{778, 785}})});
  buildExtensionTable(b, {1, 2418, 788, 2419, 2435, 2451, 2467, textItems({{758, 773}}),
                          textItems({{775, 776}}), textItems({{792, 799}})});
}

// ------------------------------------------------------------------------------------
// Family 5: switching module B.

void buildFamily5(FormBuilder& b) {
  const Grid g{.x = 4, .y = 4, .rowPitch = 26, .columns = {230, 40, 110}};
  fieldRows(b, g,
            {{2515, tx(351), Field::Numeric, 3, tx(352), "(1 - 111)", 0},
             {2516, tx(353), Field::Text, 3, tx(354), "(0,7 - 2,1)", 2527},
             {2517, tx(365), Field::Numeric, 1, tx(366), "(0 - 7)", 0},
             {2518, tx(367), Field::ReadOnly, 0, {}, {}, 0},
             {2519, "Modul", Field::ReadOnly, 0, {}, {}, 0}});
  constexpr Colour kDarkRed = rgb(175, 0, 0);
  constexpr int kNoteY = 4 + 5 * 26 + 6;
  b.label({4, kNoteY, 500, 48}, tx(368), Align::Left, kDarkRed);

  constexpr int kY = kNoteY + 54;
  optionFrame(b, {4, kY, 400, 62}, {355, 2520, 2521, 356, 358, tx(357), tx(359), true});
  optionFrame(b, {4, kY + 66, 400, 62}, {360, 2523, 2522, 361, 363, tx(362), tx(364), true});
  optionFrame(b, {4, kY + 132, 400, 62}, {402, 2524, 2525, 403, 405, tx(404), tx(406), true});
  b.picture(2526, kCornerPicture, 8);
}

// ------------------------------------------------------------------------------------
// Family 6: group module, eight groups of two option pairs and a time.

void buildFamily6(FormBuilder& b) {
  Rect in = b.frame({2, 0, 180, 46}, tx(371));
  b.numeric(2528, {in.x, in.y, 34, layout::kField}, 3, tx(372));
  b.label({in.x + 38, in.y + 3, in.w - 38, 16}, tx(373));
  b.check(2529, {188, 22, 150, 18}, tx(374), tx(375), true);

  in = b.frame({342, 0, 258, 62}, tx(376));
  b.check(2530, {in.x, in.y, in.w, 18}, tx(377), tx(378), true);
  const int half = (in.w - 4) / 2;
  b.option(2531, {in.x, in.y + 20, half, 18}, tx(379), tx(380), true, true);
  b.option(2532, {in.x + half + 4, in.y + 20, half, 18}, tx(381), tx(382));
  b.picture(0, {kPageW - 70, 0, 64, 48}, 13);

  // Groups 1..4 in the left column, 5..8 in the right; each group: two option pairs
  // and the time, in three small frames side by side.
  constexpr int kTop = 66;
  constexpr int kPitch = 91;
  constexpr int kColumnW = 334;
  for (int g = 1; g <= 8; ++g) {
    const int column = (g - 1) / 4;
    const Rect group = {2 + column * (kColumnW + 4), kTop + ((g - 1) % 4) * kPitch, kColumnW,
                        88};
    const Rect gin = b.frame(group, {tx(383), num(g)});
    const int i = g - 1;
    const Rect first = {gin.x, gin.y, 112, 64};
    optionFrame(b, first,
                {384, 2533 + i, 2541 + i, 385, 388, {tx(386), num(g), tx(387)},
                 {tx(386), num(g), tx(389)}, true});
    const Rect second = {first.x + first.w + 4, gin.y, 112, 64};
    optionFrame(b, second,
                {390, 2549 + i, 2557 + i, 391, 394, {tx(392), num(g), tx(393)},
                 {tx(392), num(g), tx(395)}, true});
    const Rect time = {second.x + second.w + 4, gin.y, gin.x + gin.w - (second.x + second.w + 4),
                       64};
    const Rect tin = b.frame(time, tx(396));
    b.textField(2565 + i, {tin.x, tin.y, 40, layout::kField}, 4, {tx(397), num(g), tx(398)});
    b.label({tin.x + 44, tin.y + 3, tin.w - 44, 16}, tx(399));
  }
}

// ------------------------------------------------------------------------------------
// Family 7: eight rows of a function, a mode and an option pair.

void buildFamily7(FormBuilder& b) {
  const Grid g{.x = 4, .y = 2, .rowPitch = 24, .columns = {200, 34}};
  b.label(besideField(g.cell(0, 0)), tx(411), Align::Right);
  b.numeric(2573, g.cell(0, 1), 3, tx(412));
  b.label(besideField(g.cell(1, 0)), tx(413), Align::Right);
  b.numeric(2574, g.cell(1, 1), 3, tx(414));
  b.picture(0, kCornerPicture, 12);

  // Code c = 1..15 is text 430 + c; the mode's code c = 0..7 is text 450 + c.
  const std::vector<Words> functions = textItems({{431, 445}});
  const std::vector<Words> modes = textItems({{450, 457}});
  constexpr int kTop = 52;
  constexpr int kPitch = 47;
  for (int g7 = 1; g7 <= 8; ++g7) {
    const int i = g7 - 1;
    const Rect in = b.frame({2, kTop + i * kPitch, kPageW - 4, 45}, {tx(415), num(g7)});
    b.list(2575 + i, {in.x, in.y, 420, 21}, {tx(416), num(g7)}, 0, functions);
    b.list(2583 + i, {in.x + 424, in.y, 100, 21}, {tx(417), num(g7)}, 0, modes);
    const int optionX = in.x + 530;
    const int optionW = (in.x + in.w - optionX - 4) / 2;
    b.option(2591 + i, {optionX, in.y + 2, optionW, 18}, tx(418), {tx(419), num(g7), tx(420)},
             false, true);
    b.option(2599 + i, {optionX + optionW + 4, in.y + 2, optionW, 18}, tx(421),
             {tx(419), num(g7), tx(422)});
  }
}

// ------------------------------------------------------------------------------------
// Family 8: a notice, five lines of information and the address.

void buildFamily8(FormBuilder& b) {
  constexpr int kW = kPageW - 80;
  b.statusLabel(2627, {4, 6, kW, 18}, tx(481), Align::Centre, colour::kWarningRed);
  for (int i = 0; i < 5; ++i) b.label({4, 32 + i * 20, kW, 16}, tx(482 + i));
  const int y = 32 + 5 * 20 + 12;
  b.label({4, y + 3, 200, 16}, tx(487), Align::Right);
  b.numeric(2626, {208, y, 34, layout::kField}, 3);
  b.picture(0, kCornerPicture, 11);
}

// ------------------------------------------------------------------------------------
// Family 9: addresses, a time, and eight outputs side by side.

void buildFamily9(FormBuilder& b) {
  const Grid g{.x = 4, .y = 4, .rowPitch = 26, .columns = {200, 50, 160}};
  b.label(besideField(g.cell(0, 0)), tx(461), Align::Right);
  b.numeric(2607, {g.colX(1), g.rowY(0), 34, layout::kField}, 3, tx(462));
  b.label(besideField(g.cell(1, 0)), tx(463), Align::Right);
  b.numeric(2608, {g.colX(1), g.rowY(1), 34, layout::kField}, 3, tx(464));
  b.label(besideField(g.cell(2, 0)), tx(465), Align::Right);
  b.textField(2609, g.cell(2, 1), 5, tx(466));
  b.label(besideField(g.cell(2, 2)), "in Sek. (z.B. 0.48)");
  b.picture(0, kCornerPicture, 10);

  constexpr int kTop = 96;
  constexpr int kPitch = 84;
  for (int out = 1; out <= 8; ++out) {
    const int i = out - 1;
    const Rect frame = {2 + i * kPitch, kTop, kPitch - 2, 64};
    b.frame(frame, {tx(467), num(out)});
    // Narrow frames: the options use the whole inside.
    const Rect r = {frame.x + 5, frame.y + layout::kFrameTop + 2, frame.w - 10, 18};
    b.option(2610 + 2 * i, r, tx(468), {tx(469), num(out), tx(470)}, true, true);
    b.option(2611 + 2 * i, {r.x, r.y + 22, r.w, r.h}, tx(471), {tx(469), num(out), tx(472)});
  }
}

// ------------------------------------------------------------------------------------
// Family 10: an address and the eight bits of the value written to it.

void buildFamily10(FormBuilder& b) {
  b.label({4, 7, 200, 16}, tx(461), Align::Right);
  b.numeric(2628, {208, 4, 34, layout::kField}, 3, tx(491));
  // Left to right from the highest bit, as the value is read.
  for (int k = 7; k >= 0; --k) {
    const int x = 4 + (7 - k) * 80;
    b.toggle(2629 + k, {x, 40, 74, 28}, {lit("Bit "), num(k + 1)});
  }
}

}  // namespace pages

}  // namespace kw
