#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kw {

namespace {
int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

RealClock::RealClock() : originMs_(steadyMs()) {}

Tick RealClock::now() const {
  // Start at an arbitrary non-zero tick like a system tick counter would.
  return static_cast<Tick>(steadyMs() - originMs_ + 100000);
}

void RealClock::sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LocalTime RealClock::localTime() const {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

VirtualClock::VirtualClock(Tick start) : now_(start), start_(start) {}

int VirtualClock::every(uint32_t firstDelay, Job job) {
  auto e = std::make_shared<Entry>();
  e->handle = nextHandle_++;
  e->due = now_ + firstDelay;
  e->job = std::move(job);
  jobs_.push_back(e);
  return e->handle;
}

void VirtualClock::cancel(int handle) {
  for (auto& e : jobs_)
    if (e->handle == handle) e->cancelled = true;
}

bool VirtualClock::active(int handle) const {
  for (const auto& e : jobs_)
    if (e->handle == handle) return !e->cancelled;
  return false;
}

void VirtualClock::runDue() {
  // Run every job due at the current instant, earliest first; jobs may add jobs.
  for (;;) {
    std::shared_ptr<Entry> next;
    for (auto& e : jobs_) {
      if (e->cancelled || e->running || !tickReached(now_, e->due)) continue;
      if (!next || tickDiff(e->due, next->due) < 0) next = e;
    }
    if (!next) break;
    next->running = true;
    int delay = next->job();
    next->running = false;
    if (delay < 0) {
      next->cancelled = true;
    } else {
      // A job that slept inside itself has already seen time pass.
      Tick base = tickReached(now_, next->due) ? now_ : next->due;
      next->due = base + static_cast<Tick>(delay == 0 ? 1 : delay);
    }
  }
  std::erase_if(jobs_, [](const auto& e) { return e->cancelled && !e->running; });
}

void VirtualClock::sleep(uint32_t ms) {
  // Deadline-based: a job that sleeps inside this sleep moves time on for everyone.
  const Tick end = now_ + ms;
  runDue();
  while (tickDiff(end, now_) > 0) {
    now_ = nextInstant(end);
    runDue();
  }
}

Tick VirtualClock::nextInstant(Tick end) const {
  // Nothing happens between the jobs' due times, so time jumps to the next of them: a long
  // sleep costs one step per job run, not one per millisecond.
  Tick next = end;
  for (const auto& e : jobs_) {
    if (e->cancelled || e->running) continue;
    if (tickReached(now_, e->due)) return now_ + 1;
    if (tickDiff(e->due, next) < 0) next = e->due;
  }
  return next;
}

LocalTime VirtualClock::localTime() const {
  LocalTime t = base_;
  uint32_t secs = static_cast<uint32_t>(now_ - start_) / 1000;
  int total = t.hour * 3600 + t.minute * 60 + t.second + static_cast<int>(secs % 86400);
  t.hour = (total / 3600) % 24;
  t.minute = (total / 60) % 60;
  t.second = total % 60;
  return t;
}

}  // namespace kw
