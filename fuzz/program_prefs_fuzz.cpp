// The program's own preference file: values that index the program's tables stay in
// range whatever the file says, and what is written reads back to the same bytes.
#include "config/program_prefs.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kw::ProgramPreferences prefs;
  kw::parseProgramPreferences(kw::fuzz::asText(data, size), prefs);
  KW_FUZZ_CHECK(prefs.language >= 1 && prefs.language <= 4);
  KW_FUZZ_CHECK(prefs.bus <= 8);
  KW_FUZZ_CHECK(prefs.stellerOpen <= 1);

  const std::string first = kw::programPreferencesBytes(prefs);
  KW_FUZZ_CHECK(first.rfind("[Sprache]\r\nSprache = ", 0) == 0);
  kw::ProgramPreferences again;
  kw::parseProgramPreferences(first, again);
  KW_FUZZ_CHECK(kw::programPreferencesBytes(again) == first);
  return 0;
}
