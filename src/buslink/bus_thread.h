// The bus thread: one cycle is a plain function call, the thread only repeats it with a
// 1 ms pause. It ends by itself once it sees stopFlag, so it never dies holding a lock.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "buslink/bus_state.h"
#include "buslink/request_queue.h"
#include "platform/clock.h"
#include "platform/worker.h"

namespace kw {

struct BusWrite {
  uint8_t bus = 0;
  uint16_t address = 0;
  uint16_t value = 0;
  bool operator==(const BusWrite&) const = default;
};

class BusThread {
 public:
  BusThread(BusState& state, RequestQueue& queue, Clock& clock, WorkerFactory& workers)
      : state_(state), queue_(queue), clock_(clock), workers_(workers) {}

  // One pass of the cycle. Returns the ms to sleep, or -1 once stopFlag is seen.
  int cycle();

  void start();
  // Sets stopFlag, sleeps `pauseMs` and then waits until the cycle has ended.
  void stop(uint32_t pauseMs);
  bool running() const { return worker_ && worker_->running(); }

  // Writes taken from the request queue and not yet sent (bus thread only).
  std::deque<BusWrite>& writeQueue() { return writeQueue_; }

 private:
  bool stopping() const { return state_.stopFlag.load() != 0; }
  void transferRequest();

  BusState& state_;
  RequestQueue& queue_;
  Clock& clock_;
  WorkerFactory& workers_;
  std::unique_ptr<Worker> worker_;
  std::deque<BusWrite> writeQueue_;
};

}  // namespace kw
