#include "forms/form_builder.h"

#include <cstdio>

#include "app/context.h"

namespace kw {

Piece num2(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return lit(buf);
}

int Grid::colX(int col) const {
  int cx = x;
  const int n = static_cast<int>(columns.size());
  for (int i = 0; i < col && i < n; ++i) cx += columns[static_cast<size_t>(i)] + gap;
  return cx;
}

Rect Grid::cell(int row, int col, int span) const {
  const int n = static_cast<int>(columns.size());
  int w = 0;
  for (int i = col; i < col + span && i < n; ++i) {
    if (i < 0) continue;
    if (w > 0) w += gap;
    w += columns[static_cast<size_t>(i)];
  }
  return {colX(col), rowY(row), w, rowHeight};
}

int Grid::width() const { return colX(static_cast<int>(columns.size())) - x - gap; }

Rect frameInside(Rect r) {
  return {r.x + layout::kFramePad, r.y + layout::kFrameTop, r.w - 2 * layout::kFramePad,
          r.h - layout::kFrameTop - 6};
}

FormBuilder::FormBuilder(AppContext& ctx, int window) : ctx_(ctx), window_(window) {}

Ui& FormBuilder::ui() { return ctx_.ui; }

void FormBuilder::onPage(int tabs, int page) {
  parent_ = tabs;
  page_ = page;
}

std::string FormBuilder::str(const Words& w) const {
  std::string s;
  for (const Piece& p : w.pieces) s += p.text != 0 ? ctx_.text(p.text) : p.literal;
  return s;
}

int FormBuilder::add(const Control& c) {
  ControlSpec desc;
  desc.kind = c.kind;
  desc.id = c.id != 0 ? c.id : nextAnonymous_++;
  desc.rect = c.rect;
  desc.text = str(c.caption);
  desc.parent = parent_;
  desc.page = page_;
  desc.maxLength = c.maxLength;
  desc.align = c.align;
  desc.multiLine = c.multiLine;
  desc.groupStart = c.groupStart;
  desc.droppedWidth = c.droppedWidth;
  desc.image = c.image;
  desc.rangeMin = c.rangeMin;
  desc.rangeMax = c.rangeMax;
  for (const Words& item : c.items) desc.items.push_back(str(item));
  if (!ctx_.ui.createControl(window_, desc)) return 0;

  const int id = desc.id;
  Colour background = c.background;
  switch (c.kind) {
    case ControlKind::NumericField:
    case ControlKind::TextField:
    case ControlKind::Spin:
    case ControlKind::DropDown:
      if (background == kNoColour && !c.plain) background = colour::kInputYellow;
      break;
    case ControlKind::DisplayField:
      // Filled only by the program: never typed into, greyed like other read-outs.
      ctx_.ui.setEnabled(window_, id, false);
      if (background == kNoColour) background = colour::kDisplayGrey;
      break;
    default:
      break;
  }
  if (background != kNoColour) ctx_.ui.setBackground(window_, id, background);
  if (c.textColour != kNoColour) ctx_.ui.setTextColour(window_, id, c.textColour);

  switch (c.kind) {
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::ToggleButton:
    case ControlKind::Slider:
      if (c.state != 0) ctx_.ui.setState(window_, id, c.state);
      break;
    case ControlKind::Spin:
      ctx_.ui.setState(window_, id, c.state);
      break;
    default:
      break;
  }
  if (!c.tooltip.empty()) ctx_.ui.setTooltip(window_, id, str(c.tooltip), "", 0);
  if (window_ == win::kMain && parent_ != 0 && c.id != 0)
    ctx_.forms.pageControls.push_back(
        {id, c.kind, parent_, page_, c.tooltip.empty() ? desc.text : str(c.tooltip)});
  return id;
}

namespace {

// The fields every control description starts with.
Control basic(ControlKind kind, int id, Rect r) {
  Control c;
  c.kind = kind;
  c.id = id;
  c.rect = r;
  return c;
}

}  // namespace

int FormBuilder::label(Rect r, const Words& caption, Align align, Colour textColour) {
  Control c = basic(ControlKind::Label, 0, r);
  c.caption = caption;
  c.align = align;
  c.textColour = textColour;
  return add(c);
}

int FormBuilder::statusLabel(int id, Rect r, const Words& caption, Align align,
                             Colour textColour) {
  Control c = basic(ControlKind::StatusLabel, id, r);
  c.caption = caption;
  c.align = align;
  c.textColour = textColour;
  return add(c);
}

int FormBuilder::numeric(int id, Rect r, int maxLength, const Words& tooltip) {
  Control c = basic(ControlKind::NumericField, id, r);
  c.maxLength = maxLength;
  c.tooltip = tooltip;
  return add(c);
}

int FormBuilder::textField(int id, Rect r, int maxLength, const Words& tooltip) {
  Control c = basic(ControlKind::TextField, id, r);
  c.maxLength = maxLength;
  c.tooltip = tooltip;
  return add(c);
}

int FormBuilder::readOnly(int id, Rect r, const Words& tooltip) {
  Control c = basic(ControlKind::ReadOnlyField, id, r);
  c.tooltip = tooltip;
  return add(c);
}

int FormBuilder::display(int id, Rect r) {
  Control c = basic(ControlKind::DisplayField, id, r);
  return add(c);
}

int FormBuilder::list(int id, Rect r, const Words& tooltip, int droppedWidth,
                      const std::vector<Words>& items) {
  Control c = basic(ControlKind::DropDown, id, r);
  c.tooltip = tooltip;
  c.droppedWidth = droppedWidth;
  c.items = items;
  return add(c);
}

int FormBuilder::check(int id, Rect r, const Words& caption, const Words& tooltip, bool on) {
  Control c = basic(ControlKind::CheckBox, id, r);
  c.caption = caption;
  c.tooltip = tooltip;
  c.state = on ? 1 : 0;
  return add(c);
}

int FormBuilder::option(int id, Rect r, const Words& caption, const Words& tooltip, bool on,
                        bool groupStart) {
  Control c = basic(ControlKind::OptionButton, id, r);
  c.caption = caption;
  c.tooltip = tooltip;
  c.state = on ? 1 : 0;
  c.groupStart = groupStart;
  return add(c);
}

int FormBuilder::toggle(int id, Rect r, const Words& caption, const Words& tooltip,
                        bool multiLine) {
  Control c = basic(ControlKind::ToggleButton, id, r);
  c.caption = caption;
  c.tooltip = tooltip;
  c.multiLine = multiLine;
  return add(c);
}

int FormBuilder::slider(int id, Rect r, int min, int max, const Words& tooltip) {
  Control c = basic(ControlKind::Slider, id, r);
  c.rangeMin = min;
  c.rangeMax = max;
  c.tooltip = tooltip;
  return add(c);
}

int FormBuilder::spin(int id, Rect r, int min, int max, int start, const Words& tooltip) {
  Control c = basic(ControlKind::Spin, id, r);
  c.rangeMin = min;
  c.rangeMax = max;
  c.caption = num(start);
  c.state = start;
  c.tooltip = tooltip;
  return add(c);
}

int FormBuilder::button(int id, Rect r, const Words& caption, const Words& tooltip,
                        bool multiLine) {
  Control c = basic(ControlKind::Button, id, r);
  c.caption = caption;
  c.tooltip = tooltip;
  c.multiLine = multiLine;
  return add(c);
}

int FormBuilder::picture(int id, Rect r, int image) {
  Control c = basic(ControlKind::Picture, id, r);
  c.image = image;
  return add(c);
}

Rect FormBuilder::frame(Rect r, const Words& caption, Colour textColour) {
  Control c = basic(ControlKind::Frame, 0, r);
  c.caption = caption;
  c.textColour = textColour;
  add(c);
  return frameInside(r);
}

int FormBuilder::tabControl(int id, Rect r, const std::vector<Words>& pages, bool multiLine) {
  Control c = basic(ControlKind::TabControl, id, r);
  c.items = pages;
  c.multiLine = multiLine;
  return add(c);
}

}  // namespace kw
