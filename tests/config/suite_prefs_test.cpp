#include "config/suite_prefs.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory_system.h"

namespace kw {
namespace {

ScreenMetrics singleScreen() { return ScreenMetrics{1920, 1080, 1920, 1080, 1}; }
ScreenMetrics twoScreens() { return ScreenMetrics{1920, 1080, 3840, 2160, 2}; }

SuitePreferences parsed(std::string_view bytes, const ScreenMetrics& screen = singleScreen()) {
  SuitePreferences p = emptySuitePreferences();
  parseSuitePreferences(bytes, screen, p);
  return p;
}

std::string pad2(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// The whole file as the program must write it, either after reading a file that names no
// key at all (every default applied, optional groups left at zero) or when no file existed
// (nothing applied, nothing corrected).
std::string expectedFile(bool defaults) {
  auto v = [&](const char* def) { return std::string(defaults ? def : "0"); };
  std::string f =
      "; \r\n;  Einstellungen\r\n; \r\n"
      "[Autostart]\r\n"
      "AutoLoadGP = 0\r\nAutoLoadFP = 0\r\nAutoLoadDo = 0\r\nAutoLoadZe = 0\r\n"
      "AutoLoadBWS = \r\nAutoLoadFP3 = \r\n"
      "AutoLoadBld = " + v("1") + "\r\n"
      "; \r\n[AutoEnde]\r\nAutoEndeZE = 0\r\n"
      "; \r\n[Farben]\r\n"
      "Hintergrund = " + v("12632256") + "\r\n"
      "BlockFrei = 0\r\n"
      "BlockAngef = " + v("15597568") + "\r\n"
      "BlockBel = " + v("255") + "\r\n"
      "BlockOAdr = " + v("9474192") + "\r\n"
      "Weiche = " + v("65535") + "\r\n"
      "WeicheSchalt = " + v("15204302") + "\r\n"
      "Trenn = " + v("16777088") + "\r\n"
      "Bezeichner = " + v("14483455") + "\r\n"
      "BezeichnerDRM = " + v("16776123") + "\r\n"
      "BezSchrift = " + v("255") + "\r\n"
      "VAHintergrund = " + v("12632256") + "\r\n"
      "VAText = 0\r\nVABezeichner = 0\r\n"
      "Drehscheibe = " + v("9474192") + "\r\n"
      "; \r\n[Server]\r\nName = \r\nPort = 0\r\n";
  for (int i = 1; i <= 8; ++i) {
    f += "ClientName" + std::to_string(i) + " = \r\nClientAktiv" + std::to_string(i) + " = 0\r\n";
  }
  f += "; \r\n[BlueTooth]\r\nPort = 0\r\n"
       "; \r\n[Client]\r\nName = \r\nPort = 0\r\n"
       "; \r\n[Block]\r\n"
       "Dicke = " + v("7") + "\r\n"
       "WDicke = " + v("5") + "\r\n"
       "LNAnz = " + v("1") + "\r\n"
       "Pfeil = " + v("1") + "\r\n"
       "Verz = " + std::string(defaults ? "1,5" : "") + "\r\n"
       "; \r\n[Weiche]\r\n"
       "ZeitSpule = " + v("1") + "\r\n"
       "ZeitMotor = " + v("3") + "\r\n"
       "RMAus = 0\r\nDrehen = 0\r\n"
       "; \r\n[Signale]\r\nSigSchalten = 0\r\nSigZeit = 0.000000\r\n"
       "; \r\n[Taster]\r\n"
       "Ein = " + v("255") + "\r\n"
       "Aus = " + v("12632256") + "\r\n"
       "Size = " + v("10") + "\r\n"
       "; \r\n[LED]\r\n"
       "Ein = " + v("4210943") + "\r\n"
       "Aus = " + v("128") + "\r\n"
       "; \r\n[Text]\r\nFarbe = 0\r\n"
       "Font = " + std::string(defaults ? "Arial" : "") + "\r\n"
       "Groesse = " + std::string(defaults ? "10.000000" : "0.000000") + "\r\n"
       "Style = 0.000000\r\n"
       "Weight = " + std::string(defaults ? "400.000000" : "0.000000") + "\r\n"
       "; \r\n[Bus2Com]\r\n";
  for (int b = 0; b <= 8; ++b) {
    const std::string n = std::to_string(b);
    f += "Bus" + n + "Com = 0\r\nBus" + n + "Akt = 0\r\nBus" + n + "SX1 = 0\r\n";
  }
  f += "; \r\n[ComPorts]\r\n";
  for (int p = 1; p <= 8; ++p) {
    const std::string n = pad2(p);
    f += "ComPort" + n + "used = " + v("1") + "\r\nComPort" + n + "Typ = 0\r\nComPort" + n +
         "Baud = 0\r\n";
  }
  f += "; \r\n[Lupe]\r\nSequenz = " + v("1") + "\r\n"
       "; \r\n[FS-Maus]\r\nStrg = 0\r\nZeit = " + v("10") + "\r\n"
       "; \r\n[WinPos]\r\n";
  for (int i = 0; i <= 48; ++i) {
    const std::string n = pad2(i);
    // Entries read as 0 lie off the screen and are put back at the standard place.
    f += "WPos" + n + "X = " + v("20") + "\r\nWPos" + n + "Y = " + v("50") + "\r\nWPos" + n +
         "B = " + v("1000") + "\r\nWPos" + n + "H = " + v("700") + "\r\nWPos" + n + "M = 0\r\n";
  }
  f += "; \r\n[TimerJustage]\r\nF-Timer = 0\r\nS-Timer = 0\r\nM-Timer = 0\r\nL-Delay = 0\r\n"
       "; \r\n";
  return f;
}

// Line `key = value` inside `[group]` of written bytes, or "" when missing.
std::string lineOf(const std::string& bytes, const std::string& group, const std::string& key) {
  const size_t g = bytes.find("\r\n[" + group + "]\r\n");
  if (g == std::string::npos) return "";
  const size_t end = bytes.find("\r\n[", g + 3);
  const size_t k = bytes.find("\r\n" + key + " = ", g);
  if (k == std::string::npos || (end != std::string::npos && k > end)) return "";
  const size_t e = bytes.find("\r\n", k + 2);
  return bytes.substr(k + 2, e - k - 2);
}

TEST(SuitePrefs, FileWithoutKeysIsWrittenWithEveryDefault) {
  EXPECT_EQ(suitePreferencesBytes(parsed("")), expectedFile(true));
}

TEST(SuitePrefs, MissingFileReadsNothingAndAppliesNoDefault) {
  MemorySystem sys;
  SuitePreferences p;  // as at start-up: nothing in it yet
  readSuitePreferences(sys, singleScreen(), p);
  EXPECT_EQ(p.portConfig[1].used, 0);
  EXPECT_EQ(p.windowTable[0].X, 0);
  EXPECT_EQ(p.windowTable[0].B, 0);
  ASSERT_NE(p.find("Text", "Font"), nullptr);
  EXPECT_EQ(p.find("Text", "Font")->text, "");
  EXPECT_TRUE(writeSuitePreferences(sys, p));
  // Without a file even the window entries stay at zero.
  EXPECT_EQ(sys.files.at(kSuitePreferencesFile), expectedFile(false));
}

TEST(SuitePrefs, ReadsTheFileFromTheSystem) {
  MemorySystem sys;
  sys.files[kSuitePreferencesFile] = "[Bus2Com]\r\nBus2Com = 3\r\nBus2Akt = 1\r\n";
  SuitePreferences p = emptySuitePreferences();
  readSuitePreferences(sys, singleScreen(), p);
  EXPECT_EQ(p.busTable[2].port, 3);
  EXPECT_EQ(p.busTable[2].used, 1);
  EXPECT_EQ(p.portConfig[8].used, 1);  // default applies when the file exists
}

TEST(SuitePrefs, BusAndPortTables) {
  const SuitePreferences p = parsed(
      "[Bus2Com]\r\nBus0Com = 2\r\nBus0Akt = 1\r\nBus3SX1 = 5\r\nBus8Com = 8\r\n"
      "[ComPorts]\r\nComPort01used = 0\r\nComPort01Typ = 4\r\nComPort01Baud = 3\r\n"
      "ComPort08Baud = -1\r\n");
  EXPECT_EQ(p.busTable[0].port, 2);
  EXPECT_EQ(p.busTable[0].used, 1);
  EXPECT_EQ(p.busTable[3].sx1, 1);
  EXPECT_EQ(p.busTable[8].port, 8);
  EXPECT_EQ(p.portConfig[1].used, 0);
  EXPECT_EQ(p.portConfig[1].typeIndex, 4);
  EXPECT_EQ(p.portConfig[1].baudIndex, 3);
  EXPECT_EQ(p.portConfig[2].used, 1);
  EXPECT_EQ(p.portConfig[8].baudIndex, -1);
  const std::string out = suitePreferencesBytes(p);
  EXPECT_EQ(lineOf(out, "Bus2Com", "Bus3SX1"), "Bus3SX1 = 1");
  EXPECT_EQ(lineOf(out, "ComPorts", "ComPort08Baud"), "ComPort08Baud = -1");
  EXPECT_NE(out.find("Bus0Com = 2\r\nBus0Akt = 1\r\nBus0SX1 = 0\r\nBus1Com = 0\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("ComPort01used = 0\r\nComPort01Typ = 4\r\nComPort01Baud = 3\r\n"
                     "ComPort02used = 1\r\n"),
            std::string::npos);
}

TEST(SuitePrefs, ValuesKeepTheWidthTheSuiteStoresThemIn) {
  const SuitePreferences p = parsed(
      "[Autostart]\r\nAutoLoadGP = 200\r\n"
      "[BlueTooth]\r\nPort = 200\r\n"
      "[Lupe]\r\nSequenz = 70000\r\n"
      "[Farben]\r\nHintergrund = 4294967295\r\n"
      "[Bus2Com]\r\nBus1Com = 200\r\n"
      "[ComPorts]\r\nComPort02Typ = 255\r\n"
      "[FS-Maus]\r\nZeit = -1\r\n");
  EXPECT_EQ(p.find("Autostart", "AutoLoadGP")->integer, -56);
  EXPECT_EQ(p.find("BlueTooth", "Port")->integer, 200);
  const std::string out = suitePreferencesBytes(p);
  EXPECT_EQ(lineOf(out, "Autostart", "AutoLoadGP"), "AutoLoadGP = -56");
  EXPECT_EQ(lineOf(out, "BlueTooth", "Port"), "Port = 200");
  EXPECT_EQ(lineOf(out, "Lupe", "Sequenz"), "Sequenz = 4464");
  EXPECT_EQ(lineOf(out, "Farben", "Hintergrund"), "Hintergrund = -1");
  EXPECT_EQ(lineOf(out, "Bus2Com", "Bus1Com"), "Bus1Com = -56");
  EXPECT_EQ(lineOf(out, "ComPorts", "ComPort02Typ"), "ComPort02Typ = -1");
  EXPECT_EQ(lineOf(out, "FS-Maus", "Zeit"), "Zeit = -1");
}

TEST(SuitePrefs, OptionalGroupsKeepZeroWhenMissing) {
  const std::string without = suitePreferencesBytes(parsed("[Block]\r\nDicke = 7\r\n"));
  EXPECT_NE(without.find("[Server]\r\nName = \r\nPort = 0\r\nClientName1 = \r\n"),
            std::string::npos);
  EXPECT_NE(without.find("[Client]\r\nName = \r\nPort = 0\r\n"), std::string::npos);

  // A present group gets the defaults for the keys it lacks.
  const SuitePreferences p = parsed("[server]\r\nName = Zentrale\r\n[Client]\r\n[BlueTooth]\r\n");
  const std::string with = suitePreferencesBytes(p);
  EXPECT_NE(with.find("[Server]\r\nName = Zentrale\r\nPort = 6666\r\n"), std::string::npos);
  EXPECT_NE(with.find("[Client]\r\nName = \r\nPort = 6666\r\n"), std::string::npos);
}

TEST(SuitePrefs, WDickeDefaultsToDickeMinusTwo) {
  EXPECT_EQ(parsed("[Block]\r\nDicke = 9\r\n").find("Block", "WDicke")->integer, 7);
  EXPECT_EQ(parsed("[Block]\r\nDicke = 9\r\nWDicke = 4\r\n").find("Block", "WDicke")->integer, 4);
  EXPECT_EQ(parsed("").find("Block", "WDicke")->integer, 5);
}

TEST(SuitePrefs, FloatsAndFloatHeldAsInteger) {
  const SuitePreferences p = parsed(
      "[Text]\r\nGroesse = 12.5\r\nStyle = 2.6\r\nWeight = kaputt\r\n"
      "[Signale]\r\nSigZeit = 1.25\r\n");
  EXPECT_EQ(p.find("Text", "Style")->integer, 3);
  const std::string out = suitePreferencesBytes(p);
  EXPECT_EQ(lineOf(out, "Text", "Groesse"), "Groesse = 12.500000");
  EXPECT_EQ(lineOf(out, "Text", "Style"), "Style = 3.000000");
  EXPECT_EQ(lineOf(out, "Text", "Weight"), "Weight = 400.000000");
  EXPECT_EQ(lineOf(out, "Signale", "SigZeit"), "SigZeit = 1.250000");
}

TEST(SuitePrefs, WindowOnTheRightOfASingleScreenIsPulledBack) {
  const SuitePreferences p = parsed(
      "[WinPos]\r\nWPos05X = 5000\r\nWPos05Y = 100\r\nWPos05B = 400\r\nWPos05H = 300\r\n"
      "WPos05M = 2\r\n");
  const WindowPlacement& w = p.windowTable[5];
  EXPECT_EQ(w.X, 1890);
  EXPECT_EQ(w.Y, 100);
  EXPECT_EQ(w.B, 400);
  EXPECT_EQ(w.H, 300);
  EXPECT_EQ(w.M, 2);
}

TEST(SuitePrefs, WindowCorrection) {
  auto corrected = [](WindowPlacement w, const ScreenMetrics& s) {
    correctWindowPlacement(w, s);
    return w;
  };
  // Never written: reset, state kept.
  WindowPlacement w = corrected({0, 0, 0, 0, 1}, singleScreen());
  EXPECT_EQ(w.X, 20);
  EXPECT_EQ(w.Y, 50);
  EXPECT_EQ(w.B, 1000);
  EXPECT_EQ(w.H, 700);
  EXPECT_EQ(w.M, 1);
  // Low edge on a single screen.
  EXPECT_EQ(corrected({1919, 1079, 100, 100, 0}, singleScreen()).X, 1919);
  EXPECT_EQ(corrected({1920, 1080, 100, 100, 0}, singleScreen()).X, 1890);
  EXPECT_EQ(corrected({1920, 1080, 100, 100, 0}, singleScreen()).Y, 1050);
  // With two monitors only a place beyond the whole desktop is pulled back.
  EXPECT_EQ(corrected({2500, 1500, 100, 100, 0}, twoScreens()).X, 2500);
  EXPECT_EQ(corrected({2500, 1500, 100, 100, 0}, twoScreens()).Y, 1500);
  EXPECT_EQ(corrected({3840, 2160, 100, 100, 0}, twoScreens()).X, 3840);
  EXPECT_EQ(corrected({5000, 3000, 100, 100, 0}, twoScreens()).X, 3810);
  EXPECT_EQ(corrected({5000, 3000, 100, 100, 0}, twoScreens()).Y, 2130);
  // Partly off to the left is fine, wholly off is not; any negative Y is not.
  EXPECT_EQ(corrected({-500, 10, 600, 100, 0}, singleScreen()).X, -500);
  EXPECT_EQ(corrected({-500, 10, 500, 100, 0}, singleScreen()).X, 20);
  EXPECT_EQ(corrected({100, -1, 600, 100, 0}, singleScreen()).Y, 50);
  // Extreme values must not overflow.
  EXPECT_EQ(corrected({2147483647, 0, 2147483647, 0, 0}, twoScreens()).X, 3810);
  EXPECT_EQ(corrected({-2147483647 - 1, 10, -2147483647 - 1, 0, 0}, singleScreen()).B, 1000);
}

TEST(SuitePrefs, ListedOrderAndCanonicalNamesWhateverTheFileHas) {
  const std::string out = suitePreferencesBytes(parsed(
      "[timerjustage]\r\nl-delay = 4\r\nF-TIMER = 1\r\n"
      "[farben]\r\nbezschrift = 9\r\nhintergrund = 8\r\n"));
  EXPECT_NE(out.find("[Farben]\r\nHintergrund = 8\r\nBlockFrei = 0\r\n"), std::string::npos);
  EXPECT_EQ(lineOf(out, "Farben", "BezSchrift"), "BezSchrift = 9");
  EXPECT_NE(out.find("[TimerJustage]\r\nF-Timer = 1\r\nS-Timer = 0\r\nM-Timer = 0\r\n"
                     "L-Delay = 4\r\n; \r\n"),
            std::string::npos);
  EXPECT_EQ(out.find("farben"), std::string::npos);
  EXPECT_EQ(out.find("l-delay"), std::string::npos);
}

TEST(SuitePrefs, UnknownKeysAndGroupsSurviveARewrite) {
  const SuitePreferences p = parsed(
      "[Extra]\r\nEins = 1\r\nZwei =  zwei  \r\n"
      "[Farben]\r\nNeueFarbe = 123\r\nHintergrund = 5\r\n"
      "[WinPos]\r\nWPos49X = 7\r\n"
      "[Bus2Com]\r\nBus9Com = 3\r\n"
      "[Leer]\r\n");
  ASSERT_EQ(p.unknown.size(), 5u);
  const std::string out = suitePreferencesBytes(p);
  // After the listed keys of their group ...
  EXPECT_NE(out.find("Drehscheibe = 9474192\r\nNeueFarbe = 123\r\n; \r\n[Server]\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("WPos48M = 0\r\nWPos49X = 7\r\n; \r\n[TimerJustage]\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("Bus8SX1 = 0\r\nBus9Com = 3\r\n; \r\n[ComPorts]\r\n"), std::string::npos);
  // ... and unknown groups after the listed groups, in file order.
  const std::string tail =
      "L-Delay = 0\r\n"
      "; \r\n[Extra]\r\nEins = 1\r\nZwei = zwei  \r\n"
      "; \r\n[Leer]\r\n"
      "; \r\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(SuitePrefs, RewriteOfAWrittenFileIsByteIdentical) {
  // A file in UTF-8 with mark, LF line ends, odd case, unknown keys and damaged values.
  const std::string input =
      "\xEF\xBB\xBF"
      "[Text]\nFont = Fra\xC3\x9F \xE2\x82\xAC \xE2\x86\x92 \n"
      "[Autostart]\nAutoLoadBWS = C:\\Bahn\\Anlage.bws\nAutoLoadGP = 300\n"
      "[Server]\nclientname3 = Stellpult\nKlingel = an\n"
      "[Neu]\nA = 1\n"
      "[WinPos]\nWPos00X = 100\nWPos00Y = 100\nWPos00B = 700\nWPos00H = 640\nWPos00M = 0\n"
      "[Signale]\nSigZeit = 0.1234567\n";
  const std::string first = suitePreferencesBytes(parsed(input));
  // Written in Windows-1252 without a mark; the arrow has no place in it.
  EXPECT_EQ(first.substr(0, 3), "; \r");
  EXPECT_EQ(lineOf(first, "Text", "Font"), "Font = Fra\xDF \x80 ? ");
  EXPECT_EQ(lineOf(first, "Server", "ClientName3"), "ClientName3 = Stellpult");
  EXPECT_EQ(lineOf(first, "Server", "Klingel"), "Klingel = an");
  EXPECT_EQ(lineOf(first, "Autostart", "AutoLoadGP"), "AutoLoadGP = 44");
  EXPECT_EQ(lineOf(first, "Signale", "SigZeit"), "SigZeit = 0.123457");
  const std::string second = suitePreferencesBytes(parsed(first));
  EXPECT_EQ(second, first);
  EXPECT_EQ(suitePreferencesBytes(parsed(second)), first);
}

TEST(SuitePrefs, NamesTheCodePageCannotTellApartAreWrittenOnce) {
  // Arrows have no place in Windows-1252: both keys, and both groups, would be written as
  // "A?" and "[?]", and a reader keeps only the first of each.
  const std::string input =
      "\xEF\xBB\xBF[Farben]\nA\xE2\x86\x92 = 1\na\xE2\x86\x90 = 2\n"
      "[\xE2\x86\x92]\nx = 1\n[\xE2\x86\x90]\ny = 2\n";
  const std::string out = suitePreferencesBytes(parsed(input));
  EXPECT_NE(out.find("Drehscheibe = 9474192\r\nA? = 1\r\n; \r\n"), std::string::npos);
  EXPECT_EQ(out.find("= 2\r\n"), std::string::npos);
  const std::string tail = "L-Delay = 0\r\n; \r\n[?]\r\nx = 1\r\n; \r\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(suitePreferencesBytes(parsed(out)), out);
}

TEST(SuitePrefs, Windows1252FileIsDecoded) {
  const SuitePreferences p = parsed("[Block]\r\nVerz = \xE4\x80\r\n");
  EXPECT_EQ(p.find("Block", "Verz")->text, "\xC3\xA4\xE2\x82\xAC");
  EXPECT_EQ(lineOf(suitePreferencesBytes(p), "Block", "Verz"), "Verz = \xE4\x80");
}

TEST(SuitePrefs, DamagedFileGivesACompleteFile) {
  std::string junk = "[WinPos]\r\nWPos03X = 99999999999999999999\r\n";
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
  junk += "\r\n[ComPorts\r\n=\r\n[]\r\n = 3\r\n";
  const SuitePreferences p = parsed(junk);
  const std::string out = suitePreferencesBytes(p);
  for (const char* g : {"Autostart", "Farben", "Server", "Bus2Com", "ComPorts", "WinPos",
                        "TimerJustage"}) {
    EXPECT_NE(out.find("\r\n[" + std::string(g) + "]\r\n"), std::string::npos) << g;
  }
  EXPECT_EQ(suitePreferencesBytes(parsed(out)), out);
}

TEST(SuitePrefs, LargeDamagedFileKeepsEveryUnknownKeyOnce) {
  // Megabytes of keys no program of the suite knows, in a known group and in thousands of
  // groups of their own, each repeated in other case: read in time proportional to the
  // size, and written back once each, in file order.
  std::string text = "[WinPos]\r\nWPos00X = 100\r\n";
  for (int i = 0; i < 250000; ++i)
    text += "Fremd" + std::to_string(i) + " = " + std::to_string(i) + "\r\n";
  for (int i = 0; i < 250000; ++i)
    text += "FREMD" + std::to_string(i) + " = x\r\nwpos00x = 5\r\n";
  for (int i = 0; i < 20000; ++i)
    text += "[G" + std::to_string(i) + "]\r\n[winpos]\r\nA = 1\r\n";
  const SuitePreferences p = parsed(text);
  EXPECT_EQ(p.windowTable[0].X, 100);
  ASSERT_EQ(p.unknown.size(), 20001u);
  EXPECT_EQ(p.unknown[0].entries.size(), 250000u);
  const std::string out = suitePreferencesBytes(p);
  EXPECT_NE(out.find("WPos48M = 0\r\nFremd0 = 0\r\nFremd1 = 1\r\n"), std::string::npos);
  EXPECT_NE(out.find("Fremd249999 = 249999\r\n; \r\n[TimerJustage]"), std::string::npos);
  EXPECT_EQ(out.find("FREMD"), std::string::npos);
  EXPECT_EQ(suitePreferencesBytes(parsed(out)), out);
}

TEST(SuitePrefs, FindIgnoresCase) {
  const SuitePreferences p = emptySuitePreferences();
  ASSERT_NE(p.find("fs-maus", "ZEIT"), nullptr);
  EXPECT_EQ(p.find("fs-maus", "ZEIT")->type, PrefType::Byte);
  EXPECT_EQ(p.find("Lupe", "Sequenz")->type, PrefType::Int16);
  EXPECT_EQ(p.find("Text", "Style")->type, PrefType::FloatAsInt);
  EXPECT_EQ(p.find("BlueTooth", "Port")->type, PrefType::UnsignedByte);
  EXPECT_EQ(p.find("Bus2Com", "Bus0Com"), nullptr);  // held in busTable, not passed through
  EXPECT_EQ(p.find("Gibt", "Es nicht"), nullptr);
}

TEST(SuitePrefs, WriteGoesThroughTheSystem) {
  MemorySystem sys;
  SuitePreferences p = parsed("");
  p.busTable[4] = BusEntry{3, 1, 1};
  p.portConfig[3].used = 1;
  p.portConfig[3].typeIndex = 2;
  p.portConfig[3].baudIndex = 4;
  p.portConfig[3].mode = "baud=19200";  // run-time only, never stored
  EXPECT_TRUE(writeSuitePreferences(sys, p));
  const std::string& out = sys.files.at(kSuitePreferencesFile);
  EXPECT_EQ(out, suitePreferencesBytes(p));
  EXPECT_NE(out.find("Bus4Com = 3\r\nBus4Akt = 1\r\nBus4SX1 = 1\r\n"), std::string::npos);
  EXPECT_NE(out.find("ComPort03used = 1\r\nComPort03Typ = 2\r\nComPort03Baud = 4\r\n"),
            std::string::npos);
  EXPECT_EQ(out.find("19200"), std::string::npos);

  sys.failWrites = true;
  p.busTable[4].port = 5;
  EXPECT_FALSE(writeSuitePreferences(sys, p));
  EXPECT_NE(sys.files.at(kSuitePreferencesFile).find("Bus4Com = 3\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kw
