// Language files for the tests of the settings dialog and the Steller window: every text
// is its number tagged with the language, so a test sees which text went where.
#pragma once

#include <cstdio>
#include <string>

#include "harness.h"

namespace kw::test {

// A settings-dialog line: three digits, a blank and the text.
inline std::string setupLine(int n, const std::string& text) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", n);
  return std::string(number) + " " + text + "\r\n";
}

// The settings-dialog texts; the tooltip heads carry blanks to be trimmed and the
// tails their own leading blank, as the real file has them.
inline std::string setupFile(const std::string& tag) {
  std::string f;
  for (int n : {1, 2, 3, 4, 5, 74, 75, 76, 78, 79, 80, 81, 157, 158, 159, 182})
    f += setupLine(n, tag + " setup " + std::to_string(n));
  for (int n : {82, 84, 86, 108, 110, 112})
    f += setupLine(n, "  " + tag + " head " + std::to_string(n) + " ");
  for (int n : {77, 83, 85, 109, 180}) f += setupLine(n, " " + tag + " tail " + std::to_string(n));
  return f;
}

// The program texts of the Steller window, added to the harness's language file.
inline std::string stellerTexts(const std::string& tag) {
  std::string f;
  for (int n : {631, 632, 633, 634, 647, 648, 650})
    f += std::to_string(n) + ", " + tag + " text " + std::to_string(n) + "\r\n";
  return f;
}

// Gives a harness the texts of both windows in German and English.
inline void addWindowTexts(Harness& h) {
  for (const char* tag : {"DE", "EN"}) {
    h.system.files[std::string("Setup_V4.Lang_") + tag] = setupFile(tag);
    h.system.files[std::string("Kantel_V4.Lang_") + tag] += stellerTexts(tag);
  }
}

}  // namespace kw::test
