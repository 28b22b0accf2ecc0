// Small helpers for driving simulated devices from the host side on the virtual timeline.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial.h"
#include "sim/sim_device.h"
#include "sim/sim_serial.h"

namespace kw::sim::test {

using Bytes = std::vector<uint8_t>;

inline SerialSettings settingsFor(int port, uint32_t baud, int protocolClass = 0) {
  SerialSettings s;
  s.mode = "COM" + std::to_string(port) + ":" + std::to_string(baud) + ",n,8,1";
  s.protocolClass = protocolClass;
  return s;
}

// Everything that has arrived at the port so far.
inline Bytes drain(SerialPort& port) {
  Bytes out;
  const int n = port.waiting();
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  out.resize(port.read(out.data(), out.size()));
  return out;
}

// Lets `ms` pass, then takes everything that has arrived.
inline Bytes after(VirtualClock& clock, SerialPort& port, uint32_t ms) {
  clock.sleep(ms);
  return drain(port);
}

// One virtual clock, one port with a device of `protocolClass` on COM1.
struct Rig {
  explicit Rig(int protocolClass, uint32_t baud, int frameSize = 322) {
    device = ports.attach(1, protocolClass, frameSize);
    bus = ports.bus(1);
    port = ports.open(1, settingsFor(1, baud, protocolClass));
  }
  void send(const Bytes& bytes) { port->write(bytes); }

  VirtualClock clock{1000};
  SimSerialPorts ports{clock};
  SimDevice* device = nullptr;
  SimBus* bus = nullptr;
  std::unique_ptr<SerialPort> port;
};

inline Bytes readRequest(uint8_t group) {
  if (group == 127) return {0x7F, 0x7F};
  Bytes r;
  for (int k = 0; k < 8; ++k) {
    r.push_back(static_cast<uint8_t>(group + k));
    r.push_back(static_cast<uint8_t>(group + k));
  }
  return r;
}

}  // namespace kw::sim::test
