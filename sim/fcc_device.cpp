#include "sim/devices.h"

namespace kw::sim {

namespace {
constexpr uint8_t kPollFirst = 0x78;
constexpr uint8_t kPollSecond = 0xC3;
constexpr uint8_t kVersionRequest = 0x81;
constexpr int kBlockLength = 96;
constexpr int kBusAddresses = 112;  // the frame carries the ordinary addresses only
}  // namespace

void FccDevice::onByte(uint8_t byte, Tick now) {
  switch (state_) {
    case State::Poll:
      state_ = State::Idle;
      if (byte == kPollSecond) {
        reply(frame());
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
