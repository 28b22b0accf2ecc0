#include "platform/worker.h"

#ifdef __linux__
#include <pthread.h>
#endif

namespace kw {

namespace {

class ThreadWorker final : public Worker {
 public:
  ThreadWorker(Clock& clock, const std::string& name, Cycle cycle) : clock_(clock) {
    running_ = true;
    thread_ = std::thread([this, name, c = std::move(cycle)] {
#ifdef __linux__
      // Named, so that tools (top -H, /proc) tell the program's threads apart.
      pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
#endif
      for (;;) {
        int ms = c();
        if (ms < 0) break;
        clock_.sleep(static_cast<uint32_t>(ms));
      }
      running_ = false;
    });
  }
  ~ThreadWorker() override {
    // The owner stops the cycle before dropping the worker; joining here only reaps it.
    if (thread_.joinable()) thread_.join();
  }
  bool running() const override { return running_; }
  void waitUntilEnded(uint32_t pollMs) override {
    while (running_) {
      if (pollMs == 0)
        std::this_thread::yield();
      else
        clock_.sleep(pollMs);
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  Clock& clock_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

class VirtualWorker final : public Worker {
 public:
  VirtualWorker(VirtualClock& clock, Cycle cycle) : clock_(clock) {
    handle_ = clock_.every(0, std::move(cycle));
  }
  ~VirtualWorker() override { clock_.cancel(handle_); }
  bool running() const override { return clock_.active(handle_); }
  void waitUntilEnded(uint32_t pollMs) override {
    // Bounded: a cycle that never ends by itself is cut off like a terminated thread.
    for (int i = 0; i < 100000 && running(); ++i) clock_.sleep(pollMs == 0 ? 1 : pollMs);
    clock_.cancel(handle_);
  }

 private:
  VirtualClock& clock_;
  int handle_ = 0;
};

}  // namespace

std::unique_ptr<Worker> ThreadWorkerFactory::start(const std::string& name, Cycle cycle) {
  return std::make_unique<ThreadWorker>(clock_, name, std::move(cycle));
}

std::unique_ptr<Worker> VirtualWorkerFactory::start(const std::string&, Cycle cycle) {
  return std::make_unique<VirtualWorker>(clock_, std::move(cycle));
}

}  // namespace kw
