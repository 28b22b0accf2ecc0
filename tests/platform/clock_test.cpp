#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/worker.h"

namespace kw {
namespace {

TEST(Tick, ComparisonSurvivesWrapAround) {
  Tick before = 0xFFFFFFF0u;
  Tick after = before + 0x20;  // wrapped past zero
  EXPECT_TRUE(tickReached(after, before));
  EXPECT_FALSE(tickReached(before, after));
  EXPECT_EQ(tickDiff(after, before), 0x20);
  EXPECT_TRUE(tickPassed(after, before));
  EXPECT_FALSE(tickPassed(before, before));
}

TEST(VirtualClock, JobsRunInDueOrderOnTheTimeline) {
  VirtualClock c(0);
  std::vector<std::pair<char, Tick>> runs;
  c.every(5, [&] {
    runs.push_back({'a', c.now()});
    return 10;
  });
  c.every(7, [&] {
    runs.push_back({'b', c.now()});
    return runs.size() > 3 ? -1 : 4;
  });
  c.sleep(20);
  std::vector<std::pair<char, Tick>> expected = {{'a', 5}, {'b', 7}, {'b', 11}, {'a', 15}, {'b', 15}};
  EXPECT_EQ(runs, expected);
  EXPECT_EQ(c.now(), 20u);
}

TEST(VirtualClock, LongSleepKeepsEveryDueInstantAcrossTheWrap) {
  VirtualClock c(0xFFFFFFF8u);
  std::vector<Tick> runs;
  c.every(3, [&] {
    runs.push_back(c.now());
    return 7;
  });
  c.sleep(20);
  EXPECT_EQ(runs, (std::vector<Tick>{0xFFFFFFFBu, 2u, 9u}));
  EXPECT_EQ(c.now(), 12u);
}

TEST(VirtualClock, JobThatSleepsIsNotReentered) {
  VirtualClock c(0);
  int depth = 0, maxDepth = 0, runs = 0;
  c.every(0, [&] {
    ++depth;
    ++runs;
    maxDepth = std::max(maxDepth, depth);
    c.sleep(5);  // nested sleep inside the job
    --depth;
    return 1;
  });
  c.sleep(30);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(runs, 4);
  EXPECT_LE(runs, 6);
}

TEST(VirtualClock, LocalTimeFollowsTheTimeline) {
  VirtualClock c(0);
  c.setLocalTimeBase({2026, 12, 7, 23, 59, 58});
  c.sleep(2500);
  LocalTime t = c.localTime();
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.minute, 0);
  EXPECT_EQ(t.second, 0);
}

TEST(Worker, VirtualWorkerEndsWhenItsCycleSaysSo) {
  VirtualClock c(0);
  VirtualWorkerFactory f(c);
  int n = 0;
  auto w = f.start("t", [&] { return ++n < 5 ? 1 : -1; });
  EXPECT_TRUE(w->running());
  w->waitUntilEnded(1);
  EXPECT_FALSE(w->running());
  EXPECT_EQ(n, 5);
}

TEST(Worker, ThreadWorkerRunsAndEnds) {
  RealClock c;
  ThreadWorkerFactory f(c);
  std::atomic<int> n{0};
  auto w = f.start("t", [&] { return ++n < 3 ? 1 : -1; });
  w->waitUntilEnded(1);
  EXPECT_FALSE(w->running());
  EXPECT_EQ(n.load(), 3);
}

}  // namespace
}  // namespace kw
