// The real user interface on wxWidgets. Kept free of wx headers so that the program's
// start-up code can include it without pulling in the toolkit.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace kw {

// Starts the toolkit and returns the window system, or nullptr when it cannot start
// (no display). Call once, on the thread that is to own every window.
std::unique_ptr<Ui> createWxUi(int argc, char** argv);

}  // namespace kw
