#include "forms/turntable_tools.h"

#include <optional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "forms/families.h"
#include "forms/form.h"
#include "forms/position_query.h"
#include "forms/turntable_files.h"
#include "programming/families.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

// Fields of the settings page.
constexpr int kAddressField = 2291;
constexpr int kFeedbackField = 2292;  // where the turntable reports its track
constexpr int kModeField = 2293;
constexpr int kRampField = 2294;
constexpr int kSpeedField = 2295;
constexpr int kTracksLabel = 2296;
constexpr int kTrackLabel = 2298;
constexpr int kFeedbackOption = 2289;
constexpr int kCountField = 2303;  // repeat count / target

// Direct commands: parameter 3 selected, then a command on address 2.
constexpr int kCommandParameter = 3;
constexpr uint32_t kSelectMs = 400;
constexpr uint32_t kCommandMs = 200;
constexpr int kStop = 16;
constexpr int kToTarget = 32;
constexpr int kReference = 64;
constexpr int kTrackOn = 128;
constexpr int kHighestTarget = 200;
constexpr int kMostTracksOn = 47;
// The handshake of one track on: 128 seen on address 2, then 0 once the turntable stands.
constexpr int kTakenValue = 128;
constexpr int kStandingValue = 0;
constexpr uint32_t kPollMs = 10;
constexpr uint32_t kTakenWithinMs = 500;
constexpr uint32_t kStandingWithinMs = 10000;
constexpr uint32_t kTrackShownAfterMs = 100;

// Settings file.
constexpr uint32_t kSettingsReadMs = 700;

// Position panel.
constexpr int kTurnBits = 0xC0;
constexpr int kTurning = 0x80;
constexpr int kTrackBits = 0x3F;
constexpr uint32_t kBeforeTurnMs = 100;
constexpr uint32_t kAfterTurnOrderMs = 500;
constexpr uint32_t kTurnPollMs = 100;
constexpr int kStatusField = 4;
// The turntable sits on an ordinary module address; a turn order must never reach the
// programming block (104..107) or the system addresses above it.
constexpr int kLastModuleAddress = 103;

constexpr const char* kEmptyPattern = "00000000";

// Turntable files: dialog titles, and pattern and proposed name of each kind.
constexpr int kOpenTitle = 533;
constexpr int kSaveTitle = 536;
constexpr int kNotSavedText = 42;
struct FileKind {
  int pattern;
  int name;
};
constexpr FileKind kSettingsFile{552, 551};
constexpr FileKind kStepFile{537, 550};
constexpr FileKind kPatternFile{535, 534};

int fieldValue(const AppContext& ctx, int control) {
  return fieldNumber(ctx.ui.text(kMain, control));
}

void message(AppContext& ctx, int title, const std::string& text, int icon) {
  ctx.ui.messageBox(kMain, ctx.text(title), text, mb::kOk | icon);
}

// The position ask of the bus thread stays off while a tool talks to the turntable.
class PositionAskPause {
 public:
  explicit PositionAskPause(AppContext& ctx)
      : flag_(ctx.forms.positionQuery.enabled), was_(flag_.exchange(false)) {}
  ~PositionAskPause() { flag_ = was_; }
  PositionAskPause(const PositionAskPause&) = delete;
  PositionAskPause& operator=(const PositionAskPause&) = delete;

 private:
  std::atomic<bool>& flag_;
  bool was_;
};

// ------------------------------------------------------------------------------------
// Files

std::optional<std::string> askForFile(AppContext& ctx, bool save, FileKind kind) {
  FileDialogSpec d;
  d.owner = kMain;
  d.title = ctx.text(save ? kSaveTitle : kOpenTitle);
  d.pattern = ctx.text(kind.pattern);
  d.directory = ctx.startDirectory;
  d.fileName = ctx.startDirectory + ctx.text(kind.name);
  std::optional<std::string> path = save ? ctx.ui.saveFileDialog(d) : ctx.ui.openFileDialog(d);
  if (path && path->empty()) path.reset();
  return path;
}

// Texts of the refusals: a file that cannot be read or written, a file that is not of
// the kind asked for, and a settings file with a value no byte can hold.
constexpr int kCannotOpenText = 524;
constexpr int kCannotOpenHint = 525;
constexpr int kWrongKindText = 34;
constexpr int kOutOfRangeText = 35;

std::string namedFile(const std::string& path) { return "\n\n   " + path + "   "; }

// "The file cannot be opened: <name> (please check ...)".
void fileRefused(AppContext& ctx, int title, const std::string& path) {
  message(ctx, title,
          ctx.text(kCannotOpenText) + namedFile(path) + "\n\n" + ctx.text(kCannotOpenHint),
          mb::kIconError);
}

// A file that was read but is no turntable file of the kind the button is for.
void wrongKind(AppContext& ctx, const std::string& path) {
  message(ctx, kOpenTitle, ctx.text(kWrongKindText) + namedFile(path), mb::kIconError);
}

// The bytes of a turntable file, or nothing (after the message) when it cannot be read
// or is far too large to be one.
std::optional<std::string> readTurntableFile(AppContext& ctx, const std::string& path) {
  if (ctx.system.fileSize(path) > kTurntableFileLimit) {
    wrongKind(ctx, path);
    return std::nullopt;
  }
  std::optional<std::string> bytes = ctx.system.readFile(path);
  if (!bytes) {
    fileRefused(ctx, kOpenTitle, path);
    return std::nullopt;
  }
  if (static_cast<long long>(bytes->size()) > kTurntableFileLimit) {
    wrongKind(ctx, path);
    return std::nullopt;
  }
  return bytes;
}

void writeTurntableFile(AppContext& ctx, const std::string& path, const std::string& bytes) {
  if (!ctx.system.writeFileAtomic(path, bytes)) fileRefused(ctx, kSaveTitle, path);
}

// A file of lines (step table or patterns) into the fields from `first` on.
template <typename Parse>
bool loadLines(AppContext& ctx, FileKind kind, int first, Parse parse) {
  const std::optional<std::string> path = askForFile(ctx, false, kind);
  if (!path) return false;
  const std::optional<std::string> bytes = readTurntableFile(ctx, *path);
  if (!bytes) return false;
  const std::optional<std::vector<std::string>> lines = parse(*bytes);
  if (!lines) {
    wrongKind(ctx, *path);
    return false;
  }
  for (size_t i = 0; i < lines->size(); ++i)
    ctx.ui.setText(kMain, first + static_cast<int>(i), (*lines)[i]);
  return true;
}

void saveLines(AppContext& ctx, FileKind kind, const std::vector<std::string>& lines) {
  const std::optional<std::string> path = askForFile(ctx, true, kind);
  if (path) writeTurntableFile(ctx, *path, linesFileBytes(lines));
}

SettingsFileNames settingsNames(const AppContext& ctx) {
  return {ctx.text(538), ctx.text(539), ctx.text(540), ctx.text(541), ctx.text(542)};
}

void loadSettings(AppContext& ctx) {
  const std::optional<std::string> path = askForFile(ctx, false, kSettingsFile);
  if (!path) return;
  const std::optional<std::string> bytes = readTurntableFile(ctx, *path);
  if (!bytes) return;
  const SettingsFileRead read = readSettingsFile(*bytes, settingsNames(ctx));
  if (read.outcome == SettingsFileRead::Outcome::NotASettingsFile) {
    wrongKind(ctx, *path);
    return;
  }
  if (read.outcome == SettingsFileRead::Outcome::ValueOutOfRange) {
    message(ctx, kOpenTitle,
            ctx.text(kOutOfRangeText) + namedFile(*path) + "\n\n   " + read.badEntry,
            mb::kIconError);
    return;
  }
  const TurntableSettings& s = read.settings;
  Ui& ui = ctx.ui;
  ui.setText(kMain, kAddressField, std::to_string(s.address));
  ui.setText(kMain, kModeField, std::to_string(s.mode));
  ui.setText(kMain, kRampField, std::to_string(s.ramp));
  ui.setText(kMain, kSpeedField, std::to_string(s.speed));
  ui.setText(kMain, kTracksLabel, std::to_string(s.tracks));
  notePositionPanel(ctx);
}

// The file holds what the module has, not what was typed: the module is read first. That
// needs the register window, so the bus must be in programming mode for the turntable.
void saveSettings(AppContext& ctx) {
  if (!requireProgrammingMode(ctx)) return;
  const std::optional<std::string> path = askForFile(ctx, true, kSettingsFile);
  if (!path) return;
  RunScope busy(ctx);
  PositionAskPause pause(ctx);
  lockForm(ctx, true);
  const ModuleRun run{ctx, kSettingsReadMs};
  readTurntableSettings(run, false);
  const bool cancelled = run.cancelled();
  lockForm(ctx, false);
  notePositionPanel(ctx);
  if (cancelled) {
    // A half-read module is not saved; the user chose a file and is told why it is not there.
    message(ctx, kSaveTitle, ctx.text(kNotSavedText), mb::kIconInformation);
    return;
  }
  TurntableSettings s;
  s.address = fieldValue(ctx, kAddressField);
  s.mode = fieldValue(ctx, kModeField);
  s.ramp = fieldValue(ctx, kRampField);
  s.speed = fieldValue(ctx, kSpeedField);
  s.tracks = fieldValue(ctx, kTracksLabel);
  writeTurntableFile(ctx, *path, settingsFileBytes(settingsNames(ctx), s));
}

// ------------------------------------------------------------------------------------
// Direct commands

enum class Wait { Seen, TimedOut, Cancelled };

// Polls address 2 every 10 ms until it shows `value`.
Wait waitForCommandState(AppContext& ctx, int value, uint32_t withinMs) {
  const Tick deadline = ctx.clock.now() + withinMs;
  for (;;) {
    if (ctx.bus.mirror(ctx.currentBus(), 2) == value) return Wait::Seen;
    if (ctx.cancelRequested.load() != 0) return Wait::Cancelled;
    if (tickReached(ctx.clock.now(), deadline)) return Wait::TimedOut;
    pumpedWait(ctx, kPollMs);
  }
}

// The track the turntable reports on its feedback address, when it has one.
void showReportedTrack(AppContext& ctx) {
  if (ctx.ui.state(kMain, kFeedbackOption) == 0) return;
  const int p = fieldValue(ctx, kFeedbackField);
  if (p <= 0) return;
  pumpedWait(ctx, kTrackShownAfterMs);
  ctx.ui.setText(kMain, kTrackLabel, std::to_string(ctx.bus.mirror(ctx.currentBus(), p)));
}

void tracksOn(AppContext& ctx, int n) {
  if (n > kMostTracksOn) {
    message(ctx, 545, ctx.text(546), mb::kIconError);
    ctx.ui.setFocus(kMain, kCountField);
    return;
  }
  if (n > 1 && ctx.ui.messageBox(kMain, ctx.text(545),
                                 ctx.text(547) + "  " + std::to_string(n) + ctx.text(548),
                                 mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return;
  for (int i = 0; i < n; ++i) {
    writeAndWait(ctx, 2, kTrackOn, kCommandMs);
    Wait w = waitForCommandState(ctx, kTakenValue, kTakenWithinMs);
    if (w == Wait::TimedOut) message(ctx, 545, ctx.text(549), mb::kIconWarning);
    if (w != Wait::Seen) return;
    w = waitForCommandState(ctx, kStandingValue, kStandingWithinMs);
    if (w == Wait::TimedOut) message(ctx, 545, ctx.text(550), mb::kIconWarning);
    if (w != Wait::Seen) return;
    showReportedTrack(ctx);
    if (ctx.cancelRequested.load() != 0) return;
  }
}

// The commands use the register window, so they need the programming mode like every
// other transfer through it; outside it they would write to whatever sits on 0..3.
void directCommand(AppContext& ctx, int button) {
  if (!requireProgrammingMode(ctx)) return;
  RunScope busy(ctx);
  PositionAskPause pause(ctx);
  lockForm(ctx, true);
  writeAndWait(ctx, 0, kCommandParameter, kSelectMs);
  int n = fieldValue(ctx, kCountField);
  if (n == 0) n = 1;
  switch (button) {
    case 2304: writeAndWait(ctx, 2, kStop, kCommandMs); break;
    case 2300: writeAndWait(ctx, 2, kReference, kCommandMs); break;
    case 2302:
      if (n > kHighestTarget) {
        message(ctx, 543, ctx.text(544), mb::kIconError);
        ctx.ui.setFocus(kMain, kCountField);
        break;
      }
      writeAndWait(ctx, 3, n, kCommandMs);
      writeAndWait(ctx, 2, kToTarget, kCommandMs);
      break;
    case 2301: tracksOn(ctx, n); break;
    default: break;
  }
  lockForm(ctx, false);
}

// ------------------------------------------------------------------------------------
// Step table and patterns

std::vector<std::string> fieldTexts(const AppContext& ctx, int first) {
  std::vector<std::string> out;
  for (int i = 0; i < ctl::kStepCount; ++i) out.push_back(ctx.ui.text(kMain, first + i));
  return out;
}

// The rest of a full turn, evenly over the first empty (0) step and all after it; the
// last step also takes what does not divide evenly.
void distributeSteps(AppContext& ctx) {
  int rest = kFullTurnUnits;
  int filled = 0;
  while (filled < ctl::kStepCount) {
    const int v = fieldValue(ctx, ctl::kFirstStep + filled);
    if (v == 0) break;
    rest -= v;
    ++filled;
  }
  const int left = ctl::kStepCount - filled;
  // Steps already past a full turn leave nothing to share: the check below says so.
  if (left > 0 && rest >= 0) {
    for (int s = filled; s < ctl::kStepCount; ++s) {
      const int share = rest / left + (s == ctl::kStepCount - 1 ? rest % left : 0);
      ctx.ui.setText(kMain, ctl::kFirstStep + s, std::to_string(share));
    }
  }
  checkSteps(ctx);
}

// ------------------------------------------------------------------------------------
// Position panel

void setTurnDone(AppContext& ctx, bool done) { ctx.forms.positionQuery.enabled = done; }

// Waits until the turntable at `address` stands (bit 7 clear) or the user cancels,
// showing the track it reports on `feedback` (0: none) as it passes.
void followTurn(AppContext& ctx, int address, int feedback, int lastReported) {
  const int bus = ctx.currentBus();
  for (;;) {
    const int v = ctx.bus.mirror(bus, address);
    if (feedback > 0) {
      const int reported = ctx.bus.mirror(bus, feedback);
      if (reported != lastReported) {
        lastReported = reported;
        ctx.ui.setText(kMain, ctl::kPositionNumber, std::to_string(reported & kTrackBits));
      }
    }
    if ((v & kTurning) == 0 || ctx.cancelRequested.load() != 0) return;
    pumpedWait(ctx, kTurnPollMs);
  }
}

}  // namespace

bool turnDone(const AppContext& ctx) { return ctx.forms.positionQuery.enabled.load(); }

void turntableCommand(AppContext& ctx, int button) {
  switch (button) {
    case 2305: loadSettings(ctx); break;
    case 2306: saveSettings(ctx); break;
    case 2300:
    case 2301:
    case 2302:
    case 2304: directCommand(ctx, button); break;
    default: break;
  }
}

void stepTableTool(AppContext& ctx, int button) {
  switch (button) {
    case 2315:
      if (loadLines(ctx, kStepFile, ctl::kFirstStep, parseStepTable)) checkSteps(ctx);
      break;
    case 2316: {
      std::vector<std::string> lines;
      for (int s = 0; s < ctl::kStepCount; ++s)
        lines.push_back(std::to_string(fieldValue(ctx, ctl::kFirstStep + s)));
      saveLines(ctx, kStepFile, lines);
      break;
    }
    case 2317: distributeSteps(ctx); break;
    default: break;
  }
}

void patternTool(AppContext& ctx, int button) {
  switch (button) {
    case 2307: loadLines(ctx, kPatternFile, ctl::kFirstPattern, parsePatterns); break;
    case 2308: {
      std::vector<std::string> lines = fieldTexts(ctx, ctl::kFirstPattern);
      for (std::string& line : lines) line = patternLine(line);
      saveLines(ctx, kPatternFile, lines);
      break;
    }
    case 2309:
    case 2310:
      for (int s = 0; s < ctl::kStepCount; ++s) {
        const int field = ctl::kFirstPattern + s;
        if (button == 2309 || ctx.ui.text(kMain, field).empty())
          ctx.ui.setText(kMain, field, kEmptyPattern);
      }
      break;
    default: break;
  }
}

void turnToPosition(AppContext& ctx, int k) {
  if (k < 0 || k >= ctl::kStepCount) return;
  RunScope busy(ctx);
  setTurnDone(ctx, false);
  pumpedWait(ctx, kBeforeTurnMs);
  const int bus = ctx.currentBus();
  int feedback = 0;
  if (ctx.ui.state(kMain, kFeedbackOption) != 0) feedback = fieldValue(ctx, kFeedbackField);
  const int reported = feedback > 0 ? ctx.bus.mirror(bus, feedback) : 0;
  const int address = fieldValue(ctx, kAddressField);
  if (address <= 0 || address > kLastModuleAddress) {
    setTurnDone(ctx, true);
    return;
  }
  lockForm(ctx, true);
  ctx.ui.setStatusText(kMain, kStatusField, ctx.text(532) + pad(k, 2));
  writeAndWait(ctx, address, k | kTurnBits, kAfterTurnOrderMs);
  followTurn(ctx, address, feedback, reported);
  ctx.ui.setStatusText(kMain, kStatusField, "");
  lockForm(ctx, false);
  setTurnDone(ctx, true);
}

void registerTurntableToolRows(Dispatcher& d) {
  auto command = [](AppContext& c, const UiEvent& e) { turntableCommand(c, e.control); };
  d.onControl(2300, 2302, EventType::Click, command);
  d.onControl(2304, 2306, EventType::Click, command);
  d.onControl(2315, 2317, EventType::Click,
              [](AppContext& c, const UiEvent& e) { stepTableTool(c, e.control); });
  d.onControl(2307, 2310, EventType::Click,
              [](AppContext& c, const UiEvent& e) { patternTool(c, e.control); });
  d.onControl(ctl::kFirstPosition, ctl::kFirstPosition + ctl::kStepCount - 1, EventType::Click,
              [](AppContext& c, const UiEvent& e) {
                turnToPosition(c, e.control - ctl::kFirstPosition);
              });
}

}  // namespace kw
