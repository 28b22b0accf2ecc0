#include "sim/sim_modules.h"

#include <algorithm>

namespace kw::sim {

int kindCode(int family) {
  static constexpr std::array<int, 5> kKinds{47, 45, 49, 40, 41};
  return family >= 0 && family < static_cast<int>(kKinds.size())
             ? kKinds[static_cast<size_t>(family)]
             : 0;
}

SimModule::SimModule(int family, int subtype, int bus, int address)
    : family_(family), subtype_(subtype), line_(bus), address_(address) {}

SimModule::~SimModule() = default;

void SimModule::connect(SimBus* bus) {
  std::lock_guard lock(mutex_);
  bus_ = bus;
}

void SimModule::busGone() { connect(nullptr); }

ParameterValue SimModule::parameter(int p) const {
  std::lock_guard lock(mutex_);
  return present(p);
}

void SimModule::setParameter(int p, uint8_t a1, uint8_t a2, uint8_t a3) {
  std::lock_guard lock(mutex_);
  if (p >= 0 && p < static_cast<int>(store_.size())) stored(p) = {a1, a2, a3};
}

bool SimModule::inProgrammingMode() const {
  std::lock_guard lock(mutex_);
  return ownsProgrammingLocked();
}

bool SimModule::ownsProgrammingLocked() const {
  return bus_ != nullptr && bus_->programmingOwner(line_) == this;
}

bool SimModule::pressKey() {
  std::lock_guard lock(mutex_);
  if (!hasKey() || bus_ == nullptr || faults.silent) return false;
  if (ownsProgrammingLocked()) {
    leaveLocked();
    bus_->set(line_, kControlAddress, 0);
    return true;
  }
  enterLocked();
  bus_->set(line_, kControlAddress, kProgrammingBit);
  // The plain-register modules show what they hold as soon as they are in the mode, so a
  // read-out finds their settings on the window.
  if (directRegisters()) showRegisters();
  return true;
}

void SimModule::enterLocked() {
  bus_->claimProgramming(line_, this);
  selected_ = -1;
}

void SimModule::leaveLocked() {
  if (bus_ != nullptr) bus_->releaseProgramming(line_, this);
  selected_ = -1;
  cancel(Answer::Window);
}

void SimModule::hostWrite(int bus, int address, uint8_t value, Tick now) {
  if (bus != line_) return;
  std::lock_guard lock(mutex_);
  if (bus_ == nullptr) return;
  now_ = now;
  anyWrite(address, value, now);
  if (address == kControlAddress)
    controlWrite(value, now);
  else if (address >= kQueryAddress && address <= 3 && ownsProgrammingLocked())
    windowHostWrite(address, value, now);
}

void SimModule::controlWrite(uint8_t value, Tick now) {
  if (value & kRequestBit) {
    const bool forMe = kindCode() != 0 && bus_->get(line_, kKindAddress) == kindCode() &&
                       bus_->get(line_, kModuleAddress) == address_;
    if (forMe)
      schedule(Answer::Selection, now);
    else if (ownsProgrammingLocked())
      leaveLocked();  // another module is being selected
  }
  if (!(value & kProgrammingBit) && ownsProgrammingLocked()) leaveLocked();
}

void SimModule::windowHostWrite(int address, uint8_t value, Tick now) {
  if (directRegisters()) {
    stored(address)[0] = value;
    return;
  }
  if (address == kQueryAddress) {
    selected_ = value == kNoParameter ? -1 : value;
    if (selected_ < 0 || !answersSelection(selected_))
      cancel(Answer::Window);
    else
      schedule(Answer::Window, now);
    return;
  }
  if (selected_ < 0) return;
  switch (windowWrite(selected_, address, value)) {
    case WindowEffect::Store:
      stored(selected_)[static_cast<size_t>(address - 1)] = value;
      break;
    case WindowEffect::Represent:
      schedule(Answer::Window, now);
      break;
    case WindowEffect::Ignore:
      break;
  }
}

SimModule::WindowEffect SimModule::windowWrite(int p, int index, uint8_t) {
  return readOnly(p, index) ? WindowEffect::Ignore : WindowEffect::Store;
}

bool SimModule::readOnly(int, int) const { return false; }

ParameterValue SimModule::present(int p) const {
  return p >= 0 && p < static_cast<int>(store_.size()) ? stored(p) : ParameterValue{};
}

ParameterValue& SimModule::stored(int p) {
  return store_[static_cast<size_t>(std::clamp(p, 0, 255))];
}

const ParameterValue& SimModule::stored(int p) const {
  return store_[static_cast<size_t>(std::clamp(p, 0, 255))];
}

int SimModule::rowsInUse(int first, int last) const {
  int n = 0;
  for (int p = first; p <= last; ++p) {
    const uint8_t a = stored(p)[0];
    if (a > 0 && a < 255) ++n;
  }
  return n;
}

void SimModule::scheduleConfirm(int address, Tick now) { schedule(Answer::Confirm, now, address); }

void SimModule::schedule(Answer what, Tick now, int address) {
  if (faults.silent) return;
  cancel(what);  // a newer request replaces an answer still to come
  pending_.push_back({what, now + kAnswerDelayMs + faults.lateMs, address});
}

void SimModule::cancel(Answer what) {
  std::erase_if(pending_, [what](const Pending& p) { return p.what == what; });
}

void SimModule::advance(Tick now) {
  std::lock_guard lock(mutex_);
  if (bus_ == nullptr) return;
  now_ = now;
  tick(now);
  if (pending_.empty()) return;
  std::vector<Pending> due;
  std::erase_if(pending_, [&](const Pending& p) {
    if (!tickReached(now, p.due)) return false;
    due.push_back(p);
    return true;
  });
  for (const auto& p : due) perform(p);
}

void SimModule::perform(const Pending& p) {
  if (faults.silent) return;  // fell silent while the answer was on its way
  switch (p.what) {
    case Answer::Selection:
      answerSelection();
      break;
    case Answer::Window:
      if (ownsProgrammingLocked() && selected_ >= 0) showWindow();
      break;
    case Answer::Confirm:
      bus_->set(line_, p.address, kConfirmValue);
      break;
  }
}

void SimModule::answerSelection() {
  // The host may have given up or asked for another module in the meantime.
  const uint8_t control = bus_->get(line_, kControlAddress);
  if (!(control & kRequestBit) || bus_->get(line_, kKindAddress) != kindCode() ||
      bus_->get(line_, kModuleAddress) != address_)
    return;
  enterLocked();
  bus_->set(line_, kControlAddress, static_cast<uint8_t>(control & ~kRequestBit));
  if (!faults.keepAddress) bus_->set(line_, kModuleAddress, 0);
}

void SimModule::show(int address, uint8_t value) {
  if (bus_ != nullptr) bus_->set(line_, address, value);
}

void SimModule::showWindow() {
  const ParameterValue v = present(selected_);
  for (int i = 0; i < 3; ++i) bus_->set(line_, 1 + i, v[static_cast<size_t>(i)]);
}

void SimModule::showRegisters() {
  // Family 8 has its one value on address 0; family 9 uses all four.
  const int last = family_ == 8 ? 0 : 3;
  for (int a = 0; a <= last; ++a) bus_->set(line_, a, stored(a)[0]);
}

void attachModule(SimBus& bus, const std::shared_ptr<SimModule>& module) {
  if (!module) return;
  module->connect(&bus);
  bus.addListener(module);
}

std::vector<std::shared_ptr<SimModule>> modulesOn(const SimBus& bus) {
  std::vector<std::shared_ptr<SimModule>> out;
  for (const auto& listener : bus.listeners())
    if (auto m = std::dynamic_pointer_cast<SimModule>(listener)) out.push_back(std::move(m));
  return out;
}

std::shared_ptr<SimModule> findModule(const SimBus& bus, int family, int subtype) {
  for (auto& m : modulesOn(bus))
    if (m->family() == family && (subtype == 0 || m->subtype() == subtype)) return m;
  return nullptr;
}

bool pressProgrammingKey(const SimBus& bus, int family) {
  for (auto& m : modulesOn(bus))
    if (m->family() == family && m->hasKey()) return m->pressKey();
  return false;
}

}  // namespace kw::sim
