#include "forms/turntable_files.h"

#include <functional>
#include <utility>

#include "config/ini.h"
#include "platform/text_encoding.h"

namespace kw {

namespace {

constexpr size_t kTrackLines = 48;
constexpr size_t kStepDigits = 5;
constexpr int kLargestStep = 65535;  // what the module's two bytes hold
constexpr size_t kPatternDigits = 8;
constexpr int kFieldCap = 1000000;

// Settings keys hold bytes.
constexpr long long kLargestByte = 255;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Lines at LF, a CR before it dropped; the empty piece after a last line end is no line.
// An editor may have put a byte-order mark before the first line; it is no part of it.
std::vector<std::string_view> fileLines(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) bytes.remove_prefix(kUtf8Mark.size());
  std::vector<std::string_view> lines;
  forEachLine(bytes, [&](std::string_view line) {
    if (lines.size() < kTrackLines) lines.push_back(line);
  });
  return lines;
}

std::string_view trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool allOf(std::string_view s, const char* allowed) {
  return s.find_first_not_of(allowed) == std::string_view::npos;
}

// The field text of each line, or nothing as soon as one line is not of the kind.
std::optional<std::vector<std::string>> parseLines(
    std::string_view bytes, const std::function<std::optional<std::string>(std::string_view)>& take) {
  std::vector<std::string> out;
  for (std::string_view line : fileLines(bytes)) {
    std::optional<std::string> text = take(trimmed(line));
    if (!text) return std::nullopt;
    out.push_back(std::move(*text));
  }
  return out;
}

std::optional<std::string> stepText(std::string_view line) {
  if (line.empty()) return std::string();
  if (line.size() > kStepDigits || !allOf(line, "0123456789")) return std::nullopt;
  const int v = fieldNumber(std::string(line));
  if (v > kLargestStep) return std::nullopt;
  return std::to_string(v);
}

std::optional<std::string> patternText(std::string_view line) {
  if (line.size() > kPatternDigits || !allOf(line, "01")) return std::nullopt;
  return std::string(line);
}

// A key's byte value, or the default when the key is missing or empty. False (with the entry in
// `bad`) when the key is there but holds no value 0..255: a file that says 256 must not
// quietly put something else into the form.
bool byteKey(const IniDocument& doc, const std::string& group, const std::string& key, int& value,
             std::string& bad) {
  const std::optional<std::string> text = doc.value(group, key);
  // A key without a value says no more than a missing one.
  if (!text || trimmed(*text).empty()) return true;
  const std::optional<int64_t> v = leadingInteger(*text);
  if (v && *v >= 0 && *v <= kLargestByte) {
    value = static_cast<int>(*v);
    return true;
  }
  bad = key + " = " + std::string(trimmed(*text));
  return false;
}

}  // namespace

int fieldNumber(const std::string& text) {
  int v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') break;
    v = v * 10 + (ch - '0');
    if (v >= kFieldCap) return kFieldCap;
  }
  return v;
}

std::string settingsFileBytes(const SettingsFileNames& names, const TurntableSettings& s) {
  // The layout of the suite's preference files: a heading, the group, a closing comment.
  IniWriter w;
  w.comment();
  w.comment(" Einstellungen");
  w.comment();
  w.group(names.group);
  w.integer(names.address, s.address);
  w.integer(names.mode, s.mode);
  w.integer(names.ramp, s.ramp);
  w.integer(names.speed, s.speed);
  w.integer(kTracksKey, s.tracks);
  w.comment();
  return utf8ToCp1252(w.text());
}

SettingsFileRead readSettingsFile(std::string_view bytes, const SettingsFileNames& names) {
  SettingsFileRead r;
  const IniDocument doc = IniDocument::parse(decodeTextFile(bytes));
  if (!doc.hasGroup(names.group)) return r;
  TurntableSettings& s = r.settings;
  const std::string tracksKey = kTracksKey;
  const std::pair<const std::string&, int&> keys[] = {{names.address, s.address},
                                                      {names.mode, s.mode},
                                                      {names.ramp, s.ramp},
                                                      {names.speed, s.speed},
                                                      {tracksKey, s.tracks}};
  for (const auto& [key, value] : keys) {
    if (!byteKey(doc, names.group, key, value, r.badEntry)) {
      r.outcome = SettingsFileRead::Outcome::ValueOutOfRange;
      return r;
    }
  }
  r.outcome = SettingsFileRead::Outcome::Read;
  return r;
}

std::string linesFileBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    for (char ch : line)
      if (ch != '\r' && ch != '\n') text += ch;
    text += "\r\n";
  }
  return utf8ToCp1252(text);
}

std::optional<std::vector<std::string>> parseStepTable(std::string_view bytes) {
  return parseLines(bytes, stepText);
}

std::optional<std::vector<std::string>> parsePatterns(std::string_view bytes) {
  return parseLines(bytes, patternText);
}

std::string patternLine(const std::string& field) {
  std::string line;
  for (size_t i = 0; i < field.size() && i < kPatternDigits; ++i)
    line += field[i] == '1' ? '1' : '0';
  return line;
}

}  // namespace kw
