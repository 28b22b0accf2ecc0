// Pieces that the write sequences and read-outs of the address, switching, group and
// output modules (families 3 to 9) share: write tables run step by step, read-out steps
// that a cancel cuts short, the questions and refusals before a write, and the texts a
// read-out shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "programming/module_run.h"

namespace kw {

// One write of a sequence: bus address, value (or the value of form field `field`), pause
// after it (ModuleRun::kWait = the interface-dependent pause, 0 = only queued).
struct WriteStep {
  int address;
  int value;
  uint32_t ms;
  int field = 0;
};

// A step that writes a constant, and one that writes a field's value.
constexpr WriteStep fixedStep(int address, int value, uint32_t ms) {
  return {address, value, ms, 0};
}
constexpr WriteStep fieldStep(int address, int field, uint32_t ms) {
  return {address, 0, ms, field};
}

// Runs the writes in order; no cancel test (the modules take them as one block).
void runWrites(const ModuleRun& run, std::span<const WriteStep> steps);

// A read-out step: one query (or one pair of queries) and what the form shows of it.
using ReadStep = void (*)(const ModuleRun&);
// Runs the steps in order; once the user has cancelled, the remaining ones are skipped.
void runReadSteps(const ModuleRun& run, std::span<const ReadStep> steps);

// Refuses a form value before anything was written: a plain OK box.
void refuse(const ModuleRun& run, int titleText, int messageText);
// An option is not at its factory setting: the user confirms (OK) or stops (Cancel).
bool confirmNonFactoryOption(const ModuleRun& run);

// Selects option `on` and clears its partner `off` (the read-out sets both explicitly).
void selectOption(const ModuleRun& run, int on, int off);
// The option pairs of a switching module's time byte: bit 3 and bit 6.
struct TimeFlagOptions {
  int bit3Off, bit3On, bit6Off, bit6On;
};
// Shows bits 3 and 6 of `v` in their options; bits 4 and 3 together are no setting of
// the form, so then the bit-3 options stay as they are.
void showTimeFlags(const ModuleRun& run, int v, const TimeFlagOptions& o);
// Selects list item `index` (0-based).
void selectIndex(const ModuleRun& run, int list, int index);

// Hundredths as a decimal text with two decimals: 80 gives "0.80".
std::string withTwoDecimals(int hundredths);
// Eight binary digits, bit 7 first.
std::string binary8(int value);
// A version pair as the module forms show it: a blank, then x "." y right-aligned in
// seven characters.
std::string versionText(int x, int y);
// Queries the two parameters of a version (major first) and shows them in `field`.
void readVersion(const ModuleRun& run, int majorParameter, int field);

}  // namespace kw
