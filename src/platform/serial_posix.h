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
//
// A port counts as held by another program (so it is neither opened nor reported present)
// when any of the conventions of the system's serial programs says so: a lock file
// "LCK..<device>" in /var/lock or /run/lock naming a process that still runs, the
// terminal's exclusive mode (TIOCEXCL; an open by anyone but root already fails then, and
// root sees it through TIOCGEXCL), or a flock on the device.
//
// Probing (the settings dialog probes every time it opens) must never disturb a program
// that uses a port: it looks at lock files first, opens without taking the terminal as
// controlling terminal and without waiting for a carrier, changes no line setting and no
// modem line, and closes again at once.
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

// Where the system's serial programs leave their lock files.
std::vector<std::string> defaultLockDirectories();

// Names a lock file of `device` may have: "LCK.." and the device's name; for a device in a
// folder below /dev (/dev/pts/3) also the name with the folder ("LCK..pts_3"). Symbolic
// names (/dev/serial/by-id/...) are followed to the device first.
std::vector<std::string> lockFileNames(const std::string& device);

// The process number in a lock file: ten-column text ("      1234\n") or, in files of old
// programs, a 4-byte binary number. 0 when there is none.
long lockFilePid(const std::string& bytes);

// The other process that a lock file in `lockDirs` names as holder of `device` and that
// still runs; 0 when there is none (no file, a stale file, or this process's own).
long lockFileHolder(const std::string& device, const std::vector<std::string>& lockDirs);

enum class DeviceUse {
  Free,     // there, and this program could open it
  Busy,     // there, but another program holds it
  Missing,    // no such device, or no terminal
  Forbidden,  // there, but this user may not open it
};

// Looks at a device without changing it (see above).
DeviceUse probeDevice(const std::string& path,
                      const std::vector<std::string>& lockDirs = defaultLockDirectories());

// Turns `t` into a raw terminal with the line settings of `mode`. False when the baud rate
// has no termios speed.
bool makeRawTermios(const SerialMode& mode, bool flowControl, termios& t);

class PosixSerialPorts final : public SerialPorts {
 public:
  explicit PosixSerialPorts(EnvLookup env = hostEnvironment,
                            DirectoryLister lister = listDirectory,
                            std::string deviceDir = "/dev",
                            std::vector<std::string> lockDirs = defaultLockDirectories());

  // Queue sizes of the settings are not used: the kernel keeps its own buffers.
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override;
  // The line settings are not used either: a probe changes nothing (see above).
  bool probe(int port, const SerialSettings& settings) override;
  std::string deviceName(int port) const override { return devicePath(port); }
  PortProblem problem(int port) override;

  // The device COM `port` names now; empty when it names none.
  std::string devicePath(int port) const;

  // Opens a device by its path, with everything else as open() does it.
  static std::unique_ptr<SerialPort> openDevice(
      const std::string& path, const SerialSettings& settings,
      const std::vector<std::string>& lockDirs = defaultLockDirectories());

 private:
  EnvLookup env_;
  DirectoryLister lister_;
  std::string deviceDir_;
  std::vector<std::string> lockDirs_;
};

}  // namespace kw

#endif  // _WIN32
