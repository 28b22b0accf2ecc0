// Per module family, its write sequence and its read-out, side by side in one file each
// (family0.cpp .. family9.cpp; family 10 only writes, in direct_write.cpp). Each is run
// by the engine with the form locked; a sequence that stops after a message just returns.
#pragma once

#include "programming/module_run.h"

namespace kw {

void programFamily0(ModuleRun& run);
void programFamily1(ModuleRun& run);
void programFamily2(ModuleRun& run);
void programFamily3(ModuleRun& run);
void programFamily4(ModuleRun& run);
void programFamily5(ModuleRun& run);
void programFamily6(ModuleRun& run);
void programFamily7(ModuleRun& run);
void programFamily8(ModuleRun& run);
void programFamily9(ModuleRun& run);
void programFamily10(ModuleRun& run);

void readFamily0(ModuleRun& run);
void readFamily1(ModuleRun& run);
void readFamily2(ModuleRun& run);
void readFamily3(ModuleRun& run);
void readFamily4(ModuleRun& run);
void readFamily5(ModuleRun& run);
void readFamily6(ModuleRun& run);
void readFamily7(ModuleRun& run);
void readFamily8(ModuleRun& run);
void readFamily9(ModuleRun& run);

// Family 2, sub-type 11: parameters 1 to 3 into the form as the read-out shows them, and
// with `withFeedbackAddress` parameter 4 as well when the module's firmware has it. The
// settings file is saved from this (without parameter 4).
void readTurntableSettings(const ModuleRun& run, bool withFeedbackAddress);

}  // namespace kw
