// Backup files of the eight-output modules as a restore reads them: only whole records
// pass, every value is a byte, and the records written again read back the same.
#include <string>

#include "buslink/module_backup.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(kw::fuzz::asText(data, size));
  const auto records = kw::restoreRecords(bytes);
  if (!records) return 0;
  std::string again;
  for (const kw::BackupRecord& r : *records) {
    KW_FUZZ_CHECK(r.parameter >= 0 && r.parameter <= 99);
    for (int v : {r.a1, r.a2, r.a3}) KW_FUZZ_CHECK(v >= 0 && v <= 255);
    again += kw::backupRecord(r.parameter, r.a1, r.a2, r.a3) + "\r\n";
  }
  const auto reread = kw::restoreRecords(again);
  KW_FUZZ_CHECK(reread && reread->size() == records->size());
  for (size_t i = 0; i < records->size(); ++i) {
    const kw::BackupRecord& a = (*records)[i];
    const kw::BackupRecord& b = (*reread)[i];
    KW_FUZZ_CHECK(a.parameter == b.parameter && a.a1 == b.a1 && a.a2 == b.a2 && a.a3 == b.a3);
  }
  return 0;
}
