// The main loop's wait and the status pop-up.
#include <gtest/gtest.h>

#include <mutex>

#include "app/harness.h"
#include "app/status_popup.h"

namespace kw::test {
namespace {

TEST(MainLoop, SleepsUntilAnEventWhileNoRequestWaitsForTheQueue) {
  Harness h;
  h.start();
  const Tick t = h.clock.now();
  h.ui.injectAt(t + 3000, {EventType::Click, win::kMain, 1, 0, 0});  // bound to nothing
  mainLoopPass(*h.ctx, 5000);
  EXPECT_EQ(tickDiff(h.clock.now(), t), 3000);
  EXPECT_EQ(h.ui.pendingEvents(), 0);
}

TEST(MainLoop, ARequestInTheOverflowQueueKeepsTheShortWait) {
  Harness h;
  h.start();
  h.ctx->bus.stopFlag = 1;  // hold the bus thread, which would take the lock too
  h.clock.sleep(5);
  {
    std::lock_guard<std::mutex> busy(h.ctx->queue.requestMutex());
    submitBusRequest(*h.ctx, 7, 7);
  }
  ASSERT_EQ(h.ctx->queue.overflowCount(), 1u);
  const Tick t = h.clock.now();
  mainLoopPass(*h.ctx, 5000);
  EXPECT_EQ(tickDiff(h.clock.now(), t), kMainLoopWaitMs);
  EXPECT_EQ(h.ctx->queue.overflowCount(), 0u);
  EXPECT_EQ(h.ctx->queue.pendingCount(), 1u);
}

TEST(StatusPopup, DroppedBytesLineInEachLanguage) {
  EXPECT_EQ(droppedLine(2, 17, 1), "Com 2: 17 Bytes verworfen");
  EXPECT_EQ(droppedLine(2, 17, 2), "Com 2: 17 bytes dropped");
  EXPECT_EQ(droppedLine(8, 1, 3), "Com 8: 1 byte scartati");
  EXPECT_EQ(droppedLine(1, 3, 4), "Com 1: 3 octets rejet\xC3\xA9s");
  EXPECT_EQ(droppedLine(1, 0, 1), "");
}

}  // namespace
}  // namespace kw::test
