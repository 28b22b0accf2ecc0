// Family 1: its write sequence and its read-out.
#include "programming/families.h"

namespace kw {

void programFamily1(ModuleRun& run) { (void)run; }

void readFamily1(ModuleRun& run) { (void)run; }

}  // namespace kw
