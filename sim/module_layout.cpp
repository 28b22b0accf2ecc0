#include "sim/module_families.h"

namespace kw::sim {

std::shared_ptr<SimModule> makeModule(int family, int subtype, int bus, int address) {
  switch (family) {
    case 0:
      return makeFunctionModule(subtype, bus, address);
    case 1:
      return makeServoModule(subtype, bus, address);
    case 2:
      return makeTurntableModule(bus, address);
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
      return makeSettingsModule(family, bus, address);
    case 8:
    case 9:
      return makeRegisterModule(family, bus, address);
    case 10:
      return makeDirectWriteModule(bus, address);
    default:
      return nullptr;
  }
}

std::vector<std::shared_ptr<SimModule>> addStandardLayout(SimBus& bus) {
  std::vector<std::shared_ptr<SimModule>> modules;
  for (const auto& e : kStandardLayout) {
    auto m = makeModule(e.family, e.subtype, 0, e.address);
    attachModule(bus, m);
    modules.push_back(std::move(m));
  }
  return modules;
}

}  // namespace kw::sim
