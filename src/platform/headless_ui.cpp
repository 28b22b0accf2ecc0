#include "platform/headless_ui.h"

#include <algorithm>

namespace kw {

using Lock = std::lock_guard<std::recursive_mutex>;

void HeadlessUi::inject(const UiEvent& e) {
  Lock l(mutex_);
  events_.push_back(e);
}

void HeadlessUi::pressEnter(int window) {
  Lock l(mutex_);
  auto w = windows_.find(window);
  if (w == windows_.end()) return;
  for (const auto& [id, c] : w->second.controls) {
    if (c.desc.kind != ControlKind::Button || !c.desc.defaultButton) continue;
    if (c.enabled && c.visible) events_.push_back({EventType::Click, window, id, 0, 0});
    return;
  }
}

void HeadlessUi::injectAt(Tick when, const UiEvent& e) {
  Lock l(mutex_);
  timed_.emplace_back(when, e);
  std::stable_sort(timed_.begin(), timed_.end(), [](const auto& a, const auto& b) {
    return tickDiff(a.first, b.first) < 0;
  });
}

int HeadlessUi::pendingEvents() const {
  Lock l(mutex_);
  return static_cast<int>(events_.size() + timed_.size());
}

const HeadlessWindow* HeadlessUi::window(int w) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  return it == windows_.end() ? nullptr : &it->second;
}

const HeadlessControl* HeadlessUi::control(int w, int c) const { return find(w, c); }

HeadlessStatusField HeadlessUi::statusField(int w, int field) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end() || field < 0 || field >= static_cast<int>(it->second.status.size()))
    return {};
  return it->second.status[field];
}

bool HeadlessUi::menuChecked(int w, int item) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return false;
  auto c = it->second.menuChecks.find(item);
  return c != it->second.menuChecks.end() && c->second;
}

void HeadlessUi::registerImage(int number, const Image& image) {
  Lock l(mutex_);
  images_[number] = image;
}

bool HeadlessUi::imageRegistered(int number) const {
  Lock l(mutex_);
  return images_.count(number) != 0;
}

bool HeadlessUi::openWindow(int w, const WindowSpec& desc) {
  Lock l(mutex_);
  HeadlessWindow win;
  win.desc = desc;
  win.visible = desc.visible;
  win.rect = desc.rect;
  if (desc.centred) {
    win.rect.x = (screenMetrics.primaryWidth - desc.rect.w) / 2;
    win.rect.y = (screenMetrics.primaryHeight - desc.rect.h) / 2;
  }
  windows_[w] = win;
  log.push_back("open " + std::to_string(w));
  return true;
}

void HeadlessUi::closeWindow(int w) {
  Lock l(mutex_);
  if (windows_.erase(w)) log.push_back("close " + std::to_string(w));
}

bool HeadlessUi::windowOpen(int w) const {
  Lock l(mutex_);
  return windows_.count(w) != 0;
}

void HeadlessUi::showWindow(int w, bool visible) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return;
  it->second.visible = visible;
  log.push_back((visible ? "show " : "hide ") + std::to_string(w));
}

void HeadlessUi::setWindowTitle(int w, const std::string& title) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it != windows_.end()) it->second.desc.title = title;
}

Rect HeadlessUi::windowRect(int w) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  return it == windows_.end() ? Rect{} : it->second.rect;
}

void HeadlessUi::moveWindow(int w, int x, int y) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return;
  it->second.rect.x = x;
  it->second.rect.y = y;
}

int HeadlessUi::windowState(int w) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  return it == windows_.end() ? 0 : it->second.state;
}

void HeadlessUi::setMenu(int w, const std::vector<MenuTitle>& menu) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return;
  it->second.menu = menu;
  it->second.menuChecks.clear();
}

void HeadlessUi::setMenuCheck(int w, int item, bool checked) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it != windows_.end()) it->second.menuChecks[item] = checked;
}

void HeadlessUi::createPopupMenu(int menu, const std::vector<MenuItem>& items) {
  Lock l(mutex_);
  popups_[menu] = items;
}

void HeadlessUi::showPopupMenu(int, int menu) {
  Lock l(mutex_);
  shownPopups.push_back(menu);
}

std::vector<MenuItem> HeadlessUi::popupMenu(int menu) const {
  Lock l(mutex_);
  auto it = popups_.find(menu);
  return it == popups_.end() ? std::vector<MenuItem>{} : it->second;
}

void HeadlessUi::createStatusBar(int w, const std::vector<int>& widths) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return;
  it->second.statusWidths = widths;
  it->second.status.assign(widths.size(), {});
}

void HeadlessUi::setStatusText(int w, int field, const std::string& text, Align align) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end() || field < 0 || field >= static_cast<int>(it->second.status.size()))
    return;
  it->second.status[field].text = text;
  it->second.status[field].align = align;
}

void HeadlessUi::setStatusImage(int w, int field, int image) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end() || field < 0 || field >= static_cast<int>(it->second.status.size()))
    return;
  it->second.status[field].image = image;
}

void HeadlessUi::setStatusDraw(int w, int field, const StatusDraw& draw) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end() || field < 0 || field >= static_cast<int>(it->second.status.size()))
    return;
  it->second.status[field].draw = draw;
}

HeadlessControl* HeadlessUi::find(int w, int c) {
  auto it = windows_.find(w);
  if (it == windows_.end()) return nullptr;
  auto ct = it->second.controls.find(c);
  return ct == it->second.controls.end() ? nullptr : &ct->second;
}

const HeadlessControl* HeadlessUi::find(int w, int c) const {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return nullptr;
  auto ct = it->second.controls.find(c);
  return ct == it->second.controls.end() ? nullptr : &ct->second;
}

bool HeadlessUi::createControl(int w, const ControlSpec& desc) {
  Lock l(mutex_);
  auto it = windows_.find(w);
  if (it == windows_.end()) return false;
  HeadlessControl c;
  c.desc = desc;
  c.text = desc.text;
  // A list view's items are its rows; the headings stay in the description.
  if (desc.kind != ControlKind::ListView) c.items = desc.items;
  c.image = desc.image;
  c.enabled = desc.kind != ControlKind::DisplayField;
  if (desc.kind == ControlKind::TabControl && !desc.items.empty()) c.state = 0;
  it->second.controls[desc.id] = c;
  return true;
}

bool HeadlessUi::controlExists(int w, int c) const { return find(w, c) != nullptr; }

void HeadlessUi::setText(int w, int c, const std::string& text) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) {
    if (k->desc.kind == ControlKind::DropDown) {
      auto pos = std::find(k->items.begin(), k->items.end(), text);
      if (pos != k->items.end()) k->selection = static_cast<int>(pos - k->items.begin());
      k->state = k->selection;
    }
    k->text = text;
  }
}

std::string HeadlessUi::text(int w, int c) const {
  Lock l(mutex_);
  const auto* k = find(w, c);
  if (!k) return {};
  if (k->desc.kind == ControlKind::DropDown) {
    if (k->selection < 0 || k->selection >= static_cast<int>(k->items.size())) return {};
    return k->items[k->selection];
  }
  return k->text;
}

void HeadlessUi::setState(int w, int c, int state) {
  Lock l(mutex_);
  auto* k = find(w, c);
  if (!k) return;
  k->state = state;
  if (k->desc.kind == ControlKind::DropDown) k->selection = state;
  if ((k->desc.kind == ControlKind::Slider || k->desc.kind == ControlKind::Spin))
    k->text = std::to_string(state);
}

int HeadlessUi::state(int w, int c) const {
  Lock l(mutex_);
  const auto* k = find(w, c);
  return k ? k->state : 0;
}

void HeadlessUi::setEnabled(int w, int c, bool on) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->enabled = on;
}

bool HeadlessUi::enabled(int w, int c) const {
  Lock l(mutex_);
  const auto* k = find(w, c);
  return k && k->enabled;
}

void HeadlessUi::setVisible(int w, int c, bool on) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->visible = on;
}

void HeadlessUi::setBackground(int w, int c, Colour colour) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->background = colour;
}

void HeadlessUi::setTextColour(int w, int c, Colour colour) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->textColour = colour;
}

void HeadlessUi::setImage(int w, int c, int image) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->image = image;
}

void HeadlessUi::setRange(int w, int c, int min, int max) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) {
    k->desc.rangeMin = min;
    k->desc.rangeMax = max;
  }
}

void HeadlessUi::setItems(int w, int c, const std::vector<std::string>& items) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) {
    k->items = items;
    k->selection = -1;
    k->state = -1;
  }
}

void HeadlessUi::addItem(int w, int c, const std::string& item) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) k->items.push_back(item);
}

std::vector<std::string> HeadlessUi::items(int w, int c) const {
  Lock l(mutex_);
  const auto* k = find(w, c);
  return k ? k->items : std::vector<std::string>{};
}

void HeadlessUi::setSelection(int w, int c, int index) {
  Lock l(mutex_);
  auto* k = find(w, c);
  if (!k) return;
  if (index < -1 || index >= static_cast<int>(k->items.size())) index = -1;
  k->selection = index;
  k->state = index;
}

bool HeadlessUi::selectByText(int w, int c, const std::string& text) {
  Lock l(mutex_);
  auto* k = find(w, c);
  if (!k) return false;
  auto pos = std::find(k->items.begin(), k->items.end(), text);
  if (pos == k->items.end()) return false;
  k->selection = static_cast<int>(pos - k->items.begin());
  k->state = k->selection;
  return true;
}

int HeadlessUi::selection(int w, int c) const {
  Lock l(mutex_);
  const auto* k = find(w, c);
  return k ? k->selection : -1;
}

void HeadlessUi::setTooltip(int w, int c, const std::string& text, const std::string& title,
                            int) {
  Lock l(mutex_);
  if (auto* k = find(w, c)) {
    k->tooltip = text;
    k->tooltipTitle = title;
  }
}

void HeadlessUi::setFocus(int w, int c) {
  Lock l(mutex_);
  focus_ = {w, c};
}

int HeadlessUi::messageBox(int owner, const std::string& title, const std::string& text,
                           int flags) {
  RecordedMessage m{owner, title, text, flags, 0};
  if (std::this_thread::get_id() != owner_) {
    Lock l(mutex_);
    ++offThreadMessageBoxes;
    const int buttons = flags & mb::kButtonMask;
    return buttons == mb::kYesNo       ? mb::kAnswerNo
           : buttons == mb::kOkCancel ? mb::kAnswerCancel
                                      : mb::kAnswerOk;
  }
  {
    Lock l(mutex_);
    if (!answers_.empty()) {
      m.answer = answers_.front();
      answers_.pop_front();
    } else {
      m.answer = (flags & mb::kButtonMask) == mb::kYesNo ? defaultYesNoAnswer : mb::kAnswerOk;
    }
    messages.push_back(m);
  }
  if (onMessage) onMessage(m);
  return m.answer;
}

void HeadlessUi::showFatalMessage(const std::string& title, const std::string& text) {
  RecordedMessage m{-1, title, text, mb::kOk | mb::kIconError, mb::kAnswerOk};
  {
    Lock l(mutex_);
    messages.push_back(m);
  }
  if (onMessage) onMessage(m);
}

std::optional<std::string> HeadlessUi::openFileDialog(const FileDialogSpec& desc) {
  Lock l(mutex_);
  fileDialogs.push_back(desc);
  if (fileAnswers_.empty()) return std::nullopt;
  auto a = fileAnswers_.front();
  fileAnswers_.pop_front();
  return a;
}

std::optional<std::string> HeadlessUi::saveFileDialog(const FileDialogSpec& desc) {
  return openFileDialog(desc);
}

void HeadlessUi::setWaitCursor(bool on) {
  Lock l(mutex_);
  waitCursorDepth += on ? 1 : -1;
}

void HeadlessUi::movePointer(int x, int y) {
  Lock l(mutex_);
  pointer_ = {x, y};
}

bool HeadlessUi::takeDue(UiEvent& event) {
  Lock l(mutex_);
  Tick now = clock_ ? clock_->now() : 0;
  while (!timed_.empty() && (!clock_ || tickReached(now, timed_.front().first))) {
    events_.push_back(timed_.front().second);
    timed_.erase(timed_.begin());
  }
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

bool HeadlessUi::pollEvent(UiEvent& event) { return takeDue(event); }

bool HeadlessUi::waitEvent(int ms, UiEvent& event) {
  if (takeDue(event)) return true;
  if (!clock_) return false;
  // Let virtual time pass until the next scripted event or the timeout.
  Tick deadline = clock_->now() + static_cast<Tick>(ms < 0 ? 0 : ms);
  while (tickDiff(deadline, clock_->now()) > 0) {
    clock_->sleep(1);
    if (takeDue(event)) return true;
  }
  return false;
}

}  // namespace kw
