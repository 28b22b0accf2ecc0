// The simulated turntable turns: commands in the register window with 128 then 0 on
// address 2, turns ordered on its own address with bit 7 until it stands, the answer to
// the position ask, and the track on its feedback address (91).
#include <gtest/gtest.h>

#include "module_test_util.h"

namespace kw::sim::test {
namespace {

constexpr int kAddress = 15;
constexpr int kFeedback = 91;

struct TurntableRig : ModuleRig {
  std::shared_ptr<SimModule> m = module(2);
  int track() const { return m->parameter(2)[1]; }
  void commandMode() {
    switchOn(49, kAddress);
    write(0, 3);
  }
};

TEST(SimTurntable, WindowCommands) {
  struct Case {
    const char* name;
    Writes writes;
    uint32_t turningAfterMs;  // address 2 still shows 128 this long after the command
    uint32_t standingAfterMs;
    int track;
  };
  const Case cases[] = {
      {"one track on", {{2, 128}}, 650, 720, 1},
      {"to the target (mod 48)", {{3, 50}, {2, 32}}, 850, 920, 2},
      {"reference at track 0", {{2, 64}}, 450, 520, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TurntableRig rig;
    rig.commandMode();
    for (const auto& [a, v] : c.writes) rig.write(a, v, 0);
    rig.clock.sleep(c.turningAfterMs);
    EXPECT_EQ(rig.get(2), 128);
    rig.clock.sleep(c.standingAfterMs - c.turningAfterMs);
    EXPECT_EQ(rig.get(2), 0);
    EXPECT_EQ(rig.track(), c.track);
    if (c.track != 0) {
      EXPECT_EQ(rig.get(kFeedback), c.track);
    }
  }
  // Stop ends a turn where the bridge is; other values on 2 are no command.
  TurntableRig rig;
  rig.commandMode();
  rig.write(3, 10, 0);
  rig.write(2, 32, 1000);  // passes track 1 at 700, track 2 at 900
  rig.write(2, 16, 0);
  EXPECT_EQ(rig.get(2), 0);
  rig.clock.sleep(3000);
  EXPECT_EQ(rig.track(), 2);
  rig.write(2, 9, 1000);
  EXPECT_EQ(rig.get(2), 9);
  EXPECT_EQ(rig.m->parameter(3), (ParameterValue{0, 4, 2}));
}

TEST(SimTurntable, OwnAddressTurnAndAsk) {
  TurntableRig rig;
  rig.write(kAddress, 0xF0, kAnswerDelayMs);
  EXPECT_EQ(rig.get(kAddress), 0x40);  // standing at track 0
  rig.write(kAddress, 0xC0 | 3, 1000);
  EXPECT_EQ(rig.get(kAddress), 0xC3);  // bit 7: still turning
  EXPECT_EQ(rig.get(kFeedback), 2);
  rig.write(kAddress, 0xF0, 50);       // asked meanwhile: answered by the end of the turn
  EXPECT_EQ(rig.get(kAddress), 0xF0);
  rig.clock.sleep(200);
  EXPECT_EQ(rig.get(kAddress), 0x43);
  EXPECT_EQ(rig.get(kFeedback), 3);
  // Values without both high bits are not for the turntable; a silent one does nothing.
  rig.write(kAddress, 0x85, 2000);
  EXPECT_EQ(rig.track(), 3);
  rig.m->faults.silent = true;
  rig.write(kAddress, 0xC0 | 9, 5000);
  EXPECT_EQ(rig.get(kAddress), 0xC9);
  EXPECT_EQ(rig.track(), 3);
}

}  // namespace
}  // namespace kw::sim::test
