// Menus, the status bar and images of the Win32 user interface. The bus and clock
// threads write status fields through the store; the GUI thread shows them.
#include <algorithm>

#include "platform/win32/win32_ui_impl.h"

namespace kw::win32ui {

// ------------------------------------------------------------------------------------
// Images

namespace {

HBITMAP dibSection(int width, int height, uint8_t** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // rows top to bottom, like the image
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* data = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
  *bits = static_cast<uint8_t*>(data);
  return bmp;
}

bool usable(const Image& image) {
  return image.width > 0 && image.height > 0 &&
         image.rgba.size() >= static_cast<size_t>(image.width) * image.height * 4;
}

}  // namespace

HBITMAP faceBitmap(const Image& image, COLORREF face) {
  if (!usable(image)) return nullptr;
  uint8_t* bits = nullptr;
  HBITMAP bmp = dibSection(image.width, image.height, &bits);
  if (!bmp) return nullptr;
  const int under[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
  const size_t n = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < n; ++i) {
    const int a = image.rgba[i * 4 + 3];
    for (int ch = 0; ch < 3; ++ch) {
      const int top = image.rgba[i * 4 + 2 - ch];  // BGR order in the bitmap
      bits[i * 4 + ch] = static_cast<uint8_t>((top * a + under[ch] * (255 - a)) / 255);
    }
    bits[i * 4 + 3] = 255;
  }
  return bmp;
}

HBITMAP alphaBitmap(const Image& image) {
  if (!usable(image)) return nullptr;
  uint8_t* bits = nullptr;
  HBITMAP bmp = dibSection(image.width, image.height, &bits);
  if (!bmp) return nullptr;
  const size_t n = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < n; ++i) {
    const int a = image.rgba[i * 4 + 3];
    bits[i * 4 + 0] = static_cast<uint8_t>(image.rgba[i * 4 + 2] * a / 255);
    bits[i * 4 + 1] = static_cast<uint8_t>(image.rgba[i * 4 + 1] * a / 255);
    bits[i * 4 + 2] = static_cast<uint8_t>(image.rgba[i * 4 + 0] * a / 255);
    bits[i * 4 + 3] = static_cast<uint8_t>(a);
  }
  return bmp;
}

HICON iconOf(const Image& image) {
  HBITMAP colour = alphaBitmap(image);
  if (!colour) return nullptr;
  HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

// ------------------------------------------------------------------------------------
// Menus

HBITMAP Win32Ui::menuBitmap(int image) {
  if (image == 0) return nullptr;
  auto it = menuBitmaps_.find(image);
  if (it != menuBitmaps_.end()) return it->second;
  auto img = images_.find(image);
  if (img == images_.end()) return nullptr;
  HBITMAP bmp = alphaBitmap(img->second);
  menuBitmaps_[image] = bmp;
  return bmp;
}

namespace {

// A shortcut written after a tab is only a hint here: F1 and F2 are the program's own
// in every window (the event pump takes them first).
std::wstring menuLabel(const std::string& text) { return widen(text); }

}  // namespace

HMENU Win32Ui::buildMenu(const std::vector<MenuItem>& items, WindowWidgets* w, bool popup) {
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  for (const auto& item : items) {
    if (item.id == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::wstring label = menuLabel(item.text);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    info.fType = MFT_STRING;
    info.wID = static_cast<UINT>(item.id);
    info.dwTypeData = label.data();
    // The system shows an item's image and, when checked, frames it as the check mark.
    if (HBITMAP bmp = menuBitmap(item.image)) {
      info.fMask |= MIIM_BITMAP;
      info.hbmpItem = bmp;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
    if (w) w->menuOf[item.id] = menu;
  }
  return menu;
}

void Win32Ui::setMenu(int window, const std::vector<MenuTitle>& titles) {
  if (!onMain()) {
    postToMain([this, window, titles] { setMenu(window, titles); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  w->menuOf.clear();
  HMENU bar = CreateMenu();
  for (const auto& title : titles) {
    HMENU sub = buildMenu(title.items, w, true);
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                widen(title.text).c_str());
  }
  HMENU old = w->menuBar;
  RECT before{};
  GetClientRect(w->hwnd, &before);
  SetMenu(w->hwnd, bar);
  w->menuBar = bar;
  if (old) DestroyMenu(old);
  DrawMenuBar(w->hwnd);
  // The window grows by the menu bar, so that the layout keeps the inside it was made for.
  RECT after{}, outer{};
  GetClientRect(w->hwnd, &after);
  GetWindowRect(w->hwnd, &outer);
  const int grow = (before.bottom - before.top) - (after.bottom - after.top);
  if (grow != 0)
    SetWindowPos(w->hwnd, nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top + grow, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Ui::setMenuCheck(int window, int item, bool checked) {
  if (!onMain()) {
    postToMain([this, window, item, checked] { setMenuCheck(window, item, checked); });
    return;
  }
  WindowWidgets* w = findWindow(window);
  if (!w) return;
  auto it = w->menuOf.find(item);
  if (it == w->menuOf.end()) return;
  CheckMenuItem(it->second, static_cast<UINT>(item),
                MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32Ui::createPopupMenu(int menu, const std::vector<MenuItem>& items) {
  if (!onMain()) {
    postToMain([this, menu, items] { createPopupMenu(menu, items); });
    return;
  }
  popups_[menu] = items;
}

void Win32Ui::showPopupMenu(int window, int menu) {
  if (!onMain()) return;
  WindowWidgets* w = findWindow(window);
  auto it = popups_.find(menu);
  if (!w || it == popups_.end() || !IsWindowVisible(w->hwnd)) return;
  HMENU popup = buildMenu(it->second, nullptr, true);
  POINT at{};
  GetCursorPos(&at);
  // The choice comes back as WM_COMMAND to the window, like one of the menu bar.
  SetForegroundWindow(w->hwnd);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, w->hwnd,
                 nullptr);
  DestroyMenu(popup);
}

// ------------------------------------------------------------------------------------
// Status bar

void Win32Ui::createStatusBar(int window, const std::vector<int>& widths) {
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
    it->second.status.assign(widths.size(), StatusField{});
  }
  if (w->statusBar) DestroyWindow(w->statusBar);
  for (HICON icon : w->statusIcons)
    if (icon) DestroyIcon(icon);
  w->statusIcons.assign(widths.size(), nullptr);
  w->statusWidths = widths;
  w->statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                 w->hwnd, nullptr, instance_, nullptr);
  if (!w->statusBar) return;
  SendMessageW(w->statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  // The fields are laid out by the program's own widths; the last takes what is left.
  std::vector<int> edges;
  int right = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    right += widths[i];
    edges.push_back(i + 1 == widths.size() ? -1 : right);
  }
  SendMessageW(w->statusBar, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  layoutStatusBar(*w);
}

void Win32Ui::layoutStatusBar(WindowWidgets& w) {
  if (w.statusBar) SendMessageW(w.statusBar, WM_SIZE, 0, 0);
}

// Gives every field its text, image or drawing from the store.
void Win32Ui::refreshStatusBar(int window) {
  WindowWidgets* w = findWindow(window);
  if (!w || !w->statusBar) return;
  std::vector<StatusField> fields;
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    if (it == store_.end()) return;
    fields = it->second.status;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const StatusField& f = fields[i];
    if (f.draw) {
      // Drawn in WM_DRAWITEM from the store; the field number travels as item data.
      SendMessageW(w->statusBar, SB_SETTEXTW, i | SBT_OWNERDRAW, static_cast<LPARAM>(i));
      InvalidateRect(w->statusBar, nullptr, FALSE);
      continue;
    }
    // A tab before the text centres it, two right-align it.
    std::wstring text = widen(f.text);
    if (f.align == Align::Centre) text = L"\t" + text;
    if (f.align == Align::Right) text = L"\t\t" + text;
    wchar_t shown[512] = {};
    SendMessageW(w->statusBar, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(shown));
    if (text != shown) SendMessageW(w->statusBar, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(text.c_str()));
    HICON& icon = w->statusIcons[i];
    HICON wanted = nullptr;
    if (f.image != 0) {
      auto img = images_.find(f.image);
      if (img != images_.end()) wanted = iconOf(img->second);
    }
    SendMessageW(w->statusBar, SB_SETICON, i, reinterpret_cast<LPARAM>(wanted));
    if (icon) DestroyIcon(icon);
    icon = wanted;
  }
}

void Win32Ui::drawStatusField(const DRAWITEMSTRUCT& item) {
  int window = -1;
  for (const auto& [number, w] : windows_)
    if (w.statusBar == item.hwndItem) window = number;
  std::optional<StatusDraw> draw;
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    const size_t field = static_cast<size_t>(item.itemData);
    if (it == store_.end() || field >= it->second.status.size()) return;
    draw = it->second.status[field].draw;
  }
  if (!draw) return;
  // Inside the field, narrowed on each side by half the border between fields.
  int borders[3] = {};
  SendMessageW(item.hwndItem, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  RECT r = item.rcItem;
  r.left += borders[2] / 2;
  r.right -= borders[2] / 2;
  if (draw->background != kNoColour) FillRect(item.hDC, &r, brush(draw->background));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, toColorRef(draw->textColour));
  std::wstring text = widen(draw->text);
  std::replace(text.begin(), text.end(), L'\n', L' ');
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

namespace {

template <typename Change>
bool changeField(std::map<int, WindowValue>& store, int window, int field, Change change) {
  auto it = store.find(window);
  if (it == store.end() || field < 0 || field >= static_cast<int>(it->second.status.size()))
    return false;
  return change(it->second.status[static_cast<size_t>(field)]);
}

}  // namespace

void Win32Ui::setStatusText(int window, int field, const std::string& text, Align align) {
  {
    Lock l(mutex_);
    const bool changed = changeField(store_, window, field, [&](StatusField& f) {
      if (f.text == text && f.align == align && !f.draw) return false;
      f.text = text;
      f.align = align;
      f.draw.reset();
      return true;
    });
    if (!changed) return;
    if (!onMain()) dirtyStatus_.insert(window);
  }
  if (onMain()) {
    refreshStatusBar(window);
  } else {
    requestFlush();
  }
}

void Win32Ui::setStatusImage(int window, int field, int image) {
  {
    Lock l(mutex_);
    const bool changed = changeField(store_, window, field, [&](StatusField& f) {
      if (f.image == image) return false;
      f.image = image;
      return true;
    });
    if (!changed) return;
    if (!onMain()) dirtyStatus_.insert(window);
  }
  if (onMain()) {
    refreshStatusBar(window);
  } else {
    requestFlush();
  }
}

void Win32Ui::setStatusDraw(int window, int field, const StatusDraw& draw) {
  {
    Lock l(mutex_);
    const bool changed = changeField(store_, window, field, [&](StatusField& f) {
      if (f.draw && f.draw->text == draw.text && f.draw->textColour == draw.textColour &&
          f.draw->background == draw.background)
        return false;
      f.draw = draw;
      return true;
    });
    if (!changed) return;
    if (!onMain()) dirtyStatus_.insert(window);
  }
  if (onMain()) {
    refreshStatusBar(window);
  } else {
    requestFlush();
  }
}

}  // namespace kw::win32ui
