// The roster window: reached by the menu, lists the sheets of the folder (problems named),
// sorts by the clicked column, filters, follows sheets kept meanwhile, fills the form from
// a sheet without the bus, keeps name and note in the sheet, deletes only after Yes.
#include <gtest/gtest.h>

#include "app/roster.h"
#include "app/roster_window.h"
#include "app/shell.h"
#include "forms/parameter_form.h"
#include "programming/module_fixture.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

constexpr int kW = win::kRoster;

std::string sheetBytes(int bus, int address, int family, int subtype, const std::string& name,
                       const std::string& values) {
  return "[Modul]\r\nBus = " + std::to_string(bus) + "\r\nAdresse = " + std::to_string(address) +
         "\r\nFamilie = " + std::to_string(family) + "\r\nUntertyp = " + std::to_string(subtype) +
         "\r\nName = " + name + "\r\nGelesen = 2026-01-0" + std::to_string(address % 9 + 1) +
         " 10:00:00\r\n[Werte" + std::to_string(family) + "-" + std::to_string(subtype) +
         "]\r\n" + values;
}

struct WindowHarness : ModuleHarness {
  WindowHarness() {
    sim::addStandardLayout(bus());
    system.files[rosterPath("SX0-016.kwm")] =
        sheetBytes(0, 16, 3, 0, "Weichen Nord", "2327 = 016\r\n2328 = 0.70\r\n2329 = 3\r\n");
    system.files[rosterPath("SX1-005.kwm")] =
        sheetBytes(1, 5, 0, 15, "Bahnhof", "2022 = 011\r\n2025 = 5\r\n2029 = 5\r\n");
    system.files[rosterPath("SX0-031.kwm")] = sheetBytes(0, 31, 6, 0, "Gruppe", "2528 = 031\r\n");
    system.files[rosterPath("Alt.kwm")] = "-8321-\r\n";
  }
  std::vector<std::string> column(int c) const {
    std::vector<std::string> out;
    for (const std::string& row : ui.items(kW, roster::kList)) {
      size_t start = 0;
      for (int i = 0; i < c; ++i) start = row.find(kCellSeparator, start) + 1;
      out.push_back(row.substr(start, row.find(kCellSeparator, start) - start));
    }
    return out;
  }
  void choose(const std::string& file) {
    const auto& files = ctx->roster.shownFiles;
    const int row = static_cast<int>(std::find(files.begin(), files.end(), file) - files.begin());
    ui.setSelection(kW, roster::kList, row);
    ui.inject({EventType::SelectionChanged, kW, roster::kList, row});
    run(60);
  }
};

TEST(RosterWindow, ListsSortsFiltersAndFollowsTheFolder) {
  WindowHarness h;
  h.boot();
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kRoster, 0});
  h.run(60);
  ASSERT_TRUE(h.ui.windowOpen(kW));
  const HeadlessControl* list = h.ui.control(kW, roster::kList);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->desc.kind, ControlKind::ListView);
  EXPECT_EQ(list->desc.text, h.ctx->text(50));  // its accessible name
  ASSERT_EQ(list->desc.items.size(), 7u);
  EXPECT_EQ(list->desc.items[6], h.ctx->text(60));

  // By address at first; the file that is no sheet shows its name and what is wrong.
  EXPECT_EQ(h.column(1), (std::vector<std::string>{"", "005", "016", "031"}));
  EXPECT_EQ(h.column(2)[0], "Alt.kwm");
  EXPECT_EQ(h.column(4)[0], h.ctx->text(68));
  EXPECT_EQ(h.column(3)[1], "Bahnhof");

  struct Step {
    const char* name;
    UiEvent event;
    std::vector<std::string> names;  // column 3 afterwards
  };
  const Step steps[] = {
      {"by name", {EventType::ColumnClick, kW, roster::kList, 3}, {"", "Bahnhof", "Gruppe", "Weichen Nord"}},
      {"by name, reversed", {EventType::ColumnClick, kW, roster::kList, 3}, {"Weichen Nord", "Gruppe", "Bahnhof", ""}},
      {"by bus", {EventType::ColumnClick, kW, roster::kList, 0}, {"", "Weichen Nord", "Gruppe", "Bahnhof"}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    h.ui.inject(s.event);
    h.run(60);
    EXPECT_EQ(h.column(3), s.names);
  }
  h.ui.setText(kW, roster::kFilter, "NORD");
  h.ui.inject({EventType::TextChanged, kW, roster::kFilter, 0});
  h.run(60);
  EXPECT_EQ(h.column(3), (std::vector<std::string>{"Weichen Nord"}));
  h.ui.setText(kW, roster::kFilter, "");
  h.ui.inject({EventType::TextChanged, kW, roster::kFilter, 0});
  h.run(60);

  // A read-out while the window is open: its sheet appears at once.
  h.showFamily(3);
  h.setText(2327, "16");
  h.ui.answerNext(mb::kAnswerYes);
  h.press(2332, 3000);
  h.system.files.erase(rosterPath("SX0-016.kwm"));
  refreshRosterWindow(*h.ctx);
  EXPECT_EQ(h.ui.items(kW, roster::kList).size(), 3u);
  h.press(ctl::kRead, 40000);
  EXPECT_EQ(h.ui.items(kW, roster::kList).size(), 4u);
  EXPECT_EQ(h.column(1)[1], "016");

  // The window keeps its place for the next opening.
  h.ui.moveWindow(kW, 300, 200);
  h.ui.inject({EventType::CloseBox, kW, 0, 0});
  h.run(60);
  EXPECT_FALSE(h.ui.windowOpen(kW));
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kRoster, 0});
  h.run(60);
  EXPECT_EQ(h.ui.windowRect(kW).x, 300);
  EXPECT_EQ(h.ui.windowRect(kW).y, 200);
}

TEST(RosterWindow, OpensASheetInTheFormKeepsNamesAndDeletesAfterYes) {
  WindowHarness h;
  h.boot();
  openRosterWindow(*h.ctx);
  h.choose("SX1-005.kwm");
  EXPECT_EQ(h.ui.text(kW, roster::kName), "Bahnhof");

  const size_t writes = h.writes.size();
  h.ui.inject({EventType::Click, kW, roster::kOpenInForm, 0});
  h.run(60);
  EXPECT_EQ(h.writes.size(), writes);  // nothing on the bus
  EXPECT_EQ(h.ui.state(win::kMain, ctl::kFamilyTabs), 0);
  EXPECT_EQ(h.ui.state(win::kMain, ctl::kFamily0Tabs), 2);
  EXPECT_EQ(h.ctx->form.subtypeFamily0, 15);
  EXPECT_EQ(h.text(2022), "011");
  EXPECT_EQ(h.text(2025), h.ctx->text(155));
  EXPECT_EQ(h.text(2029), "5");
  EXPECT_EQ(h.text(2023), "");  // not in the sheet: emptied

  h.ui.setText(kW, roster::kName, "Bahnhof S\xC3\xBC" "d");
  h.ui.setText(kW, roster::kNote, "  zwei Gleise ");
  h.ui.inject({EventType::Click, kW, roster::kSaveNames, 0});
  h.run(60);
  const auto saved = parseModuleSheet(h.system.files[rosterPath("SX1-005.kwm")]).sheet;
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->name, "Bahnhof S\xC3\xBC" "d");
  EXPECT_EQ(saved->note, "  zwei Gleise ");
  EXPECT_EQ(saved->page(15)->values.size(), 3u);
  EXPECT_TRUE(h.system.files.count(rosterPath("SX1-005.kwm.bak")));

  h.ui.answerNext(mb::kAnswerNo);
  h.ui.inject({EventType::Click, kW, roster::kDelete, 0});
  h.run(60);
  EXPECT_TRUE(h.system.files.count(rosterPath("SX1-005.kwm")));
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.inject({EventType::Click, kW, roster::kDelete, 0});
  h.run(60);
  EXPECT_FALSE(h.system.files.count(rosterPath("SX1-005.kwm")));
  EXPECT_EQ(h.ui.items(kW, roster::kList).size(), 3u);
  EXPECT_EQ(h.ui.messages.back().text,
            h.ctx->text(64) + "\n/home/user/layout/Roster/SX1-005.kwm");
}

// Read a module (its sheet is kept), compare: nothing differs; change one value in the
// module, compare: exactly that field is marked, the form keeps the sheet's value.
TEST(RosterWindow, CompareMarksExactlyTheFieldsTheModuleHoldsOtherwise) {
  struct Case {
    const char* name;
    int family, innerTab, subtype, modeButton, addressField;
    const char* address;
    const char* file;
    int parameter;  // changed in the module: a1 + 1
    int field;      // the field that shows it
  };
  const Case cases[] = {
      {"switching module A", 3, -1, 0, 2332, 2327, "16", "SX0-016.kwm", 3, 2329},
      {"function module 15", 0, 2, 15, 2218, 2140, "12", "SX0-012.kwm", 24, 2029},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    sim::addStandardLayout(h.bus());
    h.boot();
    h.showFamily(c.family, c.innerTab);
    h.setText(c.addressField, c.address);
    h.ui.answerNext(mb::kAnswerYes);
    if (c.family != 3) h.ui.answerNext(mb::kAnswerNo);
    h.press(c.modeButton, 3000);
    ASSERT_EQ(h.ctx->bus.programmingMode.load(), 1);
    h.press(ctl::kRead, 40000);
    const auto sheet = parseModuleSheet(h.system.files[rosterPath(c.file)]).sheet;
    ASSERT_TRUE(sheet);
    const std::string sheetBytes = h.system.files[rosterPath(c.file)];
    const size_t values = sheet->page(c.subtype)->values.size();

    openRosterWindow(*h.ctx);
    ASSERT_EQ(h.ctx->roster.shownFiles.size(), 1u);
    h.ui.setSelection(kW, roster::kList, 0);
    const std::string of = h.ctx->text(76);
    const std::string differ = h.ctx->text(77);
    h.ui.inject({EventType::Click, kW, roster::kCompare, 0});
    h.run(40000);
    EXPECT_EQ(h.ui.text(kW, roster::kStatus), "0" + of + std::to_string(values) + differ);
    EXPECT_TRUE(h.ctx->roster.marked.empty());

    auto module = sim::findModule(h.bus(), c.family, c.subtype);
    ASSERT_TRUE(module);
    const auto old = module->parameter(c.parameter);
    module->setParameter(c.parameter, static_cast<uint8_t>(old[0] + 1), old[1], old[2]);
    const std::string kept = h.text(c.field);
    h.ui.inject({EventType::Click, kW, roster::kCompare, 0});
    h.run(40000);
    EXPECT_EQ(h.ui.text(kW, roster::kStatus), "1" + of + std::to_string(values) + differ);
    EXPECT_EQ(h.ctx->roster.marked, std::vector<int>{c.field});
    EXPECT_EQ(h.ui.control(win::kMain, c.field)->background, colour::kCompareOrange);
    EXPECT_EQ(h.text(c.field), kept);  // the sheet's value, for Program
    const std::string tip = h.ui.control(win::kMain, c.field)->tooltip;
    EXPECT_NE(tip.find(h.ctx->text(78)), std::string::npos) << tip;
    // The comparison's read-out does not replace the sheet.
    EXPECT_EQ(h.system.files[rosterPath(c.file)], sheetBytes);
  }
}

}  // namespace
}  // namespace kw::test
