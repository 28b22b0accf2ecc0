#include "buslink/bus_thread.h"

namespace kw {

void BusThread::start() {
  if (running()) return;
  worker_ = workers_.start("bus", [this] { return cycle(); });
}

void BusThread::stop(uint32_t pauseMs) {
  state_.stopFlag = 1;
  if (pauseMs) clock_.sleep(pauseMs);
  if (worker_) {
    worker_->waitUntilEnded(0);
    worker_.reset();
  }
}

}  // namespace kw
