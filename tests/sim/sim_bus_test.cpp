#include <gtest/gtest.h>

#include <thread>

#include "sim/sim_device.h"

namespace kw::sim {
namespace {

using Change = std::pair<int, int>;

TEST(SimBus, StartsEmptyWithPowerOn) {
  SimBus bus;
  EXPECT_TRUE(bus.power());
  EXPECT_EQ(bus.get(0, 127), 0x80);
  EXPECT_EQ(bus.get(0, 5), 0);
  EXPECT_EQ(bus.get(1, 127), 0);
}

TEST(SimBus, OutOfRangeIsIgnored) {
  SimBus bus;
  EXPECT_FALSE(bus.set(2, 5, 1));
  EXPECT_FALSE(bus.set(-1, 5, 1));
  EXPECT_FALSE(bus.set(0, 128, 1));
  EXPECT_FALSE(bus.set(0, -1, 1));
  EXPECT_EQ(bus.get(2, 5), 0);
  EXPECT_EQ(bus.get(0, 128), 0);
  EXPECT_EQ(bus.get(-3, -3), 0);
  EXPECT_EQ(bus.values(7), (std::array<uint8_t, 128>{}));
  EXPECT_TRUE(bus.takeChanges().empty());
}

TEST(SimBus, Address127Bit7IsTheTrackPower) {
  SimBus bus;
  bus.set(0, 127, 0x00);
  EXPECT_FALSE(bus.power());
  bus.set(0, 127, 0x83);
  EXPECT_TRUE(bus.power());
  bus.setPower(false);
  EXPECT_EQ(bus.get(0, 127), 0x03);  // the other bits stay
  bus.setPower(true);
  EXPECT_EQ(bus.get(0, 127), 0x83);
  // SX1 has no power address.
  bus.set(1, 127, 0x00);
  EXPECT_TRUE(bus.power());
}

TEST(SimBus, ProgrammingFlagIsStoredLikeAnyValue) {
  SimBus bus;
  bus.set(0, 106, 0x20);
  EXPECT_EQ(bus.get(0, 106), 0x20);
  EXPECT_TRUE(bus.power());
}

TEST(SimBus, ChangesComeInOrderOnceEach) {
  SimBus bus;
  bus.set(1, 7, 3);
  bus.set(0, 5, 1);
  bus.set(0, 5, 1);  // no change
  bus.setPower(false);
  EXPECT_EQ(bus.takeChanges(), (std::vector<Change>{{1, 7}, {0, 5}, {0, 127}}));
  EXPECT_TRUE(bus.takeChanges().empty());
  bus.set(1, 7, 4);
  bus.set(0, 9, 9);
  bus.set(1, 7, 5);  // changed again: reported once, at its latest place
  EXPECT_EQ(bus.takeChanges(), (std::vector<Change>{{0, 9}, {1, 7}}));
}

TEST(SimBus, ReadersFollowChangesIndependently) {
  SimBus bus;
  uint64_t a = bus.changeCursor(), b = bus.changeCursor();
  bus.set(0, 1, 1);
  EXPECT_EQ(bus.changesSince(a), (std::vector<Change>{{0, 1}}));
  bus.set(0, 2, 2);
  EXPECT_EQ(bus.changesSince(a), (std::vector<Change>{{0, 2}}));
  EXPECT_EQ(bus.changesSince(b), (std::vector<Change>{{0, 1}, {0, 2}}));
  EXPECT_TRUE(bus.changesSince(b).empty());
}

TEST(SimBus, DemoMovesEveryHalfSecond) {
  SimBus bus;
  bus.setDemo(true);
  auto shown = [&] {
    std::array<uint8_t, SimBus::kDemoAddresses.size()> v{};
    for (size_t i = 0; i < v.size(); ++i)
      v[i] = bus.get(SimBus::kDemoAddresses[i].first, SimBus::kDemoAddresses[i].second);
    return v;
  };
  // The first pattern is there at once.
  EXPECT_EQ(shown(), SimBus::demoValues(0));
  bus.takeChanges();
  Tick t = 5000;
  bus.advance(t);  // starts the period
  bus.advance(t + 499);
  EXPECT_EQ(shown(), SimBus::demoValues(0));
  EXPECT_TRUE(bus.takeChanges().empty());
  bus.advance(t + 500);
  EXPECT_EQ(shown(), SimBus::demoValues(1));
  EXPECT_EQ(bus.takeChanges().size(), SimBus::kDemoAddresses.size());
  bus.advance(t + 1000);
  EXPECT_EQ(shown(), SimBus::demoValues(2));
  // A long pause gives one step, not a burst, and the period starts anew.
  bus.advance(t + 9000);
  EXPECT_EQ(shown(), SimBus::demoValues(3));
  bus.advance(t + 9499);
  EXPECT_EQ(shown(), SimBus::demoValues(3));
  bus.advance(t + 9500);
  EXPECT_EQ(shown(), SimBus::demoValues(4));
  bus.setDemo(false);
  bus.advance(t + 20000);
  EXPECT_EQ(shown(), SimBus::demoValues(4));
}

TEST(SimBus, DemoPatternIsVisible) {
  // Every demo address changes on every step, so the layout looks alive.
  for (uint32_t s = 0; s < 40; ++s) {
    auto a = SimBus::demoValues(s), b = SimBus::demoValues(s + 1);
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NE(a[i], b[i]) << "step " << s << " #" << i;
  }
  EXPECT_EQ(SimBus::demoValues(0)[0], 0x01);
  EXPECT_EQ(SimBus::demoValues(7)[0], 0x80);
  EXPECT_EQ(SimBus::demoValues(8)[0], 0x01);
}

TEST(SimBus, SurvivesConcurrentUse) {
  SimBus bus;
  bus.setDemo(true);
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) bus.set(i % 2, i % 128, static_cast<uint8_t>(i));
  });
  uint64_t cursor = 0;
  size_t seen = 0;
  for (int i = 0; i < 20000; ++i) {
    bus.advance(static_cast<Tick>(i));
    seen += bus.changesSince(cursor).size();
    (void)bus.get(0, i % 128);
  }
  writer.join();
  seen += bus.changesSince(cursor).size();
  EXPECT_GT(seen, 0u);
}

}  // namespace
}  // namespace kw::sim
