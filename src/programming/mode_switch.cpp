// Switching the bus into programming mode for one module, through the programming block
// on addresses 104..107, and back out of it.
#include <string>

#include "app/shell.h"
#include "forms/form.h"
#include "programming/engine.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

struct ModeEntry {
  int kindCode;      // written to 104
  int addressField;  // the module's address in the form
  int nameText;
  int button;  // whose caption follows the switch
};

// Families 0..4; the other families have no handshake of their own.
constexpr ModeEntry kModeEntries[] = {
    {47, 2140, 717, 2218}, {45, 2253, 721, 2287}, {49, 2291, 719, 2287},
    {40, 2327, 720, 2332}, {41, 2339, 743, 2352}};

struct Step {
  int address;
  int value;  // kKindCode / kModuleAddress stand for the module's values
  uint32_t pauseMs;
};
constexpr int kKindCode = -1;
constexpr int kModuleAddress = -2;

constexpr Step kSwitchOn[] = {{106, 40, 90},
                              {105, 97, 90},
                              {104, kKindCode, 90},
                              {107, kModuleAddress, 90},
                              {106, 168, 90}};
constexpr Step kSwitchedOn[] = {{106, 32, 200}, {105, 0, 200}, {104, 0, 200}};
constexpr Step kNoAnswer[] = {{106, 0, 90}, {105, 0, 90}, {104, 0, 90}, {107, 0, 90}};

constexpr uint32_t kSettleMs = 60;
constexpr uint32_t kAnswerTimeoutMs = 2000;
constexpr uint32_t kAnswerPollMs = 50;

template <size_t N>
void runSteps(AppContext& ctx, const Step (&steps)[N], int kind, int address) {
  for (const Step& s : steps) {
    const int v = s.value == kKindCode ? kind : s.value == kModuleAddress ? address : s.value;
    writeAndWait(ctx, s.address, v, s.pauseMs);
  }
}

bool answered(const AppContext& ctx) {
  const int bus = ctx.currentBus();
  return (ctx.bus.mirror(bus, 106) & 0x80) == 0 && ctx.bus.mirror(bus, 107) == 0;
}

// Bus and address as the questions and notices name them.
std::string whichModule(const AppContext& ctx, const ModeEntry& e, int address) {
  return ctx.text(e.nameText) + ctx.text(712) + std::to_string(ctx.currentBus()) +
         ctx.text(713) + std::to_string(address);
}

// Family-1 fields that only mean something while a module is in programming mode.
void resetServoControls(AppContext& ctx) {
  Ui& ui = ctx.ui;
  for (int c : {2254, 2255, 2258}) ui.setText(kMain, c, "");
  for (int c : {2260, 2261, 2262, 2263}) ui.setState(kMain, c, 1);
  for (int c : {2262, 2263}) ui.setText(kMain, c, "1");
}

void resetServoValues(AppContext& ctx) {
  Ui& ui = ctx.ui;
  if (ctx.form.subtypeFamily1 == 18) {
    for (int c : {2225, 2244, 2245, 2246, 2249, 2250, 2251}) ui.setState(kMain, c, 0);
    for (int c : {2249, 2250, 2251}) ui.setText(kMain, c, "0");
  } else if (ctx.form.subtypeFamily1 == 19) {
    for (int c : {2256, 2264, 2265, 2266, 2267, 2270, 2271, 2272, 2273}) ui.setState(kMain, c, 0);
    for (int c : {2266, 2267, 2272, 2273}) ui.setText(kMain, c, "0");
    for (int c : {2284, 2285}) ui.setText(kMain, c, "");
    ui.setText(kMain, 2256, ctx.text(265));
  }
}

void switchOn(AppContext& ctx, int family, const ModeEntry& e, int address,
              const std::string& note) {
  const std::string module = whichModule(ctx, e, address);
  if (ctx.ui.messageBox(kMain, ctx.text(700), module + "     \n" + ctx.text(714) + note,
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  runSteps(ctx, kSwitchOn, e.kindCode, address);
  pumpedWait(ctx, kSettleMs);
  const Tick deadline = ctx.clock.now() + kAnswerTimeoutMs;
  while (!answered(ctx)) {
    if (tickDiff(ctx.clock.now(), deadline) > 0) {
      runSteps(ctx, kNoAnswer, e.kindCode, address);
      if (!ctx.quitAfterRun)
        ctx.ui.messageBox(kMain, ctx.text(710), module + ctx.text(716), mb::kIconInformation);
      ctx.ui.setText(kMain, e.button, ctx.text(700));
      return;
    }
    pumpedWait(ctx, kAnswerPollMs);
  }
  runSteps(ctx, kSwitchedOn, e.kindCode, address);
  ctx.module.switchedAddress = address;
  ctx.ui.setText(kMain, e.button, ctx.text(701));
  // 600 ms after the write of bit 5 the bus thread has long seen programming mode, which
  // the read-out asks for.
  if (family != 3) readModule(ctx);
}

void switchOff(AppContext& ctx, const ModeEntry& e, int address) {
  if (ctx.ui.messageBox(kMain, ctx.text(701),
                        whichModule(ctx, e, address) + "     \n" + ctx.text(715),
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  writeAndWait(ctx, 0, 255, 30);
  ctx.ui.setText(kMain, e.button, ctx.text(700));
  resetServoControls(ctx);
  pumpedWait(ctx, 300);
  writeAndWait(ctx, 106, 0, 200);
  ctx.module.switchedAddress = -1;
  resetServoValues(ctx);
}

}  // namespace

void switchProgrammingMode(AppContext& ctx) {
  const int family = ctx.ui.state(kMain, ctl::kFamilyTabs);
  static constexpr ModeEntry kNone{0, 0, 0, 0};
  const bool known = family >= 0 && family < static_cast<int>(std::size(kModeEntries));
  const ModeEntry& e = known ? kModeEntries[family] : kNone;
  const int address = e.addressField ? integerOf(ctx.ui.text(kMain, e.addressField)) : 0;
  if (!((address >= 1 && address <= 103) || address == 127)) {
    ctx.ui.messageBox(kMain, ctx.text(710), ctx.text(711), mb::kIconInformation);
    if (e.addressField) ctx.ui.setFocus(kMain, e.addressField);
    return;
  }
  RunScope busy(ctx);
  const std::string note = address == 127 ? "\n\n" + ctx.text(617) : std::string();
  if (ctx.bus.programmingMode.load() == 0) {
    switchOn(ctx, family, e, address, note);
  } else {
    switchOff(ctx, e, address);
  }
}

}  // namespace kw
