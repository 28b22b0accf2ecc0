#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "sim_test_util.h"

namespace kw::sim::test {
namespace {

TEST(SimSerial, BaudComesFromTheMode) {
  EXPECT_EQ(baudFromMode("COM3:19200,n,8,1"), 19200u);
  EXPECT_EQ(baudFromMode("com1:230400,n,8,1"), 230400u);
  EXPECT_EQ(baudFromMode("COM1"), 0u);
  EXPECT_EQ(baudFromMode("COM1:,n,8,1"), 0u);
  EXPECT_EQ(baudFromMode("COM1:99999999999999999999"), 0u);
}

TEST(SimSerialPorts, PortWithoutDeviceOrOutOfRangeDoesNotOpen) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  EXPECT_EQ(ports.open(1, settingsFor(1, 19200)), nullptr);
  ports.attach(1, 1);
  EXPECT_EQ(ports.open(0, settingsFor(0, 19200)), nullptr);
  EXPECT_EQ(ports.open(9, settingsFor(9, 19200)), nullptr);
  EXPECT_EQ(ports.attach(9, 1), nullptr);
  EXPECT_EQ(ports.attach(1, 7), nullptr);  // no such class
  EXPECT_EQ(ports.bus(0), nullptr);
  EXPECT_NE(ports.open(1, settingsFor(1, 19200)), nullptr);
  ports.detach(1);
  EXPECT_EQ(ports.open(1, settingsFor(1, 19200)), nullptr);
}

TEST(SimSerialPorts, APortIsOpenedExclusively) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  ports.attach(3, 1);
  auto first = ports.open(3, settingsFor(3, 19200));
  ASSERT_TRUE(first);
  EXPECT_EQ(ports.open(3, settingsFor(3, 9600)), nullptr);
  first.reset();
  EXPECT_NE(ports.open(3, settingsFor(3, 9600)), nullptr);
}

TEST(SimSerialPorts, OpenSetsTheLineSpeed) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  ports.attach(1, 1);
  auto port = ports.open(1, settingsFor(1, 57600));
  EXPECT_TRUE(port->settingsApplied());
  EXPECT_EQ(ports.device(1)->baud(), 57600u);
}

TEST(SimSerialPorts, TestsCanAttachTheirOwnDevice) {
  VirtualClock clock;
  SimSerialPorts ports(clock);
  SimBus bus;
  bus.set(0, 0, 0x99);
  std::shared_ptr<SimDevice> device = makeDevice(1, bus);
  EXPECT_EQ(ports.attach(4, device), device.get());
  auto port = ports.open(4, settingsFor(4, 19200));
  port->write(readRequest(0));
  EXPECT_EQ(after(clock, *port, 20).at(0), 0x99);
}

TEST(SimPortFactory, CreatesTheConfiguredClassOnADemoBus) {
  VirtualClock clock;
  auto ports = std::make_shared<SimSerialPorts>(clock);
  ports->setAutoCreate(true, true);
  PortFactory factory = makeSimPortFactory(ports);

  auto port = factory(2, settingsFor(2, 230400, 5));
  ASSERT_TRUE(port);
  EXPECT_EQ(ports->device(2)->protocolClass(), 5);
  EXPECT_TRUE(ports->bus(2)->demo());
  EXPECT_EQ(factory(2, settingsFor(2, 230400, 5)), nullptr);  // in use

  // The demo moves while the program polls.
  port->write({0x78, 0xC3});
  const Bytes first = after(clock, *port, 20);
  ASSERT_EQ(first.size(), 322u);
  EXPECT_EQ(first[96 + 20], SimBus::demoValues(0)[0]);
  clock.sleep(500);
  port->write({0x78, 0xC3});
  const Bytes second = after(clock, *port, 20);
  ASSERT_EQ(second.size(), 322u);
  EXPECT_EQ(second[96 + 20], SimBus::demoValues(1)[0]);
  EXPECT_EQ(second[96 + 113 + 40], SimBus::demoValues(1)[4]);

  // Reopened with another class, on the same bus.
  ports->bus(2)->set(0, 5, 0x55);
  port.reset();
  auto slx = factory(2, settingsFor(2, 57600, 3));
  ASSERT_TRUE(slx);
  EXPECT_EQ(ports->device(2)->protocolClass(), 3);
  EXPECT_EQ(ports->bus(2)->get(0, 5), 0x55);

  // A probe finds whatever is there, and fails while the port is open.
  EXPECT_EQ(factory(2, settingsFor(2, 9600, 0)), nullptr);
  slx.reset();
  EXPECT_NE(factory(2, settingsFor(2, 9600, 0)), nullptr);
  EXPECT_EQ(ports->device(2)->protocolClass(), 3);
  // A probe of an empty port finds a device too.
  EXPECT_NE(factory(6, settingsFor(6, 9600, 0)), nullptr);
}

TEST(SimPortFactory, OwnFactoryServesFccWithSmallFrames) {
  VirtualClock clock;
  PortFactory factory = makeSimPortFactory(clock);
  auto port = factory(1, settingsFor(1, 230400, 5));
  ASSERT_TRUE(port);
  port->write({0x78, 0xC3});
  EXPECT_EQ(after(clock, *port, 20).size(), 322u);
  // The port keeps what it needs alive even when the factory is gone.
  factory = nullptr;
  port->write({0x78, 0xC3});
  EXPECT_EQ(after(clock, *port, 20).size(), 322u);
}

TEST(SimSerialPort, VirtualReadReturnsWhatIsThereWithoutMovingTime) {
  Rig rig(1, 19200);
  rig.send(readRequest(0));
  rig.clock.sleep(3);
  uint8_t buf[8];
  const Tick before = rig.clock.now();
  EXPECT_EQ(rig.port->read(buf, 8), 3u);
  EXPECT_EQ(rig.clock.now(), before);
}

TEST(SimSerialPort, RealReadWaitsForTheAnswer) {
  RealClock clock;
  SimSerialPorts ports(clock);
  ports.attach(1, 1);
  auto port = ports.open(1, settingsFor(1, 9600));
  port->write(readRequest(0));
  uint8_t buf[8];
  EXPECT_EQ(port->read(buf, 8), 8u);
}

TEST(SimSerialPort, RealReadGivesUpAfterTheTimeouts) {
  RealClock clock;
  SimSerialPorts ports(clock);
  ports.attach(1, 1)->faults.silent = true;
  SerialSettings s = settingsFor(1, 19200);
  s.readTotalMs = 40;
  s.readPerByteMs = 5;
  auto port = ports.open(1, s);
  port->write(readRequest(0));
  uint8_t buf[8];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(buf, 8), 0u);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_GE(ms, 75);  // 40 + 8 x 5
  EXPECT_LT(ms, 1000);
}

// Random bytes from the host: no device may crash, answer out of all proportion, or stop
// working for a well-formed request afterwards.
TEST(SimDevices, SurviveGarbage) {
  for (int cls : {1, 2, 3, 5}) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      SimBus bus;
      auto device = makeDevice(cls, bus, seed % 2 ? 322 : 418);
      device->setBaud(1000000);
      std::mt19937 rng(seed);
      Tick t = 100;
      size_t answered = 0;
      for (int round = 0; round < 200; ++round) {
        Bytes junk(rng() % 40);
        for (auto& b : junk) b = static_cast<uint8_t>(rng());
        device->receive(junk, t);
        t += 2;
        const int n = device->available(t);
        ASSERT_GE(n, 0);
        Bytes buf(static_cast<size_t>(n));
        answered += device->read(buf.data(), buf.size(), t);
      }
      EXPECT_LT(answered, 200u * 40u * 420u) << "class " << cls;
      // A clean request still gets its answer once pending parts are flushed.
      const Bytes flush = cls == 1 ? Bytes{0x00, 0x01} : cls == 5 ? Bytes{0xC3, 0x02} : Bytes{};
      device->receive(flush, t);
      t += 500;
      Bytes rest(static_cast<size_t>(std::max(0, device->available(t))));
      device->read(rest.data(), rest.size(), t);
      if (cls == 1) {
        bus.set(0, 9, 0x19);
        device->receive(Bytes{0x09, 0x09}, t);
        Bytes got(1);
        EXPECT_EQ(device->read(got.data(), 1, t + 10), 1u);
        EXPECT_EQ(got[0], 0x19) << "seed " << seed;
      } else if (cls == 5) {
        device->receive(Bytes{0x78, 0xC3}, t);
        EXPECT_EQ(device->available(t + 50), seed % 2 ? 322 : 418) << "seed " << seed;
      }
    }
  }
}

}  // namespace
}  // namespace kw::sim::test
