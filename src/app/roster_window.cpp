#include "app/roster_window.h"

#include "app/context.h"

namespace kw {

void refreshRosterWindow(AppContext& ctx) { (void)ctx; }

}  // namespace kw
