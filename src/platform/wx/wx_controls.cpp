// Controls of the wxWidgets user interface. Every value lives in a locked store that
// any thread may read and write; widgets follow the store on the main thread, at once
// for the main thread's own changes and through a posted flush for the others'.
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/slider.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/tooltip.h>

#include <algorithm>
#include <charconv>
#include <sstream>

#include "platform/wx/wx_ui_impl.h"

namespace kw::wxui {

namespace {

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

// The rows of a report list, from the store's items.
void fillRows(wxListCtrl* list, const std::vector<std::string>& rows) {
  list->Freeze();
  list->DeleteAllItems();
  const int columns = list->GetColumnCount();
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string> cells = splitCells(rows[r]);
    const long row = list->InsertItem(static_cast<long>(r), wxString::FromUTF8(cells[0].c_str()));
    for (int c = 1; c < columns && c < static_cast<int>(cells.size()); ++c)
      list->SetItem(row, c, wxString::FromUTF8(cells[static_cast<size_t>(c)].c_str()));
  }
  // Each column as wide as its heading or its widest cell.
  for (int c = 0; c < columns; ++c) list->SetColumnWidth(c, wxLIST_AUTOSIZE_USEHEADER);
  list->Thaw();
}

void selectRow(wxListCtrl* list, int row) {
  for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
       i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
  if (row < 0 || row >= list->GetItemCount()) return;
  list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                     wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  list->EnsureVisible(row);
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

long alignStyle(Align a) {
  switch (a) {
    case Align::Centre: return wxALIGN_CENTRE_HORIZONTAL;
    case Align::Right: return wxALIGN_RIGHT;
    default: return wxALIGN_LEFT;
  }
}

long editAlignStyle(Align a) {
  switch (a) {
    case Align::Centre: return wxTE_CENTRE;
    case Align::Right: return wxTE_RIGHT;
    default: return wxTE_LEFT;
  }
}

}  // namespace

wxBookCtrlBase* bookOf(wxWindow* tabControl) {
  if (auto* rows = dynamic_cast<TabRows*>(tabControl)) return rows->book();
  return dynamic_cast<wxBookCtrlBase*>(tabControl);
}

// ------------------------------------------------------------------------------------
// Store

ControlValue* WxUi::value(int window, int control) {
  auto w = store_.find(window);
  if (w == store_.end()) return nullptr;
  auto c = w->second.controls.find(control);
  return c == w->second.controls.end() ? nullptr : &c->second;
}

const ControlValue* WxUi::value(int window, int control) const {
  auto w = store_.find(window);
  if (w == store_.end()) return nullptr;
  auto c = w->second.controls.find(control);
  return c == w->second.controls.end() ? nullptr : &c->second;
}

void WxUi::markDirty(int window, int control, unsigned bits) {
  ControlValue* v = value(window, control);
  if (!v) return;
  v->dirty |= bits;
  dirty_.insert({window, control});
}

void WxUi::markStatusDirty(int window, int field) {
  if (field >= 0 && field < 32) dirtyStatus_[window] |= 1u << field;
}

void WxUi::requestFlush() {
  {
    Lock l(mutex_);
    if (flushPosted_) return;
    flushPosted_ = true;
  }
  if (wxTheApp) wxTheApp->CallAfter([] {
      if (WxUi* ui = WxUi::live()) ui->flushPending();
    });
}

// How a text written by the program changes a control's value.
void WxUi::applyText(ControlValue& v, const std::string& text, unsigned& bits) {
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
void WxUi::applyState(int window, ControlValue& v, int state, unsigned& bits) {
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
        // The others of the group drop out by themselves in the widgets.
        auto w = store_.find(window);
        if (w != store_.end())
          for (auto& [id, other] : w->second.controls)
            if (&other != &v && other.group == v.group) other.state = 0;
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

void WxUi::flushPending() {
  if (!onMain()) return;
  std::vector<std::tuple<int, int, ControlValue, unsigned>> work;
  std::vector<std::pair<int, uint32_t>> bars;
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
  for (auto [window, fields] : bars) refreshStatusBar(window, fields);
}

// Makes the widget show the given value; main thread only.
void WxUi::showValue(int window, int control, const ControlValue& v, unsigned bits) {
  ControlWidget* c = findControl(window, control);
  if (!c || !c->widget) return;
  SuppressEvents quiet(*this);
  wxWindow* widget = c->widget;
  const ControlKind kind = c->desc.kind;

  if (bits & kDirtyText) {
    if (isEdit(kind)) {
      auto* t = static_cast<wxTextCtrl*>(widget);
      const wxString s = toWx(v.text);
      if (t->GetValue() != s) {
        // The length limit is for typing: GTK would drop a longer value the program shows
        // (a read-out's "0.70" in a three-character field), so it is lifted meanwhile.
        const int limit = c->desc.multiLine ? 0 : c->desc.maxLength;
        if (limit > 0) t->SetMaxLength(static_cast<long>(s.length()) > limit ? 0 : limit);
        t->ChangeValue(s);
      }
    } else if (kind == ControlKind::Spin) {
      // Clearing and the read-out put "0" into fields whose range starts at 1: the control
      // widens its range to show it rather than silently showing the minimum.
      auto* sp = static_cast<wxSpinCtrl*>(widget);
      int shown = 0;
      if (parseInt(v.text, shown) && shown < sp->GetMin()) sp->SetRange(shown, sp->GetMax());
      sp->SetValue(toWx(v.text));
    } else if (kind == ControlKind::Label || kind == ControlKind::StatusLabel ||
               kind == ControlKind::Button || kind == ControlKind::CheckBox ||
               kind == ControlKind::OptionButton || kind == ControlKind::ToggleButton ||
               kind == ControlKind::Frame) {
      setCaption(*c, v.text);
    }
  }
  if (bits & kDirtyState) {
    switch (kind) {
      case ControlKind::CheckBox: static_cast<wxCheckBox*>(widget)->SetValue(v.state != 0); break;
      case ControlKind::ToggleButton:
        static_cast<wxToggleButton*>(widget)->SetValue(v.state != 0);
        break;
      case ControlKind::OptionButton: {
        auto* rb = static_cast<wxRadioButton*>(widget);
        if (v.state != 0) {
          rb->SetValue(true);
        } else if (rb->GetValue() && c->sentinel) {
          c->sentinel->SetValue(true);  // a radio button cannot be cleared directly
        }
        break;
      }
      case ControlKind::DropDown: {
        auto* ch = static_cast<wxChoice*>(widget);
        const int s = v.state < static_cast<int>(ch->GetCount()) ? v.state : -1;
        ch->SetSelection(s < 0 ? wxNOT_FOUND : s);
        break;
      }
      case ControlKind::Slider: static_cast<wxSlider*>(widget)->SetValue(v.state); break;
      case ControlKind::ListView: selectRow(static_cast<wxListCtrl*>(widget), v.state); break;
      case ControlKind::Spin:
        if (!(bits & kDirtyText)) static_cast<wxSpinCtrl*>(widget)->SetValue(v.state);
        break;
      case ControlKind::ProgressBar: {
        auto* g = static_cast<wxGauge*>(widget);
        g->SetValue(std::clamp(v.state - v.rangeMin, 0, g->GetRange()));
        break;
      }
      case ControlKind::TabControl: {
        wxBookCtrlBase* book = bookOf(widget);
        if (!book || v.state < 0 || v.state >= static_cast<int>(book->GetPageCount())) break;
        if (auto* rows = dynamic_cast<TabRows*>(widget)) {
          rows->select(v.state);
        } else if (book->GetSelection() != v.state) {
          book->ChangeSelection(static_cast<size_t>(v.state));
        }
        if (pageShown(window, control, v.state)) showPage(window, control, v.state);
        break;
      }
      default: break;
    }
  }
  if (bits & kDirtyEnabled) widget->Enable(v.enabled);
  if ((bits & kDirtyImage) && kind == ControlKind::Picture) {
    const wxBitmap* bmp = bitmap(v.image);
    static_cast<wxStaticBitmap*>(widget)->SetBitmap(bmp ? *bmp : wxBitmap());
    widget->Refresh();
  }
}

// ------------------------------------------------------------------------------------
// Captions

wxString WxUi::wrapText(wxWindow* measure, const wxString& text, int width) const {
  if (width <= 0 || !measure) return text;
  wxString out;
  const wxArrayString paragraphs = wxSplit(text, '\n', '\0');
  for (size_t p = 0; p < paragraphs.size(); ++p) {
    if (p > 0) out += '\n';
    const wxArrayString words = wxSplit(paragraphs[p], ' ', '\0');
    wxString line;
    for (size_t i = 0; i < words.size(); ++i) {
      wxString candidate = line.empty() && i == 0 ? words[i] : line + ' ' + words[i];
      if (!line.empty() && measure->GetTextExtent(candidate).x > width) {
        out += line + '\n';
        line = words[i];
      } else {
        line = candidate;
      }
    }
    out += line;
  }
  return out;
}

// Static texts wrap at word boundaries within their box, as the program's layout
// expects; so do buttons made for multi-line captions.
void WxUi::setCaption(ControlWidget& c, const std::string& text) {
  if (!c.widget) return;
  const wxString s = toWx(text);
  const int width = c.widget->GetSize().x;
  switch (c.desc.kind) {
    case ControlKind::Label:
    case ControlKind::StatusLabel: {
      auto* st = static_cast<wxStaticText*>(c.widget);
      // A box one line high keeps its text on that line: a wrapped second line would
      // only be cut away.
      const bool roomForLines = c.widget->GetSize().y >= 2 * st->GetTextExtent("Ag").y;
      const wxString wrapped = roomForLines ? wrapText(st, s, width) : s;
      if (st->GetLabel() != wrapped) st->SetLabel(wrapped);
      break;
    }
    case ControlKind::Button:
      c.widget->SetLabel(c.desc.multiLine ? wrapText(c.widget, s, width - 10) : s);
      break;
    case ControlKind::Frame:
      c.widget->SetLabel(s);
      break;
    default:
      if (c.widget->GetLabel() != s) c.widget->SetLabel(s);
      break;
  }
}

// ------------------------------------------------------------------------------------
// Creation

bool WxUi::createControl(int window, const ControlSpec& desc) {
  if (!onMain()) return false;
  WindowWidgets* w = findWindow(window);
  if (!w) return false;

  if (desc.parent != 0) {
    const ControlWidget* tab = findControl(window, desc.parent);
    if (!tab || tab->desc.kind != ControlKind::TabControl) return false;
    if (desc.page < 0 || desc.page >= static_cast<int>(tab->desc.items.size())) return false;
  }

  // A number used again replaces the old control.
  if (ControlWidget* old = findControl(window, desc.id)) {
    if (old->box) {
      old->box->Destroy();  // takes the label inside with it
    } else if (old->widget) {
      old->widget->Destroy();
    }
    w->controls.erase(desc.id);
    std::erase(w->waiting, desc.id);
    Lock l(mutex_);
    if (auto it = store_.find(window); it != store_.end()) it->second.controls.erase(desc.id);
  }

  // Most of the form sits on pages that are not shown at start, and making their widgets
  // took most of the start-up time: they are made when their page is first shown. Until
  // then the store holds their values like every other control's.
  // Tab controls themselves are few and always made, so that their pages look the same
  // whenever they are made.
  if (desc.kind != ControlKind::TabControl && !pageShown(window, desc.parent, desc.page)) {
    ControlWidget cw;
    cw.desc = desc;
    w->controls[desc.id] = std::move(cw);
    w->waiting.push_back(desc.id);
    ControlValue v;
    v.kind = desc.kind;
    v.text = desc.text;
    v.rangeMin = desc.rangeMin;
    v.rangeMax = std::max(desc.rangeMin, desc.rangeMax);
    switch (desc.kind) {
      case ControlKind::DisplayField: v.enabled = false; break;
      case ControlKind::DropDown: {
        v.items = desc.items;
        auto found = std::find(desc.items.begin(), desc.items.end(), desc.text);
        const bool shown = !desc.text.empty() && found != desc.items.end();
        v.state = shown ? static_cast<int>(found - desc.items.begin()) : -1;
        if (!shown) v.text.clear();
        break;
      }
      case ControlKind::Slider:
        v.state = std::clamp(0, v.rangeMin, v.rangeMax);
        v.text = std::to_string(v.state);
        break;
      case ControlKind::Spin: {
        int start = 0;
        if (!parseInt(desc.text, start)) start = 0;
        v.state = std::clamp(start, v.rangeMin, v.rangeMax);
        v.text = std::to_string(v.state);
        break;
      }
      case ControlKind::Picture: v.image = desc.image; break;
      case ControlKind::ProgressBar: v.state = v.rangeMin; break;
      case ControlKind::TabControl:
        v.items = desc.items;
        v.state = desc.items.empty() ? -1 : 0;
        break;
      default: break;
    }
    Lock l(mutex_);
    if (auto it = store_.find(window); it != store_.end()) it->second.controls[desc.id] = v;
    return true;
  }
  return makeWidget(window, desc, true);
}

bool WxUi::pageShown(int window, int parent, int page) {
  // The page must be the one its tab control shows, on every level up to the window.
  for (int guard = 0; parent != 0 && guard < 16; ++guard) {
    const ControlWidget* tab = findControl(window, parent);
    if (!tab || !tab->widget) return false;
    {
      Lock l(mutex_);
      const ControlValue* v = value(window, parent);
      if (!v || v->state != page) return false;
    }
    page = tab->desc.page;
    parent = tab->desc.parent;
  }
  return parent == 0;
}

void WxUi::showPage(int window, int tab, int page) {
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  std::vector<int> due;
  for (int id : w->waiting) {
    const ControlWidget* c = findControl(window, id);
    if (c && c->desc.parent == tab && c->desc.page == page) due.push_back(id);
  }
  std::erase_if(w->waiting, [&](int id) { return std::find(due.begin(), due.end(), id) != due.end(); });
  for (int id : due)
    if (ControlWidget* c = findControl(window, id)) makeWidget(window, ControlSpec(c->desc), false);
  // The tab controls on the page now show their own pages.
  std::vector<std::pair<int, int>> inner;
  for (const auto& [id, c] : w->controls) {
    if (c.desc.kind != ControlKind::TabControl || c.desc.parent != tab || c.desc.page != page)
      continue;
    Lock l(mutex_);
    if (const ControlValue* v = value(window, id)) inner.emplace_back(id, v->state);
  }
  for (auto [id, shown] : inner)
    if (pageShown(window, id, shown)) showPage(window, id, shown);
}

bool WxUi::deferLook(ControlWidget& c, std::function<void()> look) {
  if (c.widget) return false;
  c.replay.push_back(std::move(look));
  return true;
}

// `fresh`: a new control whose value starts from its description. Otherwise a control
// whose page is now shown: its widget takes the value the store holds by now.
bool WxUi::makeWidget(int window, const ControlSpec& desc, bool fresh) {
  WindowWidgets* w = findWindow(window);
  if (!w) return false;
  wxWindow* parent = w->panel;
  if (desc.parent != 0) {
    ControlWidget* tab = findControl(window, desc.parent);
    if (!tab || !tab->widget) return false;
    wxBookCtrlBase* book = bookOf(tab->widget);
    if (!book || desc.page < 0 || desc.page >= static_cast<int>(book->GetPageCount()))
      return false;
    parent = book->GetPage(static_cast<size_t>(desc.page));
  }

  SuppressEvents quiet(*this);
  const wxPoint pos(desc.rect.x, desc.rect.y);
  const wxSize size(desc.rect.w > 0 ? desc.rect.w : -1, desc.rect.h > 0 ? desc.rect.h : -1);
  const wxString caption = toWx(desc.text);

  ControlWidget cw;
  cw.desc = desc;
  ControlValue v;
  v.kind = desc.kind;
  v.text = desc.text;
  v.rangeMin = desc.rangeMin;
  v.rangeMax = std::max(desc.rangeMin, desc.rangeMax);

  switch (desc.kind) {
    case ControlKind::Label:
      cw.widget = new wxStaticText(parent, wxID_ANY, caption, pos, size,
                                   wxST_NO_AUTORESIZE | alignStyle(desc.align));
      break;
    case ControlKind::StatusLabel: {
      // Status labels are right-aligned in a thin border, like the fields they report on.
      // GTK draws no border around a static text, so a bordered panel holds it.
      auto* box = new wxPanel(parent, wxID_ANY, pos, size, wxBORDER_SIMPLE);
      const wxSize inner(std::max(1, size.x - 5), std::max(1, size.y - 2));
      cw.box = box;
      cw.widget = new wxStaticText(box, wxID_ANY, caption, wxPoint(1, 0), inner,
                                   wxST_NO_AUTORESIZE | alignStyle(Align::Right));
      break;
    }
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::ReadOnlyField:
    case ControlKind::DisplayField: {
      long style = editAlignStyle(desc.align);
      if (desc.multiLine) style |= wxTE_MULTILINE;
      if (desc.kind == ControlKind::ReadOnlyField) style |= wxTE_READONLY;
      auto* t = new wxTextCtrl(parent, wxID_ANY, caption, pos, size, style);
      if (desc.maxLength > 0 && !desc.multiLine) t->SetMaxLength(desc.maxLength);
      if (desc.kind == ControlKind::NumericField) {
        t->Bind(wxEVT_CHAR, [](wxKeyEvent& e) {
          const wxChar uc = e.GetUnicodeKey();
          if (!e.ControlDown() && !e.AltDown() && uc != WXK_NONE && uc >= WXK_SPACE &&
              uc != WXK_DELETE && (uc < '0' || uc > '9'))
            return;  // digits only
          e.Skip();
        });
      }
      if (desc.kind == ControlKind::DisplayField) {
        t->Disable();
        v.enabled = false;
      }
      cw.widget = t;
      break;
    }
    case ControlKind::ListView: {
      // The native report list: screen readers read its rows and headings, and the
      // caption is its accessible name.
      auto* list = new wxListCtrl(parent, wxID_ANY, pos, size,
                                  wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
      list->SetName(toWx(desc.text));
      const int columns = std::max<int>(1, static_cast<int>(desc.items.size()));
      for (size_t i = 0; i < desc.items.size(); ++i)
        list->InsertColumn(static_cast<long>(i), toWx(desc.items[i]), wxLIST_FORMAT_LEFT,
                           size.x / columns);
      v.items.clear();
      v.state = -1;
      cw.widget = list;
      break;
    }
    case ControlKind::DropDown: {
      wxArrayString choices;
      for (const auto& item : desc.items) choices.Add(toWx(item));
      auto* ch = new wxChoice(parent, wxID_ANY, pos, size, choices);
      v.items = desc.items;
      v.state = -1;
      v.text.clear();
      auto found = std::find(desc.items.begin(), desc.items.end(), desc.text);
      if (!desc.text.empty() && found != desc.items.end()) {
        v.state = static_cast<int>(found - desc.items.begin());
        v.text = desc.text;
        ch->SetSelection(v.state);
      }
      cw.widget = ch;
      break;
    }
    case ControlKind::CheckBox:
      cw.widget = new wxCheckBox(parent, wxID_ANY, caption, pos, size);
      widenToCaption(cw.widget);
      allowNarrowCaption(cw.widget);
      break;
    case ControlKind::OptionButton: {
      int& last = w->lastOptionGroup[parent];
      wxRadioButton* rb = nullptr;
      if (desc.groupStart || last == 0) {
        rb = new wxRadioButton(parent, wxID_ANY, caption, pos, size, wxRB_GROUP);
        // The toolkit always keeps one member checked; a hidden member takes that
        // part so that the visible ones can all be clear.
        auto* sentinel = new wxRadioButton(parent, wxID_ANY, wxString(), wxPoint(0, 0),
                                           wxSize(1, 1));
        sentinel->Hide();
        sentinel->SetValue(true);
        last = nextGroup_++;
        w->sentinels[last] = sentinel;
        cw.sentinel = sentinel;
      } else {
        rb = new wxRadioButton(parent, wxID_ANY, caption, pos, size);
        cw.sentinel = w->sentinels[last];
        if (rb->GetValue() && cw.sentinel) cw.sentinel->SetValue(true);
      }
      v.group = last;
      cw.widget = rb;
      break;
    }
    case ControlKind::ToggleButton:
      cw.widget = new wxToggleButton(parent, wxID_ANY, caption, pos, size);
      break;
    case ControlKind::Slider: {
      const int start = std::clamp(0, v.rangeMin, v.rangeMax);
      cw.widget = new wxSlider(parent, wxID_ANY, start, v.rangeMin, v.rangeMax, pos, size,
                               wxSL_HORIZONTAL);
      v.state = start;
      v.text = std::to_string(start);
      break;
    }
    case ControlKind::Spin: {
      int start = 0;
      if (!parseInt(desc.text, start)) start = 0;
      start = std::clamp(start, v.rangeMin, v.rangeMax);
      auto* sp = new wxSpinCtrl(parent, wxID_ANY, wxString(), pos, size,
                                wxSP_ARROW_KEYS | editAlignStyle(desc.align), v.rangeMin,
                                v.rangeMax, start);
      allowNarrowSpin(sp);
      v.state = start;
      v.text = fromWx(sp->GetTextValue());
      cw.widget = sp;
      break;
    }
    case ControlKind::Button: {
      auto* button = new wxButton(parent, wxID_ANY, caption, pos, size);
      if (desc.defaultButton) button->SetDefault();  // drawn as the one Enter clicks
      cw.widget = button;
      break;
    }
    case ControlKind::Frame:
      cw.widget = new wxStaticBox(parent, wxID_ANY, caption, pos, size);
      break;
    case ControlKind::Picture: {
      const wxBitmap* bmp = bitmap(desc.image);
      wxSize sz = size;
      if (bmp && (sz.x <= 0 || sz.y <= 0)) sz = bmp->GetSize();
      cw.widget = new wxStaticBitmap(parent, wxID_ANY, bmp ? *bmp : wxBitmap(), pos, sz);
      v.image = desc.image;
      break;
    }
    case ControlKind::ProgressBar: {
      auto* g = new wxGauge(parent, wxID_ANY, std::max(1, v.rangeMax - v.rangeMin), pos, size,
                            wxGA_HORIZONTAL | wxGA_SMOOTH);
      v.state = v.rangeMin;
      cw.widget = g;
      break;
    }
    case ControlKind::TabControl: {
      std::vector<wxString> captions;
      for (const auto& item : desc.items) captions.push_back(toWx(item));
      if (desc.multiLine && TabRows::needsRows(parent, size.x, captions)) {
        cw.widget = new TabRows(parent, pos, size, captions);
      } else {
        auto* nb = new wxNotebook(parent, wxID_ANY, pos, size);
        for (const auto& title : captions) nb->AddPage(new wxPanel(nb, wxID_ANY), title);
        if (nb->GetPageCount() > 0) nb->ChangeSelection(0);
        cw.widget = nb;
      }
      v.items = desc.items;
      v.state = desc.items.empty() ? -1 : 0;
      break;
    }
  }
  if (!cw.widget) return false;

  auto& stored = w->controls[desc.id];
  std::vector<std::function<void()>> replay = std::move(stored.replay);
  stored = std::move(cw);
  if (desc.kind == ControlKind::Label || desc.kind == ControlKind::StatusLabel ||
      desc.kind == ControlKind::Button)
    setCaption(stored, desc.text);
  if (fresh) {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it != store_.end()) it->second.controls[desc.id] = std::move(v);
  } else {
    syncWidget(window, desc.id);
  }
  bindControlEvents(window, stored);
  for (auto& look : replay) look();
  return true;
}

// A widget made late takes over what the program set meanwhile: items, range, value.
void WxUi::syncWidget(int window, int control) {
  ControlWidget* c = findControl(window, control);
  if (!c || !c->widget) return;
  ControlValue v;
  {
    Lock l(mutex_);
    const ControlValue* stored = value(window, control);
    if (!stored) return;
    v = *stored;
  }
  SuppressEvents quiet(*this);
  switch (c->desc.kind) {
    case ControlKind::DropDown: {
      auto* ch = static_cast<wxChoice*>(c->widget);
      ch->Clear();
      for (const auto& item : v.items) ch->Append(toWx(item));
      break;
    }
    case ControlKind::Slider: static_cast<wxSlider*>(c->widget)->SetRange(v.rangeMin, v.rangeMax); break;
    case ControlKind::Spin: static_cast<wxSpinCtrl*>(c->widget)->SetRange(v.rangeMin, v.rangeMax); break;
    case ControlKind::ProgressBar:
      static_cast<wxGauge*>(c->widget)->SetRange(std::max(1, v.rangeMax - v.rangeMin));
      break;
    case ControlKind::TabControl: {
      auto* rows = dynamic_cast<TabRows*>(c->widget);
      wxBookCtrlBase* book = bookOf(c->widget);
      for (size_t i = 0; book && i < v.items.size() && i < book->GetPageCount(); ++i) {
        if (rows)
          rows->setPageText(i, toWx(v.items[i]));
        else
          book->SetPageText(i, toWx(v.items[i]));
      }
      break;
    }
    default: break;
  }
  showValue(window, control, v, kDirtyText | kDirtyState | kDirtyEnabled | kDirtyImage);
}

// ------------------------------------------------------------------------------------
// User changes: store first, then the event for the program

void WxUi::userChangedText(int window, int control, const std::string& text) {
  Lock l(mutex_);
  if (ControlValue* v = value(window, control)) v->text = text;
}

void WxUi::userChangedState(int window, int control, int state, const std::string& text) {
  Lock l(mutex_);
  ControlValue* v = value(window, control);
  if (!v) return;
  unsigned ignored = 0;
  applyState(window, *v, state, ignored);
  if (v->kind == ControlKind::Spin) v->text = text;
}

void WxUi::bindControlEvents(int window, const ControlWidget& c) {
  const int id = c.desc.id;
  wxWindow* widget = c.widget;
  switch (c.desc.kind) {
    case ControlKind::Button:
      widget->Bind(wxEVT_BUTTON, [this, window, id](wxCommandEvent&) {
        queueEvent({EventType::Click, window, id, 0, 0});
      });
      break;
    case ControlKind::CheckBox:
      widget->Bind(wxEVT_CHECKBOX, [this, window, id](wxCommandEvent& e) {
        const int s = e.IsChecked() ? 1 : 0;
        userChangedState(window, id, s, {});
        queueEvent({EventType::Click, window, id, s, 0});
      });
      break;
    case ControlKind::ToggleButton:
      widget->Bind(wxEVT_TOGGLEBUTTON, [this, window, id](wxCommandEvent& e) {
        const int s = e.IsChecked() ? 1 : 0;
        userChangedState(window, id, s, {});
        queueEvent({EventType::Click, window, id, s, 0});
      });
      break;
    case ControlKind::OptionButton:
      widget->Bind(wxEVT_RADIOBUTTON, [this, window, id, widget](wxCommandEvent&) {
        if (!static_cast<wxRadioButton*>(widget)->GetValue()) return;
        userChangedState(window, id, 1, {});
        queueEvent({EventType::Click, window, id, 1, 0});
      });
      break;
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::ReadOnlyField:
    case ControlKind::DisplayField:
      widget->Bind(wxEVT_TEXT, [this, window, id, widget](wxCommandEvent&) {
        userChangedText(window, id, fromWx(static_cast<wxTextCtrl*>(widget)->GetValue()));
        queueEvent({EventType::TextChanged, window, id, 0, 0});
      });
      break;
    case ControlKind::ListView:
      widget->Bind(wxEVT_LIST_ITEM_SELECTED, [this, window, id](wxListEvent& e) {
        const int row = static_cast<int>(e.GetIndex());
        userChangedState(window, id, row, {});
        queueEvent({EventType::SelectionChanged, window, id, row, 0});
      });
      widget->Bind(wxEVT_LIST_COL_CLICK, [this, window, id](wxListEvent& e) {
        queueEvent({EventType::ColumnClick, window, id, e.GetColumn(), 0});
      });
      break;
    case ControlKind::DropDown:
      widget->Bind(wxEVT_CHOICE, [this, window, id, widget](wxCommandEvent&) {
        const int s = static_cast<wxChoice*>(widget)->GetSelection();
        userChangedState(window, id, s, {});
        queueEvent({EventType::SelectionChanged, window, id, s, 0});
      });
      break;
    case ControlKind::Slider:
      widget->Bind(wxEVT_SLIDER, [this, window, id, widget](wxCommandEvent&) {
        const int s = static_cast<wxSlider*>(widget)->GetValue();
        userChangedState(window, id, s, {});
        queueEvent({EventType::ValueChanged, window, id, s, 0});
      });
      break;
    case ControlKind::Spin: {
      // Arrows and typing both count; report each new value once.
      auto changed = [this, window, id, widget] {
        auto* sp = static_cast<wxSpinCtrl*>(widget);
        const std::string text = fromWx(sp->GetTextValue());
        int n = 0;
        bool report = false;
        {
          Lock l(mutex_);
          ControlValue* v = value(window, id);
          if (!v) return;
          v->text = text;
          if (parseInt(text, n) && n >= v->rangeMin && n <= v->rangeMax && n != v->state) {
            v->state = n;
            report = true;
          }
        }
        if (report) queueEvent({EventType::ValueChanged, window, id, n, 0});
      };
      widget->Bind(wxEVT_SPINCTRL, [changed](wxSpinEvent&) { changed(); });
      widget->Bind(wxEVT_TEXT, [changed](wxCommandEvent&) { changed(); });
      break;
    }
    case ControlKind::TabControl:
      if (auto* rows = dynamic_cast<TabRows*>(widget)) {
        rows->onUserSelect = [this, window, id](int page) {
          userChangedState(window, id, page, {});
          if (pageShown(window, id, page)) showPage(window, id, page);
          queueEvent({EventType::TabChanged, window, id, page, 0});
        };
        break;
      }
      widget->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this, window, id, widget](wxBookCtrlEvent& e) {
        if (e.GetEventObject() != widget) {
          e.Skip();  // an inner tab control's change passing by
          return;
        }
        const int page = e.GetSelection();
        userChangedState(window, id, page, {});
        if (pageShown(window, id, page)) showPage(window, id, page);
        queueEvent({EventType::TabChanged, window, id, page, 0});
      });
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------------------------
// Any-thread setters and getters

bool WxUi::controlExists(int window, int control) const {
  Lock l(mutex_);
  return value(window, control) != nullptr;
}

// Changes a control's stored value under the lock; `change` returns what it changed (0 =
// nothing). On the main thread the widget follows at once, elsewhere it is marked and the
// main thread catches up on its next pass.
template <typename Change>
void WxUi::updateValue(int window, int control, Change change) {
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

void WxUi::setText(int window, int control, const std::string& text) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    unsigned bits = 0;
    applyText(v, text, bits);
    return bits;
  });
}

std::string WxUi::text(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v ? v->text : std::string();
}

void WxUi::setState(int window, int control, int state) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    unsigned bits = 0;
    applyState(window, v, state, bits);
    return bits;
  });
}

int WxUi::state(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v ? v->state : 0;
}

void WxUi::setEnabled(int window, int control, bool on) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    if (v.enabled == on) return 0;
    v.enabled = on;
    return kDirtyEnabled;
  });
}

bool WxUi::enabled(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  return v && v->enabled;
}

void WxUi::setImage(int window, int control, int image) {
  updateValue(window, control, [&](ControlValue& v) -> unsigned {
    if (v.image == image) return 0;
    v.image = image;
    return kDirtyImage;
  });
}

void WxUi::setSelection(int window, int control, int index) {
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

bool WxUi::selectByText(int window, int control, const std::string& text) {
  {
    Lock l(mutex_);
    const ControlValue* v = value(window, control);
    if (!v || v->kind != ControlKind::DropDown) return false;
    if (std::find(v->items.begin(), v->items.end(), text) == v->items.end()) return false;
  }
  setText(window, control, text);
  return true;
}

int WxUi::selection(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  if (!v) return -1;
  if (v->kind == ControlKind::DropDown || v->kind == ControlKind::TabControl ||
      v->kind == ControlKind::ListView)
    return v->state;
  return -1;
}

std::vector<std::string> WxUi::items(int window, int control) const {
  Lock l(mutex_);
  const ControlValue* v = value(window, control);
  if (!v) return {};
  if (isEdit(v->kind)) return splitLines(v->text);
  return v->items;
}

void WxUi::setRange(int window, int control, int min, int max) {
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
  if (!c->widget) {  // the widget takes the range from the store when it is made
    setState(window, control, std::clamp(current, min, max));
    return;
  }
  SuppressEvents quiet(*this);
  switch (c->desc.kind) {
    case ControlKind::Slider: static_cast<wxSlider*>(c->widget)->SetRange(min, max); break;
    case ControlKind::Spin: static_cast<wxSpinCtrl*>(c->widget)->SetRange(min, max); break;
    case ControlKind::ProgressBar:
      static_cast<wxGauge*>(c->widget)->SetRange(std::max(1, max - min));
      break;
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

void WxUi::setItems(int window, int control, const std::vector<std::string>& list) {
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
    if (!c->widget) return;  // takes the items from the store when it is made
    auto* ch = static_cast<wxChoice*>(c->widget);
    ch->Freeze();
    ch->Clear();
    for (const auto& item : list) ch->Append(toWx(item));
    ch->SetSelection(wxNOT_FOUND);
    ch->Thaw();
  } else if (c->desc.kind == ControlKind::ListView) {
    {
      Lock l(mutex_);
      ControlValue* v = value(window, control);
      if (!v) return;
      v->items = list;
      v->state = -1;
    }
    if (c->widget) fillRows(static_cast<wxListCtrl*>(c->widget), list);
  } else if (c->desc.kind == ControlKind::TabControl) {
    auto* rows = c->widget ? dynamic_cast<TabRows*>(c->widget) : nullptr;
    wxBookCtrlBase* book = c->widget ? bookOf(c->widget) : nullptr;
    for (size_t i = 0; book && i < list.size() && i < book->GetPageCount(); ++i) {
      if (rows) {
        rows->setPageText(i, toWx(list[i]));
      } else {
        book->SetPageText(i, toWx(list[i]));
      }
    }
    Lock l(mutex_);
    if (ControlValue* v = value(window, control)) v->items = list;
  } else if (isEdit(c->desc.kind)) {
    std::string joined;
    for (size_t i = 0; i < list.size(); ++i) joined += (i ? "\n" : "") + list[i];
    setText(window, control, joined);
  }
}

void WxUi::addItem(int window, int control, const std::string& item) {
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
    if (!c->widget) return;
    SuppressEvents quiet(*this);
    static_cast<wxChoice*>(c->widget)->Append(toWx(item));
  } else if (isEdit(c->desc.kind)) {
    // A multi-line field used as a list: one line per item, the newest in view.
    std::string current = text(window, control);
    setText(window, control, current.empty() ? item : current + "\n" + item);
    if (!c->widget) return;
    static_cast<wxTextCtrl*>(c->widget)->ShowPosition(
        static_cast<wxTextCtrl*>(c->widget)->GetLastPosition());
  }
}

// ------------------------------------------------------------------------------------
// Main-thread-only looks

void WxUi::setVisible(int window, int control, bool visible) {
  if (!onMain()) {
    postToMain([this, window, control, visible] { setVisible(window, control, visible); });
    return;
  }
  if (ControlWidget* c = findControl(window, control)) {
    if (deferLook(*c, [this, window, control, visible] { setVisible(window, control, visible); }))
      return;
    c->widget->Show(visible);
    if (c->box) c->box->Show(visible);
  }
}

void WxUi::setBackground(int window, int control, Colour colour) {
  if (!onMain()) {
    postToMain([this, window, control, colour] { setBackground(window, control, colour); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (deferLook(*c, [this, window, control, colour] { setBackground(window, control, colour); }))
    return;
  c->widget->SetBackgroundColour(toWxColour(colour));
  c->widget->Refresh();
}

void WxUi::setTextColour(int window, int control, Colour colour) {
  if (!onMain()) {
    postToMain([this, window, control, colour] { setTextColour(window, control, colour); });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (deferLook(*c, [this, window, control, colour] { setTextColour(window, control, colour); }))
    return;
  c->widget->SetForegroundColour(toWxColour(colour));
  c->widget->Refresh();
}

void WxUi::setTooltip(int window, int control, const std::string& text, const std::string& title,
                      int icon) {
  if (!onMain()) {
    postToMain([this, window, control, text, title, icon] {
      setTooltip(window, control, text, title, icon);
    });
    return;
  }
  ControlWidget* c = findControl(window, control);
  if (!c) return;
  if (deferLook(*c, [this, window, control, text, title, icon] {
        setTooltip(window, control, text, title, icon);
      }))
    return;
  if (text.empty() && title.empty()) {
    c->widget->UnsetToolTip();
    return;
  }
  // Balloons of the original are at most 180 pixels wide; the title heads the text.
  wxString tip = wrapText(c->widget, toWx(text), 180);
  if (!title.empty()) tip = toWx(title) + "\n" + tip;
  c->widget->SetToolTip(tip);
}

void WxUi::setFocus(int window, int control) {
  if (!onMain()) {
    postToMain([this, window, control] { setFocus(window, control); });
    return;
  }
  // A control whose page has not been shown yet cannot take the focus.
  if (ControlWidget* c = findControl(window, control); c && c->widget) c->widget->SetFocus();
}

}  // namespace kw::wxui
