// The program against the simulated layout: a module of every family on the bus, switched
// into programming mode the way a user does it, programmed from the form, and read back.
#include <gtest/gtest.h>

#include "forms/parameter_form.h"
#include "programming/module_fixture.h"
#include "sim/sim_modules.h"

namespace kw::test {
namespace {

struct LayoutHarness : ModuleHarness {
  LayoutHarness() { sim::addStandardLayout(bus()); }
};

// Fills fields, programs, clears the form and reads it back; the fields must come back
// as the read-out shows them.
struct RoundTrip {
  const char* name;
  int family;
  int innerTab;
  int modeButton;  // 0: the module's key puts it into programming mode
  std::vector<std::pair<int, std::string>> typed;
  std::vector<std::pair<int, std::string>> readBack;
  std::vector<std::pair<int, int>> chosen = {};  // list, item index
};

TEST(SimulatedLayout, ProgramClearAndReadBack) {
  const RoundTrip cases[] = {
      {"switching module A", 3, -1, 2332,
       {{2327, "16"}, {2328, "0,7"}, {2329, "3"}},
       {{2327, "016"}, {2328, "0.70"}, {2329, "3"}}},
      {"function module 15", 0, 2, 2218,
       {{2140, "12"}, {2032, "5"}, {2052, "7"}, {2029, "20"}},
       {{2032, "005"}, {2042, t(154)}, {2052, "007"}, {2062, t(162)}, {2029, "20"}},
       {{2042, 3}, {2062, 7}}},
      {"group module by key", 6, -1, 0,
       {{2528, "31"}, {2565, "0,48"}},
       {{2528, "031"}, {2565, "0.48"}}},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    LayoutHarness h;
    h.boot();
    h.showFamily(c.family, c.innerTab);
    for (const auto& [field, text] : c.typed) h.setText(field, text);
    if (c.modeButton) {
      h.ui.answerNext(mb::kAnswerYes);  // switch on
      // No read-out yet (it would replace the form); family 3 is not read at switch-on.
      if (c.family != 3) h.ui.answerNext(mb::kAnswerNo);
      h.press(c.modeButton, 3000);
    } else {
      ASSERT_TRUE(sim::pressProgrammingKey(h.bus(), c.family));
      h.run(200);
    }
    ASSERT_EQ(h.ctx->bus.programmingMode.load(), 1);
    for (const auto& [field, text] : c.typed) h.setText(field, text);
    for (const auto& [list, item] : c.chosen) h.ui.setSelection(win::kMain, list, item);
    h.press(ctl::kProgram, 30000);
    EXPECT_TRUE(h.unlocked());
    clearForm(*h.ctx, false);
    h.press(ctl::kRead, 30000);
    for (const auto& [field, text] : c.readBack) EXPECT_EQ(h.text(field), text) << field;
    EXPECT_TRUE(h.unlocked());
  }
}

}  // namespace
}  // namespace kw::test

namespace kw::test {
namespace {

// A module that does not answer: the read-out runs to its end on the fixed waits, the
// guarded fields stay empty, the unguarded ones show the zeros on the bus.
TEST(SimulatedLayout, SilentModuleReadOutEndsWithEmptyFields) {
  struct Case {
    int family, innerTab;
    std::vector<std::pair<int, std::string>> shown;
  };
  const Case cases[] = {
      {0, 2, {{2028, ""}, {2032, ""}, {2042, ""}, {2029, ""}}},
      {3, -1, {{2327, "000"}, {2329, "0"}}},
      {9, -1, {{2607, "000"}, {2609, "0.00"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    LayoutHarness h;
    for (const auto& m : sim::modulesOn(h.bus())) m->faults.silent = true;
    h.boot();
    h.showFamily(c.family, c.innerTab);
    h.programmingModeOn();
    const Tick start = h.clock.now();
    h.press(ctl::kRead, 40000);
    EXPECT_TRUE(h.unlocked());
    for (const auto& [field, text] : c.shown) EXPECT_EQ(h.text(field), text) << field;
    EXPECT_LT(tickDiff(h.clock.now(), start), 40100);
    EXPECT_EQ(h.ui.messages.size(), 1u);  // only the read-out's question
  }
}

}  // namespace
}  // namespace kw::test
