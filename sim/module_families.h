// The module of each family, made by makeModule (sim_modules.h), one source file per
// family or group of alike families.
#pragma once

#include <memory>

#include "sim/sim_modules.h"

namespace kw::sim {

// Family 0, sub-types 15, 16, 17: tables of address and function code.
std::shared_ptr<SimModule> makeFunctionModule(int subtype, int bus, int address);
// Family 1, sub-types 18 (older) and 19 (newer): eight outputs.
std::shared_ptr<SimModule> makeServoModule(int subtype, int bus, int address);
// Family 2: the turntable controller, one module for all its form pages.
std::shared_ptr<SimModule> makeTurntableModule(int bus, int address);
// Families 3 to 7: settings on plain parameters, with version texts for 3, 4 and 5.
std::shared_ptr<SimModule> makeSettingsModule(int family, int bus, int address);
// Families 8 and 9: values written straight to the window addresses.
std::shared_ptr<SimModule> makeRegisterModule(int family, int bus, int address);
// Family 10: confirms a write to its address.
std::shared_ptr<SimModule> makeDirectWriteModule(int bus, int address);

}  // namespace kw::sim
