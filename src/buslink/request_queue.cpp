#include "buslink/request_queue.h"

namespace kw {

void RequestQueue::submit(int32_t address, int32_t value) {
  overflowQueue_.push_back(BusRequest{2, address, value});
  // Going through the overflow queue every time keeps one order for everything submitted.
  drainOverflow();
}

bool RequestQueue::drainOverflow() {
  if (overflowQueue_.empty()) return true;
  std::unique_lock<std::mutex> lock(requestMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  requestQueue_.insert(requestQueue_.end(), overflowQueue_.begin(), overflowQueue_.end());
  queued_.store(requestQueue_.size());
  overflowQueue_.clear();
  lock.unlock();
  if (wake_) wake_();
  return true;
}

std::optional<BusRequest> RequestQueue::take() {
  if (queued_.load() == 0) return std::nullopt;
  std::lock_guard<std::mutex> lock(requestMutex_);
  if (requestQueue_.empty()) return std::nullopt;
  BusRequest r = requestQueue_.front();
  requestQueue_.pop_front();
  queued_.store(requestQueue_.size());
  return r;
}

void RequestQueue::append(const BusRequest& request) {
  std::lock_guard<std::mutex> lock(requestMutex_);
  requestQueue_.push_back(request);
  queued_.store(requestQueue_.size());
}

size_t RequestQueue::pendingCount() {
  std::lock_guard<std::mutex> lock(requestMutex_);
  return requestQueue_.size();
}

}  // namespace kw
