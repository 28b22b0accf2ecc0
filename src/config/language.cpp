#include "config/language.h"

#include <algorithm>
#include <optional>

#include "config/ini.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/ui.h"

namespace kw {

namespace {

// Drops the first `count` characters (not bytes) of a UTF-8 string.
std::string_view dropCharacters(std::string_view utf8, size_t count) {
  return utf8.substr(std::min(utf8.size(), utf8Prefix(utf8, count).size()));
}

int validLanguage(int language) {
  return language >= kLanguageGerman && language <= kLanguageFrench ? language : kLanguageGerman;
}

#ifndef _WIN32
// Viewers of compiled help files, tried in this order.
constexpr const char* kChmViewers[] = {"/usr/bin/xchm", "/usr/bin/kchmviewer", "/usr/bin/okular"};
// This program's column of the help table; only its help has an HTML copy, in the folder
// Help/html/<language>/.
constexpr int kOwnHelpColumn = 7;
constexpr const char* kHelpFolders[6] = {"", "de", "en", "it", "", ""};
#endif

const std::string& emptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace

// The tables are default-initialised (every string empty) rather than value-initialised
// with {}: clang 14, which builds the fuzz targets, crashes on {} for nested arrays of
// strings in C++20.
LanguageFileTable makeLanguageFileTable() {
  LanguageFileTable t;
  t[kLanguageGerman] = {"Kantel_V4.Lang_DE", "Setup_V4.Lang_DE", ""};
  t[kLanguageEnglish] = {"Kantel_V4.Lang_EN", "Setup_V4.Lang_EN", ""};
  t[kLanguageItalian] = {"Kantel_V4.Lang_IT", "Setup_V4.Lang_IT", ""};
  t[kLanguageFrench] = {"Kantel_V4.Lang_FR", "Setup_V4.Lang_FR", ""};
  return t;
}

HelpTable makeHelpTable() {
  // One help file per program of the suite; column 7 is this program. French has none.
  constexpr const char* kStems[8] = {"Gleisbild",  "Fahrpult",  "Drehscheibe", "Zugbeeinflussung",
                                     "Zeitplan",   "Bildschirm", "Einrichtung", "Kantelwerk"};
  constexpr const char* kSuffixes[4] = {"", "V3.chm", "V3_EN.chm", "V3_IT.chm"};
  HelpTable t;
  for (int row = kLanguageGerman; row <= kLanguageItalian; ++row) {
    for (int column = 0; column < 8; ++column) {
      t[row][column] = std::string(kStems[column]) + kSuffixes[row];
    }
  }
  return t;
}

const std::string& LanguageTexts::text(int n) const {
  if (n >= 0 && n < static_cast<int>(asked.size()))
    asked[static_cast<size_t>(n)].store(true, std::memory_order_relaxed);
  if (n >= 1 && n <= 99) return shortTable[static_cast<size_t>(n)];
  if (n >= 100 && n <= 800) return mainTable[static_cast<size_t>(n - 100)];
  return emptyText();
}

const std::string& LanguageTexts::setup(int n) const {
  if (n >= 0 && n <= 300) return setupText[static_cast<size_t>(n)];
  return emptyText();
}

void applyLanguageText(std::string_view text, LanguageTexts& texts) {
  forEachLine(text, [&](std::string_view line) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) return;
    const std::optional<int64_t> n = leadingInteger(line.substr(0, comma));
    if (!n || *n <= 0 || *n > 800) return;
    // The character right after the comma is the separator, normally a blank.
    std::string value = utf8Prefix(dropCharacters(line.substr(comma + 1), 1), kMaxTextLength);
    if (*n <= 99) {
      texts.shortTable[static_cast<size_t>(*n)] = std::move(value);
    } else {
      texts.mainTable[static_cast<size_t>(*n - 100)] = std::move(value);
    }
  });
}

void applySetupText(std::string_view text, LanguageTexts& texts) {
  forEachLine(text, [&](std::string_view line) {
    // Three-digit number, one separator character, then the text.
    const std::optional<int64_t> n = leadingInteger(utf8Prefix(line, 3));
    if (!n || *n < 0 || *n > 300) return;
    texts.setupText[static_cast<size_t>(*n)] = utf8Prefix(dropCharacters(line, 4), kMaxTextLength);
  });
}

bool loadLanguage(System& system, Ui& ui, const LanguageFileTable& files, int language,
                  LanguageTexts& texts) {
  const std::string& name = files[static_cast<size_t>(validLanguage(language))][0];
  const std::optional<std::string> bytes = system.readFile(name);
  if (!bytes) {
    ui.messageBox(win::kMain, "Error", "Language file not found: " + name,
                  mb::kOk | mb::kIconError);
    return false;
  }
  applyLanguageText(decodeTextFile(*bytes), texts);
  return true;
}

bool loadSetupLanguage(System& system, Ui& ui, const LanguageFileTable& files, int language,
                       LanguageTexts& texts) {
  const std::string& name = files[static_cast<size_t>(validLanguage(language))][1];
  const std::optional<std::string> bytes = system.readFile(name);
  if (!bytes) {
    ui.messageBox(win::kMain, "Error", "File   " + name + "   Not found!",
                  mb::kOk | mb::kIconError);
    return false;
  }
  applySetupText(decodeTextFile(*bytes), texts);
  return true;
}

bool openHelp(System& system, const HelpTable& help, int language, int column) {
  if (language < 0 || language >= static_cast<int>(help.size())) return false;
  const auto& row = help[static_cast<size_t>(language)];
  if (column < 0 || column >= static_cast<int>(row.size())) return false;
  const std::string& name = row[static_cast<size_t>(column)];
  if (name.empty()) return false;
  const std::string path = "Help/" + name;
#ifdef _WIN32
  if (!system.fileExists(path)) return false;
  return system.openDocument(path);
#else
  // Compiled help needs a viewer of its own, which few Linux desktops have; the help
  // pages also come as plain HTML for the browser. The viewers get full paths, since
  // some desktop openers take a bare relative name for a web address.
  const std::string folder = system.currentDirectory();
  if (system.fileExists(path)) {
    for (const char* viewer : kChmViewers)
      if (system.programInstalled(viewer) && system.startProgram(viewer, {folder + path}))
        return true;
  }
  if (column != kOwnHelpColumn) return false;
  const std::string page = std::string("Help/html/") + kHelpFolders[language] + "/index.html";
  if (!system.fileExists(page)) return false;
  return system.openDocument(folder + page);
#endif
}

}  // namespace kw
