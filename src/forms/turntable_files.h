// The three files of the turntable tools, as bytes: the settings file (a preference file
// with one group), the step table and the output patterns (one line per track, CR LF).
//
// Reading checks that a file is of the kind asked for before anything of it is used, so
// a wrong or damaged file changes nothing in the form:
// - settings: the file must hold the turntable group; a missing key gives the key's
//   default (so does one without a value), a key whose value is no byte (0..255)
//   refuses the file;
// - step table: every line used is empty or a step of at most five digits up to 65535;
// - output patterns: every line used is empty or up to eight binary digits.
// Only the first 48 lines are used, as many as there are; more are ignored. A UTF-8
// byte-order mark before the first line is passed over.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Files larger than this are no turntable files (the largest, a step table, is a few
// hundred bytes); they are not read into memory at all.
constexpr long long kTurntableFileLimit = 64 * 1024;

// Group and key names of the settings file (language texts 538..542, the same in every
// language) and the key of the number of tracks.
struct SettingsFileNames {
  std::string group;
  std::string address;
  std::string mode;
  std::string ramp;
  std::string speed;
};
inline constexpr const char* kTracksKey = "Gleiszahl";

struct TurntableSettings {
  int address = 0;  // field 2291
  int mode = 0;     // field 2293
  int ramp = 0;     // field 2294
  int speed = 0;    // field 2295
  int tracks = 48;  // field 2296
};

std::string settingsFileBytes(const SettingsFileNames& names, const TurntableSettings& s);

// What a settings file gives: its settings, or why it gives none.
struct SettingsFileRead {
  enum class Outcome { Read, NotASettingsFile, ValueOutOfRange };
  Outcome outcome = Outcome::NotASettingsFile;
  TurntableSettings settings;  // with Read
  std::string badEntry;        // with ValueOutOfRange: "key = value" as the file has it
};
SettingsFileRead readSettingsFile(std::string_view bytes, const SettingsFileNames& names);

// One line per entry, each ended by CR LF; a line break inside an entry is dropped so the
// file keeps one line per track.
std::string linesFileBytes(const std::vector<std::string>& lines);
// The field texts the lines give, in file order (at most 48); empty when the file is not
// of the kind.
std::optional<std::vector<std::string>> parseStepTable(std::string_view bytes);
std::optional<std::vector<std::string>> parsePatterns(std::string_view bytes);

// The line a pattern field is saved as: what the module takes of it, so that loading the
// file gives the same pattern. Only a "1" switches an output on; any other character of
// the field stands for an output that stays off and is saved as "0".
std::string patternLine(const std::string& field);

// The value of a field as the files and the distribution count it: its leading digits
// (none gives 0), capped far above any step so that sums cannot overflow.
int fieldNumber(const std::string& text);

}  // namespace kw
