#include "forms/position_query.h"

#include <algorithm>
#include <string>

#include "forms/families.h"
#include "forms/parameter_form.h"

namespace kw {

namespace {

constexpr int kPanelFamily = 2;
constexpr int kPanelSubtype = 14;
constexpr int kAddressField = 2291;
constexpr uint32_t kAskIntervalMs = 500;
constexpr int kAsk = 0xF0;
constexpr int kBusy = 0x80;         // the turntable has not taken the ask yet
constexpr int kAtPosition = 0x40;   // the low six bits are the position
constexpr int kPositionBits = 0x3F;
// Modules sit below the programming block (104..107); an ask of 0xF0 must never reach
// it or the addresses above it (on 106 it would switch on programming mode, on 127 the
// track power), nor a field value beyond the bus, which would wrap to another address.
constexpr int kLastModuleAddress = 103;

int addressOf(const std::string& text) {
  int v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') break;
    v = v * 10 + (ch - '0');
    if (v > 999) break;
  }
  return v;
}

}  // namespace

void registerPositionQuery(AppContext& ctx) {
  PositionQuery& q = ctx.forms.positionQuery;
  q.nextAsk = ctx.clock.now();
  notePositionPanel(ctx);
  ctx.busLink.addTimedCycleRow(CycleRow::AfterRequestTransfer, [&ctx] {
    positionQueryStep(ctx);
    return msUntilNextAsk(ctx);
  });
  q.enabled = true;
}

void notePositionPanel(AppContext& ctx) {
  PositionQuery& q = ctx.forms.positionQuery;
  q.address = addressOf(ctx.ui.text(win::kMain, kAddressField));
  q.shownSubtype = currentSubtype(ctx);
  q.shownFamily = ctx.form.currentFamily;
}

int msUntilNextAsk(AppContext& ctx) {
  const PositionQuery& q = ctx.forms.positionQuery;
  // While an ask waits for its answer, the answer comes in as a bus value anyway.
  if (!q.enabled.load() || q.waiting || q.shownFamily.load() != kPanelFamily ||
      q.shownSubtype.load() != kPanelSubtype)
    return -1;
  const int address = q.address.load();
  if (address <= 0 || address > kLastModuleAddress || ctx.bus.programmingMode.load() != 0)
    return -1;
  const int32_t left = tickDiff(q.nextAsk, ctx.clock.now());
  // A mark further ahead than one interval is a wrapped tick: the ask is due.
  if (left > static_cast<int32_t>(kAskIntervalMs)) return 0;
  return std::max(0, static_cast<int>(left));
}

void positionQueryStep(AppContext& ctx) {
  PositionQuery& q = ctx.forms.positionQuery;
  if (!q.enabled.load() || q.shownFamily.load() != kPanelFamily ||
      q.shownSubtype.load() != kPanelSubtype)
    return;
  const int address = q.address.load();
  if (address <= 0 || address > kLastModuleAddress || ctx.bus.programmingMode.load() != 0)
    return;
  const int v = ctx.bus.mirror(ctx.currentBus(), address);
  const Tick now = ctx.clock.now();
  // An ask is never due more than one interval ahead; a later mark is a wrapped tick.
  const bool due =
      tickReached(now, q.nextAsk) || tickDiff(q.nextAsk, now) > static_cast<int32_t>(kAskIntervalMs);
  if (!q.waiting && due) {
    q.nextAsk = now + kAskIntervalMs;
    q.waiting = true;
    ctx.queue.append({2, address, kAsk});
  }
  if (q.waiting && (v & kBusy) == 0) {
    q.waiting = false;
    if ((v & kAtPosition) != 0)
      ctx.ui.setText(win::kMain, ctl::kPositionNumber, std::to_string(v & kPositionBits));
  }
}

}  // namespace kw
