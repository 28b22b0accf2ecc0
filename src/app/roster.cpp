#include "app/roster.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/roster_window.h"
#include "config/ini.h"
#include "forms/parameter_form.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;
constexpr int kTitleText = 50;
constexpr int kForeignFileText = 52;
constexpr int kWriteFailedText = 53;

struct PageFields {
  int family;
  int subtype;  // -1: every sub-type of the family
  int address;  // field with the module's address
  int firmware; // field that shows the firmware version, 0 when none
};

// The turntable's address stands on its settings page and serves all its pages.
constexpr PageFields kPageFields[] = {
    {0, 15, 2029, 2028}, {0, 16, 2081, 2080}, {0, 17, 2147, 2146}, {1, 18, 2222, 2227},
    {1, 19, 2253, 2258}, {2, -1, 2291, 2299}, {3, -1, 2327, 2330}, {4, -1, 2339, 2340},
    {5, -1, 2515, 2518}, {6, -1, 2528, 0},    {7, -1, 2573, 0},    {8, -1, 2626, 0},
    {9, -1, 2607, 0}};

struct InnerPage {
  int family;
  int subtype;
  int tabs;
  int index;
};

constexpr InnerPage kInnerPages[] = {
    {0, 17, ctl::kFamily0Tabs, 0}, {0, 16, ctl::kFamily0Tabs, 1}, {0, 15, ctl::kFamily0Tabs, 2},
    {1, 19, ctl::kFamily1Tabs, 0}, {1, 18, ctl::kFamily1Tabs, 1}, {2, 11, ctl::kFamily2Tabs, 0},
    {2, 12, ctl::kFamily2Tabs, 1}, {2, 13, ctl::kFamily2Tabs, 2}, {4, 2348, ctl::kFamily4Tabs, 0},
    {4, 2350, ctl::kFamily4Tabs, 1}};

const PageFields* fieldsOf(int family, int subtype) {
  for (const PageFields& p : kPageFields)
    if (p.family == family && (p.subtype == -1 || p.subtype == subtype)) return &p;
  return nullptr;
}

const InnerPage* innerPageOf(int family, int subtype) {
  for (const InnerPage& p : kInnerPages)
    if (p.family == family && p.subtype == subtype) return &p;
  return nullptr;
}

bool onPage(const PageControl& c, int family, int subtype) {
  if (c.tabs == ctl::kFamilyTabs) return c.page == family;
  const InnerPage* inner = innerPageOf(family, subtype);
  return inner != nullptr && c.tabs == inner->tabs && c.page == inner->index;
}

enum class Keep { Text, Spin, List, FunctionList, State, None };

Keep keepOf(const PageControl& c) {
  switch (c.kind) {
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::ReadOnlyField:
    case ControlKind::DisplayField:
    case ControlKind::StatusLabel:
      return Keep::Text;
    case ControlKind::Spin:
      return Keep::Spin;
    case ControlKind::DropDown:
      return isFunctionList(c.id) ? Keep::FunctionList : Keep::List;
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::ToggleButton:
    case ControlKind::Slider:
      return Keep::State;
    default:
      return Keep::None;
  }
}

template <typename F>
void forPageControls(const AppContext& ctx, int family, int subtype, F&& f) {
  for (const PageControl& c : ctx.forms.pageControls)
    if (keepOf(c) != Keep::None && onPage(c, family, subtype)) f(c);
}

std::string valueOf(const AppContext& ctx, const PageControl& c) {
  Ui& ui = ctx.ui;
  switch (keepOf(c)) {
    case Keep::Text:
    case Keep::Spin:
      return ui.text(kMain, c.id);
    case Keep::FunctionList: {
      // The code, not the item: the sheet is the same in every language.
      const std::string item = ui.selection(kMain, c.id) < 0 ? "" : ui.text(kMain, c.id);
      return item.empty() ? std::string() : std::to_string(functionCode(item));
    }
    case Keep::List: {
      const int s = ui.selection(kMain, c.id);
      return s < 0 ? std::string() : std::to_string(s);
    }
    case Keep::State:
      return std::to_string(ui.state(kMain, c.id));
    case Keep::None:
      break;
  }
  return {};
}

void putValue(AppContext& ctx, const PageControl& c, const std::string& v) {
  Ui& ui = ctx.ui;
  switch (keepOf(c)) {
    case Keep::Text:
      ui.setText(kMain, c.id, v);
      break;
    case Keep::Spin:
      ui.setState(kMain, c.id, integerOf(v));
      ui.setText(kMain, c.id, v);
      break;
    case Keep::FunctionList:
      ui.setSelection(kMain, c.id, -1);
      if (!v.empty()) ui.selectByText(kMain, c.id, ctx.text(functionText(c.id, integerOf(v))));
      break;
    case Keep::List: {
      const int n = static_cast<int>(ui.items(kMain, c.id).size());
      const int s = v.empty() ? -1 : integerOf(v);
      ui.setSelection(kMain, c.id, s >= 0 && s < n ? s : -1);
      break;
    }
    case Keep::State:
      ui.setState(kMain, c.id, integerOf(v));
      break;
    case Keep::None:
      break;
  }
}

std::string timeStamp(const LocalTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return buf;
}

std::string interfaceOf(const AppContext& ctx) {
  const int port = ctx.suite.busTable[static_cast<size_t>(ctx.currentBus())].port;
  if (port < 1 || port > 8) return {};
  const int type = ctx.suite.portConfig[static_cast<size_t>(port)].typeIndex;
  const InterfaceTypes& types = ctx.busLink.interfaceTypes();
  std::string name = "COM" + std::to_string(port);
  if (type >= 0 && type < kInterfaceTypeCount) name += " " + types[static_cast<size_t>(type)].name;
  return name;
}

// What the read-out learnt beside the values, for the pages that use it when programming.
void keepModuleState(const AppContext& ctx, ModuleSheet& s) {
  if (s.family == 1 && s.subtype == 18) {
    s.legacyMode = ctx.forms.legacyMode ? 1 : 0;
    s.moduleVersion = ctx.module.moduleVersion;
    s.moduleVersionByte = ctx.module.moduleVersionByte;
  }
  if (s.family == 0 && (s.subtype == 16 || s.subtype == 17))
    s.moduleModeFlag = ctx.module.moduleModeFlag;
}

void tell(AppContext& ctx, int text, const std::string& detail, int icon) {
  ctx.ui.messageBox(win::kMain, ctx.text(kTitleText), ctx.text(text) + "\n" + detail,
                    mb::kOk | icon);
}

std::string shownPath(AppContext& ctx, const std::string& fileName) {
  return ctx.system.currentDirectory() + kRosterFolder + "/" + fileName;
}

}  // namespace

std::string rosterPath(const std::string& fileName) {
  return std::string(kRosterFolder) + "/" + fileName;
}

std::string controlCaption(const AppContext& ctx, int control) {
  for (const PageControl& c : ctx.forms.pageControls)
    if (c.id == control) return c.caption;
  return {};
}

SheetPage pageValues(const AppContext& ctx, int family, int subtype) {
  SheetPage p{family, subtype, {}};
  forPageControls(ctx, family, subtype,
                  [&](const PageControl& c) { p.values.emplace_back(c.id, valueOf(ctx, c)); });
  return p;
}

void fillPage(AppContext& ctx, const SheetPage& page) {
  forPageControls(ctx, page.family, page.subtype, [&](const PageControl& c) {
    if (const std::string* v = page.value(c.id)) putValue(ctx, c, *v);
  });
}

std::optional<int> pageAddress(const AppContext& ctx, int family, int subtype) {
  const PageFields* f = fieldsOf(family, subtype);
  if (f == nullptr) return std::nullopt;
  std::string t = ctx.ui.text(kMain, f->address);
  t.erase(0, std::min(t.find_first_not_of(' '), t.size()));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int a = std::stoi(t);
  if (a > kSheetHighestAddress) return std::nullopt;
  return a;
}

bool writeSheet(AppContext& ctx, const std::string& fileName, const ModuleSheet& sheet) {
  System& sys = ctx.system;
  const std::string path = rosterPath(fileName);
  sys.makeFolder(kRosterFolder);
  const std::string bytes =
      moduleSheetBytes(sheet, [&ctx](int control) { return controlCaption(ctx, control); });
  const std::optional<std::string> previous = sys.readFile(path);
  // The previous sheet goes to the backup first; without a backup nothing is replaced.
  const bool ok = (!previous || *previous == bytes ||
                   sys.writeFileAtomic(path + kSheetBackupSuffix, *previous)) &&
                  sys.writeFileAtomic(path, bytes);
  if (!ok) {
    const std::string why = lastSystemError();
    tell(ctx, kWriteFailedText, shownPath(ctx, fileName) + (why.empty() ? "" : "\n\n" + why),
         mb::kIconWarning);
  }
  return ok;
}

void keepModuleSheet(AppContext& ctx, SheetEvent event) {
  const int family = ctx.form.currentFamily;
  const int subtype = currentSubtype(ctx);
  if (!sheetPageKnown(family, subtype)) return;
  std::optional<int> address = pageAddress(ctx, family, subtype);
  // A module whose address is not among what it answers is the one the switch named.
  const int switched = ctx.module.switchedAddress;
  if (!address && switched >= 0 && switched <= kSheetHighestAddress) address = switched;
  if (!address) return;  // nothing to find the module by
  const int bus = ctx.currentBus();
  const std::string fileName = sheetFileName(bus, *address);

  ModuleSheet sheet;
  if (const std::optional<std::string> bytes = ctx.system.readFile(rosterPath(fileName))) {
    const SheetRead old = parseModuleSheet(*bytes);
    if (!old.sheet || old.sheet->bus != bus || old.sheet->address != *address) {
      tell(ctx, kForeignFileText, shownPath(ctx, fileName), mb::kIconWarning);
      return;
    }
    // Another kind of module at this address is another module: it starts a sheet of its
    // own (the old one stays as the backup). The turntable's pages and the two extension
    // tables of family 4 are pages of one module.
    const bool pagesOfOneModule = family == 2 || family == 4;
    if (old.sheet->family == family && (pagesOfOneModule || old.sheet->subtype == subtype))
      sheet = *old.sheet;
  }
  sheet.bus = bus;
  sheet.address = *address;
  sheet.family = family;
  sheet.subtype = subtype;
  if (const PageFields* f = fieldsOf(family, subtype); f != nullptr && f->firmware != 0)
    sheet.firmware = ctx.ui.text(kMain, f->firmware);
  sheet.interfaceName = interfaceOf(ctx);
  (event == SheetEvent::Read ? sheet.lastRead : sheet.lastProgrammed) =
      timeStamp(ctx.clock.localTime());
  keepModuleState(ctx, sheet);
  SheetPage& page = sheet.pageFor(subtype);
  page = pageValues(ctx, family, subtype);
  if (writeSheet(ctx, fileName, sheet)) refreshRosterWindow(ctx);
}

std::vector<RosterEntry> readRoster(AppContext& ctx) {
  std::vector<RosterEntry> entries;
  const std::string ext = kSheetExtension;
  for (const std::string& name : ctx.system.listFolder(kRosterFolder)) {
    if (name.size() <= ext.size() || !iequals(name.substr(name.size() - ext.size()), ext))
      continue;
    RosterEntry e;
    e.file = name;
    const std::optional<std::string> bytes = ctx.system.readFile(rosterPath(name));
    SheetRead r = bytes ? parseModuleSheet(*bytes) : SheetRead{std::nullopt, SheetProblem::NotASheet};
    e.problem = r.problem;
    e.sheet = std::move(r.sheet);
    if (e.sheet) e.misnamed = !iequals(name, sheetFileName(e.sheet->bus, e.sheet->address));
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(),
            [](const RosterEntry& a, const RosterEntry& b) { return a.file < b.file; });
  std::map<std::pair<int, int>, int> owners;
  for (const RosterEntry& e : entries)
    if (e.sheet) ++owners[{e.sheet->bus, e.sheet->address}];
  for (RosterEntry& e : entries)
    if (e.sheet) e.duplicate = owners[{e.sheet->bus, e.sheet->address}] > 1;
  return entries;
}

}  // namespace kw
