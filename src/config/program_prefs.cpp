#include "config/program_prefs.h"

#include "config/ini.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace kw {

namespace {

constexpr uint32_t kWriteDelayMs = 300;

int32_t toInt32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
int16_t toInt16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }

}  // namespace

bool parseProgramPreferences(std::string_view bytes, ProgramPreferences& prefs) {
  const IniDocument doc = IniDocument::parse(decodeTextFile(bytes));

  // Language and bus index fixed-size tables, so a damaged file must not carry a value
  // outside them into the program. A stored language 0 means German.
  const int64_t language = doc.integer("Sprache", "Sprache", 1);
  prefs.language = language >= 1 && language <= 4 ? static_cast<uint8_t>(language) : 1;
  const int64_t bus = doc.integer("Bus", "Bus", 0);
  prefs.bus = bus >= 0 && bus <= 8 ? static_cast<uint8_t>(bus) : 0;
  // Only 1 opens the window at start-up; anything else means closed.
  prefs.stellerOpen = doc.integer("Steller", "StellerOffen", 0) == 1 ? 1 : 0;
  prefs.stellerPosX = toInt32(doc.integer("Steller", "StellerPosX", 200));
  prefs.stellerPosY = toInt32(doc.integer("Steller", "StellerPosY", 5));
  for (int slot = 1; slot <= 4; ++slot) {
    prefs.stellerSlots[slot] =
        toInt16(doc.integer("Steller", "Steller" + std::to_string(slot), 0));
  }
  return true;
}

bool readProgramPreferences(System& system, ProgramPreferences& prefs) {
  const std::optional<std::string> bytes = system.readFile(kProgramPreferencesFile);
  if (!bytes) {
    prefs.language = 1;
    return false;
  }
  return parseProgramPreferences(*bytes, prefs);
}

std::string programPreferencesBytes(const ProgramPreferences& prefs) {
  IniWriter w;
  w.group("Sprache");
  w.integer("Sprache", prefs.language >= 1 && prefs.language <= 4 ? prefs.language : 1);
  w.comment();
  w.group("Bus");
  w.integer("Bus", prefs.bus <= 8 ? prefs.bus : 0);
  w.comment();
  w.group("Steller");
  w.integer("StellerOffen", prefs.stellerOpen == 1 ? 1 : 0);
  w.integer("StellerPosX", prefs.stellerPosX);
  w.integer("StellerPosY", prefs.stellerPosY);
  for (int slot = 1; slot <= 4; ++slot) {
    w.integer("Steller" + std::to_string(slot), prefs.stellerSlots[slot]);
  }
  w.comment();
  return utf8ToCp1252(w.text());
}

bool writeProgramPreferences(System& system, Clock& clock, const ProgramPreferences& prefs) {
  clock.sleep(kWriteDelayMs);
  return system.writeFileAtomic(kProgramPreferencesFile, programPreferencesBytes(prefs));
}

}  // namespace kw
