#include "forms/turntable_files.h"

#include <functional>

#include "config/ini.h"
#include "platform/text_encoding.h"

namespace kw {

namespace {

constexpr size_t kTrackLines = 48;
constexpr size_t kStepDigits = 5;
constexpr int kLargestStep = 65535;  // what the module's two bytes hold
constexpr size_t kPatternDigits = 8;
constexpr int kFieldCap = 1000000;

// Settings keys hold bytes; anything else in the file counts as missing.
constexpr long long kLargestByte = 255;

// Lines at LF, a CR before it dropped; the empty piece after a last line end is no line.
std::vector<std::string_view> fileLines(std::string_view bytes) {
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

int byteKey(const IniDocument& doc, const std::string& group, const std::string& key, int def) {
  const int64_t v = doc.integer(group, key, def);
  return v >= 0 && v <= kLargestByte ? static_cast<int>(v) : def;
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

std::optional<TurntableSettings> parseSettingsFile(std::string_view bytes,
                                                   const SettingsFileNames& names) {
  const IniDocument doc = IniDocument::parse(decodeTextFile(bytes));
  if (!doc.hasGroup(names.group)) return std::nullopt;
  const TurntableSettings defaults;
  TurntableSettings s;
  s.address = byteKey(doc, names.group, names.address, defaults.address);
  s.mode = byteKey(doc, names.group, names.mode, defaults.mode);
  s.ramp = byteKey(doc, names.group, names.ramp, defaults.ramp);
  s.speed = byteKey(doc, names.group, names.speed, defaults.speed);
  s.tracks = byteKey(doc, names.group, kTracksKey, defaults.tracks);
  return s;
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

}  // namespace kw
