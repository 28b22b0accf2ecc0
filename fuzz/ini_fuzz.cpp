// The preference-file format itself: whatever the bytes, every name and value stays on one
// line, names are unique without regard to case, and writing what was read and reading it
// again gives the same document.
#include "config/ini.h"
#include "fuzz_check.h"

namespace {

std::string written(const kw::IniDocument& doc) {
  kw::IniWriter w;
  for (const kw::IniGroup& g : doc.groups()) {
    w.group(g.name);
    for (const kw::IniEntry& e : g.entries) w.string(e.key, e.value);
    w.comment();
  }
  return w.text();
}

bool sameDocument(const kw::IniDocument& a, const kw::IniDocument& b) {
  if (a.groups().size() != b.groups().size()) return false;
  for (size_t i = 0; i < a.groups().size(); ++i) {
    const kw::IniGroup& ga = a.groups()[i];
    const kw::IniGroup& gb = b.groups()[i];
    if (ga.name != gb.name || ga.entries.size() != gb.entries.size()) return false;
    for (size_t k = 0; k < ga.entries.size(); ++k) {
      if (ga.entries[k].key != gb.entries[k].key || ga.entries[k].value != gb.entries[k].value)
        return false;
    }
  }
  return true;
}

bool oneLine(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kw::IniDocument doc = kw::IniDocument::parse(kw::fuzz::asText(data, size));
  for (const kw::IniGroup& g : doc.groups()) {
    KW_FUZZ_CHECK(oneLine(g.name));
    KW_FUZZ_CHECK(doc.group(kw::foldCase(g.name)) == &g);  // the first of its name
    for (const kw::IniEntry& e : g.entries) {
      KW_FUZZ_CHECK(!e.key.empty() && oneLine(e.key) && oneLine(e.value));
      KW_FUZZ_CHECK(doc.value(g.name, kw::foldCase(e.key)) == e.value);
    }
  }
  const std::string text = written(doc);
  const kw::IniDocument again = kw::IniDocument::parse(text);
  KW_FUZZ_CHECK(sameDocument(doc, again));
  KW_FUZZ_CHECK(written(again) == text);
  return 0;
}
