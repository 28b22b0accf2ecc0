// The pop-up of the port fields of the status bar: the legend of the port states, and a
// line for every port whose interface sent bytes that formed no message (line noise, a
// wrong baud rate), so that such trouble shows without a log file.
#pragma once

#include <string>

#include "app/context.h"

namespace kw {

// "Com 2: 17 bytes dropped" in the program's language (1..4); empty when none were.
std::string droppedLine(int port, uint32_t bytes, int language);
// Builds the pop-up anew and opens it under the pointer.
void showStatusPopup(AppContext& ctx);

}  // namespace kw
