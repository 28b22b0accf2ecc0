// A stand-in module for read-out and round-trip tests. It answers a parameter number
// written to address 0 by putting that parameter's three values on addresses 1 to 3;
// while `storing`, it keeps the data written to 1 to 3 under the last parameter number,
// the way a module takes a programming run.
#pragma once

#include <array>
#include <functional>
#include <map>

#include "programming/module_fixture.h"

namespace kw::test {

struct ParameterStoreModule {
  ModuleHarness& h;
  std::map<int, std::array<int, 3>> values;  // parameter -> answer on addresses 1..3
  bool storing = false;
  // Like the older servo modules: a 0 written to address 1 shows the parameter once more.
  bool showsAgainOnClear = false;
  int current = -1;
  // Module rules beyond the plain store: called after a stored write.
  std::function<void(int parameter, int address, int value)> afterStore;

  explicit ParameterStoreModule(ModuleHarness& harness) : h(harness) {
    h.onWrite = [this](int address, int value) { seen(address, value); };
  }
  ParameterStoreModule(const ParameterStoreModule&) = delete;
  ParameterStoreModule& operator=(const ParameterStoreModule&) = delete;
  ~ParameterStoreModule() { h.onWrite = nullptr; }

  void answer(int parameter, int a1, int a2 = 0, int a3 = 0) { values[parameter] = {a1, a2, a3}; }

  void seen(int address, int value) {
    if (address == 0 || (showsAgainOnClear && !storing && current >= 0 && address == 1 && value == 0)) {
      if (address == 0) current = value;
      const std::array<int, 3>& a = values[current];
      for (int i = 0; i < 3; ++i) h.bus().set(0, i + 1, static_cast<uint8_t>(a[i]));
      return;
    }
    if (address < 1 || address > 3 || !storing || current < 0) return;
    values[current][address - 1] = value;
    if (afterStore) afterStore(current, address, value);
  }
};

// Writes of a run to address 0 only: the parameter numbers it asked for or set.
inline std::vector<int> parametersOf(const std::vector<BusWriteSeen>& w) {
  std::vector<int> out;
  for (const auto& x : w)
    if (x.address == 0) out.push_back(x.value);
  return out;
}

}  // namespace kw::test
