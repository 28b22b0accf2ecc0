#include "app/settings_dialog.h"

#include <string>
#include <vector>

#include "app/context.h"
#include "app/shell.h"
#include "app/status_popup.h"

namespace kw {

namespace {

using namespace settings;

constexpr int kWindow = win::kSettings;
constexpr int kWidth = 430;
constexpr int kHeight = 425;
constexpr int kFirstPlainLabel = 1100;
constexpr int kAvailableHeadingOnBusTab = 1003;
constexpr int kAvailableHeadingOnPortTab = 1004;
constexpr int kBusRowPitch = 28;
constexpr int kPortRowPitch = 34;
constexpr Colour kBlue = rgb(0, 0, 255);

#ifndef _WIN32
// Programs that show the machine's devices, tried in this order. Linux desktops have no
// device manager of their own; without one of these the button explains where serial
// devices are found instead.
constexpr const char* kDeviceViewers[] = {"/usr/bin/kinfocenter", "/usr/bin/hardinfo2",
                                          "/usr/bin/hardinfo"};
#endif

std::string trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Tooltip of a row: the head trimmed of blanks, a blank, the row's number and the tail.
std::string rowTip(const std::string& head, int n, const std::string& tail) {
  return trimmed(head) + " " + std::to_string(n) + tail;
}

int decimal(const std::string& text) {
  int value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9' || value > 1000) break;
    value = value * 10 + (ch - '0');
  }
  return value;
}

std::vector<std::string> portItems() {
  std::vector<std::string> items;
  for (int n = 1; n <= kPortCount; ++n) items.push_back(std::to_string(n));
  return items;
}

// The list position of a bus's port; none for a bus without (or with a damaged) port.
int portSelection(int port) { return port >= 1 && port <= kPortCount ? port - 1 : -1; }

std::vector<std::string> typeNames(const InterfaceTypes& types) {
  std::vector<std::string> names;
  for (const InterfaceType& t : types) names.push_back(t.name);
  return names;
}

std::vector<std::string> baudItems(const InterfaceTypes& types, int typeIndex) {
  std::vector<std::string> items;
  if (typeIndex < 0 || typeIndex >= kInterfaceTypeCount) return items;
  for (uint32_t baud : types[static_cast<size_t>(typeIndex)].bauds)
    items.push_back(std::to_string(baud));
  return items;
}

#ifndef _WIN32
// The device behind COM `port` as a row shows it: without the "/dev/" every device has.
std::string shownDevice(const std::string& device) {
  if (device.empty()) return "-";
  return device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
}
#endif

// Creates the dialog's controls on the window or on a page of its tab control.
class DialogControls {
 public:
  explicit DialogControls(Ui& ui) : ui_(ui) {}

  void onWindow() { parent_ = 0; }
  void onPage(int page) {
    parent_ = kTabs;
    page_ = page;
  }

  void add(ControlKind kind, int id, Rect r, const std::string& text,
           std::vector<std::string> items = {}, Align align = Align::Left) {
    ControlSpec s = controlSpec(kind, id, r, text);
    s.align = align;
    s.items = std::move(items);
    ui_.createControl(kWindow, s);
  }
  void label(Rect r, const std::string& text, Align align = Align::Left, int id = 0) {
    add(ControlKind::Label, id != 0 ? id : nextLabel_++, r, text, {}, align);
  }
  void blueLabel(int id, Rect r, const std::string& text) {
    label(r, text, Align::Centre, id);
    ui_.setTextColour(kWindow, id, kBlue);
  }
  void list(int id, Rect r, const std::vector<std::string>& items, int selected) {
    add(ControlKind::DropDown, id, r, {});
    ui_.setItems(kWindow, id, items);  // one refill, drawn once
    ui_.setSelection(kWindow, id, selected);
  }
  void check(int id, Rect r, const std::string& caption, bool on) {
    add(ControlKind::CheckBox, id, r, caption);
    ui_.setState(kWindow, id, on ? 1 : 0);
  }
  void button(int id, Rect r, const std::string& caption, bool isDefault = false) {
    ControlSpec s = controlSpec(ControlKind::Button, id, r, caption);
    s.defaultButton = isDefault;
    ui_.createControl(kWindow, s);
  }
  void tip(int id, const std::string& text) { ui_.setTooltip(kWindow, id, text, {}, 0); }

 private:
  ControlSpec controlSpec(ControlKind kind, int id, Rect r, const std::string& text) const {
    ControlSpec s;
    s.kind = kind;
    s.id = id;
    s.rect = r;
    s.text = text;
    s.parent = parent_;
    s.page = parent_ != 0 ? page_ : 0;
    s.multiLine = kind == ControlKind::TabControl;  // tabs on several rows if needed
    return s;
  }

  Ui& ui_;
  int parent_ = 0;
  int page_ = 0;
  int nextLabel_ = kFirstPlainLabel;
};

void buildButtons(AppContext& ctx, DialogControls& d) {
  const LanguageTexts& t = ctx.texts;
  d.onWindow();
  d.button(kApply, {55, 395, 90, 26}, t.setup(2));
  d.button(kClose, {145, 395, 90, 26}, t.setup(4), true);  // Enter closes the dialog
  d.button(kDeviceManager, {330, 395, 98, 26}, t.setup(157));
  d.tip(kApply, t.setup(3));
  d.tip(kClose, t.setup(5));
  d.add(ControlKind::TabControl, kTabs, {0, 0, 430, 390}, {},
        {" " + t.setup(74) + " ", t.setup(79)});
}

void buildBusTab(AppContext& ctx, DialogControls& d) {
  const LanguageTexts& t = ctx.texts;
  const auto& buses = ctx.suite.busTable;
  d.onPage(0);
  // Labels first: they reach under the lists, which must lie on top of them.
  d.label({8, 24, 400, 18}, t.setup(75));
  for (int b = 1; b < kBusSlots; ++b)
    d.label({30, 36 + kBusRowPitch * b, 400, 18},
            t.setup(74) + " " + std::to_string(b) + t.setup(77));
  d.label({274, 5, 70, 20}, t.setup(76));
  d.label({334, 5, 70, 20}, t.setup(182));

  d.list(kBus0Port, {210, 20, 50, 21}, portItems(), portSelection(buses[0].port));
  d.tip(kBus0Port, trimmed(t.setup(112)) + t.setup(109));
  // Bus 0 is always in use.
  d.check(kBus0Used, {290, 22, 22, 22}, {}, true);
  ctx.ui.setEnabled(kWindow, kBus0Used, false);
  for (int b = 1; b < kBusSlots; ++b) {
    const int y = 60 + kBusRowPitch * (b - 1);
    const BusEntry& bus = buses[static_cast<size_t>(b)];
    d.list(kFirstBusPort + b - 1, {210, y, 50, 21}, portItems(), portSelection(bus.port));
    d.tip(kFirstBusPort + b - 1, rowTip(t.setup(108), b, t.setup(109)));
    d.check(kFirstBusUsed + b - 1, {290, y, 22, 22}, {}, bus.used != 0);
    d.tip(kFirstBusUsed + b - 1, rowTip(t.setup(110), b, t.setup(83)));
    d.check(kFirstBusSx1 + b - 1, {346, y, 22, 22}, {}, bus.sx1 != 0);
    d.tip(kFirstBusSx1 + b - 1, rowTip(t.setup(110), b, t.setup(180)));
  }
  d.blueLabel(kAvailableHeadingOnBusTab, {40, 310, 320, 20}, t.setup(78));
  d.blueLabel(kAvailableOnBusTab, {40, 326, 320, 20}, availablePortsText(ctx));
}

void buildPortRow(AppContext& ctx, DialogControls& d, int p) {
  const LanguageTexts& t = ctx.texts;
  const PortConfig& pc = ctx.suite.portConfig[static_cast<size_t>(p)];
  const InterfaceTypes& types = ctx.busLink.interfaceTypes();
  const int y = 40 + kPortRowPitch * (p - 1);
  const int type = pc.typeIndex < kInterfaceTypeCount ? pc.typeIndex : -1;
  const std::vector<std::string> bauds = baudItems(types, type);
  // A rate beyond the type's list is not offered; the port runs at the first rate then,
  // so that is what the list shows.
  int baud = pc.baudIndex >= 0 && pc.baudIndex < static_cast<int>(bauds.size()) ? pc.baudIndex : 0;
  if (bauds.empty()) baud = -1;

  d.check(kFirstPortUsed + p - 1, {40, y, 70, 18}, "Com-Port " + std::to_string(p), pc.used != 0);
  d.tip(kFirstPortUsed + p - 1, rowTip(t.setup(82), p, t.setup(83)));
  d.list(kFirstPortType + p - 1, {120, y, 170, 21}, typeNames(types), type);
  d.tip(kFirstPortType + p - 1, rowTip(t.setup(84), p, t.setup(85)));
  d.list(kFirstPortBaud + p - 1, {300, y, 60, 21}, bauds, baud);
  d.tip(kFirstPortBaud + p - 1, rowTip(t.setup(86), p, t.setup(85)));
#ifndef _WIN32
  // Here a COM number stands for a device file; the row says which one.
  const std::string device = ctx.serial.deviceName(p);
  d.label({364, y + 2, 62, 18}, shownDevice(device), Align::Left, kFirstDeviceLabel + p - 1);
  // The tooltip names the device, and why it cannot be opened when it cannot.
  std::string tip = device;
  // (A port this program has open is not looked at: it would count as held.)
  if (ctx.busLink.portState(p) <= kPortOpenFailed)
    for (const std::string& line :
         portProblemLines(p, device, ctx.serial.problem(p), ctx.language))
      tip += (tip.empty() ? "" : "\n") + line;
  if (!tip.empty()) d.tip(kFirstDeviceLabel + p - 1, tip);
#endif
}

void buildPortTab(AppContext& ctx, DialogControls& d) {
  const LanguageTexts& t = ctx.texts;
  d.onPage(1);
  d.label({40, 20, 70, 18}, t.setup(76));
  d.label({120, 20, 170, 18}, t.setup(80));
  d.label({300, 20, 60, 18}, t.setup(81));
  for (int p = 1; p <= kPortCount; ++p) buildPortRow(ctx, d, p);
  d.blueLabel(kAvailableHeadingOnPortTab, {40, 310, 320, 20}, t.setup(78));
  d.blueLabel(kAvailableOnPortTab, {40, 326, 320, 20}, availablePortsText(ctx));
}

void buildDialog(AppContext& ctx, int owner) {
  Ui& ui = ctx.ui;
  const WindowPlacement& place = ctx.suite.windowTable[win::kSettings];
  WindowSpec desc;
  desc.owner = owner;
  desc.title = "   VOLTARIS " + ctx.texts.setup(1);
  desc.rect = {place.X, place.Y, kWidth, kHeight};
  desc.centred = ui.ctrlHeld();
  desc.visible = false;
  if (!ui.openWindow(kWindow, desc)) return;
  DialogControls d(ui);
  buildButtons(ctx, d);
  ui.processPendingEvents();
  buildBusTab(ctx, d);
  ui.processPendingEvents();
  buildPortTab(ctx, d);
  ui.processPendingEvents();
  ctx.busLink.setPortRowsEnabled(true);
  ui.showWindow(kWindow, true);
}

// A list without a choice leaves the value as it was: nothing was chosen.
template <typename T>
void takeSelection(const Ui& ui, int control, T& value) {
  const int s = ui.selection(kWindow, control);
  if (s >= 0) value = static_cast<T>(s);
}

void takeControls(AppContext& ctx) {
  const Ui& ui = ctx.ui;
  SuitePreferences& prefs = ctx.suite;
  for (int p = 1; p <= kPortCount; ++p) {
    PortConfig& pc = prefs.portConfig[static_cast<size_t>(p)];
    pc.used = ui.state(kWindow, kFirstPortUsed + p - 1) != 0 ? 1 : 0;
    takeSelection(ui, kFirstPortType + p - 1, pc.typeIndex);
    takeSelection(ui, kFirstPortBaud + p - 1, pc.baudIndex);
  }
  for (int b = 1; b < kBusSlots; ++b) {
    BusEntry& bus = prefs.busTable[static_cast<size_t>(b)];
    // Empty (nothing chosen) gives 0: no port.
    bus.port = static_cast<uint8_t>(decimal(ui.text(kWindow, kFirstBusPort + b - 1)));
    bus.used = ui.state(kWindow, kFirstBusUsed + b - 1) != 0 ? 1 : 0;
    bus.sx1 = ui.state(kWindow, kFirstBusSx1 + b - 1) != 0 ? 1 : 0;
  }
  prefs.busTable[0].port = static_cast<uint8_t>(decimal(ui.text(kWindow, kBus0Port)));
  prefs.busTable[0].used = ui.state(kWindow, kBus0Used) != 0 ? 1 : 0;
}

}  // namespace

std::string availablePortsText(AppContext& ctx) {
  std::string text;
  for (int p = 1; p <= kPortCount; ++p) {
    const bool available = ctx.suite.portConfig[static_cast<size_t>(p)].present != 0 ||
                           ctx.busLink.portState(p) > kPortClosed;
    if (!available) continue;
    text += (text.empty() ? "Com " : ", Com ") + std::to_string(p);
  }
  return text;
}

void openSettingsDialog(AppContext& ctx, int owner) {
  ctx.busLink.probePorts();
  loadSetupLanguage(ctx.system, ctx.ui, ctx.languageFiles, ctx.language, ctx.texts);
  if (ctx.ui.windowOpen(kWindow)) {
    recordWindowPlacement(ctx);
    ctx.ui.closeWindow(kWindow);
    return;
  }
  buildDialog(ctx, owner);
}

void applySettings(AppContext& ctx) {
  if (!ctx.ui.windowOpen(kWindow)) return;
  ctx.busThread.stop(300);
  takeControls(ctx);
  writeSuitePreferences(ctx.system, ctx.suite);
  ctx.busLink.closeInterfaces(0);
  ctx.busLink.openInterfaces();
  ctx.bus.stopFlag = 0;
  ctx.busThread.start();
  updateBusSelector(ctx);
}

void closeSettingsDialog(AppContext& ctx) { ctx.ui.closeWindow(kWindow); }

void settingsTypeChanged(AppContext& ctx, int port) {
  if (port < 1 || port > kPortCount) return;
  const int type = ctx.ui.selection(kWindow, kFirstPortType + port - 1);
  const int list = kFirstPortBaud + port - 1;
  ctx.ui.setItems(kWindow, list, baudItems(ctx.busLink.interfaceTypes(), type));
  ctx.ui.setSelection(kWindow, list, 0);
}

void openDeviceManager(AppContext& ctx) {
#ifdef _WIN32
  ctx.system.openDocument("devmgmt.msc");
#else
  for (const char* viewer : kDeviceViewers)
    if (ctx.system.programInstalled(viewer) && ctx.system.startProgram(viewer, {})) return;
  const LanguageTexts& t = ctx.texts;
  std::string text = t.setup(158) + "\n\n" + t.setup(159);
  std::string devices;
  for (int p = 1; p <= kPortCount; ++p) {
    const std::string device = ctx.serial.deviceName(p);
    if (!device.empty()) devices += "\nCom " + std::to_string(p) + ": " + device;
  }
  if (!devices.empty()) text += "\n" + devices;
  ctx.ui.messageBox(kWindow, t.setup(157), text, mb::kOk | mb::kIconInformation);
#endif
}

void registerSettingsRows(Dispatcher& d) {
  d.onMenu(menu::kSettings, [](AppContext& c, const UiEvent&) { openSettingsDialog(c, -1); });
  d.onControl(win::kMain, 2009, 2009, EventType::Click,
              [](AppContext& c, const UiEvent&) { openSettingsDialog(c, win::kMain); });
  d.onControl(kWindow, kApply, kApply, EventType::Click,
              [](AppContext& c, const UiEvent&) { applySettings(c); });
  d.onControl(kWindow, kClose, kClose, EventType::Click,
              [](AppContext& c, const UiEvent&) { closeSettingsDialog(c); });
  d.onControl(kWindow, kDeviceManager, kDeviceManager, EventType::Click,
              [](AppContext& c, const UiEvent&) { openDeviceManager(c); });
  d.onControl(kWindow, kFirstPortType, kFirstPortType + kPortCount - 1, EventType::SelectionChanged,
              [](AppContext& c, const UiEvent& e) {
                settingsTypeChanged(c, e.control - kFirstPortType + 1);
              });
}

}  // namespace kw
