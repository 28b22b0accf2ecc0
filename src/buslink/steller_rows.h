// The Steller window's rows as the bus thread sees them: while a row is live (its toggle
// button down), its eight bit buttons follow the value of the row's address on the
// current bus. The bus thread only reads and sets the rows through the user interface's
// any-thread calls; the window itself belongs to the main thread.
#pragma once

#include <string>

#include "buslink/bus_state.h"
#include "platform/ui.h"

namespace kw {

namespace steller {
constexpr int kRows = 4;
constexpr int kBits = 8;
constexpr int kFirstAddressList = 2639;  // + row: the row's bus address, "0" .. "111"
constexpr int kFirstLiveToggle = 2643;   // + row: the row is live while this is down
constexpr int kFirstAllOn = 2647;        // + row
constexpr int kFirstAllOff = 2651;       // + row
constexpr int kFirstBitButton = 2655;    // + 8 row + bit
constexpr int kBusNumber = 2687;         // the current bus

constexpr int bitButton(int row, int bit) { return kFirstBitButton + kBits * row + bit; }
}  // namespace steller

// The address a row's list shows: the decimal value of its text, 0 when nothing is chosen.
int stellerAddress(const std::string& text);

// One pass for the bus thread: sets the bit buttons of every live row of an open Steller
// window to the bits of its address's value in the bus mirror of the current bus.
void followStellerRows(Ui& ui, const BusState& bus);

}  // namespace kw
