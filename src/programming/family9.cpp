// Family 9: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily9(ModuleRun& run) { (void)run; }

void readFamily9(ModuleRun& run) { (void)run; }

}  // namespace kw
