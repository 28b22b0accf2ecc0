// Waiting for serial input. Between two passes the bus thread sleeps until one of its ports
// has new bytes, another thread wakes it (a request was queued, the thread is to stop), or
// its next deadline comes, instead of looking at every port again and again.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kw {

// An operating-system object that turns ready when a port receives new bytes: a descriptor
// on POSIX, an event handle on Windows.
using WaitHandle = intptr_t;
constexpr WaitHandle kNoWaitHandle = -1;

class InputWaiter {
 public:
  virtual ~InputWaiter() = default;
  // Blocks until one of `handles` is ready, wake() has been called since the last wait
  // returned, or `ms` milliseconds have passed (0: only looks).
  virtual void wait(const std::vector<WaitHandle>& handles, int ms) = 0;
  // Ends the current or the next wait; any thread may call it.
  virtual void wake() = 0;
};

// The host's waiter: poll() and a pipe on POSIX, WaitForMultipleObjects and an event on
// Windows.
std::unique_ptr<InputWaiter> makeInputWaiter();

}  // namespace kw
