// Families 3 to 10 apart from the tables: the modules whose settings are plain bytes.
//
// Families 3 to 7 keep every byte the host writes under any parameter; parameter 1 is the
// module address. Families 3, 4 and 5 also report two version texts, each as two
// parameters of one number: 132 and 133 the firmware (x.y), 130 and 131 the hardware.
// Families 8 and 9 keep the values written to window addresses 0..3 as they are (family 8
// uses only address 0); parameter(k) shows the value of address k in its first byte.
// Family 10 confirms every non-zero write to its address with 255.
#include "sim/module_families.h"

namespace kw::sim {

namespace {

constexpr int kAddressParameter = 1;
constexpr int kFirstVersion = 130;
constexpr int kLastVersion = 133;

struct Factory {
  std::array<uint8_t, 4> version;  // parameters 130..133; all 0: the family has none
  uint8_t second;                  // parameter 2
  uint8_t rows;                    // parameters 3..10 of families 6 and 7
};

// Family 3: 0.70 s (2 steps of 0.35 s) with the switch-off bit 3. Family 5: the same.
// Family 6: 0.48 s (3 steps of 0.16 s) on every channel.
constexpr std::array<Factory, 5> kFactory{{
    {{1, 0, 1, 2}, 2 | 8, 0},  // 3: hardware 1.0, firmware 1.2
    {{1, 0, 2, 1}, 0, 0},      // 4: hardware 1.0, firmware 2.1
    {{1, 1, 1, 3}, 2 | 8, 0},  // 5: hardware 1.1, firmware 1.3
    {{0, 0, 0, 0}, 0, 3},      // 6
    {{0, 0, 0, 0}, 0, 0},      // 7
}};

bool isVersion(int p) { return p >= kFirstVersion && p <= kLastVersion; }

class SettingsModule final : public SimModule {
 public:
  SettingsModule(int family, int bus, int address) : SimModule(family, 0, bus, address) {
    const Factory& f = kFactory[static_cast<size_t>(family - 3)];
    setParameter(kAddressParameter, static_cast<uint8_t>(address), 0, 0);
    setParameter(2, f.second, 0, 0);
    for (int p = 3; p <= 10; ++p) setParameter(p, family >= 6 ? f.rows : 0, 0, 0);
    for (int p = kFirstVersion; p <= kLastVersion; ++p)
      setParameter(p, f.version[static_cast<size_t>(p - kFirstVersion)], 0, 0);
  }

 protected:
  bool readOnly(int p, int) const override { return hasVersion() && isVersion(p); }

  ParameterValue present(int p) const override {
    if (hasVersion() && isVersion(p) && wrongVersion()) return {};
    return SimModule::present(p);
  }

 private:
  bool hasVersion() const { return family() <= 5; }
};

class RegisterModule final : public SimModule {
 public:
  RegisterModule(int family, int bus, int address) : SimModule(family, 0, bus, address) {
    // Family 9: its address and a time of 0.48 s (6 steps of 0.08 s) on address 3.
    setParameter(0, static_cast<uint8_t>(address), 0, 0);
    if (family == 9) setParameter(3, 6, 0, 0);
  }

 protected:
  bool directRegisters() const override { return true; }
};

class DirectWriteModule final : public SimModule {
 public:
  DirectWriteModule(int bus, int address) : SimModule(10, 0, bus, address) {}

 protected:
  // parameter(0) keeps the last value the module took.
  void anyWrite(int address, uint8_t value, Tick now) override {
    if (address != this->address() || value == 0) return;
    stored(0)[0] = value;
    scheduleConfirm(address, now);
  }
};

}  // namespace

std::shared_ptr<SimModule> makeSettingsModule(int family, int bus, int address) {
  if (family < 3 || family > 7) return nullptr;
  return std::make_shared<SettingsModule>(family, bus, address);
}

std::shared_ptr<SimModule> makeRegisterModule(int family, int bus, int address) {
  if (family != 8 && family != 9) return nullptr;
  return std::make_shared<RegisterModule>(family, bus, address);
}

std::shared_ptr<SimModule> makeDirectWriteModule(int bus, int address) {
  return std::make_shared<DirectWriteModule>(bus, address);
}

}  // namespace kw::sim
