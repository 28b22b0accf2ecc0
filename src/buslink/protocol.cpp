#include "buslink/protocol.h"

namespace kw {

namespace polling {

Bytes readRequest(uint8_t group) {
  if (group == kPowerAddress) return {0x7F, 0x7F};
  Bytes b;
  b.reserve(16);
  for (int k = 0; k < 8; ++k) {
    uint8_t a = static_cast<uint8_t>((group + k) & 0x7F);
    b.push_back(a);
    b.push_back(a);
  }
  return b;
}

Bytes write(uint8_t address, uint8_t value) {
  return {static_cast<uint8_t>(0x80 | (address & 0x7F)), value};
}

uint8_t nextGroup(uint8_t group) {
  if (group == kPowerAddress) return 0;
  if (group >= 104) return kPowerAddress;
  return static_cast<uint8_t>(group + 8);
}

size_t answerLength(uint8_t group) { return group == kPowerAddress ? 1 : 8; }

}  // namespace polling

namespace mc2004 {

Bytes resetSequence() {
  return {0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05, 0x00, 0x70, 0xF1, 0x71, 0x05, 0x00, 0x70};
}
Bytes bus0Start() { return {0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01}; }
Bytes bus1Selection() { return {0xF1, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01}; }
uint8_t busMarker(bool sx1) { return sx1 ? 0xF1 : 0xF0; }

}  // namespace mc2004

namespace slx852 {

Bytes resetSequence() { return {0xFE, 0x50, 0xFE, 0x51}; }
Bytes bus0Start() { return {0xFE, 0xA0}; }
Bytes bus1Selection() { return {0xFE, 0xA1}; }
Bytes busMarker(bool sx1) { return {0xFE, static_cast<uint8_t>(sx1 ? 0x01 : 0x00)}; }

}  // namespace slx852

namespace fcc {

Bytes poll() { return {0x78, 0xC3}; }
Bytes write(uint8_t busSlot, uint8_t address, uint8_t value) {
  return {busSlot, static_cast<uint8_t>(0x80 | (address & 0x7F)), value};
}
Bytes versionRequest() { return {0x81}; }

std::optional<BusPart> decodeBusPart(const uint8_t* data, size_t size) {
  if (size != kBusPartLength) return std::nullopt;
  BusPart p;
  for (size_t a = 0; a < 112; ++a) {
    p.sx0[a] = data[a];
    p.sx1[a] = data[113 + a];
  }
  p.power = data[112] != 0;
  return p;
}

}  // namespace fcc

}  // namespace kw
