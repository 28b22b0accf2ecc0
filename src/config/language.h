// Language files: the program's numbered texts and the settings dialog's fixed-column
// texts, plus the table of help files.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <string_view>

namespace kw {

class System;
class Ui;

constexpr int kLanguageGerman = 1;
constexpr int kLanguageEnglish = 2;
constexpr int kLanguageItalian = 3;
constexpr int kLanguageFrench = 4;

// [language 0..5][column 0..2]; rows 1..4, columns 0 (program) and 1 (settings dialog).
using LanguageFileTable = std::array<std::array<std::string, 3>, 6>;
// [row 0..5][column 0..20]; rows 1..3 (German, English, Italian), column 7 = this program.
using HelpTable = std::array<std::array<std::string, 21>, 6>;

LanguageFileTable makeLanguageFileTable();
HelpTable makeHelpTable();

constexpr size_t kMaxTextLength = 200;

struct LanguageTexts {
  std::array<std::string, 201> shortTable;  // texts 1..99
  std::array<std::string, 801> mainTable;   // texts 100..800 at index N - 100
  std::array<std::string, 301> setupText;   // settings dialog, 0..300

  // Numbers 0..1000 that text() has been asked for (set from any thread; the bus thread
  // reads texts too). The language-file check runs the program and holds these against
  // the files, so that a text the program needs cannot go missing from a language.
  mutable std::array<std::atomic<bool>, 1001> asked{};

  // Language text N; empty for a number outside 1..99 and 100..800.
  const std::string& text(int n) const;
  const std::string& setup(int n) const;
};

// Applies the lines of a program language file (decoded to UTF-8) to the tables.
void applyLanguageText(std::string_view text, LanguageTexts& texts);
// Applies the lines of a settings-dialog language file.
void applySetupText(std::string_view text, LanguageTexts& texts);

// Read the file of `language` from the current directory; a missing file is reported with
// a message box and leaves the tables as they were. Return whether the file was read.
bool loadLanguage(System& system, Ui& ui, const LanguageFileTable& files, int language,
                  LanguageTexts& texts);
bool loadSetupLanguage(System& system, Ui& ui, const LanguageFileTable& files, int language,
                       LanguageTexts& texts);

// Opens "Help/" + the help file of (language, column) when it exists; nothing happens
// otherwise (French has no help). Returns whether it opened. On Windows the compiled file
// goes to the system's help viewer. Elsewhere it is opened with the first installed
// viewer of compiled help (xchm, kchmviewer, okular); without one, or without the file,
// this program's help (column 7) opens as the page Help/html/<de|en|it>/index.html in the
// desktop's browser.
bool openHelp(System& system, const HelpTable& help, int language, int column);

}  // namespace kw
