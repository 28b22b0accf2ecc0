#include "buslink/bus_thread.h"

namespace kw {

void BusThread::start() {
  if (running()) return;
  cycled_ = false;
  if (workers_.threaded())
    worker_ = workers_.start("bus", [this] { return threadPass(); });
  else
    worker_ = workers_.start("bus", [this] { return virtualPass(); });
}

int BusThread::threadPass() {
  const int ms = link_.cycle();
  if (ms < 0) return -1;
  ++cycles_;
  link_.waitForWork(ms);
  return 0;
}

int BusThread::virtualPass() {
  if (cycled_ && !tickReached(clock_.now(), nextDue_) && !link_.wantsCycle()) return 1;
  const int ms = link_.cycle();
  if (ms < 0) return -1;
  link_.noteWaiting();
  ++cycles_;
  cycled_ = true;
  nextDue_ = clock_.now() + static_cast<Tick>(ms);
  return 1;
}

void BusThread::stop(uint32_t pauseMs) {
  state_.stopFlag = 1;
  link_.wakeUp();
  if (pauseMs) clock_.sleep(pauseMs);
  if (worker_) {
    worker_->waitUntilEnded(0);
    worker_.reset();
  }
}

}  // namespace kw
