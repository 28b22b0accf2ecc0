// A whole program on the virtual timeline: headless windows, in-memory files, virtual
// threads.
#pragma once

#include <memory>
#include <string>

#include "app/context.h"
#include "app/shell.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/memory_system.h"
#include "platform/serial.h"
#include "platform/worker.h"

namespace kw::test {

// A program language file with the texts the shell shows, tagged with the language.
inline std::string languageFile(const std::string& tag) {
  std::string f;
  auto line = [&](int n, const std::string& t) { f += std::to_string(n) + ", " + t + "\r\n"; };
  line(1, tag + " wait");
  for (int n : {2, 3, 4, 5, 6, 7, 8, 16, 17, 21, 22}) line(n, tag + " menu " + std::to_string(n));
  line(100, tag + " Modulprogrammierung");
  for (int n : {267, 492, 493, 494, 504, 505, 590, 591, 592, 593, 594, 620})
    line(n, tag + " text " + std::to_string(n));
  return f;
}

// A machine without serial ports.
class NoSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> open(int, const SerialSettings&) override { return nullptr; }
};

struct Harness {
  VirtualClock clock{5000};
  HeadlessUi ui{&clock};
  MemorySystem system;
  VirtualWorkerFactory workers{clock};
  NoSerialPorts noPorts;
  SerialPorts* serial = &noPorts;
  std::unique_ptr<AppContext> ctx;

  explicit Harness(SerialPorts* ports = nullptr) {
    if (ports) serial = ports;
    system.files["Kantel_V4.Lang_DE"] = languageFile("DE");
    system.files["Kantel_V4.Lang_EN"] = languageFile("EN");
    system.files["Kantel_V4.Lang_IT"] = languageFile("IT");
    system.files["Kantel_V4.Lang_FR"] = languageFile("FR");
    ctx = std::make_unique<AppContext>(Platform{ui, clock, system, workers, *serial});
  }
  ~Harness() {
    // Stop the virtual threads before the context goes away.
    ctx->bus.stopFlag = 1;
    ctx->clockEnd = 1;
    clock.sleep(20);
  }

  void start() { startUp(*ctx); }
  // Runs main-loop passes until `ms` of virtual time have gone by.
  void run(uint32_t ms) {
    Tick end = clock.now() + ms;
    while (tickDiff(end, clock.now()) > 0) mainLoopPass(*ctx);
  }
  // Runs `f`, expecting the program to end; returns the exit code or -1.
  template <typename F>
  int expectExit(F&& f) {
    try {
      f();
    } catch (const ProcessExit& e) {
      return e.code;
    }
    return -1;
  }
};

}  // namespace kw::test
