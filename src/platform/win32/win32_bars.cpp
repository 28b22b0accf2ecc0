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
  w->statusImages.assign(widths.size(), 0);
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
  for (size_t i = 0; i < fields.size() && i < w->statusIcons.size(); ++i)
    showStatusField(*w, static_cast<int>(i), fields[i]);
}

int Win32Ui::textWidth(HWND hwnd, const std::wstring& text) const {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, font_);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return size.cx;
}

void Win32Ui::showStatusField(WindowWidgets& w, int field, const StatusField& f) {
  const WPARAM part = static_cast<WPARAM>(field);
  std::wstring text = widen(f.text);
  RECT box{};
  SendMessageW(w.statusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(&box));
  // Drawn here: the program's own fields, and a text a little too long for its field
  // (the date and time with a wide system font), which gets a slightly smaller font
  // rather than being cut off. The field number travels as item data.
  const bool tooLong = f.image == 0 && !text.empty() &&
                       textWidth(w.statusBar, text) > box.right - box.left - 4;
  if (f.draw || tooLong) {
    SendMessageW(w.statusBar, SB_SETTEXTW, part | SBT_OWNERDRAW, static_cast<LPARAM>(field));
    InvalidateRect(w.statusBar, &box, FALSE);
  } else {
    // A tab before the text centres it, two right-align it.
    if (f.align == Align::Centre) text = L"\t" + text;
    if (f.align == Align::Right) text = L"\t\t" + text;
    wchar_t shown[512] = {};
    const LRESULT kind = SendMessageW(w.statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(shown));
    if (text != shown || (HIWORD(kind) & SBT_OWNERDRAW))
      SendMessageW(w.statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Icons are made anew only when the field's image changes.
  if (w.statusImages[static_cast<size_t>(field)] == f.image) return;
  w.statusImages[static_cast<size_t>(field)] = f.image;
  HICON& icon = w.statusIcons[static_cast<size_t>(field)];
  HICON wanted = nullptr;
  if (auto img = images_.find(f.image); f.image != 0 && img != images_.end())
    wanted = iconOf(img->second);
  SendMessageW(w.statusBar, SB_SETICON, part, reinterpret_cast<LPARAM>(wanted));
  if (icon) DestroyIcon(icon);
  icon = wanted;
}

HFONT Win32Ui::fittingFont(HDC dc, const std::wstring& text, int width) {
  LOGFONTW base{};
  GetObjectW(font_, sizeof base, &base);
  const int full = base.lfHeight;
  // From the dialog font down to three quarters of its size.
  for (int step = 0; step <= 4; ++step) {
    LOGFONTW lf = base;
    lf.lfHeight = full * (16 - step) / 16;
    auto [it, made] = statusFonts_.try_emplace(lf.lfHeight, nullptr);
    if (made) it->second = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, it->second);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    if (size.cx <= width || step == 4) return it->second;
  }
  return font_;
}

void Win32Ui::drawStatusField(const DRAWITEMSTRUCT& item) {
  int window = -1;
  for (const auto& [number, w] : windows_)
    if (w.statusBar == item.hwndItem) window = number;
  StatusField f;
  {
    Lock l(mutex_);
    auto it = store_.find(window);
    const size_t field = static_cast<size_t>(item.itemData);
    if (it == store_.end() || field >= it->second.status.size()) return;
    f = it->second.status[field];
  }
  RECT r = item.rcItem;
  SetBkMode(item.hDC, TRANSPARENT);
  if (!f.draw) {
    // A plain text that needed a smaller font.
    const std::wstring text = widen(f.text);
    r.left += 2;
    r.right -= 2;
    HGDIOBJ old = SelectObject(item.hDC, fittingFont(item.hDC, text, r.right - r.left));
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    const UINT align = f.align == Align::Centre  ? DT_CENTER
                       : f.align == Align::Right ? DT_RIGHT
                                                 : DT_LEFT;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
    return;
  }
  // Inside the field, narrowed on each side by half the border between fields.
  int borders[3] = {};
  SendMessageW(item.hwndItem, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  r.left += borders[2] / 2;
  r.right -= borders[2] / 2;
  if (f.draw->background != kNoColour) FillRect(item.hDC, &r, brush(f.draw->background));
  SetTextColor(item.hDC, toColorRef(f.draw->textColour));
  std::wstring text = widen(f.draw->text);
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
