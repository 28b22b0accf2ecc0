// Family 8: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily8(ModuleRun& run) { (void)run; }

void readFamily8(ModuleRun& run) { (void)run; }

}  // namespace kw
