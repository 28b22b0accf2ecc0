// Family 1 (sub-types 19 and 18): the write sequences, the read-out with the module's
// version and generation, and round trips through a stand-in module.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "forms/parameter_form.h"
#include "programming/parameter_store_module.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

constexpr int kTab19 = 0;
constexpr int kTab18 = 1;

struct FieldText {
  int control;
  const char* text;
};

TEST(Family1Program, WritesAndPausesPerSubtype) {
  struct Case {
    const char* name;
    int tab;
    int version;  // as a read-out would have stored it
    std::vector<FieldText> fields;
    Pairs writes;
    std::vector<int> gaps;
  };
  const std::vector<FieldText> fields18 = {{2222, "13"}, {2223, "77"}, {2228, "5"}};
  const Case cases[] = {
      {"19", kTab19, 0, {{2253, "13"}, {2254, "77"}},
       {{0, 12}, {1, 13}, {3, 77}, {2, 64}}, {700, 200, 200}},
      {"18, never read", kTab18, 0, fields18, {{0, 1}, {1, 13}, {2, 77}}, {700, 200}},
      {"18, version 29", kTab18, 29, fields18, {{0, 1}, {1, 13}, {2, 77}}, {700, 200}},
      {"18, version 30", kTab18, 30, fields18,
       {{0, 1}, {1, 13}, {2, 77}, {0, 12}, {2, 5}}, {700, 200, 200, 700}},
      {"18, empty fields write 0", kTab18, 0, {}, {{0, 1}, {1, 0}, {2, 0}}, {700, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.programmingModeOn();
    h.ctx->module.moduleVersion = static_cast<uint8_t>(c.version);
    for (const FieldText& f : c.fields) h.setText(f.control, f.text);
    const auto w = h.press(ctl::kProgram, 3000);
    EXPECT_EQ(pairs(w), c.writes);
    EXPECT_EQ(gaps(w), c.gaps);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family1ReadOut, VersionChoosesGenerationAndSecondByte) {
  struct Case {
    int version;
    const char* shown;
    bool legacy;
    bool secondByte;  // 2228 enabled and filled
    size_t writesWhenProgrammed;
  };
  const Case cases[] = {{19, "1.09", true, false, 3},
                        {20, "2.00", false, false, 3},
                        {29, "2.09", false, false, 3},
                        {30, "3.00", false, true, 5},
                        {31, "3.01", false, true, 5},
                        {5, "5.00", true, false, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, kTab18);
    h.programmingModeOn();
    ParameterStoreModule module(h);
    module.answer(1, 13, 77);
    // Selecting 12 shows nothing of it yet; the version comes once address 1 is cleared.
    module.answer(12, 0, 0);
    h.onWrite = [&](int address, int value) {
      module.seen(address, value);
      if (address == 1 && value == 0 && module.current == 12)
        for (auto [a, v] : {std::pair{1, c.version}, {2, 5}})
          h.bus().set(0, a, static_cast<uint8_t>(v));
    };
    const auto read = h.press(ctl::kRead, 3000);
    // Parameter 1, parameter 12, then address 1 cleared; each waits the read timeout.
    EXPECT_EQ(pairs(read), (Pairs{{0, 1}, {0, 12}, {1, 0}}));
    EXPECT_EQ(gaps(read), (std::vector<int>{700, 700}));
    EXPECT_EQ(h.text(2222), "013");
    EXPECT_EQ(h.text(2223), "077");
    EXPECT_EQ(h.text(2227), c.shown);
    EXPECT_EQ(h.ctx->module.moduleVersion, c.version);
    EXPECT_EQ(h.ctx->module.moduleVersionByte, 5);
    EXPECT_EQ(h.ctx->forms.legacyMode, c.legacy);
    // Buttons 2229 and 2230 are also in the run's lock: its end leaves them off in legacy mode.
    for (int control : {2224, 2229, 2230, 2242, 2243, 2247, 2248})
      EXPECT_EQ(h.ui.enabled(win::kMain, control), !c.legacy) << control;
    EXPECT_EQ(h.c(2224)->background, c.legacy ? colour::kDisplayGrey : colour::kInputYellow);
    EXPECT_EQ(h.ui.enabled(win::kMain, 2228), c.secondByte);
    EXPECT_EQ(h.text(2228), c.secondByte ? "5" : "");
    EXPECT_TRUE(h.unlocked());

    // The stored version decides how much a programming run writes.
    const auto programmed = h.press(ctl::kProgram, 3000);
    EXPECT_EQ(programmed.size(), c.writesWhenProgrammed);
    if (c.secondByte) {
      EXPECT_EQ(pairs(programmed).back(), (std::pair<int, int>{2, 5}));
    }
  }
}

TEST(Family1ReadOut, Subtype19Decoding) {
  struct Case {
    const char* name;
    std::array<int, 3> p1, p14, p11;
    std::vector<int> parameters;  // asked, in order
    const char *addr1, *addr2, *firmware, *ends;
    int end1, end2;  // sliders 2260/2261 and spin fields 2262/2263
  };
  const Case cases[] = {
      {"full answer", {13, 77, 0}, {1, 5, 0}, {42, 100, 200}, {1, 14, 11}, "013", "077",
       " 01.05", "042", 100, 200},
      {"three-digit firmware", {13, 77, 0}, {123, 45, 0}, {42, 100, 200}, {1, 14, 11}, "013",
       "077", " 23.45", "042", 100, 200},
      {"no firmware, no end values", {13, 77, 0}, {0, 9, 0}, {0, 100, 200}, {1, 14, 11}, "013",
       "077", "", "000", 1, 1},
      {"no module", {0, 77, 0}, {1, 5, 0}, {42, 100, 200}, {1}, "", "", "", "", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, kTab19);
    h.programmingModeOn();
    ParameterStoreModule module(h);
    module.values[1] = c.p1;
    module.values[14] = c.p14;
    module.values[11] = c.p11;
    h.setText(2253, "99");  // emptied by the read-out's clearing
    const auto w = h.press(ctl::kRead, 8000);
    EXPECT_EQ(parametersOf(w), c.parameters);
    if (c.parameters.size() == 3) {
      // Addresses 1..3 are cleared before each further ask; every request waits 700 ms.
      EXPECT_EQ(pairs(w), (Pairs{{0, 1}, {1, 0}, {2, 0}, {3, 0}, {0, 14}, {1, 0}, {2, 0},
                                 {3, 0}, {0, 11}}));
      EXPECT_EQ(gaps(w), std::vector<int>(8, 700));
    }
    EXPECT_EQ(h.text(2253), c.addr1);
    EXPECT_EQ(h.text(2254), c.addr2);
    EXPECT_EQ(h.text(2258), c.firmware);
    EXPECT_EQ(h.text(2255), c.ends);
    if (c.end1 >= 0) {
      EXPECT_EQ(h.ui.state(win::kMain, 2260), c.end1);
      EXPECT_EQ(h.text(2262), std::to_string(c.end1));
      EXPECT_EQ(h.ui.state(win::kMain, 2261), c.end2);
      EXPECT_EQ(h.text(2263), std::to_string(c.end2));
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family1ReadOut, CancelSkipsTheRemainingAsks) {
  struct Case {
    int tab;
    int cancelAtMs;
    Pairs writes;
  };
  const Case cases[] = {
      {kTab19, 300, {{0, 1}}},
      {kTab19, 1000, {{0, 1}, {1, 0}}},  // the clearing writes stop at the next test too
      {kTab18, 300, {{0, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cancelAtMs);
    ModuleHarness h;
    h.boot();
    h.showFamily(1, c.tab);
    h.programmingModeOn();
    ParameterStoreModule module(h);
    module.answer(1, 13, 77);
    module.answer(12, 31, 5);
    h.ui.injectAt(h.clock.now() + static_cast<uint32_t>(c.cancelAtMs),
                  {EventType::Click, win::kMain, ctl::kCancel, 0});
    const auto w = h.press(ctl::kRead, 8000);
    EXPECT_EQ(pairs(w), c.writes);
    // The answer already waited for is still shown.
    EXPECT_EQ(h.text(c.tab == kTab19 ? 2253 : 2222), "013");
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family1ReadOut, Subtype18WithoutAddressesStillReadsTheVersion) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  ParameterStoreModule module(h);
  module.answer(1, 0, 77);
  const auto w = h.press(ctl::kRead, 3000);
  // Unlike sub-type 19, a module without addresses is still asked for its version.
  EXPECT_EQ(pairs(w), (Pairs{{0, 1}, {0, 12}, {1, 0}}));
  EXPECT_EQ(h.text(2222), "");
  EXPECT_EQ(h.text(2223), "");
  EXPECT_TRUE(h.unlocked());
}

TEST(Family1RoundTrip, Subtype18KeepsAddressesAndSecondByte) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab18);
  h.programmingModeOn();
  ParameterStoreModule module(h);
  module.answer(12, 31, 0);  // the module's version; its second byte is programmable
  module.showsAgainOnClear = true;
  // A first read-out tells the program the module has the second byte.
  h.press(ctl::kRead, 3000);
  ASSERT_EQ(h.ctx->module.moduleVersion, 31);
  h.setText(2222, "13");
  h.setText(2223, "104");
  h.setText(2228, "7");
  module.storing = true;
  h.press(ctl::kProgram, 4000);
  module.storing = false;
  clearForm(*h.ctx, false);
  ASSERT_EQ(h.text(2222), "");
  h.press(ctl::kRead, 3000);
  // Addresses come back as three digits.
  EXPECT_EQ(h.text(2222), "013");
  EXPECT_EQ(h.text(2223), "104");
  EXPECT_EQ(h.text(2228), "7");
  EXPECT_EQ(h.text(2227), "3.01");
  EXPECT_TRUE(h.unlocked());
}

TEST(Family1RoundTrip, Subtype19KeepsAddresses) {
  ModuleHarness h;
  h.boot();
  h.showFamily(1, kTab19);
  h.programmingModeOn();
  ParameterStoreModule module(h);
  // The module takes the addresses of parameter 12 once the 64 arrives on address 2 and
  // reports them as the first two values of parameter 1.
  module.afterStore = [&module](int parameter, int address, int value) {
    if (parameter == 12 && address == 2 && value == 64)
      module.values[1] = {module.values[12][0], module.values[12][2], 0};
  };
  h.setText(2253, "21");
  h.setText(2254, "22");
  module.storing = true;
  h.press(ctl::kProgram, 3000);
  module.storing = false;
  clearForm(*h.ctx, false);
  ASSERT_EQ(h.text(2253), "");
  h.press(ctl::kRead, 8000);
  EXPECT_EQ(h.text(2253), "021");
  EXPECT_EQ(h.text(2254), "022");
  EXPECT_TRUE(h.unlocked());
}

}  // namespace
}  // namespace kw::test
