#include "sim/sim_serial.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "sim/sim_modules.h"

namespace kw::sim {

uint32_t baudFromMode(const std::string& mode) {
  // "COM3:19200,n,8,1": the digits after the colon.
  const size_t colon = mode.find(':');
  if (colon == std::string::npos) return 0;
  uint64_t baud = 0;
  size_t i = colon + 1;
  while (i < mode.size() && mode[i] == ' ') ++i;
  const size_t first = i;
  for (; i < mode.size() && std::isdigit(static_cast<unsigned char>(mode[i])); ++i) {
    baud = baud * 10 + static_cast<uint64_t>(mode[i] - '0');
    if (baud > 10000000) return 0;
  }
  if (i == first) return 0;
  return static_cast<uint32_t>(baud);
}

SimSerialPort::SimSerialPort(std::shared_ptr<SimDevice> device, Clock& clock,
                             const SerialSettings& settings, std::shared_ptr<void> keepAlive)
    : device_(std::move(device)),
      clock_(clock),
      settings_(settings),
      keepAlive_(std::move(keepAlive)),
      virtualClock_(dynamic_cast<VirtualClock*>(&clock)) {
  const uint32_t baud = baudFromMode(settings.mode);
  if (baud >= 300)
    device_->setBaud(baud);
  else
    settingsApplied_ = false;  // the line keeps the speed it had
  if (virtualClock_) {
    job_ = virtualClock_->every(1, [device = device_, clock = virtualClock_] {
      device->tick(clock->now());
      return 1;
    });
  }
}

SimSerialPort::~SimSerialPort() {
  if (virtualClock_) virtualClock_->cancel(job_);
  device_->release();
}

size_t SimSerialPort::write(const uint8_t* data, size_t size) {
  if (device_->faults.unplugged) return 0;
  device_->receive(data, size, clock_.now());
  return size;
}

size_t SimSerialPort::read(uint8_t* data, size_t size) {
  size_t got = device_->read(data, size, clock_.now());
  // Sleeping on the virtual clock would run the program's own jobs from inside a read.
  if (got == size || virtualClock_ || device_->faults.unplugged) return got;
  const Tick start = clock_.now();
  const Tick total = start + settings_.readTotalMs + settings_.readPerByteMs * static_cast<Tick>(size);
  Tick lastByte = start;
  while (got < size) {
    const Tick now = clock_.now();
    if (tickReached(now, total)) break;
    if (got > 0 && tickDiff(now, lastByte) >= static_cast<int32_t>(settings_.readIntervalMs))
      break;
    clock_.sleep(1);
    const size_t n = device_->read(data + got, size - got, clock_.now());
    if (n > 0) {
      got += n;
      lastByte = clock_.now();
    }
    if (device_->faults.unplugged) break;
  }
  return got;
}

int SimSerialPort::waiting() { return device_->available(clock_.now()); }

int SimSerialPort::msUntilInput() {
  if (virtualClock_) return 1;
  const int next = device_->msUntilNextByte(clock_.now());
  return next < 0 ? kLookMs : std::min(next, kLookMs);
}

bool SimSerialPort::cts() { return device_->cts(); }

void SimSerialPort::purge() { device_->purge(clock_.now()); }

SimSerialPorts::Slot* SimSerialPorts::slot(int port) {
  if (port < 1 || port > kPorts) return nullptr;
  return &slots_[static_cast<size_t>(port)];
}

std::shared_ptr<SimBus> SimSerialPorts::busLocked(Slot& s) {
  if (!s.bus) s.bus = std::make_shared<SimBus>();
  return s.bus;
}

SimDevice* SimSerialPorts::attach(int port, std::shared_ptr<SimDevice> device) {
  std::lock_guard lock(mutex_);
  Slot* s = slot(port);
  if (!s) return nullptr;
  s->device = std::move(device);
  s->autoCreated = false;
  return s->device.get();
}

SimDevice* SimSerialPorts::attach(int port, int protocolClass, int frameSize) {
  std::lock_guard lock(mutex_);
  Slot* s = slot(port);
  if (!s) return nullptr;
  auto bus = busLocked(*s);
  std::shared_ptr<SimDevice> device = makeDevice(protocolClass, *bus, frameSize);
  if (!device) return nullptr;
  s->device = std::move(device);
  s->autoCreated = false;
  return s->device.get();
}

void SimSerialPorts::detach(int port) {
  std::lock_guard lock(mutex_);
  if (Slot* s = slot(port)) {
    s->device.reset();
    s->autoCreated = false;
  }
}

SimDevice* SimSerialPorts::device(int port) const {
  std::lock_guard lock(mutex_);
  if (port < 1 || port > kPorts) return nullptr;
  return slots_[static_cast<size_t>(port)].device.get();
}

SimBus* SimSerialPorts::bus(int port) {
  std::lock_guard lock(mutex_);
  Slot* s = slot(port);
  return s ? busLocked(*s).get() : nullptr;
}

void SimSerialPorts::setAutoCreate(bool on, bool demo) {
  std::lock_guard lock(mutex_);
  autoCreate_ = on;
  autoDemo_ = demo;
}

std::unique_ptr<SerialPort> SimSerialPorts::open(int port, const SerialSettings& settings) {
  std::lock_guard lock(mutex_);
  Slot* s = slot(port);
  if (!s) return nullptr;
  if (autoCreate_) {
    const int cls = settings.protocolClass;
    const bool known = cls >= 1 && cls <= 5;
    // A probe does not say what is connected: it finds whatever device is there.
    const bool replace =
        !s->device || (known && s->autoCreated && s->device->protocolClass() != cls);
    // A device that is open stays: the second open fails below, as on a real port.
    bool inUse = false;
    if (replace && s->device) {
      inUse = !s->device->claim();
      if (!inUse) s->device->release();
    }
    if (replace && !inUse) {
      auto bus = busLocked(*s);
      auto device = makeDevice(known ? cls : 1, *bus);
      if (device) {
        if (autoDemo_) {
          bus->setDemo(true);
          if (!s->modulesAdded) addStandardLayout(*bus);
          s->modulesAdded = true;
        }
        s->device = std::move(device);
        s->autoCreated = true;
      }
    }
  }
  if (!s->device || s->device->faults.unplugged) return nullptr;
  if (!s->device->claim()) return nullptr;  // already open
  return std::make_unique<SimSerialPort>(s->device, clock_, settings, busLocked(*s));
}

bool SimSerialPorts::pressProgrammingKey(int family) {
  std::vector<std::shared_ptr<SimBus>> buses;
  {
    std::lock_guard lock(mutex_);
    for (int port = 1; port <= kPorts; ++port)
      if (const auto& bus = slots_[static_cast<size_t>(port)].bus) buses.push_back(bus);
  }
  // The key is pressed without the ports' lock: it sets bus values.
  for (const auto& bus : buses) {
    const auto module = findModule(*bus, family);
    if (module && module->hasKey()) return module->pressKey();
  }
  return false;
}

PortFactory makeSimPortFactory(std::shared_ptr<SimSerialPorts> ports) {
  return [ports = std::move(ports)](int port, const SerialSettings& settings) {
    return ports->open(port, settings);
  };
}

SimPorts makeSimPorts(Clock& clock) {
  auto ports = std::make_shared<SimSerialPorts>(clock);
  ports->setAutoCreate(true, true);
  return {makeSimPortFactory(ports), ports};
}

PortFactory makeSimPortFactory(Clock& clock) { return makeSimPorts(clock).factory; }

}  // namespace kw::sim
