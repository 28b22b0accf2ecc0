#include "config/program_prefs.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "platform/memory_system.h"

namespace kw {
namespace {

const std::string kDefaultFile =
    "[Sprache]\r\nSprache = 1\r\n; \r\n"
    "[Bus]\r\nBus = 0\r\n; \r\n"
    "[Steller]\r\nStellerOffen = 0\r\nStellerPosX = 200\r\nStellerPosY = 5\r\n"
    "Steller1 = 0\r\nSteller2 = 0\r\nSteller3 = 0\r\nSteller4 = 0\r\n; \r\n";

// Notes the virtual time at which each file is written, to check the pause before it.
class TimedSystem final : public System {
 public:
  explicit TimedSystem(const Clock& clock) : clock_(clock) {}
  MemorySystem inner;
  std::vector<Tick> writeTimes;

  std::optional<std::string> readFile(const std::string& path) override {
    return inner.readFile(path);
  }
  bool writeFileAtomic(const std::string& path, const std::string& bytes) override {
    writeTimes.push_back(clock_.now());
    return inner.writeFileAtomic(path, bytes);
  }
  bool fileExists(const std::string& path) override { return inner.fileExists(path); }
  int64_t fileSize(const std::string& path) override { return inner.fileSize(path); }
  std::string currentDirectory() override { return inner.currentDirectory(); }
  std::string executablePath() override { return inner.executablePath(); }
  bool startProgram(const std::string& path, const std::vector<std::string>& args) override {
    return inner.startProgram(path, args);
  }
  bool openDocument(const std::string& path) override { return inner.openDocument(path); }
  [[noreturn]] void exitProcess(int code) override { inner.exitProcess(code); }

 private:
  const Clock& clock_;
};

ProgramPreferences parsedFrom(const std::string& bytes) {
  ProgramPreferences p;
  EXPECT_TRUE(parseProgramPreferences(bytes, p));
  return p;
}

TEST(ProgramPrefs, DefaultsGiveTheExactFile) {
  EXPECT_EQ(programPreferencesBytes(ProgramPreferences{}), kDefaultFile);
}

TEST(ProgramPrefs, EveryValueIsWritten) {
  ProgramPreferences p;
  p.language = 3;
  p.bus = 8;
  p.stellerOpen = 1;
  p.stellerPosX = -1200;
  p.stellerPosY = 640;
  p.stellerSlots = {0, 12, -5, 32767, 111};
  EXPECT_EQ(programPreferencesBytes(p),
            "[Sprache]\r\nSprache = 3\r\n; \r\n"
            "[Bus]\r\nBus = 8\r\n; \r\n"
            "[Steller]\r\nStellerOffen = 1\r\nStellerPosX = -1200\r\nStellerPosY = 640\r\n"
            "Steller1 = 12\r\nSteller2 = -5\r\nSteller3 = 32767\r\nSteller4 = 111\r\n; \r\n");
  const ProgramPreferences back = parsedFrom(programPreferencesBytes(p));
  EXPECT_EQ(back.language, 3);
  EXPECT_EQ(back.bus, 8);
  EXPECT_EQ(back.stellerOpen, 1);
  EXPECT_EQ(back.stellerPosX, -1200);
  EXPECT_EQ(back.stellerPosY, 640);
  EXPECT_EQ(back.stellerSlots, (std::array<int16_t, 5>{0, 12, -5, 32767, 111}));
  EXPECT_EQ(programPreferencesBytes(back), programPreferencesBytes(p));
}

TEST(ProgramPrefs, MissingFileSetsOnlyTheLanguage) {
  MemorySystem sys;
  ProgramPreferences p;
  p.language = 2;
  p.bus = 5;
  p.stellerOpen = 1;
  p.stellerPosX = 777;
  p.stellerSlots[2] = 9;
  EXPECT_FALSE(readProgramPreferences(sys, p));
  EXPECT_EQ(p.language, 1);
  EXPECT_EQ(p.bus, 5);
  EXPECT_EQ(p.stellerOpen, 1);
  EXPECT_EQ(p.stellerPosX, 777);
  EXPECT_EQ(p.stellerSlots[2], 9);
}

TEST(ProgramPrefs, PresentFileGivesDefaultsForMissingKeys) {
  MemorySystem sys;
  sys.files[kProgramPreferencesFile] = "[Sprache]\r\nSprache = 2\r\n";
  ProgramPreferences p;
  p.stellerPosX = 777;
  p.bus = 5;
  EXPECT_TRUE(readProgramPreferences(sys, p));
  EXPECT_EQ(p.language, 2);
  EXPECT_EQ(p.bus, 0);
  EXPECT_EQ(p.stellerPosX, 200);
  EXPECT_EQ(p.stellerPosY, 5);
}

TEST(ProgramPrefs, LanguageZeroMeansGerman) {
  const ProgramPreferences p = parsedFrom("[Sprache]\r\nSprache = 0\r\n");
  EXPECT_EQ(p.language, 1);
  EXPECT_NE(programPreferencesBytes(p).find("Sprache = 1\r\n"), std::string::npos);
}

TEST(ProgramPrefs, DamagedValuesStayInsideTheTables) {
  EXPECT_EQ(parsedFrom("[Sprache]\nSprache = 4\n").language, 4);
  EXPECT_EQ(parsedFrom("[Sprache]\nSprache = 5\n").language, 1);
  EXPECT_EQ(parsedFrom("[Sprache]\nSprache = -1\n").language, 1);
  EXPECT_EQ(parsedFrom("[Sprache]\nSprache = 257\n").language, 1);
  EXPECT_EQ(parsedFrom("[Sprache]\nSprache = deutsch\n").language, 1);
  EXPECT_EQ(parsedFrom("[Bus]\nBus = 8\n").bus, 8);
  EXPECT_EQ(parsedFrom("[Bus]\nBus = 9\n").bus, 0);
  EXPECT_EQ(parsedFrom("[Bus]\nBus = -1\n").bus, 0);
  EXPECT_EQ(parsedFrom("[Bus]\nBus = 264\n").bus, 0);
  EXPECT_EQ(parsedFrom("[Steller]\nStellerOffen = 1\n").stellerOpen, 1);
  EXPECT_EQ(parsedFrom("[Steller]\nStellerOffen = 2\n").stellerOpen, 0);
  EXPECT_EQ(parsedFrom("[Steller]\nSteller1 = 70000\n").stellerSlots[1], 4464);
  EXPECT_EQ(parsedFrom("[Steller]\nStellerPosX = 4294967296\n").stellerPosX, 0);

  // Values that went wrong in memory are not written out either.
  ProgramPreferences p;
  p.language = 9;
  p.bus = 200;
  p.stellerOpen = 7;
  EXPECT_EQ(programPreferencesBytes(p), kDefaultFile);
}

TEST(ProgramPrefs, ReadsUtf8WithMarkAndCaseInsensitiveNames) {
  const ProgramPreferences p =
      parsedFrom("\xEF\xBB\xBF[sprache]\nSPRACHE = 2\n[STELLER]\nstellerposy = 33\n");
  EXPECT_EQ(p.language, 2);
  EXPECT_EQ(p.stellerPosY, 33);
}

TEST(ProgramPrefs, WriteWaitsThreeHundredMillisecondsFirst) {
  VirtualClock clock(5000);
  TimedSystem sys(clock);
  ProgramPreferences p;
  p.bus = 2;
  EXPECT_TRUE(writeProgramPreferences(sys, clock, p));
  ASSERT_EQ(sys.writeTimes.size(), 1u);
  EXPECT_EQ(sys.writeTimes[0], 5300u);
  EXPECT_EQ(clock.now(), 5300u);
  EXPECT_EQ(sys.inner.files.at(kProgramPreferencesFile), programPreferencesBytes(p));
  EXPECT_NE(sys.inner.files.at(kProgramPreferencesFile).find("[Bus]\r\nBus = 2\r\n"),
            std::string::npos);
}

TEST(ProgramPrefs, FailedWriteIsReportedToTheCallerOnly) {
  VirtualClock clock;
  MemorySystem sys;
  sys.failWrites = true;
  EXPECT_FALSE(writeProgramPreferences(sys, clock, ProgramPreferences{}));
  EXPECT_TRUE(sys.files.empty());
}

}  // namespace
}  // namespace kw
