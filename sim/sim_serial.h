// Serial ports that lead to simulated devices instead of hardware, on the clock the
// program runs with: in tests the virtual timeline, in the program the real clock.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/clock.h"
#include "platform/serial.h"
#include "sim/sim_device.h"

namespace kw::sim {

// The baud rate of a mode string such as "COM3:19200,n,8,1"; 0 when there is none.
uint32_t baudFromMode(const std::string& mode);

// One open port: the host's writes reach the device at once, its answers come in as
// their arrival time is reached on `clock`. On a virtual clock the device also runs as a
// job every millisecond, so bus changes are noticed when they happen and not only when
// the host next looks. `clock` must outlive the port.
class SimSerialPort final : public SerialPort {
 public:
  // `keepAlive` holds whatever the device depends on (its bus) for the port's lifetime.
  SimSerialPort(std::shared_ptr<SimDevice> device, Clock& clock, const SerialSettings& settings,
                std::shared_ptr<void> keepAlive = nullptr);
  ~SimSerialPort() override;

  size_t write(const uint8_t* data, size_t size) override;
  // On the virtual clock returns what has arrived, without moving time. On the real clock
  // waits for missing bytes as the read timeouts of the settings allow.
  size_t read(uint8_t* data, size_t size) override;
  int waiting() override;
  bool cts() override;
  void purge() override;
  bool settingsApplied() const override { return settingsApplied_; }
  // On the real clock: when the next byte on the line arrives, but at least every
  // kLookMs, so that the device notices its bus (the demo, a module's answer) in time;
  // as often as the bus thread looks at CTS, so that one wake-up serves both.
  int msUntilInput() override;
  static constexpr int kLookMs = 20;

  SimDevice& device() { return *device_; }

 private:
  std::shared_ptr<SimDevice> device_;
  Clock& clock_;
  SerialSettings settings_;
  std::shared_ptr<void> keepAlive_;
  VirtualClock* virtualClock_;
  int job_ = 0;
  bool settingsApplied_ = true;
};

// COM1..COM8 with simulated devices. A test attaches devices to ports; with auto-create
// on, opening a port without a device creates one of the settings' protocol class on the
// port's own bus. Ports must be closed before this object goes away unless it is held
// by a shared_ptr (see makeSimPortFactory).
class SimSerialPorts final : public SerialPorts {
 public:
  static constexpr int kPorts = 8;

  explicit SimSerialPorts(Clock& clock) : clock_(clock) {}

  // Puts `device` on COM `port` (1..8) in place of any earlier one; returns it, or nullptr
  // for a port number out of range.
  SimDevice* attach(int port, std::shared_ptr<SimDevice> device);
  // A new device of `protocolClass` on the port's own bus.
  SimDevice* attach(int port, int protocolClass, int frameSize = 322);
  void detach(int port);
  SimDevice* device(int port) const;
  // The port's own bus (nullptr for a port number out of range).
  SimBus* bus(int port);

  // Auto-create: an open of a port without a device (or with an auto-created device of
  // another class that is not in use) makes a device of settings.protocolClass
  // (FCC: 322-byte frames); `demo` puts its bus into demo mode and, once per bus, puts
  // the standard layout of simulated modules on it (sim_modules.h).
  void setAutoCreate(bool on, bool demo);

  // Presses the programming key of the first module of `family` (5..9) on the buses of
  // COM1..COM8 in that order; false when no bus has one.
  bool pressProgrammingKey(int family);

  // nullptr for a port out of range, without device, unplugged, or already open.
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override;

 private:
  struct Slot {
    std::shared_ptr<SimBus> bus;
    std::shared_ptr<SimDevice> device;
    bool autoCreated = false;
    bool modulesAdded = false;
  };
  Slot* slot(int port);
  std::shared_ptr<SimBus> busLocked(Slot& s);

  Clock& clock_;
  mutable std::mutex mutex_;
  std::array<Slot, kPorts + 1> slots_{};  // by COM number; 0 is not used
  bool autoCreate_ = false;
  bool autoDemo_ = false;
};

// What a router of serial ports calls for a port configured as simulated.
using PortFactory = std::function<std::unique_ptr<SerialPort>(int port, const SerialSettings&)>;

// Simulated devices of the configured class, each on its own bus in demo mode with the
// standard layout of modules, so the program shows a live bus and modules to program
// without hardware. `clock` must outlive the factory and its ports.
PortFactory makeSimPortFactory(Clock& clock);
// The same, with the ports behind the factory, through which the program reaches the
// modules' programming keys.
struct SimPorts {
  PortFactory factory;
  std::shared_ptr<SimSerialPorts> ports;
};
SimPorts makeSimPorts(Clock& clock);
// The same on ports the caller keeps, for reaching the buses and devices behind them.
PortFactory makeSimPortFactory(std::shared_ptr<SimSerialPorts> ports);

}  // namespace kw::sim
