// Family 9: a module configured straight through bus addresses 0 to 3: two addresses,
// one bit per output, and a time in steps of 0.08 s.
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kFirstAddress = 2607;
constexpr int kSecondAddress = 2608;
constexpr int kSeconds = 2609;
constexpr int kFirstOff = 2610;  // outputs j = 0..7: 2610 + 2j off, 2611 + 2j on
constexpr int kFirstOn = 2611;
constexpr int kOutputs = 8;

constexpr double kStepSeconds = 0.08;
constexpr int kStepHundredths = 8;
constexpr size_t kSecondsWidth = 4;

constexpr uint32_t kWaitMs = 400;

int outputBits(const ModuleRun& run) {
  int bits = 0;
  for (int j = 0; j < kOutputs; ++j)
    if (run.state(kFirstOn + 2 * j) != 0) bits |= 1 << j;
  return bits;
}

}  // namespace

void programFamily9(ModuleRun& run) {
  const WriteStep steps[] = {{0, run.value(kFirstAddress), kWaitMs},
                             {1, outputBits(run), kWaitMs},
                             {2, run.value(kSecondAddress), kWaitMs},
                             {3, secondsToSteps(run.decimal(kSeconds), kStepSeconds), kWaitMs}};
  runWrites(run, steps);
}

// ------------------------------------------------------------------------------------
// Read-out: nothing is asked for; the settings are what bus addresses 0 to 3 hold now.

namespace {

// The time field holds four characters: shorter texts get "0" in front, longer ones
// keep their first four.
std::string secondsText(int steps) {
  std::string s = withTwoDecimals(steps * kStepHundredths);
  if (s.size() < kSecondsWidth) s.insert(0, kSecondsWidth - s.size(), '0');
  return s.substr(0, kSecondsWidth);
}

}  // namespace

void readFamily9(ModuleRun& run) {
  const Answer a = run.answer();
  run.setText(kFirstAddress, pad(a.a0, 3));
  run.setText(kSecondAddress, pad(a.a2, 3));
  run.setText(kSeconds, secondsText(a.a3));
  for (int j = 0; j < kOutputs; ++j) {
    if (((a.a1 >> j) & 1) != 0)
      selectOption(run, kFirstOn + 2 * j, kFirstOff + 2 * j);
    else
      selectOption(run, kFirstOff + 2 * j, kFirstOn + 2 * j);
  }
}

}  // namespace kw
