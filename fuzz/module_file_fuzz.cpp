// Module data files as they arrive, loaded into the family-0 form of a whole (headless)
// program with its German texts. The first input byte picks the sub-type's file kind.
// Whatever a file holds, the file saved from the form it left loads and saves again to
// the same bytes (a save and load never drifts), and a field never takes a whole line.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/harness.h"
#include "app/module_files.h"
#include "fuzz_check.h"

namespace {

std::string sourceFile(const std::string& name) {
  std::ifstream in(std::string(KW_SOURCE_DIR) + "/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

kw::test::Harness& program() {
  static kw::test::Harness* h = [] {
    auto* made = new kw::test::Harness;
    made->system.files["Kantel_V4.Lang_DE"] = sourceFile("lang/Kantel_V4.Lang_DE");
    made->start();
    return made;
  }();
  return *h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  kw::test::Harness& h = program();
  h.ui.messages.clear();
  h.ui.log.clear();
  const int kind = data[0] % kw::kModuleFileKinds;
  kw::applyModuleFile(*h.ctx, kind, std::string(kw::fuzz::asText(data + 1, size - 1)));

  const std::string saved = kw::moduleFileBytes(*h.ctx, kind);
  KW_FUZZ_CHECK(kw::applyModuleFile(*h.ctx, kind, saved));
  const std::string again = kw::moduleFileBytes(*h.ctx, kind);
  if (again != saved) {
    std::fwrite(saved.data(), 1, saved.size(), stderr);
    std::fputs("\n----\n", stderr);
    std::fwrite(again.data(), 1, again.size(), stderr);
  }
  KW_FUZZ_CHECK(again == saved);
  for (const std::string& line : kw::textLines(saved)) KW_FUZZ_CHECK(line.size() <= 200);
  return 0;
}
