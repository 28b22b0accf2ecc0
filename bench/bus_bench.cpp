// Speed of the bus link: one bus-thread cycle with eight simulated interfaces, decoding
// throughput per protocol class, and the delay from a byte arriving on a pseudo-terminal
// to its value standing in the bus mirror.
//
//   cmake --preset default -DKW_BUILD_BENCH=ON && cmake --build build -j2 --target kantelwerk_bench
//   build/kantelwerk_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

#include "buslink/bus_link.h"
#include "buslink/bus_thread.h"
#include "platform/headless_ui.h"
#include "sim/sim_serial.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial_posix.h"
#include "platform/worker.h"
#endif

namespace kw {
namespace {

using Steady = std::chrono::steady_clock;

double secondsSince(Steady::time_point t) {
  return std::chrono::duration<double>(Steady::now() - t).count();
}

struct LinkParts {
  HeadlessUi ui;
  BusState state;
  RequestQueue queue;
  SuitePreferences prefs = emptySuitePreferences();
  LanguageTexts texts;
  LinkParts() {
    ui.openWindow(win::kMain, WindowSpec{});
    ui.createStatusBar(win::kMain, {24, 126, 110, 24, 296, 140});
  }
};

// --- One cycle with eight open simulated ports ------------------------------------------

void BM_CycleEightSimulatedPorts(benchmark::State& st) {
  VirtualClock clock;
  LinkParts p;
  sim::SimSerialPorts ports(clock);
  // Two of each event class, three polled interfaces and one FCC.
  const int types[8] = {1, 0, 5, 3, 3, 4, 4, 6};
  for (int n = 1; n <= 8; ++n) {
    p.prefs.busTable[n - 1] = {static_cast<uint8_t>(n), 1, 0};
    p.prefs.portConfig[n].typeIndex = static_cast<uint8_t>(types[n - 1]);
  }
  ports.setAutoCreate(true, true);
  BusLink link(p.state, p.queue, p.prefs, ports, clock, p.ui, p.texts);
  link.openInterfaces();
  clock.sleep(50);
  for (auto _ : st) {
    const auto t = Steady::now();
    link.cycle();
    st.SetIterationTime(secondsSince(t));
    clock.sleep(1);  // devices answer on the timeline, outside the measured time
  }
  int running = 0;
  for (int n = 1; n <= 8; ++n) running += link.portState(n) == kPortRunning;
  st.counters["ports_running"] = running;
  link.closeInterfaces(0);
}
BENCHMARK(BM_CycleEightSimulatedPorts)->UseManualTime()->Unit(benchmark::kMicrosecond);

// --- Decoding throughput per class -------------------------------------------------------

// A port that always holds exactly the next answer the link expects.
class StreamPort final : public SerialPort {
 public:
  std::deque<uint8_t> in;
  size_t write(const uint8_t*, size_t size) override { return size; }
  size_t read(uint8_t* data, size_t size) override {
    size_t n = std::min(size, in.size());
    std::copy_n(in.begin(), n, data);
    in.erase(in.begin(), in.begin() + static_cast<long>(n));
    return n;
  }
  int waiting() override { return static_cast<int>(in.size()); }
  bool cts() override { return true; }
  void purge() override { in.clear(); }
};

class StreamPorts final : public SerialPorts {
 public:
  StreamPort* last = nullptr;
  std::unique_ptr<SerialPort> open(int, const SerialSettings&) override {
    auto p = std::make_unique<StreamPort>();
    last = p.get();
    return p;
  }
};

void BM_Decode(benchmark::State& st) {
  const int type = static_cast<int>(st.range(0));
  VirtualClock clock;
  LinkParts p;
  StreamPorts ports;
  p.prefs.busTable[0] = {1, 1, 0};
  p.prefs.busTable[1] = {1, 1, 1};
  p.prefs.portConfig[1].typeIndex = static_cast<uint8_t>(type);
  BusLink link(p.state, p.queue, p.prefs, ports, clock, p.ui, p.texts);
  // The FCC start looks for a frame after its first poll.
  if (type == 6)
    clock.every(50, [&] {
      if (ports.last && link.fccFrameSize() == 0) ports.last->in.assign(322, 1);
      return -1;
    });
  link.openInterfaces();
  StreamPort& port = *ports.last;
  int64_t bytes = 0;
  uint8_t v = 0;
  for (auto _ : st) {
    port.in.clear();
    ++v;
    switch (type) {
      case 1:  // one poll answer per cycle
        port.in.assign(link.port(1).pollGroup == 127 ? 1 : 8, v);
        break;
      case 3:  // MC2004 messages, as many as a cycle takes
        for (int m = 0; m < 64; ++m) port.in.insert(port.in.end(), {0x80, uint8_t(m), v});
        break;
      case 4:
        for (int m = 0; m < 64; ++m) port.in.insert(port.in.end(), {uint8_t(m), v});
        break;
      case 6:
        port.in.assign(322, v);  // a whole state frame
        break;
    }
    const size_t before = port.in.size();
    const auto t = Steady::now();
    link.cycle();
    st.SetIterationTime(secondsSince(t));
    bytes += static_cast<int64_t>(before - port.in.size());
  }
  st.SetBytesProcessed(bytes);
  st.SetLabel(link.interfaceTypes()[type].name);
}
BENCHMARK(BM_Decode)->Arg(1)->Arg(3)->Arg(4)->Arg(6)->UseManualTime();

// --- Pseudo-terminal to bus mirror --------------------------------------------------------

#ifndef _WIN32
// This benchmark is the device: it writes SLX852 messages into the master side of a
// pseudo-terminal while the real bus thread reads the other side through the POSIX code.
void BM_PtyToMirrorLatency(benchmark::State& st) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    st.SkipWithError("no pseudo-terminal");
    return;
  }
  termios tio{};
  tcgetattr(master, &tio);
  cfmakeraw(&tio);
  tcsetattr(master, TCSANOW, &tio);
  std::string path = ptsname(master);
  RealClock clock;
  LinkParts p;
  PosixSerialPorts ports([&](const char* name) -> const char* {
    return std::string(name) == "KANTELWERK_COM1" ? path.c_str() : nullptr;
  });
  p.prefs.busTable[0] = {1, 1, 0};
  p.prefs.portConfig[1].typeIndex = 4;  // SLX852: pushes values as they change
  BusLink link(p.state, p.queue, p.prefs, ports, clock, p.ui, p.texts);
  link.openInterfaces();
  ThreadWorkerFactory workers(clock);
  BusThread thread(p.state, link, clock, workers);
  thread.start();
  // The SLX852's start takes a second (its reset pause); time only the running interface.
  const auto started = Steady::now();
  while (link.portState(1) != kPortRunning && secondsSince(started) < 5.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // Swallow whatever the program sends so the terminal never fills up.
  std::atomic<bool> done{false};
  std::thread drain([&] {
    uint8_t buf[256];
    while (!done) {
      pollfd pf{master, POLLIN, 0};
      if (poll(&pf, 1, 5) > 0) (void)!read(master, buf, sizeof buf);
    }
  });
  uint8_t v = 0;
  std::vector<double> samples;
  for (auto _ : st) {
    v = static_cast<uint8_t>(v == 200 ? 1 : v + 1);
    const uint8_t msg[2] = {30, v};
    const auto t = Steady::now();
    (void)!write(master, msg, 2);
    while (p.state.mirror(0, 30) != v) {
      if (secondsSince(t) > 1.0) break;
      std::this_thread::yield();  // leave the processor to the bus thread on a small machine
    }
    const double s = secondsSince(t);
    samples.push_back(s);
    st.SetIterationTime(s);
  }
  std::sort(samples.begin(), samples.end());
  if (!samples.empty()) {
    st.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    st.counters["p99_us"] = samples[samples.size() * 99 / 100] * 1e6;
  }
  done = true;
  drain.join();
  thread.stop(10);
  link.closeInterfaces(0);
  close(master);
}
BENCHMARK(BM_PtyToMirrorLatency)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace kw

BENCHMARK_MAIN();
