// A long programming run in real time: family 0, sub-type 15 with an empty form (71
// writes, 19 s of prescribed pauses) through the real bus thread to a simulated
// interface. Reports the run's wall time against the sum of its pauses and the share of
// one core the process used meanwhile (the headless window stands in for the real one,
// so the window system's own cost is not in the figure).
//
//   build/kantelwerk_bench --benchmark_filter=ProgrammingRun
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <string>

#include "app/context.h"
#include "app/shell.h"
#include "config/suite_prefs.h"
#include "forms/form.h"
#include "platform/headless_ui.h"
#include "platform/memory_system.h"
#include "platform/worker.h"
#include "programming/engine.h"
#include "sim/sim_serial.h"

namespace kw {
namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void ProgrammingRun(benchmark::State& state) {
  for (auto _ : state) {
    RealClock clock;
    HeadlessUi ui(&clock);
    MemorySystem system;
    ThreadWorkerFactory workers(clock);
    sim::SimSerialPorts ports(clock);
    ports.setAutoCreate(true, false);
    std::string lang;
    for (int n = 1; n <= 800; ++n) lang += std::to_string(n) + ", t" + std::to_string(n) + "\r\n";
    system.files["Kantel_V4.Lang_DE"] = lang;
    // Class 1 at 57600 baud: the pauses of a parameter-number write are 400 ms in family 0.
    system.files[kSuitePreferencesFile] =
        "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort01used = 1\r\n"
        "ComPort01Typ = 1\r\n";
    AppContext ctx(Platform{ui, clock, system, workers, ports});
    startUp(ctx);
    ui.defaultYesNoAnswer = mb::kAnswerYes;
    ports.bus(1)->set(0, 106, 32);  // a module in programming mode
    clock.sleep(300);
    ui.setState(win::kMain, ctl::kFamilyTabs, 0);
    ui.setState(win::kMain, ctl::kFamily0Tabs, 2);  // sub-type 15
    ctx.form.currentFamily = 0;

    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    programModule(ctx);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;

    constexpr double kPauses = 19.0;  // 23 entries of 400 + 200 + 200 ms, parameter 24: 600 ms
    state.SetIterationTime(wall);
    state.counters["wall_s"] = wall;
    state.counters["pauses_s"] = kPauses;
    state.counters["over_pauses_pct"] = 100.0 * (wall - kPauses) / kPauses;
    state.counters["cpu_share_pct"] = 100.0 * cpu / wall;

    ctx.bus.stopFlag = 1;
    ctx.clockEnd = 1;
    clock.sleep(50);
    ctx.busLink.closeInterfaces(0);
  }
}
BENCHMARK(ProgrammingRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kw
