// Values the bus thread keeps and the window thread reads without locks: every read is a
// single atomic load, and a slightly stale value is fine.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kw {

constexpr int kBusSlots = 9;
constexpr int kBusAddresses = 129;  // 0..127 plus one spare

struct BusState {
  std::array<std::array<std::atomic<int16_t>, kBusAddresses>, kBusSlots> busMirror{};
  std::atomic<uint8_t> programmingMode{0};
  std::atomic<uint8_t> centralPower{0};
  std::atomic<uint8_t> stopFlag{0};
  std::atomic<uint8_t> currentBus{0};

  int16_t mirror(int bus, int address) const {
    if (bus < 0 || bus >= kBusSlots || address < 0 || address >= kBusAddresses) return 0;
    return busMirror[bus][address].load(std::memory_order_relaxed);
  }
  void setMirror(int bus, int address, int16_t value) {
    if (bus < 0 || bus >= kBusSlots || address < 0 || address >= kBusAddresses) return;
    busMirror[bus][address].store(value, std::memory_order_relaxed);
  }
};

}  // namespace kw
