#include "buslink/steller_rows.h"

namespace kw {

int stellerAddress(const std::string& text) {
  int value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') break;
    value = value * 10 + (ch - '0');
    if (value >= kBusAddresses) return value;  // no bus address; the mirror has none
  }
  return value;
}

void followStellerRows(Ui& ui, const BusState& bus) {
  using namespace steller;
  for (int row = 0; row < kRows; ++row) {
    // A closed window has no controls, so this is also the test whether it is open.
    const int live = kFirstLiveToggle + row;
    if (!ui.controlExists(win::kSteller, live) || ui.state(win::kSteller, live) == 0) continue;
    const int address = stellerAddress(ui.text(win::kSteller, kFirstAddressList + row));
    const int value = bus.mirror(bus.currentBus.load(), address);
    for (int bit = 0; bit < kBits; ++bit) {
      const int button = bitButton(row, bit);
      if (ui.controlExists(win::kSteller, button))
        ui.setState(win::kSteller, button, (value >> bit) & 1);
    }
  }
}

}  // namespace kw
