// The help pages in help/: one per language with help, built into the files the help
// table names, with a table of contents that leads to every section, and in the words the
// program itself shows in that language.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/language.h"
#include "platform/text_encoding.h"

namespace kw {
namespace {

const std::string kHelpDir = std::string(KW_SOURCE_DIR) + "/help/";

struct HelpLanguage {
  int language;
  const char* folder;
  const char* langFile;
};
const HelpLanguage kLanguages[] = {{kLanguageGerman, "de", "Kantel_V4.Lang_DE"},
                                   {kLanguageEnglish, "en", "Kantel_V4.Lang_EN"},
                                   {kLanguageItalian, "it", "Kantel_V4.Lang_IT"}};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> out;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it)
    out.push_back((*it)[1].str());
  return out;
}

// Text as a reader sees it: tags dropped, entities of the pages resolved, blanks folded.
std::string plainText(const std::string& html) {
  std::string s = std::regex_replace(html, std::regex("<[^>]*>"), " ");
  for (auto [entity, ch] : {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}}) {
    for (size_t at = s.find(entity); at != std::string::npos; at = s.find(entity, at + 1))
      s.replace(at, std::string(entity).size(), ch);
  }
  return std::regex_replace(s, std::regex("\\s+"), " ");
}

TEST(HelpFiles, EveryLanguageWithHelpHasItsPages) {
  for (const HelpLanguage& l : kLanguages) {
    const std::string page = readFile(kHelpDir + l.folder + "/index.html");
    ASSERT_FALSE(page.empty()) << l.folder;
    EXPECT_NE(page.find("charset=utf-8"), std::string::npos) << l.folder;
    EXPECT_NE(page.find("href=\"style.css\""), std::string::npos) << l.folder;
    // The page is UTF-8 as it says: decoding changes nothing.
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" + page), page) << l.folder;
    EXPECT_GT(plainText(page).size(), 15000u) << l.folder << ": the page is too thin";
    for (const char* placeholder : {"TODO", "Lorem", "XXX", "FIXME", "???"})
      EXPECT_EQ(plainText(page).find(placeholder), std::string::npos)
          << l.folder << " holds \"" << placeholder << "\"";
  }
  EXPECT_FALSE(readFile(kHelpDir + "style.css").empty());
}

TEST(HelpFiles, ProjectsBuildTheFilesTheHelpTableNames) {
  const HelpTable table = makeHelpTable();
  for (const HelpLanguage& l : kLanguages) {
    const std::string project = readFile(kHelpDir + l.folder + "/kantelwerk.hhp");
    ASSERT_FALSE(project.empty()) << l.folder;
    EXPECT_NE(project.find("Compiled file=" + table[static_cast<size_t>(l.language)][7] + "\r\n"),
              std::string::npos)
        << l.folder;
    EXPECT_NE(project.find("Contents file=toc.hhc"), std::string::npos) << l.folder;
    EXPECT_NE(project.find("Default topic=index.html"), std::string::npos) << l.folder;
    const size_t files = project.find("[FILES]");
    ASSERT_NE(files, std::string::npos) << l.folder;
    EXPECT_NE(project.find("index.html", files), std::string::npos) << l.folder;
    EXPECT_NE(project.find("style.css", files), std::string::npos) << l.folder;
  }
}

TEST(HelpFiles, ContentsAndLinksLeadToEverySection) {
  size_t sections = 0;
  for (const HelpLanguage& l : kLanguages) {
    const std::string page = readFile(kHelpDir + l.folder + "/index.html");
    const std::vector<std::string> idList = matches(page, "id=\"([^\"]+)\"");
    const std::set<std::string> ids(idList.begin(), idList.end());
    EXPECT_EQ(ids.size(), idList.size()) << l.folder << ": an id twice";
    for (const std::string& link : matches(page, "href=\"#([^\"]+)\""))
      EXPECT_TRUE(ids.count(link)) << l.folder << ": link to missing #" << link;

    const std::string toc = readFile(kHelpDir + l.folder + "/toc.hhc");
    std::set<std::string> listed;
    for (const std::string& local :
         matches(toc, "name=\"Local\" value=\"index\\.html#([^\"]+)\"")) {
      EXPECT_TRUE(ids.count(local)) << l.folder << ": contents entry for missing #" << local;
      listed.insert(local);
    }
    const std::vector<std::string> headings = matches(page, "<h2 id=\"([^\"]+)\"");
    for (const std::string& h : headings)
      EXPECT_TRUE(listed.count(h)) << l.folder << ": section #" << h << " not in the contents";
    // Every byte of the contents file is ASCII: the viewers read it in their own code page.
    for (char c : toc) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << l.folder;
    // The translations have the same sections.
    if (sections == 0) sections = headings.size();
    EXPECT_EQ(headings.size(), sections) << l.folder;
  }
  EXPECT_GE(sections, 15u);
}

TEST(HelpFiles, PagesUseTheProgramsOwnWords) {
  // Menu items, buttons, tabs and status texts as the language file of the same language
  // has them, so that the help reads like the program.
  const int shown[] = {7,   17,  101, 103, 105, 107, 109, 115, 120, 200, 270, 350, 370,
                       410, 460, 480, 490, 680, 724, 700, 701, 605, 608, 247, 313};
  for (const HelpLanguage& l : kLanguages) {
    const std::string page = plainText(readFile(kHelpDir + l.folder + "/index.html"));
    auto texts = std::make_unique<LanguageTexts>();
    applyLanguageText(decodeTextFile(readFile(std::string(KW_SOURCE_DIR) + "/lang/" + l.langFile)),
                      *texts);
    for (int n : shown) {
      std::string word = texts->text(n);
      while (!word.empty() && (word.back() == ':' || word.back() == ' ' || word.back() == '.'))
        word.pop_back();
      if (word.empty()) continue;  // reported by the language-file check
      EXPECT_NE(page.find(word), std::string::npos)
          << l.folder << ": the help does not use text " << n << " \"" << word << "\"";
    }
  }
}

TEST(HelpFiles, PagesExplainTheMainTasks) {
  // What every page must cover, in words that do not depend on the language.
  const char* topics[] = {"VX_PREF_Alle_V3.pref",
                          "VX_PREF_Kantel_V3.pref",
                          "KANTELWERK_COM1",
                          "KANTELWERK_COM1=sim",
                          "kantelwerk-sim",
                          "F1",
                          "F2",
                          "127",
                          "38400",
                          "-8321-",
                          "SX1",
                          "MC2004",
                          "SLX852",
                          "230400",
                          "Help\\"};
  for (const HelpLanguage& l : kLanguages) {
    const std::string page = plainText(readFile(kHelpDir + l.folder + "/index.html"));
    for (const char* topic : topics)
      EXPECT_NE(page.find(topic), std::string::npos) << l.folder << " does not mention " << topic;
  }
}

}  // namespace
}  // namespace kw
