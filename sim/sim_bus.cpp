#include <algorithm>

#include "sim/sim_device.h"

namespace kw::sim {

namespace {
bool inRange(int bus, int address) {
  return bus >= 0 && bus < SimBus::kBuses && address >= 0 && address < SimBus::kAddresses;
}
}  // namespace

SimBus::SimBus() {
  // A central unit comes up with the track power on.
  values_[0][kPowerAddress] = kPowerBit;
}

SimBus::~SimBus() {
  for (const auto& listener : listeners()) listener->busGone();
}

uint8_t SimBus::get(int bus, int address) const {
  if (!inRange(bus, address)) return 0;
  std::lock_guard lock(mutex_);
  return values_[bus][address];
}

bool SimBus::set(int bus, int address, uint8_t value) {
  std::lock_guard lock(mutex_);
  return setLocked(bus, address, value);
}

bool SimBus::setLocked(int bus, int address, uint8_t value) {
  if (!inRange(bus, address)) return false;
  if (values_[bus][address] == value) return false;
  values_[bus][address] = value;
  stamps_[bus][address] = ++lastStamp_;
  return true;
}

std::array<uint8_t, SimBus::kAddresses> SimBus::values(int bus) const {
  if (bus < 0 || bus >= kBuses) return {};
  std::lock_guard lock(mutex_);
  return values_[bus];
}

bool SimBus::power() const {
  std::lock_guard lock(mutex_);
  return (values_[0][kPowerAddress] & kPowerBit) != 0;
}

void SimBus::setPower(bool on) {
  std::lock_guard lock(mutex_);
  uint8_t v = values_[0][kPowerAddress];
  setLocked(0, kPowerAddress, on ? (v | kPowerBit) : (v & ~kPowerBit & 0xFF));
}

void SimBus::setDemo(bool on) {
  std::lock_guard lock(mutex_);
  if (on && !demo_) {
    demoStep_ = 0;
    demoArmed_ = false;  // the first advance starts the period
    showDemoLocked(demoStep_);
  }
  demo_ = on;
}

bool SimBus::demo() const {
  std::lock_guard lock(mutex_);
  return demo_;
}

void SimBus::advance(Tick now) {
  std::shared_ptr<const Listeners> listeners;
  {
    std::lock_guard lock(mutex_);
    advanceDemoLocked(now);
    listeners = listeners_;
  }
  // Modules answer outside the lock: their answers are set() calls.
  if (listeners)
    for (const auto& listener : *listeners) listener->advance(now);
}

void SimBus::advanceDemoLocked(Tick now) {
  if (!demo_) return;
  if (!demoArmed_) {
    demoArmed_ = true;
    nextDemo_ = now + kDemoPeriodMs;
    return;
  }
  if (!tickReached(now, nextDemo_)) return;
  // One step per look, however long nobody looked: a paused program sees no burst.
  showDemoLocked(++demoStep_);
  nextDemo_ += kDemoPeriodMs;
  if (tickReached(now, nextDemo_)) nextDemo_ = now + kDemoPeriodMs;
}

std::array<uint8_t, SimBus::kDemoAddresses.size()> SimBus::demoValues(uint32_t step) {
  const uint32_t s8 = step % 8;
  return {
      static_cast<uint8_t>(1u << s8),                     // a light running along
      static_cast<uint8_t>(step & 0xFF),                  // a counter
      static_cast<uint8_t>(step % 2 ? 0xAA : 0x55),       // a blinker
      static_cast<uint8_t>((1u << (step % 9)) - 1),       // a bar filling up
      static_cast<uint8_t>(0x80u >> s8),                  // SX1: running the other way
  };
}

void SimBus::showDemoLocked(uint32_t step) {
  const auto v = demoValues(step);
  for (size_t i = 0; i < kDemoAddresses.size(); ++i)
    setLocked(kDemoAddresses[i].first, kDemoAddresses[i].second, v[i]);
}

bool SimBus::hostWrite(int bus, int address, uint8_t value, Tick now) {
  bool changed = false;
  std::shared_ptr<const Listeners> listeners;
  {
    std::lock_guard lock(mutex_);
    if (!inRange(bus, address)) return false;
    changed = setLocked(bus, address, value);
    listeners = listeners_;
  }
  if (listeners)
    for (const auto& listener : *listeners) listener->hostWrite(bus, address, value, now);
  return changed;
}

void SimBus::addListener(std::shared_ptr<BusListener> listener) {
  if (!listener) return;
  std::lock_guard lock(mutex_);
  auto next = listeners_ ? std::make_shared<Listeners>(*listeners_) : std::make_shared<Listeners>();
  next->push_back(std::move(listener));
  listeners_ = std::move(next);
}

void SimBus::removeListener(const BusListener* listener) {
  std::lock_guard lock(mutex_);
  if (!listeners_) return;
  auto next = std::make_shared<Listeners>(*listeners_);
  std::erase_if(*next, [listener](const auto& l) { return l.get() == listener; });
  listeners_ = std::move(next);
}

std::vector<std::shared_ptr<BusListener>> SimBus::listeners() const {
  std::lock_guard lock(mutex_);
  return listeners_ ? *listeners_ : Listeners{};
}

void SimBus::claimProgramming(int bus, const void* owner) {
  if (bus < 0 || bus >= kBuses) return;
  std::lock_guard lock(mutex_);
  programmingOwner_[static_cast<size_t>(bus)] = owner;
}

void SimBus::releaseProgramming(int bus, const void* owner) {
  if (bus < 0 || bus >= kBuses) return;
  std::lock_guard lock(mutex_);
  auto& held = programmingOwner_[static_cast<size_t>(bus)];
  if (held == owner) held = nullptr;
}

const void* SimBus::programmingOwner(int bus) const {
  if (bus < 0 || bus >= kBuses) return nullptr;
  std::lock_guard lock(mutex_);
  return programmingOwner_[static_cast<size_t>(bus)];
}

uint64_t SimBus::changeCursor() const {
  std::lock_guard lock(mutex_);
  return lastStamp_;
}

std::vector<std::pair<int, int>> SimBus::changesSince(uint64_t& cursor) const {
  std::vector<std::pair<uint64_t, std::pair<int, int>>> found;
  {
    std::lock_guard lock(mutex_);
    if (cursor >= lastStamp_) return {};  // nothing new: the usual case, asked very often
    for (int b = 0; b < kBuses; ++b)
      for (int a = 0; a < kAddresses; ++a)
        if (stamps_[b][a] > cursor) found.push_back({stamps_[b][a], {b, a}});
    cursor = lastStamp_;
  }
  std::sort(found.begin(), found.end());
  std::vector<std::pair<int, int>> out;
  out.reserve(found.size());
  for (const auto& f : found) out.push_back(f.second);
  return out;
}

std::vector<std::pair<int, int>> SimBus::takeChanges() {
  uint64_t cursor;
  {
    std::lock_guard lock(mutex_);
    cursor = takeCursor_;
  }
  auto out = changesSince(cursor);
  std::lock_guard lock(mutex_);
  takeCursor_ = std::max(takeCursor_, cursor);
  return out;
}

}  // namespace kw::sim
