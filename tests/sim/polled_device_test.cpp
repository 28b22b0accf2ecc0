#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

TEST(PolledDevice, AnswersAGroupWithItsEightValues) {
  Rig rig(1, 19200);
  for (int a = 0; a < 8; ++a) rig.bus->set(0, 8 + a, static_cast<uint8_t>(0x10 + a));
  rig.bus->set(1, 8, 0xEE);  // SX1 is not what a polled interface reads
  rig.send(readRequest(8));
  EXPECT_EQ(after(rig.clock, *rig.port, 50),
            (Bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}));
  EXPECT_EQ(rig.device->received, readRequest(8));
}

TEST(PolledDevice, AnswersAddress127WithThePower) {
  Rig rig(1, 19200);
  rig.send(readRequest(127));
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x80}));
  rig.bus->setPower(false);
  rig.send(readRequest(127));
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x00}));
}

TEST(PolledDevice, AnswerTricklesInAtTheLineSpeed) {
  // 19200 baud: 0.52 ms per byte after 1 ms; byte i is there at 1 + ceil((i+1) * 0.52) ms.
  Rig rig(1, 19200);
  rig.send(readRequest(0));
  const std::vector<int> expected = {0, 0, 1, 3, 5, 7, 8};  // waiting at +0 .. +6 ms
  for (size_t ms = 0; ms < expected.size(); ++ms) {
    EXPECT_EQ(rig.port->waiting(), expected[ms]) << "at +" << ms << " ms";
    rig.clock.sleep(1);
  }
  EXPECT_EQ(rig.port->waiting(), 8);
}

TEST(PolledDevice, FasterLineAnswersSooner) {
  Rig rig(4, 230400);
  rig.send(readRequest(0));
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 0);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 8);
}

TEST(PolledDevice, WritesGoToSx0WithoutAnswer) {
  Rig rig(1, 19200);
  std::vector<std::tuple<int, int, int>> writes;
  rig.device->setWriteObserver([&](int b, int a, uint8_t v) { writes.emplace_back(b, a, v); });
  rig.send({0x85, 0x3C});
  rig.send({0x80 | 106, 0x20});
  EXPECT_TRUE(after(rig.clock, *rig.port, 50).empty());
  EXPECT_EQ(rig.bus->get(0, 5), 0x3C);
  EXPECT_EQ(rig.bus->get(1, 5), 0);
  EXPECT_EQ(rig.bus->get(0, 106), 0x20);
  EXPECT_EQ(writes, (std::vector<std::tuple<int, int, int>>{{0, 5, 0x3C}, {0, 106, 0x20}}));
}

TEST(PolledDevice, WritingAddress127SwitchesThePower) {
  Rig rig(1, 19200);
  rig.send({0xFF, 0x00});
  EXPECT_FALSE(rig.bus->power());
  rig.send({0xFF, 0x80});
  EXPECT_TRUE(rig.bus->power());
}

TEST(PolledDevice, WriteValueMayHaveBit7AndComeSeparately) {
  Rig rig(1, 19200);
  rig.send({0x90});
  rig.clock.sleep(3);
  rig.send({0x85});  // the value, not a new write
  EXPECT_EQ(rig.bus->get(0, 0x10), 0x85);
  EXPECT_EQ(rig.bus->get(0, 0x05), 0);
}

TEST(PolledDevice, WriteInTheMiddleOfAPollIsCarriedOut) {
  Rig rig(1, 19200);
  rig.bus->set(0, 1, 0x44);
  rig.send({0x00, 0x00, 0x81, 0x55, 0x01, 0x01});
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x00, 0x55}));
}

TEST(PolledDevice, PairsSplitOverTransmissionsAreAnswered) {
  // The answer goes out on the address byte; the dummy that completes the pair later
  // adds nothing. (It used to wait for a second address byte; real interfaces do not.)
  Rig rig(1, 19200);
  rig.bus->set(0, 3, 33);
  rig.send({0x03});
  EXPECT_EQ(after(rig.clock, *rig.port, 5), (Bytes{33}));
  rig.send({0x03});
  EXPECT_TRUE(after(rig.clock, *rig.port, 5).empty());
}

TEST(PolledDevice, LoneAddressByteShiftsThePairing) {
  // 2 is lost after 1: (1, 3) reads 1, and the 3 that was meant as a dummy is the
  // address of the next pair. (This used to "realign" on the repeated 3.)
  Rig rig(1, 19200);
  rig.bus->set(0, 1, 11);
  rig.bus->set(0, 3, 33);
  rig.send({0x01, 0x03, 0x03});
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{11, 33}));
}

// Any client of a standard interface, byte by byte: what comes back and what is written.
TEST(PolledDevice, ExchangesOfAnyClient) {
  using W = Client::Write;
  auto v = [](int a) { return static_cast<uint8_t>((a * 5 + 3) & 0xFF); };
  struct Case {
    const char* what;
    std::vector<Tx> sends;
    Bytes answer;
    std::vector<W> writes;
  };
  const Bytes group0 = readRequest(0);
  const Bytes group8 = readRequest(8);
  const Case cases[] = {
      {"read with dummy 0", {{{0x05, 0x00}}}, {v(5)}, {}},
      {"read with dummy 0xAA", {{{0x05, 0xAA}}}, {v(5)}, {}},
      {"a dummy with bit 7 set is no write", {{{0x05, 0x85}}}, {v(5)}, {}},
      {"reads back to back", {{{0x05, 0x00, 0x06, 0x00}}}, {v(5), v(6)}, {}},
      {"read of 127 is the track power", {{{0x7F, 0x00}}}, {0x80}, {}},
      {"read in two transmissions", {{{0x05}}, {{0x00}, 3}}, {v(5)}, {}},
      {"the program's group read",
       {{group8}},
       {v(8), v(9), v(10), v(11), v(12), v(13), v(14), v(15)},
       {}},
      {"write", {{{0x85, 0x3C}}}, {}, {{0, 5, 0x3C}}},
      {"write value with bit 7", {{{0x90, 0x85}}}, {}, {{0, 16, 0x85}}},
      {"write in two transmissions", {{{0x90}}, {{0x85}, 3}}, {}, {{0, 16, 0x85}}},
      {"write between reads", {{{0x00, 0x00, 0x81, 0x55, 0x01, 0x01}}}, {v(0), 0x55}, {{0, 1, 0x55}}},
      {"write of 127 switches the power", {{{0xFF, 0x00}}, {{0x7F, 0x00}}}, {0x00}, {{0, 127, 0}}},
      // A lost byte shifts the pairing until the line is quiet.
      {"dummy lost: the next address is taken as the dummy",
       {{{0x05, 0x00, 0x06, 0x00}, 1, 1}, {{0x07, 0x00}}, {{0x07, 0x00}, PolledDevice::kPairTimeoutMs}},
       {v(5), v(0), v(0), v(7)},
       {}},
      {"write value lost: the next address is the value",
       {{{0x85, 0x3C, 0x06, 0x00}, 1, 1}},
       {v(0)},
       {{0, 5, 0x06}}},
      {"junk byte before a read: read of the junk address",
       {{{0x05, 0x00}, 1, -1, 0}},
       {v(kJunkByte), v(0)},
       {}},
      {"the program's group read, first byte lost: still right, but out of step",
       {{group0, 1, 0}, {group8, 6}, {{0x85, 0x11}, 6}, {{0x85, 0x11}, PolledDevice::kPairTimeoutMs}},
       {v(0), v(1), v(2), v(3), v(4), v(5), v(6), v(7),
        v(8), v(9), v(10), v(11), v(12), v(13), v(14), v(15), v(0x11)},
       {{0, 5, 0x11}}},
      {"the program's group read with a junk byte: nine answers",
       {{group0, 1, -1, 2}},
       {v(0), v(kJunkByte), v(1), v(2), v(3), v(4), v(5), v(6), v(7)},
       {}},
      {"a read left alone is forgotten on a quiet line",
       {{{0x05}}, {{0x06, 0x00}, PolledDevice::kPairTimeoutMs}},
       {v(5), v(6)},
       {}},
      {"a write address left alone is forgotten on a quiet line",
       {{{0x85}}, {{0x06, 0x00}, PolledDevice::kPairTimeoutMs}},
       {v(6)},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Client client(1);
    for (int a = 0; a < 127; ++a) {
      client.bus.set(0, a, v(a));
      client.bus.set(1, a, 0xEE);  // SX1 is not what a standard interface reads
    }
    EXPECT_EQ(client.exchange(c.sends, 50), c.answer);
    EXPECT_EQ(client.writes, c.writes);
  }
}

TEST(PolledDevice, AnswersQueueBehindEachOtherOnTheLine) {
  Rig rig(1, 9600);  // about 1.04 ms per byte
  rig.send(readRequest(0));
  rig.send(readRequest(8));
  // 16 bytes need ceil(16.7) ms after the 1 ms turnaround.
  rig.clock.sleep(17);
  EXPECT_EQ(rig.port->waiting(), 15);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 16);
}

TEST(PolledDevice, ModeWithoutBaudKeepsTheLineSpeedAndSaysSo) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  ports.attach(1, 1);
  SerialSettings s;
  s.mode = "garbage";
  auto port = ports.open(1, s);
  ASSERT_TRUE(port);
  EXPECT_FALSE(port->settingsApplied());
  EXPECT_EQ(ports.device(1)->baud(), defaultBaud(1));
}

}  // namespace
}  // namespace kw::sim::test
