#include "sim/devices.h"

namespace kw::sim {

void PolledDevice::onByte(uint8_t byte, Tick now) {
  if (writeAddress_ >= 0) {
    // Any byte is a value, bit 7 included.
    applyWrite(0, writeAddress_, byte, now);
    writeAddress_ = -1;
    return;
  }
  if (byte & 0x80) {
    readAddress_ = -1;
    writeAddress_ = byte & 0x7F;
    return;
  }
  if (readAddress_ == byte) {
    reply(bus_.get(0, byte));
    readAddress_ = -1;
  } else {
    // A lone address byte is forgotten once another one comes: the pairs realign.
    readAddress_ = byte;
  }
}

void PolledDevice::onPowerLoss() {
  readAddress_ = -1;
  writeAddress_ = -1;
}

}  // namespace kw::sim
