// A started program whose language file has every text 1..800, so that captions and
// tooltips can be checked piece by piece: text n reads "t<n>", and the function texts
// begin with their two-digit code like the real ones.
#pragma once

#include <cstdio>
#include <string>

#include "app/harness.h"
#include "config/program_prefs.h"
#include "config/suite_prefs.h"
#include "forms/form.h"

namespace kw::test {

// Expected wording of text n in the test language file.
inline std::string t(int n) {
  char buf[32];
  if (n >= 151 && n <= 168) {
    std::snprintf(buf, sizeof buf, "%02d: f%d", n - 150, n);
  } else if (n >= 651 && n <= 675) {
    std::snprintf(buf, sizeof buf, "%02d: g%d", n - 650, n);
  } else if (n == 676) {
    return "27: g676";
  } else if (n == 677) {
    return "17: g677";
  } else {
    std::snprintf(buf, sizeof buf, "t%d", n);
  }
  return buf;
}

inline std::string fullLanguageFile() {
  std::string f;
  for (int n = 1; n <= 800; ++n) f += std::to_string(n) + ", " + t(n) + "\r\n";
  return f;
}

struct FormHarness : Harness {
  FormHarness() {
    system.files["Kantel_V4.Lang_DE"] = fullLanguageFile();
    // Buses 0 and 2 in use on COM1 and COM3; bus 2 is the current one.
    system.files[kSuitePreferencesFile] =
        "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\nBus2Com = 3\r\nBus2Akt = 1\r\n";
    system.files[kProgramPreferencesFile] = "[Sprache]\r\nSprache = 1\r\n[Bus]\r\nBus = 2\r\n";
  }
  const HeadlessControl* c(int id) const { return ui.control(win::kMain, id); }
  // Creates a control that a later page will own, unless it is there already.
  void ensure(int id, ControlKind kind, int parent = ctl::kFamilyTabs, int page = 0) {
    if (ui.controlExists(win::kMain, id)) return;
    ControlSpec s;
    s.kind = kind;
    s.id = id;
    s.parent = parent;
    s.page = page;
    ui.createControl(win::kMain, s);
  }
};

}  // namespace kw::test
