// The settings dialog's language files (three-digit number, separator, text): entries
// 0..300 only, at most 200 characters of UTF-8 each, and a file written from the table
// reads back to the same table.
#include <memory>

#include "config/language.h"
#include "fuzz_check.h"
#include "platform/text_encoding.h"

namespace {

std::string setupFileOf(const kw::LanguageTexts& t) {
  std::string f = "\xEF\xBB\xBF";
  char number[8];
  for (int n = 0; n <= 300; ++n) {
    if (t.setupText[n].empty()) continue;
    std::snprintf(number, sizeof number, "%03d ", n);
    f += number + t.setupText[n] + "\r\n";
  }
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto texts = std::make_unique<kw::LanguageTexts>();
  kw::applySetupText(kw::decodeTextFile(kw::fuzz::asText(data, size)), *texts);
  for (const std::string& t : texts->setupText) {
    KW_FUZZ_CHECK(kw::fuzz::validUtf8(t));
    KW_FUZZ_CHECK(kw::fuzz::utf8Length(t) <= kw::kMaxTextLength);
    KW_FUZZ_CHECK(t.find('\n') == std::string::npos);
  }
  const auto again = std::make_unique<kw::LanguageTexts>();
  kw::applySetupText(kw::decodeTextFile(setupFileOf(*texts)), *again);
  KW_FUZZ_CHECK(again->setupText == texts->setupText);
  return 0;
}
