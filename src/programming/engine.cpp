#include "programming/engine.h"

#include "app/roster.h"
#include "app/shell.h"
#include "forms/form.h"
#include "forms/parameter_form.h"
#include "programming/families.h"

namespace kw {

namespace {

using Sequence = void (*)(ModuleRun&);

constexpr Sequence kProgram[kFamilyCount] = {
    programFamily0, programFamily1, programFamily2, programFamily3,
    programFamily4, programFamily5, programFamily6, programFamily7,
    programFamily8, programFamily9, programFamily10};

// Family 10 only writes; it has no read-out.
constexpr Sequence kRead[kFamilyCount] = {readFamily0, readFamily1, readFamily2, readFamily3,
                                          readFamily4, readFamily5, readFamily6, readFamily7,
                                          readFamily8, readFamily9, nullptr};

constexpr int kModeButtons[] = {2218, 2287, 2290, 2332, 2352};

// Neither cancelled (also where the sequence unlocked the form before its end) nor
// stopped by a refusal or a wrong module.
bool runComplete(const ModuleRun& run) {
  return !run.stopped && !run.cancelled() && !run.ctx.cancelSeen;
}

}  // namespace

void programModule(AppContext& ctx) {
  if (ctx.form.currentFamily != 10 && !requireProgrammingMode(ctx)) return;
  if (ctx.ui.messageBox(win::kMain, ctx.text(577), ctx.text(578),
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  RunScope busy(ctx);
  lockForm(ctx, true);
  ctx.cancelSeen = false;
  selectionFromTabs(ctx);
  ModuleRun run{ctx, programWaitFor(ctx.busLink.lastBaud())};
  const int family = ctx.form.currentFamily;
  kProgram[family](run);
  const bool complete = runComplete(run);
  lockForm(ctx, false);
  if (family == 10) directWriteLock(ctx, true);
  if (complete) keepModuleSheet(ctx, SheetEvent::Programmed);
}

bool readModule(AppContext& ctx) {
  // A switch-on that the user quit during goes no further: nothing more is asked.
  if (ctx.quitAfterRun) return false;
  if (!requireProgrammingMode(ctx)) return false;
  selectionFromTabs(ctx);
  if (ctx.ui.messageBox(win::kMain, ctx.text(575), ctx.text(576),
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return false;
  RunScope busy(ctx);
  clearForm(ctx, false);
  lockForm(ctx, true);
  ctx.cancelSeen = false;
  ModuleRun run{ctx, readTimeoutFor(ctx.busLink.lastBaud())};
  Sequence read = kRead[ctx.form.currentFamily];
  if (read) read(run);
  const bool complete = read != nullptr && runComplete(run);
  lockForm(ctx, false);
  if (ctx.form.currentFamily == 10) directWriteLock(ctx, true);
  // A comparison reads into a scratch copy: the sheet it compares with stays as it is.
  if (complete && !ctx.roster.comparing) keepModuleSheet(ctx, SheetEvent::Read);
  return complete;
}

void registerProgrammingRows(Dispatcher& d) {
  d.onControl(ctl::kProgram, ctl::kProgram, EventType::Click,
              [](AppContext& c, const UiEvent&) { programModule(c); });
  d.onControl(ctl::kRead, ctl::kRead, EventType::Click,
              [](AppContext& c, const UiEvent&) { readModule(c); });
  for (int button : kModeButtons)
    d.onControl(button, button, EventType::Click,
                [](AppContext& c, const UiEvent&) { switchProgrammingMode(c); });
}

}  // namespace kw
