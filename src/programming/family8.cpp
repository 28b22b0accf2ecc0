// Family 8: a module that takes its address straight from bus address 0, without the
// register window; the value goes out twice, the second time with a shorter pause.
#include "programming/families.h"

namespace kw {

namespace {

constexpr int kAddress = 2626;
constexpr uint32_t kFirstWaitMs = 400;
constexpr uint32_t kSecondWaitMs = 200;

}  // namespace

void programFamily8(ModuleRun& run) {
  const int address = run.value(kAddress);
  run.write(0, address, kFirstWaitMs);
  run.write(0, address, kSecondWaitMs);
}

// Nothing is asked for: the address is what bus address 0 holds now.
void readFamily8(ModuleRun& run) { run.setText(kAddress, pad(run.answer().a0, 3)); }

}  // namespace kw
