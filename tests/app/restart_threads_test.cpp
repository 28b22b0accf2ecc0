// The language restart with the program's real threads: the bus thread, which writes
// language texts into the status bar, has ended before the new language file replaces
// them (ThreadSanitizer sees the race where it has not).
#include <gtest/gtest.h>

#include <atomic>

#include "app/context.h"
#include "app/shell.h"
#include "buslink/fake_serial.h"
#include "harness.h"
#include "platform/clock.h"
#include "platform/worker.h"

namespace kw::test {
namespace {

TEST(LanguageRestartThreads, RealBusThreadHasEndedBeforeTheTextsChange) {
  RealClock clock;
  HeadlessUi ui;
  MemorySystem system;
  ThreadWorkerFactory workers{clock};
  FakeSerialPorts ports{&clock};
  // A polled interface on COM1 that never answers: the bus thread shows its state (a
  // language text) in the status bar again and again.
  ports.lines[1];
  system.files["Kantel_V4.Lang_DE"] = languageFile("DE");
  system.files["Kantel_V4.Lang_EN"] = languageFile("EN");
  system.files["VX_PREF_Alle_V3.pref"] =
      "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort01Typ = 5\r\n";
  AppContext ctx(Platform{ui, clock, system, workers, ports});
  // Whatever happens below, the threads end before the context goes.
  struct StopThreads {
    AppContext& c;
    ~StopThreads() {
      c.busThread.stop(0);
      stopClockThread(c);
    }
  } stopAtEnd{ctx};
  startUp(ctx);
  // The port times out after 250 ms and its state is shown.
  for (int i = 0; i < 300 && ui.statusField(win::kMain, 1).text.rfind("Com 1", 0) != 0; ++i)
    clock.sleep(10);
  ASSERT_EQ(ui.statusField(win::kMain, 1).text.rfind("Com 1", 0), 0u);

  std::atomic<int> busRanAtRead{-1};
  system.onRead = [&](const std::string& path) {
    if (path == "Kantel_V4.Lang_EN") busRanAtRead = ctx.busThread.running() ? 1 : 0;
  };
  int code = -1;
  try {
    switchLanguage(ctx, kLanguageEnglish);
  } catch (const ProcessExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(busRanAtRead.load(), 0);
  EXPECT_FALSE(ctx.busThread.running());
}

}  // namespace
}  // namespace kw::test
