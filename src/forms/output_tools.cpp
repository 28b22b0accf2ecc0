#include "forms/output_tools.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/shell.h"
#include "forms/turntable_files.h"
#include "programming/engine.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

// The output parameters of output k, and the commands.
constexpr int kFirstPartOffset = 1;
constexpr int kSecondPartBit = 64;  // parameter (k + 1) | 64 = k + 65
constexpr int kTestCommand = 10;
constexpr int kAdditionalParameter = 11;
constexpr int kSetCommand = 12;
constexpr int kAdditionalCommand = 13;

constexpr uint32_t kLoadMs = 700;
constexpr uint32_t kSelectMs = 400;
constexpr uint32_t kValueMs = 200;
constexpr uint32_t kSelectorMs = 400;
constexpr uint32_t kBeforeLoad19Ms = 500;
constexpr uint32_t kAfterTestMs = 100;
constexpr uint32_t kModePollMs = 100;
constexpr uint32_t kModeWithinMs = 500;

constexpr int kOutputs = 8;
constexpr int kLargestValue = 255;

// A slider and the spin field beside it, which shows the same value.
struct SliderPair {
  int slider;
  int spin;
};

// What the adjust tools of one sub-type work on.
struct AdjustPage {
  int subtype;
  int adjustSwitch;
  int outputSpin;
  std::array<SliderPair, 4> loaded;  // in the order the values are loaded
  int loadedCount;
  std::array<int, 2> emptied;  // fields emptied at rest
  int emptiedCount;
};

constexpr AdjustPage kPage18{
    18, 2225, 2226, {{{2244, 2249}, {2245, 2250}, {2246, 2251}}}, 3, {}, 0};
constexpr AdjustPage kPage19{
    19, 2256, 2257, {{{2264, 2266}, {2265, 2267}, {2270, 2272}, {2271, 2273}}}, 4, {2284, 2285}, 2};

const AdjustPage* pageOf(int subtype) {
  if (subtype == 18) return &kPage18;
  if (subtype == 19) return &kPage19;
  return nullptr;
}

// Test buttons and the code each sends.
struct TestButton {
  int button;
  int subtype;
  int code;
};
constexpr TestButton kTestButtons[] = {
    {2234, 18, 1}, {2235, 18, 2}, {2236, 18, 4}, {2237, 18, 8}, {2238, 18, 128},
    {2276, 19, 1}, {2277, 19, 2}, {2278, 19, 4}, {2279, 19, 8}, {2280, 19, 128}};

// Set buttons of sub-type 18: the window address each writes and the spin field it sends.
struct Set18 {
  int button;
  int address;
  int spin;
};
constexpr Set18 kSet18[] = {{2231, 1, 2249}, {2232, 2, 2250}, {2233, 3, 2251}};

// Set buttons of sub-type 19: value and selector pairs, sent in this order.
struct SetValue {
  int control;
  bool spin;  // the spin field's value, else a field's text
  int selector;
};
struct Set19 {
  int button;
  std::array<SetValue, 2> values;
  int count;
};
constexpr Set19 kSet19[] = {{2268, {{{2266, true, 1}}}, 1},
                            {2269, {{{2267, true, 2}}}, 1},
                            {2274, {{{2272, true, 4}}}, 1},
                            {2275, {{{2273, true, 8}}}, 1},
                            {2286, {{{2284, false, 16}, {2285, false, 32}}}, 2}};

bool switchOn(const AppContext& ctx, const AdjustPage& page) {
  return ctx.ui.state(kMain, page.adjustSwitch) != 0;
}

int outputNumber(const AppContext& ctx, const AdjustPage& page) {
  return std::clamp(ctx.ui.state(kMain, page.outputSpin), 1, kOutputs);
}

int byteValue(int v) { return std::clamp(v, 0, kLargestValue); }
int spinValue(const AppContext& ctx, int spin) { return byteValue(ctx.ui.state(kMain, spin)); }
int textValue(const AppContext& ctx, int field) {
  return byteValue(fieldNumber(ctx.ui.text(kMain, field)));
}

void showPair(AppContext& ctx, SliderPair p, int value) {
  ctx.ui.setState(kMain, p.slider, value);
  ctx.ui.setState(kMain, p.spin, value);
  ctx.ui.setText(kMain, p.spin, std::to_string(value));
}

Answer windowAnswer(const AppContext& ctx) {
  const int bus = ctx.currentBus();
  return {ctx.bus.mirror(bus, 0), ctx.bus.mirror(bus, 1), ctx.bus.mirror(bus, 2),
          ctx.bus.mirror(bus, 3)};
}

// Writes parameter p and returns what the module shows for it after the wait.
Answer query(AppContext& ctx, int p) {
  writeAndWait(ctx, 0, p, kLoadMs);
  return windowAnswer(ctx);
}

// Sub-type 19 switches the programming mode on itself, after asking. True when the bus
// is in programming mode afterwards.
bool programmingModeFor19(AppContext& ctx) {
  if (ctx.bus.programmingMode.load() != 0) return true;
  if (fieldNumber(ctx.ui.text(kMain, 2253)) == 0) {
    ctx.ui.messageBox(kMain, ctx.text(612), ctx.text(501), mb::kOk | mb::kIconError);
    ctx.ui.setFocus(kMain, 2253);
    return false;
  }
  if (ctx.ui.messageBox(kMain, ctx.text(612), ctx.text(501) + "\n" + ctx.text(611),
                        mb::kYesNo | mb::kIconQuestion) != mb::kAnswerYes)
    return false;
  switchProgrammingMode(ctx);
  const Tick deadline = ctx.clock.now() + kModeWithinMs;
  while (ctx.bus.programmingMode.load() == 0 && !tickReached(ctx.clock.now(), deadline))
    pumpedWait(ctx, kModePollMs);
  return ctx.bus.programmingMode.load() != 0;
}

void load18(AppContext& ctx) {
  const AdjustPage& page = kPage18;
  const Answer a = query(ctx, outputNumber(ctx, page) + kFirstPartOffset);
  const int values[] = {a.a1, a.a2, a.a3};
  for (int i = 0; i < page.loadedCount; ++i) showPair(ctx, page.loaded[i], values[i]);
}

void load19(AppContext& ctx) {
  const AdjustPage& page = kPage19;
  pumpedWait(ctx, kBeforeLoad19Ms);
  const int parameter = outputNumber(ctx, page) + kFirstPartOffset;
  const Answer first = query(ctx, parameter);
  const auto& p = page.loaded;
  showPair(ctx, p[0], first.a1);
  showPair(ctx, p[1], first.a2);
  showPair(ctx, p[2], first.a3);
  const Answer second = query(ctx, parameter | kSecondPartBit);
  showPair(ctx, p[3], second.a1);
  ctx.ui.setText(kMain, 2284, std::to_string(second.a2));
  ctx.ui.setText(kMain, 2285, std::to_string(second.a3));
  ctx.ui.setText(kMain, page.adjustSwitch, ctx.text(266));
}

void set18(AppContext& ctx, const Set18& s) {
  const AdjustPage& page = kPage18;
  if (!switchOn(ctx, page)) {
    ctx.ui.messageBox(kMain, ctx.text(527), ctx.text(528), mb::kOk | mb::kIconInformation);
    return;
  }
  RunScope busy(ctx);
  writeAndWait(ctx, 0, outputNumber(ctx, page) + kFirstPartOffset, kSelectMs);
  writeAndWait(ctx, s.address, spinValue(ctx, s.spin), kValueMs);
}

void set19(AppContext& ctx, const Set19& s) {
  const AdjustPage& page = kPage19;
  RunScope busy(ctx);
  lockForm(ctx, true);
  if (!switchOn(ctx, page)) {
    lockForm(ctx, false);
    ctx.ui.messageBox(kMain, ctx.text(527), ctx.text(528), mb::kOk | mb::kIconInformation);
    return;
  }
  writeAndWait(ctx, 0, kSetCommand, kSelectMs);
  writeAndWait(ctx, 1, outputNumber(ctx, page), kSelectMs);
  for (int i = 0; i < s.count; ++i) {
    const SetValue& v = s.values[i];
    writeAndWait(ctx, 3, v.spin ? spinValue(ctx, v.control) : textValue(ctx, v.control), kValueMs);
    writeAndWait(ctx, 2, v.selector, kSelectorMs);
  }
  lockForm(ctx, false);
}

}  // namespace

void resetOutputTools(AppContext& ctx, int subtype) {
  const AdjustPage* page = pageOf(subtype);
  if (page == nullptr) return;
  ctx.ui.setState(kMain, page->adjustSwitch, 0);
  for (int i = 0; i < page->loadedCount; ++i) showPair(ctx, page->loaded[i], 0);
  for (int i = 0; i < page->emptiedCount; ++i) ctx.ui.setText(kMain, page->emptied[i], "");
  if (subtype == 19) ctx.ui.setText(kMain, page->adjustSwitch, ctx.text(265));
}

// Either position of the adjust switch first needs the programming mode (sub-type 19 offers
// to switch it on). Switched off, the tools are put to rest; switched on, the output is
// loaded, and when that cannot be done the switch goes off again, so that it never stands
// on without the output's values behind it.
void loadOutput(AppContext& ctx, int subtype) {
  const AdjustPage* page = pageOf(subtype);
  if (page == nullptr) return;
  RunScope busy(ctx);
  const bool ready = subtype == 18 ? requireProgrammingMode(ctx) : programmingModeFor19(ctx);
  if (!ready) {
    if (switchOn(ctx, *page)) resetOutputTools(ctx, subtype);
    return;
  }
  if (!switchOn(ctx, *page) || ctx.quitAfterRun) {
    resetOutputTools(ctx, subtype);
    return;
  }
  if (subtype == 18)
    load18(ctx);
  else
    load19(ctx);
}

void setOutputValue(AppContext& ctx, int button) {
  for (const Set18& s : kSet18)
    if (s.button == button) return set18(ctx, s);
  for (const Set19& s : kSet19)
    if (s.button == button) return set19(ctx, s);
}

void testOutput(AppContext& ctx, int button) {
  for (const TestButton& t : kTestButtons) {
    if (t.button != button) continue;
    const AdjustPage& page = *pageOf(t.subtype);
    if (!switchOn(ctx, page)) return;
    RunScope busy(ctx);
    writeAndWait(ctx, 0, kTestCommand, kSelectMs);
    writeAndWait(ctx, 1, outputNumber(ctx, page), 0);
    writeAndWait(ctx, 2, t.code, kSelectMs);
    loadOutput(ctx, t.subtype);
    pumpedWait(ctx, kAfterTestMs);
    return;
  }
}

// These read and write a parameter through the register window like programming does,
// so they need the programming mode as well.
void directParameter(AppContext& ctx, int button) {
  if (button != 2229 && button != 2230 && button != 2259) return;
  if (!requireProgrammingMode(ctx)) return;
  RunScope busy(ctx);
  switch (button) {
    case 2229: {
      const Answer a = query(ctx, kAdditionalParameter);
      ctx.ui.setText(kMain, 2224, pad(a.a1, 3));
      showPair(ctx, {2242, 2247}, a.a1 > 0 ? a.a2 : 0);
      showPair(ctx, {2243, 2248}, a.a1 > 0 ? a.a3 : 0);
      break;
    }
    case 2230:
      writeAndWait(ctx, 0, kAdditionalParameter, kLoadMs);
      writeAndWait(ctx, 1, textValue(ctx, 2224), kValueMs);
      writeAndWait(ctx, 2, spinValue(ctx, 2247), kValueMs);
      writeAndWait(ctx, 3, spinValue(ctx, 2248), kValueMs);
      break;
    case 2259:
      writeAndWait(ctx, 0, kAdditionalCommand, kValueMs);
      writeAndWait(ctx, 1, textValue(ctx, 2255), kValueMs);
      writeAndWait(ctx, 2, spinValue(ctx, 2262), kValueMs);
      writeAndWait(ctx, 3, spinValue(ctx, 2263), kValueMs);
      break;
    default: break;
  }
}

void registerOutputToolRows(Dispatcher& d) {
  d.onControl(2225, 2225, EventType::Click,
              [](AppContext& c, const UiEvent&) { loadOutput(c, 18); });
  d.onControl(2256, 2256, EventType::Click,
              [](AppContext& c, const UiEvent&) { loadOutput(c, 19); });
  // Another output chosen while adjusting: its values are loaded.
  for (const AdjustPage* page : {&kPage18, &kPage19}) {
    const int subtype = page->subtype;
    d.onControl(page->outputSpin, page->outputSpin, EventType::ValueChanged,
                [subtype](AppContext& c, const UiEvent&) {
                  if (switchOn(c, *pageOf(subtype))) loadOutput(c, subtype);
                });
  }
  auto direct = [](AppContext& c, const UiEvent& e) { directParameter(c, e.control); };
  d.onControl(2229, 2230, EventType::Click, direct);
  d.onControl(2259, 2259, EventType::Click, direct);
  auto set = [](AppContext& c, const UiEvent& e) { setOutputValue(c, e.control); };
  d.onControl(2231, 2233, EventType::Click, set);
  d.onControl(2268, 2269, EventType::Click, set);
  d.onControl(2274, 2275, EventType::Click, set);
  d.onControl(2286, 2286, EventType::Click, set);
  auto test = [](AppContext& c, const UiEvent& e) { testOutput(c, e.control); };
  d.onControl(2234, 2238, EventType::Click, test);
  d.onControl(2276, 2280, EventType::Click, test);
}

}  // namespace kw
