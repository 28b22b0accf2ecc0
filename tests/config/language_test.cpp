#include "config/language.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "platform/memory_system.h"

namespace kw {
namespace {

// The tables are large; keep them off the test's stack.
std::unique_ptr<LanguageTexts> freshTexts() { return std::make_unique<LanguageTexts>(); }

TEST(LanguageFiles, FileTable) {
  const LanguageFileTable t = makeLanguageFileTable();
  EXPECT_EQ(t[1][0], "Kantel_V4.Lang_DE");
  EXPECT_EQ(t[2][0], "Kantel_V4.Lang_EN");
  EXPECT_EQ(t[3][0], "Kantel_V4.Lang_IT");
  EXPECT_EQ(t[4][0], "Kantel_V4.Lang_FR");
  EXPECT_EQ(t[1][1], "Setup_V4.Lang_DE");
  EXPECT_EQ(t[2][1], "Setup_V4.Lang_EN");
  EXPECT_EQ(t[3][1], "Setup_V4.Lang_IT");
  EXPECT_EQ(t[4][1], "Setup_V4.Lang_FR");
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(t[0][c], "");
    EXPECT_EQ(t[5][c], "");
  }
  for (int r = 0; r < 6; ++r) EXPECT_EQ(t[r][2], "");
}

TEST(LanguageFiles, HelpTable) {
  const HelpTable h = makeHelpTable();
  EXPECT_EQ(h[1][7], "KantelwerkV3.chm");
  EXPECT_EQ(h[2][7], "KantelwerkV3_EN.chm");
  EXPECT_EQ(h[3][7], "KantelwerkV3_IT.chm");
  const std::string suffix[4] = {"", "V3.chm", "V3_EN.chm", "V3_IT.chm"};
  for (int c = 0; c <= 7; ++c) {
    for (int r = 1; r <= 3; ++r) {
      const std::string& name = h[r][c];
      ASSERT_GT(name.size(), suffix[r].size()) << r << "/" << c;
      EXPECT_EQ(name.substr(name.size() - suffix[r].size()), suffix[r]);
      // The same program in every language.
      EXPECT_EQ(name.substr(0, name.size() - suffix[r].size()),
                h[1][c].substr(0, h[1][c].size() - suffix[1].size()));
    }
    // German names must not also end in an English or Italian suffix.
    EXPECT_EQ(h[1][c].find("_"), std::string::npos);
  }
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 21; ++c) {
      if (r >= 1 && r <= 3 && c <= 7) continue;
      EXPECT_EQ(h[r][c], "") << r << "/" << c;
    }
  }
}

TEST(LanguageText, NumberedLines) {
  auto t = freshTexts();
  applyLanguageText(
      "504, Wirklich beenden?\r\n"
      "1, Datei\r\n"
      "99, Kurz\r\n"
      "100, Start\r\n"
      "800, Letzter\r\n"
      "  \t+7, Sieben\r\n"
      "8 , a, b, c\r\n"
      "12,Ohne Leerzeichen\r\n"
      "13,\r\n"
      "14\r\n",
      *t);
  EXPECT_EQ(t->text(504), "Wirklich beenden?");
  EXPECT_EQ(t->mainTable[404], "Wirklich beenden?");
  EXPECT_EQ(t->shortTable[1], "Datei");
  EXPECT_EQ(t->text(99), "Kurz");
  EXPECT_EQ(t->mainTable[0], "Start");
  EXPECT_EQ(t->mainTable[700], "Letzter");
  EXPECT_EQ(t->text(7), "Sieben");
  EXPECT_EQ(t->text(8), "a, b, c");
  EXPECT_EQ(t->text(12), "hne Leerzeichen");
  EXPECT_EQ(t->text(13), "");
  EXPECT_EQ(t->text(14), "");
}

TEST(LanguageText, LinesThatCannotBeStoredAreSkipped) {
  auto t = freshTexts();
  applyLanguageText(
      "900, zu gross\r\n"
      "801, knapp zu gross\r\n"
      "0, Null\r\n"
      "-3, negativ\r\n"
      "abc, keine Zahl\r\n"
      "kein Komma\r\n"
      ", leer\r\n"
      "99999999999999999999999, riesig\r\n",
      *t);
  for (const std::string& s : t->shortTable) EXPECT_EQ(s, "");
  for (const std::string& s : t->mainTable) EXPECT_EQ(s, "");
  EXPECT_EQ(t->text(900), "");
  EXPECT_EQ(t->text(0), "");
}

TEST(LanguageText, CutToTwoHundredCharacters) {
  auto t = freshTexts();
  const std::string ae = "\xC3\xA4";  // one character, two bytes
  std::string umlauts;
  for (int i = 0; i < 250; ++i) umlauts += ae;
  applyLanguageText("101, " + std::string(250, 'x') + "\r\n102, " + umlauts + "\n", *t);
  EXPECT_EQ(t->text(101), std::string(200, 'x'));
  EXPECT_EQ(t->text(102).size(), 400u);
  EXPECT_EQ(t->text(102).substr(398), ae);
}

TEST(LanguageText, SeparatorIsOneCharacterNotOneByte) {
  auto t = freshTexts();
  applyLanguageText("6,\xC3\xA9x\n", *t);
  EXPECT_EQ(t->text(6), "x");
}

TEST(LanguageText, EntriesNotNamedKeepTheirText) {
  auto t = freshTexts();
  applyLanguageText("5, Deutsch\n6, Nur deutsch\n", *t);
  applyLanguageText("5, English\n", *t);
  EXPECT_EQ(t->text(5), "English");
  EXPECT_EQ(t->text(6), "Nur deutsch");
}

TEST(LanguageText, LookupOutsideTheTablesIsEmpty) {
  auto t = freshTexts();
  t->shortTable[0] = "nie";
  t->shortTable[100] = "nie";
  t->setupText[0] = "null";
  EXPECT_EQ(t->text(0), "");
  EXPECT_EQ(t->text(-1), "");
  EXPECT_EQ(t->text(801), "");
  EXPECT_EQ(t->text(100000), "");
  EXPECT_EQ(t->setup(0), "null");
  EXPECT_EQ(t->setup(301), "");
  EXPECT_EQ(t->setup(-1), "");
}

TEST(LanguageText, RecordsTheNumbersAskedFor) {
  auto t = freshTexts();
  for (const auto& flag : t->asked) EXPECT_FALSE(flag.load());
  applyLanguageText("504, Wirklich beenden?\r\n", *t);
  EXPECT_FALSE(t->asked[504].load());  // loading is not asking
  (void)t->text(504);
  (void)t->text(7);
  (void)t->text(950);  // not storable, but asked for: the file check reports it
  (void)t->text(-3);
  (void)t->text(5000);
  for (int n = 0; n <= 1000; ++n)
    EXPECT_EQ(t->asked[static_cast<size_t>(n)].load(), n == 504 || n == 7 || n == 950) << n;
}

TEST(SetupText, FixedColumns) {
  auto t = freshTexts();
  applySetupText(
      "012 Schnittstelle\r\n"
      "000 Null\r\n"
      "300 Letzter\r\n"
      "007\r\n"
      "5   Kurz\r\n"
      "013:Doppelpunkt\r\n",
      *t);
  EXPECT_EQ(t->setup(12), "Schnittstelle");
  EXPECT_EQ(t->setup(0), "Null");
  EXPECT_EQ(t->setup(300), "Letzter");
  EXPECT_EQ(t->setup(7), "");
  EXPECT_EQ(t->setup(5), "Kurz");  // "5  " is the number, the fourth character the separator
  EXPECT_EQ(t->setup(13), "Doppelpunkt");
}

TEST(SetupText, UnusableLinesAreSkipped) {
  auto t = freshTexts();
  t->setupText[0] = "bleibt";
  applySetupText("301 zu gross\r\n999 auch\r\nabc keine Zahl\r\n\r\n-12 negativ\r\n", *t);
  EXPECT_EQ(t->setup(0), "bleibt");
  for (int n = 1; n <= 300; ++n) EXPECT_EQ(t->setup(n), "") << n;
}

TEST(SetupText, CutToTwoHundredCharacters) {
  auto t = freshTexts();
  applySetupText("042 " + std::string(300, 'y') + "\n", *t);
  EXPECT_EQ(t->setup(42), std::string(200, 'y'));
}

TEST(LoadLanguage, ReadsTheFileOfTheLanguageInItsCodePage) {
  MemorySystem sys;
  HeadlessUi ui;
  const LanguageFileTable files = makeLanguageFileTable();
  sys.files["Kantel_V4.Lang_DE"] = "100, Gr\xFC\xDF" "e \x80\r\n2, Deutsch\r\n";
  sys.files["Kantel_V4.Lang_EN"] = "\xEF\xBB\xBF" "100, Gr\xC3\xBC\xC3\x9F" "e\n";
  auto t = freshTexts();
  EXPECT_TRUE(loadLanguage(sys, ui, files, kLanguageGerman, *t));
  EXPECT_EQ(t->text(100), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
  EXPECT_TRUE(loadLanguage(sys, ui, files, kLanguageEnglish, *t));
  EXPECT_EQ(t->text(100), "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(t->text(2), "Deutsch");  // not in the English file: the German text stays
  EXPECT_TRUE(ui.messages.empty());
}

TEST(LoadLanguage, MissingFileIsReportedAndChangesNothing) {
  MemorySystem sys;
  HeadlessUi ui;
  auto t = freshTexts();
  t->mainTable[0] = "Start";
  EXPECT_FALSE(loadLanguage(sys, ui, makeLanguageFileTable(), kLanguageFrench, *t));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].owner, 0);
  EXPECT_EQ(ui.messages[0].title, "Error");
  EXPECT_EQ(ui.messages[0].text, "Language file not found: Kantel_V4.Lang_FR");
  EXPECT_EQ(ui.messages[0].flags, mb::kOk | mb::kIconError);
  EXPECT_EQ(t->text(100), "Start");
}

TEST(LoadLanguage, LanguageOutsideTheTableFallsBackToGerman) {
  MemorySystem sys;
  HeadlessUi ui;
  sys.files["Kantel_V4.Lang_DE"] = "3, Englisch\n";
  sys.files["Setup_V4.Lang_DE"] = "001 Eins\n";
  auto t = freshTexts();
  EXPECT_TRUE(loadLanguage(sys, ui, makeLanguageFileTable(), 0, *t));
  EXPECT_TRUE(loadLanguage(sys, ui, makeLanguageFileTable(), 77, *t));
  EXPECT_TRUE(loadSetupLanguage(sys, ui, makeLanguageFileTable(), -4, *t));
  EXPECT_EQ(t->text(3), "Englisch");
  EXPECT_EQ(t->setup(1), "Eins");
  EXPECT_TRUE(ui.messages.empty());
}

TEST(LoadSetupLanguage, ReadsTheSettingsDialogFile) {
  MemorySystem sys;
  HeadlessUi ui;
  sys.files["Setup_V4.Lang_IT"] = "012 Interfaccia\r\n013 Porta \xE8\r\n";
  auto t = freshTexts();
  EXPECT_TRUE(loadSetupLanguage(sys, ui, makeLanguageFileTable(), kLanguageItalian, *t));
  EXPECT_EQ(t->setup(12), "Interfaccia");
  EXPECT_EQ(t->setup(13), "Porta \xC3\xA8");
  EXPECT_TRUE(ui.messages.empty());
}

TEST(LoadSetupLanguage, MissingFileIsReportedAndKeepsTheTexts) {
  MemorySystem sys;
  HeadlessUi ui;
  auto t = freshTexts();
  t->setupText[12] = "Schnittstelle";
  EXPECT_FALSE(loadSetupLanguage(sys, ui, makeLanguageFileTable(), kLanguageItalian, *t));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Error");
  EXPECT_EQ(ui.messages[0].text, "File   Setup_V4.Lang_IT   Not found!");
  EXPECT_EQ(ui.messages[0].flags & mb::kButtonMask, mb::kOk);
  EXPECT_EQ(t->setup(12), "Schnittstelle");
}

TEST(OpenHelp, CompiledFileOpensInTheFirstInstalledViewer) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  MemorySystem sys;
  sys.files["Help/KantelwerkV3_EN.chm"] = "chm";
  sys.files["Help/html/en/index.html"] = "<html>";
  sys.installedPrograms = {"/usr/bin/okular", "/usr/bin/kchmviewer"};
  EXPECT_TRUE(openHelp(sys, makeHelpTable(), kLanguageEnglish, 7));
  ASSERT_EQ(sys.startedPrograms.size(), 1u);
  EXPECT_EQ(sys.startedPrograms[0],
            "/usr/bin/kchmviewer /home/user/layout/Help/KantelwerkV3_EN.chm");
  EXPECT_TRUE(sys.openedDocuments.empty());

  sys.startedPrograms.clear();
  sys.installedPrograms.insert("/usr/bin/xchm");
  EXPECT_TRUE(openHelp(sys, makeHelpTable(), kLanguageEnglish, 7));
  ASSERT_EQ(sys.startedPrograms.size(), 1u);
  EXPECT_EQ(sys.startedPrograms[0], "/usr/bin/xchm /home/user/layout/Help/KantelwerkV3_EN.chm");
}

TEST(OpenHelp, WithoutAViewerThePagesOpenInTheBrowser) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  MemorySystem sys;
  const HelpTable help = makeHelpTable();
  sys.files["Help/KantelwerkV3.chm"] = "chm";
  sys.files["Help/KantelwerkV3_EN.chm"] = "chm";
  sys.files["Help/KantelwerkV3_IT.chm"] = "chm";
  for (const char* lang : {"de", "en", "it"})
    sys.files[std::string("Help/html/") + lang + "/index.html"] = "<html>";
  sys.installedPrograms = {"/usr/bin/firefox"};  // no viewer of compiled help
  EXPECT_TRUE(openHelp(sys, help, kLanguageGerman, 7));
  EXPECT_TRUE(openHelp(sys, help, kLanguageEnglish, 7));
  EXPECT_TRUE(openHelp(sys, help, kLanguageItalian, 7));
  EXPECT_EQ(sys.openedDocuments,
            (std::vector<std::string>{"/home/user/layout/Help/html/de/index.html",
                                      "/home/user/layout/Help/html/en/index.html",
                                      "/home/user/layout/Help/html/it/index.html"}));
  EXPECT_TRUE(sys.startedPrograms.empty());
}

TEST(OpenHelp, PagesServeWhenTheCompiledFileIsMissingOrItsViewerFails) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  MemorySystem sys;
  sys.files["Help/html/it/index.html"] = "<html>";
  sys.installedPrograms = {"/usr/bin/xchm"};
  EXPECT_TRUE(openHelp(sys, makeHelpTable(), kLanguageItalian, 7));
  EXPECT_TRUE(sys.startedPrograms.empty());  // no compiled file to show
  ASSERT_EQ(sys.openedDocuments.size(), 1u);
  EXPECT_EQ(sys.openedDocuments[0], "/home/user/layout/Help/html/it/index.html");

  sys.openedDocuments.clear();
  sys.files["Help/KantelwerkV3_IT.chm"] = "chm";
  sys.failStarts = true;
  EXPECT_TRUE(openHelp(sys, makeHelpTable(), kLanguageItalian, 7));
  ASSERT_EQ(sys.openedDocuments.size(), 1u);
  EXPECT_EQ(sys.openedDocuments[0], "/home/user/layout/Help/html/it/index.html");
}

TEST(OpenHelp, OnlyThisProgramsHelpHasPages) {
  MemorySystem sys;
  sys.files["Help/html/de/index.html"] = "<html>";
  sys.files["Help/html//index.html"] = "<html>";
  sys.files["Help/html/fr/index.html"] = "<html>";
  const HelpTable help = makeHelpTable();
  EXPECT_FALSE(openHelp(sys, help, kLanguageGerman, 6));  // another program of the suite
  EXPECT_FALSE(openHelp(sys, help, kLanguageFrench, 7));  // French has no help
  EXPECT_TRUE(sys.openedDocuments.empty());
  sys.viewerInstalled = false;  // no desktop opener either
  EXPECT_FALSE(openHelp(sys, help, kLanguageGerman, 7));
}

#ifdef _WIN32
TEST(OpenHelp, WindowsOpensTheCompiledFileWithTheSystemsViewer) {
  const HelpTable help = makeHelpTable();
  struct Case {
    int language;
    bool present;
    std::vector<std::string> opened;
  };
  for (const Case& c : {Case{kLanguageEnglish, true, {"Help/KantelwerkV3_EN.chm"}},
                        Case{kLanguageGerman, false, {}}}) {
    SCOPED_TRACE(c.language);
    MemorySystem sys;
    if (c.present) sys.files["Help/" + help[c.language][7]] = "chm";
    sys.files["Help/html/de/index.html"] = "<html>";  // pages are for Linux only
    EXPECT_EQ(openHelp(sys, help, c.language, 7), c.present);
    EXPECT_EQ(sys.openedDocuments, c.opened);
    EXPECT_TRUE(sys.startedPrograms.empty());
  }
}
#endif

TEST(OpenHelp, AnotherProgramsCompiledHelpOpensInAViewer) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  MemorySystem sys;
  const HelpTable help = makeHelpTable();
  sys.files["Help/" + help[kLanguageGerman][6]] = "chm";
  sys.installedPrograms = {"/usr/bin/okular"};
  EXPECT_TRUE(openHelp(sys, help, kLanguageGerman, 6));
  ASSERT_EQ(sys.startedPrograms.size(), 1u);
  EXPECT_EQ(sys.startedPrograms[0],
            "/usr/bin/okular /home/user/layout/Help/" + help[kLanguageGerman][6]);
}

TEST(OpenHelp, NothingHappensWithoutAFile) {
  MemorySystem sys;
  sys.files["Help/KantelwerkV3_EN.chm"] = "chm";
  sys.files["Help/"] = "";  // French names are empty: the folder itself must not open
  const HelpTable help = makeHelpTable();
  EXPECT_FALSE(openHelp(sys, help, kLanguageGerman, 7));
  EXPECT_FALSE(openHelp(sys, help, kLanguageFrench, 7));
  EXPECT_FALSE(openHelp(sys, help, kLanguageEnglish, 8));
  EXPECT_FALSE(openHelp(sys, help, kLanguageEnglish, 21));
  EXPECT_FALSE(openHelp(sys, help, kLanguageEnglish, -1));
  EXPECT_FALSE(openHelp(sys, help, 6, 7));
  EXPECT_FALSE(openHelp(sys, help, -1, 7));
  EXPECT_TRUE(sys.openedDocuments.empty());

  sys.viewerInstalled = false;
  EXPECT_FALSE(openHelp(sys, help, kLanguageEnglish, 7));
}

}  // namespace
}  // namespace kw
