#include <algorithm>

#include "sim/devices.h"

namespace kw::sim {

namespace {
constexpr uint8_t kCommand = 0x71;
constexpr uint8_t kSelectedBusAddress = 0x7E;  // a read of it answers the selected bus
// The argument bytes of each 0x71 command: 0x02/0x03 one address, 0x04/0x05 a range.
int argumentsOf(uint8_t subcommand) {
  switch (subcommand) {
    case 0x02:
    case 0x03:
      return 1;
    case 0x04:
    case 0x05:
      return 2;
    default:
      return 0;
  }
}
}  // namespace

// The MC2004, as it appears on the line:
// - 0xF0 / 0xF1 select SX0 / SX1; the selection stays until the next one.
// - 0x80 | address, value writes the selected bus. Right after a selection any byte with
//   bit 7 is a write address, 0xF0 and 0xF1 too (addresses 112 and 113).
// - 0x71, a sub-command and its arguments: 0x00 monitoring off, 0x01 on, 0x02 a / 0x03 a
//   add / remove one address, 0x04 a b / 0x05 a b a range, 0x07 (no argument). This
//   program's reset and starts are such commands; they are recognised as whole strings
//   (kReset, kStartBus0, kSelectBus1), and a start reports the whole bus.
// - Any other byte below 0x80 is a read of that address on the selected bus, answered
//   with two bytes, address and value; 0x7E answers the selected bus (0 or 1). Reads of
//   0x70 and 0x72..0x7D, which are no bus addresses, get no answer.
// - Reports: bus marker (0x80 SX0, 0x81 SX1), address, value.
// Other open drivers: Rocrail's MUET driver (and the capture kept in its source) sends
// exactly these forms: writes without a selection before each, single-byte reads answered
// by address and value, 0x71 commands. Its start (monitoring on, then the addresses one
// by one with 0x71 0x02 a) is not modelled: only this program's start of the whole bus
// makes the simulated device report.
void Mc2004Device::onByte(uint8_t byte, Tick now) {
  switch (state_) {
    case State::Value:
      hostWrite(markerBus_, writeAddress_, byte, now);
      state_ = State::Idle;
      return;
    case State::Command:
      arguments_ = argumentsOf(byte);
      state_ = arguments_ > 0 ? State::Arguments : State::Idle;
      command(byte);
      return;
    case State::Arguments:
      if (--arguments_ == 0) state_ = State::Idle;
      command(byte);
      return;
    case State::AfterMarker:
      if (byte & 0x80) {
        // Right after a marker even 0xF0/0xF1 are addresses (112/113).
        writeAddress_ = byte & 0x7F;
        state_ = State::Value;
        return;
      }
      state_ = State::Idle;
      break;
    case State::Idle:
      break;
  }
  if (byte == 0xF0 || byte == 0xF1) {
    markerBus_ = byte & 1;
    state_ = State::AfterMarker;
    command(byte);
  } else if (byte & 0x80) {
    writeAddress_ = byte & 0x7F;
    state_ = State::Value;
  } else if (byte == kCommand) {
    state_ = State::Command;
    command(byte);
  } else {
    command(byte);  // breaks any command string it falls into
    read(byte);
  }
}

void Mc2004Device::read(uint8_t address) {
  if (address == kSelectedBusAddress) {
    reply({address, static_cast<uint8_t>(markerBus_)});
  } else if (address < 0x70 || address == SimBus::kPowerAddress) {
    reply({address, bus_.get(markerBus_, address)});
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
  arguments_ = 0;
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
