// The program's language files: texts land only in their tables, at most 200 characters
// each, as UTF-8 whatever the file's bytes; and a file written from the tables reads back
// to the same tables.
#include <memory>

#include "config/language.h"
#include "fuzz_check.h"
#include "platform/text_encoding.h"

namespace {

template <size_t N>
void checkTable(const std::array<std::string, N>& table) {
  for (const std::string& t : table) {
    KW_FUZZ_CHECK(kw::fuzz::validUtf8(t));
    KW_FUZZ_CHECK(kw::fuzz::utf8Length(t) <= kw::kMaxTextLength);
    KW_FUZZ_CHECK(t.find('\n') == std::string::npos);
  }
}

// The tables as a UTF-8 file with mark, one "N, text" line for every text that is set.
std::string languageFileOf(const kw::LanguageTexts& t) {
  std::string f = "\xEF\xBB\xBF";
  for (int n = 1; n <= 99; ++n)
    if (!t.shortTable[n].empty()) f += std::to_string(n) + ", " + t.shortTable[n] + "\r\n";
  for (int n = 100; n <= 800; ++n)
    if (!t.mainTable[n - 100].empty())
      f += std::to_string(n) + ", " + t.mainTable[n - 100] + "\r\n";
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto texts = std::make_unique<kw::LanguageTexts>();
  kw::applyLanguageText(kw::decodeTextFile(kw::fuzz::asText(data, size)), *texts);
  checkTable(texts->shortTable);
  checkTable(texts->mainTable);
  KW_FUZZ_CHECK(texts->shortTable[0].empty());
  for (int n = 100; n <= 200; ++n) KW_FUZZ_CHECK(texts->shortTable[n].empty());

  const auto again = std::make_unique<kw::LanguageTexts>();
  kw::applyLanguageText(kw::decodeTextFile(languageFileOf(*texts)), *again);
  KW_FUZZ_CHECK(again->shortTable == texts->shortTable);
  KW_FUZZ_CHECK(again->mainTable == texts->mainTable);
  return 0;
}
