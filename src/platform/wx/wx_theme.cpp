// The program's windows are laid out in fixed pixels for small classic controls; the
// default GTK theme pads its widgets far beyond that. A small style sheet on the screen
// trims padding and minimum sizes so that every control fits the box it is given, and
// prefers fonts as narrow as the classic dialog font the captions were written for.
// GTK is reached through the already loaded library, as the build links only wx.
#include <dlfcn.h>

#include <cstring>

#include "platform/wx/wx_ui_impl.h"

namespace kw::wxui {

namespace {

const char kCompactCss[] = R"css(
* {
  font-family: "Tahoma", "Liberation Sans", "Arimo", "Arial", "Nimbus Sans", "Helvetica",
               "DejaVu Sans Condensed", sans-serif;
  font-size: 8pt;
}
entry { min-height: 0; padding: 0 3px; }
button { min-height: 0; min-width: 0; padding: 0 4px; }
togglebutton, button.toggle { min-height: 0; padding: 0 4px; }
combobox button, combobox entry { min-height: 0; padding-top: 0; padding-bottom: 0; }
combobox box button { padding-left: 4px; padding-right: 2px; }
spinbutton { min-height: 0; }
spinbutton entry { min-width: 0; padding: 0 2px; }
spinbutton button { min-height: 0; min-width: 0; padding: 0 1px; }
checkbutton, radiobutton { min-height: 0; padding: 0; }
checkbutton check, radiobutton radio { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }
notebook > header tab { min-height: 0; min-width: 0; padding: 2px 6px; }
notebook > header.top > tabs > tab { padding-top: 2px; padding-bottom: 2px; }
scale { min-height: 0; padding: 0; }
progressbar trough, progressbar progress { min-height: 6px; }
frame > border { border-width: 1px; }
menubar > menuitem { min-height: 0; padding: 2px 6px; }
menu menuitem { min-height: 0; padding: 3px 6px; }
menu menuitem image { min-height: 0; min-width: 0; margin: 0; padding: 0; }
tooltip label { font-size: 8pt; }
dialog button, messagedialog button, filechooser button {
  min-height: 22px; min-width: 64px; padding: 2px 10px;
}
messagedialog .dialog-action-area { margin: 8px; }
filechooser entry { min-height: 22px; padding: 0 4px; }
)css";

using CssNew = void* (*)();
using CssLoad = int (*)(void*, const char*, long, void**);
using ScreenDefault = void* (*)();
using AddProvider = void (*)(void*, void*, unsigned);
using SettingsDefault = void* (*)();
using ObjectSet = void (*)(void*, const char*, ...);

constexpr unsigned kPriorityApplication = 600;

}  // namespace

void applyCompactTheme() {
  // Menu items carry the program's images; GTK 3 hides them unless asked.
  auto settingsDefault =
      reinterpret_cast<SettingsDefault>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  auto objectSet = reinterpret_cast<ObjectSet>(dlsym(RTLD_DEFAULT, "g_object_set"));
  if (settingsDefault && objectSet) {
    if (void* settings = settingsDefault())
      objectSet(settings, "gtk-menu-images", 1, static_cast<void*>(nullptr));
  }

  auto cssNew = reinterpret_cast<CssNew>(dlsym(RTLD_DEFAULT, "gtk_css_provider_new"));
  auto cssLoad = reinterpret_cast<CssLoad>(dlsym(RTLD_DEFAULT, "gtk_css_provider_load_from_data"));
  auto screenDefault = reinterpret_cast<ScreenDefault>(dlsym(RTLD_DEFAULT, "gdk_screen_get_default"));
  auto addProvider = reinterpret_cast<AddProvider>(
      dlsym(RTLD_DEFAULT, "gtk_style_context_add_provider_for_screen"));
  if (!cssNew || !cssLoad || !screenDefault || !addProvider) return;
  void* screen = screenDefault();
  void* provider = cssNew();
  if (!screen || !provider) return;
  void* error = nullptr;
  cssLoad(provider, kCompactCss, static_cast<long>(std::strlen(kCompactCss)), &error);
  addProvider(screen, provider, kPriorityApplication);
}

// A spin field asks for room for its largest number; the program's layout gives it
// less, which the field handles well once it stops insisting.
void allowNarrowSpin(wxWindow* spin) {
  using SetWidthChars = void (*)(void*, int);
  static auto setWidthChars =
      reinterpret_cast<SetWidthChars>(dlsym(RTLD_DEFAULT, "gtk_entry_set_width_chars"));
  if (setWidthChars && spin && spin->GetHandle()) setWidthChars(spin->GetHandle(), 1);
}

// A check box whose caption is wider than its box made GTK complain on every layout pass
// (it cannot shrink below its caption); an ellipsised caption lets it take the box given.
void allowNarrowCaption(wxWindow* box) {
  using BinChild = void* (*)(void*);
  using SetEllipsize = void (*)(void*, int);
  static auto binChild = reinterpret_cast<BinChild>(dlsym(RTLD_DEFAULT, "gtk_bin_get_child"));
  static auto setEllipsize =
      reinterpret_cast<SetEllipsize>(dlsym(RTLD_DEFAULT, "gtk_label_set_ellipsize"));
  using LabelType = unsigned long (*)();
  using IsA = int (*)(void*, unsigned long);
  static auto labelType = reinterpret_cast<LabelType>(dlsym(RTLD_DEFAULT, "gtk_label_get_type"));
  static auto isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
  constexpr int kEllipsizeEnd = 3;
  if (!binChild || !setEllipsize || !labelType || !isA || !box || !box->GetHandle()) return;
  void* label = binChild(box->GetHandle());
  if (label && isA(label, labelType())) setEllipsize(label, kEllipsizeEnd);
}

// The captions were measured in the classic dialog font; where the caption needs only a
// few pixels more, the box grows rather than cutting its caption (its parent is not laid
// out yet here, so the room to its right is the layout's small margin).
void widenToCaption(wxWindow* box) {
  constexpr int kMargin = 12;
  if (!box) return;
  const wxRect r = box->GetRect();
  const int best = box->GetBestSize().x;
  if (best > r.width && best <= r.width + kMargin) box->SetSize(r.x, r.y, best, r.height);
}

}  // namespace kw::wxui
