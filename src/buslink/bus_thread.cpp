#include "buslink/bus_thread.h"

namespace kw {

void BusThread::transferRequest() {
  // One request per cycle; the bus is the one current when the request is taken.
  auto r = queue_.take();
  if (!r) return;
  if (r->kind != 1 && r->kind != 2) return;
  if (r->address < 0 || r->address > 127) return;  // never index the mirror out of range
  writeQueue_.push_back({state_.currentBus.load(), static_cast<uint16_t>(r->address),
                         static_cast<uint16_t>(r->value & 0xFF)});
}

int BusThread::cycle() {
  if (stopping()) return -1;
  transferRequest();
  return 1;
}

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
