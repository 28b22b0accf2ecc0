// Family 0: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily0(ModuleRun& run) { (void)run; }

void readFamily0(ModuleRun& run) { (void)run; }

}  // namespace kw
