// The suite preference file, shared with the suite's other programs: whatever it holds,
// the program writes a complete file (every listed group, CR LF line ends), and reading
// that file and writing it again gives the same bytes.
#include "config/suite_prefs.h"
#include "fuzz_check.h"

namespace {

bool crlfLines(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return !text.empty() && text.back() == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kw::ScreenMetrics screen{1920, 1080, 3840, 1080, 2};
  kw::SuitePreferences prefs = kw::emptySuitePreferences();
  kw::parseSuitePreferences(kw::fuzz::asText(data, size), screen, prefs);
  for (const kw::BusEntry& b : prefs.busTable) KW_FUZZ_CHECK(b.sx1 <= 1);
  for (size_t i = 0; i <= 48; ++i) {  // the stored entries come back onto the screen
    const kw::WindowPlacement& w = prefs.windowTable[i];
    KW_FUZZ_CHECK(w.Y >= 0 && static_cast<int64_t>(w.X) + w.B > 0);
  }

  const std::string first = kw::suitePreferencesBytes(prefs);
  KW_FUZZ_CHECK(first.rfind("; \r\n;  Einstellungen\r\n; \r\n[Autostart]\r\n", 0) == 0);
  KW_FUZZ_CHECK(crlfLines(first));
  for (const char* group :
       {"\r\n[Bus2Com]\r\n", "\r\n[ComPorts]\r\n", "\r\n[WinPos]\r\n", "\r\n[TimerJustage]\r\n"})
    KW_FUZZ_CHECK(first.find(group) != std::string::npos);

  kw::SuitePreferences again = kw::emptySuitePreferences();
  kw::parseSuitePreferences(first, screen, again);
  KW_FUZZ_CHECK(kw::suitePreferencesBytes(again) == first);
  return 0;
}
