// The three turntable files: whatever a file holds, what is taken from it is in range, and
// the file written from it reads back to the same values. The first input byte says which
// file the rest is.
#include <string>

#include "forms/turntable_files.h"
#include "fuzz_check.h"

namespace {

const kw::SettingsFileNames kNames{"Drehscheibe", "Adresse", "Betriebsart", "Rampe",
                                   "Geschwindigkeit"};

void settingsFile(std::string_view bytes) {
  const auto s = kw::parseSettingsFile(bytes, kNames);
  if (!s) return;
  for (int v : {s->address, s->mode, s->ramp, s->speed}) KW_FUZZ_CHECK(v >= 0 && v <= 255);
  KW_FUZZ_CHECK(s->tracks >= 0 && s->tracks <= 255);
  const std::string written = kw::settingsFileBytes(kNames, *s);
  const auto again = kw::parseSettingsFile(written, kNames);
  KW_FUZZ_CHECK(again && again->address == s->address && again->mode == s->mode &&
                again->ramp == s->ramp && again->speed == s->speed && again->tracks == s->tracks);
  KW_FUZZ_CHECK(kw::settingsFileBytes(kNames, *again) == written);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest = kw::fuzz::asText(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: settingsFile(rest); break;
    case 1: linesFile(rest, kw::parseStepTable, 5); break;
    default: linesFile(rest, kw::parsePatterns, 8); break;
  }
  return 0;
}
