// Reading damaged preference files: the time per byte must not grow with the size of the
// file. Google Benchmark fits the complexity over the sizes (it should report O(N)).
//
//   cmake --preset default -DKW_BUILD_BENCH=ON && cmake --build build -j2 --target kantelwerk_bench
//   build/kantelwerk_bench --benchmark_filter=Prefs
#include <benchmark/benchmark.h>

#include <string>

#include "config/ini.h"
#include "config/suite_prefs.h"

namespace kw {
namespace {

// About `bytes` bytes of distinct keys in one group, each repeated in other case, with a
// repeated group line between every few of them: the worst a damaged file can be.
std::string damagedFile(size_t bytes) {
  std::string t = "[WinPos]\r\n";
  for (int i = 0; t.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    t += "Fremd" + n + " = " + n + "\r\nFREMD" + n + " = x\r\n";
    if (i % 8 == 0) t += "[winpos]\r\n[G" + n + "]\r\n[WinPos]\r\n";
  }
  return t;
}

void BM_PrefsIniParse(benchmark::State& state) {
  const std::string text = damagedFile(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(IniDocument::parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PrefsIniParse)->RangeMultiplier(4)->Range(16 << 10, 4 << 20)->Complexity();

void BM_PrefsSuiteFile(benchmark::State& state) {
  const std::string text = damagedFile(static_cast<size_t>(state.range(0)));
  const ScreenMetrics screen;
  for (auto _ : state) {
    SuitePreferences p = emptySuitePreferences();
    parseSuitePreferences(text, screen, p);
    benchmark::DoNotOptimize(suitePreferencesBytes(p));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PrefsSuiteFile)->RangeMultiplier(4)->Range(16 << 10, 4 << 20)->Complexity();

}  // namespace
}  // namespace kw
