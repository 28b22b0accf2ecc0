// Background threads as the program uses them: a cycle function that is called again and
// again with a sleep in between. On the real clock it is an OS thread; on the virtual clock
// a job of the timeline, so tests interleave it deterministically with the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/clock.h"

namespace kw {

// A cycle returns the ms to sleep before the next call, or a negative number to end.
using Cycle = std::function<int()>;

class Worker {
 public:
  virtual ~Worker() = default;
  virtual bool running() const = 0;
  // Waits (through the clock, in steps of `pollMs`) until the cycle has ended by itself.
  virtual void waitUntilEnded(uint32_t pollMs) = 0;
};

class WorkerFactory {
 public:
  virtual ~WorkerFactory() = default;
  virtual std::unique_ptr<Worker> start(const std::string& name, Cycle cycle) = 0;
  // True when a cycle runs on a thread of its own and may block in a wait of its own
  // (the real clock); false on the virtual timeline, where a cycle must return at once.
  virtual bool threaded() const { return true; }
};

class ThreadWorkerFactory final : public WorkerFactory {
 public:
  explicit ThreadWorkerFactory(Clock& clock) : clock_(clock) {}
  std::unique_ptr<Worker> start(const std::string& name, Cycle cycle) override;

 private:
  Clock& clock_;
};

class VirtualClock;
class VirtualWorkerFactory final : public WorkerFactory {
 public:
  explicit VirtualWorkerFactory(VirtualClock& clock) : clock_(clock) {}
  std::unique_ptr<Worker> start(const std::string& name, Cycle cycle) override;
  bool threaded() const override { return false; }

 private:
  VirtualClock& clock_;
};

}  // namespace kw
