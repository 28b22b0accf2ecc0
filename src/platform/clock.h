// Every wait of the program goes through one Clock. The real clock sleeps; the virtual
// clock moves a shared timeline forward and runs the periodic jobs (bus cycle, clock
// thread, simulated devices) that are due on the way, so tests are fast and repeatable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kw {

// 32-bit millisecond tick; it wraps, so ticks are only ever compared by signed difference.
using Tick = uint32_t;

inline int32_t tickDiff(Tick a, Tick b) { return static_cast<int32_t>(a - b); }
// True once `now` has reached `deadline`.
inline bool tickReached(Tick now, Tick deadline) { return tickDiff(now, deadline) >= 0; }
// True once `now` is strictly past `deadline`.
inline bool tickPassed(Tick now, Tick deadline) { return tickDiff(now, deadline) > 0; }

struct LocalTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Tick now() const = 0;
  virtual void sleep(uint32_t ms) = 0;
  virtual LocalTime localTime() const = 0;
};

class RealClock final : public Clock {
 public:
  RealClock();
  Tick now() const override;
  void sleep(uint32_t ms) override;
  LocalTime localTime() const override;

 private:
  int64_t originMs_;
};

// Single-threaded virtual timeline. Jobs registered with every() run on the thread that
// advances time, in order of due time; a job that is already running (because it slept)
// is not entered again until it returns.
class VirtualClock final : public Clock {
 public:
  // A job returns the ms until its next run, or a negative number to end.
  using Job = std::function<int()>;

  explicit VirtualClock(Tick start = 1000);
  Tick now() const override { return now_; }
  void sleep(uint32_t ms) override;
  LocalTime localTime() const override;

  // Starts a job that first runs after `firstDelay` ms. Returns its handle.
  int every(uint32_t firstDelay, Job job);
  void cancel(int handle);
  bool active(int handle) const;
  void setLocalTimeBase(const LocalTime& t) { base_ = t; }

 private:
  struct Entry {
    int handle;
    Tick due;
    Job job;
    bool running = false;
    bool cancelled = false;
  };
  void runDue();
  Tick nextInstant(Tick end) const;

  Tick now_;
  Tick start_;
  LocalTime base_{2026, 12, 7, 12, 0, 0};
  int nextHandle_ = 1;
  std::vector<std::shared_ptr<Entry>> jobs_;
};

}  // namespace kw
