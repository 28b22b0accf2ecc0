#include "app/factory_values.h"

#include <vector>

#include "forms/families.h"
#include "forms/parameter_form.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

enum class Op {
  Clear,        // the page emptied first, without a question
  Text,         // fields first..last get the text
  Spin,         // spin fields: text and value
  State,        // check boxes, options, lists by index: first..last get the value
  Item,         // function lists first..last select the item of language text `value`
  Focus,        // keyboard focus to `first`
  Steps,        // the step check of the turntable's step table
  TimingScale,  // switching module B: range caption and third field of the first scale
};

struct Step {
  Op op;
  int first = 0;
  int last = 0;
  const char* text = "";
  int value = 0;
};

constexpr Step text(int first, int last, const char* t) { return {Op::Text, first, last, t}; }
constexpr Step text(int control, const char* t) { return {Op::Text, control, control, t}; }
constexpr Step state(int first, int last, int v) { return {Op::State, first, last, "", v}; }
constexpr Step state(int control, int v) { return {Op::State, control, control, "", v}; }
constexpr Step item(int first, int last, int textNumber) {
  return {Op::Item, first, last, "", textNumber};
}
constexpr Step focus(int control) { return {Op::Focus, control, control}; }
constexpr Step kClearFirst{Op::Clear};

// A row applies when family and sub-type match (sub-type 0: any) and, where a check box
// is named, the box is in the given state. Every matching row applies, in order.
struct FactoryRow {
  int family;
  int subtype;
  int check = 0;
  bool checkSet = true;
  std::vector<Step> steps;
};

const std::vector<FactoryRow>& factoryTable() {
  static const std::vector<FactoryRow> table = {
      {0, 15, 0, true,
       {kClearFirst, text(2022, "11"), text(2023, "10"), text(2024, "12"), item(2025, 2027, 155),
        text(2029, "12"), focus(2022)}},
      {0, 16, 0, true,
       {kClearFirst, text(2074, "11"), text(2075, "10"), text(2076, "12"), item(2077, 2079, 655),
        text(2081, "12"), focus(2074)}},
      {0, 17, 0, true,
       {kClearFirst, text(2140, "010"), text(2141, "011"), text(2142, "012"),
        item(2143, 2145, 655), text(2147, "12"), text(2192, 2209, ""), text(2220, "18"),
        text(2219, "100"), text(2221, "3"), focus(2140)}},
      {1, 18, 0, true,
       {text(2222, "16"), text(2223, "17"), text(2224, ""), {Op::Spin, 2226, 2226, "1", 1},
        state(2225, 0)}},
      {1, 19, 0, true, {text(2253, "16"), text(2254, "17")}},
      {2, 11, 2289, true,
       {text(2291, "90"), text(2292, "91"), text(2293, "0"), text(2294, "16"),
        text(2295, "32"), focus(2291)}},
      // With the second kind of turntable the field of 2292 is not used and stays.
      {2, 11, 2289, false,
       {text(2291, "90"), text(2293, "0"), text(2294, "16"), text(2295, "26"), focus(2291)}},
      {2, 12, 0, true, {text(300, 347, "800"), {Op::Steps}, focus(300)}},
      {2, 13, 0, true, {text(500, 523, "00000000"), text(524, 547, "00000001"), focus(500)}},
      {3, 0, 0, true, {state(2333, 0), state(2334, 1)}},
      {4, 0, 0, true,
       {text(2339, "10"), state(2341, 0), state(2342, 1), state(2343, 3),
        text(2344, "00000000")}},
      // Extension tables: address fields, then the three lists of sixteen rows each.
      {4, 2348, 2353, true, {text(2354, 2369, "255"), state(2370, 2417, 0)}},
      {4, 2350, 2418, true, {text(2419, 2434, "255"), state(2435, 2482, 0)}},
      {5, 0, 0, true,
       {state(2521, 0), state(2520, 1), state(2522, 0), state(2523, 1), {Op::TimingScale}}},
      {6, 0, 0, true,
       {text(2528, "10"), state(2529, 2531, 1), state(2532, 0), state(2533, 2540, 1),
        state(2541, 2548, 0), state(2549, 2556, 1), state(2557, 2564, 0),
        text(2565, 2572, "5.12")}},
  };
  return table;
}

void apply(AppContext& ctx, const Step& s) {
  Ui& ui = ctx.ui;
  for (int c = s.first; c <= s.last; ++c) {
    switch (s.op) {
      case Op::Text: ui.setText(kMain, c, s.text); break;
      case Op::Spin:
        ui.setText(kMain, c, s.text);
        ui.setState(kMain, c, s.value);
        break;
      case Op::State: ui.setState(kMain, c, s.value); break;
      case Op::Item: ui.setText(kMain, c, ctx.text(s.value)); break;
      default: break;
    }
  }
  switch (s.op) {
    case Op::Clear: clearForm(ctx, false); break;
    case Op::Focus: ui.setFocus(kMain, s.first); break;
    case Op::Steps: checkSteps(ctx); break;
    // Set by the program, the option does not click itself: what it governs follows here.
    case Op::TimingScale: showTimingScale(ctx, true); break;
    default: break;
  }
}

bool matches(const AppContext& ctx, const FactoryRow& row) {
  if (row.family != ctx.form.currentFamily) return false;
  if (row.subtype != 0 && row.subtype != currentSubtype(ctx)) return false;
  if (row.check == 0) return true;
  return (ctx.ui.state(kMain, row.check) != 0) == row.checkSet;
}

}  // namespace

void applyFactoryValues(AppContext& ctx) {
  for (const FactoryRow& row : factoryTable())
    if (matches(ctx, row))
      for (const Step& s : row.steps) apply(ctx, s);
}

void resetToFactory(AppContext& ctx) {
  selectionFromTabs(ctx);
  if (ctx.ui.messageBox(kMain, ctx.text(583), ctx.text(584), mb::kYesNo | mb::kIconQuestion) !=
      mb::kAnswerYes)
    return;
  applyFactoryValues(ctx);
}

void registerFactoryRows(Dispatcher& d) {
  d.onControl(ctl::kFactory, ctl::kFactory, EventType::Click,
              [](AppContext& c, const UiEvent&) { resetToFactory(c); });
}

}  // namespace kw
