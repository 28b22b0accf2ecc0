// Module sheets of the roster: kept by complete read-outs and programming runs on the
// simulated layout, never by cancelled or refused ones, and never over a file that is no
// sheet of that module; the file format read back the way it was written and the way a
// person may have edited it.
#include <gtest/gtest.h>

#include "app/roster.h"
#include "forms/parameter_form.h"
#include "programming/module_fixture.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

struct RosterHarness : ModuleHarness {
  RosterHarness() { sim::addStandardLayout(bus()); }

  std::optional<std::string> file(const std::string& name) {
    auto it = system.files.find(rosterPath(name));
    if (it == system.files.end()) return std::nullopt;
    return it->second;
  }
  std::optional<ModuleSheet> sheet(const std::string& name) {
    const auto bytes = file(name);
    if (!bytes) return std::nullopt;
    return parseModuleSheet(*bytes).sheet;
  }
};

// A module of the standard layout, brought into programming mode the way a user does it.
struct Page {
  const char* name;
  int family;
  int innerTab;
  int subtype;
  int modeButton;  // 0: the module's key
  int addressField;
  const char* address;
  const char* file;
};

const Page kPages[] = {
    {"function module 15", 0, 2, 15, 2218, 2140, "12", "SX0-012.kwm"},
    {"servo module 19", 1, 0, 19, 2287, 2253, "13", "SX0-013.kwm"},
    {"switching module A", 3, -1, 0, 2332, 2327, "16", "SX0-016.kwm"},
    {"group module by key", 6, -1, 0, 0, 0, "", "SX0-031.kwm"},
};

void enterProgrammingMode(RosterHarness& h, const Page& p) {
  h.showFamily(p.family, p.innerTab);
  if (p.modeButton != 0) {
    h.setText(p.addressField, p.address);
    h.ui.answerNext(mb::kAnswerYes);                         // switch on
    if (p.family != 3) h.ui.answerNext(mb::kAnswerNo);       // no read-out yet
    h.press(p.modeButton, 3000);
  } else {
    ASSERT_TRUE(sim::pressProgrammingKey(h.bus(), p.family));
    h.run(200);
  }
  ASSERT_EQ(h.ctx->bus.programmingMode.load(), 1);
}

TEST(ModuleSheets, ReadOutAndProgrammingKeepTheSheetAndItFillsThePageAgain) {
  for (const Page& p : kPages) {
    SCOPED_TRACE(p.name);
    RosterHarness h;
    h.boot();
    enterProgrammingMode(h, p);
    ASSERT_FALSE(h.file(p.file));
    h.press(ctl::kRead, 40000);
    ASSERT_TRUE(h.unlocked());
    const auto read = h.sheet(p.file);
    ASSERT_TRUE(read) << "no sheet after the read-out";
    EXPECT_EQ(read->bus, 0);
    EXPECT_EQ(read->family, p.family);
    EXPECT_EQ(read->subtype, p.subtype);
    EXPECT_EQ(read->lastRead.size(), 19u);
    EXPECT_EQ(read->lastProgrammed, "");
    EXPECT_EQ(read->interfaceName.rfind("COM1 ", 0), 0u) << read->interfaceName;
    const SheetPage shown = pageValues(*h.ctx, p.family, p.subtype);
    ASSERT_TRUE(read->page(p.subtype));
    EXPECT_EQ(*read->page(p.subtype), shown);
    EXPECT_GT(shown.values.size(), 2u);
    // Every control number comes with its caption in a comment line above it.
    const std::string bytes = *h.file(p.file);
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF; Kantelwerk Modulblatt\r\n", 0), 0u);

    // The sheet puts the page back as it was read, without the bus.
    clearForm(*h.ctx, false);
    ASSERT_NE(pageValues(*h.ctx, p.family, p.subtype), shown);
    const size_t writesBefore = h.writes.size();
    fillPage(*h.ctx, *read->page(p.subtype));
    EXPECT_EQ(pageValues(*h.ctx, p.family, p.subtype), shown);
    EXPECT_EQ(h.writes.size(), writesBefore);

    // Programming it keeps the date of the run; the sheet before it is the backup.
    h.press(ctl::kProgram, 40000);
    ASSERT_TRUE(h.unlocked());
    const auto programmed = h.sheet(p.file);
    ASSERT_TRUE(programmed);
    EXPECT_EQ(programmed->lastRead, read->lastRead);
    EXPECT_EQ(programmed->lastProgrammed.size(), 19u);
    EXPECT_EQ(h.system.files[rosterPath(p.file) + ".bak"], bytes);
  }
}

TEST(ModuleSheets, CancelledOrRefusedRunsKeepNothing) {
  struct Case {
    const char* name;
    bool cancel;          // cancel button during the run, else a refusal before it
    int button;
  };
  const Case cases[] = {
      {"read-out cancelled", true, ctl::kRead},
      {"programming cancelled", true, ctl::kProgram},
      {"programming refused: address out of range", false, ctl::kProgram},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RosterHarness h;
    h.boot();
    enterProgrammingMode(h, kPages[2]);  // switching module A at 16
    h.setText(2327, "16");
    h.setText(2328, "0,7");
    h.setText(2329, "3");
    if (!c.cancel) h.setText(2329, "99");
    if (c.cancel)
      h.ui.injectAt(h.clock.now() + 1200, {EventType::Click, win::kMain, ctl::kCancel, 0});
    h.press(c.button, 40000);
    EXPECT_TRUE(h.unlocked());
    EXPECT_FALSE(h.file("SX0-016.kwm"));
    EXPECT_EQ(h.system.listFolder(kRosterFolder).size(), 0u);
  }
}

TEST(ModuleSheets, AFileThatIsNoSheetOfTheModuleIsNeverOverwritten) {
  const std::string goodOther =
      "[Modul]\r\nBus = 0\r\nAdresse = 17\r\nFamilie = 3\r\nUntertyp = 0\r\n";
  struct Case {
    const char* name;
    std::optional<std::string> there;  // bytes at SX0-016.kwm before the read-out
    bool readOnly;
    int messageText;
  };
  const Case cases[] = {
      {"module data file", std::string("-8321-\r\n01,  12, 05: x\r\n"), false, 52},
      {"sheet of another address", goodOther, false, 52},
      {"sheet of an unknown family",
       std::string("[Modul]\r\nBus = 0\r\nAdresse = 16\r\nFamilie = 12\r\n"), false, 52},
      {"damaged sheet", std::string("[Modul]\r\nBus = 0\r\nAdresse = x\r\nFamilie = 3\r\n"), false,
       52},
      {"read-only roster folder", std::nullopt, true, 53},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RosterHarness h;
    h.boot();
    if (c.there) h.system.files[rosterPath("SX0-016.kwm")] = *c.there;
    if (c.readOnly) h.system.readOnlyFolders.insert(kRosterFolder);
    enterProgrammingMode(h, kPages[2]);
    h.ui.messages.clear();
    h.press(ctl::kRead, 40000);
    EXPECT_TRUE(h.unlocked());
    EXPECT_EQ(h.file("SX0-016.kwm"), c.there);
    EXPECT_FALSE(h.file("SX0-016.kwm.bak"));
    std::vector<RecordedMessage> told;
    for (const RecordedMessage& m : h.ui.messages)
      if (m.title == h.ctx->text(50)) told.push_back(m);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text.rfind(
                  h.ctx->text(c.messageText) + "\n/home/user/layout/Roster/SX0-016.kwm", 0),
              0u)
        << told[0].text;
  }
}

TEST(ModuleSheets, TheRosterNamesDamagedForeignMisnamedAndDoubleSheets) {
  RosterHarness h;
  h.boot();
  const std::string sheet16 =
      "[Modul]\r\nBus = 0\r\nAdresse = 16\r\nFamilie = 3\r\nUntertyp = 0\r\n";
  h.system.files[rosterPath("SX0-016.kwm")] = sheet16;
  h.system.files[rosterPath("Kopie.kwm")] = sheet16;
  h.system.files[rosterPath("SX1-020.KWM")] =
      "[Modul]\r\nBus = 1\r\nAdresse = 20\r\nFamilie = 5\r\n";
  h.system.files[rosterPath("Kaputt.kwm")] = std::string("\0\1\2garbage", 10);
  h.system.files[rosterPath("Neu.kwm")] =
      "[Modul]\r\nFormat = 2\r\nBus = 0\r\nAdresse = 1\r\nFamilie = 3\r\n";
  h.system.files[rosterPath("Fremd.kwm")] =
      "[Modul]\r\nBus = 0\r\nAdresse = 2\r\nFamilie = 0\r\nUntertyp = 14\r\n";
  h.system.files[rosterPath("Weit.kwm")] =
      "[Modul]\r\nBus = 9\r\nAdresse = 2\r\nFamilie = 3\r\n";
  h.system.files[rosterPath("SX0-016.kwm.bak")] = sheet16;
  h.system.files[rosterPath("Notiz.txt")] = "x";
  struct Expect {
    const char* file;
    SheetProblem problem;
    bool misnamed;
    bool duplicate;
  };
  const Expect expected[] = {
      {"Fremd.kwm", SheetProblem::UnknownModule, false, false},
      {"Kaputt.kwm", SheetProblem::NotASheet, false, false},
      {"Kopie.kwm", SheetProblem::None, true, true},
      {"Neu.kwm", SheetProblem::NewerFormat, false, false},
      {"SX0-016.kwm", SheetProblem::None, false, true},
      {"SX1-020.KWM", SheetProblem::None, false, false},
      {"Weit.kwm", SheetProblem::BadPlace, false, false},
  };
  const std::vector<RosterEntry> roster = readRoster(*h.ctx);
  ASSERT_EQ(roster.size(), std::size(expected));
  for (size_t i = 0; i < roster.size(); ++i) {
    SCOPED_TRACE(expected[i].file);
    EXPECT_EQ(roster[i].file, expected[i].file);
    EXPECT_EQ(roster[i].problem, expected[i].problem);
    EXPECT_EQ(roster[i].sheet.has_value(), expected[i].problem == SheetProblem::None);
    EXPECT_EQ(roster[i].misnamed, expected[i].misnamed);
    EXPECT_EQ(roster[i].duplicate, expected[i].duplicate);
  }
}

TEST(ModuleSheetFile, WritesItsFormatAndReadsItBack) {
  ModuleSheet s;
  s.bus = 2;
  s.address = 7;
  s.family = 0;
  s.subtype = 15;
  s.firmware = "  1.5";
  s.interfaceName = "COM1 Test";
  s.name = "Bahnhof \"Süd\" ";
  s.note = "\"links";
  s.lastRead = "2026-12-09 05:30:00";
  s.moduleModeFlag = 1;
  s.pages.push_back({0, 15, {{2022, "011"}, {2025, "5"}, {2028, "  1.5"}, {2042, ""}}});
  const std::string bytes = moduleSheetBytes(s, [](int c) { return c == 2022 ? "Zeile 1" : ""; });
  EXPECT_EQ(bytes,
            "\xEF\xBB\xBF; Kantelwerk Modulblatt\r\n; \r\n[Modul]\r\nFormat = 1\r\nBus = 2\r\n"
            "Adresse = 7\r\nFamilie = 0\r\nUntertyp = 15\r\nFirmware = \"  1.5\"\r\n"
            "Schnittstelle = COM1 Test\r\nName = \"Bahnhof \"S\xC3\xBC" "d\" \"\r\n"
            "Notiz = \"\"links\"\r\nGelesen = 2026-12-09 05:30:00\r\nProgrammiert = \r\n"
            "Modusbit = 1\r\n; \r\n[Werte0-15]\r\n; Zeile 1\r\n2022 = 011\r\n2025 = 5\r\n"
            "2028 = \"  1.5\"\r\n2042 = \r\n; \r\n");
  const SheetRead r = parseModuleSheet(bytes);
  EXPECT_EQ(r.problem, SheetProblem::None);
  ASSERT_TRUE(r.sheet);
  EXPECT_EQ(*r.sheet, s);
}

TEST(ModuleSheetFile, HandEditedSheetsLoadAsFarAsTheyMakeSense) {
  // Windows-1252 without the mark, names in other case, values without quotes, a key of
  // no control, a page of another family, a second group of the same page, a repeated key.
  const std::string edited =
      "[modul]\r\nbus=1\r\nADRESSE =  5  \r\nfamilie = 1\r\nuntertyp = 19\r\nname = Stellwerk "
      "Nord\r\nNotiz = Gr\xFCn\r\nAltmodus = 7\r\nFarbe = blau\r\n"
      "[werte1-19]\r\n2253 = 13\r\nabc = 1\r\n02254 = 014\r\n2253 = 99\r\n"
      "[Werte0-15]\r\n2022 = 1\r\n[Werte1-19]\r\n2255 = 1\r\n";
  const SheetRead r = parseModuleSheet(edited);
  ASSERT_TRUE(r.sheet);
  const ModuleSheet& s = *r.sheet;
  EXPECT_EQ(s.bus, 1);
  EXPECT_EQ(s.address, 5);
  EXPECT_EQ(s.family, 1);
  EXPECT_EQ(s.subtype, 19);
  EXPECT_EQ(s.name, "Stellwerk Nord");
  EXPECT_EQ(s.note, "Gr\xC3\xBCn");
  EXPECT_EQ(s.legacyMode, -1);
  ASSERT_EQ(s.pages.size(), 1u);
  const std::vector<std::pair<int, std::string>> values = {{2253, "13"}, {2254, "014"}};
  EXPECT_EQ(s.pages[0].values, values);
  EXPECT_EQ(sheetFileName(s.bus, s.address), "SX1-005.kwm");
}

}  // namespace
}  // namespace kw::test
