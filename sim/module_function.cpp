// Family 0: modules configured by a table of rows, each a bus address and a function
// code (parameters 1..20), three fixed rows (21..23) and a further address (24).
//
// Sub-type 15 has two tables of ten rows: A (1..10, inputs) and B (11..20, outputs).
// Sub-types 16 and 17 have extension units plugged in: each row belongs to an input unit
// or an output unit or to none, which the module reports in the row's third byte. An empty
// row is stored as address 255 and answered as address 0, so a blank form row reads back
// blank.
//
// Read-only answers: 27 is the firmware version (sub-type 17: its second byte is the
// dimming time, which the host may write); 25 and 26 are counts the module works out; the
// second byte of 24 (sub-types 16, 17) is 1 while any row is in use.
#include "sim/module_families.h"

namespace kw::sim {

namespace {

constexpr int kFirstRow = 1;
constexpr int kLastRow = 20;
constexpr int kLastRowA = 10;
constexpr int kModeParameter = 24;
constexpr int kProgrammedCount = 25;
constexpr int kConnectedCount = 26;
constexpr int kVersion = 27;
constexpr int kPair = 28;
constexpr uint8_t kEmptyRow = 255;

// The extension units of sub-types 16 and 17, and how their rows report them.
struct Extensions {
  int rowsPerUnit;
  int inputUnits;
  int outputUnits;
  uint8_t inputStatus;
  uint8_t outputStatus;
};
// Sub-type 16: units of two rows, four input and four output units, rows 17..20 free.
constexpr Extensions kExtensions16{2, 4, 4, 57, 25};
// Sub-type 17: units of three outputs, two input and two output units, rows 13..18 free.
constexpr Extensions kExtensions17{3, 2, 2, 234, 228};

// Firmware versions: sub-type 15 reports tenths (15 = 1.5, at most 1.7 fits it); 16 and
// 17 report the major number in the high nibble (35 = 2.03; 2.00 and later fit them).
constexpr uint8_t kVersion15 = 15;
constexpr uint8_t kVersion16 = 35;
constexpr uint8_t kVersion17 = 36;
constexpr uint8_t kWrongVersion15 = 18;
constexpr uint8_t kWrongVersionExtended = 31;
constexpr uint8_t kDimmingTime = 8;
constexpr ParameterValue kPairFactory{100, 18, 0};

bool isRow(int p) { return p >= kFirstRow && p <= kLastRow; }

class FunctionModule final : public SimModule {
 public:
  FunctionModule(int subtype, int bus, int address) : SimModule(0, subtype, bus, address) {
    // The fixed row the form shows first carries the module's own address.
    const int ownRow = subtype == 17 ? 21 : 22;
    setParameter(ownRow, static_cast<uint8_t>(address), 0, 0);
    const uint8_t version = subtype == 15 ? kVersion15 : subtype == 16 ? kVersion16 : kVersion17;
    setParameter(kVersion, version, subtype == 17 ? kDimmingTime : 0, 0);
    if (subtype == 17) setParameter(kPair, kPairFactory[0], kPairFactory[1], kPairFactory[2]);
    if (extended())
      for (int row = kFirstRow; row <= kLastRow; ++row) setParameter(row, 0, 0, statusOf(row));
  }

 protected:
  bool readOnly(int p, int index) const override {
    if (p == kProgrammedCount || p == kConnectedCount) return true;
    if (p == kVersion) return !(subtype() == 17 && index == 2);
    if (!extended()) return false;
    return (p == kModeParameter && index == 2) || (isRow(p) && index == 3);
  }

  ParameterValue present(int p) const override {
    ParameterValue v = SimModule::present(p);
    if (p == kVersion && wrongVersion())
      v[0] = subtype() == 15 ? kWrongVersion15 : kWrongVersionExtended;
    if (p == kProgrammedCount) return programmedCount();
    if (p == kConnectedCount) return connectedCount();
    if (!extended()) return v;
    if (isRow(p) && v[0] == kEmptyRow) v[0] = 0;
    if (p == kModeParameter) v[1] = rowsInUse(kFirstRow, kLastRow) > 0 ? 1 : 0;
    return v;
  }

 private:
  bool extended() const { return subtype() != 15; }
  const Extensions& extensions() const { return subtype() == 16 ? kExtensions16 : kExtensions17; }

  uint8_t statusOf(int row) const {
    const Extensions& e = extensions();
    const int unit = (row - 1) / e.rowsPerUnit;
    if (unit < e.inputUnits) return e.inputStatus;
    if (unit < e.inputUnits + e.outputUnits) return e.outputStatus;
    return 0;
  }

  // Rows that report `status`; with `inUse`, only those with an address.
  int rowsWithStatus(uint8_t status, bool inUse) const {
    int n = 0;
    for (int row = kFirstRow; row <= kLastRow; ++row)
      if (stored(row)[2] == status && (!inUse || rowsInUse(row, row) == 1)) ++n;
    return n;
  }

  // Sub-type 15: rows in use of table B. Others: rows in use on input and output units.
  ParameterValue programmedCount() const {
    if (!extended()) return {static_cast<uint8_t>(rowsInUse(kLastRowA + 1, kLastRow)), 0, 0};
    const Extensions& e = extensions();
    return {static_cast<uint8_t>(rowsWithStatus(e.inputStatus, true)),
            static_cast<uint8_t>(rowsWithStatus(e.outputStatus, true)), 0};
  }

  // Sub-type 15: rows in use of table A. Others: the input and output units plugged in.
  ParameterValue connectedCount() const {
    if (!extended()) return {static_cast<uint8_t>(rowsInUse(kFirstRow, kLastRowA)), 0, 0};
    const Extensions& e = extensions();
    return {static_cast<uint8_t>(rowsWithStatus(e.inputStatus, false) / e.rowsPerUnit),
            static_cast<uint8_t>(rowsWithStatus(e.outputStatus, false) / e.rowsPerUnit), 0};
  }
};

}  // namespace

std::shared_ptr<SimModule> makeFunctionModule(int subtype, int bus, int address) {
  if (subtype != 15 && subtype != 16 && subtype != 17) return nullptr;
  return std::make_shared<FunctionModule>(subtype, bus, address);
}

}  // namespace kw::sim
