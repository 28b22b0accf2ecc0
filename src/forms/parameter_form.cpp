// The frame of the parameter form (bus selector, action bar, family tabs), the three
// pages of the family-0 function modules, the function lists, and clearing the form.
#include "forms/parameter_form.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/shell.h"
#include "forms/families.h"
#include "forms/form_builder.h"
#include "forms/position_query.h"

namespace kw {

namespace {

using K = ControlKind;
constexpr int kMain = win::kMain;

// ------------------------------------------------------------------------------------
// Catalogue: the families in tab order and the sub-types of the inner tabs.

struct SubtypeTab {
  int id;       // sub-type id
  int caption;  // language text of the inner tab
};

struct FamilyTab {
  int caption;    // language text of the outer tab
  int innerTabs;  // inner tab control, 0 = none
  int subtypeCount;
  SubtypeTab subtypes[4];
};

constexpr FamilyTab kFamilies[kFamilyCount] = {
    {120, ctl::kFamily0Tabs, 3, {{17, 184}, {16, 181}, {15, 180}, {0, 0}}},
    {200, ctl::kFamily1Tabs, 2, {{19, 256}, {18, 255}, {0, 0}, {0, 0}}},
    {270, ctl::kFamily2Tabs, 4, {{11, 271}, {12, 301}, {13, 317}, {14, 331}}},
    {680, 0, 0, {}},
    {724, ctl::kFamily4Tabs, 2, {{2348, 757}, {2350, 787}, {0, 0}, {0, 0}}},
    {350, 0, 0, {}},
    {370, 0, 0, {}},
    {410, 0, 0, {}},
    {480, 0, 0, {}},
    {460, 0, 0, {}},
    {490, 0, 0, {}},
};

// Sub-type id of inner tab `index` of `family`, or `fallback` when there is no such tab.
int subtypeOfTab(int family, int index, int fallback) {
  if (family < 0 || family >= kFamilyCount) return fallback;
  const FamilyTab& f = kFamilies[family];
  if (index < 0 || index >= f.subtypeCount) return fallback;
  return f.subtypes[index].id;
}

// First field of each family page, where the focus goes when the page is chosen.
constexpr int kFirstField[kFamilyCount] = {2022, 2253, 2291, 2327, 2339, 2515,
                                           2528, 2573, 2626, 2607, 2628};

// ------------------------------------------------------------------------------------
// Frame: bus selector and action bar under the tabs.

constexpr Rect kBusFrame = {4, 502, 682, 42};
constexpr int kActionBarY = 548;

void buildBusSelector(FormBuilder& b, const AppContext& ctx) {
  b.frame(kBusFrame, tx(115));
  for (int bus = 0; bus < kBusSlots; ++bus) {
    const Rect r = {kBusFrame.x + 10 + bus * 74, kBusFrame.y + 18, 70, 18};
    const Words caption = bus == 0 ? Words(tx(116)) : Words{tx(117), num(bus)};
    const Words tip{tx(117), num(bus), tx(118), num(ctx.suite.busTable[bus].port)};
    b.option(ctl::kFirstBus + bus, r, caption, tip, bus == ctx.currentBus(), bus == 0);
  }
}

struct ActionButton {
  int id;
  int caption;
  int tooltip;
};
constexpr ActionButton kActionBar[] = {
    {ctl::kRead, 101, 102},    {ctl::kProgram, 103, 104},  {ctl::kClear, 105, 106},
    {ctl::kFactory, 107, 108}, {ctl::kSettings, 109, 110}, {ctl::kCancel, 111, 112},
};

void buildActionBar(FormBuilder& b) {
  constexpr int kGap = 6;
  constexpr int kCount = static_cast<int>(std::size(kActionBar));
  constexpr int kWidth = (kBusFrame.w - (kCount - 1) * kGap) / kCount;
  for (int i = 0; i < kCount; ++i) {
    const ActionButton& a = kActionBar[i];
    b.button(a.id, {kBusFrame.x + i * (kWidth + kGap), kActionBarY, kWidth, 28}, tx(a.caption),
             tx(a.tooltip));
  }
}

// ------------------------------------------------------------------------------------
// Family 0: the blocks its three pages share.

// Row labels sit a little lower than the fields beside them so the baselines meet.
Rect labelBeside(Rect cell) { return {cell.x, cell.y + 3, cell.w, 16}; }
Rect statusBeside(Rect cell) { return {cell.x, cell.y + 2, cell.w, 16}; }

// Frame "basic settings": module address and the two additional addresses, each with its
// function list.
struct BasicBlock {
  int rowText[3];
  Colour rowColour[3];
  int firstField;
  int firstList;
  int fieldTip[3];
  int listTip[3];
  int droppedWidth;
};

constexpr BasicBlock kBasic17 = {{602, 603, 604},
                                 {colour::kHeadingPurple, kNoColour, kNoColour},
                                 2140,
                                 2143,
                                 {169, 171, 173},
                                 {170, 172, 174},
                                 270};
constexpr BasicBlock kBasic16 = {{121, 122, 123},
                                 {kNoColour, colour::kHeadingPurple, kNoColour},
                                 2074,
                                 2077,
                                 {169, 171, 173},
                                 {170, 172, 174},
                                 0};
constexpr BasicBlock kBasic15 = {{121, 122, 123},
                                 {colour::kHeadingPurple, kNoColour, colour::kHeadingOlive},
                                 2022,
                                 2025,
                                 {127, 129, 131},
                                 {128, 130, 132},
                                 0};

// Row labels as long as "Additional address 1:" need about 118 pixels.
constexpr Rect kBasicFrame = {4, 0, 412, 92};
constexpr int kRightX = 420;  // the column right of the basic frame, 240 wide

void basicFrame(FormBuilder& b, const BasicBlock& d) {
  const Rect in = b.frame(kBasicFrame, tx(124));
  const Grid g{.x = in.x, .y = in.y + 14, .rowPitch = 22, .columns = {118, 30, 240}};
  // Headings are wider than the narrow address column; the list heading steps aside.
  b.label({g.colX(1), in.y, 56, 14}, tx(125));
  b.label({g.colX(2) + 24, in.y, 120, 14}, tx(126));
  for (int row = 0; row < 3; ++row) {
    b.label(labelBeside(g.cell(row, 0)), tx(d.rowText[row]), Align::Right, d.rowColour[row]);
    b.numeric(d.firstField + row, g.cell(row, 1), 3, tx(d.fieldTip[row]));
    b.list(d.firstList + row, g.cell(row, 2), tx(d.listTip[row]), d.droppedWidth);
  }
}

// Firmware version display.
void firmwareRow(FormBuilder& b, int id, int x, int y) {
  b.label({x, y + 3, 54, 16}, tx(133));
  b.display(id, {x + 56, y, 50, 20});
}

// The module-file buttons behind their blue heading.
void moduleFileRow(FormBuilder& b, int save, int load, int x, int y) {
  b.label({x, y + 3, 62, 16}, tx(134), Align::Left, colour::kHintBlue);
  b.button(save, {x + 66, y - 2, 58, 24}, tx(135), tx(146));
  b.button(load, {x + 128, y - 2, 58, 24}, tx(136), tx(147));
}

// Third additional address: label, field, range hint.
void thirdAddress(FormBuilder& b, int id, int x, int y) {
  b.label({x, y + 3, 120, 16}, tx(137), Align::Right);
  b.numeric(id, {x + 124, y, 30, 20}, 3, tx(139));
  b.label({x + 158, y + 3, 60, 16}, tx(138));
}

// Type 3: basic settings, parameter 28, and eighteen outputs in two columns of nine.
void buildSubtype17(FormBuilder& b) {
  basicFrame(b, kBasic17);

  // Parameter 28 values.
  b.label({kRightX, 0, 240, 14}, tx(150));
  const Grid p{.x = kRightX, .y = 16, .columns = {40, 28, 40, 28, 50, 22}};
  b.label(labelBeside(p.cell(0, 0)), tx(148), Align::Right);
  b.numeric(2220, p.cell(0, 1), 3);
  b.label(labelBeside(p.cell(0, 2)), tx(149), Align::Right);
  b.numeric(2219, p.cell(0, 3), 3);
  b.label(labelBeside(p.cell(0, 4)), "Dim-Zeit", Align::Right);
  b.numeric(2221, p.cell(0, 5), 2);

  firmwareRow(b, 2146, kRightX, 42);
  b.label({kRightX, 70, 104, 16}, tx(134), Align::Left, colour::kHintBlue);
  b.button(2214, {kRightX, 86, 58, 24}, tx(135), tx(146));
  b.button(2215, {kRightX + 62, 86, 58, 24}, tx(136), tx(147));
  b.picture(0, {530, 36, 64, 48}, 16);
  b.picture(0, {596, 36, 64, 48}, 17);

  b.button(2218, {4, 96, 170, 32}, tx(700), {}, true);
  b.check(2216, {kRightX, 112, 240, 18}, tx(708));
  thirdAddress(b, 2147, 178, 100);

  // Extensions, counted and programmed over output A.
  const Rect frame = {4, 132, 656, 258};
  const Rect in = b.frame(frame, tx(182));
  b.label({in.x, in.y + 2, 120, 16}, "(über Ausgang A)", Align::Left, colour::kHeadingPurple);
  b.check(2217, {in.x + 124, in.y, 300, 18}, "Nur Erweiterungen auslesen/programmieren");
  struct CountRow {
    const char* caption;
    int input;
    int output;
  };
  const CountRow counts[2] = {{"Modul(e) angeschlossen", 2148, 2150},
                              {"Modul(e) programmiert", 2149, 2151}};
  for (int i = 0; i < 2; ++i) {
    const Grid c{.x = in.x + i * 320, .y = in.y + 20, .columns = {130, 28, 52, 28, 52}};
    b.label(labelBeside(c.cell(0, 0)), counts[i].caption, Align::Right);
    b.display(counts[i].input, c.cell(0, 1));
    b.label(labelBeside(c.cell(0, 2)), tx(192));
    b.display(counts[i].output, c.cell(0, 3));
    b.label(labelBeside(c.cell(0, 4)), tx(193));
  }

  static const char* const kLetters[3] = {"A", "B", "C"};
  for (int half = 0; half < 2; ++half) {
    const Grid g{.x = in.x + half * 322,
                 .y = in.y + 58,
                 .rowPitch = 20,
                 .rowHeight = 19,
                 .columns = {68, 26, 34, 178}};
    b.label({g.colX(1) - 4, in.y + 42, g.columns[1] + 8, 14}, tx(646), Align::Centre);
    b.label({g.colX(2), in.y + 42, 56, 14}, tx(125));
    b.label({g.colX(3) + 20, in.y + 42, 120, 14}, tx(126));
    for (int row = 0; row < 9; ++row) {
      const int k = half * 9 + row;
      b.label(labelBeside(g.cell(row, 0)),
              {tx(141), num(k / 3 + 1), lit(" - "), lit(kLetters[k % 3]), lit(":")},
              Align::Right);
      b.statusLabel(2192 + k, statusBeside(g.cell(row, 1)), "?");
      b.numeric(2152 + k, g.cell(row, 2), 3, {tx(190), num(k + 1), tx(179), lit("1")});
      b.list(2172 + k, g.cell(row, 3), {tx(191), num(k + 1), tx(179), lit("1")}, 270);
    }
  }
}

// Type 2: basic settings, extension counts, and ten rows of two address/function pairs.
void buildSubtype16(FormBuilder& b) {
  basicFrame(b, kBasic16);
  thirdAddress(b, 2081, 4, 98);
  moduleFileRow(b, 2138, 2139, 4, 126);

  // The picture explains the two pairs of a row.
  b.picture(0, {230, 96, 64, 48}, 15);
  b.label({298, 100, 116, 16}, {tx(125), lit("/"), tx(126), lit(" 1")});
  b.label({298, 122, 116, 16}, {tx(125), lit("/"), tx(126), lit(" 2")});

  // Extension modules: connected and programmed, inputs and outputs.
  const Rect in = b.frame({kRightX, 0, 240, 100}, tx(182));
  b.label({in.x, in.y, in.w, 16}, tx(183), Align::Left, colour::kHeadingPurple);
  const Grid c{.x = in.x, .y = in.y + 36, .columns = {112, 52, 52}};
  b.label({c.colX(0), in.y + 19, 112, 16}, tx(140));
  b.label({c.colX(1), in.y + 19, 52, 16}, tx(192), Align::Centre);
  b.label({c.colX(2), in.y + 19, 52, 16}, tx(193), Align::Centre);
  const int rowText[2] = {198, 199};
  for (int i = 0; i < 2; ++i) {
    b.label(labelBeside(c.cell(i, 0)), tx(rowText[i]), Align::Right);
    const Rect input = c.cell(i, 1);
    const Rect output = c.cell(i, 2);
    b.display(2082 + i, {input.x + 8, input.y, 36, input.h});
    b.display(2084 + i, {output.x + 8, output.y, 36, output.h});
  }

  firmwareRow(b, 2080, kRightX, 106);
  b.picture(0, {596, 102, 64, 48}, 14);

  const Grid g{.x = 8, .y = 172, .rowPitch = 21, .columns = {60, 26, 34, 227, 34, 227}};
  b.label({g.colX(1) - 4, 156, g.columns[1] + 8, 14}, tx(646), Align::Centre);
  for (int pair = 0; pair < 2; ++pair) {
    b.label({g.colX(2 + 2 * pair), 156, 70, 14}, {tx(125), lit(" "), num(pair + 1)});
    b.label({g.colX(3 + 2 * pair) + 40, 156, 120, 14}, {tx(126), lit(" "), num(pair + 1)});
  }
  for (int r = 0; r < 10; ++r) {
    b.label(labelBeside(g.cell(r, 0)), {tx(141), num(r + 1)}, Align::Right);
    b.statusLabel(2126 + r, statusBeside(g.cell(r, 1)));
    for (int pair = 0; pair < 2; ++pair) {
      b.numeric(2086 + 2 * r + pair, g.cell(r, 2 + 2 * pair), 3,
                {tx(190), num(r + 1), tx(179), num(pair + 1)});
      b.list(2106 + 2 * r + pair, g.cell(r, 3 + 2 * pair),
             {tx(191), num(r + 1), tx(179), num(pair + 1)}, 270);
    }
  }
}

// Type 1: basic settings and the two tables A (inputs) and B (outputs) of five groups
// of two entries each.
struct TableFrame {
  Rect rect;
  int caption;
  int heading;
  Colour headingColour;
  int picture;
  int count;  // display "count reported by the module"
  int firstField;
  int firstList;
  int fieldTip;
  int listTip;
  int listWidth;
};

constexpr int kTableTop = 96;
constexpr int kTableRowsY = kTableTop + 80;
constexpr int kTablePitch = 21;

constexpr TableFrame kTableA = {{88, kTableTop, 260, 294},
                                175,
                                176,
                                colour::kHeadingPurple,
                                2,
                                2030,
                                2032,
                                2042,
                                177,
                                178,
                                180};
constexpr TableFrame kTableB = {{352, kTableTop, 300, 294},
                                185,
                                186,
                                colour::kHeadingOlive,
                                3,
                                2031,
                                2052,
                                2062,
                                187,
                                188,
                                220};

void tableFrame(FormBuilder& b, const TableFrame& t) {
  const Rect in = b.frame(t.rect, tx(t.caption));
  b.label({in.x, in.y, in.w - 68, 16}, tx(t.heading), Align::Left, t.headingColour);
  b.label({in.x, in.y + 23, 148, 16}, tx(145));
  b.display(t.count, {in.x + 150, in.y + 20, 28, 20});
  b.picture(0, {in.x + in.w - 64, in.y - 4, 64, 48}, t.picture);
  const Grid g{.x = in.x, .y = kTableRowsY, .rowPitch = kTablePitch,
               .columns = {34, t.listWidth}};
  b.label({g.colX(0), kTableRowsY - 16, 56, 14}, tx(125));
  b.label({g.colX(1) + 20, kTableRowsY - 16, 120, 14}, tx(126));
  for (int i = 0; i < 10; ++i) {
    const int group = i / 2 + 1;
    const int index = i % 2 + 1;
    b.numeric(t.firstField + i, g.cell(i, 0), 3,
              {tx(t.fieldTip), num(group), tx(179), num(index)});
    b.list(t.firstList + i, g.cell(i, 1), {tx(t.listTip), num(group), tx(179), num(index)});
  }
}

void buildSubtype15(FormBuilder& b) {
  basicFrame(b, kBasic15);
  firmwareRow(b, 2028, kRightX, 0);
  moduleFileRow(b, 2072, 2073, kRightX, 28);
  thirdAddress(b, 2029, kRightX - 4, 56);
  b.picture(0, {12, 100, 64, 48}, 1);  // above the row labels of the tables

  for (int i = 0; i < 10; ++i) {
    const int n = i / 2 + 1;
    b.label({4, kTableRowsY + i * kTablePitch + 3, 80, 16},
            {tx(141), num(n), tx(i % 2 == 0 ? 142 : 143)}, Align::Right);
  }
  tableFrame(b, kTableA);
  tableFrame(b, kTableB);
}

// ------------------------------------------------------------------------------------
// Function lists of family 0.

struct ListItems {
  int first;  // first and last list of the range
  int last;
  std::vector<std::pair<int, int>> texts;  // ranges of language texts, in order
  const char* fixed;                       // literal item after the texts, or nullptr
};

std::vector<std::string> itemsOf(const AppContext& ctx, const std::vector<std::pair<int, int>>& ranges,
                                 const char* fixed) {
  std::vector<std::string> items;
  for (auto [from, to] : ranges)
    for (int n = from; n <= to; ++n) items.push_back(ctx.text(n));
  if (fixed) items.emplace_back(fixed);
  items.emplace_back();  // no function
  return items;
}

const std::vector<ListItems>& functionListTable() {
  static const std::vector<ListItems> table = {
      {2025, 2025, {{151, 164}, {168, 168}}, nullptr},
      {2026, 2026, {{151, 164}, {167, 167}}, nullptr},
      {2027, 2027, {{151, 164}}, nullptr},
      {2042, 2051, {{151, 154}}, nullptr},
      {2062, 2071, {{155, 162}, {165, 166}}, nullptr},
      {2077, 2077, {{651, 664}, {168, 168}}, "21: IR-LED"},
      {2078, 2078, {{651, 664}}, nullptr},
      {2079, 2079, {{651, 664}, {667, 667}}, nullptr},
      {2106, 2125, {{651, 666}, {677, 677}, {668, 671}}, nullptr},
      {2143, 2145, {{651, 664}, {677, 677}, {668, 675}}, "26: IR-LED (Eingang) "},
  };
  return table;
}

// ------------------------------------------------------------------------------------
// Clearing.

void empty(Ui& ui, int first, int last) {
  for (int c = first; c <= last; ++c) {
    ui.setText(kMain, c, "");
    // A list without an empty item (family 4) keeps its item on the empty text; it
    // shows no selection instead.
    if (!ui.text(kMain, c).empty()) ui.setSelection(kMain, c, -1);
  }
}

void emptyWith(Ui& ui, int first, int last, Colour background) {
  for (int c = first; c <= last; ++c) {
    ui.setText(kMain, c, "");
    ui.setBackground(kMain, c, background);
  }
}

void clearFamily0(AppContext& ctx, int subtype) {
  Ui& ui = ctx.ui;
  switch (subtype) {
    case 15:
      empty(ui, 2022, 2071);
      break;
    case 16:
      emptyWith(ui, 2074, 2125, colour::kInputYellow);
      empty(ui, 2126, 2135);
      for (int c = 2082; c <= 2085; ++c) ui.setBackground(kMain, c, colour::kDisplayGrey);
      break;
    case 17:
      emptyWith(ui, 2140, 2145, colour::kInputYellow);
      emptyWith(ui, 2146, 2151, colour::kDisplayGrey);
      empty(ui, 2152, 2189);
      empty(ui, 2192, 2209);
      empty(ui, 2219, 2221);
      break;
    default:
      break;
  }
}

void clearFamily1(AppContext& ctx, int subtype) {
  Ui& ui = ctx.ui;
  if (subtype == 18) {
    empty(ui, 2222, 2224);
    ui.setState(kMain, 2225, 0);
    ui.setText(kMain, 2226, "1");
    ui.setState(kMain, 2226, 1);
    empty(ui, 2228, 2228);
    empty(ui, 2227, 2227);
    for (int c = 2242; c <= 2246; ++c) ui.setState(kMain, c, 0);
    for (int c = 2247; c <= 2251; ++c) {
      ui.setState(kMain, c, 0);
      ui.setText(kMain, c, "0");
    }
    ui.setFocus(kMain, 2222);
  } else if (subtype == 19) {
    empty(ui, 2253, 2254);
  }
}

void clearFamily2(AppContext& ctx, int subtype) {
  Ui& ui = ctx.ui;
  switch (subtype) {
    case 11:
      empty(ui, 2291, 2299);
      ui.setFocus(kMain, 2291);
      break;
    case 12:
      empty(ui, 300, 347);
      for (int c = 400; c <= 447; ++c) ui.setText(kMain, c, "0.00000");
      checkSteps(ctx);
      ui.setFocus(kMain, 300);
      break;
    case 13:
      empty(ui, 500, 547);
      ui.setFocus(kMain, 500);
      break;
    default:
      break;
  }
}

void clearFamily4(AppContext& ctx, int subtype) {
  Ui& ui = ctx.ui;
  empty(ui, 2339, 2344);
  // The extension tables count only while their check box switches them on.
  // Each table: address fields, then three lists, sixteen rows each.
  constexpr int kTable2348[4] = {2354, 2370, 2386, 2402};
  constexpr int kTable2350[4] = {2419, 2435, 2451, 2467};
  const int* table = nullptr;
  if (subtype == 2348 && ui.state(kMain, 2353) != 0) table = kTable2348;
  if (subtype == 2350 && ui.state(kMain, 2418) != 0) table = kTable2350;
  if (table == nullptr) return;
  for (int i = 0; i < 4; ++i) empty(ui, table[i], table[i] + 15);
}

void emptyAndFocus(Ui& ui, int first, int last, int focus) {
  empty(ui, first, last);
  ui.setFocus(kMain, focus);
}

// ------------------------------------------------------------------------------------
// Event rows.

int decimalValue(const std::string& s) {
  long v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') break;
    v = v * 10 + (ch - '0');
    if (v > 1000000) break;
  }
  return static_cast<int>(v);
}

void copyStateTo(AppContext& ctx, int target, int state) {
  ctx.ui.setState(kMain, target, state);
  ctx.ui.setText(kMain, target, std::to_string(state));
}

}  // namespace

// ------------------------------------------------------------------------------------

void buildParameterForm(AppContext& ctx) {
  ctx.forms.pageControls.clear();
  FormBuilder b(ctx);
  buildBusSelector(b, ctx);
  buildActionBar(b);

  std::vector<Words> families;
  for (const FamilyTab& f : kFamilies) families.push_back(tx(f.caption));
  b.tabControl(ctl::kFamilyTabs, layout::kFamilyTabsRect, families, true);

  for (int family = 0; family < kFamilyCount; ++family) {
    const FamilyTab& f = kFamilies[family];
    b.onPage(ctl::kFamilyTabs, family);
    if (f.innerTabs != 0) {
      std::vector<Words> pages;
      for (int i = 0; i < f.subtypeCount; ++i) pages.push_back(tx(f.subtypes[i].caption));
      const Rect r = family == 4 ? kFamily4ExtensionTabsRect : layout::kInnerTabsRect;
      b.tabControl(f.innerTabs, r, pages);
    }
    if (family == 0) {
      b.onPage(ctl::kFamily0Tabs, 0);
      buildSubtype17(b);
      b.onPage(ctl::kFamily0Tabs, 1);
      buildSubtype16(b);
      b.onPage(ctl::kFamily0Tabs, 2);
      buildSubtype15(b);
      continue;
    }
    buildFamily(b, family);
    if (family == 1) setLegacyMode(ctx, true);
    if (family == 2) checkSteps(ctx);
  }
}

void fillFunctionLists(AppContext& ctx) {
  for (const ListItems& l : functionListTable()) {
    const std::vector<std::string> items = itemsOf(ctx, l.texts, l.fixed);
    for (int c = l.first; c <= l.last; ++c) ctx.ui.setItems(kMain, c, items);
  }
  // The lists of the "A" outputs of type 3 also offer function 27.
  for (int c = 2172; c <= 2189; ++c) {
    std::vector<std::pair<int, int>> ranges = {{651, 666}, {677, 677}, {668, 675}};
    if ((c - 2172) % 3 == 0) ranges.push_back({676, 676});
    ctx.ui.setItems(kMain, c, itemsOf(ctx, ranges, nullptr));
  }
}

bool isFunctionList(int c) {
  return (c >= 2025 && c <= 2027) || (c >= 2042 && c <= 2051) || (c >= 2062 && c <= 2071) ||
         (c >= 2077 && c <= 2079) || (c >= 2106 && c <= 2125) || (c >= 2143 && c <= 2145) ||
         (c >= 2172 && c <= 2189);
}

int functionCode(const std::string& itemText) {
  int code = 0;
  for (size_t i = 0; i < 2 && i < itemText.size(); ++i) {
    const char ch = itemText[i];
    if (ch < '0' || ch > '9') break;
    code = code * 10 + (ch - '0');
  }
  return code;
}

int functionText(int list, int code) {
  const bool basicTexts =
      (list >= 2025 && list <= 2027) || (list >= 2042 && list <= 2071);
  if (basicTexts) return 150 + code;
  const bool specialSeventeen =
      (list >= 2106 && list <= 2125) || (list >= 2143 && list <= 2145) ||
      (list >= 2172 && list <= 2189);
  if (code == 17 && specialSeventeen) return 677;
  if (code == 18 && list == 2077) return 168;
  if (code == 27 && list >= 2172 && list <= 2189) return 676;
  return 650 + code;
}

void selectionFromTabs(AppContext& ctx) {
  Ui& ui = ctx.ui;
  FormSelection& s = ctx.form;
  const int family = ui.state(kMain, ctl::kFamilyTabs);
  if (family >= 0 && family < kFamilyCount) s.currentFamily = family;
  s.subtypeFamily0 = subtypeOfTab(0, ui.state(kMain, ctl::kFamily0Tabs), s.subtypeFamily0);
  s.subtypeFamily1 = subtypeOfTab(1, ui.state(kMain, ctl::kFamily1Tabs), s.subtypeFamily1);
  s.subtypeFamily4 = subtypeOfTab(4, ui.state(kMain, ctl::kFamily4Tabs), s.subtypeFamily4);
}

int currentSubtype(const AppContext& ctx) {
  switch (ctx.form.currentFamily) {
    case 0: return ctx.form.subtypeFamily0;
    case 1: return ctx.form.subtypeFamily1;
    case 2: return ctx.form.subtypeFamily2;
    case 4: return ctx.form.subtypeFamily4;
    default: return 0;
  }
}

void clearForm(AppContext& ctx, bool confirm) {
  if (confirm && ctx.ui.messageBox(kMain, ctx.text(581), ctx.text(582),
                                   mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  selectionFromTabs(ctx);
  Ui& ui = ctx.ui;
  const int subtype = currentSubtype(ctx);
  switch (ctx.form.currentFamily) {
    case 0: clearFamily0(ctx, subtype); break;
    case 1: clearFamily1(ctx, subtype); break;
    case 2: clearFamily2(ctx, subtype); break;
    case 3: emptyAndFocus(ui, 2327, 2331, 2327); break;
    case 4: clearFamily4(ctx, subtype); break;
    case 5: emptyAndFocus(ui, 2515, 2519, 2515); break;
    case 6:
      empty(ui, 2528, 2528);
      emptyAndFocus(ui, 2565, 2572, 2528);
      break;
    case 7:
      empty(ui, 2573, 2590);
      for (int c = 2591; c <= 2606; ++c) ui.setState(kMain, c, 0);
      ui.setFocus(kMain, 2573);
      break;
    case 8: emptyAndFocus(ui, 2626, 2626, 2626); break;
    case 9: emptyAndFocus(ui, 2607, 2609, 2607); break;
    case 10: empty(ui, 2628, 2628); break;
    default: break;
  }
}

void showTimingScale(AppContext& ctx, bool first) {
  ctx.ui.setText(kMain, 2527, first ? "(0,7 - 2,1)" : "(0,0 - 2,4)");
  ctx.ui.setEnabled(kMain, 2517, first);
  ctx.ui.setImage(kMain, 2526, first ? 8 : 6);
}

void directWriteLock(AppContext& ctx, bool locked) {
  ctx.forms.directWriteLock = locked;
  ctx.ui.setEnabled(kMain, ctl::kRead, !locked);
  ctx.ui.setEnabled(kMain, ctl::kFactory, !locked);
}

void onFamilyTab(AppContext& ctx, int page) {
  if (page < 0 || page >= kFamilyCount) return;
  if (ctx.form.currentFamily == 10 && page != 10) directWriteLock(ctx, false);
  ctx.form.currentFamily = page;
  int focus = kFirstField[page];
  if (page == 1) {
    ctx.form.subtypeFamily1 =
        subtypeOfTab(1, ctx.ui.state(kMain, ctl::kFamily1Tabs), ctx.form.subtypeFamily1);
    focus = ctx.form.subtypeFamily1 == 18 ? 2222 : 2253;
  }
  ctx.ui.setFocus(kMain, focus);
  if (page == 10) directWriteLock(ctx, true);
  notePositionPanel(ctx);
}

void onFamily0Tab(AppContext& ctx, int page) {
  constexpr int kFocus[3] = {2140, 2074, 2022};
  if (page < 0 || page > 2) return;
  ctx.form.subtypeFamily0 = subtypeOfTab(0, page, ctx.form.subtypeFamily0);
  ctx.ui.setFocus(kMain, kFocus[page]);
}

void onFamily1Tab(AppContext& ctx, int page) {
  constexpr int kFocus[2] = {2253, 2222};
  if (page < 0 || page > 1) return;
  ctx.form.subtypeFamily1 = subtypeOfTab(1, page, ctx.form.subtypeFamily1);
  ctx.ui.setFocus(kMain, kFocus[page]);
}

void onFamily2Tab(AppContext& ctx, int page) {
  constexpr int kFocus[3] = {2291, 300, 500};
  if (page < 0 || page > 3) return;
  ctx.form.subtypeFamily2 = subtypeOfTab(2, page, ctx.form.subtypeFamily2);
  notePositionPanel(ctx);
  if (page < 3) {
    ctx.ui.setFocus(kMain, kFocus[page]);
    return;
  }
  // Position panel: usable only when the turntable's address is known and the bus is in
  // normal operation, and the turntable reports itself idle (bit 7 clear).
  Ui& ui = ctx.ui;
  const int address = decimalValue(ui.text(kMain, 2291));
  const bool programming = ctx.bus.programmingMode.load() != 0;
  if (address > 0 && !programming) {
    if (address >= kBusAddresses) return;
    const int value = ctx.bus.mirror(ctx.currentBus(), address);
    if ((value & 0x80) == 0) {
      ui.setText(kMain, 751, "");
      for (int c = 700; c <= 747; ++c) ui.setEnabled(kMain, c, true);
    }
    return;
  }
  ui.setText(kMain, 751, ctx.text(address == 0 ? 336 : 337));
  for (int c = 700; c <= 747; ++c) ui.setEnabled(kMain, c, false);
}

void runServiceDialog(AppContext& ctx) {
  Ui& ui = ctx.ui;
  constexpr int kServiceA = 2688;  // bus address 2
  constexpr int kServiceB = 2689;  // bus address 1
  constexpr int kOk = 2690;

  // The module shows its service values in the register window once asked with 28.
  submitBusRequest(ctx, 0, 28);
  pumpedWait(ctx, 700);

  WindowSpec desc;
  desc.owner = kMain;
  desc.title = ctx.text(635);
  desc.rect = {0, 0, 300, 180};
  desc.centred = true;
  if (!ui.openWindow(win::kService, desc)) return;
  FormBuilder b(ctx, win::kService);
  b.label({10, 33, 160, 16}, tx(636), Align::Right);
  b.numeric(kServiceA, {176, 30, 60, 20}, 3);
  b.label({10, 63, 160, 16}, tx(637), Align::Right);
  b.numeric(kServiceB, {176, 60, 60, 20}, 3);
  b.button(kOk, {110, 100, 80, 26}, tx(103));
  const int bus = ctx.currentBus();
  ui.setText(win::kService, kServiceA, std::to_string(ctx.bus.mirror(bus, 2)));
  ui.setText(win::kService, kServiceB, std::to_string(ctx.bus.mirror(bus, 1)));

  while (ui.windowOpen(win::kService)) {
    UiEvent e;
    const bool got = ui.waitEvent(kMainLoopWaitMs, e);
    drainOverflow(ctx);
    if (!got) continue;
    if (e.window == win::kService) {
      if (e.type == EventType::CloseBox) break;
      if (e.control == kOk && e.type == EventType::Click) {
        const int a = decimalValue(ui.text(win::kService, kServiceA));
        const int bValue = decimalValue(ui.text(win::kService, kServiceB));
        // A bus value is one byte: 300 would silently go out as 44.
        const int bad = a > 255 ? kServiceA : bValue > 255 ? kServiceB : 0;
        if (bad != 0) {
          ui.messageBox(win::kService, ctx.text(635), ctx.text(32), mb::kOk | mb::kIconError);
          ui.setFocus(win::kService, bad);
          continue;
        }
        submitBusRequest(ctx, 1, bValue);
        pumpedWait(ctx, 200);
        submitBusRequest(ctx, 2, a);
        pumpedWait(ctx, 200);
        break;
      }
    } else if (e.window == kMain && e.type == EventType::CloseBox) {
      requestQuit(ctx);
    }
  }
  ui.closeWindow(win::kService);
}

void registerFormRows(Dispatcher& d) {
  registerFamilyRows(d);
  d.onControl(ctl::kFamilyTabs, ctl::kFamilyTabs, EventType::TabChanged,
              [](AppContext& c, const UiEvent& e) { onFamilyTab(c, e.value); });
  d.onControl(ctl::kFamily0Tabs, ctl::kFamily0Tabs, EventType::TabChanged,
              [](AppContext& c, const UiEvent& e) { onFamily0Tab(c, e.value); });
  d.onControl(ctl::kFamily1Tabs, ctl::kFamily1Tabs, EventType::TabChanged,
              [](AppContext& c, const UiEvent& e) { onFamily1Tab(c, e.value); });
  d.onControl(ctl::kFamily2Tabs, ctl::kFamily2Tabs, EventType::TabChanged,
              [](AppContext& c, const UiEvent& e) { onFamily2Tab(c, e.value); });

  d.onControl(ctl::kClear, ctl::kClear, EventType::Click,
              [](AppContext& c, const UiEvent&) { clearForm(c, true); });

  // The service item of list 2077 with Ctrl held opens the service dialog.
  d.onControl(2077, 2077, kAnyEvent, [](AppContext& c, const UiEvent&) {
    if (c.ui.text(kMain, 2077) == c.text(168) && c.ui.ctrlHeld()) runServiceDialog(c);
  });

  // "Without extensions" and "only extensions" exclude each other.
  d.onControl(2216, 2217, EventType::Click, [](AppContext& c, const UiEvent& e) {
    c.ui.setState(kMain, e.control == 2216 ? 2217 : 2216, 0);
  });

  // Turntable: the address field and its programming button only in the first mode.
  d.onControl(2288, 2289, EventType::Click, [](AppContext& c, const UiEvent& e) {
    const bool on = e.control == 2289;
    c.ui.setEnabled(kMain, 2292, on);
    c.ui.setEnabled(kMain, 2290, on);
  });

  // Switching module B: the timing scale chooses range, third field and picture.
  d.onControl(2520, 2521, EventType::Click, [](AppContext& c, const UiEvent& e) {
    showTimingScale(c, e.control == 2520);
  });

  // Sliders and the spin fields beside them show the same value.
  struct Pair {
    int slider;
    int spin;
  };
  static constexpr Pair kPairs[] = {{2242, 2247}, {2243, 2248}, {2244, 2249}, {2245, 2250},
                                    {2246, 2251}, {2260, 2262}, {2261, 2263}, {2264, 2266},
                                    {2265, 2267}, {2270, 2272}, {2271, 2273}};
  for (const Pair& p : kPairs) {
    const int slider = p.slider;
    const int spin = p.spin;
    d.onControl(slider, slider, EventType::ValueChanged,
                [spin](AppContext& c, const UiEvent& e) {
                  copyStateTo(c, spin, c.ui.state(kMain, e.control));
                });
    auto fromSpin = [slider](AppContext& c, const UiEvent& e) {
      c.ui.setState(kMain, slider, decimalValue(c.ui.text(kMain, e.control)));
    };
    d.onControl(spin, spin, EventType::ValueChanged, fromSpin);
    d.onControl(spin, spin, EventType::TextChanged, fromSpin);
  }
}

}  // namespace kw
