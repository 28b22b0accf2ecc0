// Controls of the Win32 user interface. Every value lives in a locked store that any
// thread may read and write; controls follow the store on the GUI thread, at once for
// the GUI thread's own changes and through a posted flush for the others'.
#include <algorithm>
#include <charconv>
#include <sstream>

#include "platform/win32/win32_ui_impl.h"

namespace kw::win32ui {

namespace {

// The rows of a report list view, from the store's items.
void fillRows(HWND list, const std::vector<std::string>& rows, int columns) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string> cells = splitCells(rows[r]);
    std::wstring first = widen(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(r);
    item.pszText = first.data();
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = 1; c < columns && c < static_cast<int>(cells.size()); ++c) {
      std::wstring cell = widen(cells[static_cast<size_t>(c)]);
      LVITEMW sub{};
      sub.iSubItem = c;
      sub.pszText = cell.data();
      SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
  }
  // Each column as wide as its heading or its widest cell.
  for (int c = 0; c < columns; ++c) ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE_USEHEADER);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void selectRow(HWND list, int row) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  if (row < 0 || row >= ListView_GetItemCount(list)) return;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
}

constexpr wchar_t kPageClass[] = L"KantelwerkPage";
// A drop-down list is created as high as its opened list; the closed box keeps the
// height the layout gives.
constexpr int kDroppedListHeight = 200;

bool isEdit(ControlKind k) {
  return k == ControlKind::NumericField || k == ControlKind::TextField ||
         k == ControlKind::ReadOnlyField || k == ControlKind::DisplayField;
}

bool parseInt(const std::string& s, int& out) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return false;
  size_t b = s.find_last_not_of(' ');
  const char* first = s.data() + a;
  const char* last = s.data() + b + 1;
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, out);
  return ec == std::errc() && ptr == last;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Edit controls break lines at CR LF only.
std::string withCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string withoutCr(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != '\r') out += ch;
  return out;
}

std::string windowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  return narrow(w);
}

void setWindowText(HWND hwnd, const std::string& text) {
  SetWindowTextW(hwnd, widen(text).c_str());
}

DWORD staticAlign(Align a) {
  switch (a) {
    case Align::Centre: return SS_CENTER;
    case Align::Right: return SS_RIGHT;
    default: return SS_LEFT;
  }
}

DWORD editAlign(Align a) {
  switch (a) {
    case Align::Centre: return ES_CENTER;
    case Align::Right: return ES_RIGHT;
    default: return ES_LEFT;
  }
}

}  // namespace

// ------------------------------------------------------------------------------------
// Store

ControlValue* Win32Ui::value(int window, int control) {
  auto w = store_.find(window);
  if (w == store_.end()) return nullptr;
  auto c = w->second.controls.find(control);
  return c == w->second.controls.end() ? nullptr : &c->second;
}

const ControlValue* Win32Ui::value(int window, int control) const {
  auto w = store_.find(window);
  if (w == store_.end()) return nullptr;
  auto c = w->second.controls.find(control);
  return c == w->second.controls.end() ? nullptr : &c->second;
}

void Win32Ui::markDirty(int window, int control, unsigned bits) {
  ControlValue* v = value(window, control);
  if (!v) return;
  v->dirty |= bits;
  dirty_.insert({window, control});
}

void Win32Ui::requestFlush() {
  {
    Lock l(mutex_);
    if (flushPosted_) return;
    flushPosted_ = true;
  }
  PostMessageW(messageWindow_, kMsgFlush, 0, 0);
}

// How a text written by the program changes a control's value.
void Win32Ui::applyText(ControlValue& v, const std::string& text, unsigned& bits) {
  switch (v.kind) {
    case ControlKind::DropDown: {
      auto pos = std::find(v.items.begin(), v.items.end(), text);
      if (pos == v.items.end()) return;
      const int index = static_cast<int>(pos - v.items.begin());
      if (index != v.state) bits |= kDirtyState;
      v.state = index;
      v.text = text;
      return;
    }
    case ControlKind::Spin: {
      if (v.text != text) bits |= kDirtyText;
      v.text = text;
      int n = 0;
      if (parseInt(text, n)) {
        n = std::clamp(n, v.rangeMin, std::max(v.rangeMin, v.rangeMax));
        if (n != v.state) bits |= kDirtyState;
        v.state = n;
      }
      return;
    }
    case ControlKind::Slider:
    case ControlKind::ProgressBar:
    case ControlKind::TabControl:
    case ControlKind::Picture:
      v.text = text;  // nothing to show
      return;
    default:
      if (v.text != text) bits |= kDirtyText;
      v.text = text;
      return;
  }
}

// How a state written by the program (or the user) changes a control's value.
void Win32Ui::applyState(int window, ControlValue& v, int state, unsigned& bits) {
  switch (v.kind) {
    case ControlKind::CheckBox:
    case ControlKind::ToggleButton: {
      const int s = state != 0 ? 1 : 0;
      if (s != v.state) bits |= kDirtyState;
      v.state = s;
      return;
    }
    case ControlKind::OptionButton: {
      const int s = state != 0 ? 1 : 0;
      if (s != v.state) bits |= kDirtyState;
      v.state = s;
      if (s == 1 && v.group != 0) {
        // The others of the group drop out; their buttons follow in the flush.
        auto w = store_.find(window);
        if (w != store_.end())
          for (auto& [id, other] : w->second.controls)
            if (&other != &v && other.group == v.group && other.state != 0) {
              other.state = 0;
              other.dirty |= kDirtyState;
              dirty_.insert({window, id});
            }
      }
      return;
    }
    case ControlKind::DropDown: {
      int s = state;
      if (s < -1 || s >= static_cast<int>(v.items.size())) s = -1;
      if (s != v.state) bits |= kDirtyState;
      v.state = s;
      v.text = s >= 0 ? v.items[static_cast<size_t>(s)] : std::string();
      return;
    }
    case ControlKind::Slider:
    case ControlKind::Spin:
    case ControlKind::ProgressBar: {
      const int s = std::clamp(state, v.rangeMin, std::max(v.rangeMin, v.rangeMax));
      if (s != v.state) bits |= kDirtyState;
      v.state = s;
      if (v.kind != ControlKind::ProgressBar) {
        std::string t = std::to_string(s);
        if (v.kind == ControlKind::Spin && t != v.text) bits |= kDirtyState;
        v.text = std::move(t);
      }
      return;
    }
    case ControlKind::TabControl:
      if (state < 0 || state >= static_cast<int>(v.items.size())) return;
      if (state != v.state) bits |= kDirtyState;
      v.state = state;
      return;
    case ControlKind::ListView: {
      const int s = state >= 0 && state < static_cast<int>(v.items.size()) ? state : -1;
      if (s != v.state) bits |= kDirtyState;
      v.state = s;
      return;
    }
    default:
      v.state = state;
      return;
  }
}

void Win32Ui::flushPending() {
  if (!onMain()) return;
  std::vector<std::tuple<int, int, ControlValue, unsigned>> work;
  std::vector<int> bars;
  {
    Lock l(mutex_);
    flushPosted_ = false;
    for (const auto& [window, control] : dirty_) {
      ControlValue* v = value(window, control);
      if (!v || v->dirty == 0) continue;
      work.emplace_back(window, control, *v, v->dirty);
      v->dirty = 0;
    }
    dirty_.clear();
    bars.assign(dirtyStatus_.begin(), dirtyStatus_.end());
    dirtyStatus_.clear();
  }
  for (const auto& [window, control, v, bits] : work) showValue(window, control, v, bits);
  for (int window : bars) refreshStatusBar(window);
}

void Win32Ui::showTab(ControlWidget& c, int page) {
  if (page < 0 || page >= static_cast<int>(c.pages.size())) return;
  if (TabCtrl_GetCurSel(c.hwnd) != page) TabCtrl_SetCurSel(c.hwnd, page);
  for (size_t i = 0; i < c.pages.size(); ++i)
    ShowWindow(c.pages[i], static_cast<int>(i) == page ? SW_SHOW : SW_HIDE);
}

// Makes the control show the given value; GUI thread only.
void Win32Ui::showValue(int window, int control, const ControlValue& v, unsigned bits) {
  ControlWidget* c = findControl(window, control);
  if (!c || !c->hwnd) return;
  SuppressEvents quiet(*this);
  HWND h = c->hwnd;
  const ControlKind kind = c->desc.kind;

  if (bits & kDirtyText) {
    if (isEdit(kind)) {
      const std::string shown = withCrLf(v.text);
      if (windowText(h) != shown) {
        // The length limit is for typing: a longer value the program shows (a read-out's
        // "0.70" in a three-character field) is shown whole.
        const int limit = c->desc.multiLine ? 0 : c->desc.maxLength;
        if (limit > 0)
          SendMessageW(h, EM_LIMITTEXT, static_cast<int>(shown.size()) > limit ? 0 : limit, 0);
        setWindowText(h, shown);
      }
    } else if (kind == ControlKind::Spin) {
      int shown = 0;
      if (parseInt(v.text, shown) && c->buddy) {
        // Clearing puts "0" into fields whose range starts at 1: the arrows widen their
        // range to show it rather than silently showing the minimum.
        int lo = 0, hi = 0;
        SendMessageW(c->buddy, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo),
                     reinterpret_cast<LPARAM>(&hi));
        if (shown < lo) SendMessageW(c->buddy, UDM_SETRANGE32, shown, hi);
      }
      setWindowText(h, v.text);
    } else if (kind != ControlKind::DropDown && kind != ControlKind::Slider &&
               kind != ControlKind::ProgressBar && kind != ControlKind::TabControl &&
               kind != ControlKind::Picture) {
      if (windowText(h) != v.text) setWindowText(h, v.text);
    }
  }
  if (bits & kDirtyState) {
    switch (kind) {
      case ControlKind::CheckBox:
      case ControlKind::ToggleButton:
      case ControlKind::OptionButton:
        SendMessageW(h, BM_SETCHECK, v.state != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case ControlKind::DropDown: SendMessageW(h, CB_SETCURSEL, v.state, 0); break;
      case ControlKind::Slider: SendMessageW(h, TBM_SETPOS, TRUE, v.state); break;
      case ControlKind::Spin:
        if (!(bits & kDirtyText)) setWindowText(h, std::to_string(v.state));
        break;
      case ControlKind::ProgressBar: SendMessageW(h, PBM_SETPOS, v.state, 0); break;
      case ControlKind::TabControl: showTab(*c, v.state); break;
      case ControlKind::ListView: selectRow(h, v.state); break;
      default: break;
    }
  }
  if (bits & kDirtyEnabled) {
    EnableWindow(h, v.enabled);
    if (c->buddy) EnableWindow(c->buddy, v.enabled);
  }
  if ((bits & kDirtyImage) && kind == ControlKind::Picture) InvalidateRect(h, nullptr, TRUE);
}

// ------------------------------------------------------------------------------------
// Creation

HWND Win32Ui::parentFor(WindowWidgets& w, const ControlSpec& desc) {
  if (desc.parent == 0) return w.hwnd;
  auto it = w.controls.find(desc.parent);
  if (it == w.controls.end() || it->second.desc.kind != ControlKind::TabControl) return nullptr;
  const auto& pages = it->second.pages;
  if (desc.page < 0 || desc.page >= static_cast<int>(pages.size())) return nullptr;
  return pages[static_cast<size_t>(desc.page)];
}

// Each page of a tab control is a window of its own over the tab control's display
// area, so that the controls of a page come and go with it.
void Win32Ui::createTabPages(ControlWidget& cw) {
  RECT area{0, 0, cw.desc.rect.w, cw.desc.rect.h};
  TabCtrl_AdjustRect(cw.hwnd, FALSE, &area);
  for (size_t i = 0; i < cw.desc.items.size(); ++i) {
    HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"",
                                WS_CHILD | WS_CLIPSIBLINGS | (i == 0 ? WS_VISIBLE : 0),
                                area.left, area.top, area.right - area.left,
                                area.bottom - area.top, cw.hwnd, nullptr, instance_, this);
    cw.pages.push_back(page);
  }
}

bool Win32Ui::createWidget(WindowWidgets& w, HWND parent, const ControlSpec& desc,
                           ControlWidget& cw, ControlValue& v) {
  const int x = desc.rect.x, y = desc.rect.y, cx = desc.rect.w, cy = desc.rect.h;
  const std::wstring caption = widen(desc.text);
  auto make = [&](DWORD exStyle, const wchar_t* cls, const std::wstring& text, DWORD style,
                  int height) {
    return CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, cx,
                           height, parent, nullptr, instance_, nullptr);
  };
  switch (desc.kind) {
    case ControlKind::Label: {
      // A box one line high keeps its text on that line: a wrapped second line would
      // only be cut away.
      DWORD align = staticAlign(desc.align);
      if (align == SS_LEFT && cy < 2 * lineHeight_) align = SS_LEFTNOWORDWRAP;
      cw.hwnd = make(0, L"STATIC", caption, align | SS_NOPREFIX, cy);
      break;
    }
    case ControlKind::StatusLabel:
      // Right-aligned in a thin border, like the fields they report on.
      cw.hwnd = make(0, L"STATIC", caption, SS_RIGHT | SS_NOPREFIX | WS_BORDER, cy);
      break;
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::ReadOnlyField:
    case ControlKind::DisplayField: {
      DWORD style = WS_TABSTOP | editAlign(desc.align);
      if (desc.multiLine) {
        style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
      } else {
        style |= ES_AUTOHSCROLL;
      }
      if (desc.kind == ControlKind::NumericField) style |= ES_NUMBER;
      if (desc.kind == ControlKind::ReadOnlyField) style |= ES_READONLY;
      cw.hwnd = make(WS_EX_CLIENTEDGE, L"EDIT", widen(withCrLf(desc.text)), style, cy);
      if (cw.hwnd && desc.maxLength > 0 && !desc.multiLine)
        SendMessageW(cw.hwnd, EM_LIMITTEXT, desc.maxLength, 0);
      if (desc.kind == ControlKind::DisplayField) {
        EnableWindow(cw.hwnd, FALSE);
        v.enabled = false;
      }
      break;
    }
    case ControlKind::ListView: {
      // The native report list view: screen readers read its rows and headings, and the
      // caption is its accessible name.
      cw.hwnd = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, caption,
                     WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, cy);
      if (!cw.hwnd) break;
      ListView_SetExtendedListViewStyle(cw.hwnd, LVS_EX_FULLROWSELECT);
      const int columns = std::max<int>(1, static_cast<int>(desc.items.size()));
      for (size_t i = 0; i < desc.items.size(); ++i) {
        std::wstring heading = widen(desc.items[i]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = cx / columns;
        col.pszText = heading.data();
        SendMessageW(cw.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
      }
      v.items.clear();
      v.state = -1;
      break;
    }
    case ControlKind::DropDown: {
      cw.hwnd = make(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                     cy + kDroppedListHeight);
      if (!cw.hwnd) break;
      for (const auto& item : desc.items)
        SendMessageW(cw.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
      if (desc.droppedWidth > 0) SendMessageW(cw.hwnd, CB_SETDROPPEDWIDTH, desc.droppedWidth, 0);
      v.items = desc.items;
      v.state = -1;
      v.text.clear();
      auto found = std::find(desc.items.begin(), desc.items.end(), desc.text);
      if (!desc.text.empty() && found != desc.items.end()) {
        v.state = static_cast<int>(found - desc.items.begin());
        v.text = desc.text;
        SendMessageW(cw.hwnd, CB_SETCURSEL, v.state, 0);
      }
      break;
    }
    case ControlKind::CheckBox:
      cw.hwnd = make(0, L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, cy);
      break;
    case ControlKind::OptionButton: {
      // Exclusive within the group the program gives, whatever lies between the buttons:
      // the program keeps the group, not the system.
      int& last = w.lastOptionGroup[parent];
      if (desc.groupStart || last == 0) last = nextGroup_++;
      v.group = last;
      cw.hwnd = make(0, L"BUTTON", caption, WS_TABSTOP | BS_RADIOBUTTON, cy);
      break;
    }
    case ControlKind::ToggleButton:
      cw.hwnd = make(0, L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE, cy);
      break;
    case ControlKind::Slider: {
      cw.hwnd = make(0, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS, cy);
      if (!cw.hwnd) break;
      const int start = std::clamp(0, v.rangeMin, v.rangeMax);
      SendMessageW(cw.hwnd, TBM_SETRANGEMIN, FALSE, v.rangeMin);
      SendMessageW(cw.hwnd, TBM_SETRANGEMAX, FALSE, v.rangeMax);
      SendMessageW(cw.hwnd, TBM_SETPOS, TRUE, start);
      v.state = start;
      v.text = std::to_string(start);
      break;
    }
    case ControlKind::Spin: {
      int start = 0;
      if (!parseInt(desc.text, start)) start = 0;
      start = std::clamp(start, v.rangeMin, v.rangeMax);
      cw.hwnd = make(WS_EX_CLIENTEDGE, L"EDIT", widen(std::to_string(start)),
                     WS_TABSTOP | ES_AUTOHSCROLL | editAlign(desc.align), cy);
      if (!cw.hwnd) break;
      // The arrows take their room from the right of the field, within the given box.
      cw.buddy = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                 WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                     UDS_SETBUDDYINT | UDS_NOTHOUSANDS,
                                 0, 0, 0, 0, parent, nullptr, instance_, nullptr);
      SendMessageW(cw.buddy, UDM_SETBUDDY, reinterpret_cast<WPARAM>(cw.hwnd), 0);
      SendMessageW(cw.buddy, UDM_SETRANGE32, v.rangeMin, v.rangeMax);
      SendMessageW(cw.buddy, UDM_SETPOS32, 0, start);
      v.state = start;
      v.text = std::to_string(start);
      break;
    }
    case ControlKind::Button:
      cw.hwnd = make(0, L"BUTTON", caption,
                     WS_TABSTOP | (desc.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                         (desc.multiLine ? BS_MULTILINE : 0),
                     cy);
      break;
    case ControlKind::Frame:
      cw.hwnd = make(0, L"BUTTON", caption, BS_GROUPBOX, cy);
      break;
    case ControlKind::Picture:
      cw.hwnd = make(0, L"STATIC", L"", SS_OWNERDRAW, cy);
      v.image = desc.image;
      break;
    case ControlKind::ProgressBar:
      cw.hwnd = make(0, PROGRESS_CLASSW, L"", PBS_SMOOTH, cy);
      if (!cw.hwnd) break;
      SendMessageW(cw.hwnd, PBM_SETRANGE32, v.rangeMin, v.rangeMax);
      SendMessageW(cw.hwnd, PBM_SETPOS, v.rangeMin, 0);
      v.state = v.rangeMin;
      break;
    case ControlKind::TabControl: {
      cw.hwnd = make(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                     WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS |
                         (desc.multiLine ? TCS_MULTILINE : 0),
                     cy);
      if (!cw.hwnd) break;
      SendMessageW(cw.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      for (size_t i = 0; i < desc.items.size(); ++i) {
        std::wstring title = widen(desc.items[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(cw.hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      }
      createTabPages(cw);
      v.items = desc.items;
      v.state = desc.items.empty() ? -1 : 0;
      break;
    }
  }
  if (!cw.hwnd) return false;
  SendMessageW(cw.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return true;
}

void Win32Ui::destroyControl(int window, int control) {
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  auto it = w->controls.find(control);
  if (it == w->controls.end()) return;
  ControlWidget& c = it->second;
  if (c.tooltip) DestroyWindow(c.tooltip);
  if (c.buddy) DestroyWindow(c.buddy);
  controlOfHwnd_.erase(c.hwnd);
  DestroyWindow(c.hwnd);  // takes the pages and their controls along
  w->controls.erase(it);
  Lock l(mutex_);
  if (auto s = store_.find(window); s != store_.end()) s->second.controls.erase(control);
}

bool Win32Ui::createControl(int window, const ControlSpec& desc) {
  if (!onMain()) return false;
  WindowWidgets* w = findWindow(window);
  if (!w) return false;
  // A number used again replaces the old control.
  if (findControl(window, desc.id)) destroyControl(window, desc.id);
  HWND parent = parentFor(*w, desc);
  if (!parent) return false;

  SuppressEvents quiet(*this);
  ControlWidget cw;
  cw.desc = desc;
  ControlValue v;
  v.kind = desc.kind;
  v.text = desc.text;
  v.rangeMin = desc.rangeMin;
  v.rangeMax = std::max(desc.rangeMin, desc.rangeMax);
  if (!createWidget(*w, parent, desc, cw, v)) return false;

  controlOfHwnd_[cw.hwnd] = ControlRef{window, desc.id};
  w->controls[desc.id] = std::move(cw);
  Lock l(mutex_);
  auto it = store_.find(window);
  if (it != store_.end()) it->second.controls[desc.id] = std::move(v);
  return true;
}

// ------------------------------------------------------------------------------------
// User changes: store first, then the event for the program

void Win32Ui::userChangedText(const ControlRef& ref, HWND hwnd) {
  const std::string text = withoutCr(windowText(hwnd));
  Lock l(mutex_);
  if (ControlValue* v = value(ref.window, ref.control)) v->text = text;
}

void Win32Ui::userChangedState(const ControlRef& ref, int state) {
  Lock l(mutex_);
  ControlValue* v = value(ref.window, ref.control);
  if (!v) return;
  unsigned ignored = 0;
  applyState(ref.window, *v, state, ignored);
}

void Win32Ui::optionClicked(const ControlRef& ref) {
  if (state(ref.window, ref.control) != 0) return;  // already the chosen one
  setState(ref.window, ref.control, 1);
  flushPending();  // the others of the group drop out now
  queueEvent({EventType::Click, ref.window, ref.control, 1, 0});
}

void Win32Ui::onCommand(HWND hwnd, int code) {
  auto it = controlOfHwnd_.find(hwnd);
  if (it == controlOfHwnd_.end() || suppress_ > 0) return;
  const ControlRef ref = it->second;
  const ControlWidget* c = findControl(ref.window, ref.control);
  if (!c) return;
  switch (c->desc.kind) {
    case ControlKind::Button:
      if (code == BN_CLICKED) queueEvent({EventType::Click, ref.window, ref.control, 0, 0});
      break;
    case ControlKind::CheckBox:
    case ControlKind::ToggleButton:
      if (code == BN_CLICKED) {
        const int s = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        userChangedState(ref, s);
        queueEvent({EventType::Click, ref.window, ref.control, s, 0});
      }
      break;
    case ControlKind::OptionButton:
      if (code == BN_CLICKED) optionClicked(ref);
      break;
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::ReadOnlyField:
    case ControlKind::DisplayField:
      if (code == EN_CHANGE) {
        userChangedText(ref, hwnd);
        queueEvent({EventType::TextChanged, ref.window, ref.control, 0, 0});
      }
      break;
    case ControlKind::DropDown:
      if (code == CBN_SELCHANGE) {
        const int s = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
        userChangedState(ref, s);
        queueEvent({EventType::SelectionChanged, ref.window, ref.control, s, 0});
      }
      break;
    case ControlKind::Spin:
      if (code == EN_CHANGE) {
        // Arrows and typing both come here; each new value is reported once.
        const std::string text = windowText(hwnd);
        int n = 0;
        bool report = false;
        {
          Lock l(mutex_);
          ControlValue* v = value(ref.window, ref.control);
          if (!v) return;
          v->text = text;
          if (parseInt(text, n) && n >= v->rangeMin && n <= v->rangeMax && n != v->state) {
            v->state = n;
            report = true;
          }
        }
        if (report) queueEvent({EventType::ValueChanged, ref.window, ref.control, n, 0});
      }
      break;
    default:
      break;
  }
}

void Win32Ui::onScroll(HWND hwnd) {
  auto it = controlOfHwnd_.find(hwnd);
  if (it == controlOfHwnd_.end() || suppress_ > 0) return;
  const ControlRef ref = it->second;
  const ControlWidget* c = findControl(ref.window, ref.control);
  if (!c || c->desc.kind != ControlKind::Slider) return;
  const int s = static_cast<int>(SendMessageW(hwnd, TBM_GETPOS, 0, 0));
  if (s == state(ref.window, ref.control)) return;
  userChangedState(ref, s);
  queueEvent({EventType::ValueChanged, ref.window, ref.control, s, 0});
}

void Win32Ui::onNotify(const NMHDR& hdr) {
  if (suppress_ > 0) return;
  if (hdr.code == TCN_SELCHANGE) {
    auto it = controlOfHwnd_.find(hdr.hwndFrom);
    if (it == controlOfHwnd_.end()) return;
    const ControlRef ref = it->second;
    ControlWidget* c = findControl(ref.window, ref.control);
    if (!c) return;
    const int page = TabCtrl_GetCurSel(hdr.hwndFrom);
    showTab(*c, page);
    userChangedState(ref, page);
    queueEvent({EventType::TabChanged, ref.window, ref.control, page, 0});
    return;
  }
  if (hdr.code == LVN_ITEMCHANGED || hdr.code == LVN_COLUMNCLICK) {
    auto it = controlOfHwnd_.find(hdr.hwndFrom);
    if (it == controlOfHwnd_.end()) return;
    const ControlRef ref = it->second;
    const auto& lv = reinterpret_cast<const NMLISTVIEW&>(hdr);
    if (hdr.code == LVN_COLUMNCLICK) {
      queueEvent({EventType::ColumnClick, ref.window, ref.control, lv.iSubItem, 0});
    } else if ((lv.uNewState & LVIS_SELECTED) != 0 && (lv.uOldState & LVIS_SELECTED) == 0) {
      userChangedState(ref, lv.iItem);
      queueEvent({EventType::SelectionChanged, ref.window, ref.control, lv.iItem, 0});
    }
    return;
  }
  if (hdr.code == NM_CLICK) {
    for (const auto& [number, w] : windows_) {
      if (w.statusBar != hdr.hwndFrom) continue;
      const auto& mouse = reinterpret_cast<const NMMOUSE&>(hdr);
      queueEvent({EventType::StatusBarClick, number, 0, 0, static_cast<int>(mouse.pt.x)});
      return;
    }
  }
}

LRESULT Win32Ui::colourFor(HDC dc, HWND hwnd, bool& handled) {
  auto it = controlOfHwnd_.find(hwnd);
  if (it == controlOfHwnd_.end()) return 0;
  const ControlWidget* c = findControl(it->second.window, it->second.control);
  if (!c || (c->background == kNoColour && c->textColour == kNoColour)) return 0;
  handled = true;
  if (c->textColour != kNoColour) SetTextColor(dc, toColorRef(c->textColour));
  Colour back = c->background;
  if (back == kNoColour) {
    const bool field = isEdit(c->desc.kind) && IsWindowEnabled(hwnd) &&
                       c->desc.kind != ControlKind::ReadOnlyField;
    back = static_cast<Colour>(GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
  }
  SetBkColor(dc, toColorRef(back));
  return reinterpret_cast<LRESULT>(brush(back));
}

HBRUSH Win32Ui::brush(Colour colour) {
  auto it = brushes_.find(colour);
  if (it != brushes_.end()) return it->second;
  HBRUSH b = CreateSolidBrush(toColorRef(colour));
  brushes_[colour] = b;
  return b;
}

void Win32Ui::drawPicture(const DRAWITEMSTRUCT& item) {
  auto it = controlOfHwnd_.find(item.hwndItem);
  if (it == controlOfHwnd_.end()) return;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const int number = [&] {
    Lock l(mutex_);
    const ControlValue* v = value(it->second.window, it->second.control);
    return v ? v->image : 0;
  }();
  auto img = images_.find(number);
  if (img == images_.end()) return;
  HBITMAP bmp = faceBitmap(img->second, GetSysColor(COLOR_BTNFACE));
  if (!bmp) return;
  HDC mem = CreateCompatibleDC(item.hDC);
  HGDIOBJ old = SelectObject(mem, bmp);
  // Centred in the control, like a picture box that is larger than its image.
  const int w = item.rcItem.right - item.rcItem.left;
  const int h = item.rcItem.bottom - item.rcItem.top;
  BitBlt(item.hDC, item.rcItem.left + (w - img->second.width) / 2,
         item.rcItem.top + (h - img->second.height) / 2, img->second.width,
         img->second.height, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
}

bool Win32Ui::drawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_STATIC) {
    drawPicture(item);
    return true;
  }
  for (const auto& [number, w] : windows_) {
    if (w.statusBar && w.statusBar == item.hwndItem) {
      drawStatusField(item);
      return true;
    }
  }
  return false;
}

// ------------------------------------------------------------------------------------
// Any-thread setters and getters

bool Win32Ui::controlExists(int window, int control) const {
  Lock l(mutex_);
  return value(window, control) != nullptr;
}

// Changes a control's stored value under the lock; `change` returns what it changed (0 =
// nothing). On the GUI thread the control follows at once, elsewhere it is marked and
// the GUI thread catches up when the posted flush arrives.
template <typename Change>
void Win32Ui::updateValue(int window, int control, Change change) {
  unsigned bits = 0;
  ControlValue copy;
  {
    Lock l(mutex_);
    ControlValue* v = value(window, control);
    if (!v) return;
    bits = change(*v);
    if (bits == 0) return;
    if (!onMain()) {
      markDirty(window, control, bits);
    } else {
      copy = *v;
    }
  }
  if (!onMain()) {
    requestFlush();
    return;
  }
  showValue(window, control, copy, bits);
}

void Win32Ui::setText(int window, int control, const std::string& text) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    unsigned bits = 0;
    applyText(v, text, bits);
    return bits;
  });
}

std::string Win32Ui::text(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v ? v->text : std::string();
}

void Win32Ui::setState(int window, int control, int state) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    unsigned bits = 0;
    applyState(window, v, state, bits);
    return bits;
  });
  // Option buttons that dropped out of their group are shown on the next flush.
  if (onMain()) {
    bool others = false;
    {
      Lock l(mutex_);
      others = !dirty_.empty();
    }
    if (others) flushPending();
  } else {
    requestFlush();
  }
}

int Win32Ui::state(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v ? v->state : 0;
}

void Win32Ui::setEnabled(int window, int control, bool on) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    if (v.enabled == on) return 0;
    v.enabled = on;
    return kDirtyEnabled;
  });
}

bool Win32Ui::enabled(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v && v->enabled;
}

void Win32Ui::setImage(int window, int control, int image) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    if (v.image == image) return 0;
    v.image = image;
    return kDirtyImage;
  });
}

void Win32Ui::setSelection(int window, int control, int index) {
  ControlKind kind;
  {
    Lock l(mutex_);
    const ControlValue* v = value(window, control);
    if (!v) return;
    kind = v->kind;
  }
  if (kind == ControlKind::DropDown || kind == ControlKind::TabControl ||
      kind == ControlKind::ListView)
    setState(window, control, index);
}

bool Win32Ui::selectByText(int window, int control, const std::string& text) {
  {
    Lock l(mutex_);
    const ControlValue* v = value(window, control);
    if (!v || v->kind != ControlKind::DropDown) return false;
    if (std::find(v->items.begin(), v->items.end(), text) == v->items.end()) return false;
  }
  setText(window, control, text);
  return true;
}

int Win32Ui::selection(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  if (!v) return -1;
  if (v->kind == ControlKind::DropDown || v->kind == ControlKind::TabControl ||
      v->kind == ControlKind::ListView)
    return v->state;
  return -1;
}

std::vector<std::string> Win32Ui::items(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  if (!v) return {};
  if (isEdit(v->kind)) return splitLines(v->text);
  return v->items;
}

void Win32Ui::setRange(int window, int control, int min, int max) {
  if (!onMain()) {
    postToMain([this, window, control, min, max] { setRange(window, control, min, max); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (max < min) max = min;
  int current = 0;
  {
    Lock l(mutex_);
    ControlValue* v = value(window, control);
    if (!v) return;
    v->rangeMin = min;
    v->rangeMax = max;
    current = v->state;
  }
  SuppressEvents quiet(*this);
  switch (c->desc.kind) {
    case ControlKind::Slider:
      SendMessageW(c->hwnd, TBM_SETRANGEMIN, FALSE, min);
      SendMessageW(c->hwnd, TBM_SETRANGEMAX, TRUE, max);
      break;
    case ControlKind::Spin: SendMessageW(c->buddy, UDM_SETRANGE32, min, max); break;
    case ControlKind::ProgressBar: SendMessageW(c->hwnd, PBM_SETRANGE32, min, max); break;
    default: return;
  }
  // Bring the value into the new range and show it again.
  setState(window, control, std::clamp(current, min, max));
  ControlValue copy;
  {
    Lock l(mutex_);
    if (ControlValue* v = value(window, control)) copy = *v;
  }
  showValue(window, control, copy, kDirtyState);
}

void Win32Ui::setItems(int window, int control, const std::vector<std::string>& list) {
  if (!onMain()) {
    postToMain([this, window, control, list] { setItems(window, control, list); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  SuppressEvents quiet(*this);
  if (c->desc.kind == ControlKind::DropDown) {
    {
      Lock l(mutex_);
      ControlValue* v = value(window, control);
      if (!v) return;
      v->items = list;
      v->state = -1;
      v->text.clear();
    }
    SendMessageW(c->hwnd, CB_RESETCONTENT, 0, 0);
    for (const auto& item : list)
      SendMessageW(c->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
    SendMessageW(c->hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  } else if (c->desc.kind == ControlKind::ListView) {
    {
      Lock l(mutex_);
      ControlValue* v = value(window, control);
      if (!v) return;
      v->items = list;
      v->state = -1;
    }
    if (c->hwnd) fillRows(c->hwnd, list, static_cast<int>(c->desc.items.size()));
  } else if (c->desc.kind == ControlKind::TabControl) {
    for (size_t i = 0; i < list.size() && i < c->pages.size(); ++i) {
      std::wstring title = widen(list[i]);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = title.data();
      SendMessageW(c->hwnd, TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    Lock l(mutex_);
    if (ControlValue* v = value(window, control)) v->items = list;
  } else if (isEdit(c->desc.kind)) {
    std::string joined;
    for (size_t i = 0; i < list.size(); ++i) joined += (i ? "\n" : "") + list[i];
    setText(window, control, joined);
  }
}

void Win32Ui::addItem(int window, int control, const std::string& item) {
  if (!onMain()) {
    postToMain([this, window, control, item] { addItem(window, control, item); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (c->desc.kind == ControlKind::DropDown) {
    {
      Lock l(mutex_);
      ControlValue* v = value(window, control);
      if (!v) return;
      v->items.push_back(item);
    }
    SuppressEvents quiet(*this);
    SendMessageW(c->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
  } else if (isEdit(c->desc.kind)) {
    // A multi-line field used as a list: one line per item, the newest in view.
    std::string current = text(window, control);
    setText(window, control, current.empty() ? item : current + "\n" + item);
    SendMessageW(c->hwnd, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageW(c->hwnd, EM_SCROLLCARET, 0, 0);
  }
}

// ------------------------------------------------------------------------------------
// GUI-thread-only looks

void Win32Ui::setVisible(int window, int control, bool visible) {
  if (!onMain()) {
    postToMain([this, window, control, visible] { setVisible(window, control, visible); });
    return;
  }
  if (ControlWidget* c = findControl(window, control)) {
    ShowWindow(c->hwnd, visible ? SW_SHOW : SW_HIDE);
    if (c->buddy) ShowWindow(c->buddy, visible ? SW_SHOW : SW_HIDE);
  }
}

void Win32Ui::setBackground(int window, int control, Colour colour) {
  if (!onMain()) {
    postToMain([this, window, control, colour] { setBackground(window, control, colour); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  c->background = colour;
  InvalidateRect(c->hwnd, nullptr, TRUE);
}

void Win32Ui::setTextColour(int window, int control, Colour colour) {
  if (!onMain()) {
    postToMain([this, window, control, colour] { setTextColour(window, control, colour); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  c->textColour = colour;
  InvalidateRect(c->hwnd, nullptr, TRUE);
}

void Win32Ui::setTooltip(int window, int control, const std::string& text,
                         const std::string& title, int icon) {
  if (!onMain()) {
    postToMain([this, window, control, text, title, icon] {
      setTooltip(window, control, text, title, icon);
    });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (c->tooltip) {
    DestroyWindow(c->tooltip);
    c->tooltip = nullptr;
  }
  if (text.empty() && title.empty()) return;
  // A balloon of its own for each control, at most 180 pixels wide, bound to the
  // control's window and listening to its mouse through subclassing.
  c->tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               GetAncestor(c->hwnd, GA_ROOT), nullptr, instance_, nullptr);
  if (!c->tooltip) return;
  SendMessageW(c->tooltip, TTM_SETTIPBKCOLOR, GetSysColor(COLOR_INFOBK), 0);
  SendMessageW(c->tooltip, TTM_SETTIPTEXTCOLOR, GetSysColor(COLOR_INFOTEXT), 0);
  SendMessageW(c->tooltip, TTM_SETMAXTIPWIDTH, 0, 180);
  std::wstring tip = widen(withCrLf(text));
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(c->hwnd);
  info.uId = reinterpret_cast<UINT_PTR>(c->hwnd);
  info.lpszText = tip.data();
  SendMessageW(c->tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  if (!title.empty())
    SendMessageW(c->tooltip, TTM_SETTITLEW, static_cast<WPARAM>(icon),
                 reinterpret_cast<LPARAM>(widen(title).c_str()));
}

void Win32Ui::setFocus(int window, int control) {
  if (!onMain()) {
    postToMain([this, window, control] { setFocus(window, control); });
    return;
  }
  if (ControlWidget* c = findControl(window, control)) SetFocus(c->hwnd);
}

}  // namespace kw::win32ui
