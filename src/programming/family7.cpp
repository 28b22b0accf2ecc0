// Family 7: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily7(ModuleRun& run) { (void)run; }

void readFamily7(ModuleRun& run) { (void)run; }

}  // namespace kw
