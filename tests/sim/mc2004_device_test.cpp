#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

const Bytes kReset{0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05, 0x00, 0x70, 0xF1, 0x71, 0x05, 0x00, 0x70};
const Bytes kStart{0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01};
const Bytes kBus1{0xF1, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01};

Bytes message(int bus, int address, int value) {
  return {static_cast<uint8_t>(bus ? 0x81 : 0x80), static_cast<uint8_t>(address),
          static_cast<uint8_t>(value)};
}

Bytes dump(const SimBus& bus, int b) {
  Bytes out;
  for (int a = 0; a < 128; ++a) {
    uint8_t v = bus.get(b, a);
    if (b == 0 && a == 109) v = (v & 0x7F) | (bus.power() ? 0x80 : 0);
    auto m = message(b, a, v);
    out.insert(out.end(), m.begin(), m.end());
  }
  return out;
}

// Reset, the host's 200 ms pause and purge, then the bus-0 start.
void start(Rig& rig) {
  rig.send(kReset);
  rig.clock.sleep(200);
  rig.port->purge();
  rig.send(kStart);
}

TEST(Mc2004Device, CtsIsOn) {
  Rig rig(2, 38400);
  EXPECT_TRUE(rig.port->cts());
}

TEST(Mc2004Device, SendsNothingBeforeTheStart) {
  Rig rig(2, 38400);
  rig.bus->set(0, 5, 1);
  EXPECT_TRUE(after(rig.clock, *rig.port, 300).empty());
  rig.send(kReset);
  EXPECT_TRUE(after(rig.clock, *rig.port, 300).empty());
}

TEST(Mc2004Device, StartDumpsSx0ThenReportsChanges) {
  Rig rig(2, 38400);
  rig.bus->set(0, 5, 0x3C);
  rig.bus->set(0, 109, 0x01);
  rig.bus->set(1, 5, 0x77);
  start(rig);
  const Bytes got = after(rig.clock, *rig.port, 200);
  ASSERT_EQ(got.size(), 384u);
  EXPECT_EQ(got, dump(*rig.bus, 0));
  EXPECT_EQ(Bytes(got.begin() + 15, got.begin() + 18), message(0, 5, 0x3C));
  // 109 carries the track power in bit 7.
  EXPECT_EQ(Bytes(got.begin() + 327, got.begin() + 330), message(0, 109, 0x81));
  EXPECT_EQ(Bytes(got.begin() + 381, got.end()), message(0, 127, 0x80));

  rig.bus->set(0, 7, 9);
  rig.bus->set(1, 7, 9);  // SX1 has not been selected
  rig.bus->set(0, 8, 10);
  EXPECT_EQ(after(rig.clock, *rig.port, 20),
            (Bytes{0x80, 7, 9, 0x80, 8, 10}));
  EXPECT_TRUE(after(rig.clock, *rig.port, 100).empty());
}

TEST(Mc2004Device, DumpTakesItsTimeOnTheLine) {
  Rig rig(2, 38400);
  start(rig);
  // 384 bytes at 38400 baud: 100 ms after the 1 ms turnaround; 260 us per byte.
  rig.clock.sleep(100);
  EXPECT_EQ(rig.port->waiting(), 380);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 384);
}

TEST(Mc2004Device, Bus1SelectionDumpsSx1AndReportsItsChanges) {
  Rig rig(2, 38400);
  rig.bus->set(1, 5, 0x3C);
  start(rig);
  rig.send(kBus1);
  const Bytes got = after(rig.clock, *rig.port, 300);
  ASSERT_EQ(got.size(), 768u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 384), dump(*rig.bus, 0));
  EXPECT_EQ(Bytes(got.begin() + 384, got.end()), dump(*rig.bus, 1));
  EXPECT_EQ(Bytes(got.begin() + 399, got.begin() + 402), message(1, 5, 0x3C));
  rig.bus->set(1, 5, 0x3D);
  rig.bus->set(0, 6, 0x01);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x81, 5, 0x3D, 0x80, 6, 0x01}));
}

TEST(Mc2004Device, StartWithoutResetIsIgnored) {
  Rig rig(2, 38400);
  rig.send(kStart);
  EXPECT_TRUE(after(rig.clock, *rig.port, 300).empty());
}

TEST(Mc2004Device, ResetSilencesIt) {
  Rig rig(2, 38400);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.send(kReset);
  rig.bus->set(0, 5, 5);
  EXPECT_TRUE(after(rig.clock, *rig.port, 300).empty());
}

TEST(Mc2004Device, PowerChangeIsReportedOn127And109) {
  Rig rig(2, 38400);
  rig.bus->set(0, 109, 0x05);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.bus->setPower(false);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x80, 127, 0x00, 0x80, 109, 0x05}));
  rig.bus->setPower(true);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x80, 127, 0x80, 0x80, 109, 0x85}));
}

TEST(Mc2004Device, WriteWithMarkerInSeparateTransmissionsIsAppliedAndReported) {
  Rig rig(2, 38400);
  start(rig);
  rig.send(kBus1);
  after(rig.clock, *rig.port, 300);
  std::vector<std::tuple<int, int, int>> writes;
  rig.device->setWriteObserver([&](int b, int a, uint8_t v) { writes.emplace_back(b, a, v); });

  rig.send({0xF0});
  rig.send({0x85, 0x3C});
  EXPECT_EQ(rig.bus->get(0, 5), 0x3C);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), message(0, 5, 0x3C));
  // The same value again is still confirmed.
  rig.send({0xF0});
  rig.send({0x85, 0x3C});
  EXPECT_EQ(after(rig.clock, *rig.port, 10), message(0, 5, 0x3C));

  rig.send({0xF1});
  rig.send({0x85, 0x41});
  EXPECT_EQ(rig.bus->get(1, 5), 0x41);
  EXPECT_EQ(rig.bus->get(0, 5), 0x3C);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), message(1, 5, 0x41));
  EXPECT_EQ(writes, (std::vector<std::tuple<int, int, int>>{
                        {0, 5, 0x3C}, {0, 5, 0x3C}, {1, 5, 0x41}}));
}

TEST(Mc2004Device, WritesGoToTheLastSelectedBus) {
  // The selection stays, and a byte below 0x80 on its own is a read. (This used to take a
  // write only right after its marker and ignore lone address bytes.)
  Rig rig(2, 38400);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.send({0x85, 0x3C});
  rig.send({0xF1, 0x05});
  rig.send({0x86, 0x3D});
  EXPECT_EQ(rig.bus->get(0, 5), 0x3C);
  EXPECT_EQ(rig.bus->get(1, 6), 0x3D);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x80, 5, 0x3C, 0x05, 0x00}));
}

// Any client of an MC2004, byte by byte: what comes back and what is written.
TEST(Mc2004Device, ExchangesOfAnyClient) {
  using W = Client::Write;
  auto v = [](int b, int a) { return static_cast<uint8_t>(b ? a * 3 + 1 : a * 5 + 3); };
  auto fill = [&](SimBus& bus) {
    for (int b = 0; b < 2; ++b)
      for (int a = 0; a < 127; ++a) bus.set(b, a, v(b, a));
  };
  SimBus filled;
  fill(filled);
  const Bytes dump0 = dump(filled, 0);
  struct Case {
    const char* what;
    std::vector<Tx> sends;
    Bytes answer;
    std::vector<W> writes;
  };
  const Case cases[] = {
      {"read of an address", {{{0x3C}}}, {0x3C, v(0, 60)}, {}},
      {"read of SX1 after its selection", {{{0xF1}}, {{0x3C}}}, {0x3C, v(1, 60)}, {}},
      {"read of 127: the track power", {{{0x7F}}}, {0x7F, 0x80}, {}},
      {"monitoring off, then the selected bus", {{{0x71, 0x00, 0x7E}}}, {0x7E, 0x00}, {}},
      {"selected bus after 0xF1", {{{0xF1, 0x7E}}}, {0x7E, 0x01}, {}},
      {"write without a selection goes to SX0", {{{0x95, 0x40}}}, {}, {{0, 21, 0x40}}},
      {"one selection, two writes",
       {{{0xF1}}, {{0x85, 0x01}}, {{0x86, 0x02}}},
       {},
       {{1, 5, 1}, {1, 6, 2}}},
      {"the reset and the start: no byte of them is a read",
       {{kReset}, {kStart, 200}},
       dump0,
       {}},
      {"write value lost after the start: a read byte becomes the value",
       {{kReset}, {kStart, 200}, {{0xF0, 0x85, 0x11, 0x3C}, 200, 2}},
       cat(dump0, {0x80, 5, 0x3C}),
       {{0, 5, 0x3C}}},
      {"write address lost: its value is read",
       {{{0xF0, 0x85, 0x3C}, 1, 1}},
       {0x3C, v(0, 60)},
       {}},
      {"junk byte after the marker: read of the junk address, the write still goes",
       {{{0xF0, 0x85, 0x3C}, 1, -1, 1}},
       {kJunkByte, v(0, kJunkByte)},
       {{0, 5, 0x3C}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Client client(2);
    fill(client.bus);
    EXPECT_EQ(client.exchange(c.sends, 200), c.answer);
    EXPECT_EQ(client.writes, c.writes);
  }
}

TEST(Mc2004Device, WriteOfAddresses112And113AfterTheMarker) {
  Rig rig(2, 38400);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.send({0xF0, 0xF0, 0x12, 0xF0, 0xF1, 0x13});
  EXPECT_EQ(rig.bus->get(0, 112), 0x12);
  EXPECT_EQ(rig.bus->get(0, 113), 0x13);
}

TEST(Mc2004Device, WritingPowerOffIsReported) {
  Rig rig(2, 38400);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.send({0xF0, 0xFF, 0x00});
  EXPECT_FALSE(rig.bus->power());
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x80, 127, 0x00, 0x80, 109, 0x00}));
}

TEST(Mc2004Device, WriteValueLikeACommandByteIsJustAValue) {
  Rig rig(2, 38400);
  start(rig);
  after(rig.clock, *rig.port, 200);
  rig.send({0xF0, 0x81, 0x71});
  rig.send({0xF0, 0x82, 0xF0});
  EXPECT_EQ(rig.bus->get(0, 1), 0x71);
  EXPECT_EQ(rig.bus->get(0, 2), 0xF0);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x80, 1, 0x71, 0x80, 2, 0xF0}));
}

TEST(Mc2004Device, ChangesDuringTheDumpFollowIt) {
  Rig rig(2, 38400);
  start(rig);
  rig.clock.sleep(10);
  rig.bus->set(0, 0, 0x42);
  const Bytes got = after(rig.clock, *rig.port, 200);
  ASSERT_EQ(got.size(), 387u);
  EXPECT_EQ(Bytes(got.end() - 3, got.end()), message(0, 0, 0x42));
}

}  // namespace
}  // namespace kw::sim::test
