// Family 3: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily3(ModuleRun& run) { (void)run; }

void readFamily3(ModuleRun& run) { (void)run; }

}  // namespace kw
