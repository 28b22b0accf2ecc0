// Family 2: its write sequence and its read-out.
//
// The turntable controller: settings (sub-type 11, parameters 1 to 4), the 48 steps
// between its track positions (12) and the 48 output patterns (13), both on parameters
// 10 to 57. The position panel (14) has nothing to write or read.
#include <string>

#include "forms/families.h"
#include "forms/parameter_form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr uint32_t kW = ModuleRun::kWait;
constexpr uint32_t kData = 200;

// Rows of the step table and the pattern table share parameter numbers 10 to 57.
constexpr int kFirstRowParameter = 10;

constexpr WriteStep kSettings[] = {
    fixedStep(0, 1, kW), fieldStep(1, 2291, kData), fieldStep(2, 2295, kData),
    fieldStep(3, 2294, kData), fixedStep(0, 3, kW),  fieldStep(1, 2293, kData),
    fixedStep(0, 4, kW), fieldStep(1, 2292, kData)};

// The pattern digits the module keeps: 1-based position in the text and its bit. The
// other positions (the 7th too) are not part of the module's pattern.
struct PatternDigit {
  size_t position;
  int bit;
};
constexpr PatternDigit kPatternDigits[] = {{4, 16}, {5, 8}, {6, 4}, {8, 1}};

// Firmware 3 runs without the second address (field 2292); later ones have it.
constexpr int kSingleAddressFirmware = 3;

int patternByte(const std::string& text) {
  int byte = 0;
  for (const PatternDigit& d : kPatternDigits)
    if (text.size() >= d.position && text[d.position - 1] == '1') byte += d.bit;
  return byte;
}

// Eight binary digits, most significant first.
std::string binaryText(int v) {
  std::string s;
  for (int bit = 7; bit >= 0; --bit) s += ((v >> bit) & 1) != 0 ? '1' : '0';
  return s;
}

void programSteps(const ModuleRun& run) {
  if (!run.ctx.forms.tableValid) {
    run.stop();
    run.message(ModuleRun::kErrorTitle, run.tx(627));
    return;
  }
  for (int i = 0; i < ctl::kStepCount; ++i) {
    const int field = ctl::kFirstStep + i;
    run.mark(field);
    const auto v = static_cast<uint16_t>(run.value(field));
    run.write(0, kFirstRowParameter + i, kW);
    run.write(1, v >> 8, kData);
    // The low byte goes out twice; the second time without a pause.
    run.write(2, v & 0xFF, kData);
    run.write(2, v & 0xFF, 0);
    run.unmark(field);
    if (run.cancelled()) break;
  }
}

void programPatterns(const ModuleRun& run) {
  int bytes[ctl::kStepCount];
  for (int i = 0; i < ctl::kStepCount; ++i) bytes[i] = patternByte(run.text(ctl::kFirstPattern + i));
  for (int i = 0; i < ctl::kStepCount; ++i) {
    const int field = ctl::kFirstPattern + i;
    run.mark(field);
    run.write(0, kFirstRowParameter + i, kW);
    run.write(3, bytes[i], kData);
    run.unmark(field);
    if (run.cancelled()) break;
  }
}

// Parameter 2: the position the turntable stands at, with the range of positions.
void showPosition(const ModuleRun& run, const Answer& a) {
  run.setText(2296, std::to_string(a.a1));
  run.setText(2297, "( 0 - " + std::to_string(a.a1 - 1) + " )");
  run.setText(2298, std::to_string(a.a2));
}

// Parameter 3 also tells by the firmware whether the module has the second address.
// Returns true when the second address is to be read.
bool showFirmware(const ModuleRun& run, const Answer& a) {
  run.setText(2293, std::to_string(a.a1));
  run.setText(2299, std::to_string(a.a2) + "." + pad(a.a3, 2));
  if (a.a2 < kSingleAddressFirmware) return false;
  const bool second = a.a2 > kSingleAddressFirmware;
  run.setState(2288, second ? 0 : 1);
  run.setState(2289, second ? 1 : 0);
  run.ui().setEnabled(win::kMain, 2292, second);
  run.ui().setEnabled(win::kMain, 2290, second);
  return second;
}


void readSteps(const ModuleRun& run) {
  for (int i = 0; i < ctl::kStepCount; ++i) {
    const int field = ctl::kFirstStep + i;
    const Answer a = run.query(kFirstRowParameter + i, {field});
    run.setText(field, std::to_string(a.a1 * 256 + a.a2));
    // Also stops the read-out (through cancelRequested) once the steps pass a full turn.
    checkSteps(run.ctx);
    if (run.cancelled()) return;
  }
}

void readPatterns(const ModuleRun& run) {
  for (int i = 0; i < ctl::kStepCount; ++i) {
    const int field = ctl::kFirstPattern + i;
    const Answer a = run.query(kFirstRowParameter + i, {field});
    run.setText(field, binaryText(a.a3));
    if (run.cancelled()) return;
  }
}

}  // namespace

void readTurntableSettings(const ModuleRun& run, bool withFeedbackAddress) {
  const Answer addresses = run.query(1);
  run.setText(2291, std::to_string(addresses.a1));
  run.setText(2295, std::to_string(addresses.a2));
  run.setText(2294, std::to_string(addresses.a3));
  if (run.cancelled()) return;
  showPosition(run, run.query(2));
  if (run.cancelled()) return;
  if (!showFirmware(run, run.query(3)) || run.cancelled() || !withFeedbackAddress) return;
  run.setText(2292, std::to_string(run.query(4).a1));
}

void programFamily2(ModuleRun& run) {
  switch (currentSubtype(run.ctx)) {
    case 11: runWrites(run, kSettings); break;
    case 12: programSteps(run); break;
    case 13: programPatterns(run); break;
    default: break;  // the position panel only drives the turntable
  }
}

void readFamily2(ModuleRun& run) {
  switch (currentSubtype(run.ctx)) {
    case 11: readTurntableSettings(run, true); break;
    case 12: readSteps(run); break;
    case 13: readPatterns(run); break;
    default: break;
  }
}

}  // namespace kw
