// Factory values: the form of the shown module sub-type set to what a new module holds, so
// that programming it afterwards puts the module back to its delivery state. Only the
// form changes; nothing goes to the bus.
#pragma once

#include "app/context.h"

namespace kw {

// The factory-values button: refreshes the selection from the tabs, asks, and on Yes sets
// the form of the shown family and sub-type.
void resetToFactory(AppContext& ctx);
// The values alone, without the question (the selection must be current).
void applyFactoryValues(AppContext& ctx);

void registerFactoryRows(Dispatcher& d);

}  // namespace kw
