// The program's built-in pictures, drawn in code so they need no files: menu icons,
// status-bar lamps and the module pictures of the form.
#pragma once

#include <array>

#include "platform/ui.h"

namespace kw {

inline constexpr std::array<int, 29> kImageNumbers = {1,   2,   3,   4,   5,   6,   7,   8,
                                                      10,  11,  12,  13,  14,  15,  16,  17,
                                                      18,  128, 129, 130, 131, 132, 133, 134,
                                                      135, 136, 264, 278, 302};

// The picture registered under `number`; an empty image for an unknown number.
Image builtinImage(int number);

}  // namespace kw
