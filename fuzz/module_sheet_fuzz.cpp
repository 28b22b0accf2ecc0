// Module sheets of the roster: whatever a file holds, a sheet read from it stays within
// the layout (bus, address, a known page, pages of its own family only), and writing it
// and reading that again gives the same sheet and the same bytes.
#include "config/module_sheet.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kw::SheetRead r = kw::parseModuleSheet(kw::fuzz::asText(data, size));
  KW_FUZZ_CHECK(r.sheet.has_value() == (r.problem == kw::SheetProblem::None));
  if (!r.sheet) return 0;
  const kw::ModuleSheet& s = *r.sheet;
  KW_FUZZ_CHECK(s.bus >= 0 && s.bus <= kw::kSheetHighestBus);
  KW_FUZZ_CHECK(s.address >= 0 && s.address <= kw::kSheetHighestAddress);
  KW_FUZZ_CHECK(kw::sheetPageKnown(s.family, s.subtype));
  for (const kw::SheetPage& p : s.pages) {
    KW_FUZZ_CHECK(p.family == s.family && kw::sheetPageKnown(p.family, p.subtype));
    for (const auto& [control, value] : p.values) {
      KW_FUZZ_CHECK(control > 0);
      KW_FUZZ_CHECK(kw::fuzz::validUtf8(value));
    }
  }
  KW_FUZZ_CHECK(kw::fuzz::validUtf8(s.name) && kw::fuzz::validUtf8(s.note));

  const std::string first = kw::moduleSheetBytes(s);
  const kw::SheetRead again = kw::parseModuleSheet(first);
  KW_FUZZ_CHECK(again.sheet.has_value());
  KW_FUZZ_CHECK(*again.sheet == s);
  KW_FUZZ_CHECK(kw::moduleSheetBytes(*again.sheet) == first);
  return 0;
}
