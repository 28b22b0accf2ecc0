// The whole program against simulated interfaces on the virtual clock.
#include <gtest/gtest.h>

#include "app/harness.h"
#include "sim/sim_serial.h"

namespace kw::test {
namespace {

struct SimProgram {
  std::unique_ptr<sim::SimSerialPorts> ports;
  std::unique_ptr<Harness> h;
  explicit SimProgram(const std::string& suitePrefs) {
    // The harness owns the clock, so the ports are created against it after the fact.
    h = std::make_unique<Harness>(&proxy);
    ports = std::make_unique<sim::SimSerialPorts>(h->clock);
    ports->setAutoCreate(true, false);
    proxy.target = ports.get();
    h->system.files[kSuitePreferencesFile] = suitePrefs;
  }
  ~SimProgram() {
    h->ctx->bus.stopFlag = 1;
    h->clock.sleep(5);
    h->ctx->busLink.closeInterfaces(0);
  }
  struct Proxy final : SerialPorts {
    SerialPorts* target = nullptr;
    std::unique_ptr<SerialPort> open(int p, const SerialSettings& s) override {
      return target ? target->open(p, s) : nullptr;
    }
  } proxy;
};

const char* kMc2004TwoBuses =
    "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\nBus1Com = 1\r\nBus1Akt = 1\r\nBus1SX1 = 1\r\n"
    "[ComPorts]\r\nComPort01Typ = 3\r\n";

TEST(SimulatedBus, Mc2004ShowsRunningPowerAndBusValues) {
  SimProgram p(kMc2004TwoBuses);
  p.h->start();
  sim::SimBus* bus = p.ports->bus(1);
  ASSERT_NE(bus, nullptr);
  bus->set(0, 30, 0x12);
  bus->set(1, 40, 0x34);
  p.h->run(600);
  EXPECT_EQ(p.h->ctx->busLink.portState(1), kPortRunning);
  EXPECT_EQ(p.h->ctx->bus.mirror(0, 30), 0x12);
  EXPECT_EQ(p.h->ctx->bus.mirror(1, 40), 0x34);
  EXPECT_EQ(p.h->ctx->bus.mirror(0, 127) & 0x80, 0x80);
  EXPECT_EQ(p.h->ctx->bus.centralPower.load(), 1);
  auto power = p.h->ui.statusField(win::kMain, 2);
  ASSERT_TRUE(power.draw.has_value());
  EXPECT_EQ(power.draw->textColour, rgb(255, 0, 0));
  // A click on the power field switches the track power off, and the central reports it.
  p.h->ui.inject({EventType::StatusBarClick, win::kMain, 0, 0, 200});
  p.h->run(300);
  EXPECT_FALSE(bus->power());
  EXPECT_EQ(p.h->ctx->bus.centralPower.load(), 0);
  EXPECT_EQ(p.h->ui.statusField(win::kMain, 2).draw->textColour, rgb(0, 0, 0));
}

TEST(SimulatedBus, StrayBytesAreDroppedAndShownInTheStatusPopup) {
  SimProgram p(kMc2004TwoBuses);
  p.h->start();
  p.h->run(600);
  sim::SimBus* bus = p.ports->bus(1);
  p.ports->device(1)->faults.extraBytes = 2;  // two junk bytes after the next message
  bus->set(0, 30, 0x12);
  p.h->run(50);
  bus->set(0, 31, 0x13);  // is still understood
  p.h->run(50);
  EXPECT_EQ(p.h->ctx->bus.mirror(0, 30), 0x12);
  EXPECT_EQ(p.h->ctx->bus.mirror(0, 31), 0x13);
  EXPECT_EQ(p.h->ctx->busLink.droppedBytes(1), 2u);
  handleStatusBarClick(*p.h->ctx, 5);
  auto popup = p.h->ui.popupMenu(menu::kStatusPopup);
  ASSERT_EQ(popup.size(), 6u);
  EXPECT_EQ(popup[0].text, p.h->ctx->text(590));
  EXPECT_EQ(popup[5].text, "Com 1: 2 Bytes verworfen");
}

TEST(SimulatedBus, WritesReachTheSimulatedBusOfTheCurrentBusSlot) {
  SimProgram p(kMc2004TwoBuses);
  p.h->start();
  p.h->run(400);
  submitBusRequest(*p.h->ctx, 50, 0x77);
  p.h->run(100);
  EXPECT_EQ(p.ports->bus(1)->get(0, 50), 0x77);
  selectBus(*p.h->ctx, 1);
  p.h->run(600);
  submitBusRequest(*p.h->ctx, 51, 0x66);
  p.h->run(100);
  EXPECT_EQ(p.ports->bus(1)->get(1, 51), 0x66);
  EXPECT_EQ(p.ports->bus(1)->get(0, 51), 0);
}

TEST(SimulatedBus, BusChangeSendsQueuedRequestsToTheNewBusAndQueuedWritesToTheOld) {
  SimProgram p(kMc2004TwoBuses);
  p.h->start();
  p.h->run(400);
  AppContext& ctx = *p.h->ctx;
  ctx.bus.stopFlag = 1;  // hold the bus thread so both queues keep what they get
  p.h->clock.sleep(5);
  submitBusRequest(ctx, 60, 1);
  submitBusRequest(ctx, 61, 2);
  ctx.busLink.writeQueue().push_back({0, 62, 3});  // already taken for bus 0
  selectBus(ctx, 1);
  p.h->run(600);
  sim::SimBus* bus = p.ports->bus(1);
  EXPECT_EQ(bus->get(1, 60), 1);
  EXPECT_EQ(bus->get(1, 61), 2);
  EXPECT_EQ(bus->get(0, 60), 0);
  EXPECT_EQ(bus->get(0, 62), 3);
  EXPECT_EQ(bus->get(1, 62), 0);
}

TEST(SimulatedBus, Slx852WritesReachBothBusesOfTheStrictDevice) {
  SimProgram p("[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\nBus1Com = 1\r\nBus1Akt = 1\r\n"
               "Bus1SX1 = 1\r\n[ComPorts]\r\nComPort01Typ = 4\r\n");
  p.h->start();
  p.h->run(1300);
  EXPECT_EQ(p.h->ctx->busLink.portState(1), kPortRunning);
  submitBusRequest(*p.h->ctx, 50, 0x77);
  p.h->run(100);
  selectBus(*p.h->ctx, 1);
  p.h->run(1300);
  submitBusRequest(*p.h->ctx, 51, 0x66);
  p.h->run(100);
  sim::SimBus* bus = p.ports->bus(1);
  EXPECT_EQ(bus->get(0, 50), 0x77);
  EXPECT_EQ(bus->get(1, 51), 0x66);
  EXPECT_EQ(bus->get(0, 51), 0);
  EXPECT_EQ(p.h->ctx->bus.mirror(1, 51), 0x66);
}

TEST(SimulatedBus, PollingInterfaceCoversTheBusAndProgrammingModeFollows) {
  SimProgram p("[Bus2Com]\r\nBus0Com = 2\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort02Typ = 1\r\n");
  p.h->start();
  p.ports->bus(2)->set(0, 111, 9);
  p.ports->bus(2)->set(0, 106, 0x20);
  p.h->run(500);
  EXPECT_EQ(p.h->ctx->bus.mirror(0, 111), 9);
  EXPECT_EQ(p.h->ctx->bus.programmingMode.load(), 1);
  EXPECT_EQ(p.h->ui.statusField(win::kMain, 4).text, p.h->ctx->text(605));
}

TEST(SimulatedBus, FccWithBothBuses) {
  SimProgram p("[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\nBus1Com = 1\r\nBus1Akt = 1\r\n"
               "Bus1SX1 = 1\r\n[ComPorts]\r\nComPort01Typ = 6\r\n");
  p.h->start();
  p.ports->bus(1)->set(1, 12, 0x5A);
  p.h->run(700);  // the start measures the frame for half a second
  EXPECT_EQ(p.h->ctx->busLink.fccFrameSize(), 322);
  EXPECT_EQ(p.h->ctx->bus.mirror(1, 12), 0x5A);
  submitBusRequest(*p.h->ctx, 13, 0x0F);
  p.h->run(100);
  EXPECT_EQ(p.ports->bus(1)->get(0, 13), 0x0F);
}

}  // namespace
}  // namespace kw::test
