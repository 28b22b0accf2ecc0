// The bus thread: it repeats the bus link's cycle with a 1 ms pause. It ends by itself once
// it sees stopFlag, so it never dies holding a lock.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "buslink/bus_link.h"
#include "buslink/bus_state.h"
#include "platform/clock.h"
#include "platform/worker.h"

namespace kw {

class BusThread {
 public:
  BusThread(BusState& state, BusLink& link, Clock& clock, WorkerFactory& workers)
      : state_(state), link_(link), clock_(clock), workers_(workers) {}

  int cycle() { return link_.cycle(); }
  void start();
  // Sets stopFlag, sleeps `pauseMs` and then waits until the cycle has ended.
  void stop(uint32_t pauseMs);
  bool running() const { return worker_ && worker_->running(); }

  std::deque<BusWrite>& writeQueue() { return link_.writeQueue(); }

 private:
  BusState& state_;
  BusLink& link_;
  Clock& clock_;
  WorkerFactory& workers_;
  std::unique_ptr<Worker> worker_;
};

}  // namespace kw
