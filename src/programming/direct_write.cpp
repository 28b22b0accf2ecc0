// Family 10: one byte written straight to a bus address, confirmed by the module putting
// 255 on that address.
#include "app/shell.h"
#include "forms/form.h"
#include "programming/families.h"

namespace kw {

namespace {

constexpr int kAddressField = 2628;
constexpr int kFirstBitButton = 2629;  // "Bit 1" .. "Bit 8" are 2629..2636
constexpr int kConfirmLine = 2637;
constexpr int kConfirmTimeoutMs = 3000;
constexpr int kConfirmed = 255;
constexpr int kUnconfirmableText = 40;

void showConfirmLine(ModuleRun& run, const std::string& text, Colour colour) {
  Ui& ui = run.ui();
  if (!ui.controlExists(win::kMain, kConfirmLine)) {
    ControlSpec s;
    s.kind = ControlKind::Label;
    s.id = kConfirmLine;
    s.rect = {160, 190, 300, 20};
    s.parent = ctl::kFamilyTabs;
    s.page = 10;
    ui.createControl(win::kMain, s);
  }
  ui.setTextColour(win::kMain, kConfirmLine, colour);
  ui.setText(win::kMain, kConfirmLine, text);
}

void refuse(ModuleRun& run, const std::string& text) {
  run.message(577, text);
  run.focus(kAddressField);
}

// Waits for the module's 255 on `address`; the cancel button and the close box end the
// wait without a verdict.
void awaitConfirmation(ModuleRun& run, int address) {
  AppContext& ctx = run.ctx;
  const Tick deadline = ctx.clock.now() + kConfirmTimeoutMs;
  for (;;) {
    if (ctx.bus.mirror(ctx.currentBus(), address) == kConfirmed) {
      showConfirmLine(run, "Bestätigung ist OK!", rgb(0, 0, 255));
      pauseIgnoringInput(ctx, 2000);
      return;
    }
    UiEvent e;
    if (ctx.ui.waitEvent(10, e)) {
      if (e.type == EventType::CloseBox && e.window == win::kMain) return;
      if (e.window == win::kMain && e.control == ctl::kCancel && e.type == EventType::Click)
        return;
    }
    drainOverflow(ctx);
    if (tickDiff(ctx.clock.now(), deadline) > 0) {
      showConfirmLine(run, "Bestätigung ist NICHT OK!!!", rgb(255, 0, 0));
      pauseIgnoringInput(ctx, 3000);
      return;
    }
  }
}

}  // namespace

void programFamily10(ModuleRun& run) {
  const std::string addressText = run.text(kAddressField);
  if (addressText.empty()) {
    refuse(run, "FEHLER: Es muss zumindest eine Adresse eingetragen sein!  ");
    return;
  }
  const int address = run.value(kAddressField);
  if (address < 0 || address > 111) {
    // Only ordinary bus addresses can be written here.
    run.ctx.ui.messageBox(win::kMain, run.tx(494), run.tx(492) + "\n\n" + run.tx(493),
                          mb::kOk | mb::kIconError);
    run.focus(kAddressField);
    return;
  }
  int value = 0;
  for (int n = 0; n < 8; ++n)
    if (run.state(kFirstBitButton + n)) value |= 1 << n;
  if (value == 0) {
    refuse(run, "FEHLER: Es muss zumindest ein Bit aktviert sein!  ");
    return;
  }
  run.write(address, value, 0);
  if (value == kConfirmed) {
    // The module confirms with 255 on the same address, and the written 255 stands there
    // at once: a confirmation could not be told from the write, so none is claimed.
    run.message(577, run.tx(kUnconfirmableText), mb::kOk | mb::kIconInformation);
    return;
  }
  showConfirmLine(run, "Warten auf Bestätigung", rgb(0, 0, 0));
  awaitConfirmation(run, address);
  showConfirmLine(run, "", rgb(0, 0, 0));
}

}  // namespace kw
