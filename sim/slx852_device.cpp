#include "sim/devices.h"

namespace kw::sim {

namespace {
constexpr int kControlAddress = 126;
// Bits of the control byte written to address 126.
constexpr uint8_t kReportOn = 0x20;   // report both the dump and every change of the bus
constexpr uint8_t kReportOff = 0x10;  // fall quiet on the bus
constexpr uint8_t kBusBit = 0x01;     // the bus the byte is about; also selects it
}  // namespace

// The SLX852 speaks the standard interface's protocol and adds a control register:
// - The host's bytes are pairs by position, as on the standard interface (the same
//   shifting after a lost byte, the same 100 ms that brings it back into step). A write
//   pair 0x80 | address, value writes the selected bus; a read pair address, dummy gets
//   the value of the selected bus back as one byte, but only while the device reports
//   nothing by itself (then the host learns the values from the reports).
// - Address 126 is not a bus address but the control register: 0xFE, value. Bit 0 of
//   the value selects the bus for the writes and reads that follow (it stays selected);
//   0x20 starts the reports of that bus (a dump of all 128 addresses, then every change
//   and every write, as (bus << 7 | address, value)); 0x10 stops them. 0xFE 0x00 and
//   0xFE 0x01 only select; 0xFE 0x50, 0xFE 0x51 silence bus 0 and bus 1 (this program's
//   reset); 0xFE 0xA0, 0xFE 0xA1 start them. The other bits (0x80, 0x40: protocol on and
//   off; 0x08, 0x04: clock checks) change nothing the host sees here.
// Other open drivers: Rocrail's SLX driver selects the bus by writing 0 or 1 to 126 only
// when it changes, then writes and reads plain pairs (address, 0) expecting one byte;
// srcpd writes one control byte to 126 (reports on, or standard mode) without any reset
// first, and then writes plain pairs or reads the reports. (srcpd puts the bus of two-bus
// interfaces in bit 1 of the control byte; the bit-0 form that Rocrail and this program
// use is the one modelled.)
void Slx852Device::onByte(uint8_t byte, Tick now) {
  const PairReader::Step step = pairs_.take(byte, now);
  if (step.kind == PairReader::Step::Kind::Write) {
    if (step.address == kControlAddress)
      control(step.value);
    else
      hostWrite(selectedBus_, step.address, step.value, now);
  } else if (step.kind == PairReader::Step::Kind::Read && !streaming(0) && !streaming(1)) {
    reply(bus_.get(selectedBus_, step.address));
  }
}

void Slx852Device::control(uint8_t value) {
  const int bus = value & kBusBit;
  selectedBus_ = bus;
  if (value & kReportOff) stopStreaming(bus);
  if (value & kReportOn) startStreaming(bus);
}

void Slx852Device::resetParser() {
  pairs_.reset();
  selectedBus_ = 0;
}

void Slx852Device::appendMessage(std::vector<uint8_t>& out, int bus, int address,
                                 uint8_t value) const {
  out.push_back(static_cast<uint8_t>((bus ? 0x80 : 0x00) | (address & 0x7F)));
  out.push_back(value);
}

}  // namespace kw::sim
