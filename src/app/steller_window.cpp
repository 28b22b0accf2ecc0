#include "app/steller_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/context.h"
#include "app/shell.h"
#include "buslink/steller_rows.h"

namespace kw {

namespace {

using namespace steller;

constexpr int kWindow = win::kSteller;
constexpr int kWidth = 454;
constexpr int kHeight = 106;
constexpr int kRowPitch = 27;
constexpr int kFirstLabel = 1;  // labels nobody changes later
constexpr uint32_t kSwitchWaitMs = 200;

// "0" .. "111" in the order of a list sorted as text ("10" comes right after "1").
std::vector<std::string> addressItems() {
  std::vector<std::string> items;
  for (int a = 0; a <= 111; ++a) items.push_back(std::to_string(a));
  std::sort(items.begin(), items.end());
  return items;
}

void add(Ui& ui, ControlKind kind, int id, Rect r, const std::string& text,
         Align align = Align::Left, std::vector<std::string> items = {}) {
  ControlSpec s;
  s.kind = kind;
  s.id = id;
  s.rect = r;
  s.text = text;
  s.align = align;
  s.items = std::move(items);
  ui.createControl(kWindow, s);
}

void buildRow(AppContext& ctx, int row, const std::vector<std::string>& addresses) {
  Ui& ui = ctx.ui;
  const int y = 4 + kRowPitch * row;
  add(ui, ControlKind::Label, kFirstLabel + 1 + row, {72, y + 1, 20, 16}, ctx.text(631));
  add(ui, ControlKind::DropDown, kFirstAddressList + row, {95, y, 45, 21}, {}, Align::Left,
      addresses);
  add(ui, ControlKind::ToggleButton, kFirstLiveToggle + row, {144, y, 38, 20}, ctx.text(632));
  for (int d = 8; d >= 1; --d)
    add(ui, ControlKind::ToggleButton, bitButton(row, d - 1), {188 + 20 * (8 - d), y, 20, 20},
        std::to_string(d));
  add(ui, ControlKind::Button, kFirstAllOn + row, {350, y, 50, 20}, ctx.text(648));
  add(ui, ControlKind::Button, kFirstAllOff + row, {400, y, 50, 20}, ctx.text(647));
}

// The address a row works on: what its list shows at this moment.
int rowAddress(AppContext& ctx, int row) {
  return stellerAddress(ctx.ui.text(kWindow, kFirstAddressList + row));
}

bool rowLive(AppContext& ctx, int row) {
  return ctx.ui.state(kWindow, kFirstLiveToggle + row) != 0;
}

// Writes `value` to the row's address unless the bus is in programming mode, where
// switching could disturb the module being programmed.
void switchRow(AppContext& ctx, int row, int value) {
  if (ctx.bus.programmingMode.load() != 0) {
    ctx.ui.messageBox(kWindow, ctx.text(633), ctx.text(634), mb::kOk);
    return;
  }
  submitBusRequest(ctx, rowAddress(ctx, row), value & 0xFF);
  pumpedWait(ctx, kSwitchWaitMs);
}

}  // namespace

void openStellerWindow(AppContext& ctx) {
  Ui& ui = ctx.ui;
  const WindowPlacement& place = ctx.suite.windowTable[kWindow];
  WindowSpec desc;
  desc.owner = win::kMain;
  desc.title = ctx.text(633);
  desc.rect = {place.X, place.Y, kWidth, kHeight};
  desc.visible = false;
  if (!ui.openWindow(kWindow, desc)) return;
  add(ui, ControlKind::Label, kFirstLabel, {1, 22, 70, 20}, ctx.text(650), Align::Centre);
  add(ui, ControlKind::Label, kBusNumber, {30, 42, 20, 20}, std::to_string(ctx.currentBus()));
  const std::vector<std::string> addresses = addressItems();
  for (int row = 0; row < kRows; ++row) buildRow(ctx, row, addresses);
  ui.showWindow(kWindow, true);
  ui.processPendingEvents();
  for (int row = 0; row < kRows; ++row)
    ui.setText(kWindow, kFirstAddressList + row,
               std::to_string(ctx.programPrefs.stellerSlots[static_cast<size_t>(row + 1)]));
}

void closeStellerWindow(AppContext& ctx) {
  if (!ctx.ui.windowOpen(kWindow)) return;
  recordWindowPlacement(ctx);
  ctx.ui.closeWindow(kWindow);
}

void toggleStellerWindow(AppContext& ctx) {
  if (ctx.ui.windowOpen(kWindow)) {
    closeStellerWindow(ctx);
  } else {
    openStellerWindow(ctx);
  }
}

void stellerCloseBox(AppContext& ctx) {
  if (!ctx.ui.windowOpen(kWindow)) return;
  const Rect r = ctx.ui.windowRect(kWindow);
  ctx.suite.windowTable[kWindow].X = r.x;
  ctx.suite.windowTable[kWindow].Y = r.y;
  closeStellerWindow(ctx);
}

void stellerAllBits(AppContext& ctx, int row, bool on) {
  if (row < 0 || row >= kRows || !rowLive(ctx, row)) return;
  switchRow(ctx, row, on ? 0xFF : 0);
}

void stellerBit(AppContext& ctx, int row, int bit, bool down) {
  if (row < 0 || row >= kRows || bit < 0 || bit >= kBits || !rowLive(ctx, row)) return;
  const int value = ctx.bus.mirror(ctx.currentBus(), rowAddress(ctx, row));
  const int mask = 1 << bit;
  switchRow(ctx, row, down ? (value | mask) : (value & ~mask));
}

void registerStellerRows(Dispatcher& d) {
  d.onMenu(menu::kSteller, [](AppContext& c, const UiEvent&) { toggleStellerWindow(c); });
  // Touching a row's address makes the row stop following the bus until it is made live
  // again, so its buttons never show the bits of an address it is not bound to.
  d.onControl(kWindow, kFirstAddressList, kFirstAddressList + kRows - 1, kAnyEvent,
              [](AppContext& c, const UiEvent& e) {
                c.ui.setState(kWindow, kFirstLiveToggle + e.control - kFirstAddressList, 0);
              });
  d.onControl(kWindow, kFirstLiveToggle, kFirstLiveToggle + kRows - 1, EventType::Click,
              [](AppContext& c, const UiEvent& e) {
                const int row = e.control - kFirstLiveToggle;
                c.programPrefs.stellerSlots[static_cast<size_t>(row + 1)] =
                    static_cast<int16_t>(rowAddress(c, row));
              });
  d.onControl(
      kWindow, kFirstAllOn, kFirstAllOn + kRows - 1, EventType::Click,
      [](AppContext& c, const UiEvent& e) { stellerAllBits(c, e.control - kFirstAllOn, true); });
  d.onControl(
      kWindow, kFirstAllOff, kFirstAllOff + kRows - 1, EventType::Click,
      [](AppContext& c, const UiEvent& e) { stellerAllBits(c, e.control - kFirstAllOff, false); });
  // The click's own state says whether the bit is to be set: the bus thread may already
  // have put the button back to the bus's value by the time the click is handled.
  d.onControl(kWindow, kFirstBitButton, bitButton(kRows - 1, kBits - 1), EventType::Click,
              [](AppContext& c, const UiEvent& e) {
                const int index = e.control - kFirstBitButton;
                stellerBit(c, index / kBits, index % kBits, e.value != 0);
              });
}

void addStellerCycleRow(AppContext& ctx) {
  ctx.busLink.addCycleRow(CycleRow::AfterPoll, [&ctx] { followStellerRows(ctx.ui, ctx.bus); });
}

}  // namespace kw
