// The output adjustment tools of the servo module form (family 1): one output at a time
// is loaded into the sliders, set value by value, and tested, while the module is in
// programming mode; and the additional address with its two values is read and written
// directly.
//
// The module keeps output k (1..8) in parameter k + 1 (end value 1, end value 2, speed)
// and, for sub-type 19, in parameter k + 65 (value 4, values 5 and 6); parameter 1 holds
// the module's addresses. Commands (10: test, 12: set a value of sub-type 19) take the
// output number k itself.
#pragma once

#include "app/context.h"

namespace kw {

// The adjust switch of `subtype` (18: check box 2225, 19: toggle 2256) changed, a test
// is done, or another output was chosen while adjusting: the stored values of the chosen
// output into the sliders, or the tools back to rest when the switch is off.
void loadOutput(AppContext& ctx, int subtype);
// Set buttons 2231..2233 (sub-type 18) and 2268, 2269, 2274, 2275, 2286 (19).
void setOutputValue(AppContext& ctx, int button);
// Test buttons 2234..2238 (sub-type 18) and 2276..2280 (19).
void testOutput(AppContext& ctx, int button);
// Buttons 2229 (read) and 2230 (write) of sub-type 18, 2259 (write) of sub-type 19.
void directParameter(AppContext& ctx, int button);
// Adjust switch off, the output's sliders and fields empty (18 or 19; others: nothing).
void resetOutputTools(AppContext& ctx, int subtype);

void registerOutputToolRows(Dispatcher& d);

}  // namespace kw
