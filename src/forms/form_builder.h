// Building the parameter form from compact descriptions.
//
// How a page is described
// -----------------------
// A page is a short function that receives a FormBuilder already placed on its tab page
// (see families.h). Every control is one call whose arguments are plain data: the control
// number, the rectangle relative to the page, the caption and the tooltip as Words, and
// the limits. Words join language texts, numbers and literals without separator, the
// way the captions of the form are put together:
//
//   tx(190)                                   language text 190
//   Words{tx(190), num(k + 1), tx(179), lit("1")}   text 190, k+1, text 179, "1"
//
// Repeated rows are a loop over one description, with positions taken from a Grid:
//
//   Grid g{.x = 8, .y = 40, .rowPitch = 22, .columns = {90, 40, 200}};
//   for (int k = 0; k < 9; ++k) {
//     b.label(g.cell(k, 0), {tx(141), num(k + 1)}, Align::Right);
//     b.numeric(2152 + k, g.cell(k, 1), 3, {tx(190), num(k + 1), tx(179), lit("1")});
//     b.list(2172 + k, g.cell(k, 2), {tx(191), num(k + 1), tx(179), lit("1")}, 270);
//   }
//
// The builder gives each kind its colours: input yellow for numeric and text fields,
// spin fields and lists (unless `plain`), display grey and disabled for display fields.
// Controls without a number (labels, frames, pictures) get private numbers from
// kFirstAnonymousId upwards, so they never collide with the form's fixed numbers.
// Use `add` with a full Control for anything the helpers do not cover.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "forms/form.h"
#include "platform/ui.h"

namespace kw {

struct AppContext;

// One piece of a caption: a language text, or a literal (numbers become literals).
struct Piece {
  int text = 0;  // language text number; 0 = use `literal`
  std::string literal;
};
inline Piece tx(int n) { return Piece{n, {}}; }
inline Piece lit(std::string s) { return Piece{0, std::move(s)}; }
inline Piece num(int v) { return Piece{0, std::to_string(v)}; }
// Two digits with a leading zero (step and position numbers).
Piece num2(int v);

struct Words {
  std::vector<Piece> pieces;
  Words() = default;
  Words(Piece p) { pieces.push_back(std::move(p)); }  // NOLINT: a single piece is a caption
  Words(const char* s) { pieces.push_back(lit(s)); }  // NOLINT: a literal caption
  Words(std::initializer_list<Piece> ps) : pieces(ps) {}
  bool empty() const { return pieces.empty(); }
};

// Everything a control may need at creation. Most pages use the helpers below instead.
struct Control {
  ControlKind kind = ControlKind::Label;
  int id = 0;  // 0: anonymous
  Rect rect;
  Words caption;  // caption, initial text; for spin fields the start value
  Words tooltip;
  int maxLength = 0;
  Align align = Align::Left;
  bool multiLine = false;
  bool groupStart = false;
  int droppedWidth = 0;
  int image = 0;
  int rangeMin = 0;
  int rangeMax = 100;
  int state = 0;  // check/option/toggle on, slider position
  std::vector<Words> items;
  Colour textColour = kNoColour;
  Colour background = kNoColour;  // kNoColour: the kind's own colour
  bool plain = false;             // fields/lists without the input yellow
};

// Rows and columns of equally high cells.
struct Grid {
  int x = 0;
  int y = 0;
  int rowPitch = 22;   // distance from one row to the next
  int rowHeight = 20;  // height of a cell
  std::vector<int> columns;  // column widths, left to right
  int gap = 4;               // space between columns
  int colX(int col) const;
  int rowY(int row) const { return y + row * rowPitch; }
  // The cell of `row` and `col`, spanning `span` columns (gaps included).
  Rect cell(int row, int col, int span = 1) const;
  int width() const;  // all columns with their gaps
};

// Common geometry of the form (client area of the main window about 690 x 570).
namespace layout {
constexpr int kRow = 22;        // row pitch
constexpr int kField = 20;      // height of fields and lists
constexpr int kButton = 26;     // height of push buttons
constexpr int kFrameTop = 16;   // from a frame's top to its first row
constexpr int kFramePad = 8;    // inner left/right margin of a frame
constexpr Rect kFamilyTabsRect = {4, 4, 682, 496};
// Usable area of a family page, and of a sub-type page inside an inner tab control.
constexpr Rect kFamilyPage = {0, 0, 674, 430};
constexpr Rect kInnerTabsRect = {2, 2, 668, 424};
constexpr Rect kSubtypePage = {0, 0, 660, 390};
}  // namespace layout

constexpr int kFirstAnonymousId = 30000;

class FormBuilder {
 public:
  explicit FormBuilder(AppContext& ctx, int window = win::kMain);

  // Controls created from now on go onto `page` of tab control `tabs` (0: the window).
  void onPage(int tabs, int page);
  int tabs() const { return parent_; }
  int page() const { return page_; }

  // The text of Words in the current language.
  std::string str(const Words& w) const;

  // Creates the control; returns its number (the private one for anonymous controls),
  // or 0 when the window refused it.
  int add(const Control& c);

  int label(Rect r, const Words& caption, Align align = Align::Left,
            Colour textColour = kNoColour);
  int statusLabel(int id, Rect r, const Words& caption = {}, Align align = Align::Centre,
                  Colour textColour = kNoColour);
  int numeric(int id, Rect r, int maxLength, const Words& tooltip = {});
  int textField(int id, Rect r, int maxLength, const Words& tooltip = {});
  int readOnly(int id, Rect r, const Words& tooltip = {});
  int display(int id, Rect r);
  // Drop-down list; items may also be filled later (function lists).
  int list(int id, Rect r, const Words& tooltip = {}, int droppedWidth = 0,
           const std::vector<Words>& items = {});
  int check(int id, Rect r, const Words& caption, const Words& tooltip = {}, bool on = false);
  int option(int id, Rect r, const Words& caption, const Words& tooltip = {}, bool on = false,
             bool groupStart = false);
  int toggle(int id, Rect r, const Words& caption, const Words& tooltip = {},
             bool multiLine = false);
  int slider(int id, Rect r, int min, int max, const Words& tooltip = {});
  int spin(int id, Rect r, int min, int max, int start, const Words& tooltip = {});
  int button(int id, Rect r, const Words& caption, const Words& tooltip = {},
             bool multiLine = false);
  int picture(int id, Rect r, int image);
  // Titled group box; returns the inside (below the caption, within the margins).
  Rect frame(Rect r, const Words& caption, Colour textColour = kNoColour);
  // An inner tab control with one page per caption.
  int tabControl(int id, Rect r, const std::vector<Words>& pages, bool multiLine = false);

  AppContext& context() { return ctx_; }
  Ui& ui();
  int window() const { return window_; }

 private:
  AppContext& ctx_;
  int window_;
  int parent_ = 0;
  int page_ = 0;
  int nextAnonymous_ = kFirstAnonymousId;
};

// The inside of a frame drawn at `r` (below its caption, within its margins).
Rect frameInside(Rect r);

}  // namespace kw
