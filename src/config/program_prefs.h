// The program's own preference file "VX_PREF_Kantel_V3.pref": language, current bus and
// the Steller window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

class System;
class Clock;
struct WindowPlacement;

inline constexpr const char* kProgramPreferencesFile = "VX_PREF_Kantel_V3.pref";

struct ProgramPreferences {
  uint8_t language = 1;  // 1 German, 2 English, 3 Italian, 4 French
  uint8_t bus = 0;
  uint8_t stellerOpen = 0;
  int32_t stellerPosX = 200;
  int32_t stellerPosY = 5;
  std::array<int16_t, 5> stellerSlots{};  // slots 1..4 used
};

// Reads the file; when it is missing only the language is set (to 1) and everything else
// keeps what it held, the Steller position included. Returns whether the file was read.
bool parseProgramPreferences(std::string_view bytes, ProgramPreferences& prefs);
bool readProgramPreferences(System& system, ProgramPreferences& prefs);

std::string programPreferencesBytes(const ProgramPreferences& prefs);
// Writes the file crash-safely after the customary 300 ms pause. Returns whether written.
bool writeProgramPreferences(System& system, Clock& clock, const ProgramPreferences& prefs);

}  // namespace kw
