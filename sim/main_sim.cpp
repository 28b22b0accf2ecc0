// kantelwerk-sim: one simulated interface device or central unit on a pseudo-terminal, so
// that the program's real serial code can talk to it.
//
//   kantelwerk-sim --class N [--frame 322|418] [--baud B] [--demo] [--modules]
//                  [--set BUS:ADDR=VAL]...
//
//   --class N    protocol class: 1 or 4 polled, 2 MC2004, 3 SLX852, 5 FCC
//   --frame F    FCC state frame size, 322 (default) or 418
//   --baud B     line speed the answers are timed with (default depends on the class);
//                the pseudo-terminal itself ignores baud rates
//   --demo       a few bus addresses change by themselves every 500 ms
//   --modules    the standard layout of simulated modules on SX0 (see sim/sim_modules.h
//                and the README): one module of every family and sub-type to select,
//                read out and program
//   --set B:A=V  bus value before the device starts (bus 0 or 1, address 0..127)
//
// The first line on stdout is the path of the terminal to open, for example
//   kantelwerk-sim --class 3 --demo > sim.log &
//   sleep 1; KANTELWERK_COM1=$(head -1 sim.log) kantelwerk
// The device then runs until the process is killed. Each host write the device carries
// out is printed as "write BUS ADDR VAL".
//
// Commands on stdin, one per line (numbers decimal or 0x hex):
//   set BUS ADDR VAL    change a bus value, as a module on the layout would
//   get BUS ADDR        prints "value BUS ADDR VAL"
//   power 0|1           track power off/on
//   demo 0|1            demo mode off/on
//   silent 0|1          the device stops/resumes answering
//   delay MS            extra delay before every answer
//   junk N / drop N     the next answer gets N junk bytes more / N bytes fewer
// With --modules, a module is named by its family F, or by F/S for one sub-type (0/16);
// the fault commands apply to every module so named:
//   key F               presses the programming key of family F's module (5..9); prints
//                       "key F on", "key F off", or "key F none" when there is no key
//   param F P           prints "param F P A1 A2 A3", what the module answers for P
//   silent F 0|1        the module stops/resumes answering (also its key)
//   late F MS           the module answers MS ms later than usual
//   wrongversion F 0|1  the module reports a version the program does not accept
//   keep107 F 0|1       the selection answer leaves address 107 as the host wrote it
// Unknown lines are ignored. Commands are handled in order, so "get" after "set" can be
// used to wait until the set has been done.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_modules.h"

namespace {

using kw::sim::SimBus;
using kw::sim::SimDevice;
using kw::sim::SimModule;
using Modules = std::vector<std::shared_ptr<SimModule>>;

void usage() {
  std::fprintf(stderr,
               "usage: kantelwerk-sim --class N [--frame 322|418] [--baud B] [--demo] "
               "[--modules] [--set BUS:ADDR=VAL]...\n");
}

bool parseNumber(const std::string& text, long min, long max, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

// "BUS:ADDR=VAL"
bool parseAssignment(const std::string& text, long& bus, long& address, long& value) {
  const size_t colon = text.find(':');
  const size_t equals = text.find('=');
  if (colon == std::string::npos || equals == std::string::npos || equals < colon) return false;
  return parseNumber(text.substr(0, colon), 0, 1, bus) &&
         parseNumber(text.substr(colon + 1, equals - colon - 1), 0, 127, address) &&
         parseNumber(text.substr(equals + 1), 0, 255, value);
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// "F" or "F/S": the modules of family F (of sub-type S).
Modules selectModules(const std::string& text, const SimBus& bus) {
  const size_t slash = text.find('/');
  long family = 0, subtype = 0;
  if (!parseNumber(text.substr(0, slash), 0, 10, family)) return {};
  if (slash != std::string::npos && !parseNumber(text.substr(slash + 1), 1, 9999, subtype))
    return {};
  Modules out;
  for (auto& m : kw::sim::modulesOn(bus))
    if (m->family() == family && (subtype == 0 || m->subtype() == subtype)) out.push_back(m);
  return out;
}

void pressKey(const std::string& name, const SimBus& bus) {
  for (auto& m : selectModules(name, bus)) {
    if (!m->hasKey()) continue;
    if (m->pressKey()) {
      printLine("key " + name + (m->inProgrammingMode() ? " on" : " off"));
      return;
    }
  }
  printLine("key " + name + " none");
}

void printParameter(const std::string& name, long p, const SimBus& bus) {
  const Modules modules = selectModules(name, bus);
  if (modules.empty()) return;
  const auto v = modules.front()->parameter(static_cast<int>(p));
  printLine("param " + name + " " + std::to_string(p) + " " + std::to_string(v[0]) + " " +
            std::to_string(v[1]) + " " + std::to_string(v[2]));
}

// The module commands; false when `word` is none of them.
bool moduleCommand(const std::string& word, const std::vector<std::string>& args,
                   const SimBus& bus) {
  long a = 0;
  if (word == "key" && args.size() == 1) {
    pressKey(args[0], bus);
  } else if (word == "param" && args.size() == 2 && parseNumber(args[1], 0, 255, a)) {
    printParameter(args[0], a, bus);
  } else if (args.size() != 2) {
    return false;
  } else if (word == "silent" && parseNumber(args[1], 0, 1, a)) {
    for (auto& m : selectModules(args[0], bus)) m->faults.silent = a != 0;
  } else if (word == "late" && parseNumber(args[1], 0, 60000, a)) {
    for (auto& m : selectModules(args[0], bus)) m->faults.lateMs = static_cast<uint32_t>(a);
  } else if (word == "wrongversion" && parseNumber(args[1], 0, 1, a)) {
    for (auto& m : selectModules(args[0], bus)) m->faults.wrongVersion = a != 0;
  } else if (word == "keep107" && parseNumber(args[1], 0, 1, a)) {
    for (auto& m : selectModules(args[0], bus)) m->faults.keepAddress = a != 0;
  } else {
    return false;
  }
  return true;
}

void command(const std::string& line, SimBus& bus, SimDevice& device) {
  std::istringstream in(line);
  std::string word;
  std::vector<std::string> args;
  in >> word;
  for (std::string a; in >> a;) args.push_back(a);
  long a = 0, b = 0, c = 0;
  if (moduleCommand(word, args, bus)) return;
  if (word == "set" && args.size() == 3 && parseNumber(args[0], 0, 1, a) &&
      parseNumber(args[1], 0, 127, b) && parseNumber(args[2], 0, 255, c)) {
    bus.set(static_cast<int>(a), static_cast<int>(b), static_cast<uint8_t>(c));
  } else if (word == "get" && args.size() == 2 && parseNumber(args[0], 0, 1, a) &&
             parseNumber(args[1], 0, 127, b)) {
    printLine("value " + std::to_string(a) + " " + std::to_string(b) + " " +
              std::to_string(bus.get(static_cast<int>(a), static_cast<int>(b))));
  } else if (word == "power" && args.size() == 1 && parseNumber(args[0], 0, 1, a)) {
    bus.setPower(a != 0);
  } else if (word == "demo" && args.size() == 1 && parseNumber(args[0], 0, 1, a)) {
    bus.setDemo(a != 0);
  } else if (word == "silent" && args.size() == 1 && parseNumber(args[0], 0, 1, a)) {
    device.faults.silent = a != 0;
  } else if (word == "delay" && args.size() == 1 && parseNumber(args[0], 0, 60000, a)) {
    device.faults.delayMs = static_cast<uint32_t>(a);
  } else if (word == "junk" && args.size() == 1 && parseNumber(args[0], 0, 4096, a)) {
    device.faults.extraBytes = static_cast<int>(a);
  } else if (word == "drop" && args.size() == 1 && parseNumber(args[0], 0, 4096, a)) {
    device.faults.missingBytes = static_cast<int>(a);
  }
}

// Opens a pseudo-terminal in raw mode. Returns the master; `slave` stays open here so the
// terminal does not hang up between two opens by the program.
int openTerminal(std::string& path, int& slave) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return -1;
  if (grantpt(master) != 0 || unlockpt(master) != 0) {
    close(master);
    return -1;
  }
  const char* name = ptsname(master);
  if (name == nullptr) {
    close(master);
    return -1;
  }
  path = name;
  slave = open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) {
    close(master);
    return -1;
  }
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
  }
  const int flags = fcntl(master, F_GETFL);
  fcntl(master, F_SETFL, flags | O_NONBLOCK);
  return master;
}

}  // namespace

int main(int argc, char** argv) {
  long protocolClass = 0, frameSize = 322, baud = 0;
  bool demo = false;
  bool modules = false;
  std::vector<std::string> sets;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--class" && hasValue) {
      if (!parseNumber(argv[++i], 1, 5, protocolClass)) return usage(), 2;
    } else if (arg == "--frame" && hasValue) {
      if (!parseNumber(argv[++i], 0, 1000, frameSize) || (frameSize != 322 && frameSize != 418))
        return usage(), 2;
    } else if (arg == "--baud" && hasValue) {
      if (!parseNumber(argv[++i], 300, 10000000, baud)) return usage(), 2;
    } else if (arg == "--demo") {
      demo = true;
    } else if (arg == "--modules") {
      modules = true;
    } else if (arg == "--set" && hasValue) {
      sets.push_back(argv[++i]);
    } else {
      usage();
      return 2;
    }
  }
  if (protocolClass == 0) {
    usage();
    return 2;
  }

  SimBus bus;
  for (const auto& s : sets) {
    long b = 0, a = 0, v = 0;
    if (!parseAssignment(s, b, a, v)) return usage(), 2;
    bus.set(static_cast<int>(b), static_cast<int>(a), static_cast<uint8_t>(v));
  }
  if (demo) bus.setDemo(true);
  if (modules) kw::sim::addStandardLayout(bus);
  std::unique_ptr<SimDevice> device =
      kw::sim::makeDevice(static_cast<int>(protocolClass), bus, static_cast<int>(frameSize));
  if (!device) return usage(), 2;
  if (baud > 0) device->setBaud(static_cast<uint32_t>(baud));
  device->setWriteObserver([](int b, int a, uint8_t v) {
    printLine("write " + std::to_string(b) + " " + std::to_string(a) + " " + std::to_string(v));
  });

  // A reader that went away must not end the device.
  signal(SIGPIPE, SIG_IGN);

  std::string path;
  int slave = -1;
  const int master = openTerminal(path, slave);
  if (master < 0) {
    std::fprintf(stderr, "kantelwerk-sim: no pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  printLine(path);

  kw::RealClock clock;
  bool stdinOpen = true;
  std::string stdinLine;
  std::vector<uint8_t> toHost;
  uint8_t buffer[4096];
  for (;;) {
    pollfd fds[2] = {{master, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
    if (poll(fds, 2, 1) < 0 && errno != EINTR) break;

    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) device->receive(buffer, static_cast<size_t>(n), clock.now());
    }
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      const ssize_t n = ::read(0, buffer, sizeof buffer);
      if (n <= 0) {
        stdinOpen = false;
      } else {
        for (ssize_t i = 0; i < n; ++i) {
          const char ch = static_cast<char>(buffer[i]);
          if (ch == '\n') {
            command(stdinLine, bus, *device);
            stdinLine.clear();
          } else if (ch != '\r' && stdinLine.size() < 256) {
            stdinLine += ch;
          }
        }
      }
    }

    // Answers leave when their time on the simulated line has come.
    const kw::Tick now = clock.now();
    const int ready = device->available(now);
    if (ready > 0) {
      const size_t start = toHost.size();
      toHost.resize(start + static_cast<size_t>(ready));
      toHost.resize(start + device->read(toHost.data() + start, static_cast<size_t>(ready), now));
    }
    if (!toHost.empty()) {
      const ssize_t n = ::write(master, toHost.data(), toHost.size());
      if (n > 0) toHost.erase(toHost.begin(), toHost.begin() + n);
    }
  }
  close(slave);
  close(master);
  return 0;
}
