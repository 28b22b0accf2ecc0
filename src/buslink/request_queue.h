// Hand-over of bus writes from the window thread to the bus thread. The window thread
// never waits: when the bus thread holds the lock, the request goes to an overflow queue
// that is moved over as soon as the lock is free. Requests always reach the bus in the
// order they were submitted: while the overflow queue holds anything, new requests line
// up behind it instead of overtaking it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace kw {

struct BusRequest {
  int32_t kind = 2;  // 2 = write (1 means the same); other kinds are dropped
  int32_t address = 0;
  int32_t value = 0;
  bool operator==(const BusRequest&) const = default;
};

class RequestQueue {
 public:
  // Window thread. Never blocks.
  void submit(int32_t address, int32_t value);
  // Window thread: moves the overflow queue over when the lock is free; true when the
  // overflow queue is empty afterwards. Called by every wait of the window thread.
  bool drainOverflow();
  // Bus thread: takes the oldest request; takes the lock only when something is queued.
  std::optional<BusRequest> take();
  // Bus thread: appends a request of its own, waiting for the lock.
  void append(const BusRequest& request);

  // Called (on the window thread) whenever requests have reached the request queue, so
  // that a bus thread asleep between two cycles takes them at once. Set before the bus
  // thread starts.
  void setWakeUp(std::function<void()> wake) { wake_ = std::move(wake); }
  // Whether the request queue holds anything; no lock.
  bool hasPending() const { return queued_.load() != 0; }

  // Sizes for status and tests. `pendingCount` takes the lock.
  size_t pendingCount();
  size_t overflowCount() const { return overflowQueue_.size(); }
  std::mutex& requestMutex() { return requestMutex_; }

 private:
  std::mutex requestMutex_;
  std::deque<BusRequest> requestQueue_;   // guarded by requestMutex_
  std::atomic<size_t> queued_{0};         // size of requestQueue_, readable without the lock
  std::deque<BusRequest> overflowQueue_;  // window thread only
  std::function<void()> wake_;
};

}  // namespace kw
