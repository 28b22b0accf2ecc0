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
#pragma once

#include "forms/form_builder.h"

namespace kw {

// Lower part of the family-4 page: the two extension tables of sixteen rows.
constexpr Rect kFamily4ExtensionTabsRect = {2, 150, 668, 276};

// Fills the page(s) of `family` (1..10); family 0 is built by the form itself.
void buildFamily(FormBuilder& b, int family);

// Family 1, sub-type 18: older (on) or newer (off) module generation.
void setLegacyMode(AppContext& ctx, bool on);
// Family 2, sub-type 12: step check of the 48 step fields.
void checkSteps(AppContext& ctx);

}  // namespace kw
