#include "app/dispatch.h"

namespace kw {

void Dispatcher::onControl(int window, int first, int last, EventType type, EventAction action) {
  controls_.push_back({window, first, last, type, std::move(action)});
}

void Dispatcher::onMenu(int item, EventAction action) {
  menus_.push_back({0, item, item, EventType::MenuItem, std::move(action)});
}

void Dispatcher::onClose(int window, EventAction action) {
  closes_.push_back({window, 0, 0, EventType::CloseBox, std::move(action)});
}

bool Dispatcher::dispatch(AppContext& ctx, const UiEvent& e) const {
  switch (e.type) {
    case EventType::None:
    case EventType::KeyF1:
    case EventType::KeyF2:
    case EventType::StatusBarClick:
      return false;
    case EventType::MenuItem:
      for (const auto& r : menus_)
        if (r.first == e.control) {
          r.action(ctx, e);
          return true;
        }
      return false;
    case EventType::CloseBox:
      for (const auto& r : closes_)
        if (r.window == e.window) {
          r.action(ctx, e);
          return true;
        }
      return false;
    default:
      for (const auto& r : controls_) {
        if (r.window != e.window || e.control < r.first || e.control > r.last) continue;
        if (r.type != kAnyEvent && r.type != e.type) continue;
        r.action(ctx, e);
        return true;
      }
      return false;
  }
}

}  // namespace kw
