// The pop-up of the port fields of the status bar: the legend of the port states, and a
// line for every port whose interface sent bytes that formed no message (line noise, a
// wrong baud rate), so that such trouble shows without a log file.
#pragma once

#include <string>
#include <vector>

#include "platform/serial.h"

#include "app/context.h"

namespace kw {

// "Com 2: 17 bytes dropped" in the program's language (1..4); empty when none were.
std::string droppedLine(int port, uint32_t bytes, int language);
// What keeps COM `port` from opening, in the program's language: "Com 1 = /dev/ttyUSB0:
// permission denied", with the way to get access on a second line where one is known.
// Empty when nothing is wrong.
std::vector<std::string> portProblemLines(int port, const std::string& device,
                                          PortProblem problem, int language);
// Builds the pop-up anew and opens it under the pointer.
void showStatusPopup(AppContext& ctx);

}  // namespace kw
