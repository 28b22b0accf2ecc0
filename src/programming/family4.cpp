// Family 4: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily4(ModuleRun& run) { (void)run; }

void readFamily4(ModuleRun& run) { (void)run; }

}  // namespace kw
