// Serial ports as the bus link uses them: opened by COM number, read and written in byte
// blocks, asked how many bytes wait and what the CTS line says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/input_wait.h"

namespace kw {

struct SerialSettings {
  std::string mode;  // "COM3:19200,n,8,1"
  uint32_t inQueue = 1024;
  uint32_t outQueue = 512;
  bool rtsOn = true;
  bool flowControl = false;  // neither hardware nor software handshake when false
  // Read timeouts: between two bytes, per requested byte, and in total on top.
  uint32_t readIntervalMs = 100;
  uint32_t readPerByteMs = 10;
  uint32_t readTotalMs = 100;
  // What the port is expected to be connected to (1..5); only a simulated port uses it,
  // to pick the simulated device.
  int protocolClass = 0;
};

// Line settings taken from a mode string.
struct SerialMode {
  int port = 0;
  uint32_t baud = 0;
  char parity = 'n';
  int dataBits = 8;
  int stopBits = 1;
};
// "COM3:19200,n,8,1" (case-insensitive "com"); nullopt when it cannot be read.
std::optional<SerialMode> parseSerialMode(const std::string& mode);

// Environment look-up, handed in so that tests can say which device a COM number names
// without touching the process environment. Returns nullptr for an unset variable.
using EnvLookup = std::function<const char*(const char*)>;
inline const char* hostEnvironment(const char* name) { return std::getenv(name); }
// The variable that says which device COM `port` is: "KANTELWERK_COM3".
std::string portVariableName(int port);

// What keeps a port from opening, as far as the system tells.
enum class PortProblem {
  None,
  NoDevice,          // the COM number stands for no device
  NotFound,          // the device is not there (or is no serial port)
  Busy,              // another program holds it
  PermissionDenied,  // the user may not open it
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;  // closes the port
  // Returns the number of bytes written.
  virtual size_t write(const uint8_t* data, size_t size) = 0;
  size_t write(const std::vector<uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
  // Reads up to `size` bytes, waiting at most as the read timeouts allow.
  virtual size_t read(uint8_t* data, size_t size) = 0;
  // Bytes received and not yet read; -1 when the port has gone away.
  virtual int waiting() = 0;
  virtual bool cts() = 0;
  // Discards both queues.
  virtual void purge() = 0;
  // False once the line settings could not be applied (the port is still usable).
  virtual bool settingsApplied() const { return true; }
  // For the bus thread's wait: a handle that turns ready when new bytes come in. Bytes
  // already counted by waiting() do not keep it ready, so a partial answer that sits in
  // the queue costs no wake-ups. kNoWaitHandle when the port has none.
  virtual WaitHandle inputHandle() { return kNoWaitHandle; }
  // For a port without a handle: the ms until new bytes may be there, when the bus
  // thread looks again.
  virtual int msUntilInput() { return 1; }
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens COM `port` (1..8) exclusively; nullptr when the system refuses the device.
  virtual std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) = 0;
  // Whether COM `port` is there and free for this program. A system whose ports are
  // opened exclusively by everyone may just try an open with `settings` and close again;
  // one where an open can reach a port another program uses must look without changing it.
  virtual bool probe(int port, const SerialSettings& settings) {
    return open(port, settings) != nullptr;
  }
  // The device behind COM `port`, for showing to the user; empty where the COM number
  // is the device's own name.
  virtual std::string deviceName(int /*port*/) const { return {}; }
  // Why COM `port` cannot be opened now, looked at without disturbing a program that
  // uses it; None where the system cannot tell or nothing is wrong.
  virtual PortProblem problem(int /*port*/) { return PortProblem::None; }
};

}  // namespace kw
