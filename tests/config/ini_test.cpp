#include "config/ini.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kw {
namespace {

TEST(IniParse, GroupsKeysAndValues) {
  const IniDocument doc = IniDocument::parse(
      "; heading\r\n"
      "[Farben]\r\n"
      "Hintergrund = 12632256\r\n"
      " \tBlockFrei\t =  \t7\r\n"
      "Name = Haupt Bahnhof  \r\n"
      "[Server]\n"
      "Port=6666\n");
  ASSERT_EQ(doc.groups().size(), 2u);
  EXPECT_EQ(doc.groups()[0].name, "Farben");
  EXPECT_EQ(doc.value("Farben", "Hintergrund"), "12632256");
  EXPECT_EQ(doc.value("Farben", "BlockFrei"), "7");
  // Blanks after the value belong to it; only the CR of the line end goes.
  EXPECT_EQ(doc.value("Farben", "Name"), "Haupt Bahnhof  ");
  EXPECT_EQ(doc.value("Server", "Port"), "6666");
  EXPECT_FALSE(doc.value("Farben", "Port").has_value());
  EXPECT_FALSE(doc.value("Block", "Dicke").has_value());
}

TEST(IniParse, NamesAreMatchedWithoutRegardToCase) {
  const IniDocument doc = IniDocument::parse("[fARBEN]\r\nhintergrund = 5\r\n");
  EXPECT_TRUE(doc.hasGroup("Farben"));
  EXPECT_TRUE(doc.hasGroup("FARBEN"));
  EXPECT_EQ(doc.integer("Farben", "HINTERGRUND", -1), 5);
  EXPECT_EQ(doc.group("farben")->name, "fARBEN");
}

TEST(IniParse, FirstOccurrenceWins) {
  const IniDocument doc = IniDocument::parse(
      "[A]\r\nk = 1\r\nK = 2\r\n[B]\r\nx = 3\r\n[a]\r\nk = 4\r\nneu = 5\r\n");
  EXPECT_EQ(doc.integer("A", "k", 0), 1);
  // The repeated group counts for nothing, not even for keys the first one lacks.
  EXPECT_FALSE(doc.value("A", "neu").has_value());
  ASSERT_EQ(doc.groups().size(), 2u);
  EXPECT_EQ(doc.groups()[0].entries.size(), 1u);
}

TEST(IniParse, IgnoresCommentsStrayLinesAndKeysOutsideAGroup) {
  const IniDocument doc = IniDocument::parse(
      "vorne = 1\r\n"
      "[G]\r\n"
      "; k = 2\r\n"
      "  ; k = 3\r\n"
      "kein Gleichheitszeichen\r\n"
      " = ohne Schluessel\r\n"
      "[kaputt\r\n"
      "k = 4\r\n"
      "leer =\r\n");
  ASSERT_EQ(doc.groups().size(), 1u);
  EXPECT_EQ(doc.integer("G", "k", 0), 4);
  EXPECT_EQ(doc.value("G", "leer"), "");
  EXPECT_EQ(doc.value("G", "[kaputt"), std::nullopt);
  EXPECT_EQ(doc.groups()[0].entries.size(), 2u);
}

TEST(IniParse, GroupNamesAreTrimmed) {
  const IniDocument doc = IniDocument::parse("  [ FS-Maus ]  \r\nZeit = 10\r\n");
  EXPECT_EQ(doc.integer("FS-Maus", "Zeit", 0), 10);
  EXPECT_EQ(doc.groups()[0].name, "FS-Maus");
}

TEST(IniParse, StrayCarriageReturnEndsALine) {
  const IniDocument doc = IniDocument::parse("[G]\rk = 1\ra\rb = 2\r\n");
  EXPECT_EQ(doc.integer("G", "k", 0), 1);
  EXPECT_EQ(doc.integer("G", "b", 0), 2);
  EXPECT_FALSE(doc.value("G", "a\rb").has_value());
}

TEST(IniParse, SurvivesDamagedInput) {
  std::string junk;
  for (int i = 0; i < 2000; ++i) junk += static_cast<char>((i * 37 + 11) % 256);
  junk += "\n[\n]\n[]\n=\n==\n[[]]\n";
  const IniDocument doc = IniDocument::parse(junk);
  for (const IniGroup& g : doc.groups()) {
    for (const IniEntry& e : g.entries) EXPECT_FALSE(e.key.empty());
  }
  EXPECT_TRUE(doc.hasGroup(""));  // "[]" is a group without a name
  EXPECT_TRUE(doc.hasGroup("[]"));
}

// A damaged file of some megabytes: a huge group of distinct keys, each repeated in other
// case, and thousands of repeated group lines. Reading it must take time in proportion to
// its size (a hang at start-up is what a quadratic reader made of such a file); CTest's
// time limit for every test catches a relapse.
std::string damagedPreferenceText(int keys, int groupLines) {
  std::string t = "[Farben]\r\n";
  for (int i = 0; i < keys; ++i)
    t += "Schluessel" + std::to_string(i) + " = " + std::to_string(i) + "\r\n";
  for (int i = 0; i < keys; ++i) t += "SCHLUESSEL" + std::to_string(i) + " = x\r\n";
  for (int i = 0; i < groupLines; ++i) {
    t += "[farben]\r\nSchluessel0 = y\r\n";
    t += "[Gruppe" + std::to_string(i) + "]\r\nk = " + std::to_string(i) + "\r\n";
  }
  return t;
}

TEST(IniParse, LargeDamagedFileIsReadWholeWithTheFirstOfEveryName) {
  // 300,000 keys: read in about a second; comparing each key with every earlier one takes
  // many minutes.
  const std::string text = damagedPreferenceText(300000, 40000);
  ASSERT_GT(text.size(), 12u * 1000 * 1000);
  const IniDocument doc = IniDocument::parse(text);
  ASSERT_EQ(doc.groups().size(), 40001u);
  EXPECT_EQ(doc.groups()[0].entries.size(), 300000u);
  for (int i : {0, 1, 99999, 299999}) {
    const std::string key = "schluessel" + std::to_string(i);
    EXPECT_EQ(doc.integer("FARBEN", key, -1), i) << key;
  }
  EXPECT_EQ(doc.integer("Gruppe39999", "K", -1), 39999);
  EXPECT_FALSE(doc.hasGroup("Gruppe40000"));
}

TEST(IniValues, Integers) {
  const IniDocument doc = IniDocument::parse(
      "[G]\r\na = -56\r\nb = +7\r\nc = 12abc\r\nd = abc\r\ne = 10.000000\r\nf = \r\n"
      "g = 99999999999999999999999\r\nh = -99999999999999999999999\r\ni = - 5\r\n");
  EXPECT_EQ(doc.integer("G", "a", 0), -56);
  EXPECT_EQ(doc.integer("G", "b", 0), 7);
  EXPECT_EQ(doc.integer("G", "c", 0), 12);
  EXPECT_EQ(doc.integer("G", "d", 42), 42);
  EXPECT_EQ(doc.integer("G", "e", 0), 10);
  EXPECT_EQ(doc.integer("G", "f", 42), 42);
  EXPECT_EQ(doc.integer("G", "g", 0), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(doc.integer("G", "h", 0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(doc.integer("G", "i", 42), 42);
  EXPECT_EQ(doc.integer("G", "fehlt", 6666), 6666);
}

TEST(IniValues, LeadingIntegerLimits) {
  EXPECT_EQ(leadingInteger("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(leadingInteger("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(leadingInteger("9223372036854775808"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(leadingInteger(" \t-0"), 0);
  EXPECT_EQ(leadingInteger("504 "), 504);
  EXPECT_EQ(leadingInteger("-"), std::nullopt);
  EXPECT_EQ(leadingInteger(""), std::nullopt);
  EXPECT_EQ(leadingInteger("x1"), std::nullopt);
}

TEST(IniValues, Reals) {
  const IniDocument doc = IniDocument::parse(
      "[G]\r\na = 10.000000\r\nb = -0.25\r\nc = 1.5e2\r\nd = abc\r\ne = inf\r\nf = nan\r\n"
      "g = .5\r\nh = 3\r\ni = 1e999\r\n");
  EXPECT_DOUBLE_EQ(doc.real("G", "a", 0), 10.0);
  EXPECT_DOUBLE_EQ(doc.real("G", "b", 0), -0.25);
  EXPECT_DOUBLE_EQ(doc.real("G", "c", 0), 150.0);
  EXPECT_DOUBLE_EQ(doc.real("G", "d", 4.5), 4.5);
  EXPECT_DOUBLE_EQ(doc.real("G", "e", 4.5), 4.5);
  EXPECT_DOUBLE_EQ(doc.real("G", "f", 4.5), 4.5);
  EXPECT_DOUBLE_EQ(doc.real("G", "g", 0), 0.5);
  EXPECT_DOUBLE_EQ(doc.real("G", "h", 0), 3.0);
  EXPECT_DOUBLE_EQ(doc.real("G", "i", 4.5), 4.5);
  EXPECT_DOUBLE_EQ(doc.real("G", "fehlt", 400.0), 400.0);
}

TEST(IniValues, Strings) {
  const IniDocument doc = IniDocument::parse("[Text]\r\nFont = Arial\r\nLeer = \r\n");
  EXPECT_EQ(doc.string("Text", "Font", "x"), "Arial");
  EXPECT_EQ(doc.string("Text", "Leer", "x"), "");  // present but empty is not missing
  EXPECT_EQ(doc.string("Text", "Fehlt", "1,5"), "1,5");
}

TEST(IniWriter, ExactLines) {
  IniWriter w;
  w.comment();
  w.comment(" Einstellungen");
  w.group("Block");
  w.integer("Dicke", -56);
  w.integer("Port", 6666);
  w.real("Groesse", 10);
  w.real("SigZeit", 0.1234567);
  w.real("Neg", -1.5);
  w.string("Verz", "1,5");
  w.string("Leer", "");
  EXPECT_EQ(w.text(),
            "; \r\n"
            ";  Einstellungen\r\n"
            "[Block]\r\n"
            "Dicke = -56\r\n"
            "Port = 6666\r\n"
            "Groesse = 10.000000\r\n"
            "SigZeit = 0.123457\r\n"
            "Neg = -1.500000\r\n"
            "Verz = 1,5\r\n"
            "Leer = \r\n");
}

TEST(IniWriter, NeverBreaksTheLineStructure) {
  IniWriter w;
  w.string("K", "eins\r\nzwei");
  w.real("R", std::numeric_limits<double>::infinity());
  w.integer("Min", std::numeric_limits<int64_t>::min());
  EXPECT_EQ(w.text(), "K = eins\r\nR = 0.000000\r\nMin = -9223372036854775808\r\n");
}

TEST(IniWriter, WrittenTextReadsBack) {
  IniWriter w;
  w.group("G");
  w.string("Name", "a = b ; c ");
  w.real("R", 123456.5);
  const IniDocument doc = IniDocument::parse(w.text());
  EXPECT_EQ(doc.value("G", "Name"), "a = b ; c ");
  EXPECT_DOUBLE_EQ(doc.real("G", "R", 0), 123456.5);
}

}  // namespace
}  // namespace kw
