// Simulated modules on the SX bus: what the program's programming engine and read-out
// talk to through the programming block (addresses 104..107) and the register window
// (addresses 0..3).
//
// A module hears the host's writes through the interface (SimBus::hostWrite) and answers
// by setting bus values itself, a few milliseconds later on the clock the bus is driven
// with (SimBus::advance). What every module does:
// - Selection (families 0..4): the host writes the module kind to 104 and the module's
//   address to 107 and then sets bit 7 of 106. The module whose kind and address are
//   there answers by clearing bit 7 of 106 and putting 0 on 107; it is then the one module
//   in programming mode on its bus. A host write that clears bit 5 of 106 ends it.
// - Key (families 5..9): pressing the module's key takes the programming mode (106 = 32);
//   pressing it again gives it back (106 = 0).
// - Register window, while in programming mode: a host write of p to address 0 selects
//   parameter p, and the module shows its three bytes of p on addresses 1..3; host writes
//   to 1..3 store into p. Families 8 and 9 instead keep what the host writes to 0..3.
// - Family 10 confirms a non-zero host write to its own address by putting 255 there.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_device.h"

namespace kw::sim {

// Bus addresses the modules use.
inline constexpr int kQueryAddress = 0;      // parameter number; data on 1..3
inline constexpr int kKindAddress = 104;     // module kind of a selection request
inline constexpr int kFixedAddress = 105;    // a fixed value of the request, not looked at
inline constexpr int kControlAddress = 106;  // request bit 7, programming mode bit 5
inline constexpr int kModuleAddress = 107;   // address of the requested module; 0 = answered
inline constexpr uint8_t kRequestBit = 0x80;
inline constexpr uint8_t kProgrammingBit = 0x20;
// A write of this to address 0 ends the use of the window (the host's switch-off): it
// selects nothing and gets no answer.
inline constexpr uint8_t kNoParameter = 255;
// The confirmation of family 10.
inline constexpr uint8_t kConfirmValue = 255;
// How long a healthy module takes to answer anything.
inline constexpr uint32_t kAnswerDelayMs = 5;

// The module kind code of a family that is selected by request (families 0..4), else 0.
int kindCode(int family);

using ParameterValue = std::array<uint8_t, 3>;

// Faults a test or the user can switch on, at any time and from any thread.
struct ModuleFaults {
  // Answers nothing: no selection answer, no parameter answers, no 255; the key is dead.
  std::atomic<bool> silent{false};
  // Every answer comes this many ms later than kAnswerDelayMs.
  std::atomic<uint32_t> lateMs{0};
  // Reports a version that the read-out refuses or takes for another module (see each
  // family's present()).
  std::atomic<bool> wrongVersion{false};
  // The selection answer clears bit 7 of 106 but leaves 107 as the host wrote it.
  std::atomic<bool> keepAddress{false};
};

class SimModule : public BusListener {
 public:
  // `bus` is the bus line, 0 (SX0) or 1 (SX1), of the SimBus the module is attached to.
  SimModule(int family, int subtype, int bus, int address);
  ~SimModule() override;
  SimModule(const SimModule&) = delete;
  SimModule& operator=(const SimModule&) = delete;

  int family() const { return family_; }
  // The sub-type the module is of; 0 for a family whose module serves all its sub-types.
  int subtype() const { return subtype_; }
  int bus() const { return line_; }
  int address() const { return address_; }
  int kindCode() const { return sim::kindCode(family_); }
  // Families 5..9 have a programming key instead of the selection request.
  bool hasKey() const { return family_ >= 5 && family_ <= 9; }

  // What the module answers for parameter p (0..255): its stored bytes, with the values
  // it works out itself (counts, versions, flags) filled in.
  ParameterValue parameter(int p) const;
  // Stores the three bytes of p as they are, read-only bytes included: a module with
  // another configuration or firmware.
  void setParameter(int p, uint8_t a1, uint8_t a2, uint8_t a3);
  bool inProgrammingMode() const;
  // Enters programming mode, or leaves it when the module is in it. False when the module
  // has no key, is silent, or is on no bus.
  bool pressKey();

  ModuleFaults faults;

  // BusListener.
  void hostWrite(int bus, int address, uint8_t value, Tick now) final;
  void advance(Tick now) final;
  void busGone() final;

  // Puts the module on `bus` (done by attachModule).
  void connect(SimBus* bus);

 protected:
  // What a host write to window address 1..3 does with the selected parameter.
  enum class WindowEffect {
    Store,      // the byte is stored
    Ignore,     // nothing is stored
    Represent,  // nothing is stored; the module shows the parameter again
  };

  // The hooks below are called with the module's lock held.
  // Default: Store unless readOnly().
  virtual WindowEffect windowWrite(int p, int index, uint8_t value);
  // Byte `index` (1..3) of p is the module's own and not taken from the host.
  virtual bool readOnly(int p, int index) const;
  // Default: the stored bytes.
  virtual ParameterValue present(int p) const;
  // Whether selecting p on address 0 shows it; one that does not leaves the window as it
  // stands until a write to the window makes the module show it (WindowEffect::Represent).
  virtual bool answersSelection(int p) const { return true; }
  // Families 8 and 9: the window holds plain values, no parameter numbers.
  virtual bool directRegisters() const { return false; }
  // A host write to any address, before the module's own handling (family 10).
  virtual void anyWrite(int address, uint8_t value, Tick now) {}
  // Time has reached `now`: a module that acts by itself (a turntable that turns) does it
  // here, before the answers that are due.
  virtual void tick(Tick now) {}

  // The module's own change of a bus value on its line (a turntable reporting where it
  // stands); nothing when the module is on no bus.
  void show(int address, uint8_t value);
  // The time of the host write or passing of time being handled.
  Tick lastTime() const { return now_; }

  ParameterValue& stored(int p);
  const ParameterValue& stored(int p) const;
  // The number of stored table rows first..last whose address is a bus address (1..254;
  // 255 marks an empty row).
  int rowsInUse(int first, int last) const;
  // Queues a confirmation: 255 on `address` after the answer delay (family 10).
  void scheduleConfirm(int address, Tick now);
  bool isSilent() const { return faults.silent; }
  bool wrongVersion() const { return faults.wrongVersion; }

 private:
  enum class Answer { Selection, Window, Confirm };
  struct Pending {
    Answer what;
    Tick due;
    int address;
  };

  void controlWrite(uint8_t value, Tick now);
  void windowHostWrite(int address, uint8_t value, Tick now);
  void schedule(Answer what, Tick now, int address = 0);
  void cancel(Answer what);
  void perform(const Pending& p);
  void answerSelection();
  void showWindow();
  void showRegisters();
  bool ownsProgrammingLocked() const;
  void enterLocked();
  void leaveLocked();

  const int family_;
  const int subtype_;
  const int line_;
  const int address_;
  mutable std::mutex mutex_;
  SimBus* bus_ = nullptr;
  std::array<ParameterValue, 256> store_{};
  int selected_ = -1;  // parameter selected on address 0; -1 = none
  Tick now_ = 0;
  std::vector<Pending> pending_;
};

// Puts `module` on `bus`: it hears the host's writes and the time from then on.
void attachModule(SimBus& bus, const std::shared_ptr<SimModule>& module);
// A module of `family` (0..10) and `subtype` (family 0: 15, 16, 17; family 1: 18, 19;
// others: ignored) at `address` of bus line `bus`; nullptr for an unknown family or
// sub-type.
std::shared_ptr<SimModule> makeModule(int family, int subtype, int bus, int address);

// The standard layout: one module of every family and sub-type on SX0, clear of the
// demo's addresses 20..23 and of the system addresses 104..127. Family 10 has no
// programming mode: it confirms writes to its address.
struct LayoutEntry {
  int family;
  int subtype;  // 0: the module serves every sub-type of its family
  int address;
};
inline constexpr std::array<LayoutEntry, 14> kStandardLayout{{
    {0, 17, 10},
    {0, 16, 11},
    {0, 15, 12},
    {1, 19, 13},
    {1, 18, 14},
    {2, 0, 15},
    {3, 0, 16},
    {4, 0, 17},
    {5, 0, 30},
    {6, 0, 31},
    {7, 0, 32},
    {8, 0, 33},
    {9, 0, 34},
    {10, 0, 60},
}};

// Attaches the standard layout to SX0 of `bus`; returns the modules in table order.
std::vector<std::shared_ptr<SimModule>> addStandardLayout(SimBus& bus);
// The modules attached to `bus`, in the order they were attached.
std::vector<std::shared_ptr<SimModule>> modulesOn(const SimBus& bus);
// The first module of `family` (and `subtype`, unless 0) on `bus`; nullptr if none.
std::shared_ptr<SimModule> findModule(const SimBus& bus, int family, int subtype = 0);
// Presses the key of the first module of `family` with a key on `bus`; false if none.
bool pressProgrammingKey(const SimBus& bus, int family);

}  // namespace kw::sim
