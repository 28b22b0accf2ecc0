// Family 5: switching module B. Like family 3, but the time has two scales: steps of
// 0.35 s with flag bits and a digit beside it (option 2520), or steps of 0.08 s alone
// (option 2521). The module takes each value at a fixed pace, whatever the interface.
#include "forms/form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kAddress = 2515;
constexpr int kSeconds = 2516;
constexpr int kDigit = 2517;
constexpr int kFirmware = 2518;
constexpr int kSecondVersion = 2519;
constexpr int kCoarseScale = 2520;  // 0.35 s steps, flags and digit
// Option pairs: bit 3 of the time byte (factory setting on) and bit 6 (factory off).
constexpr int kBit3Off = 2522;
constexpr int kBit3On = 2523;
constexpr int kBit6Off = 2524;
constexpr int kBit6On = 2525;

constexpr double kCoarseStep = 0.35;
constexpr int kCoarseHundredths = 35;
constexpr double kFineStep = 0.08;
constexpr int kFineHundredths = 8;
constexpr double kLongestCoarse = 2.1;
constexpr double kLongestFine = 2.4;
constexpr int kHighestAddress = 111;
constexpr int kHighestDigit = 7;

constexpr int kBadAddress = 624;
constexpr int kBadSeconds = 625;
constexpr int kBadDigit = 626;

constexpr uint32_t kWriteWaitMs = 700;
constexpr uint32_t kLastWriteWaitMs = 200;
constexpr uint32_t kReadWaitMs = 800;

}  // namespace

void programFamily5(ModuleRun& run) {
  const int address = run.value(kAddress);
  if (address < 0 || address > kHighestAddress)
    return refuse(run, ModuleRun::kErrorTitle, kBadAddress);
  const bool coarse = run.state(kCoarseScale) != 0;
  const double seconds = run.decimal(kSeconds);
  if (seconds < 0.0 || seconds > (coarse ? kLongestCoarse : kLongestFine))
    return refuse(run, ModuleRun::kErrorTitle, kBadSeconds);

  int time = 0;
  int digit = 0;
  if (coarse) {
    time = secondsToSteps(seconds, kCoarseStep);
    if (run.state(kBit3On) != 0)
      time += 8;
    else if (!confirmNonFactoryOption(run))
      return;
    if (run.state(kBit6On) != 0) time += 64;
    digit = run.value(kDigit);
    if (digit < 0 || digit > kHighestDigit) return refuse(run, ModuleRun::kErrorTitle, kBadDigit);
  } else {
    time = secondsToSteps(seconds, kFineStep);
  }

  const WriteStep steps[] = {{0, 1, kWriteWaitMs}, {1, address, kWriteWaitMs},
                             {0, 2, kWriteWaitMs}, {1, time, kWriteWaitMs},
                             {0, 3, kWriteWaitMs}, {1, digit, kLastWriteWaitMs}};
  runWrites(run, steps);
}

// ------------------------------------------------------------------------------------
// Read-out

namespace {

void readAddress(const ModuleRun& run) { run.setText(kAddress, pad(run.query(1).a1, 3)); }

void readTime(const ModuleRun& run) {
  const int v = run.query(2).a1;
  if (run.state(kCoarseScale) == 0) {
    run.setText(kSeconds, withTwoDecimals((v & 31) * kFineHundredths));
    return;
  }
  run.setText(kSeconds, withTwoDecimals((v & 7) * kCoarseHundredths));
  showTimeFlags(run, v, {kBit3Off, kBit3On, kBit6Off, kBit6On});
}

// The fine scale has no digit: parameter 3 is not asked for.
void readDigit(const ModuleRun& run) {
  if (run.state(kCoarseScale) == 0) return;
  run.setText(kDigit, std::to_string(run.query(3).a1 & kHighestDigit));
}

void readFirmware(const ModuleRun& run) { readVersion(run, 132, kFirmware); }
void readSecondVersion(const ModuleRun& run) { readVersion(run, 130, kSecondVersion); }

constexpr ReadStep kReadSteps[] = {readAddress, readTime, readDigit, readFirmware,
                                   readSecondVersion};

}  // namespace

void readFamily5(ModuleRun& run) {
  const ModuleRun paced{run.ctx, kReadWaitMs};
  runReadSteps(paced, kReadSteps);
}

}  // namespace kw
