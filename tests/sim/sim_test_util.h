// Small helpers for driving simulated devices from the host side on the virtual timeline.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial.h"
#include "sim/devices.h"
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

// `a` followed by `b`.
inline Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One step of a client in a table: a transmission after a quiet gap, maybe spoilt.
struct Tx {
  Bytes bytes;
  uint32_t gapMs = 1;
  int lost = -1;
  int junk = -1;
};

// A client of a simulated device that is not the program's bus link: it drives the
// device itself on a timeline of its own, the way any other program on the port would.
struct Client {
  explicit Client(int protocolClass, int frameSize = 322)
      : device(makeDevice(protocolClass, bus, frameSize)) {
    device->setWriteObserver([this](int b, int a, uint8_t v) { writes.push_back({b, a, v}); });
  }
  // One transmission, after `gapMs` of quiet line; `lost` and `junk` spoil it on the way
  // (Faults::lostHostByte, Faults::junkHostByte).
  void send(const Bytes& bytes, uint32_t gapMs = 0, int lost = -1, int junk = -1) {
    wait(gapMs);
    device->faults.lostHostByte = lost;
    device->faults.junkHostByte = junk;
    device->receive(bytes, now);
  }
  // Lets `ms` pass a millisecond at a time, as a port does, so that the device notices
  // its bus in time.
  void wait(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) device->tick(++now);
  }
  // Lets `ms` pass and takes everything that has arrived.
  Bytes after(uint32_t ms) {
    wait(ms);
    Bytes out(static_cast<size_t>(std::max(0, device->available(now))));
    out.resize(device->read(out.data(), out.size(), now));
    return out;
  }

  // Sends each step, taking what has arrived after each, and then what comes within
  // `settleMs`: everything the device answered, in order.
  Bytes exchange(const std::vector<Tx>& steps, uint32_t settleMs) {
    Bytes got;
    for (const Tx& t : steps) {
      send(t.bytes, t.gapMs, t.lost, t.junk);
      const Bytes part = after(0);
      got.insert(got.end(), part.begin(), part.end());
    }
    const Bytes rest = after(settleMs);
    got.insert(got.end(), rest.begin(), rest.end());
    return got;
  }

  struct Write {
    int bus, address, value;
    bool operator==(const Write&) const = default;
  };
  SimBus bus;
  std::unique_ptr<SimDevice> device;
  std::vector<Write> writes;  // the host writes the device carried out
  Tick now = 1000;
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
