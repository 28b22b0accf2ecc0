// The position panel of the turntable (family 2, sub-type 14) shows where the turntable
// stands. While the panel is shown and the bus is in normal operation, the bus thread
// writes 0xF0 to the turntable's address every 500 ms; the turntable answers on the same
// address with bit 7 clear once it has taken the ask, and with bit 6 set when it stands
// at a position, which the low six bits then give.
#pragma once

#include "app/context.h"

namespace kw {

// Adds the ask to the bus thread's cycle and enables it. Once, after the form is built
// and before the bus thread starts.
void registerPositionQuery(AppContext& ctx);
// Window thread: the page or the turntable's address (field 2291) may have changed.
void notePositionPanel(AppContext& ctx);
// Bus thread: one pass of the ask (run by the cycle row).
void positionQueryStep(AppContext& ctx);
// Bus thread: the ms until the next ask is due; -1 while none is.
int msUntilNextAsk(AppContext& ctx);

}  // namespace kw
