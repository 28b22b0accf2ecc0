#include <algorithm>

#include "sim/devices.h"

namespace kw::sim {

// The command strings are recognised as a whole from the bytes that are not part of a
// write; what their single bytes mean inside the device is of no concern to the host.
void Mc2004Device::onByte(uint8_t byte, Tick now) {
  switch (state_) {
    case State::Value:
      hostWrite(markerBus_, writeAddress_, byte, now);
      state_ = State::Idle;
      return;
    case State::AfterMarker:
      if (byte & 0x80) {
        // Right after a marker even 0xF0/0xF1 are addresses (112/113).
        writeAddress_ = byte & 0x7F;
        state_ = State::Value;
        return;
      }
      state_ = State::Idle;
      command(byte);
      return;
    case State::Idle:
      if (byte == 0xF0 || byte == 0xF1) {
        markerBus_ = byte & 1;
        state_ = State::AfterMarker;
        command(byte);
        return;
      }
      // A write is taken only right after its bus marker; an address byte on its own is
      // no write (and breaks any command string it falls into).
      command(byte);
      return;
  }
}

template <size_t N>
bool Mc2004Device::historyEndsWith(const std::array<uint8_t, N>& seq) const {
  static_assert(N <= std::tuple_size_v<decltype(history_)>);
  if (historyLength_ < N) return false;
  return std::equal(seq.begin(), seq.end(), history_.end() - N);
}

void Mc2004Device::command(uint8_t byte) {
  std::rotate(history_.begin(), history_.begin() + 1, history_.end());
  history_.back() = byte;
  historyLength_ = std::min(historyLength_ + 1, history_.size());

  if (historyEndsWith(kReset)) {
    stopStreaming();
    historyLength_ = 0;
  } else if (historyEndsWith(kStartBus0)) {
    // The bus-0 start is taken only from a device that has been reset.
    if (resetSeen()) startStreaming(0);
    historyLength_ = 0;
  } else if (historyEndsWith(kSelectBus1)) {
    startStreaming(1);
    historyLength_ = 0;
  }
}

void Mc2004Device::resetParser() {
  state_ = State::Idle;
  markerBus_ = 0;
  historyLength_ = 0;
}

void Mc2004Device::appendMessage(std::vector<uint8_t>& out, int bus, int address,
                                 uint8_t value) const {
  out.push_back(bus ? 0x81 : 0x80);
  out.push_back(static_cast<uint8_t>(address & 0x7F));
  out.push_back(value);
}

}  // namespace kw::sim
