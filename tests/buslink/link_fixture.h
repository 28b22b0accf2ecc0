// A bus link on the virtual clock with scripted serial ports and a headless main window.
#pragma once

#include <string>
#include <vector>

#include "buslink/bus_link.h"
#include "buslink/fake_serial.h"
#include "platform/headless_ui.h"

namespace kw::test {

using B = std::vector<uint8_t>;

struct Link {
  VirtualClock clock{10000};
  HeadlessUi ui{&clock};
  BusState state;
  RequestQueue queue;
  SuitePreferences prefs = emptySuitePreferences();
  FakeSerialPorts ports{&clock};
  LanguageTexts texts;
  BusLink link{state, queue, prefs, ports, clock, ui, texts};

  Link() {
    WindowSpec w;
    ui.openWindow(win::kMain, w);
    ui.createStatusBar(win::kMain, {24, 126, 110, 24, 296, 140});
    for (int n : {596, 597, 598, 599, 600, 601, 605, 606, 607, 608, 609, 700, 701})
      texts.mainTable[n - 100] = "<" + std::to_string(n) + ">";
  }
  // Bus b on COM port with interface type t.
  void bus(int b, int port, int type, bool sx1 = false, int baudIndex = 0) {
    prefs.busTable[b] = {static_cast<uint8_t>(port), 1, static_cast<uint8_t>(sx1 ? 1 : 0)};
    prefs.portConfig[port].typeIndex = static_cast<uint8_t>(type);
    prefs.portConfig[port].baudIndex = baudIndex;
    ports.lines[port];
  }
  FakeLine& line(int port) { return ports.lines[port]; }
  void cycles(int n) {
    for (int i = 0; i < n; ++i) {
      link.cycle();
      clock.sleep(1);
    }
  }
  // Runs cycles until `ms` have passed.
  void runFor(uint32_t ms) {
    Tick end = clock.now() + ms;
    while (tickDiff(end, clock.now()) > 0) cycles(1);
  }
};

}  // namespace kw::test
