#include <gtest/gtest.h>

#include <algorithm>

#include "app/fatal.h"
#include "config/program_prefs.h"
#include "buslink/fake_serial.h"
#include "harness.h"

namespace kw::test {
namespace {

const std::string kDefaultProgramPrefs =
    "[Sprache]\r\nSprache = 1\r\n; \r\n[Bus]\r\nBus = 0\r\n; \r\n[Steller]\r\n"
    "StellerOffen = 0\r\nStellerPosX = 200\r\nStellerPosY = 5\r\nSteller1 = 0\r\n"
    "Steller2 = 0\r\nSteller3 = 0\r\nSteller4 = 0\r\n; \r\n";

size_t indexOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<size_t>(std::find(v.begin(), v.end(), s) - v.begin());
}

TEST(StartUp, RunsItsStepsInOrderAndShowsTheMainWindow) {
  Harness h;
  h.system.files[kProgramPreferencesFile] =
      "[Sprache]\r\nSprache = 2\r\n[Bus]\r\nBus = 3\r\n";
  h.start();

  // German first (for the start window), then the preference files, then the language
  // the preferences name.
  const auto& r = h.system.reads;
  ASSERT_GE(r.size(), 4u);
  EXPECT_EQ(r[0], "Kantel_V4.Lang_DE");
  EXPECT_LT(indexOf(r, kSuitePreferencesFile), indexOf(r, kProgramPreferencesFile));
  EXPECT_LT(indexOf(r, kProgramPreferencesFile), indexOf(r, "Kantel_V4.Lang_EN"));

  // Start window before the main window, closed at the end.
  const auto& log = h.ui.log;
  EXPECT_LT(indexOf(log, "open 64"), indexOf(log, "open 0"));
  EXPECT_LT(indexOf(log, "show 0"), indexOf(log, "close 64"));
  EXPECT_FALSE(h.ui.windowOpen(win::kStart));

  const HeadlessWindow* main = h.ui.window(win::kMain);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->visible);
  EXPECT_EQ(main->rect.w, 700);
  EXPECT_EQ(main->rect.h, 640);
  EXPECT_EQ(main->desc.title, "    VOLTARIS Server  EN Modulprogrammierung          V4.15");
  EXPECT_EQ(main->statusWidths, (std::vector<int>{24, 126, 110, 24, 296, 140}));
  EXPECT_EQ(h.ctx->currentBus(), 3);
  EXPECT_EQ(h.ctx->language, 2);
  EXPECT_TRUE(h.ui.menuChecked(win::kMain, menu::kEnglish));
  EXPECT_FALSE(h.ui.menuChecked(win::kMain, menu::kGerman));
  EXPECT_EQ(h.ui.focus(), std::make_pair(0, 2140));
  for (int n : {1, 8, 10, 18, 128, 136, 264, 278, 302}) EXPECT_TRUE(h.ui.imageRegistered(n)) << n;
}

TEST(StartUp, StartWindowShowsStartTextAndVersionTitle) {
  Harness h;
  std::string shownText, shownTitle;
  // Look at the start window while it is open (before the main window is shown).
  AppContext& ctx = *h.ctx;
  showStartWindow(ctx, "Start: x");
  const HeadlessWindow* w = h.ui.window(win::kStart);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->desc.title, "VOLTARIS  V4.15");
  EXPECT_EQ(w->rect.w, 300);
  EXPECT_EQ(w->rect.h, 40);
  ASSERT_NE(h.ui.control(win::kStart, 1), nullptr);
  EXPECT_EQ(h.ui.control(win::kStart, 1)->text, "Start: x");
  EXPECT_EQ(h.ui.pointer(), std::make_pair(960, 540));
}

TEST(StartUp, MainMenuCarriesTextsImagesAndStatusPopup) {
  Harness h;
  h.start();
  const HeadlessWindow* main = h.ui.window(win::kMain);
  ASSERT_EQ(main->menu.size(), 3u);
  EXPECT_EQ(main->menu[0].text, "DE menu 6");
  ASSERT_EQ(main->menu[0].items.size(), 8u);
  EXPECT_EQ(main->menu[0].items[0].id, menu::kSettings);
  EXPECT_EQ(main->menu[0].items[0].image, 302);
  EXPECT_EQ(main->menu[0].items[1].id, 0);  // separator
  EXPECT_EQ(main->menu[0].items[5].text, "DE menu 8");
  EXPECT_EQ(main->menu[0].items[7].id, menu::kQuit);
  EXPECT_EQ(main->menu[2].items[0].image, 278);
  auto popup = h.ui.popupMenu(menu::kStatusPopup);
  ASSERT_EQ(popup.size(), 5u);
  EXPECT_EQ(popup[0].text, "DE text 590");
  EXPECT_EQ(popup[4].text, "DE text 594");
}

TEST(MainLoop, ClockThreadWritesDateAndTimeIntoFieldFive) {
  Harness h;
  h.clock.setLocalTimeBase({2026, 12, 7, 22, 5, 9});
  h.start();
  h.run(1200);
  auto f = h.ui.statusField(win::kMain, 5);
  EXPECT_EQ(f.text, "07.12.2026  22:05:10");
  EXPECT_EQ(f.align, Align::Centre);
  EXPECT_EQ(formatClock({2027, 1, 2, 3, 4, 5}), "02.01.2027  03:04:05");
}

TEST(MainLoop, ClockKeepsTickingAfterABusChange) {
  Harness h;
  h.system.files[kSuitePreferencesFile] =
      "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\nBus1Com = 2\r\nBus1Akt = 1\r\n";
  h.clock.setLocalTimeBase({2026, 12, 7, 10, 0, 0});
  h.start();
  h.ui.inject({EventType::Click, win::kMain, 2012});
  h.run(3100);
  EXPECT_EQ(h.ctx->currentBus(), 1);
  EXPECT_EQ(h.ui.statusField(win::kMain, 5).text, "07.12.2026  10:00:03");
}

TEST(MainLoop, F2WritesTheProgramPreferencesAtOnce) {
  Harness h;
  h.system.files[kProgramPreferencesFile] = "";  // present but empty: every default applies
  h.start();
  EXPECT_EQ(h.system.writes, 0);
  Tick pressed = h.clock.now();
  Tick writtenAt = 0;
  h.system.onWrite = [&](const std::string&) { writtenAt = h.clock.now(); };
  h.ui.inject({EventType::KeyF2, win::kSteller, 0});
  h.run(1);
  ASSERT_TRUE(h.system.fileExists(kProgramPreferencesFile));
  EXPECT_EQ(h.system.files[kProgramPreferencesFile], kDefaultProgramPrefs);
  // The write follows the customary 300 ms pause.
  EXPECT_EQ(tickDiff(writtenAt, pressed), 300);
}

TEST(MainLoop, WithoutAnyPreferenceFileTheStellerPlaceComesFromTheEmptySuiteTable) {
  Harness h;
  h.start();
  saveProgramPreferences(*h.ctx);
  EXPECT_NE(h.system.files[kProgramPreferencesFile].find("StellerPosX = 0\r\nStellerPosY = 0\r\n"),
            std::string::npos);
}

TEST(MainLoop, F1OpensTheHelpOfTheCurrentLanguage) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  Harness h;
  h.system.files["Help/KantelwerkV3.chm"] = "help";
  h.system.installedPrograms = {"/usr/bin/xchm"};
  h.start();
  h.ui.inject({EventType::KeyF1, win::kMain, 2140});
  h.run(1);
  ASSERT_EQ(h.system.startedPrograms.size(), 1u);
  EXPECT_EQ(h.system.startedPrograms[0], "/usr/bin/xchm /home/user/layout/Help/KantelwerkV3.chm");
}

TEST(Quit, AnsweringNoKeepsTheProgramRunningAndWritesNothing) {
  Harness h;
  h.start();
  h.ui.answerNext(mb::kAnswerNo);
  h.ui.inject({EventType::CloseBox, win::kMain, 0});
  EXPECT_EQ(h.expectExit([&] { h.run(500); }), -1);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, "DE text 504");
  EXPECT_EQ(h.ui.messages[0].text, "DE text 505");
  EXPECT_EQ(h.ui.messages[0].flags, mb::kYesNo | mb::kIconQuestion);
  EXPECT_EQ(h.system.writes, 0);
  EXPECT_TRUE(h.ctx->busThread.running());
}

TEST(Quit, YesStopsThreadsThenWritesPreferencesAndEnds) {
  Harness h;
  h.system.files[kProgramPreferencesFile] = "";
  h.start();
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kQuit});
  Tick asked = 0;
  h.ui.onMessage = [&](const RecordedMessage&) { asked = h.clock.now(); };
  bool busRunningAtWrite = true, clockRunningAtWrite = true;
  Tick writtenAt = 0;
  h.system.onWrite = [&](const std::string&) {
    writtenAt = h.clock.now();
    busRunningAtWrite = h.ctx->busThread.running();
    clockRunningAtWrite = h.ctx->clockThread != nullptr;
  };
  EXPECT_EQ(h.expectExit([&] { h.run(5000); }), 0);
  EXPECT_EQ(h.ui.messages.size(), 1u);
  EXPECT_FALSE(busRunningAtWrite);
  EXPECT_FALSE(clockRunningAtWrite);
  EXPECT_EQ(h.system.files[kProgramPreferencesFile], kDefaultProgramPrefs);
  // 400 ms bus stop, 100 ms, clock stop (<= 10 ms), 100 ms, then the 300 ms write pause.
  int32_t took = tickDiff(writtenAt, asked);
  EXPECT_GE(took, 900);
  EXPECT_LE(took, 915);
}

TEST(Quit, InProgrammingModeAsksTwiceAndLeavesProgrammingModeOnYes) {
  Harness h;
  h.start();
  h.ctx->form.currentFamily = 1;
  h.ctx->form.subtypeFamily1 = 19;
  h.ctx->bus.programmingMode = 1;
  h.ctx->bus.stopFlag = 1;  // keep the requests queued so they can be looked at
  h.clock.sleep(5);
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.answerNext(mb::kAnswerYes);
  EXPECT_EQ(h.expectExit([&] { requestQuit(*h.ctx); }), 0);
  ASSERT_EQ(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ui.messages[1].text, "DE text 267");
  EXPECT_EQ(h.ui.messages[1].flags, mb::kYesNo | mb::kIconQuestion);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 0, 255}));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 106, 0}));
}

TEST(Quit, NoToTheSecondQuestionStillQuitsWithoutTheWrites) {
  Harness h;
  h.start();
  h.ctx->form.currentFamily = 1;
  h.ctx->form.subtypeFamily1 = 19;
  h.ctx->bus.programmingMode = 1;
  h.ui.answerNext(mb::kAnswerYes);
  h.ui.answerNext(mb::kAnswerNo);
  EXPECT_EQ(h.expectExit([&] { requestQuit(*h.ctx); }), 0);
  EXPECT_EQ(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ctx->queue.pendingCount(), 0u);
  EXPECT_TRUE(h.ctx->busThread.writeQueue().empty());
}

TEST(Quit, OutsideProgrammingModeAsksOnce) {
  Harness h;
  h.start();
  h.ctx->form.currentFamily = 1;
  h.ctx->form.subtypeFamily1 = 19;
  h.ui.answerNext(mb::kAnswerYes);
  EXPECT_EQ(h.expectExit([&] { requestQuit(*h.ctx); }), 0);
  EXPECT_EQ(h.ui.messages.size(), 1u);
}

TEST(Queue, ThreeRequestsKeepTheirOrderOnePerCycle) {
  FakeSerialPorts ports;
  ports.lines[1];
  Harness run(&ports);
  ports.clock = &run.clock;
  run.system.files[kSuitePreferencesFile] =
      "[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort01Typ = 1\r\n";
  run.start();
  FakeLine& line = ports.lines[1];
  line.take();
  submitBusRequest(*run.ctx, 10, 1);
  submitBusRequest(*run.ctx, 11, 2);
  submitBusRequest(*run.ctx, 12, 3);
  run.clock.sleep(10);
  std::vector<std::vector<uint8_t>> writes;
  for (auto& [t, b] : line.writes)
    if (!b.empty() && (b[0] & 0x80)) writes.push_back(b);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], (std::vector<uint8_t>{0x8A, 1}));
  EXPECT_EQ(writes[1], (std::vector<uint8_t>{0x8B, 2}));
  EXPECT_EQ(writes[2], (std::vector<uint8_t>{0x8C, 3}));
}

TEST(Queue, RequestWhileMutexHeldGoesToOverflowAndKeepsItsPlaceInLine) {
  Harness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  h.clock.sleep(5);
  submitBusRequest(*h.ctx, 1, 1);
  {
    std::lock_guard<std::mutex> busy(h.ctx->queue.requestMutex());
    submitBusRequest(*h.ctx, 2, 2);
    EXPECT_EQ(h.ctx->queue.overflowCount(), 1u);
    drainOverflow(*h.ctx);  // lock still busy: nothing moves
    EXPECT_EQ(h.ctx->queue.overflowCount(), 1u);
  }
  EXPECT_EQ(h.ctx->queue.pendingCount(), 1u);
  // A later request never overtakes the one waiting in the overflow queue.
  submitBusRequest(*h.ctx, 3, 3);
  mainLoopPass(*h.ctx);
  EXPECT_EQ(h.ctx->queue.overflowCount(), 0u);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 1, 1}));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 2, 2}));
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 3, 3}));
  EXPECT_FALSE(h.ctx->queue.take().has_value());
}

TEST(Queue, BusThreadDropsUnknownKindsAndTakesCurrentBus) {
  Harness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  h.clock.sleep(5);
  h.ctx->bus.stopFlag = 0;
  h.ctx->queue.append({7, 5, 5});
  h.ctx->queue.append({1, 6, 0x1FF});
  h.ctx->bus.currentBus = 4;
  h.ctx->busThread.cycle();
  h.ctx->busThread.cycle();
  ASSERT_EQ(h.ctx->busThread.writeQueue().size(), 1u);
  EXPECT_EQ(h.ctx->busThread.writeQueue()[0], (BusWrite{4, 6, 0xFF}));
}

TEST(PumpedWait, CancelClickSetsTheFlagAndTheWaitRunsToItsEnd) {
  Harness h;
  h.start();
  Tick start = h.clock.now();
  h.ui.injectAt(start + 50, {EventType::Click, win::kMain, kCancelButton});
  h.ui.injectAt(start + 60, {EventType::Click, win::kMain, 2006});  // ignored
  pumpedWait(*h.ctx, 200);
  EXPECT_EQ(tickDiff(h.clock.now(), start), 200);
  EXPECT_EQ(h.ctx->cancelRequested.load(), 1);
  EXPECT_EQ(h.ui.pendingEvents(), 0);
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST(PumpedWait, CloseBoxAsksToQuitAndNoContinuesTheWait) {
  Harness h;
  h.start();
  Tick start = h.clock.now();
  h.ui.injectAt(start + 20, {EventType::CloseBox, win::kMain, 0});
  h.ui.injectAt(start + 30, {EventType::CloseBox, win::kSteller, 0});  // ignored during waits
  h.ui.answerNext(mb::kAnswerNo);
  pumpedWait(*h.ctx, 300);
  EXPECT_EQ(tickDiff(h.clock.now(), start), 300);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].text, "DE text 505");
  EXPECT_EQ(h.ctx->cancelRequested.load(), 0);
}

TEST(PumpedWait, CloseBoxWithYesEndsTheProgramFromInsideTheWait) {
  Harness h;
  h.start();
  h.ui.injectAt(h.clock.now() + 20, {EventType::CloseBox, win::kMain, 0});
  h.ui.answerNext(mb::kAnswerYes);
  EXPECT_EQ(h.expectExit([&] { pumpedWait(*h.ctx, 300); }), 0);
  EXPECT_TRUE(h.system.fileExists(kProgramPreferencesFile));
}

TEST(AddressField, RefusesValuesAbove111AndKeepsValidOnes) {
  Harness h;
  h.start();
  ControlSpec f;
  f.kind = ControlKind::NumericField;
  f.id = 2022;
  h.ui.createControl(win::kMain, f);
  h.ui.setText(win::kMain, 2022, "111");
  h.ui.inject({EventType::TextChanged, win::kMain, 2022});
  h.run(1);
  EXPECT_EQ(h.ui.text(win::kMain, 2022), "111");
  EXPECT_TRUE(h.ui.messages.empty());

  h.ui.setText(win::kMain, 2022, "112");
  h.ui.inject({EventType::TextChanged, win::kMain, 2022});
  h.run(1);
  EXPECT_EQ(h.ui.text(win::kMain, 2022), "");
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, "DE text 494");
  EXPECT_EQ(h.ui.messages[0].text, "DE text 492\n\nDE text 493");
  EXPECT_EQ(h.ui.focus(), std::make_pair(0, 2022));

  h.ui.setText(win::kMain, 2022, "-5");
  checkAddressField(*h.ctx, 2022);
  EXPECT_EQ(h.ui.text(win::kMain, 2022), "");
  EXPECT_EQ(h.ui.messages.size(), 2u);

  h.ui.setText(win::kMain, 2022, "");
  checkAddressField(*h.ctx, 2022);
  EXPECT_EQ(h.ui.messages.size(), 2u);
}

TEST(AddressField, Field2291IsCheckedOnlyWithItsCheckBoxSet) {
  Harness h;
  h.start();
  ControlSpec f;
  f.kind = ControlKind::NumericField;
  f.id = 2291;
  h.ui.createControl(win::kMain, f);
  f.kind = ControlKind::CheckBox;
  f.id = 2288;
  h.ui.createControl(win::kMain, f);
  h.ui.setText(win::kMain, 2291, "200");
  h.ui.inject({EventType::TextChanged, win::kMain, 2291});
  h.run(1);
  EXPECT_EQ(h.ui.text(win::kMain, 2291), "200");
  h.ui.setState(win::kMain, 2288, 1);
  h.ui.inject({EventType::TextChanged, win::kMain, 2291});
  h.run(1);
  EXPECT_EQ(h.ui.text(win::kMain, 2291), "");
}

TEST(StatusBar, PowerFieldOnlySwitchesPowerOff) {
  Harness h;
  h.start();
  h.ctx->bus.stopFlag = 1;
  h.clock.sleep(5);
  handleStatusBarClick(*h.ctx, 200);  // power is off: nothing
  EXPECT_EQ(h.ctx->queue.pendingCount(), 0u);
  h.ctx->bus.centralPower = 1;
  handleStatusBarClick(*h.ctx, 200);
  EXPECT_EQ(h.ctx->queue.take(), (BusRequest{2, 127, 0}));
  handleStatusBarClick(*h.ctx, 261);  // right of the power field: nothing
  EXPECT_EQ(h.ctx->queue.pendingCount(), 0u);
  handleStatusBarClick(*h.ctx, 5);
  EXPECT_EQ(h.ui.shownPopups, std::vector<int>{menu::kStatusPopup});
}

TEST(BusSelector, SameBusDoesNothingOtherBusRestartsTheThread) {
  Harness h;
  h.start();
  int before = h.ui.log.size();
  selectBus(*h.ctx, 0);
  EXPECT_EQ(h.ctx->currentBus(), 0);
  Tick t0 = h.clock.now();
  selectBus(*h.ctx, 5);
  EXPECT_GE(tickDiff(h.clock.now(), t0), 300);
  EXPECT_EQ(h.ctx->currentBus(), 5);
  EXPECT_EQ(h.ctx->bus.stopFlag.load(), 0);
  EXPECT_TRUE(h.ctx->busThread.running());
  EXPECT_EQ(static_cast<int>(h.ui.log.size()), before);
  // A request queued now goes to the new bus.
  h.ctx->bus.stopFlag = 1;
  h.clock.sleep(3);
  h.ctx->bus.stopFlag = 0;
  submitBusRequest(*h.ctx, 9, 9);
  h.ctx->busLink.cycle();  // the write step finds nothing yet; the request is taken
  ASSERT_FALSE(h.ctx->busThread.writeQueue().empty());
  EXPECT_EQ(h.ctx->busThread.writeQueue().back().bus, 5);
}

TEST(LanguageRestart, SameLanguageDoesNothing) {
  Harness h;
  h.start();
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kGerman});
  EXPECT_EQ(h.expectExit([&] { h.run(100); }), -1);
  EXPECT_TRUE(h.system.startedPrograms.empty());
  EXPECT_EQ(h.system.writes, 0);
}

TEST(LanguageRestart, SavesNewLanguageStartsProgramFileAndEnds) {
  Harness h;
  h.system.files["Kantelwerk.exe"] = std::string("MZ\x90\x00", 4);
  h.start();
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kItalian});
  Tick at = h.clock.now();
  EXPECT_EQ(h.expectExit([&] { h.run(2000); }), 0);
  EXPECT_NE(h.system.files[kProgramPreferencesFile].find("Sprache = 3\r\n"), std::string::npos);
  ASSERT_EQ(h.system.startedPrograms.size(), 1u);
  // One argument: the tick count at the time of the restart.
  const std::string& s = h.system.startedPrograms[0];
  ASSERT_EQ(s.rfind("Kantelwerk.exe ", 0), 0u);
  Tick arg = static_cast<Tick>(std::stoul(s.substr(15)));
  EXPECT_GE(tickDiff(arg, at), 0);
  EXPECT_FALSE(h.ctx->busThread.running());
  EXPECT_EQ(h.ctx->clockThread, nullptr);
}

TEST(LanguageRestart, SmallProgramFileCountsAsMissing) {
  Harness h;
  h.system.files["Kantelwerk.exe"] = "MZ\x90";  // 3 bytes
  h.system.files["Kantelwerk_Server_V4.obx"] = "OBX-file";
  h.start();
  EXPECT_EQ(h.expectExit([&] { switchLanguage(*h.ctx, kLanguageFrench); }), 0);
  ASSERT_EQ(h.system.startedPrograms.size(), 1u);
  EXPECT_EQ(h.system.startedPrograms[0].rfind("Kantelwerk_Server_V4.obx ", 0), 0u);
}

TEST(LanguageRestart, FallsBackToShellThenToOwnExecutable) {
  Harness h;
  h.system.files["Kantelwerk.exe"] = std::string("MZ\x90\x00", 4);
  h.system.failStarts = true;
  h.start();
  EXPECT_EQ(h.expectExit([&] { switchLanguage(*h.ctx, kLanguageEnglish); }), 0);
  EXPECT_EQ(h.system.openedDocuments, std::vector<std::string>{"Kantelwerk.exe"});

  Harness h2;
  h2.start();
  EXPECT_EQ(h2.expectExit([&] { switchLanguage(*h2.ctx, kLanguageEnglish); }), 0);
  ASSERT_EQ(h2.system.startedPrograms.size(), 1u);
  EXPECT_EQ(h2.system.startedPrograms[0].rfind(h2.system.executable + " ", 0), 0u);
  EXPECT_NE(h2.system.files[kProgramPreferencesFile].find("Sprache = 2\r\n"), std::string::npos);
}

TEST(LanguageRestart, WaitWindowIsShownAndClosed) {
  Harness h;
  h.start();
  h.ui.log.clear();
  EXPECT_EQ(h.expectExit([&] { switchLanguage(*h.ctx, kLanguageEnglish); }), 0);
  EXPECT_EQ(indexOf(h.ui.log, "open 100") + 1, indexOf(h.ui.log, "close 100"));
}

TEST(LanguageRestart, ThreadsAreStoppedBeforeTheTextsChange) {
  // The bus thread writes language texts into the status bar: it must be gone before the
  // new language file replaces them.
  Harness h;
  h.start();
  int readsOfNewFile = 0;
  bool busRan = true, clockRan = true;
  h.system.onRead = [&](const std::string& path) {
    if (path != "Kantel_V4.Lang_EN") return;
    ++readsOfNewFile;
    busRan = h.ctx->busThread.running();
    clockRan = h.ctx->clockThread != nullptr;
  };
  EXPECT_EQ(h.expectExit([&] { switchLanguage(*h.ctx, kLanguageEnglish); }), 0);
  EXPECT_EQ(readsOfNewFile, 1);
  EXPECT_FALSE(busRan);
  EXPECT_FALSE(clockRan);
}

TEST(Title, TitleTextHasNameLanguageTextAndVersion) {
  LanguageTexts t;
  t.mainTable[0] = "Module";
  EXPECT_EQ(titleText(t), " VOLTARIS Server  Module          V4.15");
  EXPECT_EQ(versionText(), "V4.15");
}

TEST(FatalError, MessageNamesLineDescriptionAndFile) {
  EXPECT_EQ(fatalErrorText(123, "Division by zero", "/src/app/shell.cpp"),
            "123\nDivision by zero\nshell\n\nProgramm wird beendet!    ");
  EXPECT_EQ(fatalErrorText(-1, "Access violation", ""),
            "-1\nAccess violation\n\n\nProgramm wird beendet!    ");
  FatalError e("boom");
  EXPECT_GT(e.line(), 0);
  EXPECT_NE(e.file().find("shell_test"), std::string::npos);
}

}  // namespace
}  // namespace kw::test
