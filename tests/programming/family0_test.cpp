// Family 0 (sub-types 17, 16, 15): the write sequences with their row checks, pauses and
// cancel points, the read-out decoding, and a round trip per sub-type through a stand-in
// module that remembers what it was given.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/parameter_form.h"
#include "programming/module_fixture.h"
#include "programming/module_run.h"

namespace kw::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;
using Setup = std::function<void(ModuleHarness&)>;

constexpr int kMain = win::kMain;

// Inner tab of each sub-type.
int tabOf(int subtype) { return subtype == 17 ? 0 : subtype == 16 ? 1 : 2; }

void ready(ModuleHarness& h, int subtype) {
  h.boot();
  h.programmingModeOn();
  h.showFamily(0, tabOf(subtype));
}

// One table entry: parameter number, address, code.
Pairs entry(int p, int a, int c) { return {{0, p}, {1, a}, {2, c}}; }

Pairs operator+(Pairs a, const Pairs& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Pairs& operator+=(Pairs& to, const Pairs& more) { return to = to + more; }

// The writes of `n` entries: [400, 200, 200] after each.
std::vector<int> entryGaps(int n) {
  std::vector<int> g;
  for (int i = 0; i < n; ++i) g.insert(g.end(), {400, 200, 200});
  return g;
}

// Writes from the parameter-number write of `p` on (the first one).
Pairs from(const Pairs& all, int p, size_t count) {
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i] == std::pair<int, int>{0, p})
      return {all.begin() + static_cast<std::ptrdiff_t>(i),
              all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), i + count))};
  return {};
}

bool wrote(const Pairs& all, int p) { return !from(all, p, 1).empty(); }

Colour background(const ModuleHarness& h, int c) { return h.c(c)->background; }
Colour textColour(const ModuleHarness& h, int c) { return h.c(c)->textColour; }

// ------------------------------------------------------------------------------------
// Programming.

TEST(Family0Program, Subtype15EmptyFormWritesEveryEntryAsZero) {
  ModuleHarness h;
  ready(h, 15);
  // The row being written is busy red, the one before it yellow again.
  std::vector<Colour> at900;
  h.clock.every(900, [&] {
    at900 = {background(h, 2032), background(h, 2033)};
    return -1;
  });
  const auto w = h.press(ctl::kProgram, 21000);
  EXPECT_EQ(at900, (std::vector<Colour>{colour::kInputYellow, colour::kBusyRed}));
  Pairs expected;
  for (int p = 1; p <= 20; ++p) expected += entry(p, 0, 0);
  for (int p : {22, 21, 23}) expected += entry(p, 0, 0);
  expected += Pairs{{0, 24}, {1, 0}};
  ASSERT_EQ(w.size(), 71u);
  EXPECT_EQ(pairs(w), expected);
  std::vector<int> g = entryGaps(23);
  g.push_back(400);
  EXPECT_EQ(gaps(w), g);
  EXPECT_EQ(h.ui.messages.size(), 1u);  // the question only
  EXPECT_TRUE(h.unlocked());
  EXPECT_EQ(h.ui.focus(), (std::pair<int, int>{kMain, 2022}));
}

TEST(Family0Program, Subtype15TakesAddressesAndCodesZeroClearsTheCode) {
  ModuleHarness h;
  ready(h, 15);
  h.setText(2032, "5");
  h.setText(2042, t(152));
  h.setText(2033, "0");  // a function without an address goes as code 0
  h.setText(2043, t(153));
  h.setText(2052, "7");
  h.setText(2062, t(156));
  h.setText(2023, "9");
  h.setText(2026, t(167));
  h.setText(2027, t(160));  // 2024 empty: address 0, so code 0
  h.setText(2029, "12");
  const Pairs w = pairs(h.press(ctl::kProgram, 21000));
  ASSERT_EQ(w.size(), 71u);
  EXPECT_EQ(from(w, 1, 6), entry(1, 5, 2) + entry(2, 0, 0));
  EXPECT_EQ(from(w, 11, 3), entry(11, 7, 6));
  const Pairs fixed =
      entry(22, 0, 0) + entry(21, 9, 17) + entry(23, 0, 0) + Pairs{{0, 24}, {1, 12}};
  EXPECT_EQ(from(w, 22, 11), fixed);
  EXPECT_EQ(background(h, 2032), colour::kInputYellow);
  EXPECT_TRUE(h.unlocked());
}

struct CheckCase {
  const char* name;
  int subtype;
  Setup fill;
  int title;  // 0 = passes
  int text;
  int field;
};

// A list whose items are as long as the test needs: "01: " has 4 characters, "01: x" 5.
void shortItems(ModuleHarness& h, int list) { h.ui.setItems(kMain, list, {"01: ", "01: x", ""}); }

TEST(Family0Program, RowChecksStopBeforeAnyWrite) {
  const CheckCase cases[] = {
      {"15 address 110 passes", 15,
       [](ModuleHarness& h) {
         h.setText(2034, "110");
         h.setText(2044, t(151));
       },
       0, 0, 0},
      {"15 table A 111", 15, [](ModuleHarness& h) { h.setText(2034, "111"); }, 562, 563, 2034},
      {"15 table A five characters pass", 15,
       [](ModuleHarness& h) {
         shortItems(h, 2044);
         h.setText(2034, "4");
         h.setText(2044, "01: x");
       },
       0, 0, 0},
      {"15 table A four characters fail", 15,
       [](ModuleHarness& h) {
         shortItems(h, 2044);
         h.setText(2034, "4");
         h.setText(2044, "01: ");
       },
       564, 565, 2034},
      {"15 table A without function", 15, [](ModuleHarness& h) { h.setText(2035, "4"); }, 564, 565,
       2035},
      {"15 table A used with 2022", 15,
       [](ModuleHarness& h) {
         h.setText(2032, "4");
         h.setText(2042, t(151));
         h.setText(2022, "3");
       },
       566, 567, 2022},
      {"15 2022 without table A passes", 15, [](ModuleHarness& h) { h.setText(2022, "3"); }, 0, 0,
       0},
      {"15 table B 111", 15, [](ModuleHarness& h) { h.setText(2061, "111"); }, 562, 568, 2061},
      {"15 table B without function", 15, [](ModuleHarness& h) { h.setText(2052, "8"); }, 564, 569,
       2052},
      {"15 table B used with 2024", 15,
       [](ModuleHarness& h) {
         h.setText(2052, "8");
         h.setText(2062, t(155));
         h.setText(2024, "1");
       },
       570, 571, 2024},
      {"16 address 110 passes", 16,
       [](ModuleHarness& h) {
         h.setText(2105, "110");
         h.setText(2125, t(651));
       },
       0, 0, 0},
      {"16 row 111", 16, [](ModuleHarness& h) { h.setText(2105, "111"); }, 562, 194, 2105},
      {"16 four characters fail", 16,
       [](ModuleHarness& h) {
         shortItems(h, 2110);
         h.setText(2090, "4");
         h.setText(2110, "01: ");
       },
       564, 195, 2090},
      {"16 five characters pass", 16,
       [](ModuleHarness& h) {
         shortItems(h, 2110);
         h.setText(2090, "4");
         h.setText(2110, "01: x");
       },
       0, 0, 0},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ready(h, c.subtype);
    c.fill(h);
    Colour duringMessage = kNoColour;
    h.ui.onMessage = [&](const RecordedMessage& m) {
      if (m.title == t(c.title) && c.field != 0) duringMessage = background(h, c.field);
    };
    // The run happens within the click's main-loop pass.
    const auto w = h.press(ctl::kProgram, 500);
    if (c.title == 0) {
      ASSERT_FALSE(w.empty());
      EXPECT_EQ(pairs(w)[0], (std::pair<int, int>{0, 1}));
      for (const RecordedMessage& m : h.ui.messages) EXPECT_NE(m.flags, mb::kIconError);
    } else {
      EXPECT_TRUE(w.empty());
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(c.title));
      EXPECT_EQ(h.ui.messages[1].text, t(c.text));
      EXPECT_EQ(h.ui.messages[1].flags, mb::kIconError);
      EXPECT_EQ(duringMessage, colour::kBusyRed);
      EXPECT_EQ(background(h, c.field), colour::kInputYellow);
      EXPECT_EQ(h.ui.focus(), (std::pair<int, int>{kMain, c.field}));
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family0Program, Subtype16WarnsAbout2023AndGoesOn) {
  ModuleHarness h;
  ready(h, 16);
  h.setText(2023, "5");
  h.setText(2086, "4");
  h.setText(2106, t(651));
  Colour duringMessage = kNoColour;
  h.ui.onMessage = [&](const RecordedMessage& m) {
    if (m.title == t(197)) duringMessage = background(h, 2023);
  };
  const auto w = h.press(ctl::kProgram, 25000);
  EXPECT_EQ(duringMessage, colour::kBusyRed);
  EXPECT_EQ(background(h, 2023), colour::kInputYellow);
  ASSERT_GE(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ui.messages[1].title, t(197));
  EXPECT_EQ(h.ui.messages[1].text, t(196));
  EXPECT_EQ(h.ui.messages[1].flags, mb::kIconError);
  EXPECT_EQ(w.size(), 72u);
  EXPECT_TRUE(h.unlocked());
}

// A module that answers the status query (parameter 24) with `flag` at address 2.
void statusModule(ModuleHarness& h, int flag) {
  h.onWrite = [&h, flag](int a, int v) {
    if (a == 0 && v == 24) h.bus().set(0, 2, static_cast<uint8_t>(flag));
  };
}

TEST(Family0Program, Subtype16BlankAddressesGoAs255AndTheStatusIsQueried) {
  ModuleHarness h;
  ready(h, 16);
  statusModule(h, 1);
  h.setText(2088, "0");  // row 3: address 0 goes as it is, with its code
  h.setText(2108, t(655));
  h.setText(2076, "7");
  h.setText(2079, t(667));
  h.setText(2081, "30");
  const auto w = h.press(ctl::kProgram, 25000);
  Pairs expected;
  for (int p = 1; p <= 20; ++p) expected += p == 3 ? entry(3, 0, 5) : entry(p, 255, 0);
  expected += entry(22, 0, 0) + entry(21, 0, 0) + entry(23, 7, 17);
  expected += Pairs{{0, 24}, {1, 30}, {0, 24}};
  EXPECT_EQ(pairs(w), expected);
  std::vector<int> g = entryGaps(23);
  g.insert(g.end(), {400, 200 + 800});
  EXPECT_EQ(gaps(w), g);
  EXPECT_EQ(h.ctx->module.moduleModeFlag, 1);
  EXPECT_EQ(h.ui.messages.size(), 1u);  // a function in use and the module agrees
  EXPECT_TRUE(h.unlocked());
  EXPECT_EQ(h.ui.focus(), (std::pair<int, int>{kMain, 2074}));
}

TEST(Family0Program, Subtype16StatusNotices) {
  struct Case {
    const char* name;
    const char* address;  // of row 10, with function 10; nullptr = row left empty
    int flag;
    int first, second;  // 0 = no notice
  };
  for (const Case& c : {Case{"function, module 0", "9", 0, 641, 642},
                        Case{"function on address 0 counts, module 0", "0", 0, 641, 642},
                        Case{"function, module 1", "9", 1, 0, 0},
                        Case{"no function, module 1", nullptr, 1, 643, 644},
                        Case{"no function, module 0", nullptr, 0, 0, 0}}) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ready(h, 16);
    statusModule(h, c.flag);
    if (c.address) {
      h.setText(2095, c.address);
      h.setText(2115, t(660));
    }
    h.press(ctl::kProgram, 25000);
    EXPECT_EQ(h.ctx->module.moduleModeFlag, c.flag);
    if (c.first == 0) {
      EXPECT_EQ(h.ui.messages.size(), 1u);
    } else {
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(640));
      EXPECT_EQ(h.ui.messages[1].text, t(c.first) + "\n" + t(c.second));
      EXPECT_EQ(h.ui.messages[1].flags, mb::kIconInformation);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family0Program, Subtype16AfterAnAgreedQuitShowsNoNotice) {
  ModuleHarness h;
  ready(h, 16);
  statusModule(h, 0);
  h.setText(2095, "9");  // a function in use: a module answering 0 would get the notice
  h.setText(2115, t(660));
  h.ui.answerNext(mb::kAnswerYes);  // program
  h.ui.answerNext(mb::kAnswerYes);  // quit
  // After row 10 has gone out (each row takes 800 ms).
  h.ui.injectAt(h.clock.now() + 9000, {EventType::CloseBox, kMain, 0, 0});
  const int code = h.expectExit([&] { h.press(ctl::kProgram, 25000); });
  EXPECT_EQ(code, 0);
  std::vector<std::string> titles;
  for (const auto& m : h.ui.messages) titles.push_back(m.title);
  EXPECT_EQ(titles, (std::vector<std::string>{t(577), t(504)}));
}

TEST(Family0Program, Subtype17BaseWritesAndPauses) {
  ModuleHarness h;
  ready(h, 17);
  h.ui.setState(kMain, 2216, 1);  // base part only
  h.setText(2140, "10");
  h.setText(2143, t(677));
  h.setText(2147, "44");
  h.setText(2221, "8");
  const auto w = h.press(ctl::kProgram, 8000);
  const Pairs expected = entry(21, 10, 17) + entry(22, 0, 0) + entry(23, 0, 0) +
                         Pairs{{0, 27}, {2, 8}} + entry(28, 100, 18) + Pairs{{0, 24}, {1, 44}};
  EXPECT_EQ(pairs(w), expected);
  std::vector<int> g = entryGaps(3);
  g.insert(g.end(), {400, 200, 400, 200, 200, 400});
  EXPECT_EQ(gaps(w), g);
  EXPECT_EQ(h.ui.messages.size(), 1u);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family0Program, Subtype17OnlyExtensions) {
  ModuleHarness h;
  ready(h, 17);
  h.ui.setState(kMain, 2217, 1);
  h.setText(2152, "20");
  h.setText(2172, t(656));
  const auto w = h.press(ctl::kProgram, 16000);
  Pairs expected = entry(1, 20, 6);
  for (int p = 2; p <= 18; ++p) expected += entry(p, 255, 0);
  EXPECT_EQ(pairs(w), expected);
  std::vector<int> g = entryGaps(18);
  g.pop_back();
  EXPECT_EQ(gaps(w), g);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family0Program, Subtype17DimmingTimeAndParameter28) {
  struct Case {
    const char* dimming;
    const char* p2220;
    const char* p2219;
    Pairs dimmingWrites;
    Pairs p28;
  };
  const Case cases[] = {
      {"0", "20", "50", {}, entry(28, 50, 20)},
      {"17", "20", "", {}, entry(28, 100, 18)},
      {"", "", "", {}, entry(28, 100, 18)},
      {"1", "0", "50", {{0, 27}, {2, 1}}, entry(28, 100, 18)},
      {"16", "7", "9", {{0, 27}, {2, 16}}, entry(28, 9, 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dimming) + "/" + c.p2220 + "/" + c.p2219);
    ModuleHarness h;
    ready(h, 17);
    h.ui.setState(kMain, 2216, 1);
    h.setText(2221, c.dimming);
    h.setText(2220, c.p2220);
    h.setText(2219, c.p2219);
    const Pairs w = pairs(h.press(ctl::kProgram, 8000));
    EXPECT_EQ(wrote(w, 27), !c.dimmingWrites.empty());
    if (!c.dimmingWrites.empty()) {
      EXPECT_EQ(from(w, 27, 2), c.dimmingWrites);
    }
    EXPECT_EQ(from(w, 28, 3), c.p28);
  }
}

struct FollowCase {
  const char* name;
  std::vector<int> texts;  // function texts of rows 1.. (0 = none chosen)
  std::vector<int> codes;  // codes written for those rows
  int messages;            // texts 710/718 shown
  int correctedRow;        // 0-based row whose list now shows text 655, -1 = none
};

TEST(Family0Program, Subtype17FunctionFollowingTwentySeven) {
  const FollowCase cases[] = {
      {"27 then 3", {676, 653}, {27, 5}, 1, 1},
      {"27 27 3", {676, 676, 653}, {27, 27, 5}, 1, 2},
      {"27 then 5", {676, 655, 653}, {27, 5, 3}, 0, -1},
      {"3 then 3", {653, 653}, {3, 3}, 0, -1},
  };
  for (const FollowCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ready(h, 17);
    h.ui.setState(kMain, 2217, 1);
    // Every list of the test offers 27, so two 27s can follow each other.
    for (size_t i = 0; i < c.texts.size(); ++i) {
      const int list = 2172 + static_cast<int>(i);
      std::vector<std::string> items;
      for (int n = 651; n <= 677; ++n) items.push_back(t(n));
      items.emplace_back();
      h.ui.setItems(kMain, list, items);
      h.setText(2152 + static_cast<int>(i), std::to_string(30 + i));
      h.setText(list, t(c.texts[i]));
    }
    // A blank row after a single 27 would be corrected as well; a row of 5 ends them.
    const int next = static_cast<int>(c.texts.size());
    h.setText(2152 + next, "40");
    h.setText(2172 + next, t(655));
    const Pairs w = pairs(h.press(ctl::kProgram, 16000));
    for (size_t i = 0; i < c.codes.size(); ++i)
      EXPECT_EQ(from(w, static_cast<int>(i) + 1, 3),
                entry(static_cast<int>(i) + 1, 30 + static_cast<int>(i), c.codes[i]))
          << "row " << i + 1;
    ASSERT_EQ(h.ui.messages.size(), 1u + c.messages);
    if (c.messages > 0) {
      EXPECT_EQ(h.ui.messages[1].title, t(710));
      EXPECT_EQ(h.ui.messages[1].text, t(718));
      EXPECT_EQ(h.ui.messages[1].flags, mb::kOk);
      EXPECT_EQ(h.text(2172 + c.correctedRow), t(655));
    }
    EXPECT_EQ(w.size(), 54u);
    EXPECT_TRUE(h.unlocked());
  }
}

struct CancelCase {
  const char* name;
  int subtype;
  Setup fill;
  uint32_t cancelAt;  // ms after the click
  Pairs expected;
};

TEST(Family0Program, CancelStopsBetweenRows) {
  const CancelCase cases[] = {
      // Row 2 is under way at 1000 ms: it is finished, nothing after it.
      {"15 in table A", 15, [](ModuleHarness&) {}, 1000, entry(1, 0, 0) + entry(2, 0, 0)},
      {"16 in the rows: the status query still runs", 16, [](ModuleHarness&) {}, 300,
       entry(1, 255, 0) + Pairs{{0, 24}}},
      // The base part is one block: a cancel in it stops before parameter 24.
      {"17 in the base part", 17, [](ModuleHarness& h) { h.setText(2221, "3"); }, 300,
       entry(21, 0, 0) + entry(22, 0, 0) + entry(23, 0, 0) + Pairs{{0, 27}, {2, 3}} +
           entry(28, 100, 18)},
      {"17 in the outputs", 17, [](ModuleHarness& h) { h.ui.setState(kMain, 2217, 1); }, 1100,
       entry(1, 255, 0) + entry(2, 255, 0)},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ready(h, c.subtype);
    c.fill(h);
    h.ui.injectAt(h.clock.now() + c.cancelAt, {EventType::Click, kMain, ctl::kCancel, 0});
    const auto w = h.press(ctl::kProgram, 25000);
    EXPECT_EQ(pairs(w), c.expected);
    EXPECT_TRUE(h.unlocked());
  }
}

// ------------------------------------------------------------------------------------
// Read-out.

using AnswerTable = std::map<int, std::array<int, 3>>;

// A module that answers parameter p with a1..a3 from the table, 0s for anything else.
void answering(ModuleHarness& h, const AnswerTable& table) {
  h.onWrite = [&h, table](int a, int v) {
    if (a != 0) return;
    const auto it = table.find(v);
    const std::array<int, 3> x = it == table.end() ? std::array<int, 3>{} : it->second;
    for (int k = 0; k < 3; ++k) h.bus().set(0, 1 + k, static_cast<uint8_t>(x[k]));
  };
}

// Reads with the given answers; returns the parameter numbers asked for.
std::vector<int> readWith(ModuleHarness& h, const AnswerTable& table, uint32_t ms = 30000) {
  answering(h, table);
  std::vector<int> asked;
  for (const auto& [address, value] : pairs(h.press(ctl::kRead, ms)))
    if (address == 0) asked.push_back(value);
  return asked;
}

std::vector<int> range(int first, int last) {
  std::vector<int> r;
  for (int i = first; i <= last; ++i) r.push_back(i);
  return r;
}

std::vector<int> join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(Family0Read, Subtype15Decoding) {
  ModuleHarness h;
  ready(h, 15);
  const auto asked = readWith(h, {{27, {17, 0, 0}},
                                  {1, {5, 2, 0}},
                                  {2, {0, 3, 0}},  // no address: row stays empty
                                  {11, {7, 6, 0}},
                                  {12, {8, 30, 0}},  // no such function: nothing chosen
                                  {22, {3, 18, 0}},
                                  {21, {4, 17, 0}},
                                  {24, {12, 0, 0}},
                                  {25, {4, 0, 0}},
                                  {26, {6, 0, 0}}});
  EXPECT_EQ(asked, join({{27}, range(1, 20), {22, 21, 23, 24, 25, 26}}));
  EXPECT_EQ(h.text(2028), "  1.7");
  EXPECT_EQ(h.text(2032), "005");
  EXPECT_EQ(h.text(2042), t(152));
  EXPECT_EQ(h.text(2033), "");
  EXPECT_EQ(h.text(2043), "");  // the cleared list: its empty item
  EXPECT_EQ(h.text(2052), "007");
  EXPECT_EQ(h.text(2062), t(156));
  EXPECT_EQ(h.text(2053), "008");
  EXPECT_EQ(h.text(2063), "");
  EXPECT_EQ(h.text(2022), "003");
  EXPECT_EQ(h.text(2025), t(168));
  EXPECT_EQ(h.text(2023), "004");
  EXPECT_EQ(h.text(2026), t(167));
  EXPECT_EQ(h.text(2024), "");
  EXPECT_EQ(h.text(2029), "12");
  EXPECT_EQ(h.text(2031), "4");
  EXPECT_EQ(h.text(2030), "6");
  EXPECT_EQ(background(h, 2032), colour::kInputYellow);
  EXPECT_EQ(h.ui.messages.size(), 1u);
  EXPECT_TRUE(h.unlocked());
}

struct VersionCase {
  int subtype;
  int answer;
  int field;
  const char* shown;  // nullptr: the wrong-module message instead
  int message;
};

TEST(Family0Read, VersionAnswers) {
  const VersionCase cases[] = {
      {15, 17, 2028, "  1.7", 0},   {15, 15, 2028, "  1.5", 0},  {15, 0, 2028, "", 0},
      {15, 18, 2028, nullptr, 339}, {16, 32, 2080, "  2.00", 0}, {16, 35, 2080, "  2.03", 0},
      {16, 31, 2080, nullptr, 340}, {17, 35, 2146, "  2.03", 0}, {17, 31, 2146, nullptr, 340},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.subtype) + " answers " + std::to_string(c.answer));
    ModuleHarness h;
    ready(h, c.subtype);
    const auto asked = readWith(h, {{27, {c.answer, 0, 0}}});
    if (c.shown) {
      EXPECT_EQ(h.text(c.field), c.shown);
      EXPECT_GT(asked.size(), 1u);
    } else {
      EXPECT_EQ(asked, std::vector<int>{27});
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(338));
      EXPECT_EQ(h.ui.messages[1].text, t(c.message));
    }
    if (c.subtype != 15) {
      EXPECT_EQ(background(h, c.field), colour::kDisplayGrey);
    }
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family0Read, Subtype16Decoding) {
  ModuleHarness h;
  ready(h, 16);
  const auto asked = readWith(h, {{27, {35, 0, 0}},
                                  {24, {30, 1, 0}},
                                  {26, {2, 1, 0}},
                                  {25, {4, 3, 0}},
                                  {1, {10, 3, 25}},   // input function on a 25: pink
                                  {2, {11, 17, 57}},  // output function on a 57: pink
                                  {3, {12, 21, 0}},
                                  {4, {13, 22, 0}},  // 22 and up only with an extension
                                  {5, {0, 3, 25}},
                                  {6, {0, 0, 57}},
                                  {7, {5, 6, 25}},
                                  {8, {6, 2, 57}},
                                  {22, {20, 18, 0}},
                                  {21, {21, 4, 0}},
                                  {23, {22, 17, 0}}});
  EXPECT_EQ(asked, join({{27, 24, 26, 25}, range(1, 20), {22, 21, 23}}));
  EXPECT_EQ(h.text(2080), "  2.03");
  EXPECT_EQ(h.text(2081), "30");
  EXPECT_EQ(h.ctx->module.moduleModeFlag, 1);
  EXPECT_EQ(h.text(2082), "4");
  EXPECT_EQ(h.text(2084), "2");
  EXPECT_EQ(background(h, 2082), colour::kDisplayGrey);
  EXPECT_EQ(h.text(2083), "4");
  EXPECT_EQ(background(h, 2083), colour::kDisplayGrey);
  EXPECT_EQ(h.text(2085), "3");
  EXPECT_EQ(background(h, 2085), colour::kMismatchPink);

  struct Row {
    int n;
    const char* field;
    int text;  // 0 = nothing selected
    Colour fieldColour;
  };
  for (const Row& r :
       {Row{1, "010", 653, colour::kMarkedPink}, Row{2, "011", 677, colour::kMarkedPink},
        Row{3, "012", 671, colour::kMarkedPink}, Row{4, "013", 0, colour::kMarkedPink},
        Row{5, "", 0, colour::kInputYellow}, Row{7, "005", 656, colour::kInputYellow},
        Row{8, "006", 652, colour::kInputYellow}, Row{9, "", 0, colour::kInputYellow}}) {
    SCOPED_TRACE(r.n);
    EXPECT_EQ(h.text(2086 + r.n - 1), r.field);
    EXPECT_EQ(h.text(2106 + r.n - 1), r.text ? t(r.text) : "");
    EXPECT_EQ(background(h, 2086 + r.n - 1), r.fieldColour);
  }
  // Each status label shows the second row of its line.
  struct Label {
    int line;
    int text;
    Colour colour;
  };
  for (const Label& l : {Label{0, 648, colour::kStatusBlue}, Label{1, 649, colour::kStatusGrey},
                         Label{2, 648, colour::kStatusBlue}, Label{3, 648, colour::kStatusBlue},
                         Label{4, 649, colour::kStatusGrey}}) {
    SCOPED_TRACE(l.line);
    EXPECT_EQ(h.text(2126 + l.line), t(l.text));
    EXPECT_EQ(textColour(h, 2126 + l.line), l.colour);
  }
  EXPECT_EQ(h.text(2074), "020");
  EXPECT_EQ(h.text(2077), t(168));
  EXPECT_EQ(h.text(2075), "021");
  EXPECT_EQ(h.text(2078), t(654));
  EXPECT_EQ(background(h, 2075), colour::kMarkedPink);  // extensions connected
  EXPECT_EQ(h.text(2076), "022");
  EXPECT_EQ(h.text(2079), t(667));
  EXPECT_EQ(h.ui.messages.size(), 1u);  // rows in use and the module in extension mode
  EXPECT_TRUE(h.unlocked());
}

TEST(Family0Read, Subtype16ConsistencyNotice) {
  struct Case {
    const char* name;
    int flag;
    bool rows;
    int first, second;
  };
  for (const Case& c :
       {Case{"rows, module 0", 0, true, 641, 642}, Case{"no rows, module 1", 1, false, 643, 644},
        Case{"rows, module 1", 1, true, 0, 0}, Case{"no rows, module 0", 0, false, 0, 0},
        // A cancel during the last query leaves the form incomplete: no verdict on it.
        Case{"rows, module 0, cancelled in the last query", 0, true, 0, 0}}) {
    SCOPED_TRACE(c.name);
    ModuleHarness h;
    ready(h, 16);
    AnswerTable table = {{27, {32, 0, 0}}, {24, {30, c.flag, 0}}};
    if (c.rows) table[6] = {40, 9, 0};
    answering(h, table);
    if (std::string(c.name).find("cancelled") != std::string::npos) {
      auto module = h.onWrite;
      h.onWrite = [&h, module](int a, int v) {
        module(a, v);
        if (a == 0 && v == 23)
          h.ui.injectAt(h.clock.now() + 100, {EventType::Click, kMain, ctl::kCancel, 0});
      };
    }
    h.press(ctl::kRead, 30000);
    if (c.first == 0) {
      EXPECT_EQ(h.ui.messages.size(), 1u);
    } else {
      ASSERT_EQ(h.ui.messages.size(), 2u);
      EXPECT_EQ(h.ui.messages[1].title, t(640));
      EXPECT_EQ(h.ui.messages[1].text, t(c.first) + "\n" + t(c.second));
      EXPECT_EQ(h.ui.messages[1].flags, mb::kIconInformation);
    }
    EXPECT_EQ(background(h, 2075), colour::kInputYellow);  // no extensions connected
  }
}

std::vector<std::string> texts(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<std::string> items;
  for (auto [from, to] : ranges)
    for (int n = from; n <= to; ++n) items.push_back(t(n));
  items.emplace_back();
  return items;
}

TEST(Family0Read, Subtype17Decoding) {
  ModuleHarness h;
  ready(h, 17);
  const auto asked = readWith(h, {{27, {35, 9, 0}},
                                  {21, {10, 17, 0}},
                                  {22, {11, 5, 0}},
                                  {28, {100, 18, 0}},
                                  {24, {40, 1, 0}},
                                  {26, {2, 1, 0}},
                                  {25, {6, 4, 0}},
                                  {1, {50, 27, 228}},
                                  {2, {51, 3, 228}},  // input function on a 228: pink
                                  {3, {52, 17, 228}},
                                  {4, {0, 0, 0}},  // no extension: its rows are not asked
                                  {7, {60, 2, 234}},
                                  {8, {0, 0, 234}},
                                  {9, {61, 9, 99}},      // unknown kind: whole list, grey
                                  {10, {62, 200, 228}},  // no function: like no address
                                  {11, {0, 0, 0}},       // skips row 12, not row 13
                                  {13, {0, 0, 228}},
                                  {14, {63, 6, 228}},
                                  {15, {64, 1, 234}}});
  EXPECT_EQ(asked, join({{27, 21, 22, 23, 28, 24, 26, 25},
                         {1, 2, 3, 4, 7, 8, 9, 10, 11, 13, 14, 15, 16}}));
  EXPECT_EQ(h.text(2146), "  2.03");
  EXPECT_EQ(h.text(2221), "9");
  EXPECT_EQ(h.text(2140), "010");
  EXPECT_EQ(h.text(2143), t(677));
  EXPECT_EQ(h.text(2141), "011");
  EXPECT_EQ(h.text(2144), t(655));
  EXPECT_EQ(h.text(2142), "");
  EXPECT_EQ(h.text(2219), "100");
  EXPECT_EQ(h.text(2220), "18");
  EXPECT_EQ(h.text(2147), "40");
  EXPECT_EQ(h.ctx->module.moduleModeFlag, 1);
  EXPECT_EQ(h.text(2148), "2");
  EXPECT_EQ(h.text(2150), "1");
  EXPECT_EQ(h.text(2149), "2");
  EXPECT_EQ(h.text(2151), "1");
  for (int c : {2146, 2148, 2149, 2150, 2151})
    EXPECT_EQ(background(h, c), colour::kDisplayGrey) << c;

  // Lists refilled by the kind of extension behind them; only "A" outputs offer 27.
  const auto outputs = texts({{655, 666}, {677, 677}, {668, 675}});
  EXPECT_EQ(h.ui.items(kMain, 2172), texts({{655, 666}, {677, 677}, {668, 675}, {676, 676}}));
  EXPECT_EQ(h.ui.items(kMain, 2173), outputs);
  EXPECT_EQ(h.ui.items(kMain, 2178), texts({{651, 654}}));
  EXPECT_EQ(h.ui.items(kMain, 2180), texts({{651, 666}, {677, 677}, {668, 675}}));
  EXPECT_EQ(h.ui.items(kMain, 2185), outputs);
  EXPECT_EQ(h.ui.items(kMain, 2186), texts({{651, 654}}));
  struct Row {
    int n;
    const char* field;
    int text;  // 0 = nothing selected
    Colour fieldColour;
  };
  for (const Row& r :
       {Row{1, "050", 676, colour::kInputYellow}, Row{2, "051", 0, colour::kMarkedPink},
        Row{3, "052", 677, colour::kInputYellow}, Row{4, "", 0, colour::kInputYellow},
        Row{7, "060", 652, colour::kInputYellow}, Row{8, "", 0, colour::kInputYellow},
        Row{9, "061", 0, colour::kMarkedPink}, Row{10, "", 0, colour::kInputYellow},
        Row{14, "063", 656, colour::kInputYellow}, Row{15, "064", 651, colour::kInputYellow}}) {
    SCOPED_TRACE(r.n);
    EXPECT_EQ(h.text(2152 + r.n - 1), r.field);
    EXPECT_EQ(h.text(2172 + r.n - 1), r.text ? t(r.text) : "");
    EXPECT_EQ(background(h, 2152 + r.n - 1), r.fieldColour);
  }
  // Status labels k = 0..17: the first of each group tells the kind; a group without an
  // extension shows text 649 on all three.
  const int grey[] = {3, 4, 5, 6, 9, 10, 11, 15, 16, 17};
  for (int k : grey) {
    EXPECT_EQ(h.text(2192 + k), t(649)) << k;
    EXPECT_EQ(textColour(h, 2192 + k), colour::kStatusGrey) << k;
  }
  EXPECT_EQ(h.text(2192), t(647));
  EXPECT_EQ(textColour(h, 2192), colour::kStatusBlue);
  EXPECT_EQ(h.text(2204), t(648));
  EXPECT_EQ(textColour(h, 2204), colour::kStatusBlue);
  for (int k : {1, 2, 7, 8, 13, 14}) EXPECT_EQ(h.text(2192 + k), "") << k;
  EXPECT_EQ(h.ui.messages.size(), 1u);
  EXPECT_TRUE(h.unlocked());
}

TEST(Family0Read, Subtype17CheckBoxesChooseTheGroups) {
  struct Case {
    int box;
    std::vector<int> asked;
  };
  const std::vector<int> base = {27, 21, 22, 23, 28, 24};
  const std::vector<int> extensions = {26, 25, 1, 4, 7, 10, 13, 16};
  for (const Case& c :
       {Case{0, join({base, extensions})}, Case{2216, base}, Case{2217, extensions}}) {
    SCOPED_TRACE(c.box);
    ModuleHarness h;
    ready(h, 17);
    if (c.box) h.ui.setState(kMain, c.box, 1);
    EXPECT_EQ(readWith(h, {{27, {32, 0, 0}}}), c.asked);
    EXPECT_TRUE(h.unlocked());
  }
}

TEST(Family0Read, CancelSkipsTheRemainingSteps) {
  ModuleHarness h;
  ready(h, 15);
  h.ui.injectAt(h.clock.now() + 1000, {EventType::Click, kMain, ctl::kCancel, 0});
  const auto asked = readWith(h, {{27, {15, 0, 0}}, {1, {9, 1, 0}}, {2, {10, 1, 0}}});
  EXPECT_EQ(asked, (std::vector<int>{27, 1}));
  EXPECT_EQ(h.text(2032), "009");
  EXPECT_EQ(h.text(2033), "");
  EXPECT_TRUE(h.unlocked());
}

TEST(Family0Read, Subtype15CancelBetweenParameters25And26) {
  ModuleHarness h;
  ready(h, 15);
  answering(h, {{27, {15, 0, 0}}, {25, {4, 0, 0}}, {26, {6, 0, 0}}});
  auto module = h.onWrite;
  h.onWrite = [&h, module](int a, int v) {
    module(a, v);
    if (a == 0 && v == 25)
      h.ui.injectAt(h.clock.now() + 100, {EventType::Click, kMain, ctl::kCancel, 0});
  };
  const auto w = h.press(ctl::kRead, 30000);
  EXPECT_EQ(pairs(w).back(), (std::pair<int, int>{0, 25}));
  EXPECT_EQ(h.text(2031), "4");
  EXPECT_EQ(h.text(2030), "");
  EXPECT_TRUE(h.unlocked());
}

// ------------------------------------------------------------------------------------
// Round trips: a module that keeps what it is given under the last parameter number.

struct Memory {
  AnswerTable store;
  int selected = 0;
};

void remembering(ModuleHarness& h, Memory& m) {
  h.onWrite = [&h, &m](int a, int v) {
    if (a == 0) {
      m.selected = v;
      const auto x = m.store[v];
      for (int k = 0; k < 3; ++k) h.bus().set(0, 1 + k, static_cast<uint8_t>(x[k]));
    } else if (a >= 1 && a <= 3) {
      m.store[m.selected][a - 1] = v;
    }
  };
}

// The form's fields as a map control -> text.
std::map<int, std::string> snapshot(const ModuleHarness& h, const std::vector<int>& controls) {
  std::map<int, std::string> s;
  for (int c : controls) s[c] = h.text(c);
  return s;
}

void programClearRead(ModuleHarness& h) {
  h.press(ctl::kProgram, 30000);
  clearForm(*h.ctx, false);
  h.press(ctl::kRead, 30000);
}

TEST(Family0RoundTrip, Subtype15) {
  ModuleHarness h;
  ready(h, 15);
  Memory m;
  m.store[27] = {15, 0, 0};
  remembering(h, m);
  std::map<int, std::string> entered;
  for (int i = 0; i < 10; i += 2) {
    entered[2032 + i] = pad(10 + i, 3);  // addresses come back with three digits
    entered[2042 + i] = t(151 + i % 4);
    entered[2052 + i] = pad(40 + i, 3);
    entered[2062 + i] = t(155 + i / 2);
  }
  entered[2023] = "099";
  entered[2026] = t(167);
  entered[2029] = "12";
  for (const auto& [c, text] : entered) h.setText(c, text);
  programClearRead(h);
  std::map<int, std::string> expected;
  for (int c = 2022; c <= 2071; ++c) expected[c] = entered.count(c) ? entered[c] : "";
  expected[2028] = "  1.5";
  expected[2030] = "0";  // the counts the module reports: this one reports none
  expected[2031] = "0";
  EXPECT_EQ(snapshot(h, range(2022, 2071)), expected);
  EXPECT_EQ(h.ui.messages.size(), 2u);  // the two questions
}

TEST(Family0RoundTrip, Subtype16) {
  ModuleHarness h;
  ready(h, 16);
  Memory m;
  m.store[27] = {35, 0, 0};
  m.store[24] = {0, 1, 0};  // the module works with extension rows
  remembering(h, m);
  std::map<int, std::string> entered;
  // Every row filled: a blank one would go as 255 and come back as "255".
  for (int i = 0; i < 20; ++i) {
    entered[2086 + i] = pad(20 + i, 3);
    entered[2106 + i] = t(651 + i % 16);
  }
  entered[2074] = "005";
  entered[2077] = t(168);
  entered[2075] = "006";
  entered[2078] = t(660);
  entered[2076] = "007";
  entered[2079] = t(667);
  entered[2081] = "30";
  for (const auto& [c, text] : entered) h.setText(c, text);
  programClearRead(h);
  for (const auto& [c, text] : entered) EXPECT_EQ(h.text(c), text) << c;
  EXPECT_EQ(h.text(2080), "  2.03");
  EXPECT_EQ(h.ui.messages.size(), 2u);  // no notice either way
}

TEST(Family0RoundTrip, Subtype17) {
  ModuleHarness h;
  ready(h, 17);
  Memory m;
  m.store[27] = {35, 0, 0};
  m.store[26] = {2, 1, 0};
  m.store[25] = {6, 3, 0};
  // The kind of each extension is the module's own: 228 for the first three, 234 after.
  const int kinds[6] = {228, 228, 228, 234, 234, 234};
  for (int n = 1; n <= 18; ++n) m.store[n] = {0, 0, kinds[(n - 1) / 3]};
  remembering(h, m);
  std::map<int, std::string> entered = {
      {2140, "010"},  {2143, t(677)}, {2141, "011"}, {2142, "012"}, {2144, t(655)},
      {2145, t(661)}, {2220, "20"},   {2219, "60"},  {2221, "9"},   {2147, "40"}};
  // Output codes on the 228 groups (27 followed by 5), input codes on the 234 groups.
  const int outputTexts[9] = {676, 655, 677, 656, 657, 675, 658, 659, 660};
  for (int i = 0; i < 18; ++i) {
    entered[2152 + i] = pad(50 + i, 3);
    entered[2172 + i] = t(i < 9 ? outputTexts[i] : 651 + i % 4);
  }
  for (const auto& [c, text] : entered) h.setText(c, text);
  programClearRead(h);
  for (const auto& [c, text] : entered) EXPECT_EQ(h.text(c), text) << c;
  EXPECT_EQ(h.text(2146), "  2.03");
  EXPECT_EQ(h.text(2149), "2");
  EXPECT_EQ(h.text(2151), "1");
  for (int k = 0; k < 18; k += 3) EXPECT_EQ(h.text(2192 + k), t(k < 9 ? 647 : 648)) << k;
  for (int i = 0; i < 18; ++i)
    EXPECT_EQ(background(h, 2152 + i), colour::kInputYellow) << i;  // each on its kind
  EXPECT_EQ(h.ui.messages.size(), 2u);
}

}  // namespace
}  // namespace kw::test
