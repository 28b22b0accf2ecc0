#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kw {
namespace {

// UTF-8 of one code point, written out independently of the code under test.
std::string u8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Cp1252, HighRangeMapsToTheWindowsCharacters) {
  const char32_t expected[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  for (int b = 0x80; b <= 0x9F; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(cp1252ToUtf8(std::string(1, static_cast<char>(b))), u8(expected[b - 0x80]));
  }
}

TEST(Cp1252, LatinOneRangeAndAsciiAreDirect) {
  for (int b = 0xA0; b <= 0xFF; ++b) {
    EXPECT_EQ(cp1252ToUtf8(std::string(1, static_cast<char>(b))), u8(static_cast<char32_t>(b)));
  }
  EXPECT_EQ(cp1252ToUtf8("Gr\xF6\xDF" "e"), "Gr\xC3\xB6\xC3\x9F" "e");
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(cp1252ToUtf8(withNul), withNul);
}

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = cp1252ToUtf8(all);
  EXPECT_NE(utf8, all);
  EXPECT_EQ(utf8ToCp1252(utf8), all);
}

TEST(Cp1252, EncodesSpecialCharactersAndReplacesTheRest) {
  EXPECT_EQ(utf8ToCp1252(u8(0x20AC)), "\x80");
  EXPECT_EQ(utf8ToCp1252(u8(0x2122)), "\x99");
  EXPECT_EQ(utf8ToCp1252(u8(0x0178)), "\x9F");
  EXPECT_EQ(utf8ToCp1252(u8(0x00E4)), "\xE4");
  // Not in the code page: one '?' per character, whatever its length.
  EXPECT_EQ(utf8ToCp1252("a" + u8(0x0100) + "b"), "a?b");
  EXPECT_EQ(utf8ToCp1252("a" + u8(0x1F682) + "b"), "a?b");
  // C1 controls that Windows-1252 gives printable characters are not in the code page.
  EXPECT_EQ(utf8ToCp1252(u8(0x0080)), "?");
  EXPECT_EQ(utf8ToCp1252(u8(0x009E)), "?");
}

TEST(Cp1252, BrokenUtf8BecomesQuestionMarks) {
  EXPECT_EQ(utf8ToCp1252("a\xFF" "b"), "a?b");
  EXPECT_EQ(utf8ToCp1252("a\xE2\x82"), "a?");          // cut-off sequence at the end
  EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??");           // overlong form
  EXPECT_EQ(utf8ToCp1252("\xE2\x82" "x"), "?x");       // cut-off sequence in the middle
}

TEST(DecodeTextFile, WithoutMarkItIsWindows1252) {
  EXPECT_EQ(decodeTextFile("K\xE4se \x80"), "K" + u8(0xE4) + "se " + u8(0x20AC));
  // Only a complete mark counts.
  EXPECT_EQ(decodeTextFile("\xEF\xBB" "x"), u8(0xEF) + u8(0xBB) + "x");
  EXPECT_EQ(decodeTextFile(""), "");
}

TEST(DecodeTextFile, MarkMeansUtf8AndIsRemoved) {
  const std::string text = "K" + u8(0xE4) + "se " + u8(0x20AC) + "\r\n";
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" + text), text);
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF"), "");
}

TEST(DecodeTextFile, BrokenSequencesAreReplacedOneForEachDamagedSpot) {
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "a\xFF" "b"), "a" + kReplacement + "b");
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "a\xE2\x82"), "a" + kReplacement);
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "\xE2\x82" "b"), kReplacement + "b");
  // Overlong slash: both bytes are bad on their own.
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "\xC0\xAF"), kReplacement + kReplacement);
  // Encoded surrogate: not a character.
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "\xED\xA0\x80"),
            kReplacement + kReplacement + kReplacement);
  // Above U+10FFFF.
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" "\xF4\x90\x80\x80").substr(0, 3), kReplacement);
  // A valid four-byte character is kept.
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" + u8(0x1F682)), u8(0x1F682));
}

TEST(Utf8Prefix, CountsCharactersNotBytes) {
  const std::string s = u8(0xE4) + u8(0xF6) + u8(0xFC);
  EXPECT_EQ(utf8Prefix(s, 2), u8(0xE4) + u8(0xF6));
  EXPECT_EQ(utf8Prefix(s, 0), "");
  EXPECT_EQ(utf8Prefix(s, 3), s);
  EXPECT_EQ(utf8Prefix(s, 100), s);
  EXPECT_EQ(utf8Prefix("abc" + u8(0x1F682) + "d", 4), "abc" + u8(0x1F682));
}

TEST(ForEachLine, AcceptsLfAndCrLf) {
  std::vector<std::string> lines;
  forEachLine("a\r\nb\nc", [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c"}));

  lines.clear();
  forEachLine("a\n\r\n\nb\r\n", [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "", "b"}));

  // Only the one CR right before the LF belongs to the line end.
  lines.clear();
  forEachLine("a\r\r\n", [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"a\r"}));
}

}  // namespace
}  // namespace kw
