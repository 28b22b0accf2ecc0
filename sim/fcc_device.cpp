#include "sim/devices.h"

namespace kw::sim {

namespace {
constexpr uint8_t kPollFirst = 0x78;
constexpr uint8_t kPollSecond = 0xC3;    // the whole state frame
constexpr uint8_t kBusPartSecond = 0x03;  // the bus part alone
constexpr uint8_t kVersionRequest = 0x81;
constexpr int kBlockLength = 96;
constexpr int kBusAddresses = 112;  // the frame carries the ordinary addresses only
constexpr long kBusPartLength = 2 * kBusAddresses + 2;
}  // namespace

// The Future Central Control, as it appears on the line:
// - 0x78 0xC3: the whole state frame (block A, in 418-byte frames block B, then the bus
//   part: SX0 addresses 0..111, the track power, SX1 addresses 0..111, one spare byte).
// - 0x78 0x03: the 226-byte bus part alone.
// - Bus number (0 or 1), 0x80 | address, value: a write, acknowledged with one byte.
//   A write of SX1 address 127 switches the track power (value 0 off, else on).
// - 0x81: the 7-byte version.
// Other open drivers: selectrix4java asks for the bus part with 0x78 0x03 and reads 226
// bytes, writes with the same three bytes and one acknowledge, and switches the track
// power by writing 1 or 0 to address 127 of SX1. This program polls the whole frame with
// 0x78 0xC3. (selectrix4java's switch of the system format, 0x83 0xA0 0 0 0 with three
// bytes back, is not modelled.)
void FccDevice::onByte(uint8_t byte, Tick now) {
  switch (state_) {
    case State::Poll:
      state_ = State::Idle;
      if (byte == kPollSecond) {
        reply(frame());
        return;
      }
      if (byte == kBusPartSecond) {
        const auto f = frame();
        reply(std::vector<uint8_t>(f.end() - kBusPartLength, f.end()));
        return;
      }
      break;  // not a poll after all: the byte starts something new
    case State::WriteAddress:
      state_ = State::Idle;
      if (byte & 0x80) {
        writeAddress_ = byte & 0x7F;
        state_ = State::WriteValue;
        return;
      }
      break;
    case State::WriteValue:
      applyWrite(writeBus_, writeAddress_, byte, now);
      if (writeBus_ == 1 && writeAddress_ == SimBus::kPowerAddress) bus_.setPower(byte != 0);
      reply(kFccAcknowledge);
      state_ = State::Idle;
      return;
    case State::Idle:
      break;
  }
  // Idle. The FCC has two buses; any other bus number starts no write and is ignored,
  // like every other byte it does not know.
  if (byte == kPollFirst) {
    state_ = State::Poll;
  } else if (byte == kVersionRequest) {
    reply(std::vector<uint8_t>(kFccVersion.begin(), kFccVersion.end()));
  } else if (byte == 0x00 || byte == 0x01) {
    writeBus_ = byte;
    state_ = State::WriteAddress;
  }
}

std::vector<uint8_t> FccDevice::frame() const {
  std::vector<uint8_t> f;
  f.reserve(static_cast<size_t>(frameSize_));
  f.insert(f.end(), kBlockLength, kFccBlockAFill);
  if (frameSize_ == 418) f.insert(f.end(), kBlockLength, kFccBlockBFill);
  const auto sx0 = bus_.values(0);
  const auto sx1 = bus_.values(1);
  f.insert(f.end(), sx0.begin(), sx0.begin() + kBusAddresses);
  f.push_back(bus_.power() ? 0x01 : 0x00);
  f.insert(f.end(), sx1.begin(), sx1.begin() + kBusAddresses);
  f.push_back(kFccSpareByte);
  return f;
}

}  // namespace kw::sim
