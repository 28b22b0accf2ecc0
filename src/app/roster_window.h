// The roster window (window 20): the module sheets of the roster folder in a list that can
// be sorted by any column and filtered, with the sheet's name and note to edit, and the
// chosen sheet opened in the form (without the bus) or deleted.
#pragma once

namespace kw {

struct AppContext;
class Dispatcher;

// Controls of the roster window.
namespace roster {
constexpr int kFilterLabel = 1;
constexpr int kFilter = 2;
constexpr int kList = 3;
constexpr int kNameLabel = 4;
constexpr int kName = 5;
constexpr int kNoteLabel = 6;
constexpr int kNote = 7;
constexpr int kSaveNames = 8;
constexpr int kOpenInForm = 9;
constexpr int kDelete = 10;
constexpr int kStatus = 11;
constexpr int kCompare = 12;
constexpr int kColumns = 7;  // bus, address, module, name, note, last read, last programmed
// Entry of the window-placement table that holds the window's place while the program
// runs: beyond the entries the suite file stores, which belong to the suite's programs.
constexpr int kPlacement = 49;
}  // namespace roster

void openRosterWindow(AppContext& ctx);
// Menu item: opens the window, or closes it.
void toggleRosterWindow(AppContext& ctx);
// Closes it and keeps its place for the next opening.
void closeRosterWindow(AppContext& ctx);
// The list shows the folder as it is now (when the window is open).
void refreshRosterWindow(AppContext& ctx);
// The chosen row's sheet into the form: its family and sub-type page shown and filled.
void openChosenSheet(AppContext& ctx);
void deleteChosenSheet(AppContext& ctx);
// Opens the chosen sheet in the form, reads the module into a scratch copy and marks every
// field whose value the module does not hold; the form keeps the sheet's values.
void compareChosenSheet(AppContext& ctx);
void saveChosenNames(AppContext& ctx);

void registerRosterRows(Dispatcher& d);

}  // namespace kw
