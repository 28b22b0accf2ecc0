// Reader and writer of the INI-like text format shared by the suite's preference files:
// "[Group]" lines, "Key = value" lines, ";" comments, CR LF line ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kw {

struct IniEntry {
  std::string key;
  std::string value;  // UTF-8, runs to the end of the line
};

struct IniGroup {
  std::string name;
  std::vector<IniEntry> entries;
};

// A parsed file. Group and key names are matched without regard to case; when a key or
// group appears twice the first one counts. Reading and every look-up take time in
// proportion to the text (names are found through hash tables), so that a damaged file
// of many megabytes is read as quickly as its size allows.
class IniDocument {
 public:
  // `text` is already decoded to UTF-8 (see decodeTextFile).
  static IniDocument parse(std::string_view text);

  bool hasGroup(std::string_view group) const;
  const IniGroup* group(std::string_view group) const;
  std::optional<std::string> value(std::string_view group, std::string_view key) const;
  // Decimal integer ("%d"); the default when the key is missing or holds no number.
  int64_t integer(std::string_view group, std::string_view key, int64_t def) const;
  // Floating-point value ("%f" or any decimal form); the default when missing or not a number.
  double real(std::string_view group, std::string_view key, double def) const;
  std::string string(std::string_view group, std::string_view key, std::string_view def) const;

  const std::vector<IniGroup>& groups() const { return groups_; }

 private:
  using NameIndex = std::unordered_map<std::string, size_t>;  // folded name -> position
  std::vector<IniGroup> groups_;
  NameIndex groupIndex_;
  std::vector<NameIndex> keyIndex_;  // one per group, into its entries
};

bool iequals(std::string_view a, std::string_view b);
// The name with A..Z turned into a..z: the form under which names are compared.
std::string foldCase(std::string_view name);

// The decimal number at the start of `text` in the manner of "%d": leading blanks and tabs
// skipped, an optional sign, then digits up to the first other character. Empty when there
// is no digit; values beyond the 64-bit range are clamped.
std::optional<int64_t> leadingInteger(std::string_view text);

// Builds the file text line by line, always with CR LF. Output is UTF-8; the caller
// converts it to the file's code page.
class IniWriter {
 public:
  void comment(std::string_view text = "");  // "; " followed by text
  void group(std::string_view name);         // "[name]"
  void integer(std::string_view key, int64_t value);   // "key = %d"
  void real(std::string_view key, double value);       // "key = %f" (six decimals)
  void string(std::string_view key, std::string_view value);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace kw
