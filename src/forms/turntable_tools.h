// The tools of the turntable form (family 2): direct commands and the settings file
// (sub-type 11), the step-table file and its even distribution (12), the output-pattern
// file and its two fill buttons (13), and the 48 position buttons (14).
//
// While a tool talks to the turntable, the bus thread's position ask (position_query.h)
// leaves it alone: its `enabled` flag is the panel's "turn done" flag, false while a
// tool's own transfer runs and true otherwise.
#pragma once

#include "app/context.h"

namespace kw {

// Buttons 2300 (reference run), 2301 (tracks on), 2302 (to target), 2304 (stop), and
// 2305 / 2306 (settings file load / save).
void turntableCommand(AppContext& ctx, int button);
// Buttons 2315 (load), 2316 (save), 2317 (distribute the rest of a full turn).
void stepTableTool(AppContext& ctx, int button);
// Buttons 2307 (load), 2308 (save), 2309 (all "00000000"), 2310 (empty ones "00000000").
void patternTool(AppContext& ctx, int button);
// Position button 700 + k: turns the turntable to track k and waits until it stands.
void turnToPosition(AppContext& ctx, int k);

// False while a turntable tool's own transfer runs.
bool turnDone(const AppContext& ctx);

// The click rows of the buttons above.
void registerTurntableToolRows(Dispatcher& d);

}  // namespace kw
