// Fixed write sequences as data: each step writes either a constant or the value of a
// form field to one register address, then pauses.
#pragma once

#include <cstdint>
#include <span>

#include "programming/module_run.h"

namespace kw {

struct WriteStep {
  int address;    // register address 0..3
  int constant;   // the value written when `field` is 0
  int field;      // form field whose value is written, 0 = write `constant`
  uint32_t ms;    // pause afterwards; ModuleRun::kWait = the interface-dependent pause
};

// A step that writes a constant, and one that writes a field's value.
constexpr WriteStep fixedStep(int address, int value, uint32_t ms) {
  return {address, value, 0, ms};
}
constexpr WriteStep fieldStep(int address, int field, uint32_t ms) {
  return {address, 0, field, ms};
}

inline void runWriteSteps(const ModuleRun& run, std::span<const WriteStep> steps) {
  for (const WriteStep& s : steps)
    run.write(s.address, s.field != 0 ? run.value(s.field) : s.constant, s.ms);
}

}  // namespace kw
