// Faults of the bus link on the virtual clock: devices that go away and come back, ports
// that stall, stray bytes on event interfaces, and slots the FCC has no bus number for.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "buslink/link_fixture.h"

namespace kw::test {
namespace {

// How often `sequence` occurs in `bytes`.
int count(const B& bytes, const B& sequence) {
  int n = 0;
  for (auto it = bytes.begin();
       (it = std::search(it, bytes.end(), sequence.begin(), sequence.end())) != bytes.end();
       ++it)
    ++n;
  return n;
}

B fccFrame(uint8_t sx0At10, uint8_t sx1At7) {
  B f(322, 0);
  f[96 + 10] = sx0At10;
  f[96 + 113 + 7] = sx1At7;
  return f;
}

// A scripted FCC on `port`: a frame for every poll, the version for its request, an
// acknowledge for every write; nothing while `silent` is set.
struct FccScript {
  bool silent = false;
  std::vector<B> writes;
  B frame = fccFrame(0, 0);
  FccScript(Link& k, int port) {
    k.clock.every(1, [this, &k, port] {
      B out = k.line(port).take();
      for (size_t i = 0; i < out.size();) {
        if (out[i] == 0x78 && i + 1 < out.size() && out[i + 1] == 0xC3) {
          if (!silent) k.line(port).push(frame);
          i += 2;
        } else if (out[i] == 0x81) {
          if (!silent) k.line(port).push(B(7, 1));
          i += 1;
        } else if (i + 2 < out.size()) {
          writes.push_back({out[i], out[i + 1], out[i + 2]});
          if (!silent) k.line(port).push({0x00});
          i += 3;
        } else {
          break;
        }
      }
      return 1;
    });
  }
};

// ----- Devices that go away ---------------------------------------------------------------

TEST(Recovery, DeviceThatWentAwayIsOpenedAndStartedAgainForEveryClass) {
  struct Case {
    int type;
    B firstBytes;  // what the start sends first
  };
  const Case cases[] = {
      {1, polling::readRequest(0)},
      {0, polling::readRequest(0)},
      {3, mc2004::resetSequence()},
      {4, slx852::resetSequence()},
      {6, fcc::poll()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Link k;
    k.bus(0, 1, c.type);
    std::unique_ptr<FccScript> fcc;
    if (c.type == 6) fcc = std::make_unique<FccScript>(k, 1);
    k.link.openInterfaces();
    k.runFor(1100);
    FakeLine& l = k.line(1);
    ASSERT_EQ(l.opens, 1);
    // The adapter is pulled: the port is let go at once and shows that it cannot be opened.
    l.gone = true;
    l.refuse = true;
    k.cycles(1);
    EXPECT_EQ(k.link.portState(1), kPortOpenFailed);
    const int tries = l.tries;
    k.runFor(400);
    EXPECT_EQ(l.tries, tries);
    k.runFor(1);
    EXPECT_EQ(l.tries, tries + 1);  // every 400 ms
    // Plugged in again: opened and started as at start-up.
    l.gone = false;
    l.refuse = false;
    l.writes.clear();
    k.runFor(401);
    EXPECT_EQ(l.opens, 2);
    ASSERT_FALSE(l.writes.empty());
    EXPECT_EQ(l.writes.front().second, c.firstBytes);
    EXPECT_GE(k.link.portState(1), kPortNoConnection);
  }
}

TEST(Recovery, FccWhoseReopenFailsIsTriedAgainUntilItOpens) {
  Link k;
  k.bus(0, 1, 6);
  k.link.openInterfaces();  // nothing answers
  k.line(1).refuse = true;  // and the reopen after 700 ms fails
  k.runFor(702);
  EXPECT_EQ(k.link.portState(1), kPortOpenFailed);
  EXPECT_EQ(k.line(1).opens, 1);
  k.runFor(1000);
  EXPECT_EQ(k.line(1).opens, 1);
  k.line(1).refuse = false;
  k.runFor(401);
  EXPECT_EQ(k.line(1).opens, 2);
  EXPECT_EQ(k.link.portState(1), kPortOpened);  // open, starting
  FccScript fcc(k, 1);
  fcc.frame = fccFrame(9, 0);
  k.runFor(1000);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  EXPECT_EQ(k.state.mirror(0, 10), 9);
}

TEST(Recovery, PortThatNoBusUsesAnyMoreIsLeftAlone) {
  Link k;
  k.bus(0, 2, 6);  // an FCC that cannot be opened
  k.line(2).refuse = true;
  k.link.openInterfaces();
  k.runFor(1000);
  // The settings move bus 0 to an MC2004 on port 1; port 2 keeps its FCC type.
  k.bus(0, 1, 3);
  k.link.closeInterfaces(0);
  k.link.openInterfaces();
  const int tries = k.line(2).tries;
  k.runFor(3000);
  EXPECT_EQ(k.line(2).tries, tries);
  EXPECT_EQ(count(k.line(1).take(), mc2004::resetSequence()), 1);
  EXPECT_EQ(k.link.portState(2), kPortClosed);
}

TEST(Recovery, SilentFccIsReopenedAloneWhileTheOtherPortsRunOn) {
  Link k;
  k.bus(0, 1, 6);
  k.bus(2, 2, 3);
  k.link.openInterfaces();
  k.runFor(3000);
  EXPECT_GE(k.line(1).opens, 4);  // every 700 ms
  EXPECT_EQ(k.line(2).opens, 1);
  EXPECT_EQ(count(k.line(2).take(), mc2004::resetSequence()), 1);
}

// ----- Writes -------------------------------------------------------------------------------

TEST(Writes, EachWriteWaitsOnlyForItsOwnPort) {
  Link k;
  k.bus(0, 1, 6);  // FCC, silent: its write waits for a frame that does not come
  k.bus(2, 2, 1);  // polling interface
  k.bus(3, 3, 3);  // MC2004, in the pause after its reset
  k.link.openInterfaces();
  k.cycles(1);
  for (int n : {1, 2, 3}) k.line(n).take();
  k.link.writeQueue().push_back({0, 5, 1});
  k.link.writeQueue().push_back({3, 6, 2});
  k.link.writeQueue().push_back({2, 7, 3});
  k.cycles(1);
  EXPECT_EQ(k.line(2).take(), (B{0x87, 0x03}));
  EXPECT_TRUE(k.line(3).take().empty());
  EXPECT_EQ(k.link.writeQueue().size(), 2u);
  k.runFor(200);  // the MC2004 is started; its write follows its start
  B mc = k.line(3).take();
  ASSERT_GE(mc.size(), 3u);
  EXPECT_EQ(B(mc.end() - 3, mc.end()), (B{0xF0, 0x86, 0x02}));
  ASSERT_EQ(k.link.writeQueue().size(), 1u);
  EXPECT_EQ(k.link.writeQueue().front(), (BusWrite{0, 5, 1}));
}

TEST(Writes, Slx852SendsTheBusSelectionBeforeEveryWrite) {
  Link k;
  k.bus(0, 1, 4, false);
  k.bus(1, 1, 4, true);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).writes.clear();
  k.link.writeQueue().push_back({0, 10, 0x42});
  k.link.writeQueue().push_back({1, 11, 0x43});
  k.cycles(2);
  const auto& w = k.line(1).writes;
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0].second, (B{0xFE, 0x00}));
  EXPECT_EQ(w[1].second, (B{0x8A, 0x42}));
  EXPECT_EQ(w[2].second, (B{0xFE, 0x01}));
  EXPECT_EQ(w[3].second, (B{0x8B, 0x43}));
  EXPECT_EQ(k.state.mirror(0, 10), 0x42);
  EXPECT_EQ(k.state.mirror(1, 11), 0x43);
  EXPECT_EQ(k.state.mirror(1, 10), 0);
}

// ----- Stray bytes --------------------------------------------------------------------------

TEST(Resync, Mc2004LosesAtMostTheMessageAStrayByteHitsAndCountsIt) {
  struct Case {
    B stream;
    uint32_t dropped;
  };
  const B m5 = {0x80, 5, 0x11}, m6 = {0x80, 6, 0x22}, m7 = {0x80, 7, 0x33};
  auto cat = [](std::initializer_list<B> parts) {
    B out;
    for (const B& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const Case cases[] = {
      {cat({m5, m6, m7}), 0},
      {cat({m5, {0x5A}, m6, m7}), 1},
      {cat({m5, {0x80}, m6, m7}), 1},  // looks like a marker, but an address follows none
      {cat({m5, {0x81}, m6, m7}), 1},
      {cat({m5, {0x06}, m6, m7}), 1},
      {cat({{0x5A, 0x5A}, m5, m6, m7}), 2},
      {cat({{0x80, 5, 0x80}, m6, m7}), 0},  // a value of 0x80 is no marker
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.stream));
    Link k;
    k.bus(0, 1, 3);
    k.link.openInterfaces();
    k.runFor(210);
    k.line(1).push(c.stream);
    k.cycles(1);
    if (c.stream[2] != 0x80) {
      EXPECT_EQ(k.state.mirror(0, 5), 0x11);
    }
    EXPECT_EQ(k.state.mirror(0, 6), 0x22);
    EXPECT_EQ(k.state.mirror(0, 7), 0x33);
    EXPECT_EQ(k.link.droppedBytes(1), c.dropped);
  }
}

TEST(Resync, Mc2004StrayByteInsideAMessageCostsOnlyThatMessage) {
  Link k;
  k.bus(0, 1, 3);
  k.link.openInterfaces();
  k.runFor(210);
  k.line(1).push({0x80, 5, 0x5A, 0x11, 0x80, 6, 0x22, 0x80, 7, 0x33});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 6), 0x22);
  EXPECT_EQ(k.state.mirror(0, 7), 0x33);
  EXPECT_EQ(k.link.droppedBytes(1), 1u);
}

TEST(Resync, Slx852DropsALoneByteOnceTheLineIsQuiet) {
  Link k;
  k.bus(0, 1, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).push({127, 0x80});  // track power on
  k.cycles(1);
  ASSERT_EQ(k.state.centralPower.load(), 1);
  k.line(1).push({20, 0x05, 0x5A});  // a message and a stray byte after it
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 20), 0x05);
  k.runFor(kLoneByteMs + 1);
  EXPECT_EQ(k.link.droppedBytes(1), 1u);
  // Without the drop, 0x5A would pair with 21 and 109 with 22: a power message.
  k.line(1).push({21, 109, 22, 0x00});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 21), 109);
  EXPECT_EQ(k.state.mirror(0, 22), 0);
  EXPECT_EQ(k.state.centralPower.load(), 1);
}

TEST(Resync, Slx852KeepsAFirstByteWhosePartnerIsLate) {
  Link k;
  k.bus(0, 1, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).push({20});
  k.runFor(kLoneByteMs - 5);
  k.line(1).push({0x07});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 20), 7);
  EXPECT_EQ(k.link.droppedBytes(1), 0u);
}

TEST(Resync, Slx852WithoutAnSx1BusDropsFirstBytesOfThatBus) {
  Link k;
  k.bus(0, 1, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).push({30, 0x01, 0xA5, 31, 0x02});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 30), 1);
  EXPECT_EQ(k.state.mirror(0, 31), 2);
  EXPECT_EQ(k.link.droppedBytes(1), 1u);
}

TEST(Resync, PollingJunkDiscardedAtTheTimeoutIsCounted) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  k.line(1).push(B(9, 1));
  k.runFor(252);
  EXPECT_EQ(k.link.droppedBytes(1), 9u);
}

// ----- SLX852 restart -----------------------------------------------------------------------

TEST(Slx852Restart, EveryPortRestartsASecondAfterItsOwnCtsCameOn) {
  Link k;
  k.bus(0, 1, 4);
  k.bus(2, 2, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).cts = k.line(2).cts = false;
  k.cycles(1);
  k.line(1).cts = true;
  k.cycles(1);
  const Tick on1 = k.clock.now() - 1;
  k.runFor(300);
  k.line(2).cts = true;
  k.cycles(1);
  const Tick on2 = k.clock.now() - 1;
  k.line(1).writes.clear();
  k.line(2).writes.clear();
  k.runFor(1500);
  for (auto [n, on] : {std::pair{1, on1}, std::pair{2, on2}}) {
    SCOPED_TRACE(n);
    const auto& w = k.line(n).writes;
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w.front().second, slx852::resetSequence());
    EXPECT_EQ(tickDiff(w.front().first, on), 1001);
  }
}

TEST(Slx852Restart, ACtsBlipDoesNotShortenTheNextSecond) {
  Link k;
  k.bus(0, 1, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).cts = false;
  k.cycles(1);
  k.line(1).cts = true;  // a blip: on for 100 ms only
  k.runFor(100);
  k.line(1).cts = false;
  k.runFor(3000);
  k.line(1).writes.clear();
  k.line(1).cts = true;
  const Tick on = k.clock.now();
  k.runFor(1000);
  EXPECT_TRUE(k.line(1).writes.empty());
  k.runFor(2);
  ASSERT_FALSE(k.line(1).writes.empty());
  EXPECT_EQ(tickDiff(k.line(1).writes.front().first, on), 1001);
}

// ----- FCC bus slots ------------------------------------------------------------------------

TEST(FccSlots, SlotsBeyondOneReachTheBusTheirSx1FlagNames) {
  Link k;
  k.bus(3, 1, 6, false);
  k.bus(4, 1, 6, true);
  FccScript fcc(k, 1);
  fcc.frame = fccFrame(7, 0x21);
  k.state.setMirror(0, 10, 99);  // slot 0 is no bus of the FCC here
  k.link.openInterfaces();
  k.runFor(600);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  EXPECT_EQ(k.state.mirror(3, 10), 7);
  EXPECT_EQ(k.state.mirror(4, 7), 0x21);
  EXPECT_EQ(k.state.mirror(0, 10), 99);
  k.state.currentBus = 4;
  k.queue.submit(9, 0x44);
  k.runFor(20);
  k.state.currentBus = 3;
  k.queue.submit(9, 0x45);
  k.runFor(20);
  ASSERT_EQ(fcc.writes.size(), 2u);
  EXPECT_EQ(fcc.writes[0], (B{1, 0x89, 0x44}));
  EXPECT_EQ(fcc.writes[1], (B{0, 0x89, 0x45}));
}

TEST(FccSlots, SlotsZeroAndOneStayTheFccsTwoBuses) {
  Link k;
  k.bus(0, 1, 6, false);
  k.bus(1, 1, 6, false);  // without the SX1 flag, as older settings have it
  FccScript fcc(k, 1);
  fcc.frame = fccFrame(7, 0x21);
  k.link.openInterfaces();
  k.runFor(600);
  EXPECT_EQ(k.state.mirror(0, 10), 7);
  EXPECT_EQ(k.state.mirror(1, 7), 0x21);
  k.state.currentBus = 1;
  k.queue.submit(9, 0x44);
  k.runFor(20);
  ASSERT_EQ(fcc.writes.size(), 1u);
  EXPECT_EQ(fcc.writes[0], (B{1, 0x89, 0x44}));
}

}  // namespace
}  // namespace kw::test
