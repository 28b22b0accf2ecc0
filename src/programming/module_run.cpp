#include "programming/module_run.h"

#include <cmath>
#include <cstdlib>

#include "app/shell.h"
#include "forms/families.h"
#include "forms/form.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

// Controls that a run locks besides the action bar (0-terminated ranges, first..last).
constexpr std::pair<int, int> kLockedControls[] = {
    {ctl::kRead, ctl::kProgram}, {ctl::kClear, ctl::kFactory}, {2072, 2073}, {2229, 2241},
    {2259, 2259}, {2268, 2269}, {2274, 2283}, {2300, 2302}, {2304, 2310}, {2315, 2317},
    {700, 747}};

}  // namespace

uint32_t programWaitFor(uint32_t baud) {
  if (baud < 57600) return 900;
  if (baud > 200000) return 400;
  return 700;
}

uint32_t readTimeoutFor(uint32_t baud) {
  if (baud < 57600) return 900;
  if (baud > 200000) return 250;
  return 700;
}

void writeAndWait(AppContext& ctx, int address, int value, uint32_t ms) {
  submitBusRequest(ctx, address, value);
  if (ms > 0) pumpedWait(ctx, ms);
}

void lockForm(AppContext& ctx, bool locked) {
  Ui& ui = ctx.ui;
  for (auto [first, last] : kLockedControls)
    for (int c = first; c <= last; ++c) ui.setEnabled(kMain, c, !locked);
  ui.setEnabled(kMain, ctl::kCancel, true);
  ui.setText(kMain, ctl::kCancel, ctx.text(locked ? 502 : 503));
  if (ctx.cancelRequested.load() != 0) ctx.cancelSeen = true;
  // Once the user has agreed to quit, every run still under way (a switch-on goes on into
  // its read-out) must stop at its next cancel point, so the cancel outlives the lock.
  ctx.cancelRequested = ctx.quitAfterRun ? 1 : 0;
  for (int b = 0; b < kBusSlots; ++b)
    ui.setEnabled(kMain, ctl::kFirstBus + b, !locked && ctx.suite.busTable[b].used != 0);
  if (!locked) keepLegacyLock(ctx);
  // The position buttons drive the turntable in normal operation only; the bus thread
  // turned them off when programming mode came on, and unlocking must not undo that.
  if (!locked && ctx.bus.programmingMode.load() != 0)
    for (int c = ctl::kFirstPosition; c < ctl::kFirstPosition + ctl::kStepCount; ++c)
      ui.setEnabled(kMain, c, false);
}

bool requireProgrammingMode(AppContext& ctx) {
  if (ctx.bus.programmingMode.load() != 0) return true;
  ctx.ui.messageBox(kMain, ctx.text(500), ctx.text(501), mb::kOk | mb::kIconError);
  return false;
}

void pauseIgnoringInput(AppContext& ctx, uint32_t ms) {
  const Tick deadline = ctx.clock.now() + ms;
  bool closeAsked = false;
  for (;;) {
    const int32_t left = tickDiff(deadline, ctx.clock.now());
    if (left <= 0) break;
    UiEvent e;
    const bool got = ctx.ui.waitEvent(left < 10 ? left : 10, e);
    drainOverflow(ctx);
    if (!got || e.window != win::kMain) continue;
    // Nothing is acted on during the pause, but the cancel button and the close box are
    // not lost: the run tests the cancel after the pause, and the close is answered then.
    if (e.type == EventType::Click && e.control == ctl::kCancel) ctx.cancelRequested = 1;
    if (e.type == EventType::CloseBox) closeAsked = true;
  }
  if (closeAsked) requestQuit(ctx);
}

int16_t integerOf(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    v = (v * 10 + static_cast<uint32_t>(text[i] - '0')) & 0xFFFFF;  // wraps like the 16-bit value
  uint16_t low = static_cast<uint16_t>(v & 0xFFFF);
  if (negative) low = static_cast<uint16_t>(0u - low);
  return static_cast<int16_t>(low);
}

double decimalOf(const std::string& text) {
  std::string s = text;
  for (char& ch : s)
    if (ch == ',') ch = '.';
  const double v = std::strtod(s.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

int secondsToSteps(double seconds, double step) {
  const double steps = std::nearbyint(seconds / step);
  if (steps > 32767.0) return 32767;
  if (steps < -32768.0) return -32768;
  return static_cast<int>(steps);
}

int leadingCode(const std::string& text, int digits) {
  int v = 0;
  for (int i = 0; i < digits; ++i) {
    if (static_cast<size_t>(i) >= text.size() || text[i] < '0' || text[i] > '9') return 0;
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

std::string pad(int value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

void ModuleRun::write(int address, int value, uint32_t ms) const {
  writeAndWait(ctx, address, value, ms == kWait ? wait : ms);
}

void ModuleRun::mark(int control) const { ctx.ui.setBackground(kMain, control, colour::kBusyRed); }
void ModuleRun::unmark(int control) const {
  ctx.ui.setBackground(kMain, control, colour::kInputYellow);
}

std::string ModuleRun::text(int control) const { return ctx.ui.text(kMain, control); }
int ModuleRun::state(int control) const { return ctx.ui.state(kMain, control) != 0 ? 1 : 0; }
int ModuleRun::index(int control) const {
  const int s = ctx.ui.selection(kMain, control);
  return s < 0 ? 0 : s;
}
void ModuleRun::setText(int control, const std::string& t) const {
  ctx.ui.setText(kMain, control, t);
}
void ModuleRun::setState(int control, int s) const { ctx.ui.setState(kMain, control, s); }
void ModuleRun::focus(int control) const { ctx.ui.setFocus(kMain, control); }

int ModuleRun::message(int titleText, const std::string& body, int flags) const {
  return ctx.ui.messageBox(kMain, titleText < 0 ? std::string("Error") : ctx.text(titleText), body,
                           flags);
}

Answer ModuleRun::answer() const {
  const int bus = ctx.currentBus();
  return {ctx.bus.mirror(bus, 0), ctx.bus.mirror(bus, 1), ctx.bus.mirror(bus, 2),
          ctx.bus.mirror(bus, 3)};
}

Answer ModuleRun::query(int p, std::initializer_list<int> fields, uint32_t ms) const {
  for (int f : fields) mark(f);
  write(0, p, ms == 0 ? wait : ms);
  for (int f : fields) unmark(f);
  return answer();
}

}  // namespace kw
