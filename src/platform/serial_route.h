// Chooses per COM number between the machine's own serial ports and a simulated interface.
// KANTELWERK_COM<n>=sim hands COM n to the simulation, so that the program shows a live bus
// without any hardware; every other value (or none) leaves COM n to the host's ports.
#pragma once

#include <functional>
#include <memory>

#include "platform/serial.h"

namespace kw {

// Builds the simulated interface for COM `port`; settings.protocolClass says which device
// it is to be. Returns nullptr when it cannot.
using SimulatedPortFactory =
    std::function<std::unique_ptr<SerialPort>(int port, const SerialSettings& settings)>;

class RoutedSerialPorts final : public SerialPorts {
 public:
  // `host` must outlive this object.
  RoutedSerialPorts(SerialPorts& host, SimulatedPortFactory simulated,
                    EnvLookup env = hostEnvironment);

  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override;
  // A simulated interface is always there; probing it opens nothing, so a simulated
  // device that only allows one open is never taken by a probe.
  bool probe(int port, const SerialSettings& settings) override;
  PortProblem problem(int port) override;
  std::string deviceName(int port) const override;

  // True when COM `port` goes to the simulation ("sim", in any case).
  bool isSimulated(int port) const;

 private:
  SerialPorts& host_;
  SimulatedPortFactory simulated_;
  EnvLookup env_;
};

}  // namespace kw
