// The real user interface on Windows: the plain Win32 API and the common controls, which
// the program's fixed pixel layouts were made for. Kept free of windows.h so that the
// program's start-up code can include it.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace kw {

// Registers the window classes and returns the window system, or nullptr when it cannot
// start. Call once, on the thread that is to own every window.
std::unique_ptr<Ui> createWin32Ui();

}  // namespace kw
