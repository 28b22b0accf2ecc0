// Opens a page of the parameter form as if the user had clicked its tabs.
#pragma once

#include <string>

namespace kw {

struct AppContext;

// `family` 0..10 and, for families with inner tabs, the inner tab index.
void showFormPage(AppContext& ctx, int family, int inner);
// "F" or "F.S" (for example "2.3"); anything else is ignored.
void showFormPage(AppContext& ctx, const std::string& page);

}  // namespace kw
