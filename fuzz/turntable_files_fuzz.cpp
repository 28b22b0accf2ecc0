// The three turntable files: whatever a file holds, what is taken from it is in range, and
// the file written from it reads back to the same values. The first input byte says which
// file the rest is.
#include <algorithm>
#include <string>
#include <vector>

#include "forms/turntable_files.h"
#include "fuzz_check.h"

namespace {

const kw::SettingsFileNames kNames{"Drehscheibe", "Adresse", "Betriebsart", "Rampe",
                                   "Geschwindigkeit"};

void settingsFile(std::string_view bytes) {
  using Outcome = kw::SettingsFileRead::Outcome;
  const kw::SettingsFileRead r = kw::readSettingsFile(bytes, kNames);
  // A refused value is named, so the message can say which entry it is.
  if (r.outcome == Outcome::ValueOutOfRange) KW_FUZZ_CHECK(!r.badEntry.empty());
  if (r.outcome != Outcome::Read) return;
  const kw::TurntableSettings& s = r.settings;
  for (int v : {s.address, s.mode, s.ramp, s.speed}) KW_FUZZ_CHECK(v >= 0 && v <= 255);
  KW_FUZZ_CHECK(s.tracks >= 0 && s.tracks <= 255);
  const std::string written = kw::settingsFileBytes(kNames, s);
  const kw::SettingsFileRead again = kw::readSettingsFile(written, kNames);
  KW_FUZZ_CHECK(again.outcome == Outcome::Read);
  const kw::TurntableSettings& a = again.settings;
  KW_FUZZ_CHECK(a.address == s.address && a.mode == s.mode && a.ramp == s.ramp &&
                a.speed == s.speed && a.tracks == s.tracks);
  KW_FUZZ_CHECK(kw::settingsFileBytes(kNames, a) == written);
}

template <typename Parse>
void linesFile(std::string_view bytes, Parse parse, size_t longest) {
  const auto lines = parse(bytes);
  if (!lines) return;
  KW_FUZZ_CHECK(lines->size() <= 48);
  for (const std::string& l : *lines) KW_FUZZ_CHECK(l.size() <= longest);
  const auto again = parse(kw::linesFileBytes(*lines));
  KW_FUZZ_CHECK(again && *again == *lines);
}

// Whatever the pattern fields hold, the file saved from them loads back as saved.
void patternFields(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= bytes.size() && lines.size() < 48) {
    const size_t end = std::min(bytes.find('\n', start), bytes.size());
    lines.push_back(kw::patternLine(std::string(bytes.substr(start, end - start))));
    start = end + 1;
  }
  const auto loaded = kw::parsePatterns(kw::linesFileBytes(lines));
  KW_FUZZ_CHECK(loaded && *loaded == lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest = kw::fuzz::asText(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: settingsFile(rest); break;
    case 1: linesFile(rest, kw::parseStepTable, 5); break;
    default:
      linesFile(rest, kw::parsePatterns, 8);
      patternFields(rest);
      break;
  }
  return 0;
}
