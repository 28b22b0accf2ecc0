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
  Rig rig(1, 19200);
  rig.bus->set(0, 3, 33);
  rig.send({0x03});
  rig.clock.sleep(5);
  EXPECT_EQ(rig.port->waiting(), 0);
  rig.send({0x03});
  EXPECT_EQ(after(rig.clock, *rig.port, 5), (Bytes{33}));
}

TEST(PolledDevice, LoneAddressByteRealigns) {
  Rig rig(1, 19200);
  rig.bus->set(0, 2, 22);
  rig.bus->set(0, 3, 33);
  // 2 is lost: 2,3 is no pair, 3,3 is.
  rig.send({0x02, 0x03, 0x03});
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{33}));
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
