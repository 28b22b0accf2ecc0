#include "config/ini.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/text_encoding.h"

namespace kw {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimLeft(std::string_view s) {
  const size_t p = s.find_first_not_of(kBlanks);
  return p == std::string_view::npos ? std::string_view{} : s.substr(p);
}

std::string_view trimRight(std::string_view s) {
  const size_t p = s.find_last_not_of(kBlanks);
  return p == std::string_view::npos ? std::string_view{} : s.substr(0, p + 1);
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<double> leadingReal(std::string_view text) {
  text = trimLeft(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // Only plain decimal forms; this also keeps out "inf" and "nan".
  if (text.empty() || !(isDigit(text[0]) || text[0] == '.')) return std::nullopt;
  double v = 0.0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v,
                                   std::chars_format::general);
  if (ec != std::errc{} || !std::isfinite(v)) return std::nullopt;
  return negative ? -v : v;
}

// A value that would break the line structure is cut at its first line break.
std::string_view singleLine(std::string_view s) {
  const size_t p = s.find_first_of("\r\n");
  return p == std::string_view::npos ? s : s.substr(0, p);
}

}  // namespace

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string foldCase(std::string_view name) {
  std::string s(name);
  for (char& c : s) c = lower(c);
  return s;
}

std::optional<int64_t> leadingInteger(std::string_view text) {
  text = trimLeft(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !isDigit(text[0])) return std::nullopt;
  // Accumulate negatively so that the most negative value fits as well.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t v = 0;
  bool clamped = false;
  for (char c : text) {
    if (!isDigit(c)) break;
    const int d = c - '0';
    if (!clamped && v >= (kMin + d) / 10) {
      v = v * 10 - d;
    } else {
      clamped = true;
    }
  }
  if (clamped) return negative ? kMin : std::numeric_limits<int64_t>::max();
  if (negative) return v;
  return v == kMin ? std::numeric_limits<int64_t>::max() : -v;
}

IniDocument IniDocument::parse(std::string_view text) {
  IniDocument doc;
  // Keys before the first group and keys of a repeated group belong nowhere.
  bool collecting = false;
  auto take = [&](std::string_view raw) {
    const std::string_view line = trimLeft(raw);
    if (line.empty() || line[0] == ';') return;
    const std::string_view bare = trimRight(line);
    if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']') {
      const std::string_view name = trim(bare.substr(1, bare.size() - 2));
      collecting = doc.groupIndex_.try_emplace(foldCase(name), doc.groups_.size()).second;
      if (collecting) {
        doc.groups_.push_back(IniGroup{std::string(name), {}});
        doc.keyIndex_.emplace_back();
      }
      return;
    }
    if (!collecting) return;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return;
    const std::string_view key = trimRight(line.substr(0, eq));
    if (key.empty()) return;
    IniGroup& g = doc.groups_.back();
    if (!doc.keyIndex_.back().try_emplace(foldCase(key), g.entries.size()).second) return;
    g.entries.push_back(IniEntry{std::string(key), std::string(trimLeft(line.substr(eq + 1)))});
  };
  // A stray CR inside a line ends it as well, so no name or value ever holds a line break
  // and everything read can be written back unchanged.
  forEachLine(text, [&](std::string_view line) {
    size_t cr = 0;
    while ((cr = line.find('\r')) != std::string_view::npos) {
      take(line.substr(0, cr));
      line.remove_prefix(cr + 1);
    }
    take(line);
  });
  return doc;
}

bool IniDocument::hasGroup(std::string_view name) const { return group(name) != nullptr; }

const IniGroup* IniDocument::group(std::string_view name) const {
  const auto it = groupIndex_.find(foldCase(name));
  return it == groupIndex_.end() ? nullptr : &groups_[it->second];
}

std::optional<std::string> IniDocument::value(std::string_view groupName,
                                              std::string_view key) const {
  const auto g = groupIndex_.find(foldCase(groupName));
  if (g == groupIndex_.end()) return std::nullopt;
  const NameIndex& keys = keyIndex_[g->second];
  const auto e = keys.find(foldCase(key));
  if (e == keys.end()) return std::nullopt;
  return groups_[g->second].entries[e->second].value;
}

int64_t IniDocument::integer(std::string_view groupName, std::string_view key,
                             int64_t def) const {
  const auto v = value(groupName, key);
  if (!v) return def;
  return leadingInteger(*v).value_or(def);
}

double IniDocument::real(std::string_view groupName, std::string_view key, double def) const {
  const auto v = value(groupName, key);
  if (!v) return def;
  return leadingReal(*v).value_or(def);
}

std::string IniDocument::string(std::string_view groupName, std::string_view key,
                                std::string_view def) const {
  auto v = value(groupName, key);
  return v ? std::move(*v) : std::string(def);
}

void IniWriter::comment(std::string_view text) {
  text_ += "; ";
  text_ += singleLine(text);
  text_ += "\r\n";
}

void IniWriter::group(std::string_view name) {
  text_ += '[';
  text_ += singleLine(name);
  text_ += "]\r\n";
}

void IniWriter::integer(std::string_view key, int64_t value) {
  string(key, std::to_string(value));
}

void IniWriter::real(std::string_view key, double value) {
  if (!std::isfinite(value)) value = 0.0;
  // to_chars rather than printf: the result must not depend on the user's locale.
  char buf[400];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  string(key, ec == std::errc{} ? std::string_view(buf, static_cast<size_t>(ptr - buf))
                                : std::string_view("0.000000"));
}

void IniWriter::string(std::string_view key, std::string_view value) {
  text_ += singleLine(key);
  text_ += " = ";
  text_ += singleLine(value);
  text_ += "\r\n";
}

}  // namespace kw
