// The program's bus link against a standard interface whose pairing a lost or an extra
// host byte has shifted: the link's 250 ms rule (discard, restart at group 0) must bring
// the bus mirror back, as it would have to with a real interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "buslink/bus_link.h"
#include "platform/headless_ui.h"
#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

uint8_t valueOf(int address, int round) { return static_cast<uint8_t>(address * 7 + round); }

struct PollingLink {
  VirtualClock clock{10000};
  HeadlessUi ui{&clock};
  BusState state;
  RequestQueue queue;
  SuitePreferences prefs = emptySuitePreferences();
  SimSerialPorts ports{clock};
  LanguageTexts texts;
  BusLink link{state, queue, prefs, ports, clock, ui, texts};
  SimDevice* device = nullptr;
  SimBus* bus = nullptr;
  uint8_t lowestState = kPortRunning;

  explicit PollingLink(int type = 5, int baudIndex = 0) {
    WindowSpec w;
    ui.openWindow(win::kMain, w);
    ui.createStatusBar(win::kMain, {24, 126, 110, 24, 296, 140});
    prefs.busTable[0] = {1, 1, 0};
    prefs.portConfig[1].typeIndex = static_cast<uint8_t>(type);
    prefs.portConfig[1].baudIndex = baudIndex;
    device = ports.attach(1, type == 0 ? 4 : 1);
    bus = ports.bus(1);
  }
  void fill(int round) {
    for (int a = 0; a < 112; ++a) bus->set(0, a, valueOf(a, round));
  }
  void runFor(uint32_t ms) {
    const Tick end = clock.now() + ms;
    while (tickDiff(end, clock.now()) > 0) {
      link.cycle();
      lowestState = std::min(lowestState, link.portState(1));
      clock.sleep(1);
    }
  }
  // The first address whose mirror differs from the bus, or -1.
  int firstMismatch() const {
    for (int a = 0; a < 112; ++a)
      if (state.mirror(0, a) != bus->get(0, a)) return a;
    return -1;
  }
};

TEST(PolledRecovery, ShiftedPairingIsRecoveredByTheTimeoutRule) {
  struct Case {
    const char* what;
    int lost, junk;         // in the next poll request
    bool writeDuringShift;  // a write goes out right after the fault
    uint32_t dropped;       // bytes the link discards at its timeout
  };
  const Case cases[] = {
      // The junk byte is read as an address: nine answers instead of eight.
      {"junk byte", -1, 2, false, 9},
      // The answers stay right, but the pairing stays shifted: the write's address byte
      // becomes a dummy and is lost, its value an address whose answer spoils the poll.
      {"lost byte", 0, -1, true, 9},
  };
  // Every line speed of the standard interface (type 5) and the fast one (type 0).
  const std::pair<int, int> lines[] = {{5, 0}, {5, 1}, {5, 2}, {5, 3}, {0, 0}};
  for (const auto& [type, baudIndex] : lines)
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", type " + std::to_string(type) + " baud index " +
                 std::to_string(baudIndex));
    PollingLink k(type, baudIndex);
    k.fill(0);
    k.link.openInterfaces();
    k.runFor(300);
    ASSERT_EQ(k.link.portState(1), kPortRunning);
    ASSERT_EQ(k.firstMismatch(), -1);

    k.fill(1);
    k.lowestState = kPortRunning;
    // The next transmission is then the read request of group 48.
    while (k.link.port(1).pollGroup != 40) k.runFor(1);
    k.device->faults.lostHostByte = c.lost;
    k.device->faults.junkHostByte = c.junk;
    while (k.device->faults.lostHostByte >= 0 || k.device->faults.junkHostByte >= 0)
      k.runFor(1);
    if (c.writeDuringShift) k.link.writeQueue().push_back({0, 50, 0x21});
    k.runFor(1000);
    EXPECT_EQ(k.bus->get(0, 50), valueOf(50, 1));
    EXPECT_EQ(k.lowestState, kPortNoConnection);
    EXPECT_EQ(k.link.portState(1), kPortRunning);
    EXPECT_EQ(k.link.droppedBytes(1), c.dropped);
    EXPECT_EQ(k.firstMismatch(), -1);

    // Back in step: the next write goes through.
    k.link.writeQueue().push_back({0, 51, 0x22});
    k.runFor(600);
    EXPECT_EQ(k.bus->get(0, 51), 0x22);
    EXPECT_EQ(k.state.mirror(0, 51), 0x22);
    EXPECT_EQ(k.firstMismatch(), -1);
  }
}

}  // namespace
}  // namespace kw::sim::test
