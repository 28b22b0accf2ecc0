#include "buslink/request_queue.h"

namespace kw {

void RequestQueue::submit(int32_t address, int32_t value) {
  BusRequest r{2, address, value};
  std::unique_lock<std::mutex> lock(requestMutex_, std::try_to_lock);
  if (lock.owns_lock()) {
    requestQueue_.push_back(r);
  } else {
    overflowQueue_.push_back(r);
  }
}

void RequestQueue::drainOverflow() {
  if (overflowQueue_.empty()) return;
  std::unique_lock<std::mutex> lock(requestMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  requestQueue_.insert(requestQueue_.end(), overflowQueue_.begin(), overflowQueue_.end());
  overflowQueue_.clear();
}

std::optional<BusRequest> RequestQueue::take() {
  std::lock_guard<std::mutex> lock(requestMutex_);
  if (requestQueue_.empty()) return std::nullopt;
  BusRequest r = requestQueue_.front();
  requestQueue_.pop_front();
  return r;
}

void RequestQueue::append(const BusRequest& request) {
  std::lock_guard<std::mutex> lock(requestMutex_);
  requestQueue_.push_back(request);
}

size_t RequestQueue::pendingCount() {
  std::lock_guard<std::mutex> lock(requestMutex_);
  return requestQueue_.size();
}

}  // namespace kw
