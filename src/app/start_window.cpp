// Start window, the main window's title, and building the user interface in a language,
// including the restart that a change of language needs.
#include <cstdio>
#include <string>

#include "app/shell.h"
#include "forms/parameter_form.h"

namespace kw {

namespace {

constexpr int kLanguageMenuItems[5] = {0, menu::kGerman, menu::kEnglish, menu::kItalian,
                                       menu::kFrench};

// Program files tried, in this order, for the new instance after a change of language.
constexpr const char* kRestartPrograms[] = {"Kantelwerk.exe", "Kantelwerk_Server_V4.obx"};

bool startNewInstance(AppContext& ctx) {
  const std::string tick = std::to_string(ctx.clock.now());
  for (const char* name : kRestartPrograms) {
    if (!ctx.system.fileExists(name) || ctx.system.fileSize(name) <= 3) continue;
    if (ctx.system.startProgram(name, {tick})) return true;
    return ctx.system.openDocument(name);
  }
  // Without either file (any system but the suite's own installation) start the
  // running program file again, so that the user is not left without a window.
  const std::string self = ctx.system.executablePath();
  return !self.empty() && ctx.system.startProgram(self, {tick});
}

// The bus and clock threads read the language texts (status bar); before the texts change
// for a restart both are stopped, so that no thread reads a text while it is replaced.
void stopThreadsForRestart(AppContext& ctx) {
  ctx.bus.stopFlag = 1;
  ctx.busThread.stop(0);
  stopClockThread(ctx);
}

}  // namespace

std::string versionText() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "V%d.%02d", kVersionMajor, kVersionMinor);
  return buf;
}

std::string titleText(const LanguageTexts& texts) {
  return " VOLTARIS Server  " + texts.text(100) + std::string(10, ' ') + versionText();
}

void showStartWindow(AppContext& ctx, const std::string& text) {
  WindowSpec desc;
  desc.title = "VOLTARIS  " + versionText();
  desc.rect = {0, 0, 300, 40};
  desc.centred = true;
  desc.closeBox = false;
  desc.waitCursor = true;
  if (!ctx.ui.openWindow(win::kStart, desc)) return;
  ControlSpec label;
  label.kind = ControlKind::Label;
  label.id = 1;
  label.rect = {10, 10, 280, 20};
  label.text = text;
  label.align = Align::Centre;
  ctx.ui.createControl(win::kStart, label);
  ScreenMetrics s = ctx.ui.screen();
  ctx.ui.movePointer(s.primaryWidth / 2, s.primaryHeight / 2);
  ctx.ui.processPendingEvents();
}

// Outer tab captions of families 5..9.
constexpr int kFamilyTabTexts[] = {350, 370, 410, 480, 460};

void buildMainMenu(AppContext& ctx) {
  const auto& t = ctx.texts;
  std::vector<MenuTitle> m = {
      {t.text(6),
       {{menu::kSettings, t.text(7), 302},
        {0, "", 0},
        {menu::kGerman, t.text(2), 133},
        {menu::kEnglish, t.text(3), 134},
        {menu::kItalian, t.text(4), 135},
        {menu::kFrench, t.text(8), 136},
        {0, "", 0},
        {menu::kQuit, t.text(5), 264}}},
      {t.text(16), {{menu::kSteller, t.text(17), 0}, {menu::kRoster, t.text(51), 0}}},
      {t.text(21), {{menu::kHelp, t.text(22), 278}}},
  };
  if (ctx.simulatedProgrammingKey) {
    // Families 5..9 have no handshake: their modules are put into programming mode by a
    // key on the module, which the simulated layout offers here.
    MenuTitle sim{t.text(23), {}};
    for (int family = 5; family <= 9; ++family)
      sim.items.push_back({menu::kFirstSimKey + family - 5,
                           t.text(24) + " " + t.text(kFamilyTabTexts[family - 5]), 0});
    m.insert(m.end() - 1, sim);
  }
  ctx.ui.setMenu(win::kMain, m);
  if (ctx.language >= 1 && ctx.language <= 4)
    ctx.ui.setMenuCheck(win::kMain, kLanguageMenuItems[ctx.language], true);
}

static int firstLanguageWithFile(AppContext& ctx) {
  for (int l = kLanguageGerman; l <= kLanguageFrench; ++l)
    if (ctx.system.fileExists(ctx.languageFiles[static_cast<size_t>(l)][0])) return l;
  return 0;
}

[[noreturn]] static void endWithoutLanguageFiles(AppContext& ctx) {
  ctx.ui.messageBox(win::kMain, "Error",
                    "Language file not found: " + ctx.languageFiles[kLanguageGerman][0] +
                        "\n\nNo language file (Kantel_V4.Lang_DE, _EN, _IT, _FR) is in the "
                        "folder\n" + ctx.system.currentDirectory(),
                    mb::kOk | mb::kIconError);
  endProgram(ctx);
}

void loadStartTexts(AppContext& ctx) {
  // The start window speaks German; without that file any other language will do.
  const int l = firstLanguageWithFile(ctx);
  if (l == 0) endWithoutLanguageFiles(ctx);
  loadLanguage(ctx.system, ctx.ui, ctx.languageFiles, l, ctx.texts);
}

void buildUserInterface(AppContext& ctx, int language, bool showWait, bool restart) {
  if (restart) stopThreadsForRestart(ctx);
  ctx.language = (language >= 1 && language <= 4) ? language : kLanguageGerman;
  if (!loadLanguage(ctx.system, ctx.ui, ctx.languageFiles, ctx.language, ctx.texts)) {
    // A window without words is no use: this run takes a language whose file is there.
    // The choice stays stored, so the language comes back once its file does.
    const int fallback = firstLanguageWithFile(ctx);
    if (fallback == 0) endWithoutLanguageFiles(ctx);
    loadLanguage(ctx.system, ctx.ui, ctx.languageFiles, fallback, ctx.texts);
    ctx.ui.messageBox(win::kMain, "Error",
                      ctx.text(31) + "\n" + ctx.languageFiles[static_cast<size_t>(fallback)][0],
                      mb::kOk | mb::kIconInformation);
  }
  buildMainMenu(ctx);

  if (showWait) {
    WindowSpec desc;
    desc.title = ctx.text(1);
    desc.rect = {0, 0, 200, 40};
    desc.centred = true;
    desc.closeBox = false;
    if (ctx.ui.openWindow(win::kWait, desc)) {
      ControlSpec label;
      label.kind = ControlKind::Label;
      label.id = 1;
      label.rect = {5, 10, 190, 24};
      label.text = ctx.text(620);
      label.align = Align::Centre;
      ctx.ui.createControl(win::kWait, label);
      ctx.ui.processPendingEvents();
      ctx.ui.closeWindow(win::kWait);
    }
  }

  if (!restart) {
    buildParameterForm(ctx);
    fillFunctionLists(ctx);
    updateBusSelector(ctx);
    ctx.ui.setWindowTitle(win::kMain, "   " + titleText(ctx.texts));
    ctx.ui.showWindow(win::kMain, true);
    return;
  }

  saveProgramPreferences(ctx);
  if (ctx.ui.windowOpen(win::kSteller)) closeStellerWindow(ctx);
  startNewInstance(ctx);
  endProgram(ctx);
}

void switchLanguage(AppContext& ctx, int language) {
  if (language == ctx.language || language < kLanguageGerman || language > kLanguageFrench) return;
  const std::string& file = ctx.languageFiles[static_cast<size_t>(language)][0];
  if (!ctx.system.fileExists(file)) {
    // Restarting would only show the same error at every start from now on.
    ctx.ui.messageBox(win::kMain, "Error", "Language file not found: " + file,
                      mb::kOk | mb::kIconError);
    return;
  }
  // The new instance takes its language from the program preference file: if that cannot
  // be written, it would come back in the old language.
  const int before = ctx.language;
  ctx.language = language;
  if (!saveProgramPreferences(ctx)) {
    ctx.language = before;
    ctx.ui.messageBox(win::kMain, ctx.text(25), ctx.text(27), mb::kOk | mb::kIconWarning);
    return;
  }
  buildUserInterface(ctx, language, true, true);
}

}  // namespace kw
