// The bytes of each interface protocol, as pure functions over byte buffers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kw {

using Bytes = std::vector<uint8_t>;

// Standard polling (classes 1 and 4).
namespace polling {
constexpr uint8_t kPowerAddress = 127;
// Each address of the group twice; group 127 asks for the power address alone.
Bytes readRequest(uint8_t group);
Bytes write(uint8_t address, uint8_t value);
// 0, 8, ..., 104, 127, 0, ...
uint8_t nextGroup(uint8_t group);
size_t answerLength(uint8_t group);
}  // namespace polling

// MC2004 events (class 2).
namespace mc2004 {
Bytes resetSequence();
Bytes bus0Start();  // without the reset, which has its own pause and purge
Bytes bus1Selection();
uint8_t busMarker(bool sx1);  // sent before a write
constexpr size_t kMessageLength = 3;
constexpr uint8_t kPowerAddress = 109;
constexpr uint32_t kResetPauseMs = 200;
}  // namespace mc2004

// SLX852 events (class 3).
namespace slx852 {
Bytes resetSequence();
Bytes bus0Start();  // without the reset
Bytes bus1Selection();
Bytes busMarker(bool sx1);
constexpr size_t kMessageLength = 2;
constexpr uint32_t kResetPauseMs = 1000;
constexpr uint32_t kRestartDelayMs = 1000;
}  // namespace slx852

// FCC block protocol (class 5).
namespace fcc {
Bytes poll();
Bytes write(uint8_t busSlot, uint8_t address, uint8_t value);
Bytes versionRequest();
constexpr size_t kBlockLength = 96;
constexpr size_t kBusPartLength = 226;
constexpr size_t kSmallFrame = 322;
constexpr size_t kLargeFrame = 418;
constexpr size_t kVersionLength = 7;
constexpr uint32_t kTimeoutMs = 700;

struct BusPart {
  std::array<uint8_t, 112> sx0{};
  std::array<uint8_t, 112> sx1{};
  bool power = false;
};
// The 226-byte bus part that ends every frame.
std::optional<BusPart> decodeBusPart(const uint8_t* data, size_t size);
}  // namespace fcc

}  // namespace kw
