// The preference and language files are Windows-1252 text unless they begin with a UTF-8
// byte-order mark. Inside the program every string is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kw {

std::string cp1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string utf8ToCp1252(std::string_view utf8);
// Decodes a file's bytes: a leading EF BB BF means UTF-8 (mark removed, invalid sequences
// replaced), anything else Windows-1252.
std::string decodeTextFile(std::string_view bytes);
// Cuts a UTF-8 string to at most `count` characters.
std::string utf8Prefix(std::string_view utf8, size_t count);
// Splits text into lines at LF, dropping a CR before it.
template <typename F>
void forEachLine(std::string_view text, F&& f) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    pos = next;
  }
}

}  // namespace kw
