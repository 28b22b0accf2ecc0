// Programming a module from the form, reading it back into the form, and the switch of
// the bus into and out of programming mode.
#pragma once

#include "app/context.h"

namespace kw {

// The program button: checks, question, then the write sequence of the shown family.
void programModule(AppContext& ctx);
// The read button (and a successful switch into programming mode): the module's
// configuration into the form of the shown family. True when the read-out ran to its end.
bool readModule(AppContext& ctx);
// The programming-mode buttons: on for the module whose address is in the form, or off.
void switchProgrammingMode(AppContext& ctx);

// Control-event rows of the program, read and programming-mode buttons.
void registerProgrammingRows(Dispatcher& d);

}  // namespace kw
