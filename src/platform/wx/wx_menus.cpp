// Menu bar and pop-up menus. The toolkit cannot show an item image and a check mark
// together, so a checked item shows its image framed and highlighted, and an item
// without image a drawn check mark.
#include <algorithm>
#include <cmath>

#include "platform/wx/wx_ui_impl.h"

namespace kw::wxui {

namespace {

constexpr int kMarkSize = 16;
constexpr int kFrame = 2;  // margin around an image that may be shown checked

double segmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  const double cx = ax + t * dx - px;
  const double cy = ay + t * dy - py;
  return std::sqrt(cx * cx + cy * cy);
}

// Draws an anti-aliased check mark into the left 16x16 square of an RGBA image.
void drawCheckMark(wxImage& img, int top) {
  const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_MENUTEXT);
  for (int y = 0; y < kMarkSize; ++y) {
    for (int x = 0; x < kMarkSize; ++x) {
      const double px = x + 0.5;
      const double py = y + 0.5;
      const double d = std::min(segmentDistance(px, py, 3.0, 8.5, 6.5, 12.0),
                                segmentDistance(px, py, 6.5, 12.0, 13.0, 4.0));
      const double a = std::clamp((1.9 - d) / 0.9, 0.0, 1.0);
      if (a <= 0.0) continue;
      const int iy = top + y;
      if (iy < 0 || iy >= img.GetHeight()) continue;
      img.SetRGB(x, iy, ink.Red(), ink.Green(), ink.Blue());
      img.SetAlpha(x, iy, static_cast<unsigned char>(std::lround(a * 255)));
    }
  }
}

wxImage transparentImage(int w, int h) {
  wxImage img(w, h, true);
  img.InitAlpha();
  std::fill(img.GetAlpha(), img.GetAlpha() + static_cast<size_t>(w) * h, 0);
  return img;
}

wxString menuLabel(const std::string& text) {
  // A shortcut written after a tab is only a hint here; registering it would steal
  // F1 and F2 from the program's own key handling.
  wxString s = toWx(text);
  s.Replace("\t", "    ");
  return s;
}

}  // namespace

wxBitmap WxUi::menuBitmap(int image, bool checked, bool roomForCheck) const {
  const wxBitmap* picture = image != 0 ? bitmap(image) : nullptr;
  if (!picture) {
    if (!checked) return wxNullBitmap;
    wxImage mark = transparentImage(kMarkSize, kMarkSize);
    drawCheckMark(mark, 0);
    return wxBitmap(mark);
  }
  if (!roomForCheck) return *picture;
  // A checked item with an image shows the image in a highlighted frame; the others of
  // the menu get the same margin so that all images line up.
  wxImage pic = picture->ConvertToImage();
  if (!pic.HasAlpha()) pic.InitAlpha();
  const int w = pic.GetWidth() + 2 * kFrame;
  const int h = pic.GetHeight() + 2 * kFrame;
  wxImage out = transparentImage(w, h);
  if (checked) {
    const wxColour hl = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool corner = (x == 0 || x == w - 1) && (y == 0 || y == h - 1);
        if (corner) continue;
        const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        out.SetRGB(x, y, hl.Red(), hl.Green(), hl.Blue());
        out.SetAlpha(x, y, edge ? 255 : 70);
      }
  }
  for (int y = 0; y < pic.GetHeight(); ++y)
    for (int x = 0; x < pic.GetWidth(); ++x) {
      const int ox = x + kFrame;
      const int oy = y + kFrame;
      const double a = pic.GetAlpha(x, y) / 255.0;
      const double b = out.GetAlpha(ox, oy) / 255.0;
      const double outA = a + b * (1 - a);
      if (outA <= 0) continue;
      auto mix = [&](unsigned char top, unsigned char under) {
        return static_cast<unsigned char>(std::lround((top * a + under * b * (1 - a)) / outA));
      };
      out.SetRGB(ox, oy, mix(pic.GetRed(x, y), out.GetRed(ox, oy)),
                 mix(pic.GetGreen(x, y), out.GetGreen(ox, oy)),
                 mix(pic.GetBlue(x, y), out.GetBlue(ox, oy)));
      out.SetAlpha(ox, oy, static_cast<unsigned char>(std::lround(outA * 255)));
    }
  return wxBitmap(out);
}

// The toolkit reserves some ids and allows no more than 15 bits; the program's item
// numbers are free, so each gets an id of a private range.
int WxUi::menuWxId(int item) {
  auto it = menuWxIds_.find(item);
  if (it != menuWxIds_.end()) return it->second;
  const int id = nextMenuWxId_++;
  menuWxIds_[item] = id;
  menuItems_[id] = item;
  return id;
}

int WxUi::menuItemOf(int wxId) const {
  auto it = menuItems_.find(wxId);
  return it == menuItems_.end() ? 0 : it->second;
}

wxMenu* WxUi::buildMenu(const std::vector<MenuItem>& items, WindowWidgets* w) {
  auto* menu = new wxMenu;
  for (const auto& item : items) {
    if (item.id == 0) {
      menu->AppendSeparator();
      continue;
    }
    auto* mi = new wxMenuItem(menu, menuWxId(item.id), menuLabel(item.text));
    const bool checked = w && w->checks.count(item.id) && w->checks[item.id];
    const wxBitmap bmp = menuBitmap(item.image, checked, false);
    if (bmp.IsOk()) mi->SetBitmap(bmp);
    menu->Append(mi);
    if (w) w->menuItems[item.id] = MenuEntry{menu, mi, item.image};
  }
  return menu;
}

void WxUi::setMenu(int window, const std::vector<MenuTitle>& titles) {
  if (!onMain()) {
    postToMain([this, window, titles] { setMenu(window, titles); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  w->menuItems.clear();
  w->checks.clear();
  w->menusWithChecks.clear();
  auto* bar = new wxMenuBar;
  for (const auto& title : titles) bar->Append(buildMenu(title.items, w), toWx(title.text));
  w->frame->SetMenuBar(bar);  // the old bar is deleted by the frame
}

void WxUi::refreshMenuItem(WindowWidgets& w, int item) {
  auto it = w.menuItems.find(item);
  if (it == w.menuItems.end()) return;
  MenuEntry& e = it->second;
  const wxMenuItemList& list = e.menu->GetMenuItems();
  size_t pos = 0;
  bool found = false;
  for (auto node = list.GetFirst(); node; node = node->GetNext(), ++pos)
    if (node->GetData() == e.item) {
      found = true;
      break;
    }
  if (!found) return;
  const bool roomForCheck = w.menusWithChecks.count(e.menu) != 0;
  const wxBitmap bmp = menuBitmap(e.image, w.checks[item], roomForCheck);
  // The native item is made anew so that it picks up the new bitmap.
  e.menu->Remove(e.item);
  e.item->SetBitmap(bmp.IsOk() ? wxBitmapBundle(bmp) : wxBitmapBundle());
  e.menu->Insert(pos, e.item);
}

void WxUi::setMenuCheck(int window, int item, bool checked) {
  if (!onMain()) {
    postToMain([this, window, item, checked] { setMenuCheck(window, item, checked); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  auto it = w->menuItems.find(item);
  if (it == w->menuItems.end()) return;
  const bool before = w->checks.count(item) && w->checks[item];
  w->checks[item] = checked;
  wxMenu* menu = it->second.menu;
  if (w->menusWithChecks.insert(menu).second) {
    // First check mark in this menu: every item with an image gets the frame margin.
    std::vector<int> ids;
    for (const auto& [id, entry] : w->menuItems)
      if (entry.menu == menu) ids.push_back(id);
    for (int id : ids) refreshMenuItem(*w, id);
  } else if (before != checked) {
    refreshMenuItem(*w, item);
  }
}

void WxUi::createPopupMenu(int menu, const std::vector<MenuItem>& items) {
  if (!onMain()) {
    postToMain([this, menu, items] { createPopupMenu(menu, items); });
    return;
  }
  popups_[menu] = items;
}

void WxUi::showPopupMenu(int window, int menu) {
  if (!onMain()) return;
  WindowWidgets* w = findWindow(window);
  auto it = popups_.find(menu);
  if (!w || it == popups_.end() || !w->frame->IsShown()) return;
  std::unique_ptr<wxMenu> popup(buildMenu(it->second, nullptr));
  // Selections arrive as menu events of the frame, like those of the menu bar.
  w->frame->PopupMenu(popup.get());
}

}  // namespace kw::wxui
