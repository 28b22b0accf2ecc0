// The Steller window (window 16): four rows, each bound to one bus address of the current
// bus, with eight bit buttons that show and set the bits of that address and two buttons
// that set all of them on or off. Accessories are switched by hand with it.
#pragma once

namespace kw {

struct AppContext;
class Dispatcher;

void openStellerWindow(AppContext& ctx);
// Menu item 14: opens the window, or closes it (its place is not stored then).
void toggleStellerWindow(AppContext& ctx);
// The window's close box: its place is stored, then it closes.
void stellerCloseBox(AppContext& ctx);
// All eight bits of `row`'s address on or off, when the row is live.
void stellerAllBits(AppContext& ctx, int row, bool on);
// Bit `bit` of `row`'s address set (`down`) or cleared, when the row is live.
void stellerBit(AppContext& ctx, int row, int bit, bool down);

void registerStellerRows(Dispatcher& d);
// The bus thread's part: the bit buttons of live rows follow the bus. Added before the
// bus thread first starts.
void addStellerCycleRow(AppContext& ctx);

}  // namespace kw
