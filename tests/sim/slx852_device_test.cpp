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

TEST(Slx852Device, StartNeedsNoReset) {
  // Other drivers start the reports with the control byte alone; the reset is this
  // program's habit. (This used to insist on the whole reset first.)
  Rig rig(3, 57600);
  rig.send(kStart);
  EXPECT_EQ(after(rig.clock, *rig.port, 200).size(), 256u);
  rig.send({0xFE, 0x50});
  rig.send({0xFE, 0x51});  // the reset in two transmissions silences it
  rig.bus->set(0, 1, 1);
  EXPECT_TRUE(after(rig.clock, *rig.port, 200).empty());
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
  // Address 126 is the control register, no bus value: 0x10 | 0x20 | bus 1 stops and
  // starts the reports of SX1 again. (This used to write a bus value 126.)
  rig.send({0xFE, 0x00, 0xFE, 0x31});
  EXPECT_EQ(rig.bus->get(0, 126), 0);
  EXPECT_EQ(after(rig.clock, *rig.port, 200), dump(*rig.bus, 1));
  rig.send({0xFE, 0x00});
  // Power off by writing 127.
  rig.send({0xFE, 0x00, 0xFF, 0x00});
  EXPECT_FALSE(rig.bus->power());
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x7F, 0x00, 109, 0x00}));
}

TEST(Slx852Device, WritesGoToTheLastSelectedBus) {
  // The selection stays until the next one, as other drivers rely on. (This used to take
  // a write only right after its own selection.)
  Rig rig(3, 57600);
  start(rig);
  rig.send(kBus1);
  after(rig.clock, *rig.port, 200);
  rig.send({0x85, 0x02});  // bus 1 is still selected by its start
  rig.send({0xFE, 0x00});
  rig.send({0x86, 0x04});
  rig.send({0x87, 0x05});
  EXPECT_EQ(rig.bus->get(1, 5), 2);
  EXPECT_EQ(rig.bus->get(0, 6), 4);
  EXPECT_EQ(rig.bus->get(0, 7), 5);
  EXPECT_EQ(after(rig.clock, *rig.port, 10), (Bytes{0x85, 0x02, 0x06, 0x04, 0x07, 0x05}));
}

// Any client of an SLX852, byte by byte: what comes back and what is written.
TEST(Slx852Device, ExchangesOfAnyClient) {
  using W = Client::Write;
  auto v = [](int b, int a) { return static_cast<uint8_t>(b ? a * 3 + 1 : a * 5 + 3); };
  SimBus filled;
  for (int b = 0; b < 2; ++b)
    for (int a = 0; a < 127; ++a) filled.set(b, a, v(b, a));
  const Bytes dump0 = dump(filled, 0);
  struct Case {
    const char* what;
    std::vector<Tx> sends;
    Bytes answer;
    std::vector<W> writes;
  };
  const Case cases[] = {
      {"read while not reporting", {{{0x05, 0x00}}}, {v(0, 5)}, {}},
      {"read of the selected SX1", {{{0xFE, 0x01}}, {{0x05, 0x00}}}, {v(1, 5)}, {}},
      {"write before any selection goes to SX0", {{{0x85, 0x3C}}}, {}, {{0, 5, 0x3C}}},
      {"one selection, two writes",
       {{{0xFE, 0x01}}, {{0x85, 0x01}}, {{0x86, 0x02}}},
       {},
       {{1, 5, 1}, {1, 6, 2}}},
      {"the start alone, clock bits set", {{{0xFE, 0xA8}}}, dump0, {}},
      {"reporting: reads get no answer, writes are reported",
       {{{0xFE, 0xA0}}, {{0x05, 0x00}}, {{0x85, 0x3C}}},
       cat(dump0, {0x05, 0x3C}),
       {{0, 5, 0x3C}}},
      {"write value lost: the next address is the value, the pairing shifted",
       {{{0xFE, 0xA0}},
        {{0x85, 0x3C, 0x86, 0x3D}, 1, 1},
        {{0x87, 0x01}},
        {{0x87, 0x01}, PolledDevice::kPairTimeoutMs}},
       cat(dump0, {0x05, 0x86, 0x07, 0x01}),
       {{0, 5, 0x86}, {0, 7, 0x01}}},
      {"control address lost: its value starts a write",
       {{{0xFE, 0xA0}, 1, 0}, {{0x85, 0x01}}},
       {v(0, 1)},
       {{0, 0x20, 0x85}}},
      {"junk byte before the start: read of the junk address, no start",
       {{{0xFE, 0xA0}, 1, -1, 0}},
       {v(0, kJunkByte)},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Client client(3);
    for (int b = 0; b < 2; ++b)
      for (int a = 0; a < 127; ++a) client.bus.set(b, a, v(b, a));
    EXPECT_EQ(client.exchange(c.sends, 100), c.answer);
    EXPECT_EQ(client.writes, c.writes);
  }
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
