// Serial ports on Linux and other POSIX systems: terminal devices driven through termios.
//
// Which device is COM n:
//   1. The environment variable KANTELWERK_COM<n> (for example KANTELWERK_COM1=/dev/ttyUSB0)
//      names it, when it is set and not empty.
//   2. Otherwise the serial devices in /dev are put in one list: first the USB serial
//      adapters /dev/ttyUSB*, then the USB modem-class adapters /dev/ttyACM*, then the
//      on-board ports /dev/ttyS*, each group in numeric order (ttyUSB2 before ttyUSB10).
//      COM n is the n-th entry. The interfaces of this hobby almost always hang on a USB
//      adapter, so they get the low COM numbers, and the order only changes when adapters
//      are plugged in or pulled.
//
// A port is held exclusively: flock(LOCK_EX) keeps out every other program that plays by
// the same rule (and a second open from this one), TIOCEXCL keeps out plain opens of
// programs that do not lock.
#pragma once
#ifndef _WIN32

#include <termios.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace kw {

// Names of the entries of a directory, without "." and ".."; empty when it cannot be read.
using DirectoryLister = std::function<std::vector<std::string>(const std::string& dir)>;
std::vector<std::string> listDirectory(const std::string& dir);

// Picks the serial devices out of the names of /dev and puts them in COM order (see above).
std::vector<std::string> serialDeviceOrder(const std::vector<std::string>& names);

// Turns `t` into a raw terminal with the line settings of `mode`. False when the baud rate
// has no termios speed.
bool makeRawTermios(const SerialMode& mode, bool flowControl, termios& t);

class PosixSerialPorts final : public SerialPorts {
 public:
  explicit PosixSerialPorts(EnvLookup env = hostEnvironment,
                            DirectoryLister lister = listDirectory,
                            std::string deviceDir = "/dev");

  // Queue sizes of the settings are not used: the kernel keeps its own buffers.
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override;

  // The device COM `port` names now; empty when it names none.
  std::string devicePath(int port) const;

  // Opens a device by its path, with everything else as open() does it.
  static std::unique_ptr<SerialPort> openDevice(const std::string& path,
                                                const SerialSettings& settings);

 private:
  EnvLookup env_;
  DirectoryLister lister_;
  std::string deviceDir_;
};

}  // namespace kw

#endif  // _WIN32
