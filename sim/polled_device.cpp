#include "sim/devices.h"

namespace kw::sim {

// The standard SX interface (classes 1 and 4), as it appears on the line:
// - The host's bytes are taken in pairs by position. The first byte of a pair is an
//   address; bit 7 set makes the pair a write, and its second byte is the value (any
//   byte, bit 7 included). Bit 7 clear makes it a read: the value of the address on SX0
//   goes back at once as one byte, and the second byte of the pair is a dummy that is
//   taken and ignored, whatever it is. Address 127 is the track power (bit 7).
// - Writes get no answer.
// - Nothing marks where a pair starts, so a byte lost or added on the line shifts the
//   pairing: the device goes on pairing by position. Only a quiet line brings it back
//   into step: a first byte left alone for kPairTimeoutMs is forgotten.
// Other open drivers talk to it the same way: a read is the address and one dummy byte
// (0x00 or 0xAA) followed by one byte back, a write the address with bit 7 and the value.
// This program reads a whole group with each address sent twice (g, g, g+1, g+1, ...):
// every pair is then a read of g + k whose dummy is the address again, answered byte for
// byte; and should the pairing ever be shifted by one, each pair still begins with an
// address of the group in order, so the answers stay right.
void PolledDevice::onByte(uint8_t byte, Tick now) {
  const PairReader::Step step = pairs_.take(byte, now);
  if (step.kind == PairReader::Step::Kind::Write) applyWrite(0, step.address, step.value, now);
  if (step.kind == PairReader::Step::Kind::Read) reply(bus_.get(0, step.address));
}

PairReader::Step PairReader::take(uint8_t byte, Tick now) {
  if (half_ != Half::None && tickDiff(now, since_) >= static_cast<int32_t>(kPairTimeoutMs))
    half_ = Half::None;
  Step step;
  switch (half_) {
    case Half::Write:
      half_ = Half::None;
      step.kind = Step::Kind::Write;
      step.address = address_;
      step.value = byte;  // any byte, bit 7 included
      return step;
    case Half::Read:
      half_ = Half::None;  // the dummy of a read already answered
      return step;
    case Half::None:
      break;
  }
  since_ = now;
  address_ = byte & 0x7F;
  if (byte & 0x80) {
    half_ = Half::Write;
    return step;
  }
  half_ = Half::Read;
  step.kind = Step::Kind::Read;
  step.address = address_;
  return step;
}

}  // namespace kw::sim
