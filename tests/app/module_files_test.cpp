// Module data files of the function modules: the exact bytes saved, loading back into the
// same form, the code-to-item rules, refused files and cut or damaged files.
#include "app/module_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "forms/form_fixture.h"
#include "forms/parameter_form.h"

namespace kw::test {
namespace {

constexpr int kMain = win::kMain;
const std::string kDir = "/home/user/layout/";

// One line of a kind's file: number, address field, function list (0: a single row).
struct Row {
  int number;
  int field;
  int list;
};

struct Kind {
  int kind;
  int tab;  // inner tab of family 0
  const char* marker;
  int saveButton;
  std::vector<Row> rows;
};

std::vector<Row> pairs(int number, int count, int field, int list) {
  std::vector<Row> r;
  for (int i = 0; i < count; ++i) r.push_back({number + i, field + i, list + i});
  return r;
}

std::vector<Row> join(std::initializer_list<std::vector<Row>> parts) {
  std::vector<Row> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> k = {
      {0, 2, "-8321-", 2072,
       join({pairs(1, 10, 2032, 2042), pairs(11, 10, 2052, 2062), pairs(21, 3, 2022, 2025),
             {{24, 2029, 0}}})},
      {1, 1, "-8322-", 2138,
       join({pairs(1, 20, 2086, 2106), pairs(21, 3, 2074, 2077), {{24, 2081, 0}}})},
      {2, 0, "-8323-", 2214,
       join({pairs(1, 18, 2152, 2172), pairs(21, 3, 2140, 2143),
             {{24, 2147, 0}, {28, 2220, 0}, {28, 2219, 0}, {28, 2221, 0}}})},
  };
  return k;
}

std::string nn(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

// A kind's file with every row empty except the given line contents (after "NN, ").
std::string fileOf(const Kind& k, const std::map<size_t, std::string>& contents = {}) {
  std::string f = std::string(k.marker) + "\r\n";
  for (size_t i = 0; i < k.rows.size(); ++i) {
    auto it = contents.find(i);
    f += nn(k.rows[i].number) + ", " + (it != contents.end() ? it->second : ", ") + "\r\n";
  }
  return f;
}

using Snapshot = std::map<int, std::tuple<std::string, int, int>>;

Snapshot snapshot(const HeadlessUi& ui) {
  Snapshot s;
  for (const auto& [id, c] : ui.window(kMain)->controls)
    s[id] = {ui.text(kMain, id), c.state, c.selection};
  return s;
}

struct FilesHarness : FormHarness {
  FilesHarness() { start(); }
  void click(int control) {
    ui.inject({EventType::Click, kMain, control, 0});
    run(60);
  }
  void show(const Kind& k) {
    ui.setState(kMain, ctl::kFamily0Tabs, k.tab);
    ui.inject({EventType::TabChanged, kMain, ctl::kFamily0Tabs, k.tab});
    run(60);
  }
  int saves = 0;
  // Saves under a new name each time unless one is given; returns what was written.
  std::string save(const Kind& k, std::string name = {}) {
    if (name.empty()) name = kDir + "m" + std::to_string(++saves) + ".txt";
    ui.fileDialogNext(name);
    click(k.saveButton);
    auto it = system.files.find(name);
    return it == system.files.end() ? std::string() : it->second;
  }
  void load(const Kind& k, const std::string& bytes, const std::string& name = kDir + "in.txt") {
    system.files[name] = bytes;
    ui.fileDialogNext(name);
    click(k.saveButton + 1);
  }
  std::string text(int c) const { return ui.text(kMain, c); }
  // Every row filled: address `row index + 1` and the list on item `item(row index)`.
  template <typename F>
  void fill(const Kind& k, F item) {
    for (size_t i = 0; i < k.rows.size(); ++i) {
      ui.setText(kMain, k.rows[i].field, std::to_string(i + 1));
      if (k.rows[i].list != 0) ui.setSelection(kMain, k.rows[i].list, item(k.rows[i].list, i));
    }
  }
};

TEST(ModuleFileSave, ExactBytes) {
  FilesHarness h;
  const Kind& k0 = kinds()[0];
  h.show(k0);
  clearForm(*h.ctx, false);
  h.ui.setText(kMain, 2032, "005");
  h.ui.setSelection(kMain, 2042, 2);  // 03
  h.ui.setSelection(kMain, 2046, 0);  // row 5: a function but no address
  h.ui.setText(kMain, 2022, "11");
  h.ui.setSelection(kMain, 2025, 4);  // 05
  h.ui.setText(kMain, 2029, "12");
  EXPECT_EQ(h.save(k0), fileOf(k0, {{0, "005, " + t(153)},
                                    {4, ", " + t(151)},
                                    {20, "11, " + t(155)},
                                    {23, "12, "}}));

  // Kind 2 ends with three lines numbered 28: fields 2220, 2219 and 2221.
  const Kind& k2 = kinds()[2];
  h.show(k2);
  clearForm(*h.ctx, false);
  h.ui.setText(kMain, 2220, "18");
  h.ui.setText(kMain, 2219, "100");
  h.ui.setText(kMain, 2221, "3");
  const std::string saved = h.save(k2);
  EXPECT_EQ(saved, fileOf(k2, {{22, "18, "}, {23, "100, "}, {24, "3, "}}));
  EXPECT_NE(saved.find("\r\n18, , \r\n21, , \r\n"), std::string::npos);  // 19 and 20 skipped
  const std::string tail = "24, , \r\n28, 18, \r\n28, 100, \r\n28, 3, \r\n";
  EXPECT_EQ(saved.substr(saved.size() - tail.size()), tail);
}

TEST(ModuleFileSave, FunctionTextsAreStoredAsWindows1252) {
  FilesHarness h;
  h.ctx->texts.mainTable[53] = "03: Schalter (Dauerkontakt) \xC3\xA4";  // as loaded: UTF-8
  fillFunctionLists(*h.ctx);
  const Kind& k0 = kinds()[0];
  h.show(k0);
  clearForm(*h.ctx, false);
  h.ui.setSelection(kMain, 2042, 2);
  const std::string saved = h.save(k0);
  EXPECT_NE(saved.find("01, , 03: Schalter (Dauerkontakt) \xE4\r\n"), std::string::npos);
  clearForm(*h.ctx, false);
  h.load(k0, saved);
  EXPECT_EQ(h.text(2042), "03: Schalter (Dauerkontakt) \xC3\xA4");
}

// A saved file loads back into the same form (every item of every list in turn), and
// saving that form gives the same bytes again: the blank that loading puts before some
// addresses does not pile up.
TEST(ModuleFileRoundTrip, EveryRowAndEveryItem) {
  for (const Kind& k : kinds()) {
    SCOPED_TRACE(k.kind);
    FilesHarness h;
    h.show(k);
    for (int item = 0; item < 25; ++item) {
      h.fill(k, [&](int list, size_t) {
        return std::min(item, static_cast<int>(h.ui.items(kMain, list).size()) - 1);
      });
      const Snapshot before = snapshot(h.ui);
      const std::string bytes = h.save(k);
      clearForm(*h.ctx, false);
      h.load(k, bytes);
      for (size_t i = 0; i < k.rows.size(); ++i) {
        const Row& r = k.rows[i];
        // Kind 0 and the single rows keep the blank after the comma.
        const bool blank = k.kind == 0 || r.list == 0;
        EXPECT_EQ(h.text(r.field), (blank ? " " : "") + std::to_string(i + 1)) << r.field;
        if (r.list != 0) {
          EXPECT_EQ(h.text(r.list), std::get<0>(before.at(r.list))) << r.list << " " << item;
        }
      }
      EXPECT_EQ(h.save(k), bytes);
    }
    EXPECT_TRUE(h.ui.messages.empty());
  }
}

TEST(ModuleFileLoad, CodesChooseTheItemsOfTheirRows) {
  struct Case {
    int kind;
    size_t line;
    const char* content;  // after "NN, "
    int field;
    std::string fieldText;
    int list;
    std::string item;
  };
  const Case cases[] = {
      // Outputs of kinds 1 and 2: 17 is the lists' own item of text 677.
      {1, 2, "12, 17: x", 2088, "12", 2108, t(677)},
      {2, 0, "5, 17", 2152, "5", 2172, t(677)},
      // Function 27 exists only in the A rows of kind 2, and stays 27.
      {2, 0, "5, 27: x", 2152, "5", 2172, t(676)},
      {2, 1, "5, 27: x", 2153, "5", 2173, ""},
      // Kind 0 uses texts 150 + code; its address keeps the blank after the comma.
      {0, 0, "12, 04: y", 2032, " 12", 2042, t(154)},
      {0, 20, "12, 5", 2022, " 12", 2025, t(155)},
      {0, 10, " 7 , 07: z ", 2052, "  7 ", 2062, t(157)},
      // Basic rows of kinds 1 and 2: texts 650 + code, and their special items.
      {1, 20, " 7 , 05", 2074, "7", 2077, t(655)},
      {1, 20, "7, 18: Service", 2074, "7", 2077, t(168)},
      {1, 20, "7, 21: IR-LED", 2074, "7", 2077, "21: IR-LED"},
      {1, 20, "7, 17: x", 2074, "7", 2077, ""},
      {2, 18, "9, 26: IR-LED (Eingang) ", 2140, "9", 2143, "26: IR-LED (Eingang) "},
      {2, 18, "9, 17", 2140, "9", 2143, t(677)},
      // Codes that name no item, and damaged lines.
      {0, 0, "12, x7", 2032, " 12", 2042, ""},
      {0, 0, "12, 00: nothing", 2032, " 12", 2042, ""},
      {0, 0, "12", 2032, " 12", 2042, ""},
      {0, 0, "", 2032, " ", 2042, ""},
      {0, 0, "1234567890123456789, 01", 2032, " 123456789012", 2042, t(151)},
      // Single rows keep the blank in every kind.
      {1, 23, "12, ", 2081, " 12", 0, ""},
      {2, 22, "18, ", 2220, " 18", 0, ""},
      {2, 23, "100, ", 2219, " 100", 0, ""},
      {2, 24, "3, ", 2221, " 3", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + ": " + c.content);
    FilesHarness h;
    const Kind& k = kinds()[static_cast<size_t>(c.kind)];
    h.show(k);
    // The list shows something else before, so "no item" must clear it.
    if (c.list != 0) h.ui.setSelection(kMain, c.list, 1);
    h.load(k, fileOf(k, {{c.line, c.content}}));
    EXPECT_EQ(h.text(c.field), c.fieldText);
    if (c.list != 0) {
      EXPECT_EQ(h.text(c.list), c.item);
    }
    EXPECT_TRUE(h.ui.messages.empty());
  }
}

// Every code 00..99 in every pair row of every kind, against the rule written out here
// on its own: the item whose text is language text 150 + code (kind 0) or 650 + code
// (kinds 1 and 2; in their output rows 01..20 and 01..18 code 17 counts as 27, text 677).
// Only where that text is no item of the row's list is the item that carries the code
// taken. One exception: where the rule's item carries another code (27 would load as 17
// in an output row), the file's own code wins, or the row gets no function, so that a
// loaded file never programs a code it does not hold. A symmetric round trip would not
// see a rule wrong in both directions; this test would.
TEST(ModuleFileLoad, EveryCodeSelectsTheItemOfItsLanguageText) {
  for (const Kind& k : kinds()) {
    SCOPED_TRACE(k.kind);
    FilesHarness h;
    h.show(k);
    for (size_t line = 0; line < k.rows.size(); ++line) {
      const Row& r = k.rows[line];
      if (r.list == 0) continue;
      const std::vector<std::string> items = h.ui.items(kMain, r.list);
      const bool outputRow = k.kind != 0 && r.number <= 20;
      for (int code = 0; code <= 99; ++code) {
        const int number = (k.kind == 0 ? 150 : 650) + (outputRow && code == 17 ? 27 : code);
        auto carries = [](const std::string& item, int c) {
          return item.size() >= 2 && std::isdigit(static_cast<unsigned char>(item[0])) &&
                 std::isdigit(static_cast<unsigned char>(item[1])) &&
                 (item[0] - '0') * 10 + (item[1] - '0') == c;
        };
        std::string expected;
        const auto own = std::find(items.begin(), items.end(), t(number));
        if (own != items.end() && carries(*own, code)) {
          expected = *own;
        } else {
          for (const std::string& item : items)
            if (code > 0 && carries(item, code)) {
              expected = item;
              break;
            }
        }
        h.ui.setSelection(kMain, r.list, 0);
        ASSERT_TRUE(applyModuleFile(*h.ctx, k.kind, fileOf(k, {{line, "5, " + nn(code) + ": x"}})));
        ASSERT_EQ(h.text(r.list), expected) << "line " << r.number << " code " << code;
      }
    }
    EXPECT_TRUE(h.ui.messages.empty());
  }
  // The cases the exception is for, and what the plain rule would have chosen.
  FilesHarness h;
  const Kind& k2 = kinds()[2];
  h.show(k2);
  h.load(k2, fileOf(k2, {{0, "5, 27: x"}, {1, "5, 27: x"}}));
  EXPECT_EQ(h.text(2172), t(676));  // an A row has function 27 (the rule: t(677), 17)
  EXPECT_EQ(h.text(2173), "");      // a B row has none (the rule: t(677), 17)
}

TEST(ModuleFileLoad, WrongFilesAreRefusedAndChangeNothing) {
  const std::string files[] = {fileOf(kinds()[0]),  // another kind
                               fileOf(kinds()[2]),
                               "",
                               "-8322",
                               "-8322- \r\n01, 5, 05\r\n",
                               "x-8322-\r\n",
                               std::string("\0\xFF\xFE-8322-", 10),
                               std::string(2 << 20, '\n')};  // far too big
  for (const std::string& f : files) {
    FilesHarness h;
    const Kind& k1 = kinds()[1];
    h.show(k1);
    h.fill(k1, [](int, size_t i) { return static_cast<int>(i % 3); });
    const Snapshot before = snapshot(h.ui);
    h.load(k1, f);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].title, t(556));
    EXPECT_EQ(h.ui.messages[0].text, t(557));
    EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
    EXPECT_EQ(snapshot(h.ui), before);
  }
}

// What a kind-2 row shows when its line (as saved: "NN, address, item" or "NN, value, ")
// is cut after `keep` characters: as much of the address as is left (a single row keeps
// the blank before it), and the item of the code as far as its digits are left: both
// digits give the saved item, one digit d the item of code d, none no function.
struct CutRow {
  std::string field;
  std::string item;
};
CutRow cutRow(const std::string& line, size_t keep, bool single) {
  const size_t addressEnd = line.find(", ", 4);
  const std::string address = keep > 4 ? line.substr(4, std::min(keep, addressEnd) - 4) : "";
  CutRow r;
  r.field = single ? (keep >= 4 ? " " + address : "") : address;
  if (single) return r;
  const size_t itemStart = addressEnd + 2;
  const size_t digits = keep > itemStart ? keep - itemStart : 0;
  if (digits >= 2) {
    r.item = line.substr(itemStart);
  } else if (digits == 1 && line[itemStart] != '0') {
    r.item = t(650 + (line[itemStart] - '0'));
  }
  return r;
}

// Cut at every byte: a file without its whole marker loads nothing; otherwise the lines
// that are there load, the cut line as far as it goes, and the rows after it are emptied.
TEST(ModuleFileLoad, CutAtEveryByte) {
  FilesHarness h;
  const Kind& k = kinds()[2];
  h.show(k);
  h.fill(k, [](int, size_t i) { return static_cast<int>(i % 20); });
  const std::string full = h.save(k);
  h.fill(k, [](int, size_t i) { return static_cast<int>(i % 20); });
  applyModuleFile(*h.ctx, 2, full);
  const Snapshot complete = snapshot(h.ui);

  size_t cutRows = 0;
  for (size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    h.fill(k, [](int, size_t) { return 3; });
    const Snapshot before = snapshot(h.ui);
    const bool loaded = applyModuleFile(*h.ctx, 2, full.substr(0, cut));
    EXPECT_EQ(loaded, cut >= 6);
    if (!loaded) {
      EXPECT_EQ(snapshot(h.ui), before);
      continue;
    }
    const Snapshot after = snapshot(h.ui);
    size_t lineStart = full.find("\r\n") + 2;
    for (const Row& r : k.rows) {
      const size_t lineEnd = full.find("\r\n", lineStart);
      const std::vector<int> controls = r.list ? std::vector<int>{r.field, r.list}
                                               : std::vector<int>{r.field};
      for (int c : controls) {
        if (lineEnd <= cut) {
          EXPECT_EQ(after.at(c), complete.at(c)) << c;
        } else if (lineStart >= cut) {
          EXPECT_EQ(h.text(c), "") << c;
        }
      }
      if (lineStart < cut && cut < lineEnd) {
        const CutRow want =
            cutRow(full.substr(lineStart, lineEnd - lineStart), cut - lineStart, r.list == 0);
        EXPECT_EQ(h.text(r.field), want.field) << r.field;
        if (r.list != 0) {
          EXPECT_EQ(h.text(r.list), want.item) << r.list;
        }
        ++cutRows;
      }
      lineStart = lineEnd + 2;
    }
  }
  // Every byte inside a line but its last was a cut in a line.
  size_t inside = 0;
  for (size_t pos = full.find("\r\n") + 2; pos < full.size();) {
    const size_t end = full.find("\r\n", pos);
    inside += end - pos - 1;
    pos = end + 2;
  }
  EXPECT_EQ(cutRows, inside);
}

// Values at the field limit, with blanks before, inside and after them: the first load
// cuts them, and from then on every save and load gives the same file.
TEST(ModuleFileLoad, LongValuesDoNotShrinkOnEverySaveAndLoad) {
  for (int kind : {0, 1}) {
    FilesHarness h;
    const Kind& k = kinds()[static_cast<size_t>(kind)];
    h.show(k);
    const std::string file = std::string(kind == 0 ? "-8321-" : "-8322-") +
                             "\r\n01,   123456789012345, 05\r\n02, 12345678901 x, 06\r\n";
    ASSERT_TRUE(applyModuleFile(*h.ctx, kind, file));
    const std::string saved = moduleFileBytes(*h.ctx, kind);
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(applyModuleFile(*h.ctx, kind, saved));
      EXPECT_EQ(moduleFileBytes(*h.ctx, kind), saved) << kind << " " << round;
    }
    EXPECT_EQ(h.text(k.rows[0].field), kind == 0 ? " 123456789012" : "123456789012");
  }
}

TEST(ModuleFileLoad, LinesEndedByLineFeedOrReturnAlone) {
  for (const char* end : {"\n", "\r", "\r\n"}) {
    FilesHarness h;
    const Kind& k = kinds()[1];
    h.show(k);
    std::string f = std::string("-8322-") + end + "01, 7, 05" + end + "02, 8, 06";
    h.load(k, f);
    EXPECT_EQ(h.text(2086), "7");
    EXPECT_EQ(h.text(2106), t(655));
    EXPECT_EQ(h.text(2087), "8");
    EXPECT_EQ(h.text(2107), t(656));
    EXPECT_EQ(h.text(2088), "");
  }
}

// A file an editor saved as UTF-8 begins with a byte-order mark: it is passed over, and
// the texts after it are read as UTF-8.
TEST(ModuleFileLoad, AByteOrderMarkIsPassedOver) {
  FilesHarness h;
  const Kind& k = kinds()[1];
  h.show(k);
  h.load(k, "\xEF\xBB\xBF-8322-\r\n01, 7, 05: x\r\n02, 8\xC3\xA4, 06\r\n");
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.text(2086), "7");
  EXPECT_EQ(h.text(2106), t(655));
  EXPECT_EQ(h.text(2087), "8\xC3\xA4");
  EXPECT_EQ(h.text(2107), t(656));
}

TEST(ModuleFileDialogs, TitlesPatternsAndProposedNames) {
  FilesHarness h;
  const int saveName[3] = {572, 554, 589};
  const int loadName[3] = {554, 572, 589};
  for (const Kind& k : kinds()) {
    h.show(k);
    h.click(k.saveButton);      // cancelled: nothing written
    h.click(k.saveButton + 1);  // cancelled: nothing read
  }
  ASSERT_EQ(h.ui.fileDialogs.size(), 6u);
  for (size_t i = 0; i < 3; ++i) {
    const FileDialogSpec& s = h.ui.fileDialogs[2 * i];
    const FileDialogSpec& l = h.ui.fileDialogs[2 * i + 1];
    EXPECT_EQ(s.title, t(558));
    EXPECT_EQ(l.title, t(553));
    EXPECT_EQ(s.pattern, t(555));
    EXPECT_EQ(l.pattern, t(555));
    EXPECT_EQ(s.fileName, kDir + t(saveName[i]));
    EXPECT_EQ(l.fileName, kDir + t(loadName[i]));
    EXPECT_EQ(s.directory, kDir);
  }
  EXPECT_EQ(h.system.writes, 0);
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST(ModuleFileSave, AsksBeforeOverwritingAndReportsAFailedWrite) {
  FilesHarness h;
  const Kind& k = kinds()[0];
  h.show(k);
  const std::string name = kDir + "old.txt";
  h.system.files[name] = "old";
  h.ui.answerNext(mb::kAnswerNo);
  h.save(k, name);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(559));
  EXPECT_EQ(h.ui.messages[0].text, t(560) + name + t(561));
  EXPECT_EQ(h.ui.messages[0].flags, mb::kYesNo | mb::kIconWarning);
  EXPECT_EQ(h.system.files[name], "old");

  h.ui.answerNext(mb::kAnswerYes);
  EXPECT_EQ(h.save(k, name), fileOf(k));

  h.system.failWrites = true;
  h.save(k, kDir + "new.txt");
  ASSERT_EQ(h.ui.messages.size(), 3u);
  EXPECT_EQ(h.ui.messages[2].title, t(558));
  EXPECT_EQ(h.ui.messages[2].flags, mb::kIconError);
  EXPECT_EQ(h.system.files.count(kDir + "new.txt"), 0u);
}

TEST(ModuleFileLoad, AFileThatCannotBeOpenedIsReported) {
  FilesHarness h;
  const Kind& k = kinds()[0];
  h.show(k);
  const Snapshot before = snapshot(h.ui);
  h.ui.fileDialogNext(kDir + "gone.txt");
  h.click(2073);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, "Error");
  EXPECT_EQ(h.ui.messages[0].text, t(524) + "\n\n   " + kDir + "gone.txt   \n\n" + t(525));
  EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
  EXPECT_EQ(snapshot(h.ui), before);
}

// The blank before a loaded address is no reason for the address check to refuse it.
TEST(ModuleFileLoad, LoadedAddressesPassTheAddressCheck) {
  FilesHarness h;
  const Kind& k = kinds()[0];
  h.show(k);
  h.load(k, fileOf(k, {{0, "12, 01"}}));
  h.ui.inject({EventType::TextChanged, kMain, 2032, 0});
  h.run(60);
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.text(2032), " 12");
}

TEST(ModuleFileText, Lines) {
  EXPECT_EQ(textLines(""), std::vector<std::string>{});
  EXPECT_EQ(textLines("a"), std::vector<std::string>{"a"});
  EXPECT_EQ(textLines("a\r\n"), std::vector<std::string>{"a"});
  EXPECT_EQ(textLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(textLines("a\rb\nc\r"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(textLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
}  // namespace kw::test
