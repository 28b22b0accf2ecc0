#include "sim/devices.h"

namespace kw::sim {

void Slx852Device::onByte(uint8_t byte, Tick now) {
  switch (state_) {
    case State::Value:
      hostWrite(writeBus_, writeAddress_, byte, now);
      state_ = State::Idle;
      return;
    case State::WriteAddress:
      state_ = State::Idle;
      if (byte & 0x80) {
        // Right after the bus selection even 0xFE is an address (126).
        writeAddress_ = byte & 0x7F;
        state_ = State::Value;
        return;
      }
      return;  // a selection not followed by a write is forgotten
    case State::Escape:
      state_ = State::Idle;
      switch (byte) {
        case 0x50:
          resetHalf_ = true;
          return;
        case 0x51:
          if (resetHalf_) stopStreaming();
          break;
        case 0xA0:
          if (resetSeen()) startStreaming(0);
          break;
        case 0xA1:
          startStreaming(1);
          break;
        case 0x00:
        case 0x01:
          writeBus_ = byte;
          state_ = State::WriteAddress;
          break;
        case 0xFE:
          state_ = State::Escape;  // a doubled escape still escapes
          return;
        default:
          break;
      }
      resetHalf_ = false;
      return;
    case State::Idle:
      // A write is taken only right after its bus selection (0xFE 0x00 or 0xFE 0x01); an
      // address byte on its own is no command, and the value after it is none either.
      if (byte == 0xFE) {
        state_ = State::Escape;
      } else {
        resetHalf_ = false;
      }
      return;
  }
}

void Slx852Device::resetParser() {
  state_ = State::Idle;
  resetHalf_ = false;
  writeBus_ = 0;
}

void Slx852Device::appendMessage(std::vector<uint8_t>& out, int bus, int address,
                                 uint8_t value) const {
  out.push_back(static_cast<uint8_t>((bus ? 0x80 : 0x00) | (address & 0x7F)));
  out.push_back(value);
}

}  // namespace kw::sim
