// Family 1: modules with eight outputs. Parameter 1 holds the module address and the
// second address; parameters 2 to 9 the outputs 1 to 8 (end value 1, end value 2, speed),
// and for sub-type 19 parameters 66 to 73 the rest of each output (value 4, values 5 and
// 6). Parameter 10 is the output test (output number on 1, what to do on 2).
//
// Sub-type 18 (the older module): parameter 12 is the firmware version (first byte, the
// module's own) and an additional value (second byte). Selecting 12 shows nothing yet: the
// window keeps what stood there. A write to address 1 while 12 is selected stores nothing
// and makes the module show 12: that is how a host reads the version.
//
// Sub-type 19 (the newer module) takes its addresses through parameter 12 as a command:
// the host puts the address on 1 and the second address on 3, and 64 on address 2 makes
// the module take both into parameter 1. The same command sets one value of an output:
// the output number (1..8) on 1, the value on 3, and on 2 the selector of the value: 1, 2
// and 4 for the three bytes of parameter output + 1, 8, 16 and 32 for those of parameter
// output + 65. Parameter 13 is the command for the additional address: what is written
// to 1..3 under it goes to parameter 11. Parameter 14 is the firmware version (major,
// minor), 11 the additional address with its two values. A 0 written to 1..3 under any
// other parameter only clears the window; nothing is stored.
#include "sim/module_families.h"

namespace kw::sim {

namespace {

constexpr int kAddresses = 1;
constexpr int kAdditional = 11;
constexpr int kCommand = 12;
constexpr int kAdditionalCommand = 13;
constexpr int kVersion19 = 14;
constexpr uint8_t kCommit = 64;

// Output values set through the command: which parameter (first or second part of the
// output) and which byte of it each selector on address 2 stands for.
struct OutputValue {
  uint8_t selector;
  int partOffset;  // parameter = output + partOffset
  int byte;
};
constexpr OutputValue kOutputValues[] = {{1, 1, 0},  {2, 1, 1},  {4, 1, 2},
                                         {8, 65, 0}, {16, 65, 1}, {32, 65, 2}};
constexpr int kOutputs = 8;

// A new module's outputs: end values in the middle range, a moderate speed; sub-type 19
// also has value 4 and leaves values 5 and 6 at 0.
constexpr ParameterValue kOutputFirstPart{80, 170, 10};
constexpr ParameterValue kOutputSecondPart{20, 0, 0};

void presetOutputs(SimModule& m, bool secondPart) {
  for (int k = 1; k <= kOutputs; ++k) {
    m.setParameter(k + 1, kOutputFirstPart[0], kOutputFirstPart[1], kOutputFirstPart[2]);
    if (secondPart)
      m.setParameter(k + 65, kOutputSecondPart[0], kOutputSecondPart[1], kOutputSecondPart[2]);
  }
}

// 31 reads as 3.01: new enough for the additional value (30 and later).
constexpr uint8_t kVersion18 = 31;
// Older than 20: taken for a module of the first series.
constexpr uint8_t kWrongVersion18 = 19;
constexpr ParameterValue kFirmware19{1, 5, 0};  // 01.05

class ServoModule18 final : public SimModule {
 public:
  ServoModule18(int bus, int address) : SimModule(1, 18, bus, address) {
    setParameter(kAddresses, static_cast<uint8_t>(address), 0, 0);
    setParameter(kCommand, kVersion18, 0, 0);
    presetOutputs(*this, false);
  }

 protected:
  WindowEffect windowWrite(int p, int index, uint8_t value) override {
    if (p == kCommand && index == 1) return WindowEffect::Represent;
    return SimModule::windowWrite(p, index, value);
  }

  bool answersSelection(int p) const override { return p != kCommand; }

  ParameterValue present(int p) const override {
    ParameterValue v = SimModule::present(p);
    if (p == kCommand && wrongVersion()) v[0] = kWrongVersion18;
    return v;
  }
};

class ServoModule19 final : public SimModule {
 public:
  ServoModule19(int bus, int address) : SimModule(1, 19, bus, address) {
    setParameter(kAddresses, static_cast<uint8_t>(address), 0, 0);
    setParameter(kVersion19, kFirmware19[0], kFirmware19[1], kFirmware19[2]);
    setParameter(kAdditional, 0, 1, 1);
    presetOutputs(*this, true);
  }

 protected:
  WindowEffect windowWrite(int p, int index, uint8_t value) override {
    if (p == kCommand) return command(index, value);
    if (p == kAdditionalCommand) {
      stored(kAdditional)[static_cast<size_t>(index - 1)] = value;
      return WindowEffect::Ignore;
    }
    if (p == kVersion19 || value == 0) return WindowEffect::Ignore;
    return WindowEffect::Store;
  }

  ParameterValue present(int p) const override {
    if (p == kVersion19 && wrongVersion()) return {};
    return SimModule::present(p);
  }

 private:
  // Address and second address (or output number and value) wait on 1 and 3 of the
  // command until the selector comes on 2.
  WindowEffect command(int index, uint8_t value) {
    if (index != 2) return WindowEffect::Store;
    const ParameterValue& c = stored(kCommand);
    if (value == kCommit) stored(kAddresses) = {c[0], c[2], 0};
    for (const OutputValue& o : kOutputValues)
      if (value == o.selector && c[0] >= 1 && c[0] <= kOutputs)
        stored(c[0] + o.partOffset)[static_cast<size_t>(o.byte)] = c[2];
    return WindowEffect::Ignore;
  }
};

}  // namespace

std::shared_ptr<SimModule> makeServoModule(int subtype, int bus, int address) {
  if (subtype == 18) return std::make_shared<ServoModule18>(bus, address);
  if (subtype == 19) return std::make_shared<ServoModule19>(bus, address);
  return nullptr;
}

}  // namespace kw::sim
