// The turntable tools in the started program: direct commands with their handshake, the
// three files, the distribution of the step table and the position panel, against the
// simulated turntable of the standard layout (address 15, feedback address 91) or a
// stand-in.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "forms/families.h"
#include "forms/form.h"
#include "forms/parameter_form.h"
#include "forms/turntable_tools.h"
#include "programming/module_fixture.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

constexpr int kTab11 = 0;
constexpr int kTab12 = 1;
constexpr int kTab13 = 2;
constexpr int kTab14 = 3;
constexpr int kTurntable = 15;
const std::string kDir = "/home/user/layout/";

struct LayoutHarness : ModuleHarness {
  LayoutHarness() { sim::addStandardLayout(bus()); }
  std::shared_ptr<sim::SimModule> turntable() { return sim::findModule(bus(), 2); }
  // The turntable in programming mode the way the user does it; the read-out offered at
  // switch-on is declined, so the form keeps what was typed.
  void enterTurntable() {
    boot();
    showFamily(2, kTab11);
    setText(2291, std::to_string(kTurntable));
    ui.answerNext(mb::kAnswerYes);
    ui.answerNext(mb::kAnswerNo);
    press(2290, 3000);
    ASSERT_EQ(ctx->bus.programmingMode.load(), 1);
    ui.messages.clear();
  }
};

// Nothing of the form is locked (also when no tool ever locked it).
bool formFree(const ModuleHarness& h) {
  return h.ui.enabled(win::kMain, ctl::kProgram) && h.text(ctl::kCancel) != t(502);
}

std::vector<std::string> titles(const ModuleHarness& h) {
  std::vector<std::string> out;
  for (const auto& m : h.ui.messages) out.push_back(m.title);
  return out;
}

std::vector<std::string> texts(const ModuleHarness& h, int first, int count = ctl::kStepCount) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(h.text(first + i));
  return out;
}

// ------------------------------------------------------------------------------------
// Direct commands

TEST(TurntableCommands, WritesPausesAndRefusals) {
  struct Case {
    const char* name;
    int button;
    const char* count;  // field 2303
    bool programming;
    Pairs writes;
    std::vector<int> gaps;
    std::vector<std::string> messages;  // titles
  };
  const Case cases[] = {
      {"stop", 2304, "1", true, {{0, 3}, {2, 16}}, {400}, {}},
      {"reference run", 2300, "1", true, {{0, 3}, {2, 64}}, {400}, {}},
      {"target, empty counts as 1", 2302, "", true, {{0, 3}, {3, 1}, {2, 32}}, {400, 200}, {}},
      {"target 200", 2302, "200", true, {{0, 3}, {3, 200}, {2, 32}}, {400, 200}, {}},
      {"target 201", 2302, "201", true, {{0, 3}}, {}, {t(543)}},
      {"48 tracks on", 2301, "48", true, {{0, 3}}, {}, {t(545)}},
      {"no programming mode", 2304, "1", false, {}, {}, {t(500)}},
      {"target, 0 counts as 1", 2302, "0", true, {{0, 3}, {3, 1}, {2, 32}}, {400, 200}, {}},
      {"reference run, no programming mode", 2300, "1", false, {}, {}, {t(500)}},
      {"target, no programming mode", 2302, "5", false, {}, {}, {t(500)}},
      {"tracks on, no programming mode", 2301, "1", false, {}, {}, {t(500)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(2, kTab11);
    if (c.programming) h.programmingModeOn();
    h.setText(2303, c.count);
    const auto w = h.press(c.button, 2000);
    EXPECT_EQ(pairs(w), c.writes);
    EXPECT_EQ(gaps(w), c.gaps);
    EXPECT_EQ(titles(h), c.messages);
    if (!c.messages.empty() && c.programming) {
      EXPECT_EQ(h.ui.focus().second, 2303);
    }
    EXPECT_TRUE(formFree(h));
  }
}

TEST(TurntableCommands, TracksOnCountsEmptyOrZeroAsOne) {
  for (const char* count : {"", "0"}) {
    SCOPED_TRACE(count);
    ModuleHarness h;
    h.boot();
    h.showFamily(2, kTab11);
    h.programmingModeOn();
    h.setText(2303, count);
    // The turntable takes the step (128 stands on address 2) and is done 300 ms later.
    h.onWrite = [&h](int a, int v) {
      if (a == 2 && v == 128)
        h.clock.every(300, [&h] {
          h.bus().set(0, 2, 0);
          return -1;
        });
    };
    const auto w = h.press(2301, 3000);
    EXPECT_EQ(pairs(w), (Pairs{{0, 3}, {2, 128}}));
    EXPECT_TRUE(h.ui.messages.empty());  // one track asks nothing
    EXPECT_TRUE(formFree(h));
  }
}

TEST(TurntableCommands, TracksOnWithTheSimulatedTurntable) {
  LayoutHarness h;
  h.enterTurntable();
  h.setText(2292, "91");
  h.setText(2303, "3");
  const auto w = h.press(2301, 6000);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(545));
  EXPECT_EQ(h.ui.messages[0].text, t(547) + "  3" + t(548));
  EXPECT_EQ(pairs(w), (Pairs{{0, 3}, {2, 128}, {2, 128}, {2, 128}}));
  EXPECT_EQ(h.turntable()->parameter(2)[1], 3);  // the track it stands at
  EXPECT_EQ(h.text(2298), "3");                  // as reported on address 91
  EXPECT_TRUE(h.unlocked());
}

TEST(TurntableCommands, HandshakeFailures) {
  struct Case {
    const char* name;
    int answer;      // what the turntable puts on address 2 for 128; -1: nothing
    bool cancel;     // the cancel button 1 s after the command
    int messageText;  // 0: none
    int afterMs;      // from the write of 128 to the message
  };
  const Case cases[] = {
      {"never stands", -1, false, 550, 10200},
      {"does not take it", 7, false, 549, 700},
      {"cancelled while turning", -1, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(2, kTab11);
    h.programmingModeOn();
    Tick stepAt = 0;
    h.onWrite = [&](int a, int v) {
      if (a != 2 || v != 128) return;
      stepAt = h.clock.now();
      if (c.answer < 0) return;
      // The module's answer reaches the program at once, not first the written value.
      h.bus().set(0, 2, static_cast<uint8_t>(c.answer));
      h.clock.every(50, [&h, &c] {
        h.ctx->bus.setMirror(0, 2, static_cast<int16_t>(c.answer));
        return -1;
      });
    };
    Tick messageAt = 0;
    h.ui.onMessage = [&](const RecordedMessage&) { messageAt = h.clock.now(); };
    if (c.cancel) h.ui.injectAt(h.clock.now() + 1500, {EventType::Click, win::kMain, ctl::kCancel});
    h.press(2301, 12000);
    if (c.messageText == 0) {
      EXPECT_TRUE(h.ui.messages.empty());
    } else {
      ASSERT_EQ(h.ui.messages.size(), 1u);
      EXPECT_EQ(h.ui.messages[0].text, t(c.messageText));
      EXPECT_NEAR(tickDiff(messageAt, stepAt), c.afterMs, 30);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

// ------------------------------------------------------------------------------------
// Settings file

TEST(TurntableSettingsFile, SavedFromAFreshReadOutAndLoadedBack) {
  LayoutHarness h;
  h.enterTurntable();
  // Edits that the module does not have: the file must not hold them.
  for (auto [field, text] : {std::pair{2291, "99"}, {2293, "7"}, {2294, "1"}, {2295, "2"}})
    h.setText(field, text);
  const std::string path = kDir + "tt.ini";
  h.ui.fileDialogNext(path);
  const auto w = h.press(2306, 4000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 1}, {0, 2}, {0, 3}}));
  EXPECT_EQ(gaps(w), (std::vector<int>{700, 700}));
  ASSERT_EQ(h.ui.fileDialogs.size(), 1u);
  EXPECT_EQ(h.ui.fileDialogs[0].title, t(536));
  EXPECT_EQ(h.ui.fileDialogs[0].pattern, t(552));
  EXPECT_EQ(h.ui.fileDialogs[0].fileName, kDir + t(551));
  EXPECT_EQ(h.ui.fileDialogs[0].directory, kDir);
  EXPECT_EQ(h.system.files[path],
            "; \r\n;  Einstellungen\r\n; \r\n[t538]\r\nt539 = 15\r\nt540 = 0\r\nt541 = 16\r\n"
            "t542 = 32\r\nGleiszahl = 48\r\n; \r\n");
  EXPECT_TRUE(h.unlocked());
  // Unlocking leaves the position buttons off: the bus thread turned them off when the
  // programming mode came on, since a turn order to a turntable that listens on its
  // register window would only be stored, not carried out; the unlock must not undo that.
  EXPECT_FALSE(h.ui.enabled(win::kMain, ctl::kFirstPosition));

  clearForm(*h.ctx, false);
  h.ui.fileDialogNext(path);
  EXPECT_TRUE(h.press(2305, 100).empty());
  EXPECT_EQ(texts(h, 2291, 6), (std::vector<std::string>{"15", "", "0", "16", "32", "48"}));
  EXPECT_EQ(h.ui.fileDialogs[1].title, t(533));
}

TEST(TurntableSettingsFile, ACancelledReadOutSavesNothingAndSaysSo) {
  LayoutHarness h;
  h.enterTurntable();
  const std::string path = kDir + "tt.ini";
  h.ui.fileDialogNext(path);
  h.ui.injectAt(h.clock.now() + 1000, {EventType::Click, win::kMain, ctl::kCancel});
  const auto w = h.press(2306, 4000);
  EXPECT_EQ(pairs(w), (Pairs{{0, 1}, {0, 2}}));
  EXPECT_EQ(h.system.files.count(path), 0u);
  ASSERT_EQ(titles(h), std::vector<std::string>{t(536)});
  EXPECT_EQ(h.ui.messages[0].text, t(42));
  EXPECT_TRUE(h.unlocked());
}

// Each refusal says why: a file that cannot be read, a file of another kind (or far too
// large to be a turntable file), a value out of range; the form keeps what it had.
TEST(TurntableSettingsFile, RefusalsChangeNothing) {
  struct Case {
    const char* name;
    int button;
    bool programming;
    const char* content;  // nullptr: no such file
    bool failWrites;
    std::vector<std::string> titles;
    std::string text;  // of the one message, with the file name "x.ini"
  };
  const std::string big(70000, ' ');
  const std::string path = kDir + "x.ini";
  const std::string named = "\n\n   " + path + "   ";
  const std::string cannotOpen = t(524) + named + "\n\n" + t(525);
  const Case cases[] = {
      {"step table loaded as settings",
       2305,
       false,
       "800\r\n800\r\n",
       false,
       {t(533)},
       t(34) + named},
      {"missing file", 2305, false, nullptr, false, {t(533)}, cannotOpen},
      {"far too large", 2305, false, big.c_str(), false, {t(533)}, t(34) + named},
      {"ramp out of range",
       2305,
       false,
       "[t538]\r\nt539 = 7\r\nt541 = 256\r\n",
       false,
       {t(533)},
       t(35) + named + "\n\n   t541 = 256"},
      {"save outside programming mode", 2306, false, nullptr, false, {t(500)}, t(501)},
      {"save that cannot be written", 2306, true, nullptr, true, {t(536)}, cannotOpen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(2, kTab11);
    if (c.programming) h.programmingModeOn();
    h.setText(2291, "12");
    if (c.content) h.system.files[path] = c.content;
    h.system.failWrites = c.failWrites;
    h.ui.fileDialogNext(path);
    h.press(c.button, 3000);
    EXPECT_EQ(titles(h), c.titles);
    if (c.button == 2305) {
      EXPECT_EQ(h.text(2291), "12");
    }
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, c.text);
    EXPECT_EQ(h.ui.messages[0].flags & mb::kIconMask, mb::kIconError);
  }
}

// ------------------------------------------------------------------------------------
// Step table

TEST(TurntableStepTable, Distribute) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> filled;  // step, value
    std::vector<std::pair<int, std::string>> expected;
    std::string sum;
    size_t messages;
  };
  std::vector<std::pair<int, int>> firstTen, all47, all48, past;
  for (int s = 0; s < 10; ++s) firstTen.push_back({s, 800});
  for (int s = 0; s < 47; ++s) all47.push_back({s, 800});
  for (int s = 0; s < 48; ++s) all48.push_back({s, 700});
  for (int s = 0; s < 47; ++s) past.push_back({s, 900});
  std::vector<std::pair<int, int>> hole = firstTen;
  hole.push_back({11, 999});  // after the first empty step: overwritten
  const Case cases[] = {
      {"all empty", {}, {{0, "800"}, {23, "800"}, {47, "800"}}, "38400", 0},
      {"47 filled", all47, {{46, "800"}, {47, "800"}}, "38400", 0},
      {"uneven rest", {{0, 100}}, {{0, "100"}, {1, "814"}, {46, "814"}, {47, "856"}}, "38400", 0},
      {"a hole", hole, {{10, "800"}, {11, "800"}, {47, "800"}}, "38400", 0},
      {"nothing left", all48, {{47, "700"}}, "33600", 0},
      {"past a full turn", past, {{47, ""}}, "42300", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(2, kTab12);
    for (auto [s, v] : c.filled) h.setText(ctl::kFirstStep + s, std::to_string(v));
    h.press(2317, 100);
    for (const auto& [s, text] : c.expected) EXPECT_EQ(h.text(ctl::kFirstStep + s), text) << s;
    EXPECT_TRUE(formFree(h));
    EXPECT_EQ(h.text(ctl::kStepSum), c.sum);
    EXPECT_EQ(h.ui.messages.size(), c.messages);
  }
}

TEST(TurntableStepTable, FileBytesRoundTripAndRefusals) {
  ModuleHarness h;
  h.boot();
  h.showFamily(2, kTab12);
  std::string expected;
  for (int s = 0; s < ctl::kStepCount; ++s) {
    const std::string v = s == 5 ? "" : std::to_string(790 + s);
    h.setText(ctl::kFirstStep + s, v);
    expected += (v.empty() ? "0" : v) + "\r\n";
  }
  const std::string path = kDir + "steps.txt";
  h.ui.fileDialogNext(path);
  h.press(2316, 100);
  EXPECT_EQ(h.system.files[path], expected);
  EXPECT_EQ(h.ui.fileDialogs[0].fileName, kDir + t(550));
  EXPECT_EQ(h.ui.fileDialogs[0].pattern, t(537));

  clearForm(*h.ctx, false);
  h.ui.fileDialogNext(path);
  h.press(2315, 100);
  EXPECT_EQ(h.text(ctl::kFirstStep + 5), "0");
  EXPECT_EQ(h.text(ctl::kFirstStep + 47), "837");
  EXPECT_EQ(h.text(ctl::kStepSum), std::to_string(48 * 790 + 47 * 48 / 2 - 795));

  // A file cut short fills what it has; a pattern file or a damaged line changes nothing.
  const std::pair<const char*, bool> files[] = {
      {"800\r\n8", true}, {"00010001\r\n", false}, {"800\r\n8x0\r\n", false}};
  for (const auto& [content, taken] : files) {
    SCOPED_TRACE(content);
    h.system.files[path] = content;
    h.ui.messages.clear();
    h.ui.fileDialogNext(path);
    auto want = texts(h, ctl::kFirstStep);
    h.press(2315, 100);
    if (taken) want[0] = "800", want[1] = "8";
    EXPECT_EQ(texts(h, ctl::kFirstStep), want);
    EXPECT_EQ(h.ui.messages.size(), taken ? 0u : 1u);
  }
}

// ------------------------------------------------------------------------------------
// Output patterns

TEST(TurntablePatterns, FileAndFillButtons) {
  ModuleHarness h;
  h.boot();
  h.showFamily(2, kTab13);
  h.setText(ctl::kFirstPattern + 1, "00010001");
  h.setText(ctl::kFirstPattern + 2, "101");
  h.press(2310, 100);  // only the empty ones
  EXPECT_EQ(h.text(ctl::kFirstPattern), "00000000");
  EXPECT_EQ(h.text(ctl::kFirstPattern + 1), "00010001");
  EXPECT_EQ(h.text(ctl::kFirstPattern + 2), "101");
  const std::string path = kDir + "p.txt";
  h.ui.fileDialogNext(path);
  h.press(2308, 100);
  std::string expected = "00000000\r\n00010001\r\n101\r\n";
  for (int s = 3; s < ctl::kStepCount; ++s) expected += "00000000\r\n";
  EXPECT_EQ(h.system.files[path], expected);
  EXPECT_EQ(h.ui.fileDialogs[0].fileName, kDir + t(534));
  EXPECT_EQ(h.ui.fileDialogs[0].pattern, t(535));

  h.press(2309, 100);  // all of them
  EXPECT_EQ(texts(h, ctl::kFirstPattern), std::vector<std::string>(48, "00000000"));
  h.ui.fileDialogNext(path);
  h.press(2307, 100);
  EXPECT_EQ(h.text(ctl::kFirstPattern + 1), "00010001");
  EXPECT_EQ(h.text(ctl::kFirstPattern + 2), "101");
  // A step table is no pattern file, and the message says so.
  h.system.files[path] = "800\r\n800\r\n";
  h.ui.fileDialogNext(path);
  h.press(2307, 100);
  EXPECT_EQ(h.text(ctl::kFirstPattern + 1), "00010001");
  EXPECT_EQ(titles(h), std::vector<std::string>{t(533)});
  EXPECT_EQ(h.ui.messages[0].text, t(34) + "\n\n   " + path + "   ");
  // A cancelled dialog does nothing.
  h.press(2307, 100);
  EXPECT_EQ(h.ui.messages.size(), 1u);
}

// The fields take any digit; only a 1 switches an output on. What is saved is what the
// module would get, and the program loads its own file again.
TEST(TurntablePatterns, FieldsWithOtherDigitsSaveWhatLoadTakes) {
  ModuleHarness h;
  h.boot();
  h.showFamily(2, kTab13);
  h.press(2309, 100);
  h.setText(ctl::kFirstPattern, "00020019");
  h.setText(ctl::kFirstPattern + 1, "9");
  const std::string path = kDir + "p.txt";
  h.ui.fileDialogNext(path);
  h.press(2308, 100);
  const std::string saved = h.system.files[path];
  const std::string head = "00000010\r\n0\r\n00000000\r\n";
  EXPECT_EQ(saved.substr(0, head.size()), head);
  h.press(2309, 100);
  h.ui.fileDialogNext(path);
  h.press(2307, 100);
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.text(ctl::kFirstPattern), "00000010");
  EXPECT_EQ(h.text(ctl::kFirstPattern + 1), "0");
  // A file an editor saved as UTF-8, with its byte-order mark.
  h.system.files[path] =
      "\xEF\xBB\xBF"
      "10000001\r\n";
  h.ui.fileDialogNext(path);
  h.press(2307, 100);
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.text(ctl::kFirstPattern), "10000001");
}

// ------------------------------------------------------------------------------------
// Position panel

TEST(TurntablePanel, TurnsToATrackAndShowsIt) {
  LayoutHarness h;
  h.boot();
  h.setText(2291, "15");
  h.setText(2292, "91");
  h.showFamily(2, kTab14);
  h.run(1200);
  EXPECT_EQ(h.text(ctl::kPositionNumber), "0");  // the answer to the bus thread's ask
  const size_t before = h.writes.size();
  // What the form shows while the turn is under way (the click returns only at its end).
  bool doneMeanwhile = true, readEnabled = true;
  std::string status, passing;
  h.clock.every(700, [&] {
    doneMeanwhile = turnDone(*h.ctx);
    readEnabled = h.ui.enabled(win::kMain, ctl::kRead);
    status = h.ui.statusField(win::kMain, 4).text;
    return -1;
  });
  h.clock.every(1350, [&] {
    passing = h.text(ctl::kPositionNumber);
    return -1;
  });
  h.click(ctl::kFirstPosition + 5);
  h.run(3000);
  EXPECT_FALSE(doneMeanwhile);  // the bus thread's ask stays off
  EXPECT_FALSE(readEnabled);
  EXPECT_EQ(status, t(532) + "05");
  EXPECT_EQ(passing, "3");  // passing track 3, as the feedback address says
  EXPECT_TRUE(turnDone(*h.ctx));
  EXPECT_EQ(h.text(ctl::kPositionNumber), "5");
  EXPECT_EQ(h.ui.statusField(win::kMain, 4).text, "");
  EXPECT_TRUE(h.unlocked());
  const std::vector<BusWriteSeen> w(h.writes.begin() + static_cast<std::ptrdiff_t>(before),
                                    h.writes.end());
  ASSERT_FALSE(w.empty());
  EXPECT_EQ(w[0].address, 15);
  EXPECT_EQ(w[0].value, 0xC0 | 5);
  EXPECT_EQ(h.bus().get(0, 15), 0x40 | 5);
}

TEST(TurntablePanel, NoAddressOrCancel) {
  // 104 and above are the system addresses of the programming block: never a turntable.
  for (const char* address : {"", "104", "111", "15"}) {
    const bool cancel = std::string(address) == "15";
    SCOPED_TRACE(cancel ? "cancelled turn" : address);
    LayoutHarness h;
    h.turntable()->faults.silent = true;  // never stands
    h.boot();
    h.setText(2291, address);
    h.showFamily(2, kTab14);
    const size_t before = h.writes.size();
    if (cancel) h.ui.injectAt(h.clock.now() + 2000, {EventType::Click, win::kMain, ctl::kCancel});
    h.click(ctl::kFirstPosition + 7);
    h.run(3000);
    size_t turns = 0;
    for (size_t i = before; i < h.writes.size(); ++i) turns += h.writes[i].value == (0xC0 | 7);
    EXPECT_EQ(turns, cancel ? 1u : 0u);
    EXPECT_TRUE(turnDone(*h.ctx));
    EXPECT_TRUE(formFree(h));
  }
}

}  // namespace
}  // namespace kw::test
