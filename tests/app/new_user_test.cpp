// What a new user meets when something is missing or cannot be written: a word for it,
// never a silent failure or a window without texts.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "forms/form_fixture.h"
#include "forms/parameter_form.h"

namespace kw::test {
namespace {

TEST(NewUser, MissingLanguageFileFallsBackForThisRun) {
  struct Case {
    const char* name;
    std::vector<std::string> removed;
    int language;      // stored choice
    bool ends;         // no language file at all
    std::string menu;  // first menu title shown
  };
  const Case cases[] = {
      {"German missing, German chosen", {"Kantel_V4.Lang_DE"}, 1, false, "EN menu 6"},
      {"French missing, French chosen", {"Kantel_V4.Lang_FR"}, 4, false, "t6"},
      {"none at all",
       {"Kantel_V4.Lang_DE", "Kantel_V4.Lang_EN", "Kantel_V4.Lang_IT", "Kantel_V4.Lang_FR"},
       1, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormHarness h;
    h.system.files[kProgramPreferencesFile] =
        "[Sprache]\r\nSprache = " + std::to_string(c.language) + "\r\n";
    for (const auto& f : c.removed) h.system.files.erase(f);
    const int code = h.expectExit([&] { h.start(); });
    if (c.ends) {
      EXPECT_EQ(code, 0);
      ASSERT_FALSE(h.ui.messages.empty());
      EXPECT_NE(h.ui.messages.back().text.find(h.system.directory), std::string::npos);
      continue;
    }
    EXPECT_EQ(code, -1);
    ASSERT_EQ(h.ui.messages.size(), 2u);
    EXPECT_EQ(h.ui.messages[0].text, "Language file not found: " + c.removed[0]);
    EXPECT_NE(h.ui.messages[1].text.find("Kantel_V4.Lang_"), std::string::npos);
    EXPECT_EQ(h.ui.window(win::kMain)->menu.at(0).text, c.menu);
    EXPECT_EQ(h.ctx->language, c.language);  // the choice stays stored
  }
}

TEST(NewUser, SwitchToALanguageWithoutFileIsRefused) {
  FormHarness h;
  h.system.files.erase("Kantel_V4.Lang_FR");
  h.start();
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kFrench, 0});
  EXPECT_EQ(h.expectExit([&] { h.run(200); }), -1);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].text, "Language file not found: Kantel_V4.Lang_FR");
  EXPECT_EQ(h.ctx->language, kLanguageGerman);
  EXPECT_TRUE(h.system.startedPrograms.empty());
}

TEST(NewUser, SettingsThatCannotBeSavedAreToldOnceAndNoRestartContradictsThem) {
  FormHarness h;
  h.start();
  h.system.failWrites = true;
  h.ui.inject({EventType::KeyF2, win::kMain, 0, 0});
  h.ui.inject({EventType::KeyF2, win::kMain, 0, 0});
  h.run(1000);  // each write waits 300 ms first
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].title, t(25));
  EXPECT_EQ(h.ui.messages[0].text, t(26) + "\n" + h.system.directory +
                                       kProgramPreferencesFile + "\n\nPermission denied");
  // A language switch would come back in the old language: refused with a word.
  h.ui.inject({EventType::MenuItem, win::kMain, menu::kEnglish, 0});
  EXPECT_EQ(h.expectExit([&] { h.run(1000); }), -1);
  ASSERT_EQ(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ui.messages[1].text, t(27));
  EXPECT_EQ(h.ctx->language, kLanguageGerman);
}

TEST(NewUser, HelpThatCannotBeShownSaysWhereItIs) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux help viewers and pages; Windows opens the compiled file itself";
#endif
  struct Case {
    int language;
    bool englishHelp;  // the English help page is there and a browser opens it
    std::vector<int> texts;
    size_t opened;
  };
  for (const Case& c : {Case{1, false, {28}, 0}, Case{4, true, {29}, 1}, Case{4, false, {29, 28}, 0}}) {
    SCOPED_TRACE(c.language);
    FormHarness h;
    h.system.files["Kantel_V4.Lang_FR"] = fullLanguageFile();
    h.system.files[kProgramPreferencesFile] =
        "[Sprache]\r\nSprache = " + std::to_string(c.language) + "\r\n";
    if (c.englishHelp) h.system.files["Help/html/en/index.html"] = "<html></html>";
    h.start();
    h.ui.inject({EventType::KeyF1, win::kMain, 0, 0});
    h.run(100);
    ASSERT_EQ(h.ui.messages.size(), c.texts.size());
    for (size_t i = 0; i < c.texts.size(); ++i)
      EXPECT_EQ(h.ui.messages[i].text.substr(0, t(c.texts[i]).size()), t(c.texts[i]));
    if (c.texts.back() == 28) {
      EXPECT_NE(h.ui.messages.back().text.find(h.system.directory + "Help"), std::string::npos);
    }
    EXPECT_EQ(h.system.openedDocuments.size(), c.opened);
  }
}

}  // namespace
}  // namespace kw::test

namespace kw::test {
namespace {

TEST(NewUser, ServiceValuesAboveAByteAreRefused) {
  FormHarness h;
  h.start();
  h.ctx->bus.stopFlag = 1;  // keep the queue as the dialog leaves it
  const Tick t0 = h.clock.now();
  // The dialog opens after its 700 ms query.
  h.clock.every(720, [&] {
    h.ui.setText(win::kService, 2688, "300");
    h.ui.setText(win::kService, 2689, "5");
    return -1;
  });
  h.ui.injectAt(t0 + 740, {EventType::Click, win::kService, 2690, 0});
  h.ui.injectAt(t0 + 780, {EventType::CloseBox, win::kService, 0, 0});
  runServiceDialog(*h.ctx);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0].text, t(32));
  EXPECT_EQ(h.ui.focus(), (std::pair<int, int>{win::kService, 2688}));
  // Only the query of the dialog's opening went out; no value was written.
  EXPECT_EQ(h.ctx->queue.pendingCount(), 1u);
}

}  // namespace
}  // namespace kw::test
