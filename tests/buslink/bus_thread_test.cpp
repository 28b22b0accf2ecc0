// The bus thread between its cycles, on the virtual timeline: it runs a cycle only for new
// input, a request, a stop or the cycle's own next deadline.
#include "buslink/bus_thread.h"

#include <gtest/gtest.h>

#include "buslink/link_fixture.h"
#include "platform/worker.h"

namespace kw::test {
namespace {

struct ThreadLink : Link {
  VirtualWorkerFactory workers{clock};
  BusThread thread{state, link, clock, workers};
  ~ThreadLink() { thread.stop(0); }
  // Cycles the thread runs while `ms` pass.
  uint64_t cyclesDuring(uint32_t ms) {
    const uint64_t before = thread.cycles();
    clock.sleep(ms);
    return thread.cycles() - before;
  }
};

TEST(BusThread, SleepsBetweenTheDeadlinesOfWhatIsOpen) {
  struct Case {
    int type;  // -1: no interface
    uint64_t cyclesPerSecond;
  };
  // Nothing open: the rows' heartbeat. MC2004: its CTS watch. Polling interface that never
  // answers: its 250 ms timeouts under the heartbeat.
  const Case cases[] = {{-1, 1000 / kMaxIdleMs}, {3, 1000 / kCtsWatchMs}, {1, 1000 / kMaxIdleMs}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ThreadLink k;
    if (c.type >= 0) k.bus(0, 1, c.type);
    k.link.openInterfaces();
    k.thread.start();
    k.clock.sleep(300);  // past the start
    const uint64_t n = k.cyclesDuring(1000);
    EXPECT_GE(n, c.cyclesPerSecond);
    EXPECT_LE(n, c.cyclesPerSecond + 5);
  }
}

TEST(BusThread, ARequestOrNewBytesWakeItAtOnce) {
  ThreadLink k;
  k.bus(0, 1, 3);
  k.link.openInterfaces();
  k.thread.start();
  k.clock.sleep(300);
  k.line(1).writes.clear();
  const Tick t = k.clock.now();
  k.queue.submit(12, 0x34);
  k.clock.sleep(5);
  ASSERT_EQ(k.line(1).writes.size(), 2u);
  EXPECT_EQ(k.line(1).writes[1].second, (B{0x8C, 0x34}));
  EXPECT_LE(tickDiff(k.line(1).writes[1].first, t), 2);  // taken, then sent
  k.line(1).push({0x80, 13, 0x56});
  k.clock.sleep(1);
  EXPECT_EQ(k.state.mirror(0, 13), 0x56);
}

TEST(BusThread, StopEndsTheSleepingThread) {
  ThreadLink k;
  k.thread.start();
  k.clock.sleep(10);
  const Tick t = k.clock.now();
  k.thread.stop(0);
  EXPECT_FALSE(k.thread.running());
  EXPECT_LE(tickDiff(k.clock.now(), t), 2);
}

}  // namespace
}  // namespace kw::test
