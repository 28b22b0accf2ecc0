// The register window of each family: what the program writes, and what a query of each
// parameter then shows on addresses 1..3.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "module_test_util.h"

namespace kw::sim::test {
namespace {

struct WindowCase {
  std::string name;
  int family;
  int subtype;
  const char* writes;   // after entering the programming mode, "address:value ..."
  const char* queries;  // then the read-out's queries, "parameter=a1,a2,a3 ..."
};

// Queries "p=a1,a2,a3 ..." as (p, answer) pairs.
std::vector<std::pair<int, ParameterValue>> parseQueries(const char* text) {
  std::vector<std::pair<int, ParameterValue>> out;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    int p = 0, a1 = 0, a2 = 0, a3 = 0;
    EXPECT_EQ(std::sscanf(word.c_str(), "%d=%d,%d,%d", &p, &a1, &a2, &a3), 4) << word;
    out.push_back(
        {p, {static_cast<uint8_t>(a1), static_cast<uint8_t>(a2), static_cast<uint8_t>(a3)}});
  }
  return out;
}

// The program's sequences (and writes it never makes, to bytes the module keeps to
// itself), then what each query shows.
// clang-format off
const std::vector<WindowCase> kWindowCases{
    {"0/15 tables, fixed rows, counts (26: table A, 25: table B), version", 0, 15,
     "0:1 1:5 2:3  0:11 1:40 2:7  0:12 1:0 2:0  0:22 1:0 2:0  0:21 1:77 2:9  0:24 1:88 "
     "0:27 1:99 2:44  0:25 1:9",
     "1=5,3,0 11=40,7,0 12=0,0,0 22=0,0,0 21=77,9,0 24=88,0,0 27=15,0,0 26=1,0,0 25=1,0,0"},
    {"0/15 factory", 0, 15, "", "22=12,0,0 1=0,0,0 26=0,0,0 25=0,0,0"},
    // Rows 1..8 are on input units (57), 9..16 on output units (25), 17..20 on none. A
    // blank row (255) reads back empty; 24's second byte is 1 while a row is in use; 25
    // counts the rows in use per kind of unit, 26 the units (two rows each).
    {"0/16 rows on units, blank row, mode flag, counts", 0, 16,
     "0:1 1:5 2:2  0:2 1:255 2:0  0:9 1:30 2:6  0:9 3:99  0:22 1:60 2:18  0:24 1:70 2:0 "
     "0:26 1:9",
     "1=5,2,57 2=0,0,57 9=30,6,25 17=0,0,0 22=60,18,0 24=70,1,0 25=1,1,0 26=4,4,0 27=35,0,0"},
    {"0/16 no rows", 0, 16, "0:24 1:70  0:3 1:255 2:0",
     "24=70,0,0 25=0,0,0 22=11,0,0 3=0,0,57"},
    // Rows 1..6 on input units (234), 7..12 on output units (228), units of three rows.
    // 27: the version stays, the dimming time is taken.
    {"0/17 base part, dimming, pair, extension rows", 0, 17,
     "0:21 1:10 2:17  0:27 2:12  0:27 1:50  0:28 1:50 2:20  0:24 1:44  0:1 1:11 2:3 "
     "0:7 1:12 2:27  0:8 1:255 2:0  0:13 1:14 2:5",
     "21=10,17,0 27=36,12,0 28=50,20,0 24=44,1,0 1=11,3,234 7=12,27,228 8=0,0,228 "
     "13=14,5,0 26=2,2,0 25=1,1,0"},
    {"0/17 factory", 0, 17, "",
     "21=10,0,0 27=36,8,0 28=100,18,0 24=0,0,0 4=0,0,234 12=0,0,228 13=0,0,0 25=0,0,0"},
    {"1/18 addresses and additional value", 1, 18, "0:1 1:20 2:21  0:12 2:7",
     "1=20,21,0 12=31,7,0"},
    {"1/18 factory", 1, 18, "", "1=14,0,0 12=31,0,0"},
    // After the command the read-out's clearing writes store nothing, and a command
    // without 64 leaves parameter 1 alone.
    {"1/19 command, then the read-out's clearing writes", 1, 19,
     "0:12 1:25 3:26 2:64  0:1 1:0 2:0 3:0  0:14 1:0 2:0 3:0  0:12 1:50 3:51 2:0 "
     "0:11 1:0 2:0 3:0",
     "1=25,26,0 14=1,5,0 11=0,1,1 12=50,0,51"},
    {"1/19 additional address", 1, 19, "0:11 1:30 2:40 3:50  0:14 1:9",
     "11=30,40,50 14=1,5,0 1=13,0,0"},
    // The set command: output 3 (parameters 4 and 68), one selector per value; 13 writes
    // the additional address into 11, a 0 included.
    {"1/19 output values and additional address through commands", 1, 19,
     "0:12 1:3 3:41 2:1 3:42 2:2 3:43 2:4 3:44 2:8 3:45 2:16 3:46 2:32  0:13 1:20 2:0 3:40",
     "4=41,42,43 68=44,45,46 11=20,0,40 1=13,0,0"},
    {"2 settings (sub-type 11), steps (12) and patterns (13)", 2, 0,
     "0:1 1:90 2:30 3:14  0:3 1:5 2:9  0:4 1:92  0:2 1:7  0:10 1:1 2:44 2:44  0:11 3:25",
     "1=90,30,14 2=48,0,0 3=5,4,2 4=92,0,0 10=1,44,0 11=3,32,25 57=3,32,0"},
    {"3", 3, 0, "0:1 1:42  0:2 1:74  0:3 1:5  0:132 1:9",
     "1=42,0,0 2=74,0,0 3=5,0,0 132=1,0,0 133=2,0,0 130=1,0,0 131=0,0,0"},
    {"3 factory", 3, 0, "", "1=16,0,0 2=10,0,0 3=0,0,0"},
    {"4 main part and both kinds of rows", 4, 0,
     "0:1 1:33  0:2 1:181  0:3 1:5  0:10 1:40  0:30 1:165  0:50 1:41  0:70 1:90  0:133 1:7",
     "1=33,0,0 2=181,0,0 3=5,0,0 10=40,0,0 30=165,0,0 50=41,0,0 70=90,0,0 132=2,0,0 "
     "133=1,0,0"},
    {"5", 5, 0, "0:1 1:31  0:2 1:30  0:3 1:0",
     "1=31,0,0 2=30,0,0 3=0,0,0 132=1,0,0 133=3,0,0 130=1,0,0 131=1,0,0"},
    {"6", 6, 0, "0:1 1:31  0:2 1:5  0:3 1:133  0:10 1:67",
     "1=31,0,0 2=5,0,0 3=133,0,0 4=3,0,0 10=67,0,0"},
    {"7", 7, 0, "0:1 1:12  0:2 1:13  0:3 1:53  0:10 1:240",
     "1=12,0,0 2=13,0,0 3=53,0,0 4=0,0,0 10=240,0,0"},
};
// clang-format on

TEST(ModuleWindow, ProgramThenQueryShowsWhatWasProgrammed) {
  for (const auto& c : kWindowCases) {
    SCOPED_TRACE(c.name);
    ModuleRig rig;
    const auto m = rig.module(c.family, c.subtype);
    ASSERT_TRUE(m);
    rig.enter(*m);
    ASSERT_TRUE(m->inProgrammingMode());
    rig.writeAll(parseWrites(c.writes));
    for (const auto& [p, answer] : parseQueries(c.queries)) {
      EXPECT_EQ(rig.ask(*m, p), answer) << "parameter " << p;
      EXPECT_EQ(m->parameter(p), answer) << "parameter " << p;
    }
    rig.switchOff();
    EXPECT_FALSE(m->inProgrammingMode());
  }
}

TEST(ModuleWindow, AnswerComesAfterTheDelay) {
  ModuleRig rig;
  rig.switchOn(40, 16);
  rig.write(0, 1, kAnswerDelayMs - 1);
  EXPECT_EQ(rig.window(), (ParameterValue{0, 0, 0}));
  rig.clock.sleep(1);
  EXPECT_EQ(rig.window(), (ParameterValue{16, 0, 0}));
}

TEST(ModuleWindow, ParameterNumber255LetsTheWindowGo) {
  ModuleRig rig;
  const auto m = rig.module(3);
  rig.switchOn(40, 16);
  rig.write(0, 255);
  rig.write(1, 99, 50);
  EXPECT_EQ(rig.get(1), 99);  // no answer, and nothing stored
  EXPECT_EQ(m->parameter(1)[0], 16);
  EXPECT_EQ(m->parameter(255), (ParameterValue{0, 0, 0}));
}

TEST(ModuleWindow, OnlyTheSelectedModuleServesIt) {
  ModuleRig rig;
  // No module in programming mode: the host's values stay and nobody stores them.
  rig.writeAll({{0, 132}, {1, 77}});
  EXPECT_EQ(rig.window(), (ParameterValue{77, 0, 0}));
  for (const auto& m : rig.modules) EXPECT_NE(m->parameter(132)[0], 77);
  // Family 4 in programming mode: its version, not family 3's.
  rig.switchOn(41, 17);
  EXPECT_EQ(rig.query(132), (ParameterValue{2, 0, 0}));
  rig.writeAll({{0, 1}, {1, 44}});
  EXPECT_EQ(rig.module(4)->parameter(1)[0], 44);
  EXPECT_EQ(rig.module(3)->parameter(1)[0], 16);
}

TEST(ModuleWindow, Servo18ShowsItsVersionOnlyAfterTheZeroWrite) {
  ModuleRig rig;
  const auto m = rig.module(1, 18);
  rig.switchOn(45, 14);
  rig.writeAll({{0, 12}, {2, 9}});
  rig.write(0, 255);  // no parameter: what the host puts on 1 stays there
  rig.write(1, 5);
  // Selecting 12 leaves the window as it stands; clearing address 1 brings the version.
  EXPECT_EQ(rig.query(12)[0], 5);
  rig.write(1, 0, 0);
  EXPECT_EQ(rig.get(1), 0);
  rig.clock.sleep(kAnswerDelayMs);
  EXPECT_EQ(rig.window(), (ParameterValue{31, 9, 0}));
  // Other versions as another module would report them.
  for (const uint8_t version : {29, 30}) {
    m->setParameter(12, version, 9, 0);
    EXPECT_EQ(rig.ask(*m, 12)[0], version);
  }
}

TEST(ModuleWindow, Servo19TakesTheAddressesOnlyWith64) {
  ModuleRig rig;
  const auto m = rig.module(1, 19);
  rig.switchOn(45, 13);
  rig.writeAll({{0, 12}, {1, 25}, {3, 26}});
  EXPECT_EQ(m->parameter(1), (ParameterValue{13, 0, 0}));
  rig.write(2, 63);
  EXPECT_EQ(m->parameter(1), (ParameterValue{13, 0, 0}));
  rig.write(2, 64);
  EXPECT_EQ(m->parameter(1), (ParameterValue{25, 26, 0}));
  EXPECT_EQ(m->parameter(12)[1], 0);  // the 64 is a command, not a value
}

TEST(ModuleWindow, PlainRegisterModulesKeepTheHostsValues) {
  struct Case {
    int family;
    std::array<uint8_t, 4> shownOnKey;  // addresses 0..3 right after the key
    Writes writes;
    std::array<uint8_t, 4> after;
  };
  const std::vector<Case> cases{
      {8, {33, 1, 2, 3}, {{0, 77}, {0, 77}}, {77, 0, 0, 0}},  // family 8 shows address 0
      {9, {34, 0, 0, 6}, {{0, 40}, {1, 0xA5}, {2, 50}, {3, 7}}, {40, 0xA5, 50, 7}},
  };
  for (const auto& c : cases) {
    ModuleRig rig;
    const auto m = rig.module(c.family);
    rig.writeAll({{1, 1}, {2, 2}, {3, 3}});  // before the key: the module shows its own
    ASSERT_TRUE(m->pressKey());
    const std::array<uint8_t, 4> shown{rig.get(0), rig.get(1), rig.get(2), rig.get(3)};
    EXPECT_EQ(shown, c.shownOnKey) << c.family;
    rig.writeAll({{1, 0}, {2, 0}, {3, 0}});
    rig.writeAll(c.writes);
    rig.clock.sleep(100);
    const std::array<uint8_t, 4> bus{rig.get(0), rig.get(1), rig.get(2), rig.get(3)};
    EXPECT_EQ(bus, c.after) << c.family;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(m->parameter(k)[0], c.after[static_cast<size_t>(k)]);
    // Out of programming mode the module keeps what it has.
    m->pressKey();
    rig.write(0, 5);
    EXPECT_EQ(m->parameter(0)[0], c.after[0]);
  }
}

TEST(ModuleWindow, SetParameterOverridesEvenReadOnlyBytes) {
  ModuleRig rig;
  const auto m = rig.module(0, 16);
  m->setParameter(27, 32, 0, 0);
  m->setParameter(5, 9, 3, 25);   // a row on an output unit now
  m->setParameter(300, 1, 1, 1);  // no such parameter: ignored
  rig.switchOn(47, 11);
  EXPECT_EQ(rig.query(27), (ParameterValue{32, 0, 0}));
  EXPECT_EQ(rig.query(5), (ParameterValue{9, 3, 25}));
  EXPECT_EQ(rig.query(26), (ParameterValue{3, 4, 0}));  // one input row fewer, rounded down
  EXPECT_EQ(rig.query(25), (ParameterValue{0, 1, 0}));
}

}  // namespace
}  // namespace kw::sim::test
