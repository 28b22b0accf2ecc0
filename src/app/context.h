// The one program context: created at start-up, owns every subsystem's state and lives
// until the process ends. Everything else receives it by reference.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "buslink/bus_link.h"
#include "buslink/bus_state.h"
#include "buslink/bus_thread.h"
#include "buslink/request_queue.h"
#include "config/language.h"
#include "config/program_prefs.h"
#include "config/suite_prefs.h"
#include "forms/form.h"
#include "programming/module_state.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "platform/worker.h"

namespace kw {

constexpr int kVersionMajor = 4;
constexpr int kVersionMinor = 15;

// Selection of the parameter form: outer tab and the sub-type of each family with inner tabs.
struct FormSelection {
  int currentFamily = 0;
  int subtypeFamily0 = 17;
  int subtypeFamily1 = 19;
  int subtypeFamily2 = 11;
  int subtypeFamily4 = 2348;
};

// The roster window's view of the folder: how its list is sorted and which file each
// row shows.
struct RosterView {
  int sortColumn = 1;  // address
  bool descending = false;
  std::vector<std::string> shownFiles;
  bool comparing = false;   // a read-out for a comparison is under way
  std::vector<int> marked;  // form controls the last comparison marked
};

struct Platform {
  Ui& ui;
  Clock& clock;
  System& system;
  WorkerFactory& workers;
  SerialPorts& serial;
};

struct AppContext {
  explicit AppContext(Platform p)
      : ui(p.ui), clock(p.clock), system(p.system), workers(p.workers), serial(p.serial),
        busLink(bus, queue, suite, p.serial, p.clock, p.ui, texts),
        busThread(bus, busLink, p.clock, p.workers) {}
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  Ui& ui;
  Clock& clock;
  System& system;
  WorkerFactory& workers;
  SerialPorts& serial;

  // Shell state.
  int language = kLanguageGerman;
  std::string startDirectory;
  bool prefsWriteReported = false;  // a failed write of the program preferences was told
  std::atomic<uint8_t> cancelRequested{0};
  // A cancel came during the run under way; kept because unlocking the form clears
  // cancelRequested, and some sequences unlock before they end.
  bool cancelSeen = false;
  std::atomic<uint8_t> clockEnd{0};  // ends the clock thread for good (quit, restart)
  LanguageFileTable languageFiles = makeLanguageFileTable();
  HelpTable helpTable = makeHelpTable();
  LanguageTexts texts;
  SuitePreferences suite = emptySuitePreferences();
  ProgramPreferences programPrefs;  // Steller state; language and bus live above/in `bus`
  FormSelection form;
  // --- parameter form (src/forms) ---
  FormState forms;
  // --- end parameter form ---
  ModuleState module;  // what the last read-out or programming run learnt of the module
  RosterView roster;
  // Programming runs, read-outs and mode switches under way (they nest: a switch-on reads).
  int runDepth = 0;
  // Presses the programming key of the simulated module of a family (5..9); set only
  // while a simulated interface is in use, and then offered in the menu.
  std::function<bool(int family)> simulatedProgrammingKey;
  // The user agreed to quit while a run was under way: the run is cancelled and the quit
  // goes on once it has ended.
  bool quitAfterRun = false;
  Dispatcher dispatcher;

  // Bus link.
  BusState bus;
  RequestQueue queue;
  BusLink busLink;
  BusThread busThread;

  // Clock thread.
  std::unique_ptr<Worker> clockThread;
  std::string clockShown;

  const std::string& text(int n) const { return texts.text(n); }
  int currentBus() const { return bus.currentBus.load(); }
};

}  // namespace kw
