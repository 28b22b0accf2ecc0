#include "app/roster_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/context.h"
#include "app/roster.h"
#include "app/shell.h"
#include "forms/families.h"
#include "forms/parameter_form.h"
#include "programming/engine.h"

namespace kw {

namespace {

using namespace roster;

constexpr int kWindow = win::kRoster;
constexpr int kWidth = 760;
constexpr int kHeight = 420;
constexpr int kTitleText = 50;
constexpr int kFirstColumnText = 54;  // 54..60
constexpr int kFilterText = 61;
constexpr int kOpenText = 62;
constexpr int kDeleteText = 63;
constexpr int kDeleteQuestion = 64;
constexpr int kNameText = 65;
constexpr int kNoteText = 66;
constexpr int kSaveText = 67;
constexpr int kDeleteFailedText = 74;
constexpr int kCompareText = 75;
constexpr int kOfText = 76;
constexpr int kDifferText = 77;
constexpr int kModuleValueText = 78;

// Tab captions of the families and of the sub-types, as the form shows them.
constexpr int kFamilyCaption[kFamilyCount] = {120, 200, 270, 680, 724, 350, 370, 410, 480, 460, 490};
struct SubtypeCaption {
  int subtype;
  int text;
};
constexpr SubtypeCaption kSubtypeCaptions[] = {{15, 180},  {16, 181},   {17, 184},  {18, 255},
                                               {19, 256},  {11, 271},   {12, 301},  {13, 317},
                                               {2348, 757}, {2350, 787}};

struct PageTab {
  int family;
  int subtype;
  int tabs;
  int index;
  void (*onTab)(AppContext&, int);
};
constexpr PageTab kPageTabs[] = {
    {0, 17, ctl::kFamily0Tabs, 0, onFamily0Tab}, {0, 16, ctl::kFamily0Tabs, 1, onFamily0Tab},
    {0, 15, ctl::kFamily0Tabs, 2, onFamily0Tab}, {1, 19, ctl::kFamily1Tabs, 0, onFamily1Tab},
    {1, 18, ctl::kFamily1Tabs, 1, onFamily1Tab}, {2, 11, ctl::kFamily2Tabs, 0, onFamily2Tab},
    {2, 12, ctl::kFamily2Tabs, 1, onFamily2Tab}, {2, 13, ctl::kFamily2Tabs, 2, onFamily2Tab},
    {4, 2348, ctl::kFamily4Tabs, 0, nullptr},    {4, 2350, ctl::kFamily4Tabs, 1, nullptr}};

std::string moduleText(const AppContext& ctx, const ModuleSheet& s) {
  std::string t = ctx.text(kFamilyCaption[s.family]);
  for (const SubtypeCaption& c : kSubtypeCaptions)
    if (c.subtype == s.subtype && s.family != 3 && s.family < 5) t += " / " + ctx.text(c.text);
  return t;
}

std::string problemText(const AppContext& ctx, const RosterEntry& e) {
  switch (e.problem) {
    case SheetProblem::NotASheet: return ctx.text(68);
    case SheetProblem::NewerFormat: return ctx.text(69);
    case SheetProblem::BadPlace: return ctx.text(70);
    case SheetProblem::UnknownModule: return ctx.text(71);
    case SheetProblem::None: break;
  }
  if (e.duplicate) return ctx.text(72);
  if (e.misnamed) return ctx.text(73);
  return {};
}

std::string pad3(int v) {
  std::string s = std::to_string(v);
  return std::string(s.size() < 3 ? 3 - s.size() : 0, '0') + s;
}

// The cells of a row; a file that is no sheet shows its name and what is wrong with it.
std::vector<std::string> cellsOf(const AppContext& ctx, const RosterEntry& e) {
  const std::string problem = problemText(ctx, e);
  if (!e.sheet) return {"", "", e.file, "", problem, "", ""};
  const ModuleSheet& s = *e.sheet;
  const std::string note = problem.empty() ? s.note : problem + " (" + e.file + ")" +
                                                          (s.note.empty() ? "" : ": " + s.note);
  return {std::to_string(s.bus), pad3(s.address), moduleText(ctx, s), s.name, note,
          s.lastRead, s.lastProgrammed};
}

std::string folded(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool matches(const std::vector<std::string>& cells, const std::string& filter) {
  if (filter.empty()) return true;
  for (const std::string& c : cells)
    if (folded(c).find(filter) != std::string::npos) return true;
  return false;
}

std::string joined(const std::vector<std::string>& cells) {
  std::string row;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) row += kCellSeparator;
    std::string c = cells[i];
    std::replace(c.begin(), c.end(), kCellSeparator, ' ');
    row += c;
  }
  return row;
}

std::string chosenFile(const AppContext& ctx) {
  const int row = ctx.ui.selection(kWindow, kList);
  const auto& files = ctx.roster.shownFiles;
  return row >= 0 && row < static_cast<int>(files.size()) ? files[static_cast<size_t>(row)]
                                                          : std::string();
}

std::optional<ModuleSheet> chosenSheet(AppContext& ctx) {
  const std::string file = chosenFile(ctx);
  if (file.empty()) return std::nullopt;
  const std::optional<std::string> bytes = ctx.system.readFile(rosterPath(file));
  if (!bytes) return std::nullopt;
  return parseModuleSheet(*bytes).sheet;
}

void showChosen(AppContext& ctx) {
  const std::optional<ModuleSheet> s = chosenSheet(ctx);
  ctx.ui.setText(kWindow, kName, s ? s->name : "");
  ctx.ui.setText(kWindow, kNote, s ? s->note : "");
  for (int c : {kName, kNote, kSaveNames, kOpenInForm, kCompare})
    ctx.ui.setEnabled(kWindow, c, s.has_value());
  ctx.ui.setEnabled(kWindow, kDelete, !chosenFile(ctx).empty());
}

void add(Ui& ui, ControlKind kind, int id, Rect r, const std::string& text,
         std::vector<std::string> items = {}) {
  ControlSpec s;
  s.kind = kind;
  s.id = id;
  s.rect = r;
  s.text = text;
  s.items = std::move(items);
  ui.createControl(kWindow, s);
}

void showPage(AppContext& ctx, int family, int subtype) {
  Ui& ui = ctx.ui;
  ui.setState(win::kMain, ctl::kFamilyTabs, family);
  onFamilyTab(ctx, family);
  for (const PageTab& p : kPageTabs) {
    if (p.family != family || p.subtype != subtype) continue;
    ui.setState(win::kMain, p.tabs, p.index);
    if (p.onTab) p.onTab(ctx, p.index);
  }
  if (family == 2) ctx.form.subtypeFamily2 = subtype;
  selectionFromTabs(ctx);
}

// The colour a control of the form has when nothing marks it.
Colour usualBackground(ControlKind kind) {
  switch (kind) {
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::Spin:
    case ControlKind::DropDown: return colour::kInputYellow;
    case ControlKind::DisplayField: return colour::kDisplayGrey;
    default: return kNoColour;
  }
}

// Takes back the marks and tooltips of the last comparison.
void clearMarks(AppContext& ctx) {
  for (int id : ctx.roster.marked)
    for (const PageControl& c : ctx.forms.pageControls)
      if (c.id == id) {
        ctx.ui.setBackground(win::kMain, id, usualBackground(c.kind));
        ctx.ui.setTooltip(win::kMain, id, c.caption, "", 0);
      }
  ctx.roster.marked.clear();
}

void openSheet(AppContext& ctx, const ModuleSheet& s) {
  clearMarks(ctx);
  const SheetPage* shown = s.page(s.subtype);
  showPage(ctx, s.family, s.subtype);
  clearForm(ctx, false);
  // Every page of the module the sheet holds; the one last read or programmed is shown.
  for (const SheetPage& p : s.pages) fillPage(ctx, p);
  if (shown) fillPage(ctx, *shown);
  if (s.family == 1 && s.subtype == 18 && s.legacyMode >= 0) setLegacyMode(ctx, s.legacyMode != 0);
  if (s.moduleVersion >= 0) ctx.module.moduleVersion = static_cast<uint8_t>(s.moduleVersion);
  if (s.moduleVersionByte >= 0)
    ctx.module.moduleVersionByte = static_cast<uint8_t>(s.moduleVersionByte);
  if (s.moduleModeFlag >= 0) ctx.module.moduleModeFlag = static_cast<uint8_t>(s.moduleModeFlag);
}

// Ends the comparison flag whichever way the read-out returns.
struct Comparing {
  explicit Comparing(AppContext& c) : ctx(c) { ctx.roster.comparing = true; }
  ~Comparing() { ctx.roster.comparing = false; }
  Comparing(const Comparing&) = delete;
  Comparing& operator=(const Comparing&) = delete;
  AppContext& ctx;
};

}  // namespace

void openRosterWindow(AppContext& ctx) {
  Ui& ui = ctx.ui;
  WindowPlacement& place = ctx.suite.windowTable[kPlacement];
  WindowSpec desc;
  desc.owner = win::kMain;
  desc.title = ctx.text(kTitleText);
  desc.rect = {place.X, place.Y, kWidth, kHeight};
  desc.centred = place.X == 0 && place.Y == 0;
  desc.visible = false;
  if (!ui.openWindow(kWindow, desc)) return;
  std::vector<std::string> headings;
  for (int i = 0; i < kColumns; ++i) headings.push_back(ctx.text(kFirstColumnText + i));
  add(ui, ControlKind::Label, kFilterLabel, {8, 11, 60, 16}, ctx.text(kFilterText));
  add(ui, ControlKind::TextField, kFilter, {70, 8, 220, 21}, "");
  add(ui, ControlKind::ListView, kList, {8, 36, 736, 262}, ctx.text(kTitleText), headings);
  add(ui, ControlKind::Label, kNameLabel, {8, 309, 60, 16}, ctx.text(kNameText));
  add(ui, ControlKind::TextField, kName, {70, 306, 200, 21}, "");
  add(ui, ControlKind::Label, kNoteLabel, {280, 309, 50, 16}, ctx.text(kNoteText));
  add(ui, ControlKind::TextField, kNote, {332, 306, 250, 21}, "");
  add(ui, ControlKind::Button, kSaveNames, {590, 304, 154, 25}, ctx.text(kSaveText));
  add(ui, ControlKind::Button, kOpenInForm, {8, 340, 180, 26}, ctx.text(kOpenText));
  add(ui, ControlKind::Button, kDelete, {196, 340, 110, 26}, ctx.text(kDeleteText));
  add(ui, ControlKind::Button, kCompare, {314, 340, 170, 26}, ctx.text(kCompareText));
  add(ui, ControlKind::StatusLabel, kStatus, {492, 345, 252, 18}, "");
  refreshRosterWindow(ctx);
  ui.showWindow(kWindow, true);
}

void closeRosterWindow(AppContext& ctx) {
  if (!ctx.ui.windowOpen(kWindow)) return;
  const Rect r = ctx.ui.windowRect(kWindow);
  ctx.suite.windowTable[kPlacement].X = r.x;
  ctx.suite.windowTable[kPlacement].Y = r.y;
  ctx.ui.closeWindow(kWindow);
}

void toggleRosterWindow(AppContext& ctx) {
  if (ctx.ui.windowOpen(kWindow)) {
    closeRosterWindow(ctx);
  } else {
    openRosterWindow(ctx);
  }
}

void refreshRosterWindow(AppContext& ctx) {
  Ui& ui = ctx.ui;
  if (!ui.windowOpen(kWindow)) return;
  const std::string chosen = chosenFile(ctx);
  const std::string filter = folded(ui.text(kWindow, kFilter));
  struct Row {
    std::string file;
    std::vector<std::string> cells;
  };
  std::vector<Row> rows;
  for (const RosterEntry& e : readRoster(ctx)) {
    std::vector<std::string> cells = cellsOf(ctx, e);
    if (matches(cells, filter)) rows.push_back({e.file, std::move(cells)});
  }
  const size_t column = static_cast<size_t>(std::clamp(ctx.roster.sortColumn, 0, kColumns - 1));
  const bool descending = ctx.roster.descending;
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return descending ? folded(b.cells[column]) < folded(a.cells[column])
                      : folded(a.cells[column]) < folded(b.cells[column]);
  });
  std::vector<std::string> items;
  ctx.roster.shownFiles.clear();
  for (const Row& r : rows) {
    items.push_back(joined(r.cells));
    ctx.roster.shownFiles.push_back(r.file);
  }
  ui.setItems(kWindow, kList, items);
  const auto& files = ctx.roster.shownFiles;
  const auto again = std::find(files.begin(), files.end(), chosen);
  ui.setSelection(kWindow, kList, again == files.end() ? -1 : static_cast<int>(again - files.begin()));
  ui.setText(kWindow, kStatus, std::to_string(rows.size()) + " / " + std::to_string(files.size()));
  showChosen(ctx);
}

void openChosenSheet(AppContext& ctx) {
  if (ctx.runDepth > 0) return;  // the form belongs to the run under way
  const std::optional<ModuleSheet> s = chosenSheet(ctx);
  if (s) openSheet(ctx, *s);
}

void compareChosenSheet(AppContext& ctx) {
  if (ctx.runDepth > 0) return;
  const std::optional<ModuleSheet> s = chosenSheet(ctx);
  if (!s || !s->page(s->subtype)) return;
  const SheetPage sheetPage = *s->page(s->subtype);
  openSheet(ctx, *s);
  bool complete = false;
  {
    Comparing scope(ctx);
    complete = readModule(ctx);
  }
  const SheetPage modulePage = pageValues(ctx, s->family, s->subtype);
  openSheet(ctx, *s);  // the form holds the sheet's values again, for Program
  if (!complete) {
    ctx.ui.setText(kWindow, kStatus, "");
    return;
  }
  int compared = 0;
  int differing = 0;
  for (const auto& [control, value] : modulePage.values) {
    const std::string* kept = sheetPage.value(control);
    if (!kept) continue;
    ++compared;
    if (*kept == value) continue;
    ++differing;
    ctx.roster.marked.push_back(control);
    ctx.ui.setBackground(win::kMain, control, colour::kCompareOrange);
    ctx.ui.setTooltip(win::kMain, control,
                      controlCaption(ctx, control) + "\n" + ctx.text(kModuleValueText) + value, "",
                      0);
  }
  ctx.ui.setText(kWindow, kStatus,
                 std::to_string(differing) + ctx.text(kOfText) + std::to_string(compared) +
                     ctx.text(kDifferText));
}

void deleteChosenSheet(AppContext& ctx) {
  const std::string file = chosenFile(ctx);
  if (file.empty()) return;
  const std::string shown = ctx.system.currentDirectory() + rosterPath(file);
  if (ctx.ui.messageBox(kWindow, ctx.text(kTitleText), ctx.text(kDeleteQuestion) + "\n" + shown,
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  if (!ctx.system.removeFile(rosterPath(file)))
    ctx.ui.messageBox(kWindow, ctx.text(kTitleText), ctx.text(kDeleteFailedText) + "\n" + shown,
                      mb::kOk | mb::kIconWarning);
  refreshRosterWindow(ctx);
}

void saveChosenNames(AppContext& ctx) {
  std::optional<ModuleSheet> s = chosenSheet(ctx);
  if (!s) return;
  s->name = ctx.ui.text(kWindow, kName);
  s->note = ctx.ui.text(kWindow, kNote);
  writeSheet(ctx, chosenFile(ctx), *s);
  refreshRosterWindow(ctx);
}

void registerRosterRows(Dispatcher& d) {
  d.onMenu(menu::kRoster, [](AppContext& c, const UiEvent&) { toggleRosterWindow(c); });
  d.onClose(kWindow, [](AppContext& c, const UiEvent&) { closeRosterWindow(c); });
  d.onControl(kWindow, kFilter, kFilter, EventType::TextChanged,
              [](AppContext& c, const UiEvent&) { refreshRosterWindow(c); });
  d.onControl(kWindow, kList, kList, EventType::SelectionChanged,
              [](AppContext& c, const UiEvent&) { showChosen(c); });
  d.onControl(kWindow, kList, kList, EventType::ColumnClick, [](AppContext& c, const UiEvent& e) {
    // The same heading again turns the order round.
    c.roster.descending = c.roster.sortColumn == e.value && !c.roster.descending;
    c.roster.sortColumn = e.value;
    refreshRosterWindow(c);
  });
  d.onControl(kWindow, kSaveNames, kSaveNames, EventType::Click,
              [](AppContext& c, const UiEvent&) { saveChosenNames(c); });
  d.onControl(kWindow, kOpenInForm, kOpenInForm, EventType::Click,
              [](AppContext& c, const UiEvent&) { openChosenSheet(c); });
  d.onControl(kWindow, kCompare, kCompare, EventType::Click,
              [](AppContext& c, const UiEvent&) { compareChosenSheet(c); });
  d.onControl(kWindow, kDelete, kDelete, EventType::Click,
              [](AppContext& c, const UiEvent&) { deleteChosenSheet(c); });
}

}  // namespace kw
