// Family 2: the turntable controller with 48 track positions. Four pages: settings (11),
// step table (12), output patterns (13) and the position panel (14); and the check of
// the step table.
#include <cstdio>
#include <string>

#include "app/context.h"
#include "forms/families.h"

namespace kw {

namespace {

using pages::besideField;

constexpr int kMain = win::kMain;
constexpr int kRightX = 424;
constexpr int kRightW = 232;

// The 48 steps, patterns and positions stand in four blocks of twelve rows.
constexpr int kBlocks = 4;
constexpr int kBlockRows = 12;
static_assert(kBlocks * kBlockRows == ctl::kStepCount);

// One step unit is 360 / 38400 = 0.009375 degrees, in millionths of a degree 9375.
constexpr long long kMicroDegreesPerUnit = 9375;
static_assert(kMicroDegreesPerUnit * kFullTurnUnits == 360LL * 1000000);

struct ButtonDef {
  int id;
  int caption;
  int tooltip;
};

// Buttons stacked in a frame of the right column; returns the bottom of the frame.
int buttonStack(FormBuilder& b, int y, int caption, const ButtonDef* buttons, int count) {
  constexpr int kPitch = 30;
  const Rect frame = {kRightX, y, kRightW, layout::kFrameTop + count * kPitch + 4};
  const Rect in = b.frame(frame, tx(caption));
  for (int i = 0; i < count; ++i)
    b.button(buttons[i].id, {in.x, in.y + i * kPitch, in.w, layout::kButton},
             tx(buttons[i].caption), tx(buttons[i].tooltip));
  return frame.y + frame.h;
}

// Sub-type 11: addresses and settings of the module, its state, and the tools.
void buildSettings(FormBuilder& b) {
  b.button(2290, {4, 0, 150, 38}, tx(700), {}, true);
  const Rect mode = {160, 0, 256, 42};
  const Rect in = b.frame(mode, tx(341));
  const int half = (in.w - 4) / 2;
  b.option(2288, {in.x, in.y, half, 18}, tx(342), {}, false, true);
  b.option(2289, {in.x + half + 4, in.y, half, 18}, tx(343), {}, true);

  // Fields with their label before and a remark after.
  struct FieldRow {
    int id;
    int label;
    int remark;
    int tooltip;
  };
  static constexpr FieldRow kFields[5] = {{2291, 272, 273, 274},
                                          {2292, 344, 345, 346},
                                          {2293, 275, 276, 277},
                                          {2294, 278, 279, 280},
                                          {2295, 281, 282, 283}};
  const Grid g{.x = 4, .y = 52, .rowPitch = 26, .columns = {150, 34, 220}};
  for (int i = 0; i < 5; ++i) {
    const FieldRow& f = kFields[i];
    b.label(besideField(g.cell(i, 0)), tx(f.label), Align::Right);
    b.numeric(f.id, g.cell(i, 1), 3, tx(f.tooltip));
    b.label(besideField(g.cell(i, 2)), tx(f.remark));
  }

  // What the module reports: position (with its range), state, firmware.
  const Grid s{.x = 4, .y = g.rowY(5) + 10, .rowPitch = 24, .columns = {150, 40, 160}};
  b.label(besideField(s.cell(0, 0)), tx(284), Align::Right);
  b.statusLabel(2296, besideField(s.cell(0, 1)), "0");
  b.statusLabel(2297, besideField(s.cell(0, 2)), " ");
  b.label(besideField(s.cell(1, 0)), tx(285), Align::Right);
  b.statusLabel(2298, besideField(s.cell(1, 1)), "0");
  b.label(besideField(s.cell(2, 0)), tx(286), Align::Right);
  b.statusLabel(2299, besideField(s.cell(2, 1)), "0");

  // Settings file, and the turntable driven directly.
  static constexpr ButtonDef kFile[2] = {{2305, 288, 289}, {2306, 290, 291}};
  const int y = buttonStack(b, 0, 287, kFile, 2) + 4;
  static constexpr ButtonDef kDrive[3] = {{2300, 293, 294}, {2301, 295, 296}, {2304, 297, 298}};
  constexpr int kPitch = 30;
  const Rect frame = {kRightX, y, kRightW, layout::kFrameTop + 4 * kPitch + 4};
  const Rect din = b.frame(frame, tx(292));
  for (int i = 0; i < 3; ++i)
    b.button(kDrive[i].id, {din.x, din.y + i * kPitch, din.w, layout::kButton},
             tx(kDrive[i].caption), tx(kDrive[i].tooltip));
  const int lastY = din.y + 3 * kPitch;
  constexpr int kTargetW = 56;
  b.button(2302, {din.x, lastY, din.w - kTargetW - 4, layout::kButton}, tx(299), tx(300));
  // The target position is a value for the button beside it, not module data.
  Control target;
  target.kind = ControlKind::NumericField;
  target.id = 2303;
  target.rect = {din.x + din.w - kTargetW, lastY + 3, kTargetW, layout::kField};
  target.caption = "1";
  target.maxLength = 5;
  target.plain = true;
  b.add(target);
}

// Sub-type 12: the step table.
void buildStepTable(FormBuilder& b) {
  constexpr int kBlockW = 150;
  constexpr int kBlockPitch = 164;
  for (int c = 0; c < kBlocks; ++c) {
    const Grid g{.x = 4 + c * kBlockPitch, .y = 18, .rowPitch = 22, .columns = {46, 40, 56}};
    static_assert(46 + 4 + 40 + 4 + 56 == kBlockW);
    b.label({g.colX(0), 0, g.columns[0], 16}, tx(302), Align::Right);
    b.label({g.colX(1), 0, g.columns[1], 16}, tx(303));
    b.label({g.colX(2), 0, g.columns[2], 16}, tx(304), Align::Right);
    for (int j = 0; j < kBlockRows; ++j) {
      const int s = kBlockRows * c + j;
      const int next = (s + 1) % ctl::kStepCount;
      b.label(besideField(g.cell(j, 0)), {num2(s), lit(" - "), num2(next)}, Align::Right);
      b.numeric(ctl::kFirstStep + s, g.cell(j, 1), 4,
                {tx(305), num2(s), tx(306), num2(s + 1)});
      b.statusLabel(ctl::kFirstAngle + s, besideField(g.cell(j, 2)), "0.00000", Align::Right);
    }
  }

  // File and distribution tools, then the sums.
  const int y = 18 + kBlockRows * 22 + 8;
  Rect in = b.frame({4, y, 260, 52}, tx(307));
  b.button(2315, {in.x, in.y, 118, layout::kButton}, tx(308), tx(309));
  b.button(2316, {in.x + 122, in.y, 118, layout::kButton}, tx(310), tx(311));
  in = b.frame({268, y, 140, 52}, tx(312));
  b.button(2317, {in.x, in.y, in.w, layout::kButton}, tx(313), tx(314));

  const Grid sums{.x = 412, .y = y + 4, .rowPitch = 24, .columns = {150, 84}};
  b.label(besideField(sums.cell(0, 0)), tx(315), Align::Right);
  b.readOnly(ctl::kStepSum, sums.cell(0, 1));
  b.label(besideField(sums.cell(1, 0)), tx(316), Align::Right);
  b.readOnly(ctl::kStepSumAngle, sums.cell(1, 1));
}

// Sub-type 13: the output patterns.
void buildPatterns(FormBuilder& b) {
  constexpr int kBlockPitch = 112;
  for (int c = 0; c < kBlocks; ++c) {
    const Grid g{.x = 4 + c * kBlockPitch, .y = 18, .rowPitch = 22, .columns = {24, 74}};
    b.label({g.colX(0), 0, g.columns[0], 16}, tx(318), Align::Right);
    b.label({g.colX(1), 0, g.columns[1], 16}, tx(319));
    for (int j = 0; j < kBlockRows; ++j) {
      const int s = kBlockRows * c + j;
      b.label(besideField(g.cell(j, 0)), num2(s), Align::Right);
      b.numeric(ctl::kFirstPattern + s, g.cell(j, 1), 8, {tx(321), num2(s)});
    }
  }

  constexpr int kX = 460;
  constexpr int kW = 196;
  constexpr int kPitch = 30;
  Rect in = b.frame({kX, 0, kW, layout::kFrameTop + 2 * kPitch + 4}, tx(322));
  b.button(2307, {in.x, in.y, in.w, layout::kButton}, tx(323), tx(324));
  b.button(2308, {in.x, in.y + kPitch, in.w, layout::kButton}, tx(325), tx(326));
  const int y = layout::kFrameTop + 2 * kPitch + 8;
  in = b.frame({kX, y, kW, layout::kFrameTop + 2 * kPitch + 4}, tx(327));
  b.button(2309, {in.x, in.y, in.w, layout::kButton}, "00000000", tx(328));
  b.button(2310, {in.x, in.y + kPitch, in.w, layout::kButton}, tx(329), tx(330));

  // Which digit of a pattern drives which output.
  struct Legend {
    const char* digit;
    Words meaning;
  };
  const Legend legend[4] = {
      {"1:", tx(320)}, {"3:", lit("J6 - 5")}, {"4:", lit("J6 - 4")}, {"5:", lit("J6 - 3")}};
  const int ly = y + layout::kFrameTop + 2 * kPitch + 16;
  for (int i = 0; i < 4; ++i) {
    b.label({kX + 4, ly + i * 18, 20, 16}, legend[i].digit);
    b.label({kX + 26, ly + i * 18, kW - 26, 16}, legend[i].meaning);
  }
}

// Sub-type 14: one button per track position.
void buildPositionPanel(FormBuilder& b) {
  constexpr int kX = 40;
  constexpr int kColumnPitch = 150;
  for (int c = 0; c < kBlocks; ++c) {
    const Grid g{.x = kX + c * kColumnPitch, .y = 4, .rowPitch = 25, .rowHeight = 22,
                 .columns = {72, 40}};
    for (int j = 0; j < kBlockRows; ++j) {
      const int n = kBlockRows * c + j;
      const Rect label = g.cell(j, 0);
      b.label({label.x, label.y + 4, label.w, 16}, tx(332), Align::Right);
      b.button(ctl::kFirstPosition + n, g.cell(j, 1), num2(n),
               {tx(333), num(n), tx(c == 0 ? 334 : 333)});
    }
  }
  const int y = 4 + kBlockRows * 25 + 8;
  b.label({kX, y + 3, 220, 16}, tx(335), Align::Right);
  b.statusLabel(ctl::kPositionNumber, {kX + 224, y, 60, layout::kField});
  b.statusLabel(ctl::kPositionNotice, {kX, y + 28, 560, 16}, {}, Align::Centre,
                colour::kWarningRed);
}

// Decimal value of a step field: its leading digits; an empty field is 0.
int fieldValue(const std::string& s) {
  long v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') break;
    v = v * 10 + (ch - '0');
    if (v > 100000000) break;  // far beyond any field; keeps the sum in range
  }
  return static_cast<int>(v);
}

// The angle of `units` with five decimals. Counted in whole numbers, so that a value
// that ends on a half (38399 units are 359.990625 degrees) rounds up the same way on
// every machine instead of following the binary representation of a double.
std::string degrees(long units) {
  const long long micro = static_cast<long long>(units) * kMicroDegreesPerUnit;
  const long long rounded = (micro + 5) / 10;  // hundred-thousandths of a degree
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld.%05lld", rounded / 100000, rounded % 100000);
  return buf;
}

}  // namespace

namespace pages {

void buildTurntablePages(FormBuilder& b) {
  b.onPage(ctl::kFamily2Tabs, 0);
  buildSettings(b);
  b.onPage(ctl::kFamily2Tabs, 1);
  buildStepTable(b);
  b.onPage(ctl::kFamily2Tabs, 2);
  buildPatterns(b);
  b.onPage(ctl::kFamily2Tabs, 3);
  buildPositionPanel(b);
}

}  // namespace pages

void checkSteps(AppContext& ctx) {
  Ui& ui = ctx.ui;
  long sum = 0;
  for (int s = 0; s < ctl::kStepCount; ++s) {
    const int v = fieldValue(ui.text(kMain, ctl::kFirstStep + s));
    ui.setBackground(kMain, ctl::kFirstStep + s, v == 0 ? colour::kZeroPink : colour::kWhite);
    ui.setText(kMain, ctl::kFirstAngle + s, degrees(v));
    // Programming reads this flag as "the table is filled up to its end": each field
    // overwrites it, so the last step decides.
    ctx.forms.tableValid = v != 0;
    sum += v;
  }
  ui.setText(kMain, ctl::kStepSum, std::to_string(sum));
  ui.setText(kMain, ctl::kStepSumAngle, degrees(sum));
  const Colour sumColour = sum == kFullTurnUnits ? colour::kSumGreen : colour::kZeroPink;
  ui.setBackground(kMain, ctl::kStepSum, sumColour);
  ui.setBackground(kMain, ctl::kStepSumAngle, sumColour);
  if (sum > kFullTurnUnits) {
    // More than a full turn: a read-out or programming run in progress must not go on
    // with this table.
    ui.messageBox(kMain, ctx.text(530), ctx.text(531) + std::to_string(kFullTurnUnits) + "!     ",
                  mb::kOk | mb::kIconWarning);
    ctx.cancelRequested = 1;
  }
}

}  // namespace kw
