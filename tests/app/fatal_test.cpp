// The fatal-error handler: the user is told of a fault that ends the program whichever
// thread it happened on, and the process ends.
#include "app/fatal.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/headless_ui.h"
#include "platform/memory_system.h"

namespace kw {
namespace {

// Runs `report` and returns the exit code the process ended with (-1: it did not end).
template <typename F>
int exitCodeOf(F&& report) {
  try {
    report();
  } catch (const ProcessExit& e) {
    return e.code;
  }
  return -1;
}

TEST(FatalErrorThreads, AFaultOnTheBusThreadIsShownToTheUserBeforeTheEnd) {
  // A message box asked for off the main thread shows nothing in a window system; the
  // handler's message must reach the user all the same.
  HeadlessUi ui;
  MemorySystem system;
  FatalReporter reporter;
  reporter.attach(&ui, &system);
  int code = -1;
  std::thread bus([&] {
    code =
        exitCodeOf([&] { reporter.report(212, "Division by zero", "/src/buslink/bus_link.cpp"); });
  });
  bus.join();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ui.offThreadMessageBoxes, 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Error");
  EXPECT_EQ(ui.messages[0].text, "212\nDivision by zero\nbus_link\n\nProgramm wird beendet!    ");
  EXPECT_EQ(ui.messages[0].flags, mb::kOk | mb::kIconError);
}

TEST(FatalError, AFaultInsideTheMessageEndsTheProcessAtOnce) {
  HeadlessUi ui;
  MemorySystem system;
  FatalReporter reporter;
  reporter.attach(&ui, &system);
  int inner = -1;
  ui.onMessage = [&](const RecordedMessage&) {
    inner = exitCodeOf([&] { reporter.report(-1, "Access violation", ""); });
  };
  EXPECT_EQ(exitCodeOf([&] { reporter.report(7, "Out of range", "shell.cpp"); }), 1);
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(system.exitCodes, (std::vector<int>{1, 1}));
}

TEST(FatalError, WithoutAWindowSystemTheProcessStillEnds) {
  MemorySystem system;
  FatalReporter reporter;
  reporter.attach(nullptr, &system);
  EXPECT_EQ(exitCodeOf([&] { reporter.report(1, "Start-up failed", ""); }), 1);
}

}  // namespace
}  // namespace kw
