#include "platform/serial_route.h"

#include <cctype>
#include <utility>

namespace kw {

RoutedSerialPorts::RoutedSerialPorts(SerialPorts& host, SimulatedPortFactory simulated,
                                     EnvLookup env)
    : host_(host), simulated_(std::move(simulated)), env_(std::move(env)) {}

bool RoutedSerialPorts::isSimulated(int port) const {
  if (!env_) return false;
  const char* value = env_(portVariableName(port).c_str());
  if (!value) return false;
  const char* sim = "sim";
  for (; *value && *sim; ++value, ++sim) {
    if (std::tolower(static_cast<unsigned char>(*value)) != *sim) return false;
  }
  return *value == '\0' && *sim == '\0';
}

std::unique_ptr<SerialPort> RoutedSerialPorts::open(int port, const SerialSettings& settings) {
  if (isSimulated(port)) {
    // A port meant for the simulation never falls through to a real device of the same
    // number: that could send bus writes to hardware the user did not choose.
    return simulated_ ? simulated_(port, settings) : nullptr;
  }
  return host_.open(port, settings);
}

bool RoutedSerialPorts::probe(int port, const SerialSettings& settings) {
  if (isSimulated(port)) return simulated_ != nullptr;
  return host_.probe(port, settings);
}

PortProblem RoutedSerialPorts::problem(int port) {
  if (isSimulated(port)) return simulated_ ? PortProblem::None : PortProblem::NoDevice;
  return host_.problem(port);
}

std::string RoutedSerialPorts::deviceName(int port) const {
  if (isSimulated(port)) return "sim";
  return host_.deviceName(port);
}

}  // namespace kw
