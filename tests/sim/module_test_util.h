// A host driving the standard layout of simulated modules through a polled interface on
// the virtual timeline, with the writes the programming engine and read-out make.
#pragma once

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_modules.h"
#include "sim_test_util.h"

namespace kw::sim::test {

using Writes = std::vector<std::pair<int, int>>;

// Writes "address:value ..." in order.
inline Writes parseWrites(const char* text) {
  Writes out;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    const size_t colon = word.find(':');
    out.push_back({std::stoi(word.substr(0, colon)), std::stoi(word.substr(colon + 1))});
  }
  return out;
}

struct ModuleRig : Rig {
  // Long enough for a healthy module's answer, far shorter than any wait of the program.
  static constexpr uint32_t kStepMs = 20;

  ModuleRig() : Rig(1, 19200) { modules = addStandardLayout(*bus); }

  std::shared_ptr<SimModule> module(int family, int subtype = 0) const {
    return findModule(*bus, family, subtype);
  }
  uint8_t get(int address) const { return bus->get(0, address); }
  ParameterValue window() const { return {get(1), get(2), get(3)}; }

  // One host write through the interface, then `waitMs` on the clock.
  void write(int address, int value, uint32_t waitMs = kStepMs) {
    send({static_cast<uint8_t>(0x80 | address), static_cast<uint8_t>(value)});
    clock.sleep(waitMs);
  }
  void writeAll(const Writes& writes) {
    for (const auto& [a, v] : writes) write(a, v);
  }
  // The selection request: kind, address and the request bit, each written after the
  // other; `waitMs` after the last.
  void request(int kind, int address, uint32_t waitMs = kStepMs) {
    write(106, 40);
    write(105, 97);
    write(104, kind);
    write(107, address);
    write(106, 168, waitMs);
  }
  // Request and, once answered, the switch-on writes.
  void switchOn(int kind, int address) {
    request(kind, address);
    write(106, 32);
    write(105, 0);
    write(104, 0);
  }
  // The programming mode of `m`: the request for families 0..4, the key for the others.
  void enter(const SimModule& m) {
    if (m.kindCode() != 0)
      switchOn(m.kindCode(), m.address());
    else
      findModule(*bus, m.family(), m.subtype())->pressKey();
  }
  void switchOff() {
    write(0, 255);
    write(106, 0);
  }
  // The read-out's query: the parameter number on 0, then what the window shows.
  ParameterValue query(int p) {
    write(0, p);
    return window();
  }
  // The query as the read-out makes it of `m`: the older servo module shows its version
  // (12) only once address 1 has been cleared.
  ParameterValue ask(const SimModule& m, int p) {
    if (m.family() != 1 || m.subtype() != 18 || p != 12) return query(p);
    query(p);
    write(1, 0);
    return window();
  }

  std::vector<std::shared_ptr<SimModule>> modules;
};

}  // namespace kw::sim::test
