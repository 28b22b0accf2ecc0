#include "config/module_sheet.h"

#include <cstdio>

#include "config/ini.h"
#include "platform/text_encoding.h"

namespace kw {

namespace {

constexpr std::string_view kModuleGroup = "Modul";
constexpr std::string_view kValuesGroup = "Werte";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr int kHighestControl = 29999;  // above lie the form's unnumbered controls

struct KnownPage {
  int family;
  int subtype;
};

// Pages that a read-out fills: family 10 only writes, and the position panel of the
// turntable (2, 14) holds nothing to keep.
constexpr KnownPage kKnownPages[] = {{0, 15},   {0, 16}, {0, 17}, {1, 18}, {1, 19},
                                     {2, 11},   {2, 12}, {2, 13}, {3, 0},  {4, 2348},
                                     {4, 2350}, {5, 0},  {6, 0},  {7, 0},  {8, 0},
                                     {9, 0}};

// A value keeps its blanks at both ends and a quote at its start only inside quotes:
// the reader drops blanks after the "=".
bool needsQuotes(std::string_view v) {
  if (v.empty()) return false;
  const char first = v.front();
  const char last = v.back();
  return first == ' ' || first == '\t' || first == '"' || last == ' ' || last == '\t';
}

// Line breaks inside a value would end its line: they become blanks.
std::string oneLine(std::string_view v) {
  std::string s(v);
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

// A lone CR inside a line is no line end to the reader, but would be one to an editor.
std::string unquoted(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return oneLine(v);
}

std::string quoted(std::string_view v) {
  const std::string s = oneLine(v);
  return needsQuotes(s) ? "\"" + s + "\"" : s;
}

std::optional<int> smallNumber(std::string_view text, int lowest, int highest) {
  const std::optional<int64_t> v = leadingInteger(text);
  if (!v || *v < lowest || *v > highest) return std::nullopt;
  return static_cast<int>(*v);
}

// "Werte0-15" gives family 0, sub-type 15; anything else gives nothing.
std::optional<std::pair<int, int>> pageOfGroup(std::string_view name) {
  if (name.size() <= kValuesGroup.size() || !iequals(name.substr(0, kValuesGroup.size()), kValuesGroup))
    return std::nullopt;
  name.remove_prefix(kValuesGroup.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 >= name.size()) return std::nullopt;
  for (size_t i = 0; i < name.size(); ++i)
    if (i != dash && (name[i] < '0' || name[i] > '9')) return std::nullopt;
  const auto family = smallNumber(name.substr(0, dash), 0, 99);
  const auto subtype = smallNumber(name.substr(dash + 1), 0, 99999);
  if (!family || !subtype) return std::nullopt;
  return std::make_pair(*family, *subtype);
}

// A control number written as plain digits.
std::optional<int> controlKey(std::string_view key) {
  if (key.empty() || key.size() > 5) return std::nullopt;
  for (char c : key)
    if (c < '0' || c > '9') return std::nullopt;
  return smallNumber(key, 1, kHighestControl);
}

int optionalNumber(const IniDocument& doc, std::string_view key, int highest) {
  const std::optional<std::string> v = doc.value(kModuleGroup, key);
  if (!v) return -1;
  return smallNumber(*v, 0, highest).value_or(-1);
}

std::string text(const IniDocument& doc, std::string_view key) {
  const std::optional<std::string> v = doc.value(kModuleGroup, key);
  return v ? unquoted(*v) : std::string();
}

void readPages(const IniDocument& doc, ModuleSheet& sheet) {
  for (const IniGroup& g : doc.groups()) {
    const auto page = pageOfGroup(g.name);
    if (!page || page->first != sheet.family || !sheetPageKnown(page->first, page->second) ||
        sheet.page(page->second) != nullptr)
      continue;
    SheetPage p{page->first, page->second, {}};
    for (const IniEntry& e : g.entries) {
      const auto control = controlKey(e.key);
      if (!control || p.value(*control) != nullptr) continue;
      p.values.emplace_back(*control, unquoted(e.value));
    }
    sheet.pages.push_back(std::move(p));
  }
}

void writeOptional(IniWriter& w, std::string_view key, int value) {
  if (value >= 0) w.integer(key, value);
}

}  // namespace

const std::string* SheetPage::value(int control) const {
  for (const auto& [c, v] : values)
    if (c == control) return &v;
  return nullptr;
}

const SheetPage* ModuleSheet::page(int sub) const {
  for (const SheetPage& p : pages)
    if (p.subtype == sub) return &p;
  return nullptr;
}

SheetPage& ModuleSheet::pageFor(int sub) {
  for (SheetPage& p : pages)
    if (p.subtype == sub) return p;
  pages.push_back(SheetPage{family, sub, {}});
  return pages.back();
}

bool sheetPageKnown(int family, int subtype) {
  for (const KnownPage& k : kKnownPages)
    if (k.family == family && k.subtype == subtype) return true;
  return false;
}

std::string sheetFileName(int bus, int address) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "SX%d-%03d%s", bus % 10, address % 1000, kSheetExtension);
  return buf;
}

SheetRead parseModuleSheet(std::string_view bytes) {
  const IniDocument doc = IniDocument::parse(decodeTextFile(bytes));
  SheetRead r;
  if (!doc.hasGroup(kModuleGroup) || !doc.value(kModuleGroup, "Familie")) {
    r.problem = SheetProblem::NotASheet;
    return r;
  }
  if (doc.integer(kModuleGroup, "Format", kSheetFormat) > kSheetFormat) {
    r.problem = SheetProblem::NewerFormat;
    return r;
  }
  const auto bus = smallNumber(doc.string(kModuleGroup, "Bus", ""), 0, kSheetHighestBus);
  const auto address =
      smallNumber(doc.string(kModuleGroup, "Adresse", ""), 0, kSheetHighestAddress);
  if (!bus || !address) {
    r.problem = SheetProblem::BadPlace;
    return r;
  }
  const auto family = smallNumber(doc.string(kModuleGroup, "Familie", ""), 0, 99);
  const auto subtype = smallNumber(doc.string(kModuleGroup, "Untertyp", "0"), 0, 99999);
  if (!family || !subtype || !sheetPageKnown(*family, *subtype)) {
    r.problem = SheetProblem::UnknownModule;
    return r;
  }
  ModuleSheet s;
  s.bus = *bus;
  s.address = *address;
  s.family = *family;
  s.subtype = *subtype;
  s.firmware = text(doc, "Firmware");
  s.interfaceName = text(doc, "Schnittstelle");
  s.name = text(doc, "Name");
  s.note = text(doc, "Notiz");
  s.lastRead = text(doc, "Gelesen");
  s.lastProgrammed = text(doc, "Programmiert");
  s.legacyMode = optionalNumber(doc, "Altmodus", 1);
  s.moduleVersion = optionalNumber(doc, "Modulversion", 255);
  s.moduleVersionByte = optionalNumber(doc, "Versionsbyte", 255);
  s.moduleModeFlag = optionalNumber(doc, "Modusbit", 255);
  readPages(doc, s);
  r.sheet = std::move(s);
  return r;
}

std::string moduleSheetBytes(const ModuleSheet& s,
                             const std::function<std::string(int control)>& caption) {
  IniWriter w;
  w.comment("Kantelwerk Modulblatt");
  w.comment();
  w.group(kModuleGroup);
  w.integer("Format", kSheetFormat);
  w.integer("Bus", s.bus);
  w.integer("Adresse", s.address);
  w.integer("Familie", s.family);
  w.integer("Untertyp", s.subtype);
  w.string("Firmware", quoted(s.firmware));
  w.string("Schnittstelle", quoted(s.interfaceName));
  w.string("Name", quoted(s.name));
  w.string("Notiz", quoted(s.note));
  w.string("Gelesen", quoted(s.lastRead));
  w.string("Programmiert", quoted(s.lastProgrammed));
  writeOptional(w, "Altmodus", s.legacyMode);
  writeOptional(w, "Modulversion", s.moduleVersion);
  writeOptional(w, "Versionsbyte", s.moduleVersionByte);
  writeOptional(w, "Modusbit", s.moduleModeFlag);
  for (const SheetPage& p : s.pages) {
    w.comment();
    w.group(std::string(kValuesGroup) + std::to_string(p.family) + "-" + std::to_string(p.subtype));
    for (const auto& [control, value] : p.values) {
      if (caption) {
        const std::string c = oneLine(caption(control));
        if (!c.empty()) w.comment(c);
      }
      w.string(std::to_string(control), quoted(value));
    }
  }
  w.comment();
  return std::string(kUtf8Mark) + w.text();
}

}  // namespace kw
