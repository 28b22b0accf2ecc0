// Family 1: the modules with eight outputs whose end values and speeds are adjusted.
// Sub-type 19 is the newer module, sub-type 18 the older one, which itself comes in two
// generations (legacy mode).
#include <iterator>

#include "app/context.h"
#include "forms/families.h"

namespace kw {

namespace {

using pages::besideField;
using pages::fieldIn;

constexpr int kMain = win::kMain;

// Two columns: the adjustment frames left, the tool and backup frames right.
constexpr int kLeftX = 4;
constexpr int kLeftW = 412;
constexpr int kRightX = 424;
constexpr int kRightW = 232;
constexpr int kFrameGap = 4;

// Rows of slider, spin field and (optionally) the button that sends the value.
constexpr int kSliderPitch = 28;
constexpr int kSliderHeight = 24;
constexpr int kSpinHeight = 22;
const Grid kSliderColumns{.rowPitch = kSliderPitch,
                          .rowHeight = kSliderHeight,
                          .columns = {110, 146, 72, 56}};

struct SliderRow {
  int label;      // row label text
  int slider;
  int spin;       // spin field beside it, showing the same value
  int spinStart;
  int tooltip;    // tooltip of the slider, 0 = none
  int button;     // button "send" of the row, 0 = none
  int buttonTip;
};

struct ButtonDef {
  int id;
  int caption;
  int tooltip;
};

// Slider rows starting at (x, y); returns the y below the last row.
int sliderRows(FormBuilder& b, int x, int y, const SliderRow* rows, int count) {
  Grid g = kSliderColumns;
  g.x = x;
  g.y = y;
  for (int i = 0; i < count; ++i) {
    const SliderRow& r = rows[i];
    const Words tip = r.tooltip != 0 ? Words(tx(r.tooltip)) : Words();
    b.label({g.colX(0), g.rowY(i) + 4, g.columns[0], 16}, tx(r.label), Align::Right);
    b.slider(r.slider, g.cell(i, 1), 1, 255, tip);
    const Rect spin = g.cell(i, 2);
    b.spin(r.spin, {spin.x, spin.y + 1, spin.w, kSpinHeight}, 1, 255, r.spinStart);
    if (r.button != 0) b.button(r.button, g.cell(i, 3), tx(227), tx(r.buttonTip));
  }
  return g.rowY(count) - (kSliderPitch - kSliderHeight);
}

// A frame of push buttons laid out left to right with the given widths, `perRow` a row.
// Returns the bottom of the frame.
int buttonFrame(FormBuilder& b, int y, int caption, const ButtonDef* buttons, int count,
                const int* widths, int perRow) {
  const int rows = (count + perRow - 1) / perRow;
  constexpr int kPitch = 30;
  const Rect frame = {kRightX, y, kRightW, layout::kFrameTop + rows * kPitch + 4};
  const Rect in = b.frame(frame, tx(caption));
  int x = in.x;
  for (int i = 0; i < count; ++i) {
    if (i % perRow == 0) x = in.x;
    const int row = i / perRow;
    b.button(buttons[i].id, {x, in.y + row * kPitch, widths[i], layout::kButton},
             tx(buttons[i].caption), tx(buttons[i].tooltip));
    x += widths[i] + 4;
  }
  return frame.y + frame.h;
}

// The three frames both sub-types share on the right: output tools (four buttons),
// test (one button) and module backup (save, show, restore). Returns the bottom.
int toolFrames(FormBuilder& b, int y, const ButtonDef (&tools)[4], const ButtonDef& test,
               const ButtonDef (&backup)[3]) {
  constexpr int kHalf[4] = {106, 106, 106, 106};
  y = buttonFrame(b, y, 235, tools, 4, kHalf, 2) + kFrameGap;
  constexpr int kTest[1] = {150};
  y = buttonFrame(b, y, 244, &test, 1, kTest, 1) + kFrameGap;
  // "Restore" is the longest of the three captions.
  constexpr int kBackup[3] = {58, 62, 88};
  return buttonFrame(b, y, 247, backup, 3, kBackup, 3);
}

// Untitled frame: the frame without a caption groups a little tighter.
Rect untitledFrame(FormBuilder& b, Rect r) {
  b.frame(r, {});
  return {r.x + layout::kFramePad, r.y + 10, r.w - 2 * layout::kFramePad, r.h - 14};
}

// Sub-type 19: the newer module.
void buildSubtype19(FormBuilder& b) {
  // Addresses, firmware and the programming-mode button.
  const Rect f201 = {kLeftX, 0, kLeftW, 76};
  Rect in = b.frame(f201, tx(201));
  const Grid top{.x = in.x, .y = in.y, .rowPitch = 26, .columns = {110, 34, 66, 44}};
  b.label(besideField(top.cell(0, 0)), tx(202), Align::Right, colour::kHeadingPurple);
  b.numeric(2253, top.cell(0, 1), 3, tx(205));
  b.label(besideField(top.cell(1, 0)), tx(203), Align::Right, colour::kHeadingPurple);
  b.numeric(2254, top.cell(1, 1), 3, tx(206));
  b.label(besideField(top.cell(0, 2)), tx(207), Align::Right);
  b.display(2258, top.cell(0, 3));
  const int buttonX = top.colX(4) + 6;
  b.button(2287, {buttonX, in.y, in.x + in.w - buttonX, 46}, tx(700), {}, true);

  // Output chosen for adjustment, and its two end values.
  const Rect fAdjust = {kLeftX, f201.y + f201.h + kFrameGap, kLeftW, 100};
  in = untitledFrame(b, fAdjust);
  const Grid out{.x = in.x, .y = in.y, .columns = {110, 34, 138}};
  b.label(besideField(out.cell(0, 0)), tx(208), Align::Right, colour::kHeadingOlive);
  b.numeric(2255, out.cell(0, 1), 3, tx(210));
  b.label(besideField(out.cell(0, 2)), tx(209), Align::Left, colour::kHeadingOlive);
  b.button(2259, {in.x + in.w - 100, in.y - 3, 100, layout::kButton}, tx(213), tx(214));
  static constexpr SliderRow kEnds[2] = {{215, 2260, 2262, 1, 0, 0, 0},
                                         {216, 2261, 2263, 1, 0, 0, 0}};
  sliderRows(b, in.x, in.y + 28, kEnds, 2);

  // Output test.
  const Rect f219 = {kLeftX, fAdjust.y + fAdjust.h + kFrameGap, kLeftW, 58};
  in = b.frame(f219, tx(219));
  b.label({in.x, in.y + 7, 110, 16}, tx(220), Align::Right);
  b.spin(2257, {in.x + 114, in.y + 4, 72, kSpinHeight}, 1, 8, 1, tx(221));
  b.toggle(2256, {in.x + 190, in.y, 190, 32}, tx(265), tx(223), true);

  // Speeds and the two further values, each sent by its own button.
  const Rect f224 = {kLeftX, f219.y + f219.h + kFrameGap, kLeftW, 130};
  in = b.frame(f224, tx(224));
  static constexpr SliderRow kSpeeds[4] = {{225, 2264, 2266, 0, 228, 2268, 229},
                                           {226, 2265, 2267, 0, 230, 2269, 231},
                                           {257, 2270, 2272, 0, 263, 2274, 234},
                                           {258, 2271, 2273, 0, 264, 2275, 234}};
  sliderRows(b, in.x, in.y, kSpeeds, 4);

  // Right column: the two values sent together, tools, test and backup.
  const Rect f259 = {kRightX, 0, kRightW, 76};
  in = b.frame(f259, tx(259));
  const Grid pair{.x = in.x, .y = in.y, .rowPitch = 26, .columns = {100, 34}};
  b.label(besideField(pair.cell(0, 0)), tx(236), Align::Right);
  b.numeric(2284, pair.cell(0, 1), 3, tx(260));
  b.label(besideField(pair.cell(1, 0)), tx(240), Align::Right);
  b.numeric(2285, pair.cell(1, 1), 3, tx(261));
  b.button(2286, {pair.colX(2) + 8, in.y + 10, 66, layout::kButton}, tx(227), tx(262));

  static constexpr ButtonDef kTools[4] = {
      {2276, 236, 237}, {2277, 238, 239}, {2278, 240, 241}, {2279, 242, 243}};
  static constexpr ButtonDef kTest = {2280, 245, 246};
  static constexpr ButtonDef kBackup[3] = {{2281, 248, 249}, {2282, 250, 251}, {2283, 252, 253}};
  const int bottom = toolFrames(b, f259.y + f259.h + kFrameGap, kTools, kTest, kBackup);
  b.picture(0, {kRightX + (kRightW - 64) / 2, bottom + 16, 64, 48}, 5);
}

// Sub-type 18: the older module.
void buildSubtype18(FormBuilder& b) {
  // Addresses under their column headings, and the firmware.
  const Rect f201 = {kLeftX, 0, kLeftW, 62};
  Rect in = b.frame(f201, tx(201));
  struct Column {
    int heading;
    int field;
    int maxLength;
    int tooltip;
  };
  static constexpr Column kColumns[3] = {{202, 2222, 3, 205}, {203, 2223, 3, 206},
                                         {204, 2228, 2, 0}};
  constexpr int kColumnW = 92;
  for (int i = 0; i < 3; ++i) {
    const Column& c = kColumns[i];
    const int x = in.x + i * (kColumnW + 4);
    b.label({x, in.y, kColumnW, 16}, tx(c.heading));
    const Words tip = c.tooltip != 0 ? Words(tx(c.tooltip)) : Words();
    b.numeric(c.field, {x, in.y + 17, 34, layout::kField}, c.maxLength, tip);
  }
  const int fwX = in.x + 3 * (kColumnW + 4);
  b.label({fwX, in.y, in.x + in.w - fwX, 16}, tx(207));
  b.display(2227, {fwX, in.y + 17, 50, layout::kField});

  // Output chosen for adjustment, its two end values and the two tool buttons.
  const Rect fAdjust = {kLeftX, f201.y + f201.h + kFrameGap, kLeftW, 124};
  in = untitledFrame(b, fAdjust);
  const Grid out{.x = in.x, .y = in.y, .columns = {110, 34, 248}};
  b.label(besideField(out.cell(0, 0)), tx(208), Align::Right);
  b.numeric(2224, out.cell(0, 1), 3, tx(210));
  b.label(besideField(out.cell(0, 2)), tx(209));
  // The two tool buttons under the field, in the order they are used.
  const int toolX = out.colX(1);
  constexpr int kToolW = 110;
  b.button(2229, {toolX, in.y + 25, kToolW, layout::kButton}, tx(211), tx(212));
  b.button(2230, {toolX + kToolW + 4, in.y + 25, kToolW, layout::kButton}, tx(213), tx(214));
  static constexpr SliderRow kEnds[2] = {{215, 2242, 2247, 1, 217, 0, 0},
                                         {216, 2243, 2248, 1, 218, 0, 0}};
  sliderRows(b, in.x, in.y + 56, kEnds, 2);

  // Output test.
  const Rect f219 = {kLeftX, fAdjust.y + fAdjust.h + kFrameGap, kLeftW, 48};
  in = b.frame(f219, tx(219));
  b.label({in.x, in.y + 5, 110, 16}, tx(220), Align::Right);
  b.spin(2226, {in.x + 114, in.y + 2, 72, kSpinHeight}, 1, 8, 1, tx(221));
  b.check(2225, {in.x + 190, in.y + 4, in.w - 190, 18}, tx(222), tx(223));

  // Speeds, each sent by its own button.
  const Rect f224 = {kLeftX, f219.y + f219.h + kFrameGap, kLeftW, 76};
  in = b.frame(f224, tx(224));
  static constexpr SliderRow kSpeeds[2] = {{225, 2244, 2249, 0, 228, 2231, 229},
                                           {226, 2245, 2250, 0, 230, 2232, 231}};
  sliderRows(b, in.x, in.y, kSpeeds, 2);

  // The further value, in a frame of its own.
  const Rect fLast = {kLeftX, f224.y + f224.h + kFrameGap, kLeftW, 42};
  in = untitledFrame(b, fLast);
  static constexpr SliderRow kLast[1] = {{232, 2246, 2251, 0, 233, 2233, 234}};
  sliderRows(b, in.x, in.y, kLast, 1);

  static constexpr ButtonDef kTools[4] = {
      {2234, 236, 237}, {2235, 238, 239}, {2236, 240, 241}, {2237, 242, 243}};
  static constexpr ButtonDef kTest = {2238, 245, 246};
  static constexpr ButtonDef kBackup[3] = {{2239, 248, 249}, {2240, 250, 251}, {2241, 252, 253}};
  const int bottom = toolFrames(b, 0, kTools, kTest, kBackup);
  b.picture(0, {kRightX + (kRightW - 64) / 2, bottom + 16, 64, 48}, 4);
}

// What the older generation of sub-type 18 cannot do: the adjustment output, its tool
// buttons and the two end values. Fields among them are grey while they are off.
constexpr int kNewerOnly[] = {2224, 2229, 2230, 2242, 2243, 2247, 2248};
constexpr int kNewerOnlyFields[] = {2224, 2247, 2248};

}  // namespace

namespace pages {

void buildServoPages(FormBuilder& b) {
  b.onPage(ctl::kFamily1Tabs, 0);
  buildSubtype19(b);
  b.onPage(ctl::kFamily1Tabs, 1);
  buildSubtype18(b);
}

}  // namespace pages

void keepLegacyLock(AppContext& ctx) {
  if (!ctx.forms.legacyMode) return;
  for (int c : kNewerOnly) ctx.ui.setEnabled(kMain, c, false);
}

void setLegacyMode(AppContext& ctx, bool on) {
  Ui& ui = ctx.ui;
  ctx.forms.legacyMode = on;
  for (int c : kNewerOnly) ui.setEnabled(kMain, c, !on);
  for (int c : kNewerOnlyFields)
    ui.setBackground(kMain, c, on ? colour::kDisplayGrey : colour::kInputYellow);
  // The older modules have no value behind 2228 either; the read-out enables it again
  // when the module turns out to have one.
  if (on) ui.setEnabled(kMain, 2228, false);
}

}  // namespace kw
