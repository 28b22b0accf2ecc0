#include "app/shell.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/factory_values.h"
#include "app/module_files.h"
#include "app/settings_dialog.h"
#include "app/status_popup.h"
#include "app/roster_window.h"
#include "app/steller_window.h"
#include "buslink/module_backup.h"
#include "forms/parameter_form.h"
#include "forms/position_query.h"
#include "programming/engine.h"
#include "resources/images.h"

namespace kw {

namespace {

constexpr int kStatusWidths[] = {24, 126, 110, 24, 296, 140};

void openMainWindow(AppContext& ctx) {
  WindowSpec desc;
  desc.rect = {0, 0, 700, 640};
  desc.centred = true;
  desc.visible = false;
  desc.closeBox = true;
  if (!ctx.ui.openWindow(win::kMain, desc)) endProgram(ctx);
  ctx.ui.createStatusBar(win::kMain, std::vector<int>(std::begin(kStatusWidths),
                                                      std::end(kStatusWidths)));
  std::vector<MenuItem> popup;
  for (int t = 590; t <= 594; ++t) popup.push_back({menu::kStatusPopup * 100 + t - 590 + 1, ctx.text(t), 0});
  ctx.ui.createPopupMenu(menu::kStatusPopup, popup);
}

}  // namespace

void registerImages(Ui& ui) {
  for (int n : kImageNumbers) ui.registerImage(n, builtinImage(n));
}

void startUp(AppContext& ctx) {
  ctx.language = kLanguageGerman;
  ctx.startDirectory = ctx.system.currentDirectory();

  loadStartTexts(ctx);
  showStartWindow(ctx, "Start: " + ctx.text(100));
  registerImages(ctx.ui);

  readSuitePreferences(ctx.system, ctx.ui.screen(), ctx.suite);
  if (readProgramPreferences(ctx.system, ctx.programPrefs)) {
    // The program's own file has the last word on where the Steller window stands.
    ctx.suite.windowTable[win::kSteller].X = ctx.programPrefs.stellerPosX;
    ctx.suite.windowTable[win::kSteller].Y = ctx.programPrefs.stellerPosY;
  }
  ctx.language = ctx.programPrefs.language;
  ctx.bus.currentBus = ctx.programPrefs.bus < kBusSlots ? ctx.programPrefs.bus : 0;

  openMainWindow(ctx);
  registerShellRows(ctx.dispatcher);
  registerFormRows(ctx.dispatcher);
  registerProgrammingRows(ctx.dispatcher);
  registerSettingsRows(ctx.dispatcher);
  registerStellerRows(ctx.dispatcher);
  registerRosterRows(ctx.dispatcher);
  addStellerCycleRow(ctx);
  registerModuleFileRows(ctx.dispatcher);
  registerFactoryRows(ctx.dispatcher);
  registerBackupRows(ctx.dispatcher);
  buildUserInterface(ctx, ctx.language, false, false);
  registerPositionQuery(ctx);

  ctx.busLink.probePorts();
  ctx.busLink.openInterfaces();
  ctx.bus.stopFlag = 0;
  ctx.busThread.start();
  startClockThread(ctx);

  ctx.form = FormSelection{};
  if (ctx.programPrefs.stellerOpen == 1) openStellerWindow(ctx);

  ctx.ui.setFocus(win::kMain, 2140);
  ctx.ui.processPendingEvents();
  ctx.ui.closeWindow(win::kStart);
}

void drainOverflow(AppContext& ctx) { ctx.queue.drainOverflow(); }

void mainLoopPass(AppContext& ctx, int idleWaitMs) {
  UiEvent e;
  // The short wait is for the overflow queue alone; with nothing in it only a window
  // event needs this thread, so it sleeps until one comes.
  const int wait = ctx.queue.overflowCount() > 0 ? kMainLoopWaitMs : idleWaitMs;
  bool got = ctx.ui.waitEvent(wait, e);
  drainOverflow(ctx);
  if (got) dispatchEvent(ctx, e);
  if (ctx.quitAfterRun && ctx.runDepth == 0) {
    ctx.quitAfterRun = false;
    quitConfirmed(ctx);
  }
}

void runMainLoop(AppContext& ctx) {
  for (;;) mainLoopPass(ctx, kIdleWaitMs);
}

void dispatchEvent(AppContext& ctx, const UiEvent& e) {
  switch (e.type) {
    case EventType::KeyF1:
      showHelp(ctx);
      return;
    case EventType::KeyF2:
      saveProgramPreferences(ctx);
      return;
    case EventType::StatusBarClick:
      if (e.window == win::kMain) handleStatusBarClick(ctx, e.x);
      return;
    default:
      ctx.dispatcher.dispatch(ctx, e);
  }
}

void registerShellRows(Dispatcher& d) {
  d.onClose(win::kMain, [](AppContext& c, const UiEvent&) { requestQuit(c); });
  d.onClose(win::kSettings, [](AppContext& c, const UiEvent&) { c.ui.closeWindow(win::kSettings); });
  d.onClose(win::kBackupShow,
            [](AppContext& c, const UiEvent&) { c.ui.closeWindow(win::kBackupShow); });
  d.onClose(win::kSteller, [](AppContext& c, const UiEvent&) { stellerCloseBox(c); });

  d.onMenu(menu::kQuit, [](AppContext& c, const UiEvent&) { requestQuit(c); });
  d.onMenu(menu::kHelp, [](AppContext& c, const UiEvent&) { showHelp(c); });
  const int languageItems[4] = {menu::kGerman, menu::kEnglish, menu::kItalian, menu::kFrench};
  for (int lang = 1; lang <= 4; ++lang)
    d.onMenu(languageItems[lang - 1],
             [lang](AppContext& c, const UiEvent&) { switchLanguage(c, lang); });

  for (int family = 5; family <= 9; ++family)
    d.onMenu(menu::kFirstSimKey + family - 5,
             [family](AppContext& c, const UiEvent&) { pressSimulatedKey(c, family); });

  d.onControl(kCancelButton, kCancelButton, EventType::Click,
              [](AppContext& c, const UiEvent&) { requestQuit(c); });
  d.onControl(2011, 2019, EventType::Click,
              [](AppContext& c, const UiEvent& e) { selectBus(c, e.control - 2011); });

  // Address fields of the form: 0..111 or empty.
  const std::pair<int, int> addressFields[] = {
      {2022, 2024}, {2032, 2041}, {2052, 2061}, {2074, 2076}, {2086, 2105}, {2222, 2223},
      {2327, 2327}, {2515, 2515}, {2528, 2528}, {2573, 2574}, {2607, 2608}, {2626, 2626},
      {2628, 2628}};
  for (auto [first, last] : addressFields)
    d.onControl(first, last, EventType::TextChanged,
                [](AppContext& c, const UiEvent& e) { checkAddressField(c, e.control); });
  d.onControl(2291, 2291, EventType::TextChanged, [](AppContext& c, const UiEvent& e) {
    notePositionPanel(c);
    if (c.ui.state(win::kMain, 2288) != 0) checkAddressField(c, e.control);
  });
}

void showHelp(AppContext& ctx) {
  constexpr int kOwnHelp = 7;
  if (ctx.language == kLanguageFrench) {
    // There is no French help: say which languages there are and open the English one.
    ctx.ui.messageBox(win::kMain, ctx.text(21), ctx.text(29), mb::kOk | mb::kIconInformation);
    if (openHelp(ctx.system, ctx.helpTable, kLanguageEnglish, kOwnHelp)) return;
  } else if (openHelp(ctx.system, ctx.helpTable, ctx.language, kOwnHelp)) {
    return;
  }
  ctx.ui.messageBox(win::kMain, ctx.text(21), ctx.text(28) + "\n" + ctx.system.currentDirectory() + "Help",
                    mb::kOk | mb::kIconInformation);
}

void pressSimulatedKey(AppContext& ctx, int family) {
  if (!ctx.simulatedProgrammingKey || ctx.simulatedProgrammingKey(family)) return;
  ctx.ui.messageBox(win::kMain, "Error",
                    "No simulated module of this family is on a bus in use.", mb::kIconError);
}

void submitBusRequest(AppContext& ctx, int address, int value) {
  ctx.queue.submit(address, value);
}

void pumpedWait(AppContext& ctx, uint32_t ms) {
  const Tick deadline = ctx.clock.now() + ms;
  for (;;) {
    int32_t left = tickDiff(deadline, ctx.clock.now());
    if (left <= 0) break;
    // Block for events in short slices instead of spinning on the processor.
    UiEvent e;
    const bool got = ctx.ui.waitEvent(left < 10 ? left : 10, e);
    drainOverflow(ctx);
    if (!got) continue;
    if (e.type == EventType::CloseBox && e.window == win::kMain) {
      requestQuit(ctx);
    } else if (e.window == win::kMain && e.control == kCancelButton &&
               e.type == EventType::Click) {
      ctx.cancelRequested = 1;
    }
  }
}

bool saveProgramPreferences(AppContext& ctx) {
  ProgramPreferences p = ctx.programPrefs;
  p.language = static_cast<uint8_t>(ctx.language);
  p.bus = static_cast<uint8_t>(ctx.currentBus());
  WindowPlacement& steller = ctx.suite.windowTable[win::kSteller];
  if (ctx.ui.windowOpen(win::kSteller)) {
    Rect r = ctx.ui.windowRect(win::kSteller);
    steller.X = r.x;
    steller.Y = r.y;
    p.stellerOpen = 1;
  } else {
    p.stellerOpen = 0;
  }
  p.stellerPosX = steller.X;
  p.stellerPosY = steller.Y;
  ctx.programPrefs = p;
  if (writeProgramPreferences(ctx.system, ctx.clock, p)) return true;
  // Said once a run: F2 and quitting would otherwise repeat it every time.
  if (!ctx.prefsWriteReported) {
    ctx.prefsWriteReported = true;
    const std::string why = lastSystemError();
    ctx.ui.messageBox(win::kMain, ctx.text(25),
                      ctx.text(26) + "\n" + ctx.system.currentDirectory() +
                          kProgramPreferencesFile + (why.empty() ? "" : "\n\n" + why),
                      mb::kOk | mb::kIconWarning);
  }
  return false;
}

void requestQuit(AppContext& ctx) {
  if (ctx.quitAfterRun) return;  // asked already; the run is ending
  if (ctx.ui.messageBox(win::kMain, ctx.text(504), ctx.text(505),
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  if (ctx.runDepth > 0) {
    // Ending in the middle of a run could leave a module holding a parameter number
    // without its data: cancel the run and quit when it has ended.
    ctx.quitAfterRun = true;
    ctx.cancelRequested = 1;
    return;
  }
  quitConfirmed(ctx);
}

void quitConfirmed(AppContext& ctx) {
  const FormSelection& f = ctx.form;
  bool moduleWaits = (f.currentFamily == 1 && f.subtypeFamily1 == 19) ||
                     (f.currentFamily == 2 && ctx.ui.state(win::kMain, 2289) != 0);
  if (ctx.bus.programmingMode.load() == 1 && moduleWaits) {
    if (ctx.ui.messageBox(win::kMain, ctx.text(504), ctx.text(267),
                          mb::kYesNo | mb::kIconQuestion) == mb::kAnswerYes) {
      // Leave programming mode so the module is not left waiting.
      submitBusRequest(ctx, 0, 255);
      pumpedWait(ctx, 200);
      submitBusRequest(ctx, 106, 0);
      pumpedWait(ctx, 200);
    }
  }

  // The user has decided: the window goes at once, the pauses of the stop run behind it.
  ctx.ui.showWindow(win::kMain, false);
  ctx.ui.processPendingEvents();
  ctx.busThread.stop(400);
  ctx.clock.sleep(100);
  stopClockThread(ctx);
  ctx.clock.sleep(100);
  saveProgramPreferences(ctx);
  ctx.clock.sleep(100);
  if (ctx.ui.windowOpen(win::kSteller)) closeStellerWindow(ctx);
  ctx.clock.sleep(200);
  endProgram(ctx);
}

void endProgram(AppContext& ctx) {
  ctx.system.exitProcess(0);
  std::abort();  // exitProcess does not come back
}

void checkAddressField(AppContext& ctx, int control) {
  std::string t = ctx.ui.text(win::kMain, control);
  // A module data file loads its addresses with a blank before them.
  t.erase(0, t.find_first_not_of(' ') == std::string::npos ? t.size() : t.find_first_not_of(' '));
  bool ok = true;
  if (!t.empty()) {
    // Digits only, at most three of them: 0..111.
    long v = 0;
    for (char ch : t) {
      if (ch < '0' || ch > '9' || v > 1000) {
        ok = false;
        break;
      }
      v = v * 10 + (ch - '0');
    }
    if (ok && v > 111) ok = false;
  }
  if (ok) return;
  ctx.ui.messageBox(win::kMain, ctx.text(494), ctx.text(492) + "\n\n" + ctx.text(493),
                    mb::kOk | mb::kIconError);
  ctx.ui.setText(win::kMain, control, "");
  ctx.ui.setFocus(win::kMain, control);
}

void updateBusSelector(AppContext& ctx) {
  for (int b = 0; b < kBusSlots; ++b)
    ctx.ui.setEnabled(win::kMain, 2011 + b, ctx.suite.busTable[b].used != 0);
}

void selectBus(AppContext& ctx, int bus) {
  if (bus < 0 || bus >= kBusSlots || bus == ctx.currentBus()) return;
  ctx.busThread.stop(300);
  ctx.busLink.closeInterfaces(0);
  ctx.bus.currentBus = static_cast<uint8_t>(bus);
  ctx.busLink.openInterfaces();
  ctx.bus.stopFlag = 0;
  ctx.busThread.start();
  if (ctx.ui.windowOpen(win::kSteller)) {
    ctx.ui.setText(win::kSteller, 2687, std::to_string(bus));
    for (int c = 2643; c <= 2646; ++c) ctx.ui.setState(win::kSteller, c, 0);
  }
}

void recordWindowPlacement(AppContext& ctx) {
  Rect r = ctx.ui.windowRect(win::kMain);
  WindowPlacement& w = ctx.suite.windowTable[win::kMain];
  w.X = r.x;
  w.Y = r.y;
  w.B = r.w;
  w.H = r.h;
  w.M = ctx.ui.windowState(win::kMain);
}

void handleStatusBarClick(AppContext& ctx, int x) {
  if (x >= 1 && x <= 149) {
    showStatusPopup(ctx);
  } else if (x >= 150 && x <= 260) {
    // The power field only ever switches the track power off.
    if (ctx.bus.centralPower.load() != 0) submitBusRequest(ctx, 127, 0);
  }
}

std::string formatClock(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d  %02d:%02d:%02d", t.day % 100, t.month % 100,
                t.year % 10000, t.hour % 100, t.minute % 100, t.second % 100);
  return buf;
}

int clockCycle(AppContext& ctx) {
  if (ctx.clockEnd.load()) return -1;
  // While the bus thread is being restarted the clock only idles.
  if (ctx.bus.stopFlag.load()) return 10;
  std::string now = formatClock(ctx.clock.localTime());
  if (now != ctx.clockShown) {
    ctx.clockShown = now;
    ctx.ui.setStatusText(win::kMain, 5, now, Align::Centre);
  }
  return 50;
}

void startClockThread(AppContext& ctx) {
  ctx.clockEnd = 0;
  ctx.clockThread = ctx.workers.start("clock", [&ctx] { return clockCycle(ctx); });
}

void stopClockThread(AppContext& ctx) {
  if (!ctx.clockThread) return;
  ctx.clockEnd = 1;
  ctx.clockThread->waitUntilEnded(10);
  ctx.clockThread.reset();
}

}  // namespace kw
