#include "buslink/bus_link.h"

#include <gtest/gtest.h>

#include "buslink/link_fixture.h"

namespace kw::test {
namespace {

// ----- Interface types ----------------------------------------------------------------

TEST(InterfaceTypes, PackedBlockGivesNamesRatesAndClasses) {
  InterfaceTypes t = buildInterfaceTypes();
  EXPECT_EQ(t[0].name, "ZAZO Advanced Interface III");
  EXPECT_EQ(t[0].bauds, (std::vector<uint32_t>{230400, 115200, 57600, 38400, 19200}));
  EXPECT_EQ(t[0].protocolClass, 4);
  EXPECT_EQ(t[2].bauds, (std::vector<uint32_t>{19200, 9600}));
  EXPECT_EQ(t[3].name, "M\xC3\x9CT MC2004");  // the Windows-1252 Ü shown as UTF-8
  EXPECT_EQ(t[3].protocolClass, 2);
  EXPECT_EQ(t[4].name, "Rautenhaus SLX852");
  EXPECT_EQ(t[4].protocolClass, 3);
  EXPECT_EQ(t[5].name, "Standard (66842, 66824, SLX825)");
  EXPECT_EQ(t[5].bauds.size(), 4u);
  EXPECT_EQ(t[6].name, "Future Central Control");
  EXPECT_EQ(t[6].bauds, std::vector<uint32_t>{230400});
  EXPECT_EQ(t[6].protocolClass, 5);
  EXPECT_EQ(baudFor(t, 1, 2), 19200u);
  EXPECT_EQ(baudFor(t, 1, 9), 57600u);  // beyond the list: the first rate
  EXPECT_EQ(baudFor(t, 200, 0), 0u);
}

// ----- Opening ------------------------------------------------------------------------

TEST(OpenInterfaces, DefaultPreferencesOpenNothing) {
  Link k;
  k.ports.lines[1];
  k.link.openInterfaces();
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(k.link.portState(n), kPortClosed);
  EXPECT_EQ(k.ports.lines[1].opens, 0);
}

TEST(OpenInterfaces, FccOpensWithModeStringAndMissingPortFails) {
  Link k;
  k.bus(0, 3, 6);
  k.bus(2, 5, 1);
  k.ports.lines.erase(5);  // no such device
  k.link.openInterfaces();
  EXPECT_EQ(k.line(3).settings.mode, "COM3:230400,n,8,1");
  EXPECT_EQ(k.prefs.portConfig[3].mode, "COM3:230400,n,8,1");
  EXPECT_EQ(k.link.portState(5), kPortOpenFailed);
  EXPECT_EQ(k.link.powerPort(), 5);  // the last port whose opening was attempted
  EXPECT_EQ(k.link.lastBaud(), 57600u);
}

TEST(OpenInterfaces, ProbeMarksPresentPortsAndSkipsOpenedOnes) {
  Link k;
  k.ports.lines[2];
  k.ports.lines[4];
  k.link.probePorts();
  EXPECT_EQ(k.prefs.portConfig[2].present, 1);
  EXPECT_EQ(k.prefs.portConfig[3].present, 0);
  EXPECT_EQ(k.line(2).settings.mode, "com2:9600,n,8,1");
  EXPECT_EQ(k.line(2).settings.inQueue, 10u);
  k.bus(0, 4, 1);
  k.link.openInterfaces();
  int opens = k.line(4).opens;
  k.link.probePorts();  // state 4: not probed again
  EXPECT_EQ(k.line(4).opens, opens);
}

TEST(OpenInterfaces, TwoBusesOnOneMc2004AreOpenedOnceWithOneBus1Selection) {
  Link k;
  k.bus(2, 1, 3, false);
  k.bus(3, 1, 3, true);
  Tick t0 = k.clock.now();
  k.link.openInterfaces();
  k.runFor(210);  // the start goes on in the cycle after the reset's pause
  EXPECT_EQ(k.line(1).opens, 1);
  const auto& w = k.line(1).writes;
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0].second, (B{0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05, 0x00, 0x70, 0xF1, 0x71,
                            0x05, 0x00, 0x70}));
  EXPECT_EQ(w[1].second, (B{0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01}));
  EXPECT_EQ(w[2].second, (B{0xF1, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01}));
  // 200 ms pause and a purge after the reset.
  EXPECT_EQ(tickDiff(w[1].first, w[0].first), 200);
  EXPECT_EQ(tickDiff(w[0].first, t0), 0);
  EXPECT_EQ(k.line(1).purges, 1);
  EXPECT_EQ(k.link.portState(1), kPortOpened);
}

TEST(OpenInterfaces, Mc2004WithCtsOffSendsNothing) {
  Link k;
  k.bus(0, 1, 3);
  k.line(1).cts = false;
  k.link.openInterfaces();
  EXPECT_TRUE(k.line(1).output.empty());
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
}

TEST(OpenInterfaces, Slx852WithSx1BusSendsStartThenBus1Selection) {
  Link k;
  k.bus(0, 2, 4, true);
  k.line(2).cts = false;  // not looked at when opening
  k.link.openInterfaces();
  EXPECT_EQ(k.link.portState(2), kPortOpened);  // until the start is done
  k.runFor(1001);
  const auto& w = k.line(2).writes;
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0].second, (B{0xFE, 0x50, 0xFE, 0x51}));
  EXPECT_EQ(w[1].second, (B{0xFE, 0xA0}));
  EXPECT_EQ(w[2].second, (B{0xFE, 0xA1}));
  EXPECT_EQ(tickDiff(w[1].first, w[0].first), 1000);
  EXPECT_EQ(k.link.portState(2), kPortRunning);
  k.cycles(1);  // the CTS watch begins once the start is done
  EXPECT_EQ(k.link.portState(2), kPortNoConnection);
}

TEST(CloseInterfaces, Mc2004GetsItsResetBeforeClosing) {
  Link k;
  k.bus(0, 1, 3);
  k.bus(1, 2, 1);
  k.link.openInterfaces();
  k.runFor(210);
  k.line(1).take();
  k.line(2).take();
  k.link.closeInterfaces(0);
  EXPECT_EQ(k.line(1).take().size(), 14u);
  EXPECT_TRUE(k.line(2).take().empty());
  EXPECT_EQ(k.link.portState(1), kPortClosed);
  EXPECT_EQ(k.link.portState(2), kPortClosed);
}

TEST(OpenInterfaces, PortRowsFollowPresenceAndState) {
  Link k;
  k.ui.openWindow(win::kSettings, WindowSpec{});
  for (int n = 1; n <= 8; ++n)
    for (int c : {166, 195, 203}) {
      ControlSpec s;
      s.id = c + n - 1;
      s.kind = c == 166 ? ControlKind::CheckBox : ControlKind::DropDown;
      k.ui.createControl(win::kSettings, s);
    }
  k.ports.lines[2];
  k.bus(0, 5, 1);
  k.link.openInterfaces();  // port 5 open (state 4), then the probe finds 2 and 5 in use
  k.link.probePorts();
  k.ui.setState(win::kSettings, 166, 1);  // port 1: neither present nor in use
  k.link.setPortRowsEnabled(true);
  EXPECT_FALSE(k.ui.enabled(win::kSettings, 166));
  EXPECT_EQ(k.ui.state(win::kSettings, 166), 0);
  EXPECT_TRUE(k.ui.enabled(win::kSettings, 167));
  EXPECT_TRUE(k.ui.enabled(win::kSettings, 196));
  EXPECT_TRUE(k.ui.enabled(win::kSettings, 207));  // port 5: in use
  k.link.setPortRowsEnabled(false);
  EXPECT_FALSE(k.ui.enabled(win::kSettings, 167));
  EXPECT_FALSE(k.link.portRowsEnabled());
}

// ----- Class 1 polling ----------------------------------------------------------------

// An answer is taken a cycle after it is complete, once the line has stayed quiet for
// a byte's time; hence two cycles after each pushed answer.
TEST(Polling, PollsGroupsInOrderThenPowerAddressThenStartsOver) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  std::vector<int> groups;
  auto note = [&] {
    B out = k.line(1).take();
    if (out.size() == 16) groups.push_back(out[0]);
    if (out == B{0x7F, 0x7F}) groups.push_back(127);
  };
  note();
  for (int i = 0; i < 16; ++i) {
    k.line(1).push(B(groups.back() == 127 ? 1 : 8, 0));
    k.cycles(2);
    note();
  }
  std::vector<int> expected = {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 127, 0, 8};
  EXPECT_EQ(groups, expected);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
}

TEST(Polling, ReadRequestRepeatsEachAddress) {
  EXPECT_EQ(polling::readRequest(8),
            (B{8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15}));
}

TEST(Polling, AnswerGoesIntoTheMirrorOfTheCurrentBus) {
  Link k;
  k.bus(4, 1, 1);
  k.state.currentBus = 4;
  k.link.openInterfaces();
  k.line(1).push({1, 2, 3, 4, 5, 6, 7, 8});
  k.cycles(2);
  for (int a = 0; a < 8; ++a) EXPECT_EQ(k.state.mirror(4, a), a + 1);
  EXPECT_EQ(k.state.mirror(0, 0), 0);
}

TEST(Polling, NineBytesAreDiscardedAfter250msAndPollingRecovers) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  k.line(1).push({1, 2, 3, 4, 5, 6, 7, 8});
  k.cycles(2);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  k.line(1).take();
  Tick asked = k.line(1).writes.back().first;
  k.line(1).push({9, 9, 9, 9, 9, 9, 9, 9, 9});  // one byte too many
  k.runFor(240);
  EXPECT_EQ(k.line(1).input.size(), 9u);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  k.runFor(20);
  EXPECT_TRUE(k.line(1).input.empty());
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
  auto& w = k.line(1).writes;
  EXPECT_EQ(w.back().second, polling::readRequest(0));
  EXPECT_EQ(tickDiff(w.back().first, asked), 251);
  EXPECT_EQ(k.state.mirror(0, 8), 0);  // nothing of the broken answer was taken
  k.line(1).push({7, 7, 7, 7, 7, 7, 7, 7});
  k.cycles(2);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  EXPECT_EQ(k.state.mirror(0, 0), 7);
}

TEST(Polling, AnswersOfAnotherBusPortAreReadAndDropped) {
  Link k;
  k.bus(0, 1, 1);
  k.bus(1, 2, 1);
  k.state.currentBus = 0;
  k.link.openInterfaces();
  k.line(2).push({5, 5, 5, 5, 5, 5, 5, 5});
  k.cycles(2);
  EXPECT_TRUE(k.line(2).input.empty());
  EXPECT_EQ(k.link.portState(2), kPortRunning);
  for (int a = 0; a < 8; ++a) {
    EXPECT_EQ(k.state.mirror(0, a), 0);
    EXPECT_EQ(k.state.mirror(1, a), 0);
  }
}

TEST(Polling, PowerAddressSwitchesPowerForBus0Only) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  for (int g = 0; g < 14; ++g) {
    k.line(1).push(B(8, 0));
    k.cycles(2);
  }
  k.line(1).push({0x80});
  k.cycles(2);
  EXPECT_EQ(k.state.mirror(0, 127), 0x80);
  EXPECT_EQ(k.state.centralPower.load(), 1);
  k.runFor(5);
  auto f = k.ui.statusField(win::kMain, 2);
  ASSERT_TRUE(f.draw.has_value());
  EXPECT_EQ(f.draw->text, "  <608>");
  EXPECT_EQ(f.draw->textColour, rgb(255, 0, 0));
  EXPECT_EQ(f.draw->background, rgb(232, 232, 232));
}

TEST(Polling, EchoGuardKeepsOwnWriteAgainstAStaleAnswer) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  k.line(1).take();
  k.queue.submit(3, 0x55);
  k.cycles(1);  // taken into the write queue
  k.cycles(1);  // sent
  EXPECT_EQ(k.line(1).writes.back().second, (B{0x83, 0x55}));
  EXPECT_EQ(k.state.mirror(0, 3), 0x55);
  EXPECT_NE(k.link.echoGuard(0, 3), 0u);
  // The interface answers group 0 with the old value of address 3 (0) but a new address 4.
  k.line(1).push({0, 0, 0, 0, 9, 0, 0, 0});
  k.cycles(2);
  EXPECT_EQ(k.state.mirror(0, 3), 0x55);
  EXPECT_EQ(k.state.mirror(0, 4), 9);
  // After 200 ms the guard has passed: a changed value is taken again.
  k.runFor(210);
  k.line(1).input.clear();
  for (int g = 0; g < 15; ++g) {
    k.line(1).push(B(k.link.port(1).pollGroup == 127 ? 1 : 8, 0));
    k.cycles(2);
  }
  EXPECT_EQ(k.state.mirror(0, 3), 0);
  EXPECT_EQ(k.link.echoGuard(0, 3), 0u);
}

TEST(Polling, WriteUpdatesMirrorOfEverySlotOnThePortWithTheSameSx1) {
  Link k;
  k.bus(0, 1, 1);
  k.bus(5, 1, 1);
  k.bus(6, 1, 1, true);
  k.link.openInterfaces();
  k.link.writeQueue().push_back({0, 20, 0x33});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 20), 0x33);
  EXPECT_EQ(k.state.mirror(5, 20), 0x33);
  EXPECT_EQ(k.state.mirror(6, 20), 0);
}

// ----- MC2004 -------------------------------------------------------------------------

TEST(Mc2004, MessagesGoToSlotsByTheirBusMarker) {
  Link k;
  k.bus(0, 1, 3, false);
  k.bus(2, 1, 3, true);
  k.link.openInterfaces();
  k.runFor(210);
  k.line(1).push({0x81, 0x05, 0x3C});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(2, 5), 0x3C);
  EXPECT_EQ(k.state.mirror(0, 5), 0);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
  k.line(1).push({0x80, 109, 0x80});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 127), 0x80);
  EXPECT_EQ(k.state.centralPower.load(), 1);
  k.line(1).push({0x81, 109, 0x00});  // the other bus's address 109 is an ordinary value
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 127), 0x80);
  EXPECT_EQ(k.state.mirror(2, 109), 0);
  EXPECT_EQ(k.state.centralPower.load(), 1);
  k.line(1).push({0x7E, 0x05, 0x01, 0x80, 0x06});  // no message, then half of the next
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(2, 5), 0x3C);
  EXPECT_EQ(k.link.droppedBytes(1), 3u);
  k.line(1).push({0x44});  // the rest of the half message
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(0, 6), 0x44);
}

TEST(Mc2004, WriteSendsBusMarkerThenAddressAndValue) {
  Link k;
  k.bus(3, 1, 3, true);
  k.link.openInterfaces();
  k.runFor(210);
  k.line(1).writes.clear();
  k.link.writeQueue().push_back({3, 10, 0x42});
  k.cycles(1);
  ASSERT_GE(k.line(1).writes.size(), 2u);
  EXPECT_EQ(k.line(1).writes[0].second, B{0xF1});
  EXPECT_EQ(k.line(1).writes[1].second, (B{0x8A, 0x42}));
}

TEST(Mc2004, CtsChangesRestartAndStop) {
  Link k;
  k.bus(0, 1, 3, false);
  k.bus(1, 1, 3, true);
  k.line(1).cts = false;
  k.link.openInterfaces();
  k.cycles(1);  // first look: off, as remembered? lastCts starts on, so this is a change
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
  k.line(1).take();
  k.line(1).cts = true;
  const Tick on = k.clock.now();
  k.cycles(1);
  EXPECT_EQ(k.line(1).take().size(), 14u);  // the reset; the start follows its pause
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
  k.runFor(205);
  B out = k.line(1).take();
  ASSERT_EQ(out.size(), 7u + 7u);
  EXPECT_EQ(out[0], 0xF0);
  EXPECT_EQ(out[7], 0xF1);
  EXPECT_EQ(tickDiff(k.line(1).writes.back().first, on), 200);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
}

// ----- SLX852 -------------------------------------------------------------------------

TEST(Slx852, MessageBitSevenSelectsTheBus) {
  Link k;
  k.bus(0, 1, 4, false);
  k.bus(1, 1, 4, true);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).push({0x85, 0x01, 0x05, 0x02});
  k.cycles(1);
  EXPECT_EQ(k.state.mirror(1, 5), 1);
  EXPECT_EQ(k.state.mirror(0, 5), 2);
  k.line(1).push({0x7F, 0x80});  // power on address 127
  k.cycles(1);
  EXPECT_EQ(k.state.centralPower.load(), 1);
  k.line(1).push({109, 0x00});
  k.cycles(1);
  EXPECT_EQ(k.state.centralPower.load(), 0);
}

TEST(Slx852, CtsOnRestartsAfterOneSecond) {
  Link k;
  k.bus(0, 1, 4);
  k.link.openInterfaces();
  k.runFor(1010);
  k.line(1).cts = false;
  k.cycles(1);
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
  k.line(1).take();
  k.line(1).cts = true;
  Tick on = k.clock.now();
  k.runFor(995);
  EXPECT_TRUE(k.line(1).output.empty());
  k.runFor(1010);
  auto& w = k.line(1).writes;
  ASSERT_GE(w.size(), 2u);
  EXPECT_EQ(w[w.size() - 2].second, (B{0xFE, 0x50, 0xFE, 0x51}));
  EXPECT_EQ(w.back().second, (B{0xFE, 0xA0}));
  int32_t after = tickDiff(w[w.size() - 2].first, on);
  EXPECT_GE(after, 1000);
  EXPECT_LE(after, 1002);
  EXPECT_EQ(tickDiff(w.back().first, w[w.size() - 2].first), 1000);
  EXPECT_EQ(k.link.portState(1), kPortRunning);
}

// ----- FCC ----------------------------------------------------------------------------

B fccFrame(size_t size, uint8_t sx0Value10, bool power) {
  B f(size, 0);
  size_t bus = size - 226;
  f[bus + 10] = sx0Value10;
  f[bus + 112] = power ? 1 : 0;
  f[bus + 113 + 7] = 0x21;  // SX1 address 7
  return f;
}

TEST(Fcc, StartFindsTheFrameSizeAndDecodesFrames) {
  for (size_t size : {size_t{322}, size_t{418}}) {
    Link k;
    k.bus(0, 1, 6);
    k.bus(1, 1, 6, true);
    // The device answers the first poll with a frame and the version request with 7 bytes.
    FakeLine& l = k.line(1);
    l.push(B{0xAA, 0xBB});  // stale bytes, discarded first
    k.clock.every(1, [&, size]() -> int {
      B out = l.take();
      if (out == fcc::poll() && k.link.fccFrameSize() == 0) l.push(fccFrame(size, 0, false));
      if (out == fcc::versionRequest()) l.push(B(7, 1));
      return out.empty() && k.link.fccFrameSize() ? -1 : 1;
    });
    k.link.openInterfaces();
    k.runFor(500);
    EXPECT_EQ(k.link.fccFrameSize(), static_cast<int>(size));
    l.push(fccFrame(size, 7, true));
    k.cycles(1);
    EXPECT_EQ(k.state.mirror(0, 10), 7);
    EXPECT_EQ(k.state.mirror(1, 7), 0x21);
    EXPECT_EQ(k.state.centralPower.load(), 1);
    EXPECT_EQ(k.link.portState(1), kPortRunning);
    EXPECT_EQ(l.writes.back().second, fcc::poll());
  }
}

TEST(Fcc, QueuedWriteIsSentInsteadOfTheNextPoll) {
  Link k;
  k.bus(0, 1, 6);
  k.bus(1, 1, 6, true);
  FakeLine& l = k.line(1);
  k.clock.every(1, [&]() -> int {
    if (l.take() == fcc::poll() && k.link.fccFrameSize() == 0) l.push(B(322, 0));
    return k.link.fccFrameSize() ? -1 : 1;
  });
  k.link.openInterfaces();
  k.runFor(500);
  k.state.currentBus = 1;
  k.queue.submit(9, 0x44);
  k.cycles(2);  // taken into the write queue; the FCC keeps it until the next frame
  EXPECT_EQ(k.link.writeQueue().size(), 1u);
  l.take();
  l.push(B(322, 0));
  k.cycles(1);
  EXPECT_EQ(l.take(), (B{1, 0x89, 0x44}));
  EXPECT_TRUE(k.link.writeQueue().empty());
  l.push({0x06});  // acknowledge
  k.cycles(1);
  EXPECT_EQ(l.take(), fcc::poll());
}

TEST(Fcc, SilentCentralIsReopenedEvery700ms) {
  Link k;
  k.bus(0, 1, 6);
  k.link.openInterfaces();
  // The start itself takes 500 ms; the 700 ms count from its first poll.
  Tick firstPoll = k.line(1).writes.front().first;
  k.runFor(700);
  EXPECT_EQ(k.line(1).opens, 1);
  k.runFor(2);
  EXPECT_EQ(k.line(1).opens, 2);
  Tick secondPoll = 0;
  for (auto& [t, b] : k.line(1).writes)
    if (b == fcc::poll() && tickDiff(t, firstPoll) > 450 && !secondPoll) secondPoll = t;
  EXPECT_GE(tickDiff(secondPoll, firstPoll), 701);
  EXPECT_LE(tickDiff(secondPoll, firstPoll), 702);
  EXPECT_EQ(k.link.portState(1), kPortNoConnection);
}

TEST(Fcc, PortThatCannotBeOpenedIsTriedEvery400ms) {
  Link k;
  k.bus(0, 1, 6);
  k.line(1).refuse = true;
  k.link.openInterfaces();
  EXPECT_EQ(k.link.portState(1), kPortOpenFailed);
  k.runFor(350);
  k.line(1).refuse = false;
  k.runFor(100);
  EXPECT_EQ(k.line(1).opens, 1);
}

// ----- Display ------------------------------------------------------------------------

TEST(Display, StatusBarFollowsPortStates) {
  Link k;
  k.bus(0, 2, 1);
  k.bus(1, 3, 1);
  k.ports.lines.erase(3);
  k.link.openInterfaces();
  k.cycles(1);
  // Port 3 failed; it is shown after port 2 in the same pass, so its texts win.
  EXPECT_EQ(k.ui.statusField(win::kMain, 1).text, "Com 3<596>");
  EXPECT_EQ(k.ui.statusField(win::kMain, 0).image, 130);
  EXPECT_EQ(k.ui.statusField(win::kMain, 3).image, 130);
  k.line(2).push(B(8, 0));
  k.runFor(210);
  EXPECT_EQ(k.ui.statusField(win::kMain, 1).text, "<601>");
  EXPECT_EQ(k.ui.statusField(win::kMain, 0).image, 128);
  k.runFor(300);  // no answer: state 3
  EXPECT_EQ(k.ui.statusField(win::kMain, 1).text, "Com 2<598>");
  EXPECT_EQ(k.ui.statusField(win::kMain, 0).image, 132);
  EXPECT_EQ(k.ui.statusField(win::kMain, 4).text, "<599>");
}

TEST(Display, ProgrammingModeFollowsBit5OfAddress106) {
  Link k;
  k.bus(0, 1, 1);
  k.link.openInterfaces();
  ControlSpec c;
  for (int id : {2332, 751, 700, 747}) {
    c.id = id;
    k.ui.createControl(win::kMain, c);
  }
  k.cycles(1);
  EXPECT_EQ(k.state.programmingMode.load(), 0);
  EXPECT_EQ(k.ui.statusField(win::kMain, 4).text, "<607>");
  k.queue.submit(106, 0x20);
  k.cycles(3);
  EXPECT_EQ(k.state.programmingMode.load(), 1);
  EXPECT_EQ(k.ui.statusField(win::kMain, 4).text, "<605>");
  EXPECT_EQ(k.ui.statusField(win::kMain, 3).image, 128);
  EXPECT_EQ(k.ui.text(win::kMain, 2332), "<701>");
  EXPECT_EQ(k.ui.text(win::kMain, 751), "<606>");
  EXPECT_FALSE(k.ui.enabled(win::kMain, 747));
  k.queue.submit(106, 0);
  k.cycles(3);
  EXPECT_EQ(k.state.programmingMode.load(), 0);
  EXPECT_EQ(k.ui.text(win::kMain, 2332), "<700>");
  EXPECT_EQ(k.ui.text(win::kMain, 751), "");
  EXPECT_TRUE(k.ui.enabled(win::kMain, 700));
}

TEST(Cycle, StopFlagEndsTheCycleWithoutHoldingTheLock) {
  Link k;
  k.state.stopFlag = 1;
  EXPECT_EQ(k.link.cycle(), -1);
  EXPECT_TRUE(k.link.busMutex().try_lock());
  k.link.busMutex().unlock();
  k.state.stopFlag = 0;
  EXPECT_EQ(k.link.cycle(), static_cast<int>(kMaxIdleMs));  // nothing open: nothing due
}

TEST(Cycle, DamagedPortNumbersAndTypesNeverIndexOutOfRange) {
  Link k;
  k.prefs.busTable[0] = {200, 1, 0};
  k.prefs.busTable[1] = {2, 1, 0};
  k.prefs.portConfig[2].typeIndex = 99;
  k.ports.lines[2];
  k.link.openInterfaces();
  EXPECT_EQ(k.link.portState(2), kPortOpenFailed);
  k.queue.append({2, 500, 1});  // address out of range: dropped
  k.queue.submit(5, 5);
  k.cycles(5);
  EXPECT_TRUE(k.link.writeQueue().empty());
}

}  // namespace
}  // namespace kw::test
