// Family 5: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily5(ModuleRun& run) { (void)run; }

void readFamily5(ModuleRun& run) { (void)run; }

}  // namespace kw
