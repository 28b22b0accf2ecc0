// The language files in lang/ against the program: every text number the program uses must
// be in every language, and every line must reach the program whole.
//
// The numbers in use come from two places: the sources (literal numbers given to tx(),
// text() and setup(), also the two numbers of a choice such as text(on ? 605 : 607)), and
// a run of the whole program, headless, on the real German file, switched through every
// page of the form, that records each number the program asks its texts for (lists and
// rows built in loops are found this way).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/harness.h"
#include "app/shell.h"
#include "forms/show_page.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;

const std::string kLangDir = std::string(KW_SOURCE_DIR) + "/lang/";
const std::vector<std::string> kSuffixes = {"DE", "EN", "IT", "FR"};

std::string programFile(const std::string& suffix) { return "Kantel_V4.Lang_" + suffix; }
std::string setupFile(const std::string& suffix) { return "Setup_V4.Lang_" + suffix; }

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// "201-205, 210, 300-301" for the numbers of a set.
std::string ranges(const std::set<int>& numbers) {
  std::string out;
  for (auto it = numbers.begin(); it != numbers.end();) {
    const int first = *it;
    int last = first;
    for (++it; it != numbers.end() && *it == last + 1; ++it) last = *it;
    if (!out.empty()) out += ", ";
    out += std::to_string(first);
    if (last != first) out += "-" + std::to_string(last);
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// ------------------------------------------------------------------------------------
// Reading a file as the loader does, noting everything it would drop, cut or misread.

struct CheckedFile {
  std::map<int, std::string> texts;  // number -> text, as Windows-1252 bytes
  std::vector<std::string> problems;
};

std::string hex(unsigned char b) {
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[b >> 4] + digits[b & 15];
}

// Splits into lines that must each end in CR LF, and checks the bytes: Windows-1252
// without the five bytes it leaves undefined, no control characters, nothing that looks
// like UTF-8 (the loader would show such a file as garbled characters).
std::vector<std::string> crlfLines(const std::string& name, const std::string& bytes,
                                   std::vector<std::string>& problems) {
  std::vector<std::string> lines;
  size_t pos = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    problems.push_back(name + ": begins with a UTF-8 byte-order mark");
    pos = 3;
  }
  while (pos < bytes.size()) {
    const size_t lf = bytes.find('\n', pos);
    std::string line = bytes.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
    const std::string where = name + " line " + std::to_string(lines.size() + 1) + ": ";
    if (lf == std::string::npos)
      problems.push_back(where + "the last line has no line end (CR LF)");
    else if (line.empty() || line.back() != '\r')
      problems.push_back(where + "ends in LF without CR");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (size_t i = 0; i < line.size(); ++i) {
      const auto b = static_cast<unsigned char>(line[i]);
      const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
      if (b < 0x20 || b == 0x7F) {
        problems.push_back(where + "control character " + hex(b));
      } else if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
        problems.push_back(where + "byte " + hex(b) + " is no Windows-1252 character");
      } else if (b >= 0xC2 && b <= 0xF4 && next >= 0x80 && next <= 0xBF) {
        problems.push_back(where + "bytes " + hex(b) + " " + hex(next) +
                           " look like UTF-8; the file must be Windows-1252");
        ++i;
      }
    }
    lines.push_back(line);
    pos = lf == std::string::npos ? bytes.size() : lf + 1;
  }
  return lines;
}

void addText(CheckedFile& f, const std::string& where, int n, const std::string& text,
             std::map<int, int>& firstLine, int lineNumber) {
  if (text.empty()) f.problems.push_back(where + "text " + std::to_string(n) + " is empty");
  if (text.size() > 200)
    f.problems.push_back(where + "text of " + std::to_string(text.size()) +
                         " characters, the program keeps only 200");
  if (auto [it, fresh] = firstLine.emplace(n, lineNumber); !fresh)
    f.problems.push_back(where + "number " + std::to_string(n) + " again (first in line " +
                         std::to_string(it->second) + ")");
  f.texts[n] = text;
}

// Program texts: number, comma, one blank, text; numbers 1..99 and 100..800.
CheckedFile checkProgramFile(const std::string& name, const std::string& bytes) {
  CheckedFile f;
  std::map<int, int> firstLine;
  const std::vector<std::string> lines = crlfLines(name, bytes, f.problems);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string where = name + " line " + std::to_string(i + 1) + ": ";
    size_t digits = 0;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])))
      ++digits;
    if (digits == 0 || digits > 4 || digits == line.size() || line[digits] != ',') {
      f.problems.push_back(where + "not a numbered line (number, comma, blank, text): \"" +
                           line.substr(0, 40) + "\"");
      continue;
    }
    const int n = std::stoi(line.substr(0, digits));
    if (n < 1 || n > 800) {
      f.problems.push_back(where + "number " + std::to_string(n) +
                           " lies outside 1..99 and 100..800");
      continue;
    }
    if (digits + 1 >= line.size() || line[digits + 1] != ' ') {
      f.problems.push_back(where + "no blank after the comma: the text would lose its first "
                                   "character");
      continue;
    }
    addText(f, where, n, line.substr(digits + 2), firstLine, static_cast<int>(i + 1));
  }
  return f;
}

// Settings-dialog texts: three digits, one blank, text; numbers 0..300.
CheckedFile checkSetupFile(const std::string& name, const std::string& bytes) {
  CheckedFile f;
  std::map<int, int> firstLine;
  const std::vector<std::string> lines = crlfLines(name, bytes, f.problems);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string where = name + " line " + std::to_string(i + 1) + ": ";
    const bool digits = line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                        std::isdigit(static_cast<unsigned char>(line[1])) &&
                        std::isdigit(static_cast<unsigned char>(line[2]));
    if (!digits || line.size() < 4 || line[3] != ' ') {
      f.problems.push_back(where + "not three digits and a blank before the text: \"" +
                           line.substr(0, 40) + "\"");
      continue;
    }
    const int n = std::stoi(line.substr(0, 3));
    if (n > 300) {
      f.problems.push_back(where + "number " + std::to_string(n) + " lies above 300");
      continue;
    }
    addText(f, where, n, line.substr(4), firstLine, static_cast<int>(i + 1));
  }
  return f;
}

// ------------------------------------------------------------------------------------
// Text numbers written in the sources.

// Blanks out comments, string and character literals, keeping the length.
std::string codeOnly(const std::string& src) {
  std::string out = src;
  size_t i = 0;
  auto blank = [&](size_t from, size_t to) {
    for (size_t k = from; k < to && k < out.size(); ++k)
      if (out[k] != '\n') out[k] = ' ';
  };
  while (i < src.size()) {
    if (src.compare(i, 2, "//") == 0) {
      const size_t end = src.find('\n', i);
      blank(i, end == std::string::npos ? src.size() : end);
      i = end == std::string::npos ? src.size() : end;
    } else if (src.compare(i, 2, "/*") == 0) {
      const size_t end = src.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? src.size() : end + 2;
      blank(i, stop);
      i = stop;
    } else if (src[i] == '"' || src[i] == '\'') {
      const char quote = src[i];
      size_t k = i + 1;
      while (k < src.size() && src[k] != quote) k += src[k] == '\\' ? 2 : 1;
      blank(i, k + 1);
      i = k + 1;
    } else {
      ++i;
    }
  }
  return out;
}

bool identChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Numbers given to `names` in `code`: the whole argument, or a branch of a choice
// (text(on ? 605 : 607)); computed numbers (text(k + 1)) are left to the run.
std::map<std::string, std::set<int>> numbersInCalls(const std::string& source,
                                                    const std::vector<std::string>& names) {
  const std::string code = codeOnly(source);
  std::map<std::string, std::set<int>> found;
  for (const std::string& name : names) {
    for (size_t at = code.find(name); at != std::string::npos; at = code.find(name, at + 1)) {
      if (at > 0 && identChar(code[at - 1])) continue;
      size_t open = at + name.size();
      while (open < code.size() && code[open] == ' ') ++open;
      if (open >= code.size() || code[open] != '(') continue;
      size_t close = open + 1;
      for (int depth = 1; close < code.size() && depth > 0; ++close)
        depth += code[close] == '(' ? 1 : code[close] == ')' ? -1 : 0;
      const std::string arg = code.substr(open + 1, close - open - 2);
      for (size_t k = 0; k < arg.size();) {
        if (!std::isdigit(static_cast<unsigned char>(arg[k])) || (k > 0 && identChar(arg[k - 1])) ||
            (k > 0 && arg[k - 1] == '.')) {
          ++k;
          continue;
        }
        size_t end = k;
        while (end < arg.size() && std::isdigit(static_cast<unsigned char>(arg[end]))) ++end;
        if (end < arg.size() && (identChar(arg[end]) || arg[end] == '.')) {
          k = end;
          continue;
        }
        auto before = arg.find_last_not_of(' ', k == 0 ? std::string::npos : k - 1);
        auto after = arg.find_first_not_of(' ', end);
        if (k == 0) before = std::string::npos;
        const bool whole = before == std::string::npos && after == std::string::npos;
        const bool branch =
            before != std::string::npos && (arg[before] == '?' || arg[before] == ':') &&
            (before == 0 || arg[before - 1] != ':') &&
            (after == std::string::npos ||
             (arg[after] == ':' && (after + 1 >= arg.size() || arg[after + 1] != ':')));
        if (whole || branch) found[name].insert(std::stoi(arg.substr(k, end - k)));
        k = end;
      }
    }
  }
  return found;
}

struct SourceNumbers {
  std::set<int> texts;  // tx(), text()
  std::set<int> setup;  // setup()
};

SourceNumbers numbersInSources() {
  SourceNumbers s;
  for (const auto& entry : fs::recursive_directory_iterator(std::string(KW_SOURCE_DIR) + "/src")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    auto found = numbersInCalls(readBytes(entry.path().string()), {"tx", "text", "setup"});
    s.texts.insert(found["tx"].begin(), found["tx"].end());
    s.texts.insert(found["text"].begin(), found["text"].end());
    s.setup.insert(found["setup"].begin(), found["setup"].end());
  }
  return s;
}

// ------------------------------------------------------------------------------------
// Text numbers the running program asks for.

std::set<int> numbersAskedByTheProgram() {
  Harness h;
  for (const std::string& suffix : kSuffixes) {
    h.system.files[programFile(suffix)] = readBytes(kLangDir + programFile(suffix));
    h.system.files[setupFile(suffix)] = readBytes(kLangDir + setupFile(suffix));
  }
  h.start();
  for (const char* page : {"0.0", "0.1", "0.2", "1.0", "1.1", "2.0", "2.1", "2.2", "2.3", "3",
                           "4.0", "4.1", "5", "6", "7", "8", "9", "10", "0.0"}) {
    showFormPage(*h.ctx, page);
    h.run(100);
  }
  // The windows behind the menu, opened and closed again, and the status-bar menu.
  for (int item : {menu::kSettings, menu::kSteller}) {
    for (int twice = 0; twice < 2; ++twice) {
      dispatchEvent(*h.ctx, {EventType::MenuItem, win::kMain, item, 0, 0});
      h.run(100);
    }
  }
  dispatchEvent(*h.ctx, {EventType::StatusBarClick, win::kMain, 0, 0, 10});
  h.run(100);

  std::set<int> asked;
  for (size_t n = 0; n < h.ctx->texts.asked.size(); ++n)
    if (h.ctx->texts.asked[n].load()) asked.insert(static_cast<int>(n));
  return asked;
}

// ------------------------------------------------------------------------------------
// The checks themselves, first on made-up files, then on the real ones.

TEST(LanguageFileCheck, FindsEveryLineTheLoaderWouldRejectOrCut) {
  const std::string bad =
      "\xEF\xBB\xBF"
      "1, Datei\r\n"
      "2,Ohne Blank\r\n"
      "3, Nur LF\n"
      "900, Zu gross\r\n"
      "0, Null\r\n"
      "Kein Komma\r\n"
      "\r\n"
      "1, Doppelt\r\n"
      "4, " + std::string(201, 'x') + "\r\n"
      "5, \r\n"
      "6, Stra\xC3\x9F" "e\r\n"
      "7, Byte \x81\r\n"
      "8, Tab\there\r\n"
      "9, Ohne Zeilenende";
  const CheckedFile f = checkProgramFile("X", bad);
  const std::string all = joined(f.problems);
  for (const char* expected :
       {"X: begins with a UTF-8 byte-order mark", "X line 2: no blank after the comma",
        "X line 3: ends in LF without CR", "X line 4: number 900 lies outside",
        "X line 5: number 0 lies outside", "X line 6: not a numbered line",
        "X line 7: not a numbered line", "X line 8: number 1 again (first in line 1)",
        "X line 9: text of 201 characters", "X line 10: text 5 is empty",
        "X line 11: bytes 0xC3 0x9F look like UTF-8", "X line 12: byte 0x81 is no Windows",
        "X line 13: control character 0x09", "X line 14: the last line has no line end"})
    EXPECT_NE(all.find(expected), std::string::npos) << expected << "\nfound:\n" << all;
  EXPECT_EQ(f.problems.size(), 14u) << all;
  EXPECT_EQ(f.texts.at(1), "Doppelt");
  EXPECT_EQ(f.texts.at(4).size(), 201u);
}

TEST(LanguageFileCheck, TakesGoodLinesAsTheyAre) {
  const CheckedFile f = checkProgramFile(
      "X", "1, Datei\r\n117, Bus \r\n118,  an Com-Port \r\n800, " + std::string(200, 'y') +
               "\r\n99, Gr\xFC\xDF" "e \x80\r\n");
  EXPECT_TRUE(f.problems.empty()) << joined(f.problems);
  EXPECT_EQ(f.texts.at(117), "Bus ");
  EXPECT_EQ(f.texts.at(118), " an Com-Port ");
  EXPECT_EQ(f.texts.size(), 5u);
}

TEST(LanguageFileCheck, SetupLinesAreThreeDigitsABlankAndText) {
  const CheckedFile f = checkSetupFile(
      "S", "001 Titel\r\n012 \r\n301 Zu gross\r\n12 Zwei Ziffern\r\n013:Doppelpunkt\r\n"
           "001 Doppelt\r\n300 Letzter\r\n");
  const std::string all = joined(f.problems);
  for (const char* expected :
       {"S line 2: text 12 is empty", "S line 3: number 301 lies above 300",
        "S line 4: not three digits", "S line 5: not three digits",
        "S line 6: number 1 again (first in line 1)"})
    EXPECT_NE(all.find(expected), std::string::npos) << expected << "\nfound:\n" << all;
  EXPECT_EQ(f.problems.size(), 5u) << all;
  EXPECT_EQ(f.texts.at(300), "Letzter");
}

TEST(LanguageFileCheck, FindsTheNumbersTheSourcesGiveToTheirTexts) {
  const std::string src =
      "b.label(r, tx(141));\n"
      "b.list(1, r, {tx(190), num(k + 1), tx(179), lit(\"1\")});\n"
      "ui.setText(w, c, texts_.text(on ? 701 : 700));\n"
      "ctx.text( 504 ), c.text(), ctx.text(t), tx(i % 2 == 0 ? 142 : 143), tx(k / 3 + 1)\n"
      "// tx(999) in a comment\n"
      "s = \"tx(998) in a string\"; x = dtext(997); text(ns::k12); text(0x10); text(7.5)\n"
      "texts.setup(74); texts.setup(n == 0 ? 75 : 77);\n";
  auto found = numbersInCalls(src, {"tx", "text", "setup"});
  EXPECT_EQ(found["tx"], (std::set<int>{141, 190, 179, 142, 143}));
  EXPECT_EQ(found["text"], (std::set<int>{700, 701, 504}));
  EXPECT_EQ(found["setup"], (std::set<int>{74, 75, 77}));
}

TEST(LanguageFileCheck, ListsNumbersAsRanges) {
  EXPECT_EQ(ranges({201, 202, 203, 205, 300, 301}), "201-203, 205, 300-301");
  EXPECT_EQ(ranges({}), "");
}

class ShippedLanguageFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const std::string& suffix : kSuffixes) {
      const std::string p = programFile(suffix), s = setupFile(suffix);
      program_[suffix] = checkProgramFile(p, readBytes(kLangDir + p));
      setup_[suffix] = checkSetupFile(s, readBytes(kLangDir + s));
    }
  }
  static std::set<int> numbers(const CheckedFile& f) {
    std::set<int> out;
    for (const auto& [n, text] : f.texts) out.insert(n);
    return out;
  }
  static inline std::map<std::string, CheckedFile> program_;
  static inline std::map<std::string, CheckedFile> setup_;
};

TEST_F(ShippedLanguageFiles, AllEightArePresent) {
  for (const std::string& suffix : kSuffixes) {
    EXPECT_TRUE(fs::is_regular_file(kLangDir + programFile(suffix))) << programFile(suffix);
    EXPECT_TRUE(fs::is_regular_file(kLangDir + setupFile(suffix))) << setupFile(suffix);
  }
}

TEST_F(ShippedLanguageFiles, ProgramTextLinesReachTheProgramWhole) {
  for (const std::string& suffix : kSuffixes)
    EXPECT_TRUE(program_[suffix].problems.empty()) << joined(program_[suffix].problems);
}

TEST_F(ShippedLanguageFiles, SettingsTextLinesReachTheProgramWhole) {
  for (const std::string& suffix : kSuffixes)
    EXPECT_TRUE(setup_[suffix].problems.empty()) << joined(setup_[suffix].problems);
}

TEST_F(ShippedLanguageFiles, EveryTextTheProgramUsesIsInEveryLanguage) {
  const SourceNumbers sources = numbersInSources();
  const std::set<int> asked = numbersAskedByTheProgram();
  // The run must have seen the form: its pages alone ask for hundreds of texts.
  ASSERT_GT(asked.size(), 200u);
  ASSERT_GT(sources.texts.size(), 100u);
  std::set<int> used = sources.texts;
  used.insert(asked.begin(), asked.end());

  std::set<int> unstorable;
  for (int n : used)
    if (n < 1 || n > 800) unstorable.insert(n);
  EXPECT_TRUE(unstorable.empty()) << "the program asks for texts no language file can hold: "
                                  << ranges(unstorable);

  for (const std::string& suffix : kSuffixes) {
    std::set<int> missing;
    for (int n : used)
      if (n >= 1 && n <= 800 && !program_[suffix].texts.count(n)) missing.insert(n);
    EXPECT_TRUE(missing.empty()) << programFile(suffix) << " lacks " << missing.size()
                                 << " texts the program uses: " << ranges(missing);
  }
}

TEST_F(ShippedLanguageFiles, EverySettingsTextTheProgramUsesIsInEveryLanguage) {
  const SourceNumbers sources = numbersInSources();
  for (const std::string& suffix : kSuffixes) {
    std::set<int> missing;
    for (int n : sources.setup)
      if (!setup_[suffix].texts.count(n)) missing.insert(n);
    EXPECT_TRUE(missing.empty()) << setupFile(suffix) << " lacks settings-dialog texts "
                                 << ranges(missing);
  }
}

TEST_F(ShippedLanguageFiles, EveryLanguageHasTheNumbersOfTheGermanFile) {
  // A number missing in another language shows the German text there instead.
  for (const auto* files : {&program_, &setup_}) {
    const std::set<int> german = numbers(files->at("DE"));
    for (const std::string& suffix : kSuffixes) {
      const std::set<int> own = numbers(files->at(suffix));
      std::set<int> lacking, extra;
      for (int n : german)
        if (!own.count(n)) lacking.insert(n);
      for (int n : own)
        if (!german.count(n)) extra.insert(n);
      const std::string name = files == &program_ ? programFile(suffix) : setupFile(suffix);
      EXPECT_TRUE(lacking.empty()) << name << " lacks German numbers " << ranges(lacking);
      EXPECT_TRUE(extra.empty()) << name << " has numbers the German file lacks "
                                 << ranges(extra);
    }
  }
}

TEST_F(ShippedLanguageFiles, ListItemsBeginWithTheCodeTheProgramSends) {
  // Programming sends the number formed by an item's first characters, so every
  // translation must keep them.
  std::map<int, std::string> prefix;
  auto code = [](int c) { return (c < 10 ? "0" : "") + std::to_string(c) + ":"; };
  for (int n = 151; n <= 168; ++n) prefix[n] = code(n - 150);
  for (int n = 651; n <= 675; ++n) prefix[n] = code(n - 650);
  prefix[676] = "27:";
  prefix[677] = "17:";
  for (int n = 431; n <= 445; ++n) prefix[n] = code(n - 430).substr(0, 2);  // function outputs
  for (int n = 450; n <= 457; ++n) prefix[n] = std::to_string(n - 450);  // their modes
  for (const std::string& suffix : kSuffixes) {
    for (const auto& [n, start] : prefix) {
      auto it = program_[suffix].texts.find(n);
      if (it == program_[suffix].texts.end()) continue;  // reported as missing elsewhere
      EXPECT_EQ(it->second.compare(0, start.size(), start), 0)
          << programFile(suffix) << " text " << n << " must begin with \"" << start
          << "\": \"" << it->second << "\"";
    }
  }
}

}  // namespace
}  // namespace kw::test
