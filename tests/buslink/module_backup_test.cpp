// Backup files of the eight-output modules: saving over the bus with the progress window,
// the exact file, showing a file, restoring it as write sequences with cancel between
// records, refused damaged files, and round trips through the simulated modules.
#include "buslink/module_backup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "programming/parameter_store_module.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

constexpr int kTab19 = 0;
constexpr int kTab18 = 1;
const std::string kDir = "/home/user/layout/";
const std::string kFile = kDir + "servo.txt";

struct Buttons {
  int save;
  int show;
  int restore;
};
constexpr Buttons k18{2239, 2240, 2241};
constexpr Buttons k19{2281, 2282, 2283};

std::string lines(const std::vector<std::string>& records) {
  std::string f;
  for (const auto& r : records) f += r + "\r\n";
  return f;
}

// Samples the progress bar and the progress window's title at each write on the bus.
struct ProgressLog {
  std::vector<int> bars;
  std::vector<std::string> titles;
  void attach(ModuleHarness& h) {
    auto inner = h.onWrite;
    h.onWrite = [this, &h, inner](int address, int value) {
      if (const HeadlessWindow* w = h.ui.window(kBackupProgressWindow)) {
        bars.push_back(h.ui.state(kBackupProgressWindow, kBackupProgressBar));
        titles.push_back(w->desc.title);
      }
      if (inner) inner(address, value);
    };
  }
};

// The module answers parameter p with p, 2p and 100 + p (parameter 3 with 5, 0, 255).
TEST(BackupSave, ReadsEveryParameterIntoTheFile) {
  struct Case {
    int tab;
    Buttons buttons;
    std::vector<int> parameters;
    std::vector<int> bars;
  };
  const Case cases[] = {
      {kTab18, k18, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {kTab19, k19, {1, 2, 3, 4, 5, 6, 7, 8, 9, 66, 67, 68, 69, 70, 71, 72, 73, 11, 14},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 12, 13, 14, 15, 16, 18, 19}},
  };
  for (const Case& c : cases) {
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.programmingModeOn();
    ParameterStoreModule module(h);
    for (int p = 1; p < 80; ++p) module.answer(p, p, 2 * p, 100 + p);
    module.answer(3, 5, 0, 255);
    ProgressLog progress;
    progress.attach(h);
    h.ui.fileDialogNext(kFile);
    const auto w = h.press(c.buttons.save, 19 * 800 + 500);

    EXPECT_EQ(parametersOf(w), c.parameters);
    EXPECT_EQ(gaps(w), std::vector<int>(c.parameters.size() - 1, 800));
    std::string expected;
    for (int p : c.parameters)
      expected += p == 3 ? "03, 005, 000, 255\r\n" : backupRecord(p, p, 2 * p, 100 + p) + "\r\n";
    EXPECT_EQ(h.system.files[kFile], expected);
    EXPECT_EQ(progress.bars, c.bars);
    EXPECT_EQ(progress.titles.front(), t(508));
    EXPECT_FALSE(h.ui.windowOpen(kBackupProgressWindow));
    ASSERT_EQ(h.ui.fileDialogs.size(), 1u);
    EXPECT_EQ(h.ui.fileDialogs[0].title, t(506));
    EXPECT_EQ(h.ui.fileDialogs[0].fileName, kDir + t(507));
    EXPECT_EQ(h.ui.fileDialogs[0].pattern, t(510));
    EXPECT_TRUE(h.ui.messages.empty());
  }
  EXPECT_EQ(backupRecord(66, 66, 132, 166), "66, 066, 132, 166");
}

TEST(BackupSave, NeedsProgrammingModeAndAFileName) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab19);
  EXPECT_TRUE(h.press(k19.save, 2000).empty());
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(500));
  EXPECT_TRUE(h.ui.fileDialogs.empty());

  h.programmingModeOn();
  h.ui.fileDialogNext(std::nullopt);  // cancelled
  EXPECT_TRUE(h.press(k19.save, 2000).empty());
  EXPECT_EQ(h.ui.fileDialogs.size(), 1u);
  EXPECT_FALSE(h.ui.windowOpen(kBackupProgressWindow));
  EXPECT_EQ(h.system.writes, 0);
}

// The file is written once, whole, after the last answer: a backup that is there stays
// as it was while the module is read, so a run that never ends leaves it untouched.
TEST(BackupSave, WrittenWholeAtTheEnd) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  h.system.files[kFile] = "old";
  std::vector<std::string> during;
  auto inner = h.onWrite;
  h.onWrite = [&](int address, int value) {
    during.push_back(h.system.files[kFile]);
    if (inner) inner(address, value);
  };
  const int writesBefore = h.system.writes;
  h.ui.fileDialogNext(kFile);
  h.press(k18.save, 12 * 800 + 500);
  EXPECT_EQ(during, std::vector<std::string>(12, "old"));
  EXPECT_EQ(h.system.writes, writesBefore + 1);
  EXPECT_EQ(h.system.files[kFile].size(), 12u * 19u);
}

TEST(BackupSave, AFileThatCannotBeWrittenIsReported) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  h.system.failWrites = true;
  h.ui.fileDialogNext(kFile);
  h.press(k18.save, 12 * 800 + 500);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(506));
  EXPECT_EQ(h.ui.messages[0].text, t(524) + kFile + t(525));
  EXPECT_EQ(h.system.files.count(kFile), 0u);
}

TEST(BackupRestore, WritesOfEachRecord) {
  struct Case {
    const char* name;
    int tab;
    std::vector<std::string> records;
    Pairs writes;
    std::vector<int> gaps;
  };
  auto value19 = [](int output, int v, int mask) {
    return Pairs{{0, 12}, {1, output}, {3, v}, {2, mask}};
  };
  auto cat = [](std::initializer_list<Pairs> parts) {
    Pairs all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::vector<int> group19 = {200, 200, 200, 300};
  auto times = [](std::vector<int> g, int n) {
    std::vector<int> all;
    for (int i = 0; i < n; ++i) all.insert(all.end(), g.begin(), g.end());
    all.pop_back();
    return all;
  };
  const Case cases[] = {
      {"18: a parameter", kTab18, {"03, 005, 000, 255"}, {{0, 3}, {1, 5}, {2, 0}, {3, 255}},
       {700, 200, 200}},
      {"18: version without a second byte", kTab18, {"12, 030, 000, 000"}, {}, {}},
      {"18: version with a second byte", kTab18, {"12, 030, 007, 000"}, {{0, 12}, {2, 7}}, {700}},
      {"18: parameter 10 sends nothing", kTab18, {"10, 001, 002, 003"}, {}, {}},
      // A number the save never writes is sent like any other but 10 and 12.
      {"18: numbers 13 and 0", kTab18, {"13, 001, 002, 003", "00, 004, 005, 006"},
       {{0, 13}, {1, 1}, {2, 2}, {3, 3}, {0, 0}, {1, 4}, {2, 5}, {3, 6}},
       {700, 200, 200, 200, 700, 200, 200}},
      {"18: the pause after the last write", kTab18, {"11, 001, 002, 003", "01, 004, 005, 000"},
       {{0, 11}, {1, 1}, {2, 2}, {3, 3}, {0, 1}, {1, 4}, {2, 5}, {3, 0}},
       {700, 200, 200, 200, 700, 200, 200}},
      {"19: addresses", kTab19, {"01, 013, 077, 000"}, {{0, 12}, {1, 13}, {3, 77}, {2, 64}},
       {200, 200, 200}},
      {"19: further values", kTab19, {"67, 010, 020, 030"},
       cat({value19(2, 10, 8), value19(2, 20, 16), value19(2, 30, 32)}), times(group19, 3)},
      {"19: end values and speed", kTab19, {"09, 001, 002, 003"},
       cat({value19(8, 1, 1), value19(8, 2, 2), value19(8, 3, 4)}), times(group19, 3)},
      {"19: version and others send nothing", kTab19,
       {"14, 001, 005, 000", "11, 001, 002, 003", "10, 001, 002, 003", "00, 001, 002, 003",
        "74, 001, 002, 003"},
       {}, {}},
      {"19: the pauses after 64 and after a mask", kTab19,
       {"01, 013, 077, 000", "73, 001, 002, 003", "01, 014, 000, 000"},
       cat({{{0, 12}, {1, 13}, {3, 77}, {2, 64}}, value19(8, 1, 8), value19(8, 2, 16),
            value19(8, 3, 32), {{0, 12}, {1, 14}, {3, 0}, {2, 64}}}),
       {200, 200, 200, 500, 200, 200, 200, 300, 200, 200, 200, 300, 200, 200, 200, 300, 200,
        200, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.programmingModeOn();
    h.system.files[kFile] = lines(c.records);
    h.ui.fileDialogNext(kFile);
    const auto w = h.press(c.tab == kTab18 ? k18.restore : k19.restore, 16000);
    EXPECT_EQ(pairs(w), c.writes);
    EXPECT_EQ(gaps(w), c.gaps);
    EXPECT_TRUE(h.unlocked());
    EXPECT_FALSE(h.ui.windowOpen(kBackupProgressWindow));
    EXPECT_TRUE(h.ui.messages.empty());
    ASSERT_EQ(h.ui.fileDialogs.size(), 1u);
    EXPECT_EQ(h.ui.fileDialogs[0].title, t(526));
  }
}

// The bar starts at 2 and is set to a counter that starts there too and counts each
// record: in sub-type 18 each one written whole (not 10 or 12), in sub-type 19 every one,
// also one that sends nothing. It never runs past its range. The bar is looked at with
// each write, so it shows where the records before left it.
TEST(BackupRestore, ProgressWindowAndBar) {
  struct Case {
    const char* name;
    int tab;
    Buttons buttons;
    std::vector<int> parameters;
    int rangeMax;
    std::vector<int> moves;
  };
  const std::vector<int> saved19 = {1,  2,  3,  4,  5,  6,  7,  8,  9, 66,
                                    67, 68, 69, 70, 71, 72, 73, 11, 14};
  std::vector<int> past19 = saved19;
  past19.push_back(2);
  std::vector<int> upTo17;
  for (int b = 2; b <= 17; ++b) upTo17.push_back(b);
  std::vector<int> past19Moves = upTo17;
  past19Moves.push_back(19);
  const Case cases[] = {
      {"18: a saved file",
       kTab18,
       k18,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       11,
       {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"18: records 0 and 13 count", kTab18, k18, {0, 10, 13, 1}, 11, {2, 3}},
      {"18: more records than the bar",
       kTab18,
       k18,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 13, 14, 15},
       11,
       {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"19: a saved file", kTab19, k19, saved19, 19, upTo17},
      {"19: one record more than the bar", kTab19, k19, past19, 19, past19Moves},
      {"19: records that send nothing count", kTab19, k19, {14, 11, 40, 2, 3}, 19, {4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.programmingModeOn();
    std::vector<std::string> records;
    for (int p : c.parameters) records.push_back(backupRecord(p, 1, 2, 3));
    h.system.files[kFile] = lines(records);
    ProgressLog progress;
    progress.attach(h);
    int rangeMin = -1, rangeMax = -1;
    auto inner = h.onWrite;
    h.onWrite = [&](int address, int value) {
      if (const HeadlessControl* bar = h.ui.control(kBackupProgressWindow, kBackupProgressBar)) {
        rangeMin = bar->desc.rangeMin;
        rangeMax = bar->desc.rangeMax;
      }
      if (inner) inner(address, value);
    };
    h.ui.fileDialogNext(kFile);
    h.press(c.buttons.restore, 120000);
    ASSERT_FALSE(progress.titles.empty());
    EXPECT_EQ(progress.titles.front(), "Setzen");
    EXPECT_EQ(rangeMin, 1);
    EXPECT_EQ(rangeMax, c.rangeMax);
    std::vector<int> moves;
    for (int b : progress.bars)
      if (moves.empty() || moves.back() != b) moves.push_back(b);
    EXPECT_EQ(moves, c.moves);
    EXPECT_FALSE(h.ui.windowOpen(kBackupProgressWindow));
  }
}

TEST(BackupRestore, CancelStopsBetweenRecords) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab19);
  h.programmingModeOn();
  h.system.files[kFile] = lines({"02, 001, 002, 003", "03, 004, 005, 006", "04, 007, 008, 009"});
  h.ui.fileDialogNext(kFile);
  h.ui.injectAt(h.clock.now() + 1000, {EventType::Click, win::kMain, ctl::kCancel, 0});
  const auto w = h.press(k19.restore, 20000);
  // The record under way is finished; no write of the next one.
  EXPECT_EQ(pairs(w).size(), 12u);
  EXPECT_EQ(w.back().value, 4);
  EXPECT_TRUE(h.unlocked());
  EXPECT_EQ(h.ctx->bus.stopFlag.load(), 0);  // a cancel, not a quit
}

// While a restore runs the form is locked (the exit button cancels); after it, free.
TEST(BackupRestore, LocksTheFormWhileItRuns) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  h.system.files[kFile] = lines({"03, 005, 000, 255", "04, 001, 002, 003"});
  std::vector<bool> programEnabled;
  std::vector<std::string> cancelCaption;
  auto inner = h.onWrite;
  h.onWrite = [&](int address, int value) {
    programEnabled.push_back(h.ui.enabled(win::kMain, ctl::kProgram));
    cancelCaption.push_back(h.text(ctl::kCancel));
    if (inner) inner(address, value);
  };
  h.ui.fileDialogNext(kFile);
  const auto w = h.press(k18.restore, 5000);
  ASSERT_EQ(w.size(), 8u);
  EXPECT_EQ(programEnabled, std::vector<bool>(8, false));
  EXPECT_EQ(cancelCaption, std::vector<std::string>(8, t(502)));
  EXPECT_TRUE(h.unlocked());
}

TEST(BackupRestore, NeedsProgrammingMode) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.system.files[kFile] = lines({"03, 005, 000, 255"});
  h.ui.fileDialogNext(kFile);
  EXPECT_TRUE(h.press(k18.restore, 3000).empty());
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].text, t(501));
}

// A file that is not whole records from start to end is refused before anything is sent:
// half-read values must not end up in a module. A file cut at a line end is whole.
TEST(BackupRestore, DamagedFilesSendNothing) {
  const std::string good = lines({"01, 013, 077, 000", "67, 010, 020, 030", "14, 001, 005, 000"});
  for (size_t cut = 0; cut <= good.size(); ++cut) {
    SCOPED_TRACE(cut);
    const auto records = restoreRecords(good.substr(0, cut));
    // Records are 17 characters and CR LF: a cut in the first 17 of them damages one.
    const size_t whole = cut / 19 + (cut % 19 >= 17 ? 1 : 0);
    ASSERT_EQ(records.has_value(), cut % 19 == 0 || cut % 19 >= 17);
    if (records) {
      EXPECT_EQ(records->size(), whole);
    }
  }
  const std::vector<std::string> damaged = {
      "03, 005, 000, 25",  "03, 005, 000, 2555", "3, 005, 000, 255",  "03, 0x5, 000, 255",
      "03, 005, 000, 256", "03; 005, 000, 255",  "-3, 005, 000, 255", "03, 005, 000, 255x",
      std::string(5000, '9')};
  for (const std::string& line : damaged) {
    SCOPED_TRACE(line.substr(0, 20));
    EXPECT_FALSE(restoreRecords(lines({"01, 013, 077, 000", line})).has_value());
  }
  // Blank lines and blanks after a record are no damage.
  const auto ok = restoreRecords("\r\n03, 005, 000, 255  \r\n\r\n   \r\n");
  ASSERT_TRUE(ok.has_value());
  ASSERT_EQ(ok->size(), 1u);
  EXPECT_EQ((*ok)[0].parameter, 3);
  EXPECT_EQ((*ok)[0].a3, 255);

  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab19);
  h.programmingModeOn();
  h.system.files[kFile] = good.substr(0, good.size() - 5);
  h.ui.fileDialogNext(kFile);
  EXPECT_TRUE(h.press(k19.restore, 3000).empty());
  // Its own message: the module-file texts would call it a file of another module type.
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(526));
  EXPECT_EQ(h.ui.messages[0].text, t(33) + "\n\n   " + kFile + "   ");
  EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
  EXPECT_FALSE(h.ui.windowOpen(kBackupProgressWindow));
  EXPECT_TRUE(h.ui.enabled(win::kMain, ctl::kProgram));
}

// No file: a cancelled dialog and a file that cannot be read end the restore without a
// word and without a write; a file beyond 64 KiB is no backup and is refused as damaged,
// one of exactly 64 KiB is read.
TEST(BackupRestore, NoFileOrAFileTooBig) {
  const std::string record = "03, 005, 000, 255\r\n";
  const std::string full = record + std::string(64 * 1024 - record.size(), ' ');
  struct Case {
    const char* name;
    std::optional<std::string> dialog;
    std::optional<std::string> content;
    Pairs writes;
    std::vector<std::string> titles;
  };
  const Case cases[] = {
      {"dialog cancelled", std::nullopt, record, {}, {}},
      {"dialog left empty", std::string(), record, {}, {}},
      {"file cannot be read", kDir + "gone.txt", record, {}, {}},
      {"exactly 64 KiB", kFile, full, {{0, 3}, {1, 5}, {2, 0}, {3, 255}}, {}},
      {"one byte more", kFile, full + " ", {}, {t(526)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, kTab18);
    h.programmingModeOn();
    if (c.content) h.system.files[kFile] = *c.content;
    h.ui.fileDialogNext(c.dialog);
    bool windowSeen = false;
    auto inner = h.onWrite;
    h.onWrite = [&](int address, int value) {
      windowSeen = windowSeen || h.ui.windowOpen(kBackupProgressWindow);
      if (inner) inner(address, value);
    };
    const auto w = h.press(k18.restore, 3000);
    EXPECT_EQ(pairs(w), c.writes);
    EXPECT_EQ(windowSeen, !c.writes.empty());
    std::vector<std::string> titles;
    for (const RecordedMessage& m : h.ui.messages) titles.push_back(m.title);
    EXPECT_EQ(titles, c.titles);
    EXPECT_EQ(h.ui.fileDialogs.size(), 1u);
    // Never locked, or unlocked again.
    EXPECT_TRUE(h.ui.enabled(win::kMain, ctl::kProgram));
    EXPECT_NE(h.text(ctl::kCancel), t(502));
  }
}

std::string out(int k) { return " " + std::to_string(k) + ":   "; }

TEST(BackupShow, LinesOfSubtype18) {
  FormHarness h;
  h.start();
  const std::string file =
      lines({"01, 014, 015, 000", "02, 081, 169, 010", "09, 088, 162, 010", "10, 000, 000, 000",
             "11, 000, 001, 001", "12, 031, 045, 000"});
  const std::vector<std::string> expected = {
      t(512) + "014" + t(513) + "015",
      "",
      t(514) + out(1) + t(515) + "081" + t(516) + "169" + t(517) + "010",
      t(514) + out(8) + t(515) + "088" + t(516) + "162" + t(517) + "010",
      "",
      t(518),
      "",
      t(523) + "45",
      t(522) + "3.1",
  };
  EXPECT_EQ(backupShowLines(*h.ctx, 18, file), expected);
  EXPECT_EQ(backupShowLines(*h.ctx, 18, "11, 020, 001, 002\r\n12, 021, 045, 000\r\n"),
            (std::vector<std::string>{t(519) + "020" + t(520) + "001" + t(521) + "002", "",
                                      t(522) + "2.1"}));
}

TEST(BackupShow, LinesOfSubtype19) {
  FormHarness h;
  h.start();
  const std::string file = lines({"01, 013, 000, 000", "02, 081, 169, 010", "66, 001, 002, 003",
                                  "73, 004, 005, 006", "11, 000, 001, 001", "14, 001, 005, 000",
                                  "40, 001, 002, 003"});
  const std::vector<std::string> expected = {
      t(512) + "013" + t(513) + "000",
      "",
      " ",
      t(514) + out(1) + t(587) + "081" + t(588) + "169" + t(573) + "010",
      " ",
      t(514) + out(1) + t(574) + "001" + t(585) + "002" + t(586) + "003",
      t(514) + out(8) + t(574) + "004" + t(585) + "005" + t(586) + "006",
      " ",
      t(518),
      " ",
      t(614) + "01" + t(615) + "05",
      "",
  };
  EXPECT_EQ(backupShowLines(*h.ctx, 19, file), expected);
}

// Lines cut short or damaged show what they have, field by field as the columns give it,
// and a number that is no record's is an empty line.
TEST(BackupShow, DamagedLinesShowWithoutHarm) {
  FormHarness h;
  h.start();
  const std::string file = "1\r\n\r\nxx, abc\r\n12, 0\r\n12\r\n14, 1\r\n" +
                           std::string(10000, '7') + "\r\n02";
  const std::vector<std::string> shown18 = {
      t(512) + t(513),  // "1": parameter 1 without its values
      "",
      "",            // an empty line is no record
      "",            // "xx": no number
      t(522) + ".",  // "12, 0": the version has one character of its three
      t(522) + ".",  // "12"
      "",            // 14 is no record of sub-type 18
      "",            // a long line of 7s: number 77
      t(514) + out(1) + t(515) + t(516) + t(517),  // "02" cut after its number
  };
  EXPECT_EQ(backupShowLines(*h.ctx, 18, file), shown18);
  const std::vector<std::string> shown19 = {
      t(512) + t(513),
      "",
      "",
      "",
      "",
      "",
      " ",
      t(614) + t(615),
      "",
      " ",
      t(514) + out(1) + t(587) + t(588) + t(573),
  };
  EXPECT_EQ(backupShowLines(*h.ctx, 19, file), shown19);
  EXPECT_EQ(backupShowLines(*h.ctx, 18, "12, 0"), (std::vector<std::string>{t(522) + "."}));
}

// A file beyond 64 KiB is not read for the show window; one of exactly 64 KiB is.
TEST(BackupShow, AFileBeyond64KiBIsReported) {
  const std::string record = "12, 031, 045, 000\r\n";
  const std::string full = record + std::string(64 * 1024 - record.size(), '\n');
  for (const bool tooBig : {false, true}) {
    SCOPED_TRACE(tooBig);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, kTab18);
    h.system.files[kFile] = tooBig ? full + "\n" : full;
    h.ui.fileDialogNext(kFile);
    h.press(k18.show, 200);
    EXPECT_EQ(h.ui.windowOpen(win::kBackupShow), !tooBig);
    if (tooBig) {
      ASSERT_EQ(h.ui.messages.size(), 1u);
      EXPECT_EQ(h.ui.messages[0].title, t(509));
      EXPECT_EQ(h.ui.messages[0].text, t(524) + kFile + t(525));
    } else {
      EXPECT_TRUE(h.ui.messages.empty());
      EXPECT_EQ(h.ui.text(win::kBackupShow, kBackupShowList).substr(0, t(523).size() + 3),
                t(523) + "45\n");
    }
  }
}

TEST(BackupShow, OpensWindowTwoOrReportsTheFile) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.system.files[kFile] = lines({"12, 031, 045, 000"});
  h.ui.fileDialogNext(kFile);
  EXPECT_TRUE(h.press(k18.show, 200).empty());  // no bus traffic, no programming mode
  ASSERT_TRUE(h.ui.windowOpen(win::kBackupShow));
  const HeadlessWindow* w = h.ui.window(win::kBackupShow);
  EXPECT_EQ(w->desc.title, t(511));
  EXPECT_EQ(w->desc.owner, win::kMain);
  EXPECT_TRUE(w->desc.closeBox);
  EXPECT_EQ(h.ui.text(win::kBackupShow, kBackupShowList), t(523) + "45\n" + t(522) + "3.1\n");
  const HeadlessControl* list = h.ui.control(win::kBackupShow, kBackupShowList);
  EXPECT_EQ(list->desc.rect.x, 6);
  EXPECT_EQ(list->desc.rect.y, 6);
  EXPECT_TRUE(list->desc.multiLine);
  EXPECT_EQ(h.ui.fileDialogs[0].title, t(509));

  h.ui.inject({EventType::CloseBox, win::kBackupShow, 0, 0});
  h.run(100);
  EXPECT_FALSE(h.ui.windowOpen(win::kBackupShow));

  h.ui.fileDialogNext(kDir + "gone.txt");
  h.press(k19.show, 200);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(509));
  EXPECT_EQ(h.ui.messages[0].text, t(524) + kDir + "gone.txt" + t(525));
  EXPECT_EQ(h.ui.messages[0].flags, mb::kIconError);
  EXPECT_FALSE(h.ui.windowOpen(win::kBackupShow));
}

// The simulated modules of the standard layout: saved, changed, restored, saved again.
TEST(BackupRoundTrip, SimulatedModulesComeBackAsSaved) {
  struct Case {
    int subtype;
    int address;
    int tab;
    Buttons buttons;
    std::vector<int> changed;  // parameters the test changes in the module
  };
  const Case cases[] = {{19, 13, kTab19, k19, {2, 5, 9, 66, 70, 73}},
                        {18, 14, kTab18, k18, {2, 5, 9, 11}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subtype);
    ModuleHarness h;
    const auto modules = sim::addStandardLayout(h.bus());
    std::shared_ptr<sim::SimModule> module;
    for (const auto& m : modules)
      if (m->family() == 1 && m->subtype() == c.subtype) module = m;
    ASSERT_TRUE(module);
    h.boot();
    h.showFamily(1, kTab19);
    h.setText(2253, std::to_string(c.address));
    h.ui.answerNext(mb::kAnswerYes);  // switch on
    h.ui.answerNext(mb::kAnswerNo);   // no read-out
    h.press(2287, 3000);
    ASSERT_TRUE(module->inProgrammingMode());
    ASSERT_EQ(h.ui.messages.size(), 2u);
    h.ui.messages.clear();
    h.showFamily(1, c.tab);

    h.ui.fileDialogNext(kFile);
    h.press(c.buttons.save, 20 * 800);
    const std::string saved = h.system.files[kFile];
    EXPECT_NE(saved.find("02, 080, 170, 010\r\n"), std::string::npos);
    if (c.subtype == 19) {
      EXPECT_NE(saved.find("01, 013, 000, 000\r\n"), std::string::npos);
    }

    std::vector<sim::ParameterValue> before;
    for (int p : c.changed) {
      before.push_back(module->parameter(p));
      module->setParameter(p, 1, 2, 3);
    }
    h.ui.fileDialogNext(kFile);
    h.press(c.buttons.restore, 90000);
    EXPECT_TRUE(h.unlocked());
    for (size_t i = 0; i < c.changed.size(); ++i)
      EXPECT_EQ(module->parameter(c.changed[i]), before[i]) << c.changed[i];

    h.ui.fileDialogNext(kDir + "again.txt");
    h.press(c.buttons.save, 20 * 800);
    EXPECT_EQ(h.system.files[kDir + "again.txt"], saved);
    // Only the two questions of the switch into programming mode.
    for (const RecordedMessage& m : h.ui.messages) ADD_FAILURE() << m.title << ": " << m.text;
  }
}

}  // namespace
}  // namespace kw::test
