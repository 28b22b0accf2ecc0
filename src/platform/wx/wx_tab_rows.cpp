// Tab control whose tabs wrap into several rows when they do not fit in one, as the
// family tabs of the parameter form do; GTK notebooks only scroll a single row.
#include <wx/dcbuffer.h>

#include <algorithm>

#include "platform/wx/wx_ui_impl.h"

namespace kw::wxui {

namespace {
constexpr int kTabPadX = 8;  // text to tab edge
constexpr int kTabPadY = 4;
constexpr int kPageInset = 2;
}  // namespace

TabRows::TabRows(wxWindow* parent, const wxPoint& pos, const wxSize& size,
                 const std::vector<wxString>& captions)
    : wxPanel(parent, wxID_ANY, pos, size, wxTAB_TRAVERSAL | wxFULL_REPAINT_ON_RESIZE),
      captions_(captions) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  book_ = new wxSimplebook(this, wxID_ANY);
  for (const auto& caption : captions_) book_->AddPage(new wxPanel(book_, wxID_ANY), caption);
  if (book_->GetPageCount() > 0) book_->ChangeSelection(0);
  layoutTabs();
  Bind(wxEVT_PAINT, &TabRows::onPaint, this);
  Bind(wxEVT_LEFT_DOWN, &TabRows::onLeftDown, this);
  // Ctrl+Tab and Ctrl+Shift+Tab page through the tabs from anywhere on the pages.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    const int count = static_cast<int>(book_->GetPageCount());
    if (e.GetKeyCode() != WXK_TAB || !e.ControlDown() || e.AltDown() || count < 2) {
      e.Skip();
      return;
    }
    const int step = e.ShiftDown() ? count - 1 : 1;
    const int page = (std::max(0, book_->GetSelection()) + step) % count;
    select(page);
    if (onUserSelect) onUserSelect(page);
  });
  Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
    layoutTabs();
    Refresh(false);
    e.Skip();
  });
}

bool TabRows::needsRows(wxWindow* measure, int width, const std::vector<wxString>& captions) {
  int total = 0;
  for (const auto& c : captions) total += measure->GetTextExtent(c).x + 2 * kTabPadX;
  return total > width - 2 * kPageInset;
}

void TabRows::setPageText(size_t n, const wxString& text) {
  if (n >= captions_.size()) return;
  captions_[n] = text;
  book_->SetPageText(n, text);
  layoutTabs();
  Refresh(false);
}

void TabRows::select(int page) {
  if (page < 0 || page >= static_cast<int>(book_->GetPageCount())) return;
  if (book_->GetSelection() != page) book_->ChangeSelection(static_cast<size_t>(page));
  Refresh(false);
}

// Fills rows from left to right and stretches each full row to the whole width, the
// way classic multi-line tab controls do.
void TabRows::layoutTabs() {
  const wxSize size = GetClientSize();
  const int avail = std::max(1, size.x - 2 * kPageInset);
  const int rowHeight = GetTextExtent("Ag").y + 2 * kTabPadY;
  std::vector<int> widths;
  for (const auto& c : captions_) widths.push_back(GetTextExtent(c).x + 2 * kTabPadX);

  std::vector<std::vector<size_t>> rows(1);
  int used = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    if (used > 0 && used + widths[i] > avail) {
      rows.emplace_back();
      used = 0;
    }
    rows.back().push_back(i);
    used += widths[i];
  }
  tabRects_.assign(captions_.size(), wxRect());
  const bool stretch = rows.size() > 1;
  for (size_t r = 0; r < rows.size(); ++r) {
    int rowWidth = 0;
    for (size_t i : rows[r]) rowWidth += widths[i];
    const int extra = stretch && !rows[r].empty() ? (avail - rowWidth) : 0;
    int x = kPageInset;
    for (size_t k = 0; k < rows[r].size(); ++k) {
      const size_t i = rows[r][k];
      int w = widths[i] + extra / static_cast<int>(rows[r].size());
      if (stretch && k + 1 == rows[r].size()) w = kPageInset + avail - x;  // last one closes the row
      tabRects_[i] = wxRect(x, static_cast<int>(r) * rowHeight, w, rowHeight);
      x += w;
    }
  }
  header_ = static_cast<int>(rows.size()) * rowHeight;
  book_->SetSize(kPageInset, header_ + kPageInset, std::max(0, size.x - 2 * kPageInset),
                 std::max(0, size.y - header_ - 2 * kPageInset));
}

void TabRows::onPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  const wxColour face = GetBackgroundColour();
  const wxColour border = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
  const wxColour accent = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
  const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
  const wxColour header = face.ChangeLightness(93);
  dc.SetBackground(wxBrush(face));
  dc.Clear();
  dc.SetFont(GetFont());

  // Page frame.
  dc.SetPen(wxPen(border));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(0, header_, size.x, size.y - header_);

  const int selected = book_->GetSelection();
  for (size_t i = 0; i < tabRects_.size(); ++i) {
    const wxRect& r = tabRects_[i];
    const bool isSel = static_cast<int>(i) == selected;
    dc.SetPen(wxPen(border));
    dc.SetBrush(wxBrush(isSel ? face : header));
    dc.DrawRectangle(r.x, r.y, r.width + 1, r.height + 1);
    if (isSel) {
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.SetBrush(wxBrush(accent));
      dc.DrawRectangle(r.x + 3, r.GetBottom() - 2, r.width - 5, 3);
    }
    dc.SetTextForeground(IsEnabled() ? ink : border);
    dc.DrawLabel(captions_[i], r, wxALIGN_CENTRE);
  }
}

void TabRows::onLeftDown(wxMouseEvent& event) {
  event.Skip();
  for (size_t i = 0; i < tabRects_.size(); ++i) {
    if (!tabRects_[i].Contains(event.GetPosition())) continue;
    const int page = static_cast<int>(i);
    if (page == book_->GetSelection()) return;
    select(page);
    if (onUserSelect) onUserSelect(page);
    return;
  }
}

}  // namespace kw::wxui
