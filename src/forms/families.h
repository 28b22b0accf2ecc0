// Pages of module families 1 to 10, described with the framework of form_builder.h.
//
// buildParameterForm creates the outer tab control and, for families 1, 2 and 4, the
// inner tab control with its pages; then it calls buildFamily(b, family) with the
// builder placed on the family's page (onPage(ctl::kFamilyTabs, family)). A family with
// sub-types moves the builder to its inner pages itself, for example
//   b.onPage(ctl::kFamily1Tabs, 0);   // sub-type 19
//   b.onPage(ctl::kFamily1Tabs, 1);   // sub-type 18
// Family 4's extension tables lie on tab control 2004, created at
// kFamily4ExtensionTabsRect on the family-4 page before buildFamily(b, 4) runs.
//
// The pages live in three files: family_servo.cpp (family 1 and its legacy mode),
// family_turntable.cpp (family 2 and the step check) and family_modules.cpp (3 to 10).
#pragma once

#include "forms/form_builder.h"

namespace kw {

class Dispatcher;

// Lower part of the family-4 page: the two extension tables of sixteen rows.
constexpr Rect kFamily4ExtensionTabsRect = {2, 110, 668, 318};

// Fills the page(s) of `family` (1..10); family 0 is built by the form itself.
void buildFamily(FormBuilder& b, int family);

// Family 1, sub-type 18: older (on) or newer (off) module generation.
void setLegacyMode(AppContext& ctx, bool on);
// After the form was unlocked: the controls of the newer generation stay off in legacy mode.
void keepLegacyLock(AppContext& ctx);
// Family 2, sub-type 12: step check of the 48 step fields.
void checkSteps(AppContext& ctx);

// Control-event rows that belong to the pages of families 1 to 10 (the step fields, the
// turntable and output tools).
void registerFamilyRows(Dispatcher& d);

// Numbers of the family pages that other code looks at by range.
namespace ctl {
constexpr int kFirstStep = 300;       // 300 + s: step field s = 0..47 (family 2, 12)
constexpr int kFirstAngle = 400;      // 400 + s: the step as an angle
constexpr int kFirstPattern = 500;    // 500 + s: output pattern s (family 2, 13)
constexpr int kFirstPosition = 700;   // 700 + n: position button n (family 2, 14)
constexpr int kPositionNumber = 750;  // position panel: selected position
constexpr int kPositionNotice = 751;  // position panel: why it is locked
constexpr int kStepSum = 2311;
constexpr int kStepSumAngle = 2312;
constexpr int kStepCount = 48;
}  // namespace ctl

// Units of a full turn of the turntable; one unit is 360 / 38400 degrees.
constexpr int kFullTurnUnits = 38400;

namespace pages {

// The page builders of each file (buildFamily picks them by family number).
void buildServoPages(FormBuilder& b);      // family 1, sub-types 19 and 18
void buildTurntablePages(FormBuilder& b);  // family 2, sub-types 11 to 14
void buildFamily3(FormBuilder& b);
void buildFamily4(FormBuilder& b);
void buildFamily5(FormBuilder& b);
void buildFamily6(FormBuilder& b);
void buildFamily7(FormBuilder& b);
void buildFamily8(FormBuilder& b);
void buildFamily9(FormBuilder& b);
void buildFamily10(FormBuilder& b);

// A label beside a field of height 20 sits a little lower so the baselines meet.
inline Rect besideField(Rect cell) { return {cell.x, cell.y + 3, cell.w, 16}; }
// A field of height 20 in a grid cell that may be taller (spin fields, sliders).
inline Rect fieldIn(Rect cell, int width) { return {cell.x, cell.y, width, layout::kField}; }

}  // namespace pages

}  // namespace kw
