#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

TEST(Faults, SilentDeviceAnswersNothingButStillCarriesOutWrites) {
  Rig rig(1, 19200);
  rig.device->faults.silent = true;
  rig.send(readRequest(0));
  rig.send({0x85, 0x11});
  EXPECT_TRUE(after(rig.clock, *rig.port, 300).empty());
  EXPECT_EQ(rig.bus->get(0, 5), 0x11);
  rig.device->faults.silent = false;
  rig.send(readRequest(0));
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 8u);
}

TEST(Faults, ExtraBytesSpoilOneAnswer) {
  Rig rig(1, 19200);
  rig.bus->set(0, 0, 0x01);
  rig.device->faults.extraBytes = 1;
  rig.send(readRequest(0));
  const Bytes got = after(rig.clock, *rig.port, 20);
  ASSERT_EQ(got.size(), 9u);
  EXPECT_EQ(got[0], 0x01);
  EXPECT_EQ(got[8], kJunkByte);
  rig.send(readRequest(0));
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 8u);
}

TEST(Faults, MissingBytesSpoilOneAnswer) {
  Rig rig(1, 19200);
  for (int a = 0; a < 8; ++a) rig.bus->set(0, a, static_cast<uint8_t>(a + 1));
  rig.device->faults.missingBytes = 3;
  rig.send(readRequest(0));
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{1, 2, 3, 4, 5}));
  rig.send(readRequest(0));
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 8u);
  // More missing than the answer has: nothing comes, and only that answer is spoilt.
  rig.device->faults.missingBytes = 20;
  rig.send(readRequest(127));
  EXPECT_TRUE(after(rig.clock, *rig.port, 20).empty());
  rig.send(readRequest(127));
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 1u);
}

TEST(Faults, DelayHoldsEveryAnswerBack) {
  Rig rig(4, 230400);
  rig.device->faults.delayMs = 250;
  for (int round = 0; round < 2; ++round) {
    rig.send(readRequest(0));
    rig.clock.sleep(251);
    EXPECT_EQ(rig.port->waiting(), 0);
    rig.clock.sleep(1);
    EXPECT_EQ(rig.port->waiting(), 8);
    drain(*rig.port);
  }
}

TEST(Faults, UnpluggedPortCannotBeOpened) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  ports.attach(2, 1)->faults.unplugged = true;
  EXPECT_EQ(ports.open(2, settingsFor(2, 19200)), nullptr);
  ports.device(2)->faults.unplugged = false;
  EXPECT_NE(ports.open(2, settingsFor(2, 19200)), nullptr);
}

TEST(Faults, UnpluggingAnOpenPortLosesEverything) {
  Rig rig(1, 19200);
  rig.send(readRequest(0));
  rig.clock.sleep(20);
  rig.device->faults.unplugged = true;
  EXPECT_EQ(rig.port->waiting(), -1);
  EXPECT_FALSE(rig.port->cts());
  uint8_t buf[8];
  EXPECT_EQ(rig.port->read(buf, sizeof buf), 0u);
  EXPECT_EQ(rig.port->write(readRequest(0)), 0u);
  rig.device->faults.unplugged = false;
  // Plugged in again: the answer that was waiting is gone, the device answers anew.
  EXPECT_EQ(rig.port->waiting(), 0);
  rig.send(readRequest(0));
  EXPECT_EQ(after(rig.clock, *rig.port, 20).size(), 8u);
}

TEST(Faults, EventDeviceForgetsItsStartWhenUnplugged) {
  Rig rig(3, 57600);
  rig.send({0xFE, 0x50, 0xFE, 0x51, 0xFE, 0xA0});
  EXPECT_EQ(after(rig.clock, *rig.port, 100).size(), 256u);
  rig.device->faults.unplugged = true;
  EXPECT_EQ(rig.port->waiting(), -1);
  rig.device->faults.unplugged = false;
  rig.bus->set(0, 1, 1);
  EXPECT_TRUE(after(rig.clock, *rig.port, 100).empty());
  rig.send({0xFE, 0xA0});  // started anew (the SLX852 needs no reset before its start)
  EXPECT_EQ(after(rig.clock, *rig.port, 100).size(), 256u);
}

TEST(Faults, CtsCanBePulled) {
  Rig rig(2, 38400);
  EXPECT_TRUE(rig.port->cts());
  rig.device->faults.ctsOff = true;
  EXPECT_FALSE(rig.port->cts());
  rig.device->faults.ctsOff = false;
  EXPECT_TRUE(rig.port->cts());
}

TEST(Faults, JunkAfterEventMessagesShiftsTheStream) {
  Rig rig(2, 38400);
  rig.send({0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05, 0x00, 0x70, 0xF1, 0x71, 0x05, 0x00, 0x70});
  rig.send({0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01});
  after(rig.clock, *rig.port, 200);
  rig.device->faults.extraBytes = 1;
  rig.bus->set(0, 3, 3);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x80, 3, 3, kJunkByte}));
}

TEST(Faults, PurgeDropsWhatArrivedButNotWhatIsStillOnTheLine) {
  Rig rig(2, 38400);
  rig.send({0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05, 0x00, 0x70, 0xF1, 0x71, 0x05, 0x00, 0x70});
  rig.send({0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01});
  rig.clock.sleep(50);
  const int early = rig.port->waiting();
  EXPECT_GT(early, 0);
  rig.port->purge();
  EXPECT_EQ(rig.port->waiting(), 0);
  EXPECT_EQ(after(rig.clock, *rig.port, 100).size(), 384u - static_cast<size_t>(early));
}

}  // namespace
}  // namespace kw::sim::test
