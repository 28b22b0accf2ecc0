#include "platform/text_encoding.h"

#include <array>
#include <cstdint>

namespace kw {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same number, as Windows itself does, so
// that such a byte in a sibling program's file survives a read and a rewrite.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

void appendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the character at `i` and moves past it. A broken sequence yields kInvalid and
// consumes its longest valid-looking start (at least one byte), so each damaged spot becomes
// exactly one replacement character. Overlong forms, surrogates and values above U+10FFFF
// count as broken.
char32_t nextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  ++i;
  if (b0 < 0x80) return b0;
  int len = 0;
  char32_t cp = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return kInvalid;
  }
  for (int k = 1; k < len; ++k) {
    if (i >= s.size()) return kInvalid;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < lo || b > hi) return kInvalid;
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
    ++i;
  }
  return cp;
}

int cp1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (size_t k = 0; k < kHighTable.size(); ++k) {
    if (kHighTable[k] == cp) return static_cast<int>(0x80 + k);
  }
  return -1;
}

}  // namespace

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else if (b < 0xA0) {
      appendUtf8(kHighTable[b - 0x80], out);
    } else {
      appendUtf8(b, out);
    }
  }
  return out;
}

std::string utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = nextCodePoint(utf8, i);
    const int b = cp == kInvalid ? -1 : cp1252Byte(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string decodeTextFile(std::string_view bytes) {
  if (bytes.substr(0, 3) != "\xEF\xBB\xBF") return cp1252ToUtf8(bytes);
  bytes.remove_prefix(3);
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t start = i;
    const char32_t cp = nextCodePoint(bytes, i);
    if (cp == kInvalid) {
      appendUtf8(kReplacement, out);
    } else {
      out.append(bytes.substr(start, i - start));
    }
  }
  return out;
}

std::string utf8Prefix(std::string_view utf8, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < utf8.size(); ++n) nextCodePoint(utf8, i);
  return std::string(utf8.substr(0, i));
}

}  // namespace kw
