#include "app/status_popup.h"

#include <array>
#include <vector>

#include "app/shell.h"

namespace kw {

namespace {

// The languages' words after the count, German first.
constexpr std::array<const char*, 4> kDroppedWords{"Bytes verworfen", "bytes dropped",
                                                   "byte scartati", "octets rejetés"};

}  // namespace

std::string droppedLine(int port, uint32_t bytes, int language) {
  if (bytes == 0) return {};
  const size_t index = language >= 1 && language <= 4 ? static_cast<size_t>(language - 1) : 0;
  return "Com " + std::to_string(port) + ": " + std::to_string(bytes) + " " + kDroppedWords[index];
}

void showStatusPopup(AppContext& ctx) {
  std::vector<MenuItem> items;
  int id = menu::kStatusPopup * 100;
  for (int t = 590; t <= 594; ++t) items.push_back({++id, ctx.text(t), 0});
  for (int n = 1; n <= kPortCount; ++n) {
    std::string line = droppedLine(n, ctx.busLink.droppedBytes(n), ctx.language);
    if (!line.empty()) items.push_back({++id, std::move(line), 0});
  }
  ctx.ui.createPopupMenu(menu::kStatusPopup, items);
  ctx.ui.showPopupMenu(win::kMain, menu::kStatusPopup);
}

}  // namespace kw
