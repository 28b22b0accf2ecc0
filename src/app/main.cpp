// The program: the real user interface, clock, threads and operating system around the
// shell's start-up and main loop.
#include <cstdio>
#include <exception>

#include "app/context.h"
#include "app/fatal.h"
#include "app/shell.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "platform/worker.h"
#include "platform/wx/wx_ui.h"

int main(int argc, char** argv) {
  kw::HostSystem system;
  kw::installFatalErrorHandler(nullptr, &system);
  auto ui = kw::createWxUi(argc, argv);
  if (!ui) {
    std::fputs("kantelwerk: cannot open the window system (is DISPLAY set?)\n", stderr);
    return 1;
  }
  kw::installFatalErrorHandler(ui.get(), &system);
  kw::RealClock clock;
  kw::ThreadWorkerFactory workers(clock);
  try {
    kw::AppContext ctx(kw::Platform{*ui, clock, system, workers});
    kw::startUp(ctx);
    kw::runMainLoop(ctx);
  } catch (...) {
    kw::reportCurrentException();
  }
}
