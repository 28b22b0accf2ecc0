// The roster window: the module sheets of the roster folder in a list.
#pragma once

namespace kw {

struct AppContext;

// The list shows the folder as it is now (when the window is open).
void refreshRosterWindow(AppContext& ctx);

}  // namespace kw
