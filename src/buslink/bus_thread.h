// The bus thread: it repeats the bus link's cycle and, between two cycles, sleeps until
// new bytes come in, a request is queued, or the cycle's next deadline comes. It ends by
// itself once it sees stopFlag, so it never dies holding a lock.
//
// On the virtual timeline the thread is a job that looks every millisecond whether the
// same things have happened and runs the cycle only then, so tests see the timing of the
// real thread.
#pragma once

#include <atomic>
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
  // Cycles run so far (for measuring how often the thread wakes).
  uint64_t cycles() const { return cycles_.load(); }
  // Sets stopFlag, sleeps `pauseMs` and then waits until the cycle has ended.
  void stop(uint32_t pauseMs);
  bool running() const { return worker_ && worker_->running(); }

  std::deque<BusWrite>& writeQueue() { return link_.writeQueue(); }

 private:
  BusState& state_;
  BusLink& link_;
  Clock& clock_;
  int threadPass();
  int virtualPass();

  WorkerFactory& workers_;
  std::unique_ptr<Worker> worker_;
  std::atomic<uint64_t> cycles_{0};
  bool cycled_ = false;  // virtual timeline: a cycle has run since the start
  Tick nextDue_ = 0;
};

}  // namespace kw
