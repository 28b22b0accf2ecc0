// What every programming run and read-out shares: the write step with its pause, the form
// lock, the check for programming mode, the waits chosen by baud rate, and reading the
// form's fields the way the modules expect their values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "app/context.h"

namespace kw {

// Pause after a parameter-number write (and some data writes), by the interface's speed.
uint32_t programWaitFor(uint32_t baud);
// Wait for a module's answer during a read-out, by the interface's speed.
uint32_t readTimeoutFor(uint32_t baud);

// Queues the write and keeps the window alive for `ms`; with 0 the write is only queued.
void writeAndWait(AppContext& ctx, int address, int value, uint32_t ms);
// Locks (or unlocks) the form while a run talks to a module; the exit button becomes the
// cancel button meanwhile. Clears cancelRequested.
void lockForm(AppContext& ctx, bool locked);
// True in programming mode; otherwise says so in a message box.
bool requireProgrammingMode(AppContext& ctx);
// Waits without acting on what the user does (the window still repaints); a cancel or a
// close of the main window meanwhile is kept and takes effect when the pause ends.
void pauseIgnoringInput(AppContext& ctx, uint32_t ms);

// Marks a run as under way: a close of the main window meanwhile is answered after the
// run (see requestQuit), so a module is never left between a parameter number and its data.
class RunScope {
 public:
  explicit RunScope(AppContext& ctx) : ctx_(ctx) { ++ctx_.runDepth; }
  ~RunScope() { --ctx_.runDepth; }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  AppContext& ctx_;
};

// Value conventions of the form.
// Text read as an integer: leading blanks skipped, digits up to the first non-digit (a
// leading minus is honoured), no digits gives 0; kept as a signed 16-bit number.
int16_t integerOf(const std::string& text);
// Text with "," read as "." as a decimal number; no number gives 0.
double decimalOf(const std::string& text);
// Seconds in steps of `step` seconds, rounded to the nearest step.
int secondsToSteps(double seconds, double step);
// The number formed by the first `digits` characters of a list item (0 when they are not
// digits).
int leadingCode(const std::string& text, int digits);
// Zero-padded decimal text, e.g. pad(7, 3) = "007".
std::string pad(int value, int width);

// Bus values the module answered with: addresses 0..3 of the current bus.
struct Answer {
  int a0 = 0;
  int a1 = 0;
  int a2 = 0;
  int a3 = 0;
};

// One programming run or read-out of the shown module.
struct ModuleRun {
  // Stands for the interface-dependent pause in write tables.
  static constexpr uint32_t kWait = 0xFFFFFFFFu;

  AppContext& ctx;
  uint32_t wait;  // programWait for programming, readTimeout for read-out
  // Set when the run ended early on a refusal or a wrong module: such a run keeps no
  // module sheet.
  mutable bool stopped = false;
  void stop() const { stopped = true; }

  Ui& ui() const { return ctx.ui; }
  bool cancelled() const { return ctx.cancelRequested.load() != 0; }
  // writeAndWait, with kWait standing for `wait`.
  void write(int address, int value, uint32_t ms) const;

  // Busy red while a field's request is outstanding, input yellow again afterwards.
  void mark(int control) const;
  void unmark(int control) const;

  std::string text(int control) const;
  int value(int control) const { return integerOf(text(control)); }
  double decimal(int control) const { return decimalOf(text(control)); }
  int state(int control) const;      // check box / option: 1 when on
  int index(int control) const;      // drop-down: 0-based selection, 0 when none
  int code(int control) const { return leadingCode(text(control), 2); }
  void setText(int control, const std::string& t) const;
  void setState(int control, int s) const;
  void focus(int control) const;

  // A message box on the main window with a language text as title (kErrorTitle: the
  // program's own title "Error").
  static constexpr int kErrorTitle = -1;
  int message(int titleText, const std::string& body, int flags = 0) const;
  const std::string& tx(int n) const { return ctx.text(n); }

  // The module's answer as it stands on the bus now.
  Answer answer() const;
  // Read-out query: marks the fields, writes parameter p to address 0, waits `ms` (0 =
  // `wait`), unmarks the fields and returns the answer.
  Answer query(int p, std::initializer_list<int> fields = {}, uint32_t ms = 0) const;
};

}  // namespace kw
