// Start-up, main loop, quitting and the waits that keep the window alive.
#pragma once

#include <cstdint>
#include <string>

#include "app/context.h"

namespace kw {

// Main-window menu item numbers.
namespace menu {
constexpr int kSettings = 27;
constexpr int kGerman = 29;
constexpr int kEnglish = 30;
constexpr int kItalian = 31;
constexpr int kFrench = 32;
constexpr int kQuit = 84;
constexpr int kSteller = 14;
constexpr int kRoster = 33;
constexpr int kHelp = 83;
constexpr int kStatusPopup = 398;
// Programming keys of the simulated modules of families 5..9: item kFirstSimKey + family - 5.
constexpr int kFirstSimKey = 91;
}  // namespace menu

constexpr int kCancelButton = 2007;
constexpr int kMainLoopWaitMs = 50;
// The main loop's wait while the overflow queue is empty.
constexpr int kIdleWaitMs = 60000;

// Runs the start-up steps up to, not including, the main loop.
void startUp(AppContext& ctx);
// One pass of the main loop: wait for an event (at most 50 ms while the overflow queue
// holds requests, else at most `idleWaitMs`), drain the overflow queue, dispatch the event.
void mainLoopPass(AppContext& ctx, int idleWaitMs = kMainLoopWaitMs);
[[noreturn]] void runMainLoop(AppContext& ctx);
void dispatchEvent(AppContext& ctx, const UiEvent& e);
void registerShellRows(Dispatcher& d);
// The programming key of the simulated module of `family`: its module enters (or leaves)
// programming mode as if the key on it had been pressed.
void pressSimulatedKey(AppContext& ctx, int family);

// Asks the user and, on consent, stops the threads, saves the program preferences and
// ends the process. Returns only when the user said No.
void requestQuit(AppContext& ctx);
// The rest of quitting once the user has said Yes: the programming-mode question, the
// stop of the threads, the program preference file, the end.
[[noreturn]] void quitConfirmed(AppContext& ctx);
// Ends the process (the last step of quitting).
[[noreturn]] void endProgram(AppContext& ctx);

// Queue a bus write; never blocks.
void submitBusRequest(AppContext& ctx, int address, int value);
// Keeps the window alive for `ms` milliseconds. A click on the cancel button sets
// cancelRequested; closing the main window asks to quit; everything else is dropped.
void pumpedWait(AppContext& ctx, uint32_t ms);
void drainOverflow(AppContext& ctx);

// Program preference file from the current state (Steller window included). False when
// it could not be written; the user is told once a run.
bool saveProgramPreferences(AppContext& ctx);
// F1: the help of the current language, or a message that says where the help files are.
void showHelp(AppContext& ctx);

// Address fields accept 0..111; anything else is refused with a message.
void checkAddressField(AppContext& ctx, int control);
void selectBus(AppContext& ctx, int bus);
void updateBusSelector(AppContext& ctx);
void recordWindowPlacement(AppContext& ctx);
// Closes the Steller window, if open, without storing its place (steller_window.cpp).
void closeStellerWindow(AppContext& ctx);
void handleStatusBarClick(AppContext& ctx, int x);

// Clock thread: one pass writes the date and time into status field 5 when it changed.
std::string formatClock(const LocalTime& t);
int clockCycle(AppContext& ctx);
void startClockThread(AppContext& ctx);
void stopClockThread(AppContext& ctx);

// Start window, title and the user interface in a language.
std::string versionText();
std::string titleText(const LanguageTexts& texts);
void showStartWindow(AppContext& ctx, const std::string& text);
void buildMainMenu(AppContext& ctx);
// The texts of the start window: German, or the first language whose file is there; ends
// the program with a message naming the folder when there is none.
void loadStartTexts(AppContext& ctx);
void buildUserInterface(AppContext& ctx, int language, bool showWait, bool restart);
void switchLanguage(AppContext& ctx, int language);

// Registers the 29 built-in pictures with the user interface.
void registerImages(Ui& ui);

}  // namespace kw
