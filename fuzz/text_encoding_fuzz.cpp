// Text encoding of the files: every Windows-1252 byte survives a read and a rewrite,
// decoding always gives well-formed UTF-8, and cutting a text never splits a character.
#include "fuzz_check.h"
#include "platform/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = kw::fuzz::asText(data, size);
  const std::string utf8 = kw::cp1252ToUtf8(bytes);
  KW_FUZZ_CHECK(kw::fuzz::validUtf8(utf8));
  KW_FUZZ_CHECK(kw::fuzz::utf8Length(utf8) == size);
  KW_FUZZ_CHECK(kw::utf8ToCp1252(utf8) == bytes);

  const std::string decoded = kw::decodeTextFile(bytes);
  KW_FUZZ_CHECK(kw::fuzz::validUtf8(decoded));
  // Written back in the code page, a decoded file has one byte per character.
  KW_FUZZ_CHECK(kw::utf8ToCp1252(decoded).size() == kw::fuzz::utf8Length(decoded));

  const size_t count = size == 0 ? 0 : data[0] % 64;
  const std::string cut = kw::utf8Prefix(decoded, count);
  KW_FUZZ_CHECK(decoded.compare(0, cut.size(), cut) == 0);
  KW_FUZZ_CHECK(kw::fuzz::validUtf8(cut));
  KW_FUZZ_CHECK(kw::fuzz::utf8Length(cut) == std::min(count, kw::fuzz::utf8Length(decoded)));
  return 0;
}
