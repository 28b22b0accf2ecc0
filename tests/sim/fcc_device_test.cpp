#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

const Bytes kPoll{0x78, 0xC3};

void fillBuses(SimBus& bus) {
  for (int a = 0; a < 128; ++a) {
    bus.set(0, a, static_cast<uint8_t>(a));
    bus.set(1, a, static_cast<uint8_t>(0x80 | a));
  }
  bus.setPower(true);  // 127 was just written without bit 7
}

void expectBusPart(const Bytes& frame, size_t offset, bool power) {
  for (size_t a = 0; a < 112; ++a) {
    ASSERT_EQ(frame[offset + a], a) << "SX0 address " << a;
    ASSERT_EQ(frame[offset + 113 + a], 0x80 | a) << "SX1 address " << a;
  }
  EXPECT_EQ(frame[offset + 112], power ? 0x01 : 0x00);
  EXPECT_EQ(frame[offset + 225], kFccSpareByte);
}

TEST(FccDevice, SmallFrameLayout) {
  Rig rig(5, 230400, 322);
  fillBuses(*rig.bus);
  rig.send(kPoll);
  const Bytes f = after(rig.clock, *rig.port, 50);
  ASSERT_EQ(f.size(), 322u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 96), Bytes(96, kFccBlockAFill));
  expectBusPart(f, 96, true);
}

TEST(FccDevice, LargeFrameLayout) {
  Rig rig(5, 230400, 418);
  fillBuses(*rig.bus);
  rig.bus->setPower(false);
  EXPECT_EQ(rig.bus->get(0, 127), 0x7F);
  rig.send(kPoll);
  const Bytes f = after(rig.clock, *rig.port, 50);
  ASSERT_EQ(f.size(), 418u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 96), Bytes(96, kFccBlockAFill));
  EXPECT_EQ(Bytes(f.begin() + 96, f.begin() + 192), Bytes(96, kFccBlockBFill));
  expectBusPart(f, 192, false);
}

TEST(FccDevice, OtherFrameSizesGiveTheSmallFrame) {
  SimBus bus;
  auto d = makeDevice(5, bus, 500);
  ASSERT_TRUE(d);
  d->receive(kPoll, 0);
  EXPECT_EQ(d->available(100), 322);
}

TEST(FccDevice, FrameTakesFourteenMilliseconds) {
  Rig rig(5, 230400, 322);
  rig.send(kPoll);
  rig.clock.sleep(14);
  EXPECT_EQ(rig.port->waiting(), 299);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 322);
}

TEST(FccDevice, LargeFrameTakesNineteenMilliseconds) {
  Rig rig(5, 230400, 418);
  rig.send(kPoll);
  rig.clock.sleep(19);
  EXPECT_EQ(rig.port->waiting(), 414);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 418);
}

TEST(FccDevice, WriteIsAcknowledgedWithOneByte) {
  Rig rig(5, 230400);
  rig.send({0x01, 0x85, 0x2A});
  EXPECT_EQ(rig.bus->get(1, 5), 0x2A);
  EXPECT_EQ(rig.bus->get(0, 5), 0);
  EXPECT_EQ(after(rig.clock, *rig.port, 5), (Bytes{kFccAcknowledge}));
  rig.send({0x00, 0x85, 0x2B});
  EXPECT_EQ(rig.bus->get(0, 5), 0x2B);
  EXPECT_EQ(after(rig.clock, *rig.port, 5), (Bytes{kFccAcknowledge}));
  // The next frame shows both.
  rig.send(kPoll);
  const Bytes f = after(rig.clock, *rig.port, 20);
  ASSERT_EQ(f.size(), 322u);
  EXPECT_EQ(f[96 + 5], 0x2B);
  EXPECT_EQ(f[96 + 113 + 5], 0x2A);
}

TEST(FccDevice, WriteInPiecesAndValueThatLooksLikeAPoll) {
  Rig rig(5, 230400);
  rig.send({0x00});
  rig.send({0x8A});
  rig.send({0x78});
  EXPECT_EQ(rig.bus->get(0, 10), 0x78);
  EXPECT_EQ(after(rig.clock, *rig.port, 5), (Bytes{kFccAcknowledge}));
}

TEST(FccDevice, WritingPowerOffShowsInTheFrame) {
  Rig rig(5, 230400);
  rig.send({0x00, 0xFF, 0x00});
  EXPECT_FALSE(rig.bus->power());
  after(rig.clock, *rig.port, 5);
  rig.send(kPoll);
  const Bytes f = after(rig.clock, *rig.port, 20);
  ASSERT_EQ(f.size(), 322u);
  EXPECT_EQ(f[96 + 112], 0x00);
}

TEST(FccDevice, VersionRequestGetsSevenBytes) {
  Rig rig(5, 230400);
  rig.send({0x81});
  EXPECT_EQ(after(rig.clock, *rig.port, 5), Bytes(kFccVersion.begin(), kFccVersion.end()));
}

TEST(FccDevice, HostStartSequenceSeesTheFrameSize) {
  // The host: poll, 100 ms, count; version, 200 ms; poll, 100 ms.
  for (int size : {322, 418}) {
    Rig rig(5, 230400, size);
    rig.send(kPoll);
    rig.clock.sleep(100);
    EXPECT_EQ(rig.port->waiting(), size);
    drain(*rig.port);
    rig.send({0x81});
    rig.clock.sleep(200);
    EXPECT_EQ(drain(*rig.port).size(), 7u);
    rig.send(kPoll);
    rig.clock.sleep(100);
    EXPECT_EQ(rig.port->waiting(), size);
  }
}

TEST(FccDevice, HalfPollFollowedByAnotherRequest) {
  Rig rig(5, 230400);
  rig.send({0x78, 0x81});  // not a poll: the version request stands
  EXPECT_EQ(after(rig.clock, *rig.port, 5).size(), 7u);
  rig.send({0x78, 0x78, 0xC3});
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 322u);
}

TEST(FccDevice, UnknownBusNumberStartsNoWrite) {
  Rig rig(5, 230400);
  rig.send({0x02, 0x85, 0x2A});
  EXPECT_EQ(rig.bus->get(0, 5), 0);
  EXPECT_EQ(rig.bus->get(1, 5), 0);
  EXPECT_TRUE(after(rig.clock, *rig.port, 10).empty());
}

}  // namespace
}  // namespace kw::sim::test

namespace kw::sim::test {
namespace {

// Any client of an FCC, byte by byte: what comes back and what is written.
TEST(FccDevice, ExchangesOfAnyClient) {
  using W = Client::Write;
  auto fill = [](SimBus& bus) {
    for (int a = 0; a < 127; ++a) {
      bus.set(0, a, static_cast<uint8_t>(a * 5 + 3));
      bus.set(1, a, static_cast<uint8_t>(a * 3 + 1));
    }
  };
  SimBus filled;
  fill(filled);
  const Bytes frame = FccDevice(filled, 322).frame();
  const Bytes busPart(frame.end() - 226, frame.end());
  Bytes busPartOff = busPart;
  busPartOff[112] = 0x00;  // the track power
  const uint8_t ack = kFccAcknowledge;
  struct Case {
    const char* what;
    std::vector<Tx> sends;
    Bytes answer;
    std::vector<W> writes;
  };
  const Case cases[] = {
      {"this program's poll: the whole frame", {{{0x78, 0xC3}}}, frame, {}},
      {"the bus part alone", {{{0x78, 0x03}}}, busPart, {}},
      {"write SX0", {{{0x00, 0x85, 0x2A}}}, {ack}, {{0, 5, 0x2A}}},
      {"write SX1 in three transmissions",
       {{{0x01}}, {{0x85}}, {{0x2A}}},
       {ack},
       {{1, 5, 0x2A}}},
      {"track power off through SX1 address 127",
       {{{0x01, 0xFF, 0x00}}, {{0x78, 0x03}}},
       cat({ack}, busPartOff),
       {{1, 127, 0}}},
      {"write whose address byte is lost: no write, the value is ignored",
       {{{0x00, 0x85, 0x2A}, 1, 1}, {{0x78, 0x03}}},
       busPart,
       {}},
      {"junk inside the poll: no answer, the next poll is answered",
       {{{0x78, 0xC3}, 1, -1, 1}, {{0x78, 0x03}}},
       busPart,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Client client(5);
    fill(client.bus);
    EXPECT_EQ(client.exchange(c.sends, 50), c.answer);
    EXPECT_EQ(client.writes, c.writes);
  }
}

}  // namespace
}  // namespace kw::sim::test
