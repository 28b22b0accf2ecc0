// A started program with every language text, talking through a simulated class-1
// interface on COM1 to bus 0, with a log of every write the interface receives and when.
// Programming and read-out tests drive it by clicks on the virtual timeline.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "forms/form.h"
#include "forms/form_fixture.h"
#include "sim/sim_serial.h"

namespace kw::test {

struct BusWriteSeen {
  Tick at = 0;
  int address = 0;
  int value = 0;
  bool operator==(const BusWriteSeen& o) const { return address == o.address && value == o.value; }
};

// Interface type 1 (class 1) at 57600 baud unless said otherwise: waits of 700 ms.
inline std::string moduleSuitePrefs(int type = 1, int baudIndex = 0) {
  return "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort01used = 1\r\n"
         "ComPort01Typ = " + std::to_string(type) + "\r\nComPort01Baud = " +
         std::to_string(baudIndex) + "\r\n";
}

struct ModuleHarness : FormHarness {
  struct Proxy final : SerialPorts {
    SerialPorts* target = nullptr;
    std::unique_ptr<SerialPort> open(int p, const SerialSettings& s) override {
      return target ? target->open(p, s) : nullptr;
    }
  };
  Proxy proxy;
  std::unique_ptr<sim::SimSerialPorts> ports;
  std::vector<BusWriteSeen> writes;
  // Called with each write as the interface applies it (a test's stand-in module).
  std::function<void(int address, int value)> onWrite;

  explicit ModuleHarness(const std::string& suitePrefs = moduleSuitePrefs()) {
    system.files[kSuitePreferencesFile] = suitePrefs;
    system.files[kProgramPreferencesFile] = "[Sprache]\r\nSprache = 1\r\n[Bus]\r\nBus = 0\r\n";
    ports = std::make_unique<sim::SimSerialPorts>(clock);
    ports->setAutoCreate(true, false);
    proxy.target = ports.get();
    serial = &proxy;
    ctx = std::make_unique<AppContext>(Platform{ui, clock, system, workers, *serial});
  }
  ~ModuleHarness() {
    ctx->bus.stopFlag = 1;
    clock.sleep(5);
    ctx->busLink.closeInterfaces(0);
  }

  sim::SimBus& bus() { return *ports->bus(1); }

  // Starts the program and lets the interface come up.
  void boot() {
    start();
    ui.defaultYesNoAnswer = mb::kAnswerYes;
    ports->device(1)->setWriteObserver([this](int b, int a, uint8_t v) {
      if (b != 0) return;
      writes.push_back({clock.now(), a, v});
      if (onWrite) onWrite(a, v);
    });
    run(300);
  }
  // Puts the bus into programming mode as a module would, and lets the program see it.
  void programmingModeOn() {
    bus().set(0, 106, 32);
    run(100);
  }
  void showFamily(int family, int innerTab = -1) {
    ui.inject({EventType::TabChanged, win::kMain, ctl::kFamilyTabs, family});
    ui.setState(win::kMain, ctl::kFamilyTabs, family);
    run(60);
    const int inner[] = {ctl::kFamily0Tabs, ctl::kFamily1Tabs, ctl::kFamily2Tabs, 0,
                         ctl::kFamily4Tabs};
    if (innerTab >= 0 && family <= 4 && inner[family] != 0) {
      ui.setState(win::kMain, inner[family], innerTab);
      ui.inject({EventType::TabChanged, win::kMain, inner[family], innerTab});
      run(60);
    }
  }
  void click(int control) { ui.inject({EventType::Click, win::kMain, control, 0}); }
  void setText(int control, const std::string& t) { ui.setText(win::kMain, control, t); }
  std::string text(int control) const { return ui.text(win::kMain, control); }
  // Clicks and runs until `ms` of virtual time have passed; returns the writes it made.
  std::vector<BusWriteSeen> press(int control, uint32_t ms) {
    const size_t before = writes.size();
    click(control);
    run(ms);
    return {writes.begin() + static_cast<std::ptrdiff_t>(before), writes.end()};
  }
  // The form is free again and the cancel button is the exit button once more.
  bool unlocked() const {
    return ui.enabled(win::kMain, ctl::kProgram) && text(ctl::kCancel) == t(503);
  }
};

// Writes as (address, value) pairs, for comparing without times.
inline std::vector<std::pair<int, int>> pairs(const std::vector<BusWriteSeen>& w) {
  std::vector<std::pair<int, int>> out;
  for (const auto& x : w) out.emplace_back(x.address, x.value);
  return out;
}

// Gaps between consecutive writes in ms (the pauses the sequence made).
inline std::vector<int> gaps(const std::vector<BusWriteSeen>& w) {
  std::vector<int> out;
  for (size_t i = 1; i < w.size(); ++i) out.push_back(tickDiff(w[i].at, w[i - 1].at));
  return out;
}

}  // namespace kw::test
