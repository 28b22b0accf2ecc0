#include "config/suite_prefs.h"

#include <array>
#include <cmath>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include "platform/system.h"
#include "platform/text_encoding.h"

namespace kw {

namespace {

// How a group of the file is held in memory.
enum class Section { Pass, Buses, Ports, Windows };

struct GroupSpec {
  std::string_view name;
  Section section;
  bool optional;  // when the group is missing its values stay as they were, no defaults
};

// Group order of the file as every program of the suite writes it.
constexpr GroupSpec kGroups[] = {
    {"Autostart", Section::Pass, false},  {"AutoEnde", Section::Pass, false},
    {"Farben", Section::Pass, false},     {"Server", Section::Pass, true},
    {"BlueTooth", Section::Pass, true},   {"Client", Section::Pass, true},
    {"Block", Section::Pass, false},      {"Weiche", Section::Pass, false},
    {"Signale", Section::Pass, false},    {"Taster", Section::Pass, false},
    {"LED", Section::Pass, false},        {"Text", Section::Pass, false},
    {"Bus2Com", Section::Buses, false},   {"ComPorts", Section::Ports, false},
    {"Lupe", Section::Pass, false},       {"FS-Maus", Section::Pass, false},
    {"WinPos", Section::Windows, false},  {"TimerJustage", Section::Pass, false},
};

constexpr int kStoredWindows = 49;  // WPos00 .. WPos48

struct PassKey {
  std::string group;
  std::string key;
  PrefType type;
  int64_t intDefault = 0;
  double realDefault = 0.0;
  std::string textDefault;
  bool defaultFromPrevious = false;  // "WDicke": the value read for the key before it, minus 2
};

// Every key this program carries for its siblings, in file order.
std::vector<PassKey> buildPassKeys() {
  std::vector<PassKey> k;
  auto add = [&](std::string_view group, std::string_view key, PrefType type, int64_t def = 0) {
    k.push_back(PassKey{std::string(group), std::string(key), type, def, 0.0, {}, false});
  };
  auto addReal = [&](std::string_view group, std::string_view key, PrefType type, double def) {
    k.push_back(PassKey{std::string(group), std::string(key), type, 0, def, {}, false});
  };
  auto addText = [&](std::string_view group, std::string_view key, std::string_view def = {}) {
    k.push_back(
        PassKey{std::string(group), std::string(key), PrefType::String, 0, 0.0, std::string(def),
                false});
  };
  using T = PrefType;
  add("Autostart", "AutoLoadGP", T::Byte);
  add("Autostart", "AutoLoadFP", T::Byte);
  add("Autostart", "AutoLoadDo", T::Byte);
  add("Autostart", "AutoLoadZe", T::Byte);
  addText("Autostart", "AutoLoadBWS");
  addText("Autostart", "AutoLoadFP3");
  add("Autostart", "AutoLoadBld", T::Byte, 1);
  add("AutoEnde", "AutoEndeZE", T::Byte);
  add("Farben", "Hintergrund", T::Int32, 0xC0C0C0);
  add("Farben", "BlockFrei", T::Int32, 0);
  add("Farben", "BlockAngef", T::Int32, 0xEE0000);
  add("Farben", "BlockBel", T::Int32, 0xFF);
  add("Farben", "BlockOAdr", T::Int32, 0x909090);
  add("Farben", "Weiche", T::Int32, 0xFFFF);
  add("Farben", "WeicheSchalt", T::Int32, 0xE7FFCE);
  add("Farben", "Trenn", T::Int32, 0xFFFF80);
  add("Farben", "Bezeichner", T::Int32, 0xDCFFFF);
  add("Farben", "BezeichnerDRM", T::Int32, 0xFFFBBB);
  add("Farben", "BezSchrift", T::Int32, 0xFF);
  add("Farben", "VAHintergrund", T::Int32, 0xC0C0C0);
  add("Farben", "VAText", T::Int32, 0);
  add("Farben", "VABezeichner", T::Int32, 0);
  add("Farben", "Drehscheibe", T::Int32, 0x909090);
  addText("Server", "Name");
  add("Server", "Port", T::Int32, 6666);
  for (int i = 1; i <= 8; ++i) {
    addText("Server", "ClientName" + std::to_string(i));
    add("Server", "ClientAktiv" + std::to_string(i), T::Byte);
  }
  add("BlueTooth", "Port", T::UnsignedByte);
  addText("Client", "Name");
  add("Client", "Port", T::Int32, 6666);
  add("Block", "Dicke", T::Byte, 7);
  add("Block", "WDicke", T::Byte);
  k.back().defaultFromPrevious = true;
  add("Block", "LNAnz", T::Byte, 1);
  add("Block", "Pfeil", T::Byte, 1);
  addText("Block", "Verz", "1,5");
  add("Weiche", "ZeitSpule", T::Byte, 1);
  add("Weiche", "ZeitMotor", T::Byte, 3);
  add("Weiche", "RMAus", T::Byte);
  add("Weiche", "Drehen", T::Byte);
  add("Signale", "SigSchalten", T::Byte);
  addReal("Signale", "SigZeit", T::Float, 0.0);
  add("Taster", "Ein", T::Int32, 0xFF);
  add("Taster", "Aus", T::Int32, 0xC0C0C0);
  add("Taster", "Size", T::Byte, 10);
  add("LED", "Ein", T::Int32, 0x4040FF);
  add("LED", "Aus", T::Int32, 0x80);
  add("Text", "Farbe", T::Int32, 0);
  addText("Text", "Font", "Arial");
  addReal("Text", "Groesse", T::Float, 10.0);
  addReal("Text", "Style", T::FloatAsInt, 0.0);
  addReal("Text", "Weight", T::Float, 400.0);
  add("Lupe", "Sequenz", T::Int16, 1);
  add("FS-Maus", "Strg", T::Byte);
  add("FS-Maus", "Zeit", T::Byte, 10);
  add("TimerJustage", "F-Timer", T::Int32);
  add("TimerJustage", "S-Timer", T::Int32);
  add("TimerJustage", "M-Timer", T::Int32);
  add("TimerJustage", "L-Delay", T::Int32);
  return k;
}

// Built once: the table is constant, and every read and write of the file walks it.
const std::vector<PassKey>& passKeys() {
  static const std::vector<PassKey> keys = buildPassKeys();
  return keys;
}

std::string busKey(int b, std::string_view suffix) {
  return "Bus" + std::to_string(b) + std::string(suffix);
}

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string portKey(int p, std::string_view suffix) {
  return "ComPort" + twoDigits(p) + std::string(suffix);
}

std::string windowKey(int i, char suffix) { return "WPos" + twoDigits(i) + suffix; }

constexpr std::string_view kBusSuffixes[] = {"Com", "Akt", "SX1"};
constexpr std::string_view kPortSuffixes[] = {"used", "Typ", "Baud"};
constexpr char kWindowSuffixes[] = {'X', 'Y', 'B', 'H', 'M'};

// The keys of a group that this program reads and writes, case-folded.
std::unordered_set<std::string> knownKeys(const GroupSpec& g, const std::vector<PassKey>& keys) {
  std::unordered_set<std::string> out;
  switch (g.section) {
    case Section::Pass:
      for (const PassKey& k : keys) {
        if (k.group == g.name) out.insert(foldCase(k.key));
      }
      break;
    case Section::Buses:
      for (int b = 0; b <= 8; ++b) {
        for (auto s : kBusSuffixes) out.insert(foldCase(busKey(b, s)));
      }
      break;
    case Section::Ports:
      for (int p = 1; p <= 8; ++p) {
        for (auto s : kPortSuffixes) out.insert(foldCase(portKey(p, s)));
      }
      break;
    case Section::Windows:
      for (int i = 0; i < kStoredWindows; ++i) {
        for (char s : kWindowSuffixes) out.insert(foldCase(windowKey(i, s)));
      }
      break;
  }
  return out;
}

// The same for every listed group, built once.
const std::unordered_set<std::string>& knownKeysOf(const GroupSpec& g) {
  using Sets = std::array<std::unordered_set<std::string>, std::size(kGroups)>;
  static const Sets sets = [] {
    Sets out;
    for (size_t i = 0; i < std::size(kGroups); ++i) out[i] = knownKeys(kGroups[i], passKeys());
    return out;
  }();
  return sets[static_cast<size_t>(&g - kGroups)];
}

const GroupSpec* knownGroup(std::string_view name) {
  for (const GroupSpec& g : kGroups) {
    if (iequals(g.name, name)) return &g;
  }
  return nullptr;
}

// Values are held in the width the suite stores them in; a wider number from a damaged
// file wraps to that width instead of being refused.
int64_t toByte(int64_t v) { return static_cast<int8_t>(static_cast<uint8_t>(v & 0xFF)); }
int64_t toUnsignedByte(int64_t v) { return v & 0xFF; }
int64_t toInt16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }
int32_t toInt32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
uint8_t lowByte(int64_t v) { return static_cast<uint8_t>(v & 0xFF); }

int64_t holdInteger(PrefType type, int64_t v) {
  switch (type) {
    case PrefType::Byte: return toByte(v);
    case PrefType::UnsignedByte: return toUnsignedByte(v);
    case PrefType::Int16: return toInt16(v);
    default: return toInt32(v);
  }
}

// Single precision, as the suite keeps these values.
double holdFloat(double v) {
  if (!(std::fabs(v) <= 3.4028234663852886e38)) return 0.0;
  return static_cast<double>(static_cast<float>(v));
}

// A float held as an integer rounds to the nearest whole number.
int64_t floatToInteger(double v) {
  const double r = std::nearbyint(holdFloat(v));
  if (r >= 2147483647.0) return 2147483647;
  if (r <= -2147483648.0) return -2147483648LL;
  return static_cast<int64_t>(r);
}

PassValue zeroValue(const PassKey& k) {
  PassValue v;
  v.group = k.group;
  v.key = k.key;
  v.type = k.type;
  return v;
}

// Makes `pass` hold exactly the listed keys in their order, keeping any values it had.
void ensurePassTable(SuitePreferences& prefs) {
  const std::vector<PassKey>& keys = passKeys();
  bool same = prefs.pass.size() == keys.size();
  for (size_t i = 0; same && i < keys.size(); ++i) {
    same = prefs.pass[i].group == keys[i].group && prefs.pass[i].key == keys[i].key &&
           prefs.pass[i].type == keys[i].type;
  }
  if (same) return;
  std::vector<PassValue> table;
  table.reserve(keys.size());
  for (const PassKey& k : keys) {
    PassValue v = zeroValue(k);
    if (const PassValue* old = prefs.find(k.group, k.key); old != nullptr && old->type == k.type) {
      v.integer = old->integer;
      v.real = old->real;
      v.text = old->text;
    }
    table.push_back(std::move(v));
  }
  prefs.pass = std::move(table);
}

void readPassValue(const IniDocument& doc, const PassKey& k, const PassValue* previous,
                   PassValue& v) {
  switch (k.type) {
    case PrefType::String:
      v.text = doc.string(k.group, k.key, k.textDefault);
      break;
    case PrefType::Float:
      v.real = holdFloat(doc.real(k.group, k.key, k.realDefault));
      break;
    case PrefType::FloatAsInt:
      v.integer = floatToInteger(doc.real(k.group, k.key, k.realDefault));
      break;
    default: {
      int64_t def = k.intDefault;
      if (k.defaultFromPrevious && previous != nullptr) def = previous->integer - 2;
      v.integer = holdInteger(k.type, doc.integer(k.group, k.key, def));
      break;
    }
  }
}

void writePassValue(IniWriter& w, const PassValue& v, std::string_view key) {
  switch (v.type) {
    case PrefType::String: w.string(key, v.text); break;
    case PrefType::Float: w.real(key, holdFloat(v.real)); break;
    case PrefType::FloatAsInt: w.real(key, static_cast<double>(toInt32(v.integer))); break;
    default: w.integer(key, holdInteger(v.type, v.integer)); break;
  }
}

// The file is written in Windows-1252, where a character it cannot hold becomes '?': two
// names that differ only in such characters come out the same, and every reader keeps only
// the first of them. Such a name is written once, as the readers will see it, so that what
// is written reads back to itself.
std::string nameInFile(std::string_view name) { return foldCase(utf8ToCp1252(name)); }

void writeUnknownEntries(IniWriter& w, const IniGroup& g,
                         std::unordered_set<std::string>& written) {
  for (const IniEntry& e : g.entries)
    if (written.insert(nameInFile(e.key)).second) w.string(e.key, e.value);
}

}  // namespace

const PassValue* SuitePreferences::find(std::string_view group, std::string_view key) const {
  for (const PassValue& v : pass) {
    if (iequals(v.group, group) && iequals(v.key, key)) return &v;
  }
  return nullptr;
}

SuitePreferences emptySuitePreferences() {
  SuitePreferences prefs;
  ensurePassTable(prefs);
  return prefs;
}

void correctWindowPlacement(WindowPlacement& w, const ScreenMetrics& screen) {
  if (w.X >= screen.primaryWidth) {
    if (screen.monitors > 1) {
      if (w.X > screen.virtualWidth) w.X = screen.virtualWidth - 30;
    } else {
      w.X = screen.primaryWidth - 30;
    }
  }
  if (w.Y >= screen.primaryHeight) {
    if (screen.monitors > 1) {
      if (w.Y > screen.virtualHeight) w.Y = screen.virtualHeight - 30;
    } else {
      w.Y = screen.primaryHeight - 30;
    }
  }
  if (static_cast<int64_t>(w.X) + w.B <= 0 || w.Y < 0) {
    w.X = 20;
    w.Y = 50;
    w.B = 1000;
    w.H = 700;
  }
}

void parseSuitePreferences(std::string_view bytes, const ScreenMetrics& screen,
                           SuitePreferences& prefs) {
  const IniDocument doc = IniDocument::parse(decodeTextFile(bytes));
  const std::vector<PassKey>& keys = passKeys();
  ensurePassTable(prefs);

  for (size_t i = 0; i < keys.size(); ++i) {
    const PassKey& k = keys[i];
    const GroupSpec* g = knownGroup(k.group);
    if (g != nullptr && g->optional && !doc.hasGroup(k.group)) continue;
    readPassValue(doc, k, i > 0 ? &prefs.pass[i - 1] : nullptr, prefs.pass[i]);
  }

  for (int b = 0; b <= 8; ++b) {
    BusEntry& e = prefs.busTable[b];
    e.port = lowByte(doc.integer("Bus2Com", busKey(b, "Com"), 0));
    e.used = lowByte(doc.integer("Bus2Com", busKey(b, "Akt"), 0));
    e.sx1 = doc.integer("Bus2Com", busKey(b, "SX1"), 0) != 0 ? 1 : 0;
  }
  for (int p = 1; p <= 8; ++p) {
    PortConfig& c = prefs.portConfig[p];
    c.used = lowByte(doc.integer("ComPorts", portKey(p, "used"), 1));
    c.typeIndex = lowByte(doc.integer("ComPorts", portKey(p, "Typ"), 0));
    c.baudIndex = toInt32(doc.integer("ComPorts", portKey(p, "Baud"), 0));
  }
  for (int i = 0; i < kStoredWindows; ++i) {
    WindowPlacement& w = prefs.windowTable[i];
    w.X = toInt32(doc.integer("WinPos", windowKey(i, 'X'), 0));
    w.Y = toInt32(doc.integer("WinPos", windowKey(i, 'Y'), 0));
    w.B = toInt32(doc.integer("WinPos", windowKey(i, 'B'), 0));
    w.H = toInt32(doc.integer("WinPos", windowKey(i, 'H'), 0));
    w.M = toInt32(doc.integer("WinPos", windowKey(i, 'M'), 0));
    correctWindowPlacement(w, screen);
  }

  // Whatever the file holds beyond the listed keys is kept for the next rewrite.
  prefs.unknown.clear();
  for (const IniGroup& g : doc.groups()) {
    const GroupSpec* desc = knownGroup(g.name);
    if (desc == nullptr) {
      prefs.unknown.push_back(g);
      continue;
    }
    const std::unordered_set<std::string>& known = knownKeysOf(*desc);
    IniGroup extra{g.name, {}};
    for (const IniEntry& e : g.entries) {
      if (known.count(foldCase(e.key)) == 0) extra.entries.push_back(e);
    }
    if (!extra.entries.empty()) prefs.unknown.push_back(std::move(extra));
  }
}

std::string suitePreferencesBytes(const SuitePreferences& prefs) {
  const std::vector<PassKey>& keys = passKeys();
  IniWriter w;
  w.comment();
  w.comment(" Einstellungen");
  w.comment();
  bool first = true;
  for (const GroupSpec& g : kGroups) {
    if (!first) w.comment();
    first = false;
    w.group(g.name);
    switch (g.section) {
      case Section::Pass:
        for (const PassKey& k : keys) {
          if (k.group != g.name) continue;
          // The table normally holds the keys in this very order; look further only when
          // it does not.
          const size_t at = static_cast<size_t>(&k - keys.data());
          const PassValue* v = at < prefs.pass.size() && prefs.pass[at].group == k.group &&
                                       prefs.pass[at].key == k.key
                                   ? &prefs.pass[at]
                                   : prefs.find(k.group, k.key);
          // A value of the wrong kind (only possible if the table was edited by hand in
          // memory) is written as the key's zero value.
          writePassValue(w, v != nullptr && v->type == k.type ? *v : zeroValue(k), k.key);
        }
        break;
      case Section::Buses:
        for (int b = 0; b <= 8; ++b) {
          const BusEntry& e = prefs.busTable[b];
          w.integer(busKey(b, "Com"), toByte(e.port));
          w.integer(busKey(b, "Akt"), toByte(e.used));
          w.integer(busKey(b, "SX1"), e.sx1 != 0 ? 1 : 0);
        }
        break;
      case Section::Ports:
        for (int p = 1; p <= 8; ++p) {
          const PortConfig& c = prefs.portConfig[p];
          w.integer(portKey(p, "used"), toByte(c.used));
          w.integer(portKey(p, "Typ"), toByte(c.typeIndex));
          w.integer(portKey(p, "Baud"), c.baudIndex);
        }
        break;
      case Section::Windows:
        for (int i = 0; i < kStoredWindows; ++i) {
          const WindowPlacement& p = prefs.windowTable[i];
          w.integer(windowKey(i, 'X'), p.X);
          w.integer(windowKey(i, 'Y'), p.Y);
          w.integer(windowKey(i, 'B'), p.B);
          w.integer(windowKey(i, 'H'), p.H);
          w.integer(windowKey(i, 'M'), p.M);
        }
        break;
    }
    // Keys a sibling program added to this group follow the listed ones.
    for (const IniGroup& u : prefs.unknown) {
      if (!iequals(u.name, g.name)) continue;
      std::unordered_set<std::string> written;
      writeUnknownEntries(w, u, written);
    }
  }
  std::unordered_set<std::string> groupsWritten;
  for (const GroupSpec& g : kGroups) groupsWritten.insert(nameInFile(g.name));
  for (const IniGroup& u : prefs.unknown) {
    if (knownGroup(u.name) != nullptr || !groupsWritten.insert(nameInFile(u.name)).second)
      continue;
    w.comment();
    w.group(u.name);
    std::unordered_set<std::string> written;
    writeUnknownEntries(w, u, written);
  }
  w.comment();
  return utf8ToCp1252(w.text());
}

void readSuitePreferences(System& system, const ScreenMetrics& screen, SuitePreferences& prefs) {
  const std::optional<std::string> bytes = system.readFile(kSuitePreferencesFile);
  if (!bytes) {
    // Nothing is read and no default applies; only make sure every key can be written later.
    ensurePassTable(prefs);
    return;
  }
  parseSuitePreferences(*bytes, screen, prefs);
}

bool writeSuitePreferences(System& system, const SuitePreferences& prefs) {
  return system.writeFileAtomic(kSuitePreferencesFile, suitePreferencesBytes(prefs));
}

}  // namespace kw
