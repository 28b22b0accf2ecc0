// The suite preference file "VX_PREF_Alle_V3.pref", shared with the suite's other
// programs. This program uses the bus and port assignment and a few window placements;
// every other key is carried through unchanged so that a rewrite loses nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ini.h"
#include "platform/ui.h"

namespace kw {

class System;

inline constexpr const char* kSuitePreferencesFile = "VX_PREF_Alle_V3.pref";

struct BusEntry {
  uint8_t port = 0;  // COM number 1..8, 0 = none
  uint8_t used = 0;
  uint8_t sx1 = 0;  // 0/1
};

struct PortConfig {
  int32_t baudIndex = 0;
  uint8_t typeIndex = 0;
  uint8_t used = 0;
  // Filled at run time by the port probe and opening, never stored.
  uint8_t present = 0;
  std::string mode;
};

struct WindowPlacement {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t B = 0;  // width
  int32_t H = 0;  // height
  int32_t M = 0;  // window state
};

// One key of the pass-through groups, kept in the type the suite stores it in.
enum class PrefType {
  Byte,          // 8-bit signed: 200 is written back as -56
  UnsignedByte,  // 0..255
  Int16,
  Int32,         // integers and colours
  Float,         // "%f"
  FloatAsInt,    // read as float, held as an integer, written as float
  String,
};

struct PassValue {
  std::string group;
  std::string key;
  PrefType type = PrefType::Int32;
  int64_t integer = 0;
  double real = 0.0;
  std::string text;
};

struct SuitePreferences {
  std::array<BusEntry, 9> busTable{};
  std::array<PortConfig, 9> portConfig{};  // index 1..8 used
  std::array<WindowPlacement, 51> windowTable{};
  // Every other key of the file in file order, with its current value.
  std::vector<PassValue> pass;
  // Keys and groups this program does not know, as read, so they survive a rewrite.
  std::vector<IniGroup> unknown;

  const PassValue* find(std::string_view group, std::string_view key) const;
};

// Starts from all-zero tables, as the program does before the file is read.
SuitePreferences emptySuitePreferences();

// Fills `prefs` from the file's bytes; the window placements are corrected against
// `screen`.
void parseSuitePreferences(std::string_view bytes, const ScreenMetrics& screen,
                           SuitePreferences& prefs);
// The exact bytes the program writes (Windows-1252, CR LF).
std::string suitePreferencesBytes(const SuitePreferences& prefs);

// A missing file leaves every value at zero/empty and is not reported.
void readSuitePreferences(System& system, const ScreenMetrics& screen, SuitePreferences& prefs);
// A file that cannot be written is not reported. Returns whether it was written.
bool writeSuitePreferences(System& system, const SuitePreferences& prefs);

// Puts a placement that lies off the screen back onto it.
void correctWindowPlacement(WindowPlacement& w, const ScreenMetrics& screen);

}  // namespace kw
