// Event dispatch by tables: each feature adds rows for its control numbers, menu items
// or window close boxes; the main loop only looks rows up.
#pragma once

#include <functional>
#include <vector>

#include "platform/ui.h"

namespace kw {

struct AppContext;

using EventAction = std::function<void(AppContext&, const UiEvent&)>;

// Matches any event type of the control.
constexpr EventType kAnyEvent = EventType::None;

struct DispatchRow {
  int window = 0;
  int first = 0;
  int last = 0;
  EventType type = kAnyEvent;
  EventAction action;
};

class Dispatcher {
 public:
  // Control events of `window` for controls first..last.
  void onControl(int window, int first, int last, EventType type, EventAction action);
  void onControl(int first, int last, EventType type, EventAction action) {
    onControl(0, first, last, type, std::move(action));
  }
  void onMenu(int item, EventAction action);
  void onClose(int window, EventAction action);

  // Runs the first matching row; false when no row matched.
  bool dispatch(AppContext& ctx, const UiEvent& e) const;

 private:
  std::vector<DispatchRow> controls_;
  std::vector<DispatchRow> menus_;
  std::vector<DispatchRow> closes_;
};

}  // namespace kw
