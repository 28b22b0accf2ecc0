#include "buslink/module_backup.h"

#include <algorithm>

#include "app/module_files.h"
#include "app/shell.h"
#include "forms/parameter_form.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

// A backup is a few hundred bytes; a bigger file is not one and is not read whole.
constexpr int64_t kMaxFileBytes = 64 * 1024;
// A file that is not whole records: nothing of it is written into the module.
constexpr int kDamagedBackupText = 33;
// The module shows the values of a parameter this long after its number was written.
constexpr uint32_t kSaveWaitMs = 800;

// ------------------------------------------------------------------------------------
// Saving: the parameters read, in file order, with the progress-bar position of each.

struct SaveRange {
  int first;
  int last;
  int firstBar;
};

constexpr SaveRange kSave18[] = {{1, 12, 1}};
constexpr SaveRange kSave19[] = {{1, 9, 1}, {66, 73, 9}, {11, 11, 18}, {14, 14, 19}};

struct SaveStep {
  int parameter;
  int bar;
};

std::vector<SaveStep> saveSteps(int subtype) {
  std::vector<SaveStep> steps;
  auto add = [&](const auto& ranges) {
    for (const SaveRange& r : ranges)
      for (int p = r.first; p <= r.last; ++p) steps.push_back({p, r.firstBar + p - r.first});
  };
  if (subtype == 18)
    add(kSave18);
  else
    add(kSave19);
  return steps;
}

int barMaximum(int subtype, bool restoring) {
  if (subtype == 18) return restoring ? 11 : 12;
  return 19;
}

// ------------------------------------------------------------------------------------
// Restoring: the writes of one record.

struct BusStep {
  int address;
  int value;
  uint32_t ms;
};

// Sub-type 18 takes every record as it was read, except the version (12), whose only
// writable byte is the one on address 2, and 10, which the module does not take. Only
// the records written in full move the bar on.
std::vector<BusStep> restoreSteps18(const BackupRecord& r, bool& advances) {
  const int n = r.parameter;
  advances = false;
  if (n == 12) {
    if (r.a2 > 0) return {{0, 12, 700}, {2, r.a2, 200}};
    return {};
  }
  if (n == 10) return {};
  advances = true;
  return {{0, n, 700}, {1, r.a1, 200}, {2, r.a2, 200}, {3, r.a3, 200}};
}

// Sub-type 19 takes its values through parameter 12 as commands: the output on address 1,
// the value on 3, and on 2 the mask that says which value it is (1, 2, 4 for the three
// of parameters 2..9; 8, 16, 32 for those of 66..73). 64 takes the module's addresses.
std::vector<BusStep> restoreSteps19(const BackupRecord& r) {
  const int n = r.parameter;
  if (n == 1) return {{0, 12, 200}, {1, r.a1, 200}, {3, r.a2, 200}, {2, 64, 500}};
  int output = 0;
  int firstMask = 0;
  if (n >= 2 && n <= 9) {
    output = n - 1;
    firstMask = 1;
  } else if (n >= 66 && n <= 73) {
    output = n - 65;
    firstMask = 8;
  } else {
    return {};
  }
  std::vector<BusStep> steps;
  const int values[3] = {r.a1, r.a2, r.a3};
  for (int i = 0; i < 3; ++i) {
    steps.push_back({0, 12, 200});
    steps.push_back({1, output, 200});
    steps.push_back({3, values[i], 200});
    steps.push_back({2, firstMask << i, 300});
  }
  return steps;
}

// ------------------------------------------------------------------------------------
// Reading a file.

// Text of columns first..first+count-1 (1-based); shorter when the line is.
std::string columns(const std::string& line, size_t first, size_t count) {
  return first - 1 < line.size() ? line.substr(first - 1, count) : std::string();
}

bool digitsAt(const std::string& s, size_t pos, size_t count) {
  for (size_t i = pos; i < pos + count; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

std::optional<BackupRecord> strictRecord(const std::string& line) {
  if (line.size() != 17 || !digitsAt(line, 0, 2) || !digitsAt(line, 4, 3) ||
      !digitsAt(line, 9, 3) || !digitsAt(line, 14, 3))
    return std::nullopt;
  if (line.compare(2, 2, ", ") != 0 || line.compare(7, 2, ", ") != 0 ||
      line.compare(12, 2, ", ") != 0)
    return std::nullopt;
  BackupRecord r{integerOf(line.substr(0, 2)), integerOf(line.substr(4, 3)),
                 integerOf(line.substr(9, 3)), integerOf(line.substr(14, 3))};
  if (r.a1 > 255 || r.a2 > 255 || r.a3 > 255) return std::nullopt;
  return r;
}

std::string withoutTrailingBlanks(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

// The file's bytes, or nothing when it cannot be read (or is far too big to be a backup).
std::optional<std::string> readBackup(AppContext& ctx, const std::string& name) {
  if (ctx.system.fileSize(name) > kMaxFileBytes) return std::nullopt;
  return ctx.system.readFile(name);
}

// ------------------------------------------------------------------------------------
// Showing.

// " 1:   " .. " 8:   ": the output number in the show window.
std::string outputLabel(int k) { return " " + std::to_string(k) + ":   "; }

std::string additionalLine(const AppContext& ctx, int a1, const std::string& s1,
                           const std::string& s2, const std::string& s3) {
  if (a1 == 0) return ctx.text(518);
  return ctx.text(519) + s1 + ctx.text(520) + s2 + ctx.text(521) + s3;
}

// Characters 2 and 3 of a value ("045" gives "45").
std::string lastTwo(const std::string& s) { return columns(s, 2, 2); }

void showLines18(const AppContext& ctx, int n, int a1, const std::string& s1,
                 const std::string& s2, const std::string& s3, std::vector<std::string>& out) {
  auto t = [&ctx](int number) -> const std::string& { return ctx.text(number); };
  if (n == 1) {
    out.push_back(t(512) + s1 + t(513) + s2);
    out.emplace_back();
  } else if (n >= 2 && n <= 9) {
    out.push_back(t(514) + outputLabel(n - 1) + t(515) + s1 + t(516) + s2 + t(517) + s3);
  } else if (n == 11) {
    out.push_back(additionalLine(ctx, a1, s1, s2, s3));
    out.emplace_back();
  } else if (n == 12) {
    // The version "3.1" of "031"; from 3 on the module keeps an additional value.
    const std::string major = columns(s1, 2, 1);
    if (!major.empty() && major[0] >= '3' && major[0] <= '9') out.push_back(t(523) + lastTwo(s2));
    out.push_back(t(522) + major + "." + columns(s1, 3, 1));
  } else {
    out.emplace_back();
  }
}

void showLines19(const AppContext& ctx, int n, int a1, const std::string& s1,
                 const std::string& s2, const std::string& s3, std::vector<std::string>& out) {
  auto t = [&ctx](int number) -> const std::string& { return ctx.text(number); };
  // A line with one blank starts each block.
  if (n == 2 || n == 66 || n == 11 || n == 14) out.emplace_back(" ");
  if (n == 1) {
    out.push_back(t(512) + s1 + t(513) + s2);
    out.emplace_back();
  } else if (n >= 2 && n <= 9) {
    out.push_back(t(514) + outputLabel(n - 1) + t(587) + s1 + t(588) + s2 + t(573) + s3);
  } else if (n >= 66 && n <= 73) {
    out.push_back(t(514) + outputLabel(n - 65) + t(574) + s1 + t(585) + s2 + t(586) + s3);
  } else if (n == 11) {
    out.push_back(additionalLine(ctx, a1, s1, s2, s3));
  } else if (n == 14) {
    out.push_back(t(614) + lastTwo(s1) + t(615) + lastTwo(s2));
  } else {
    out.emplace_back();
  }
}

// Outer sizes of the show window per sub-type; the list fills it with a margin of 6.
constexpr Rect kShowWindow18 = {0, 0, 560, 380};
constexpr Rect kShowWindow19 = {0, 0, 560, 480};
// Room the title bar takes from the outer height.
constexpr int kTitleBar = 30;

// ------------------------------------------------------------------------------------
// Progress window.

void openProgress(AppContext& ctx, const std::string& title, int maximum) {
  WindowSpec w;
  w.owner = kMain;  // stays above the main window
  w.title = title;
  // Room for the bar of 270 x 30 at 20,20 below the title bar.
  w.rect = {0, 0, 320, 60 + kTitleBar};
  w.centred = true;
  w.closeBox = false;
  if (!ctx.ui.openWindow(kBackupProgressWindow, w)) return;
  ControlSpec bar;
  bar.kind = ControlKind::ProgressBar;
  bar.id = kBackupProgressBar;
  bar.rect = {20, 20, 270, 30};
  bar.rangeMin = 1;
  bar.rangeMax = maximum;
  ctx.ui.createControl(kBackupProgressWindow, bar);
  ctx.ui.processPendingEvents();
}

void setProgress(AppContext& ctx, int position) {
  ctx.ui.setState(kBackupProgressWindow, kBackupProgressBar, position);
}

FileDialogSpec dialogSpec(const AppContext& ctx, int title) {
  FileDialogSpec d;
  d.owner = kMain;
  d.title = ctx.text(title);
  d.pattern = ctx.text(510);
  d.directory = ctx.startDirectory;
  d.fileName = ctx.startDirectory + ctx.text(507);
  return d;
}

std::string fileErrorText(const AppContext& ctx, const std::string& name) {
  return ctx.text(524) + name + ctx.text(525);
}

std::optional<std::string> askFile(AppContext& ctx, int title, bool saving) {
  const FileDialogSpec dialog = dialogSpec(ctx, title);
  std::optional<std::string> name =
      saving ? ctx.ui.saveFileDialog(dialog) : ctx.ui.openFileDialog(dialog);
  if (name && name->empty()) name.reset();
  return name;
}

void replay(AppContext& ctx, int subtype, const std::vector<BackupRecord>& records) {
  int counter = 2;
  const int maximum = barMaximum(subtype, true);
  setProgress(ctx, counter);
  for (const BackupRecord& r : records) {
    bool advances = true;
    const std::vector<BusStep> steps =
        subtype == 18 ? restoreSteps18(r, advances) : restoreSteps19(r);
    for (const BusStep& s : steps) writeAndWait(ctx, s.address, s.value, s.ms);
    if (advances) setProgress(ctx, std::min(counter++, maximum));
    if (ctx.cancelRequested.load() != 0) break;
  }
}

}  // namespace

std::string backupRecord(int parameter, int a1, int a2, int a3) {
  auto value = [](int v) { return pad(std::clamp(v, 0, 255), 3); };
  return pad(std::clamp(parameter, 0, 99), 2) + ", " + value(a1) + ", " + value(a2) + ", " +
         value(a3);
}

std::optional<std::vector<BackupRecord>> restoreRecords(const std::string& bytes) {
  std::vector<BackupRecord> records;
  for (const std::string& raw : textLines(bytes)) {
    const std::string line = withoutTrailingBlanks(raw);
    if (line.empty()) continue;
    const std::optional<BackupRecord> r = strictRecord(line);
    if (!r) return std::nullopt;
    records.push_back(*r);
  }
  return records;
}

std::vector<std::string> backupShowLines(const AppContext& ctx, int subtype,
                                         const std::string& bytes) {
  std::vector<std::string> out;
  for (const std::string& line : textLines(bytes)) {
    const std::string s1 = columns(line, 5, 3);
    const std::string s2 = columns(line, 10, 3);
    const std::string s3 = columns(line, 15, 3);
    const int n = integerOf(columns(line, 1, 2));
    if (subtype == 18)
      showLines18(ctx, n, integerOf(s1), s1, s2, s3, out);
    else
      showLines19(ctx, n, integerOf(s1), s1, s2, s3, out);
  }
  return out;
}

void saveModuleBackup(AppContext& ctx) {
  selectionFromTabs(ctx);
  const int subtype = ctx.form.subtypeFamily1;  // the page that holds the button
  if (!requireProgrammingMode(ctx)) return;
  const std::optional<std::string> name = askFile(ctx, 506, true);
  if (!name) return;

  RunScope busy(ctx);
  openProgress(ctx, ctx.text(508), barMaximum(subtype, false));
  std::string file;
  for (const SaveStep& s : saveSteps(subtype)) {
    setProgress(ctx, s.bar);
    submitBusRequest(ctx, 0, s.parameter);
    pumpedWait(ctx, kSaveWaitMs);
    const int bus = ctx.currentBus();
    file += backupRecord(s.parameter, ctx.bus.mirror(bus, 1), ctx.bus.mirror(bus, 2),
                         ctx.bus.mirror(bus, 3)) +
            "\r\n";
  }
  ctx.ui.closeWindow(kBackupProgressWindow);
  // The whole file is written at the end, so a failing module or a quit on the way never
  // leaves half a backup in the place of a good one.
  if (!ctx.system.writeFileAtomic(*name, file))
    ctx.ui.messageBox(kMain, ctx.text(506), fileErrorText(ctx, *name), mb::kOk | mb::kIconError);
}

void showModuleBackup(AppContext& ctx, int subtype) {
  selectionFromTabs(ctx);
  const std::optional<std::string> name = askFile(ctx, 509, false);
  if (!name) return;
  const std::optional<std::string> bytes = readBackup(ctx, *name);
  if (!bytes) {
    ctx.ui.messageBox(kMain, ctx.text(509), fileErrorText(ctx, *name), mb::kOk | mb::kIconError);
    return;
  }
  WindowSpec w;
  w.owner = kMain;
  w.title = ctx.text(511);
  w.rect = subtype == 18 ? kShowWindow18 : kShowWindow19;
  w.centred = true;
  if (!ctx.ui.openWindow(win::kBackupShow, w)) return;
  ControlSpec list;
  list.kind = ControlKind::ReadOnlyField;
  list.id = kBackupShowList;
  list.rect = {6, 6, w.rect.w - 12, w.rect.h - 12 - kTitleBar};
  list.multiLine = true;
  std::string text;
  for (const std::string& line : backupShowLines(ctx, subtype, *bytes)) text += line + "\n";
  list.text = text;
  ctx.ui.createControl(win::kBackupShow, list);
}

void restoreModuleBackup(AppContext& ctx, int subtype) {
  selectionFromTabs(ctx);
  if (!requireProgrammingMode(ctx)) return;
  const std::optional<std::string> name = askFile(ctx, 526, false);
  if (!name) return;
  // Far too big to be a backup: as damaged as one cut short, not one that cannot be read.
  const bool tooBig = ctx.system.fileSize(*name) > kMaxFileBytes;
  const std::optional<std::string> bytes = tooBig ? std::nullopt : ctx.system.readFile(*name);
  if (!tooBig && !bytes) return;
  const std::optional<std::vector<BackupRecord>> records =
      bytes ? restoreRecords(*bytes) : std::nullopt;
  if (!records) {
    ctx.ui.messageBox(kMain, ctx.text(526),
                      ctx.text(kDamagedBackupText) + "\n\n   " + *name + "   ",
                      mb::kOk | mb::kIconError);
    return;
  }

  RunScope busy(ctx);
  lockForm(ctx, true);  // the exit button cancels between records meanwhile
  openProgress(ctx, "Setzen", barMaximum(subtype, true));
  replay(ctx, subtype, *records);
  ctx.ui.closeWindow(kBackupProgressWindow);
  lockForm(ctx, false);
}

void registerBackupRows(Dispatcher& d) {
  struct Buttons {
    int save;
    int subtype;
  };
  constexpr Buttons kPages[] = {{2239, 18}, {2281, 19}};
  for (const Buttons& b : kPages) {
    const int subtype = b.subtype;
    d.onControl(b.save, b.save, EventType::Click,
                [](AppContext& c, const UiEvent&) { saveModuleBackup(c); });
    d.onControl(b.save + 1, b.save + 1, EventType::Click,
                [subtype](AppContext& c, const UiEvent&) { showModuleBackup(c, subtype); });
    d.onControl(b.save + 2, b.save + 2, EventType::Click,
                [subtype](AppContext& c, const UiEvent&) { restoreModuleBackup(c, subtype); });
  }
}

}  // namespace kw
