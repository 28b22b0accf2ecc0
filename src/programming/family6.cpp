// Family 6: group module. Parameter 1 is a number, parameter 2 three switches, and
// parameters 3..10 one byte per group: a time in steps of 0.16 s with a mode in bits 7
// and 6. The module takes each value at a fixed pace, whatever the interface.
#include "forms/form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kNumber = 2528;
constexpr int kSwitchA = 2529;    // bit 1 clear when ticked
constexpr int kSwitchB = 2530;    // bit 2 clear when ticked
constexpr int kBit0Clear = 2531;  // option pair of bit 0
constexpr int kBit0Set = 2532;
constexpr int kFirstPlain = 2533;   // groups 1..8: bit 7 clear
constexpr int kFirstBit7 = 2541;    //               bit 7 set
constexpr int kFirstBit6 = 2549;    //               bit 6 set (only without bit 7)
constexpr int kFirstNoBit6 = 2557;  //               bit 6 clear
constexpr int kFirstTime = 2565;    // time in seconds

constexpr int kParameters = 10;
constexpr int kFirstGroupParameter = 3;
constexpr double kStepSeconds = 0.16;
constexpr int kStepHundredths = 16;

constexpr uint32_t kWaitMs = 700;
constexpr uint32_t kReadWaitMs = 800;

int switchesByte(const ModuleRun& run) {
  int v = 0;
  if (run.state(kSwitchA) == 0) v += 2;
  if (run.state(kSwitchB) == 0) v += 4;
  if (run.state(kBit0Clear) == 0) v += 1;
  return v;
}

// Bit 7 and bit 6 exclude each other: with bit 7 chosen the bit-6 option is left out.
int groupByte(const ModuleRun& run, int g) {
  int v = secondsToSteps(run.decimal(kFirstTime + g), kStepSeconds);
  if (run.state(kFirstBit7 + g) != 0)
    v += 128;
  else if (run.state(kFirstBit6 + g) != 0)
    v += 64;
  return v;
}

int valueOf(const ModuleRun& run, int parameter) {
  if (parameter == 1) return run.value(kNumber);
  if (parameter == 2) return switchesByte(run);
  return groupByte(run, parameter - kFirstGroupParameter);
}

// The field that is busy while a parameter's value goes out.
int fieldOf(int parameter) {
  return parameter < kFirstGroupParameter ? kNumber : kFirstTime + parameter - kFirstGroupParameter;
}

}  // namespace

void programFamily6(ModuleRun& run) {
  int marked = 0;
  for (int p = 1; p <= kParameters; ++p) {
    run.write(0, p, kWaitMs);
    const int field = fieldOf(p);
    if (field != marked) {
      if (marked != 0) run.unmark(marked);
      run.mark(field);
      marked = field;
    }
    run.write(1, valueOf(run, p), kWaitMs);
    if (run.cancelled()) break;
  }
  // The last field marked is the last group's after a full run, or the one under way
  // when the user cancelled; either way it goes back to normal.
  run.unmark(marked);
}

// ------------------------------------------------------------------------------------
// Read-out

namespace {

void showSwitches(const ModuleRun& run, int v) {
  run.setState(kSwitchA, (v & 2) == 0 ? 1 : 0);
  run.setState(kSwitchB, (v & 4) == 0 ? 1 : 0);
  if ((v & 1) != 0)
    selectOption(run, kBit0Set, kBit0Clear);
  else
    selectOption(run, kBit0Clear, kBit0Set);
}

void showGroup(const ModuleRun& run, int g, int v) {
  if ((v & 128) != 0) {
    selectOption(run, kFirstBit7 + g, kFirstPlain + g);
    run.setState(kFirstBit6 + g, 0);
    run.setState(kFirstNoBit6 + g, 0);
    run.setText(kFirstTime + g, withTwoDecimals((v & 127) * kStepHundredths));
    return;
  }
  selectOption(run, kFirstPlain + g, kFirstBit7 + g);
  if ((v & 64) != 0)
    selectOption(run, kFirstBit6 + g, kFirstNoBit6 + g);
  else
    selectOption(run, kFirstNoBit6 + g, kFirstBit6 + g);
  run.setText(kFirstTime + g, withTwoDecimals((v & 63) * kStepHundredths));
}

}  // namespace

void readFamily6(ModuleRun& run) {
  for (int p = 1; p <= kParameters; ++p) {
    if (p > 1 && run.cancelled()) return;
    const int v = run.query(p, {}, kReadWaitMs).a1;
    if (p == 1)
      run.setText(kNumber, pad(v, 3));
    else if (p == 2)
      showSwitches(run, v);
    else
      showGroup(run, p - kFirstGroupParameter, v);
  }
}

}  // namespace kw
