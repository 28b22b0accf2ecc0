// Family 6: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily6(ModuleRun& run) { (void)run; }

void readFamily6(ModuleRun& run) { (void)run; }

}  // namespace kw
