#include "forms/show_page.h"

#include "app/shell.h"
#include "forms/form.h"

namespace kw {

namespace {

int innerTabsOf(int family) {
  switch (family) {
    case 0: return ctl::kFamily0Tabs;
    case 1: return ctl::kFamily1Tabs;
    case 2: return ctl::kFamily2Tabs;
    case 4: return ctl::kFamily4Tabs;
    default: return 0;
  }
}

}  // namespace

void showFormPage(AppContext& ctx, int family, int inner) {
  if (family < 0 || family > 10) return;
  // Inner tab first, so that the family's tab change finds its sub-type already chosen.
  if (const int tabs = innerTabsOf(family); tabs && inner >= 0) {
    ctx.ui.setState(win::kMain, tabs, inner);
    dispatchEvent(ctx, {EventType::TabChanged, win::kMain, tabs, inner, 0});
  }
  ctx.ui.setState(win::kMain, ctl::kFamilyTabs, family);
  dispatchEvent(ctx, {EventType::TabChanged, win::kMain, ctl::kFamilyTabs, family, 0});
}

void showFormPage(AppContext& ctx, const std::string& page) {
  int family = -1, inner = -1;
  size_t dot = page.find('.');
  try {
    family = std::stoi(page.substr(0, dot));
    if (dot != std::string::npos) inner = std::stoi(page.substr(dot + 1));
  } catch (...) {
    return;  // not a page number: stay on the first page
  }
  showFormPage(ctx, family, inner);
}

}  // namespace kw
