#include "app/settings_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "buslink/fake_serial.h"
#include "config/suite_prefs.h"
#include "app/status_popup.h"
#include "window_texts.h"

namespace kw::test {
namespace {

using namespace settings;
constexpr int kDlg = win::kSettings;

// The scripted ports, which also say what device each COM number stands for and count
// the probes.
class DialogPorts final : public SerialPorts {
 public:
  explicit DialogPorts(FakeSerialPorts& fake) : fake_(fake) {}
  std::map<int, std::string> names;
  int probes = 0;
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& s) override {
    return fake_.open(port, s);
  }
  bool probe(int port, const SerialSettings& s) override {
    ++probes;
    return fake_.open(port, s) != nullptr;
  }
  std::string deviceName(int port) const override {
    auto it = names.find(port);
    return it == names.end() ? std::string() : it->second;
  }
  std::map<int, PortProblem> problems;
  PortProblem problem(int port) override {
    auto it = problems.find(port);
    return it == problems.end() ? PortProblem::None : it->second;
  }

 private:
  FakeSerialPorts& fake_;
};

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.clock = &h.clock;
    addWindowTexts(h);
  }
  void start(const std::string& suite = "") {
    if (!suite.empty()) h.system.files[kSuitePreferencesFile] = suite;
    h.start();
  }
  // Through the main loop, as the user would.
  void event(EventType type, int window, int control, int value = 0) {
    h.ui.inject({type, window, control, value, 0});
    h.run(1);
  }
  void openByMenu() { event(EventType::MenuItem, win::kMain, menu::kSettings); }
  void click(int control) { event(EventType::Click, kDlg, control); }
  void chooseType(int port, int type) {
    h.ui.setSelection(kDlg, kFirstPortType + port - 1, type);
    event(EventType::SelectionChanged, kDlg, kFirstPortType + port - 1, type);
  }
  const HeadlessControl& control(int id) {
    const HeadlessControl* c = h.ui.control(kDlg, id);
    EXPECT_NE(c, nullptr) << id;
    static const HeadlessControl none;
    return c ? *c : none;
  }
  std::string suiteFile() { return h.system.files[kSuitePreferencesFile]; }

  FakeSerialPorts fake;
  DialogPorts ports{fake};
  Harness h{&ports};
};

auto busTuple(const BusEntry& b) { return std::make_tuple(b.port, b.used, b.sx1); }
auto portTuple(const PortConfig& p) { return std::make_tuple(p.baudIndex, p.typeIndex, p.used); }

TEST_F(SettingsDialog, OpensAtItsStoredPlaceWithTitleAndBothTabs) {
  start("[WinPos]\r\nWPos13X = 100\r\nWPos13Y = 80\r\n");
  openByMenu();
  const HeadlessWindow* w = h.ui.window(kDlg);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->visible);
  EXPECT_EQ(w->rect, (Rect{100, 80, 430, 425}));
  EXPECT_EQ(w->desc.title, "   VOLTARIS DE setup 1");
  EXPECT_EQ(w->desc.owner, -1);  // the menu opens it without owner
  EXPECT_EQ(control(kTabs).items, (std::vector<std::string>{" DE setup 74 ", "DE setup 79"}));
  EXPECT_EQ(control(kTabs).desc.rect, (Rect{0, 0, 430, 390}));
  EXPECT_TRUE(control(kTabs).desc.multiLine);
  // Shown only once every control is there.
  const auto& log = h.ui.log;
  EXPECT_EQ(
      std::find(log.begin(), log.end(), "show 13") - std::find(log.begin(), log.end(), "open 13"),
      1);
}

TEST_F(SettingsDialog, ActionBarButtonOpensItOwnedByTheMainWindow) {
  start();
  event(EventType::Click, win::kMain, 2009);
  ASSERT_TRUE(h.ui.windowOpen(kDlg));
  EXPECT_EQ(h.ui.window(kDlg)->desc.owner, win::kMain);
}

TEST_F(SettingsDialog, CtrlHeldWhileOpeningCentresIt) {
  start("[WinPos]\r\nWPos13X = 100\r\nWPos13Y = 80\r\n");
  h.ui.ctrlDown = true;
  openByMenu();
  EXPECT_EQ(h.ui.windowRect(kDlg), (Rect{(1920 - 430) / 2, (1080 - 425) / 2, 430, 425}));
}

TEST_F(SettingsDialog, SecondCallClosesItAndRecordsTheMainWindowPlace) {
  start();
  const int atStart = ports.probes;
  openByMenu();
  EXPECT_EQ(ports.probes, atStart + 8);  // every opening probes the ports again
  h.ctx->suite.windowTable[0] = {};
  event(EventType::Click, win::kMain, 2009);
  EXPECT_FALSE(h.ui.windowOpen(kDlg));
  EXPECT_EQ(ports.probes, atStart + 16);
  const WindowPlacement& main = h.ctx->suite.windowTable[0];
  EXPECT_EQ(std::make_tuple(main.X, main.Y, main.B, main.H), std::make_tuple(610, 220, 700, 640));
}

TEST_F(SettingsDialog, CloseBoxClosesIt) {
  start();
  openByMenu();
  event(EventType::CloseBox, kDlg, 0);
  EXPECT_FALSE(h.ui.windowOpen(kDlg));
}

TEST_F(SettingsDialog, ControlsSitWhereTheLayoutPutsThem) {
  start();
  openByMenu();
  struct Row {
    int id;
    ControlKind kind;
    Rect rect;
    int parent;
    int page;
  };
  const Row rows[] = {
      {kApply, ControlKind::Button, {55, 395, 90, 26}, 0, 0},
      {kClose, ControlKind::Button, {145, 395, 90, 26}, 0, 0},
      {kDeviceManager, ControlKind::Button, {330, 395, 98, 26}, 0, 0},
      {kBus0Port, ControlKind::DropDown, {210, 20, 50, 21}, kTabs, 0},
      {kBus0Used, ControlKind::CheckBox, {290, 22, 22, 22}, kTabs, 0},
      {kFirstBusPort, ControlKind::DropDown, {210, 60, 50, 21}, kTabs, 0},
      {kFirstBusPort + 7, ControlKind::DropDown, {210, 256, 50, 21}, kTabs, 0},
      {kFirstBusUsed + 2, ControlKind::CheckBox, {290, 116, 22, 22}, kTabs, 0},
      {kFirstBusSx1 + 7, ControlKind::CheckBox, {346, 256, 22, 22}, kTabs, 0},
      {kAvailableOnBusTab, ControlKind::Label, {40, 326, 320, 20}, kTabs, 0},
      {kFirstPortUsed, ControlKind::CheckBox, {40, 40, 70, 18}, kTabs, 1},
      {kFirstPortType + 7, ControlKind::DropDown, {120, 278, 170, 21}, kTabs, 1},
      {kFirstPortBaud + 1, ControlKind::DropDown, {300, 74, 60, 21}, kTabs, 1},
      {kAvailableOnPortTab, ControlKind::Label, {40, 326, 320, 20}, kTabs, 1},
#ifndef _WIN32
      {kFirstDeviceLabel + 1, ControlKind::Label, {364, 76, 62, 18}, kTabs, 1},  // Linux only
#endif
  };
  for (const Row& r : rows) {
    const HeadlessControl& c = control(r.id);
    EXPECT_EQ(c.desc.kind, r.kind) << r.id;
    EXPECT_EQ(c.desc.rect, r.rect) << r.id;
    EXPECT_EQ(c.desc.parent, r.parent) << r.id;
    EXPECT_EQ(c.desc.page, r.page) << r.id;
  }
  EXPECT_EQ(control(kApply).text, "DE setup 2");
  EXPECT_EQ(control(kClose).text, "DE setup 4");
  EXPECT_EQ(control(kDeviceManager).text, "DE setup 157");
  EXPECT_EQ(control(kFirstPortUsed + 4).text, "Com-Port 5");
  EXPECT_EQ(control(kFirstBusPort).items,
            (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
  EXPECT_EQ(control(kFirstPortType).items.size(), 7u);
  EXPECT_EQ(control(kFirstPortType).items[3], "M\xC3\x9CT MC2004");
  EXPECT_EQ(control(kAvailableOnPortTab).textColour, rgb(0, 0, 255));
  EXPECT_EQ(control(kAvailableOnBusTab).desc.align, Align::Centre);
}

TEST_F(SettingsDialog, EveryInputControlHasItsTooltip) {
  start();
  openByMenu();
  const std::pair<int, std::string> tips[] = {
      {kApply, "DE setup 3"},
      {kClose, "DE setup 5"},
      {kBus0Port, "DE head 112 DE tail 109"},
      {kFirstBusPort + 2, "DE head 108 3 DE tail 109"},
      {kFirstBusUsed + 7, "DE head 110 8 DE tail 83"},
      {kFirstBusSx1, "DE head 110 1 DE tail 180"},
      {kFirstPortUsed + 1, "DE head 82 2 DE tail 83"},
      {kFirstPortType + 5, "DE head 84 6 DE tail 85"},
      {kFirstPortBaud + 7, "DE head 86 8 DE tail 85"},
  };
  for (const auto& [id, text] : tips) {
    EXPECT_EQ(control(id).tooltip, text) << id;
    EXPECT_EQ(control(id).tooltipTitle, "") << id;
  }
  EXPECT_EQ(control(kBus0Used).tooltip, "");
}

TEST_F(SettingsDialog, ControlsShowTheBusAndPortTables) {
  fake.lines[2];
  fake.lines[3];
  start(
      "[Bus2Com]\r\nBus0Com = 3\r\nBus0Akt = 1\r\nBus3Com = 2\r\nBus3Akt = 1\r\nBus3SX1 = 1\r\n"
      "Bus4Com = 0\r\nBus5Com = 9\r\n"
      "[ComPorts]\r\nComPort02used = 1\r\nComPort02Typ = 3\r\nComPort02Baud = 1\r\n"
      "ComPort03Typ = 6\r\nComPort03Baud = 4\r\nComPort03used = 0\r\n");
  openByMenu();
  EXPECT_EQ(h.ui.selection(kDlg, kBus0Port), 2);
  EXPECT_EQ(h.ui.state(kDlg, kBus0Used), 1);
  EXPECT_FALSE(h.ui.enabled(kDlg, kBus0Used));  // bus 0 is always in use
  EXPECT_EQ(h.ui.text(kDlg, kFirstBusPort + 2), "2");
  EXPECT_EQ(h.ui.state(kDlg, kFirstBusUsed + 2), 1);
  EXPECT_EQ(h.ui.state(kDlg, kFirstBusSx1 + 2), 1);
  EXPECT_EQ(h.ui.selection(kDlg, kFirstBusPort + 3), -1);  // no port
  EXPECT_EQ(h.ui.selection(kDlg, kFirstBusPort + 4), -1);  // no such port
  EXPECT_EQ(h.ui.state(kDlg, kFirstBusUsed + 3), 0);
  // Port 2: an MC2004 at its second rate.
  EXPECT_EQ(h.ui.state(kDlg, kFirstPortUsed + 1), 1);
  EXPECT_EQ(h.ui.selection(kDlg, kFirstPortType + 1), 3);
  EXPECT_EQ(h.ui.items(kDlg, kFirstPortBaud + 1), (std::vector<std::string>{"38400", "19200"}));
  EXPECT_EQ(h.ui.selection(kDlg, kFirstPortBaud + 1), 1);
  // Port 3: a rate beyond the FCC's one-rate list shows the rate the port runs at.
  EXPECT_EQ(h.ui.items(kDlg, kFirstPortBaud + 2), std::vector<std::string>{"230400"});
  EXPECT_EQ(h.ui.selection(kDlg, kFirstPortBaud + 2), 0);
  EXPECT_EQ(h.ui.state(kDlg, kFirstPortUsed + 2), 0);
}

TEST_F(SettingsDialog, ADamagedTypeNumberShowsNoTypeAndNoRates) {
  fake.lines[1];
  start("[ComPorts]\r\nComPort01Typ = 9\r\nComPort01Baud = 2\r\n");
  openByMenu();
  EXPECT_EQ(h.ui.selection(kDlg, kFirstPortType), -1);
  EXPECT_TRUE(h.ui.items(kDlg, kFirstPortBaud).empty());
  // Applying leaves what nobody chose as it was.
  click(kApply);
  EXPECT_EQ(h.ctx->suite.portConfig[1].typeIndex, 9);
  EXPECT_EQ(h.ctx->suite.portConfig[1].baudIndex, 2);
}

TEST_F(SettingsDialog, OnlyPortsPresentOrInUseAreOfferedAndListed) {
  fake.lines[1];
  fake.lines[3];
  // Bus 0 wants port 5, which is missing: it stays in the list with its failed state.
  start("[Bus2Com]\r\nBus0Com = 5\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort05Typ = 1\r\n");
  openByMenu();
  EXPECT_EQ(h.ui.text(kDlg, kAvailableOnBusTab), "Com 1, Com 3, Com 5");
  EXPECT_EQ(h.ui.text(kDlg, kAvailableOnPortTab), "Com 1, Com 3, Com 5");
  EXPECT_EQ(control(kAvailableOnBusTab - 0).textColour, rgb(0, 0, 255));
  for (int p = 1; p <= 8; ++p) {
    const bool offered = p == 1 || p == 3 || p == 5;
    for (int first : {kFirstPortUsed, kFirstPortType, kFirstPortBaud})
      EXPECT_EQ(h.ui.enabled(kDlg, first + p - 1), offered) << "port " << p;
    // A missing port's row loses its check mark (the file said every port is used).
    EXPECT_EQ(h.ui.state(kDlg, kFirstPortUsed + p - 1), offered ? 1 : 0) << "port " << p;
  }
  EXPECT_TRUE(h.ctx->busLink.portRowsEnabled());
}

TEST_F(SettingsDialog, WithoutAnyPortTheListIsEmpty) {
  start();
  openByMenu();
  EXPECT_EQ(h.ui.text(kDlg, kAvailableOnBusTab), "");
  EXPECT_EQ(availablePortsText(*h.ctx), "");
}

TEST_F(SettingsDialog, ChangingTheTypeOfPort2ReplacesItsBaudListAndNothingElse) {
  fake.lines[2];
  start("[ComPorts]\r\nComPort02Typ = 3\r\nComPort02Baud = 1\r\n");
  openByMenu();
  chooseType(2, 5);
  EXPECT_EQ(h.ui.items(kDlg, kFirstPortBaud + 1),
            (std::vector<std::string>{"57600", "38400", "19200", "9600"}));
  EXPECT_EQ(h.ui.selection(kDlg, kFirstPortBaud + 1), 0);
  EXPECT_EQ(h.ctx->suite.portConfig[2].typeIndex, 3);
  EXPECT_EQ(h.ctx->suite.portConfig[2].baudIndex, 1);
  EXPECT_EQ(h.ui.items(kDlg, kFirstPortBaud + 2).size(), 5u);  // port 3 keeps its list
}

TEST_F(SettingsDialog, ApplyWithBus3OnPort2WritesEveryKeyAndEnablesItsBusButton) {
  fake.lines[2];
  start(
      "[Bus2Com]\r\nBus0Com = 2\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort02Typ = 1\r\n"
      "[Lupe]\r\nSequenz = 4\r\n");
  EXPECT_FALSE(h.ui.enabled(win::kMain, 2014));
  openByMenu();
  h.ui.setSelection(kDlg, kFirstBusPort + 2, 1);
  h.ui.setState(kDlg, kFirstBusUsed + 2, 1);
  const int opensBefore = fake.lines[2].opens;
  Tick pressed = h.clock.now();
  click(kApply);
  EXPECT_GE(tickDiff(h.clock.now(), pressed), 300);  // the bus thread is given its pause

  const std::string file = suiteFile();
  EXPECT_NE(file.find("Bus3Com = 2\r\nBus3Akt = 1\r\nBus3SX1 = 0\r\n"), std::string::npos);
  EXPECT_EQ(file, suitePreferencesBytes(h.ctx->suite));
  EXPECT_EQ(file.rfind("; \r\n;  Einstellungen\r\n; \r\n[Autostart]\r\n", 0), 0u);
  size_t at = 0;
  for (const char* key :
       {"[Autostart]", "AutoLoadBld", "[Farben]", "[Server]", "ClientAktiv8", "[BlueTooth]",
        "[Client]", "[Block]", "[Text]", "[Bus2Com]", "Bus8SX1", "[ComPorts]", "ComPort08Baud",
        "Sequenz = 4", "[FS-Maus]", "WPos00X", "WPos48M", "[TimerJustage]", "L-Delay"}) {
    const size_t next = file.find(key, at);
    ASSERT_NE(next, std::string::npos) << key << " missing or out of order";
    at = next;
  }
  EXPECT_TRUE(h.ui.enabled(win::kMain, 2014));
  EXPECT_FALSE(h.ui.enabled(win::kMain, 2013));
  EXPECT_EQ(fake.lines[2].opens, opensBefore + 1);  // closed and opened again
  EXPECT_TRUE(h.ctx->busThread.running());
  EXPECT_EQ(h.ctx->bus.stopFlag.load(), 0);
  EXPECT_TRUE(h.ui.windowOpen(kDlg));  // the dialog stays open
}

TEST_F(SettingsDialog, ApplyTakesEveryPortRowAndBusRow) {
  fake.lines[1];
  fake.lines[4];
  start();
  openByMenu();
  h.ui.setState(kDlg, kFirstPortUsed + 3, 1);
  chooseType(4, 4);
  h.ui.setSelection(kDlg, kFirstPortBaud + 3, 2);
  h.ui.setSelection(kDlg, kBus0Port, 3);
  h.ui.setSelection(kDlg, kFirstBusPort + 7, 0);
  h.ui.setState(kDlg, kFirstBusUsed + 7, 1);
  h.ui.setState(kDlg, kFirstBusSx1 + 7, 1);
  click(kApply);
  const SuitePreferences& s = h.ctx->suite;
  EXPECT_EQ(portTuple(s.portConfig[4]), std::make_tuple(2, uint8_t{4}, uint8_t{1}));
  EXPECT_EQ(busTuple(s.busTable[0]), std::make_tuple(uint8_t{4}, uint8_t{1}, uint8_t{0}));
  EXPECT_EQ(busTuple(s.busTable[8]), std::make_tuple(uint8_t{1}, uint8_t{1}, uint8_t{1}));
  // The SLX852 is started by the bus thread, on its own deadlines, once applied.
  h.run(1500);
  EXPECT_EQ(h.ctx->busLink.portState(4), kPortRunning);
  // Pressed again, it writes the same file again.
  const std::string first = suiteFile();
  click(kApply);
  EXPECT_EQ(suiteFile(), first);
  EXPECT_EQ(h.system.writes, 2);
}

TEST_F(SettingsDialog, ABusListLeftEmptyGivesPort0) {
  fake.lines[3];
  start("[Bus2Com]\r\nBus5Com = 0\r\nBus5Akt = 1\r\nBus6Com = 12\r\nBus6Akt = 1\r\n");
  openByMenu();
  click(kApply);
  EXPECT_EQ(h.ctx->suite.busTable[5].port, 0);
  EXPECT_EQ(h.ctx->suite.busTable[6].port, 0);
  EXPECT_NE(suiteFile().find("Bus5Com = 0\r\nBus5Akt = 1\r\n"), std::string::npos);
  EXPECT_NE(suiteFile().find("Bus6Com = 0\r\nBus6Akt = 1\r\n"), std::string::npos);
}

TEST_F(SettingsDialog, CloseWith119ChangesNothing) {
  fake.lines[1];
  start(
      "[Bus2Com]\r\nBus1Com = 1\r\nBus1Akt = 1\r\n[ComPorts]\r\nComPort01Typ = 3\r\n"
      "ComPort01Baud = 1\r\n");
  const SuitePreferences before = h.ctx->suite;
  openByMenu();
  h.ui.setSelection(kDlg, kFirstBusPort, 4);
  h.ui.setState(kDlg, kFirstBusUsed, 0);
  h.ui.setState(kDlg, kFirstBusSx1, 1);
  chooseType(1, 5);
  h.ui.setSelection(kDlg, kFirstPortBaud, 2);
  h.ui.setState(kDlg, kFirstPortUsed, 0);
  click(kClose);
  EXPECT_FALSE(h.ui.windowOpen(kDlg));
  for (int b = 0; b < kBusSlots; ++b)
    EXPECT_EQ(busTuple(h.ctx->suite.busTable[b]), busTuple(before.busTable[b])) << b;
  for (int p = 1; p <= 8; ++p)
    EXPECT_EQ(portTuple(h.ctx->suite.portConfig[p]), portTuple(before.portConfig[p])) << p;
  EXPECT_EQ(h.system.writes, 0);
}

// 119 is the default button: Enter closes the dialog as 119 does, taking nothing from
// its controls; apply (118) and the device manager (427) are never what Enter presses.
TEST_F(SettingsDialog, EnterPressesTheDefaultButton119) {
  fake.lines[1];
  start("[Bus2Com]\r\nBus1Com = 1\r\nBus1Akt = 1\r\n");
  const SuitePreferences before = h.ctx->suite;
  openByMenu();
  EXPECT_TRUE(control(kClose).desc.defaultButton);
  EXPECT_FALSE(control(kApply).desc.defaultButton);
  EXPECT_FALSE(control(kDeviceManager).desc.defaultButton);
  h.ui.setSelection(kDlg, kFirstBusPort, 4);
  h.ui.setState(kDlg, kFirstBusSx1, 1);
  h.ui.pressEnter(kDlg);
  h.run(1);
  EXPECT_FALSE(h.ui.windowOpen(kDlg));
  for (int b = 0; b < kBusSlots; ++b)
    EXPECT_EQ(busTuple(h.ctx->suite.busTable[b]), busTuple(before.busTable[b])) << b;
  EXPECT_EQ(h.system.writes, 0);
  // Enter in the main window, which has no default button, clicks nothing.
  h.ui.pressEnter(win::kMain);
  EXPECT_EQ(h.ui.pendingEvents(), 0);
}

TEST_F(SettingsDialog, TextsComeFromTheSettingsFileOfTheCurrentLanguage) {
  h.system.files[kProgramPreferencesFile] = "[Sprache]\r\nSprache = 2\r\n";
  start();
  openByMenu();
  EXPECT_EQ(h.ui.window(kDlg)->desc.title, "   VOLTARIS EN setup 1");
  EXPECT_EQ(h.system.reads.back(), "Setup_V4.Lang_EN");
}

TEST_F(SettingsDialog, AMissingSettingsFileIsReportedAndTheDialogStillOpens) {
  h.system.files.erase("Setup_V4.Lang_DE");
  start();
  openByMenu();
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, "Error");
  EXPECT_EQ(h.ui.messages[0].text, "File   Setup_V4.Lang_DE   Not found!");
  EXPECT_TRUE(h.ui.windowOpen(kDlg));
}

TEST_F(SettingsDialog, EachPortRowNamesTheDeviceOfItsComNumber) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux device names; Windows has the device manager";
#endif
  ports.names = {{1, "/dev/ttyUSB0"}, {2, "sim"}, {4, "/tmp/ttyV0"}};
  start();
  openByMenu();
  const std::pair<int, std::string> shown[] = {
      {1, "ttyUSB0"}, {2, "sim"}, {3, "-"}, {4, "/tmp/ttyV0"}};
  for (const auto& [port, text] : shown)
    EXPECT_EQ(h.ui.text(kDlg, kFirstDeviceLabel + port - 1), text) << port;
  EXPECT_EQ(control(kFirstDeviceLabel).tooltip, "/dev/ttyUSB0");
  EXPECT_EQ(control(kFirstDeviceLabel + 2).tooltip, "");
}

// The tooltip of a port row and the status pop-up say why a port does not open.
TEST_F(SettingsDialog, APortThatDoesNotOpenSaysWhyInTooltipAndStatusPopup) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux device names and their access rights";
#endif
  ports.names = {{1, "/dev/ttyUSB0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyACM0"}};
  ports.problems = {{1, PortProblem::PermissionDenied},
                    {2, PortProblem::Busy},
                    {3, PortProblem::NotFound}};
  start("[Bus2Com]\r\nBus0Com = 1\r\nBus0Akt = 1\r\n[ComPorts]\r\nComPort01used = 1\r\n"
        "ComPort01Typ = 1\r\n");
  h.run(3);
  openByMenu();
  const std::string denied = "Com 1 = /dev/ttyUSB0: Zugriff verweigert";
  const std::string hint =
      "Zugriff erfordert die Gruppe dialout: sudo usermod -aG dialout BENUTZER, dann neu "
      "anmelden";
  EXPECT_EQ(control(kFirstDeviceLabel).tooltip, "/dev/ttyUSB0\n" + denied + "\n" + hint);
  EXPECT_EQ(control(kFirstDeviceLabel + 1).tooltip,
            "/dev/ttyS1\nCom 2 = /dev/ttyS1: von einem anderen Programm belegt");
  EXPECT_EQ(control(kFirstDeviceLabel + 2).tooltip,
            "/dev/ttyACM0\nCom 3 = /dev/ttyACM0: Ger\xC3\xA4t nicht gefunden");

  // Only the port in use, which failed to open, is listed in the pop-up.
  ASSERT_EQ(h.ctx->busLink.portState(1), kPortOpenFailed);
  showStatusPopup(*h.ctx);
  std::vector<std::string> lines;
  for (const auto& item : h.ui.popupMenu(menu::kStatusPopup)) lines.push_back(item.text);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], denied);
  EXPECT_EQ(lines[6], hint);
  EXPECT_EQ(portProblemLines(4, "", PortProblem::NoDevice, 4),
            std::vector<std::string>{"Com 4: aucun p\xC3\xA9riph\xC3\xA9rique attribu\xC3\xA9"});
}

// The device manager is started and left to itself: the dialog goes on at once, and the
// next click reaches it without waiting for the device manager to close.
TEST_F(SettingsDialog, DeviceManagerIsNotWaitedFor) {
  h.system.installedPrograms = {"/usr/bin/hardinfo"};
  start();
  openByMenu();
  h.ui.inject({EventType::Click, kDlg, kDeviceManager, 0, 0});
  h.ui.inject({EventType::Click, kDlg, kClose, 0, 0});
  h.run(1);
#ifdef _WIN32
  EXPECT_EQ(h.system.openedDocuments, std::vector<std::string>{"devmgmt.msc"});
#else
  EXPECT_EQ(h.system.startedPrograms, std::vector<std::string>{"/usr/bin/hardinfo"});
#endif
  EXPECT_FALSE(h.ui.windowOpen(kDlg));
}

TEST_F(SettingsDialog, DeviceManagerButtonStartsAnInstalledDeviceViewer) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux device names; Windows has the device manager";
#endif
  h.system.installedPrograms = {"/usr/bin/hardinfo"};
  start();
  openByMenu();
  click(kDeviceManager);
  EXPECT_EQ(h.system.startedPrograms, std::vector<std::string>{"/usr/bin/hardinfo"});
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(SettingsDialog, WithoutADeviceViewerTheButtonSaysWhereSerialDevicesAre) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux device names; Windows has the device manager";
#endif
  ports.names = {{1, "/dev/ttyUSB0"}, {3, "sim"}};
  start();
  openByMenu();
  click(kDeviceManager);
  EXPECT_TRUE(h.system.startedPrograms.empty());
  ASSERT_EQ(h.ui.messages.size(), 1u);
  const RecordedMessage& m = h.ui.messages[0];
  EXPECT_EQ(m.owner, kDlg);
  EXPECT_EQ(m.title, "DE setup 157");
  EXPECT_EQ(m.text, "DE setup 158\n\nDE setup 159\n\nCom 1: /dev/ttyUSB0\nCom 3: sim");
  EXPECT_EQ(m.flags, mb::kOk | mb::kIconInformation);
}

}  // namespace
}  // namespace kw::test
