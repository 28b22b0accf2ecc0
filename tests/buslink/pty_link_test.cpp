// The real bus thread on the real clock, through the POSIX serial code, against
// kantelwerk-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <chrono>
#include <thread>

#include "buslink/bus_link.h"
#include "buslink/bus_thread.h"
#include "platform/headless_ui.h"
#include "platform/serial_posix.h"
#include "platform/worker.h"
#include "sim/sim_process.h"

namespace kw::test {
namespace {

struct RealLink {
  RealClock clock;
  HeadlessUi ui;
  BusState state;
  RequestQueue queue;
  SuitePreferences prefs = emptySuitePreferences();
  LanguageTexts texts;
  std::string device;
  PosixSerialPorts ports{[this](const char* name) -> const char* {
    return std::string(name) == "KANTELWERK_COM1" ? device.c_str() : nullptr;
  }};
  ThreadWorkerFactory workers{clock};
  BusLink link{state, queue, prefs, ports, clock, ui, texts};
  BusThread thread{state, link, clock, workers};

  RealLink(const std::string& path, int type) : device(path) {
    prefs.busTable[0] = {1, 1, 0};
    prefs.portConfig[1].typeIndex = static_cast<uint8_t>(type);
    link.openInterfaces();
    state.stopFlag = 0;
    thread.start();
  }
  ~RealLink() {
    thread.stop(50);
    link.closeInterfaces(0);
  }
  // Waits up to 5 s for the bus mirror to show `value` at `address` of bus 0.
  bool mirrorShows(int address, int value) {
    for (int i = 0; i < 500; ++i) {
      if (state.mirror(0, address) == value) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

void roundTrip(const char* cls, int type) {
  sim::test::SimProcess sim({"--class", cls});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  const std::string path = sim.terminalPath();
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
  RealLink k(path, type);
  ASSERT_NE(k.link.portState(1), kPortOpenFailed);

  sim.command("set 0 30 55");
  EXPECT_TRUE(k.mirrorShows(30, 55));
  EXPECT_EQ(k.link.portState(1), kPortRunning);

  k.queue.submit(40, 0x21);
  EXPECT_EQ(sim.lineStarting("write"), "write 0 40 33");
}

TEST(PseudoTerminal, PollingInterfaceRoundTrip) { roundTrip("1", 1); }
TEST(PseudoTerminal, Slx852RoundTrip) { roundTrip("3", 4); }

}  // namespace
}  // namespace kw::test

#endif
