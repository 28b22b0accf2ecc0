// Status bar: fields laid out by the program's own widths, each with an optional
// image, plain text or a field drawn with the program's colours. The bus and clock
// threads write fields through the store; painting reads a copy of it.
#include <wx/dcbuffer.h>

#include <numeric>

#include "platform/wx/wx_ui_impl.h"

namespace kw::wxui {

StatusBar::StatusBar(wxFrame* parent, WxUi* ui, int window, const std::vector<int>& widths)
    : wxStatusBar(parent, wxID_ANY, wxFULL_REPAINT_ON_RESIZE),
      ui_(ui),
      window_(window),
      widths_(widths) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  const int n = static_cast<int>(widths.size());
  if (n > 0) {
    SetFieldsCount(n);
    SetStatusWidths(n, widths.data());
  }
  Bind(wxEVT_PAINT, &StatusBar::onPaint, this);
  Bind(wxEVT_LEFT_DOWN, &StatusBar::onLeftDown, this);
}

void StatusBar::onLeftDown(wxMouseEvent& event) {
  event.Skip();
  if (WxUi::live() == ui_) ui_->statusBarClicked(window_, event.GetX());
}

wxRect StatusBar::fieldBox(size_t i) const {
  int x = 0;
  for (size_t k = 0; k < i && k < widths_.size(); ++k) x += widths_[k];
  int w = i < widths_.size() ? widths_[i] : 0;
  const wxSize size = GetClientSize();
  if (i + 1 == widths_.size()) w = size.x - x;
  return wxRect(x, 2, w - kBorder, size.y - 3);
}

void StatusBar::refreshFields(uint32_t fields) {
  for (size_t i = 0; i < widths_.size() && i < 32; ++i)
    if (fields & (1u << i)) RefreshRect(fieldBox(i), false);
}

void StatusBar::onPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxRegion update = GetUpdateRegion();
  const wxColour face = GetBackgroundColour();
  const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
  const wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
  const wxColour ink = GetForegroundColour().IsOk()
                           ? GetForegroundColour()
                           : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
  dc.SetBackground(wxBrush(face));
  dc.Clear();
  dc.SetFont(GetFont());

  // A text a little too long for its field is drawn in a slightly smaller size rather
  // than cut off (the date and time in the last field, with a wide system font).
  const wxFont baseFont = GetFont();
  auto fitFont = [&](const wxString& text, int width) {
    wxFont f = baseFont;
    dc.SetFont(f);
    const double base = f.GetFractionalPointSize();
    for (double pt = base; dc.GetTextExtent(text).x > width && pt > base * 0.75;) {
      pt -= 0.25;
      f.SetFractionalPointSize(pt);
      dc.SetFont(f);
    }
  };

  const std::vector<StatusField> fields =
      WxUi::live() == ui_ ? ui_->statusFields(window_) : std::vector<StatusField>{};

  for (size_t i = 0; i < widths_.size(); ++i) {
    const wxRect box = fieldBox(i);
    if (box.width <= 2 || box.height <= 2) continue;
    if (update.Contains(box) == wxOutRegion) continue;  // not to be repainted

    // Sunken frame of the field.
    dc.SetPen(wxPen(shadow));
    dc.DrawLine(box.GetLeft(), box.GetBottom(), box.GetLeft(), box.GetTop());
    dc.DrawLine(box.GetLeft(), box.GetTop(), box.GetRight(), box.GetTop());
    dc.SetPen(wxPen(light));
    dc.DrawLine(box.GetRight(), box.GetTop(), box.GetRight(), box.GetBottom());
    dc.DrawLine(box.GetLeft(), box.GetBottom(), box.GetRight() + 1, box.GetBottom());

    if (i >= fields.size()) continue;
    const StatusField& f = fields[i];
    const wxRect inner = box.Deflate(1, 1);
    wxDCClipper clip(dc, inner);

    if (f.draw) {
      // Drawn by the program: inside the field, half a border in from each side.
      wxRect r = inner;
      r.x += kBorder / 2;
      r.width -= kBorder;
      if (f.draw->background != kNoColour) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(toWxColour(f.draw->background)));
        dc.DrawRectangle(r);
      }
      dc.SetTextForeground(toWxColour(f.draw->textColour));
      wxString text = toWx(f.draw->text);
      text.Replace("\n", " ");
      fitFont(text, r.width);
      const wxSize ext = dc.GetTextExtent(text);
      dc.DrawText(text, r.x, r.y + (r.height - ext.y) / 2);
      continue;
    }

    wxRect textRect = inner.Deflate(2, 0);
    if (const wxBitmap* bmp = f.image ? ui_->bitmap(f.image) : nullptr) {
      const int by = inner.y + (inner.height - bmp->GetHeight()) / 2;
      const int bx = f.text.empty()
                         ? inner.x + (inner.width - bmp->GetWidth()) / 2  // image only
                         : inner.x + 1;
      dc.DrawBitmap(*bmp, bx, by, true);
      const int used = bx + bmp->GetWidth() + 2 - textRect.x;
      textRect.x += used;
      textRect.width -= used;
    }
    if (!f.text.empty() && textRect.width > 0) {
      dc.SetTextForeground(ink);
      int align = wxALIGN_CENTRE_VERTICAL;
      if (f.align == Align::Centre) align |= wxALIGN_CENTRE_HORIZONTAL;
      else if (f.align == Align::Right) align |= wxALIGN_RIGHT;
      else align |= wxALIGN_LEFT;
      const wxString text = toWx(f.text);
      fitFont(text, textRect.width);
      dc.DrawLabel(text, textRect, align);
    }
  }
}

// ------------------------------------------------------------------------------------

void WxUi::createStatusBar(int window, const std::vector<int>& widths) {
  if (!onMain()) {
    postToMain([this, window, widths] { createStatusBar(window, widths); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it == store_.end()) return;
    it->second.statusWidths = widths;
    it->second.status.assign(widths.size(), StatusField{});
  }
  if (w->statusBar) {
    w->frame->SetStatusBar(nullptr);
    w->statusBar->Destroy();
  }
  w->statusBar = new StatusBar(w->frame, this, window, widths);
  w->frame->SetStatusBar(w->statusBar);
  w->frame->SendSizeEvent();
}

std::vector<StatusField> WxUi::statusFields(int window) const {
  Lock l(mutex_);
  auto it = store_.find(window);
  return it == store_.end() ? std::vector<StatusField>{} : it->second.status;
}

void WxUi::refreshStatusBar(int window, uint32_t fields) {
  WindowWidgets* w = findWindow(window);
  if (w && w->statusBar) w->statusBar->refreshFields(fields);
}

void WxUi::setStatusText(int window, int field, const std::string& text, Align align) {
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it == store_.end() || field < 0 ||
        field >= static_cast<int>(it->second.status.size()))
      return;
    StatusField& f = it->second.status[static_cast<size_t>(field)];
    // A plain text replaces a field drawn by the program.
    if (f.text == text && f.align == align && !f.draw) return;
    f.text = text;
    f.align = align;
    f.draw.reset();
    if (!onMain()) markStatusDirty(window, field);
  }
  if (onMain()) {
    refreshStatusBar(window, 1u << field);
  } else {
    requestFlush();
  }
}

void WxUi::setStatusImage(int window, int field, int image) {
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it == store_.end() || field < 0 ||
        field >= static_cast<int>(it->second.status.size()))
      return;
    StatusField& f = it->second.status[static_cast<size_t>(field)];
    if (f.image == image) return;
    f.image = image;
    if (!onMain()) markStatusDirty(window, field);
  }
  if (onMain()) {
    refreshStatusBar(window, 1u << field);
  } else {
    requestFlush();
  }
}

void WxUi::setStatusDraw(int window, int field, const StatusDraw& draw) {
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it == store_.end() || field < 0 ||
        field >= static_cast<int>(it->second.status.size()))
      return;
    StatusField& f = it->second.status[static_cast<size_t>(field)];
    if (f.draw && f.draw->text == draw.text && f.draw->textColour == draw.textColour &&
        f.draw->background == draw.background)
      return;
    f.draw = draw;
    if (!onMain()) markStatusDirty(window, field);
  }
  if (onMain()) {
    refreshStatusBar(window, 1u << field);
  } else {
    requestFlush();
  }
}

}  // namespace kw::wxui
