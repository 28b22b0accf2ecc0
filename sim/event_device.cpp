#include <algorithm>

#include "sim/devices.h"

namespace kw::sim {

void EventDevice::onIdle(Tick now) {
  std::vector<uint8_t> out;
  collectChanges(out);
  if (!out.empty()) send(out, now);
}

void EventDevice::onPowerLoss() {
  streaming_ = {false, false};
  resetSeen_ = false;
  resetParser();
}

void EventDevice::stopStreaming() {
  streaming_ = {false, false};
  resetSeen_ = true;
}

void EventDevice::stopStreaming(int bus) {
  if (bus >= 0 && bus < 2) streaming_[bus] = false;
}

void EventDevice::startStreaming(int bus) {
  if (bus < 0 || bus > 1) return;
  std::vector<uint8_t> out;
  // Changes of a bus already running go out before the dump of the new one.
  collectChanges(out);
  streaming_[bus] = true;
  const auto values = bus_.values(bus);
  const bool power = bus_.power();
  for (int a = 0; a < SimBus::kAddresses; ++a) {
    uint8_t v = values[a];
    if (bus == 0 && a == kStatusAddress) v = (v & 0x7F) | (power ? SimBus::kPowerBit : 0);
    appendMessage(out, bus, a, v);
  }
  reply(out);
}

void EventDevice::hostWrite(int bus, int address, uint8_t value, Tick now) {
  const bool changed = applyWrite(bus, address, value, now);
  std::vector<uint8_t> out;
  collectChanges(out);
  // The central unit confirms every write it carries out, changed or not.
  if (!changed && streaming(bus)) appendMessage(out, bus, address, reportedValue(bus, address));
  reply(out);
}

uint8_t EventDevice::reportedValue(int bus, int address) const {
  uint8_t v = bus_.get(bus, address);
  if (bus == 0 && address == kStatusAddress)
    v = (v & 0x7F) | (bus_.power() ? SimBus::kPowerBit : 0);
  return v;
}

void EventDevice::collectChanges(std::vector<uint8_t>& out) {
  auto changes = bus_.changesSince(cursor_);
  if (changes.empty()) return;
  // A power change is also a change of the status address.
  const std::pair<int, int> power{0, SimBus::kPowerAddress};
  const std::pair<int, int> status{0, kStatusAddress};
  if (std::find(changes.begin(), changes.end(), power) != changes.end() &&
      std::find(changes.begin(), changes.end(), status) == changes.end())
    changes.push_back(status);
  for (const auto& [b, a] : changes)
    if (streaming(b)) appendMessage(out, b, a, reportedValue(b, a));
}

}  // namespace kw::sim
