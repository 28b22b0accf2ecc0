// The program: the real user interface, clock, threads and operating system around the
// shell's start-up and main loop.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/context.h"
#include "app/fatal.h"
#include "app/roster_window.h"
#include "app/settings_dialog.h"
#include "app/shell.h"
#include "app/steller_window.h"
#include "buslink/steller_rows.h"
#include "forms/show_page.h"
#include "platform/clock.h"
#include "platform/serial_route.h"
#ifdef _WIN32
#include "platform/serial_win32.h"
#else
#include "platform/serial_posix.h"
#endif
#include "sim/sim_serial.h"
#include "platform/system.h"
#include "platform/worker.h"
#ifdef _WIN32
#include "platform/win32/win32_ui.h"
#else
#include "platform/wx/wx_ui.h"
#endif

namespace {

// For pictures of the other windows: KANTELWERK_WINDOW=settings (its bus tab),
// settings-ports (its port tab), steller (with every row live) or roster.
void openNamedWindow(kw::AppContext& ctx, const std::string& name) {
  if (name == "steller") {
    if (!ctx.ui.windowOpen(kw::win::kSteller)) kw::openStellerWindow(ctx);
    for (int row = 0; row < kw::steller::kRows; ++row)
      ctx.ui.setState(kw::win::kSteller, kw::steller::kFirstLiveToggle + row, 1);
  } else if (name == "roster") {
    if (!ctx.ui.windowOpen(kw::win::kRoster)) kw::openRosterWindow(ctx);
  } else if (name == "settings" || name == "settings-ports") {
    kw::openSettingsDialog(ctx, kw::win::kMain);
    if (name == "settings-ports") ctx.ui.setState(kw::win::kSettings, kw::settings::kTabs, 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  kw::HostSystem system;
  kw::installFatalErrorHandler(nullptr, &system);
#ifdef _WIN32
  auto ui = kw::createWin32Ui();
#else
  auto ui = kw::createWxUi(argc, argv);
#endif
  if (!ui) {
    std::fputs("kantelwerk: cannot open the window system (is DISPLAY set?)\n", stderr);
    return 1;
  }
  kw::installFatalErrorHandler(ui.get(), &system);
  kw::RealClock clock;
  kw::ThreadWorkerFactory workers(clock);
#ifdef _WIN32
  kw::Win32SerialPorts hostPorts;
#else
  kw::PosixSerialPorts hostPorts;
#endif
  // KANTELWERK_COM<n>=sim puts a simulated interface on COM n, on a simulated layout with
  // a module of every family.
  auto simPorts = std::make_shared<kw::sim::SimSerialPorts>(clock);
  simPorts->setAutoCreate(true, true);
  kw::RoutedSerialPorts serial(hostPorts, kw::sim::makeSimPortFactory(simPorts));
  try {
    kw::AppContext ctx(kw::Platform{*ui, clock, system, workers, serial});
    for (int port = 1; port <= kw::sim::SimSerialPorts::kPorts; ++port) {
      if (!serial.isSimulated(port)) continue;
      ctx.simulatedProgrammingKey = [simPorts](int family) {
        return simPorts->pressProgrammingKey(family);
      };
      break;
    }
    kw::startUp(ctx);
    // For pictures of the form: KANTELWERK_PAGE=2.3 opens family 2, inner tab 3.
    if (const char* page = std::getenv("KANTELWERK_PAGE")) kw::showFormPage(ctx, page);
    if (const char* window = std::getenv("KANTELWERK_WINDOW")) openNamedWindow(ctx, window);
    kw::runMainLoop(ctx);
  } catch (...) {
    kw::reportCurrentException();
  }
}
