// Round trips with kantelwerk-sim on a pseudo-terminal, as the program's real serial code
// would talk to it.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <chrono>
#include <thread>

#include "sim/sim_process.h"

namespace kw::sim::test {
namespace {

TEST(KantelwerkSim, PolledRoundTripOnAPseudoTerminal) {
  SimProcess sim({"--class", "1", "--set", "0:3=77"});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  ASSERT_TRUE(sim.openTerminal());

  sim.send({0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7});
  EXPECT_EQ(sim.receive(8), (Bytes{0, 0, 0, 77, 0, 0, 0, 0}));

  sim.command("set 0 5 60");
  sim.command("get 0 5");
  EXPECT_EQ(sim.lineStarting("value"), "value 0 5 60");
  sim.send({5, 5, 0x7F, 0x7F});
  EXPECT_EQ(sim.receive(2), (Bytes{60, 0x80}));

  sim.send({0x85, 61});
  EXPECT_EQ(sim.lineStarting("write"), "write 0 5 61");
  sim.send({0xFF, 0x00});
  EXPECT_EQ(sim.lineStarting("write"), "write 0 127 0");
  sim.send({0x7F, 0x7F});
  EXPECT_EQ(sim.receive(1), (Bytes{0x00}));
  sim.command("power 1");
  sim.command("get 0 127");
  EXPECT_EQ(sim.lineStarting("value"), "value 0 127 128");
}

TEST(KantelwerkSim, Slx852StreamsOnAPseudoTerminal) {
  SimProcess sim({"--class", "3", "--baud", "57600"});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  ASSERT_TRUE(sim.openTerminal());
  sim.send({0xFE, 0x50, 0xFE, 0x51, 0xFE, 0xA0});
  const Bytes dump = sim.receive(256);
  ASSERT_EQ(dump.size(), 256u);
  EXPECT_EQ(dump[254], 0x7F);
  EXPECT_EQ(dump[255], 0x80);
  sim.command("set 0 9 33");
  EXPECT_EQ(sim.receive(2), (Bytes{0x09, 33}));
  sim.send({0xFE, 0x00, 0x8A, 0x44});
  EXPECT_EQ(sim.lineStarting("write"), "write 0 10 68");
  EXPECT_EQ(sim.receive(2), (Bytes{0x0A, 0x44}));
}

TEST(KantelwerkSim, FccFrameOnAPseudoTerminal) {
  SimProcess sim({"--class", "5", "--frame", "418", "--demo"});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  ASSERT_TRUE(sim.openTerminal());
  sim.send({0x78, 0xC3});
  const Bytes frame = sim.receive(418);
  ASSERT_EQ(frame.size(), 418u);
  EXPECT_EQ(frame[0], 0xAA);
  EXPECT_EQ(frame[96], 0xBB);
  EXPECT_EQ(frame[192 + 112], 0x01);  // power on
  sim.send({0x01, 0x85, 0x2A});
  EXPECT_EQ(sim.receive(1).size(), 1u);
  EXPECT_EQ(sim.lineStarting("write"), "write 1 5 42");
}

TEST(KantelwerkSim, ModulesAnswerAndTakeCommands) {
  SimProcess sim({"--class", "1", "--modules"});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  ASSERT_TRUE(sim.openTerminal());

  // The request for family 3 at 16; once the last write is carried out, the answer follows
  // within milliseconds.
  sim.send({0x80 | 104, 40, 0x80 | 107, 16, 0x80 | 106, 168});
  EXPECT_EQ(sim.lineStarting("write 0 106"), "write 0 106 168");
  sim.command("param 3 1");
  EXPECT_EQ(sim.lineStarting("param"), "param 3 1 16 0 0");
  Bytes answer;
  for (int i = 0; i < 100 && answer != Bytes{40, 0}; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sim.send({106, 106, 107, 107});
    answer = sim.receive(2);
  }
  EXPECT_EQ(answer, (Bytes{40, 0}));

  sim.command("key 6");
  EXPECT_EQ(sim.lineStarting("key"), "key 6 on");
  sim.command("key 6");
  EXPECT_EQ(sim.lineStarting("key"), "key 6 off");
  sim.command("key 0/16");
  EXPECT_EQ(sim.lineStarting("key"), "key 0/16 none");
  sim.command("silent 7 1");
  sim.command("key 7");
  EXPECT_EQ(sim.lineStarting("key"), "key 7 none");
  sim.command("wrongversion 0/15 1");
  sim.command("param 0/15 27");
  EXPECT_EQ(sim.lineStarting("param"), "param 0/15 27 18 0 0");
  // The device's own fault commands still work.
  sim.command("silent 1");
  sim.command("get 0 5");
  EXPECT_EQ(sim.lineStarting("value"), "value 0 5 0");
  sim.send({5, 5});
  EXPECT_TRUE(sim.receive(1, 300).empty());
}

TEST(KantelwerkSim, RejectsBadArguments) {
  SimProcess sim({"--class", "9"});
  if (!sim.running()) GTEST_SKIP() << "kantelwerk-sim not built";
  EXPECT_EQ(sim.line(2000), "");  // no terminal path, it ended
}

}  // namespace
}  // namespace kw::sim::test

#endif  // _WIN32
