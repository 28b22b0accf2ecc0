#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

const Bytes kReset{0xFE, 0x50, 0xFE, 0x51};
const Bytes kStart{0xFE, 0xA0};
const Bytes kBus1{0xFE, 0xA1};

Bytes dump(const SimBus& bus, int b) {
  Bytes out;
  for (int a = 0; a < 128; ++a) {
    uint8_t v = bus.get(b, a);
    if (b == 0 && a == 109) v = (v & 0x7F) | (bus.power() ? 0x80 : 0);
    out.push_back(static_cast<uint8_t>((b << 7) | a));
    out.push_back(v);
  }
  return out;
}

// Reset, the host's 1000 ms pause and purge, then the bus-0 selection.
void start(Rig& rig) {
  rig.send(kReset);
  rig.clock.sleep(1000);
  rig.port->purge();
  rig.send(kStart);
}

TEST(Slx852Device, StartDumpsSx0ThenReportsChanges) {
  Rig rig(3, 57600);
  rig.bus->set(0, 5, 0x3C);
  rig.bus->set(1, 5, 0x77);
  start(rig);
  const Bytes got = after(rig.clock, *rig.port, 100);
  ASSERT_EQ(got.size(), 256u);
  EXPECT_EQ(got, dump(*rig.bus, 0));
  EXPECT_EQ(Bytes(got.begin() + 10, got.begin() + 12), (Bytes{0x05, 0x3C}));
  EXPECT_EQ(Bytes(got.end() - 2, got.end()), (Bytes{0x7F, 0x80}));  // power on address 127
  rig.bus->set(0, 7, 9);
  rig.bus->set(1, 7, 9);  // SX1 not selected
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x07, 0x09}));
}

TEST(Slx852Device, DumpTimingAtTheLineSpeed) {
  Rig rig(3, 19200);
  start(rig);
  // 256 bytes at 19200 baud: 133.3 ms after the 1 ms turnaround.
  rig.clock.sleep(134);
  EXPECT_EQ(rig.port->waiting(), 255);
  rig.clock.sleep(1);
  EXPECT_EQ(rig.port->waiting(), 256);
}

TEST(Slx852Device, Bus1SelectionDumpsSx1) {
  Rig rig(3, 57600);
  rig.bus->set(1, 5, 0x01);
  start(rig);
  rig.send(kBus1);
  const Bytes got = after(rig.clock, *rig.port, 200);
  ASSERT_EQ(got.size(), 512u);
  EXPECT_EQ(Bytes(got.begin() + 256, got.end()), dump(*rig.bus, 1));
  EXPECT_EQ(Bytes(got.begin() + 266, got.begin() + 268), (Bytes{0x85, 0x01}));
  rig.bus->set(1, 5, 0x02);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x85, 0x02}));
}

TEST(Slx852Device, NeedsTheWholeResetBeforeTheStart) {
  Rig rig(3, 57600);
  rig.send(kStart);
  EXPECT_TRUE(after(rig.clock, *rig.port, 200).empty());
  rig.send({0xFE, 0x50, 0x00, 0xFE, 0x51});  // broken reset
  rig.send(kStart);
  EXPECT_TRUE(after(rig.clock, *rig.port, 200).empty());
  rig.send({0xFE, 0x50});
  rig.send({0xFE, 0x51});  // whole reset in two transmissions
  rig.send(kStart);
  EXPECT_EQ(after(rig.clock, *rig.port, 200).size(), 256u);
}

TEST(Slx852Device, ResetSilencesIt) {
  Rig rig(3, 57600);
  start(rig);
  after(rig.clock, *rig.port, 100);
  rig.send(kReset);
  rig.bus->set(0, 1, 1);
  EXPECT_TRUE(after(rig.clock, *rig.port, 100).empty());
}

TEST(Slx852Device, PowerIsReportedOn127And109) {
  Rig rig(3, 57600);
  start(rig);
  after(rig.clock, *rig.port, 100);
  rig.bus->setPower(false);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x7F, 0x00, 109, 0x00}));
  rig.bus->setPower(true);
  EXPECT_EQ(after(rig.clock, *rig.port, 20), (Bytes{0x7F, 0x80, 109, 0x80}));
}

TEST(Slx852Device, WritesSelectTheirBusAndAreReported) {
  Rig rig(3, 57600);
  start(rig);
  rig.send(kBus1);
  after(rig.clock, *rig.port, 200);
  rig.send({0xFE, 0x01});
  rig.send({0x85, 0x01});
  EXPECT_EQ(rig.bus->get(1, 5), 0x01);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x85, 0x01}));
  rig.send({0xFE, 0x00, 0x85, 0x02});
  EXPECT_EQ(rig.bus->get(0, 5), 0x02);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x05, 0x02}));
  // Address 126 is written as 0xFE right after the selection.
  rig.send({0xFE, 0x00, 0xFE, 0x33});
  EXPECT_EQ(rig.bus->get(0, 126), 0x33);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x7E, 0x33}));
  // Power off by writing 127.
  rig.send({0xFE, 0x00, 0xFF, 0x00});
  EXPECT_FALSE(rig.bus->power());
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x7F, 0x00, 109, 0x00}));
}

TEST(Slx852Device, WriteWithoutItsBusSelectionIsNotTaken) {
  Rig rig(3, 57600);
  start(rig);
  after(rig.clock, *rig.port, 100);
  rig.send({0x85, 0x02});
  rig.send({0xFE, 0x00});
  rig.send({0x33});  // the value byte alone, after the selection, is no address
  rig.send({0xFE, 0x01, 0x50});  // nor an address without bit 7
  rig.send({0x86, 0x04});
  EXPECT_EQ(rig.bus->get(0, 5), 0);
  EXPECT_EQ(rig.bus->get(1, 6), 0);
  EXPECT_TRUE(after(rig.clock, *rig.port, 10).empty());
  rig.send({0xFE, 0x00});
  rig.send({0x85, 0x02});  // selection and write in two transmissions
  EXPECT_EQ(rig.bus->get(0, 5), 2);
}

TEST(Slx852Device, UnchangedWriteIsStillConfirmed) {
  Rig rig(3, 57600);
  start(rig);
  after(rig.clock, *rig.port, 100);
  rig.send({0xFE, 0x00, 0x85, 0x00});
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x05, 0x00}));
}

}  // namespace
}  // namespace kw::sim::test
