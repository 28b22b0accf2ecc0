// Family 3: switching module A. The module keeps its address, a switching time in steps
// of 0.35 s with two flag bits beside it, and a digit 0..7.
#include "forms/form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kAddress = 2327;
constexpr int kSeconds = 2328;
constexpr int kDigit = 2329;
constexpr int kFirmware = 2330;
constexpr int kSecondVersion = 2331;
// Option pairs: bit 3 of the time byte (factory setting on) and bit 6 (factory off).
constexpr int kBit3Off = 2333;
constexpr int kBit3On = 2334;
constexpr int kBit6Off = 2335;
constexpr int kBit6On = 2336;

constexpr double kStepSeconds = 0.35;
constexpr int kStepHundredths = 35;
constexpr double kLongestSeconds = 2.1;
constexpr int kHighestAddress = 111;
constexpr int kHighestDigit = 7;

constexpr int kNoticeTitle = 710;
constexpr int kBadAddress = 624;
constexpr int kBadSeconds = 625;
constexpr int kBadDigit = 626;

constexpr uint32_t W = ModuleRun::kWait;

}  // namespace

void programFamily3(ModuleRun& run) {
  const int address = run.value(kAddress);
  if (address < 0 || address > kHighestAddress) return refuse(run, kNoticeTitle, kBadAddress);
  const double seconds = run.decimal(kSeconds);
  if (seconds < 0.0 || seconds > kLongestSeconds) return refuse(run, kNoticeTitle, kBadSeconds);
  int time = secondsToSteps(seconds, kStepSeconds);
  if (run.state(kBit3On) != 0)
    time += 8;
  else if (!confirmNonFactoryOption(run))
    return;
  if (run.state(kBit6On) != 0) time += 64;
  const int digit = run.value(kDigit);
  if (digit < 0 || digit > kHighestDigit) return refuse(run, ModuleRun::kErrorTitle, kBadDigit);

  const WriteStep steps[] = {{0, 1, W},    {1, address, W}, {0, 2, W},
                             {1, time, W}, {0, 3, W},       {1, digit, W}};
  runWrites(run, steps);
}

// ------------------------------------------------------------------------------------
// Read-out

namespace {

void readAddress(const ModuleRun& run) { run.setText(kAddress, pad(run.query(1).a1, 3)); }

void readTime(const ModuleRun& run) {
  const int v = run.query(2).a1;
  run.setText(kSeconds, withTwoDecimals((v & 7) * kStepHundredths));
  showTimeFlags(run, v, {kBit3Off, kBit3On, kBit6Off, kBit6On});
}

void readDigit(const ModuleRun& run) {
  run.setText(kDigit, std::to_string(run.query(3).a1 & kHighestDigit));
}

void readFirmware(const ModuleRun& run) { readVersion(run, 132, kFirmware); }
void readSecondVersion(const ModuleRun& run) { readVersion(run, 130, kSecondVersion); }

constexpr ReadStep kReadSteps[] = {readAddress, readTime, readDigit, readFirmware,
                                   readSecondVersion};

}  // namespace

void readFamily3(ModuleRun& run) { runReadSteps(run, kReadSteps); }

}  // namespace kw
