// The interface settings dialog (window 13): which COM port serves which bus, which buses
// are in use and which is the SX1 bus of its interface, and for each COM port whether it
// is used, which interface type hangs on it and at which baud rate. The dialog shows the
// bus and port tables in its controls and takes the controls' values only when applied.
#pragma once

#include <string>

namespace kw {

struct AppContext;
class Dispatcher;

namespace settings {
constexpr int kApply = 118;
constexpr int kClose = 119;
constexpr int kDeviceManager = 427;
constexpr int kTabs = 117;
constexpr int kBus0Port = 227;
constexpr int kBus0Used = 228;
constexpr int kFirstBusPort = 211;   // + bus - 1, buses 1..8
constexpr int kFirstBusUsed = 219;   // + bus - 1
constexpr int kFirstBusSx1 = 247;    // + bus - 1
constexpr int kFirstPortUsed = 166;  // + port - 1, ports 1..8
constexpr int kFirstPortType = 195;  // + port - 1
constexpr int kFirstPortBaud = 203;  // + port - 1
// Labels the program writes to; the other labels are numbered from 1100 on.
constexpr int kAvailableOnBusTab = 1001;
constexpr int kAvailableOnPortTab = 1002;
constexpr int kFirstDeviceLabel = 1011;  // + port - 1: the device behind COM port (not on Windows)
}  // namespace settings

// Opens the dialog, or closes it when it is open. `owner` is the window it belongs to:
// the main window for the action-bar button, none (-1) for the menu item.
void openSettingsDialog(AppContext& ctx, int owner);
// Takes the controls' values into the bus and port tables, saves the suite preference
// file and reopens the interfaces with the bus thread stopped. The dialog stays open.
void applySettings(AppContext& ctx);
// Closes the dialog without taking anything from it.
void closeSettingsDialog(AppContext& ctx);
// The type list of `port` changed: its baud list offers the new type's rates.
void settingsTypeChanged(AppContext& ctx, int port);
// Shows where the system lists its serial devices.
void openDeviceManager(AppContext& ctx);

// "Com 1, Com 3": the ports found by the last probe or in use; empty when there are none.
std::string availablePortsText(AppContext& ctx);

void registerSettingsRows(Dispatcher& d);

}  // namespace kw
