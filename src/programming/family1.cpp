// Family 1: its write sequence and its read-out.
//
// Sub-type 19 is the newer module; sub-type 18 the older one, which itself comes in two
// generations told apart by the version the read-out finds (legacy mode). Parameter 1
// carries the module's two bus addresses, parameter 12 its version and, from version 30
// on, a second byte that the form shows in field 2228.
#include <string>

#include "forms/families.h"
#include "forms/parameter_form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr uint32_t kW = ModuleRun::kWait;
constexpr uint32_t kData = 200;

// Modules from this version on keep the byte of field 2228 beside their version.
constexpr int kSecondByteVersion = 30;
// Modules from this version on are the newer generation of sub-type 18.
constexpr int kNewerGenerationVersion = 20;

constexpr WriteStep kAddresses18[] = {fixedStep(0, 1, kW), fieldStep(1, 2222, kData),
                                      fieldStep(2, 2223, kData)};
constexpr WriteStep kSecondByte18[] = {fixedStep(0, 12, kW), fieldStep(2, 2228, kData)};
// The 64 on address 2 comes last: it tells the module to take the two addresses.
constexpr WriteStep kAddresses19[] = {fixedStep(0, 12, kW), fieldStep(1, 2253, kData),
                                      fieldStep(3, 2254, kData), fixedStep(2, 64, kData)};

// Sliders and the spin fields beside them (sub-type 19, end values).
constexpr int kEndSliders[2] = {2260, 2261};
constexpr int kEndSpins[2] = {2262, 2263};

// Version 31 reads "3.01": its first digit, a point, its second digit as two digits.
std::string firmwareText(int version) {
  const std::string digits = std::to_string(version);
  const std::string second = digits.size() > 1 ? digits.substr(1, 1) : std::string();
  return digits.substr(0, 1) + "." + std::string(2 - second.size(), '0') + second;
}

// The last two digits of the three-digit text of v ("005" gives "05").
std::string lastTwoDigits(int v) {
  const std::string s = pad(v, 3);
  return s.substr(s.size() - 2);
}

// Puts 0 on the three data addresses so that a parameter the module does not answer
// reads as 0 instead of the previous answer. Each write is a step of its own that a
// cancel skips.
void clearDataAddresses(const ModuleRun& run) {
  for (int address = 1; address <= 3 && !run.cancelled(); ++address) run.write(address, 0, kW);
}

void showAddresses(const ModuleRun& run, const Answer& a, int first, int second) {
  run.setText(first, a.a1 > 0 ? pad(a.a1, 3) : std::string());
  run.setText(second, a.a1 > 0 ? pad(a.a2, 3) : std::string());
}

// Slider and spin field show the same value.
void showEndValue(const ModuleRun& run, int i, int v) {
  run.setState(kEndSliders[i], v);
  run.setState(kEndSpins[i], v);
  run.setText(kEndSpins[i], std::to_string(v));
}

// Version and second byte (parameter 12) and the generation they mean.
void readVersion18(const ModuleRun& run) {
  run.query(12);
  // The module puts its version on the window only once address 1 has been cleared under
  // parameter 12: what stands there before is not yet its answer.
  run.write(1, 0, kW);
  const Answer v = run.answer();
  ModuleState& module = run.ctx.module;
  module.moduleVersion = static_cast<uint8_t>(v.a1);
  module.moduleVersionByte = static_cast<uint8_t>(v.a2);
  run.setText(2227, firmwareText(module.moduleVersion));
  if (module.moduleVersion >= kSecondByteVersion) {
    setLegacyMode(run.ctx, false);
    run.ui().setEnabled(win::kMain, 2228, true);
    run.setText(2228, std::to_string(module.moduleVersionByte));
  } else {
    setLegacyMode(run.ctx, module.moduleVersion < kNewerGenerationVersion);
  }
}

void read18(const ModuleRun& run, const Answer& addresses) {
  showAddresses(run, addresses, 2222, 2223);
  if (!run.cancelled()) readVersion18(run);
}

void read19(const ModuleRun& run, const Answer& addresses) {
  showAddresses(run, addresses, 2253, 2254);
  if (addresses.a1 <= 0) return;  // no module answers: nothing else to ask

  clearDataAddresses(run);
  if (run.cancelled()) return;
  const Answer firmware = run.query(14);
  if (firmware.a1 > 0)
    run.setText(2258, " " + lastTwoDigits(firmware.a1) + "." + lastTwoDigits(firmware.a2));

  clearDataAddresses(run);
  if (run.cancelled()) return;
  const Answer ends = run.query(11);
  run.setText(2255, pad(ends.a1, 3));
  showEndValue(run, 0, ends.a1 > 0 ? ends.a2 : 1);
  showEndValue(run, 1, ends.a1 > 0 ? ends.a3 : 1);
}

}  // namespace

void programFamily1(ModuleRun& run) {
  if (currentSubtype(run.ctx) == 18) {
    runWrites(run, kAddresses18);
    // Only modules that keep the second byte are sent it.
    if (run.ctx.module.moduleVersion >= kSecondByteVersion) runWrites(run, kSecondByte18);
    return;
  }
  runWrites(run, kAddresses19);
}

void readFamily1(ModuleRun& run) {
  const Answer addresses = run.query(1);
  if (currentSubtype(run.ctx) == 18)
    read18(run, addresses);
  else
    read19(run, addresses);
}

}  // namespace kw
