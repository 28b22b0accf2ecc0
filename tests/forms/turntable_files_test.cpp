// The turntable files as bytes: exact layout, round trips, files of another kind, and
// files cut at every byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/turntable_files.h"

namespace kw::test {
namespace {

const SettingsFileNames kNames{"Drehscheibe", "Adresse", "Betriebsart", "Rampe", "Geschwindigkeit"};

const std::string kSettingsBytes =
    "; \r\n;  Einstellungen\r\n; \r\n[Drehscheibe]\r\nAdresse = 15\r\nBetriebsart = 1\r\n"
    "Rampe = 16\r\nGeschwindigkeit = 32\r\nGleiszahl = 24\r\n; \r\n";

bool operator==(const TurntableSettings& a, const TurntableSettings& b) {
  return a.address == b.address && a.mode == b.mode && a.ramp == b.ramp && a.speed == b.speed &&
         a.tracks == b.tracks;
}

std::string lines(const std::vector<std::string>& l) {
  std::string s;
  for (const auto& x : l) s += x + "\r\n";
  return s;
}

using Outcome = SettingsFileRead::Outcome;

TEST(TurntableFiles, SettingsBytesAndRoundTrip) {
  const TurntableSettings s{15, 1, 16, 32, 24};
  EXPECT_EQ(settingsFileBytes(kNames, s), kSettingsBytes);
  const SettingsFileRead back = readSettingsFile(kSettingsBytes, kNames);
  ASSERT_EQ(back.outcome, Outcome::Read);
  EXPECT_TRUE(back.settings == s);
  // An editor that saved the file as UTF-8 put a byte-order mark before it.
  const SettingsFileRead marked = readSettingsFile("\xEF\xBB\xBF" + kSettingsBytes, kNames);
  ASSERT_EQ(marked.outcome, Outcome::Read);
  EXPECT_TRUE(marked.settings == s);
}

// Missing keys (and keys without a value) take their defaults; a key whose value is no
// byte refuses the whole file and names itself, so 256 never turns quietly into 0.
TEST(TurntableFiles, SettingsKeysMissingOrOutOfRange) {
  struct Case {
    const char* text;
    Outcome outcome;
    TurntableSettings expected;  // with Read
    const char* bad;             // with ValueOutOfRange
  };
  const Case cases[] = {
      {"[drehscheibe]\r\n", Outcome::Read, {0, 0, 0, 0, 48}, ""},  // group without regard to case
      {"[Drehscheibe]\nAdresse=7\nGleiszahl = 12", Outcome::Read, {7, 0, 0, 0, 12}, ""},
      {"[Drehscheibe]\r\nAdresse =\r\nRampe =   \r\nBetriebsart = 3x\r\n",
       Outcome::Read,
       {0, 3, 0, 0, 48},
       ""},
      {"[Andere]\r\nAdresse = 9\r\n[Drehscheibe]\r\nGeschwindigkeit = 255\r\n",
       Outcome::Read,
       {0, 0, 0, 255, 48},
       ""},
      {"[Drehscheibe]\r\nAdresse = 0\r\nRampe = 256\r\n",
       Outcome::ValueOutOfRange,
       {},
       "Rampe = 256"},
      {"[Drehscheibe]\r\nGleiszahl = -1\r\n", Outcome::ValueOutOfRange, {}, "Gleiszahl = -1"},
      {"[Drehscheibe]\r\nAdresse = abc \r\n", Outcome::ValueOutOfRange, {}, "Adresse = abc"},
      {"[Drehscheibe]\r\nBetriebsart = 99999999999999999999\r\n",
       Outcome::ValueOutOfRange,
       {},
       "Betriebsart = 99999999999999999999"},
      {"[Steller]\r\nAdresse = 3\r\n", Outcome::NotASettingsFile, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SettingsFileRead r = readSettingsFile(c.text, kNames);
    ASSERT_EQ(r.outcome, c.outcome);
    if (c.outcome == Outcome::Read) {
      EXPECT_TRUE(r.settings == c.expected);
    }
    if (c.outcome == Outcome::ValueOutOfRange) {
      EXPECT_EQ(r.badEntry, c.bad);
    }
  }
}

TEST(TurntableFiles, EachKindRefusesTheOthers) {
  const std::string steps = lines(std::vector<std::string>(48, "800"));
  const std::string patterns = lines(std::vector<std::string>(48, "00010001"));
  EXPECT_EQ(readSettingsFile(steps, kNames).outcome, Outcome::NotASettingsFile);
  EXPECT_EQ(readSettingsFile(patterns, kNames).outcome, Outcome::NotASettingsFile);
  EXPECT_FALSE(parseStepTable(patterns));
  EXPECT_FALSE(parseStepTable(kSettingsBytes));
  EXPECT_FALSE(parsePatterns(steps));
  EXPECT_FALSE(parsePatterns(kSettingsBytes));
}

TEST(TurntableFiles, StepLines) {
  struct Case {
    const char* text;
    std::vector<std::string> fields;  // empty vector with ok = false: refused
    bool ok;
  };
  const Case cases[] = {
      {"800\r\n0\r\n65535\r\n", {"800", "0", "65535"}, true},
      {" 0800 \r\n\r\n7", {"800", "", "7"}, true},  // blanks, leading zeros, empty line
      {"", {}, true},
      {"65536\r\n", {}, false},
      {"123456\r\n", {}, false},  // line too long
      {"80a\r\n", {}, false},
      {"-5\r\n", {}, false},
      {"800\r800\r\n", {}, false},  // a CR inside a line
      {"\xEF\xBB\xBF"
       "800\r\n7\r\n",
       {"800", "7"},
       true},  // a UTF-8 byte-order mark
      {"800\r\n\xEF\xBB\xBF"
       "7\r\n",
       {},
       false},  // ... only before the first line
  };
  for (const Case& c : cases) {
    const auto got = parseStepTable(c.text);
    EXPECT_EQ(got.has_value(), c.ok) << c.text;
    if (got) {
      EXPECT_EQ(*got, c.fields) << c.text;
    }
  }
  // Only the first 48 lines count; what follows them is not looked at.
  std::vector<std::string> many(48, "1");
  EXPECT_EQ(parseStepTable(lines(many) + "junk\r\n"), many);
}

TEST(TurntableFiles, PatternLines) {
  EXPECT_EQ(parsePatterns("00010001\r\n\r\n101\r\n"),
            (std::vector<std::string>{"00010001", "", "101"}));
  EXPECT_EQ(parsePatterns("\xEF\xBB\xBF"
                          "00010001\r\n"),
            (std::vector<std::string>{"00010001"}));
  EXPECT_FALSE(parsePatterns("000100011\r\n"));  // nine digits
  EXPECT_FALSE(parsePatterns("00020001\r\n"));
}

// A pattern field takes any digit, the file only binary ones: every field is saved as the
// module takes it, and what is saved always loads again.
TEST(TurntableFiles, PatternsAreSavedAsTheModuleTakesThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"00010001", "00010001"},
      {"", ""},
      {"101", "101"},
      {"00020009", "00000000"},
      {"91919191", "01010101"},
      {"1x", "10"},
      {"0001000111", "00010001"},  // only what a pattern field holds
  };
  std::vector<std::string> fields, saved;
  for (const auto& [field, line] : cases) {
    EXPECT_EQ(patternLine(field), line) << field;
    fields.push_back(field);
    saved.push_back(line);
  }
  std::vector<std::string> lines;
  for (const std::string& f : fields) lines.push_back(patternLine(f));
  EXPECT_EQ(parsePatterns(linesFileBytes(lines)), saved);
}

TEST(TurntableFiles, LinesBytesKeepOneLinePerEntry) {
  EXPECT_EQ(linesFileBytes({"800", "", "1\r\n2"}), "800\r\n\r\n12\r\n");
}

// A file cut at any byte: the complete lines come back, the cut line as far as it goes,
// and nothing is ever refused that was whole up to the cut.
TEST(TurntableFiles, CutAtEveryByte) {
  std::vector<std::string> steps, patterns;
  for (int i = 0; i < 48; ++i) {
    steps.push_back(std::to_string(700 + i * 13));
    patterns.push_back(i % 2 ? "10100101" : "00000011");
  }
  const std::string stepBytes = linesFileBytes(steps);
  const std::string patternBytes = linesFileBytes(patterns);
  for (size_t cut = 0; cut <= stepBytes.size(); ++cut) {
    const auto got = parseStepTable(stepBytes.substr(0, cut));
    ASSERT_TRUE(got.has_value()) << cut;
    for (size_t i = 0; i < got->size(); ++i) EXPECT_EQ(steps[i].rfind((*got)[i], 0), 0u) << cut;
  }
  for (size_t cut = 0; cut <= patternBytes.size(); ++cut) {
    const auto got = parsePatterns(patternBytes.substr(0, cut));
    ASSERT_TRUE(got.has_value()) << cut;
    for (size_t i = 0; i < got->size(); ++i) EXPECT_EQ(patterns[i].rfind((*got)[i], 0), 0u);
  }
  const size_t groupEnd = kSettingsBytes.find("]") + 1;
  for (size_t cut = 0; cut <= kSettingsBytes.size(); ++cut)
    EXPECT_EQ(readSettingsFile(kSettingsBytes.substr(0, cut), kNames).outcome,
              cut >= groupEnd ? Outcome::Read : Outcome::NotASettingsFile)
        << cut;
}

}  // namespace
}  // namespace kw::test
