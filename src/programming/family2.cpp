// Family 2: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily2(ModuleRun& run) { (void)run; }

void readFamily2(ModuleRun& run) { (void)run; }

}  // namespace kw
