// Backup files of the eight-output modules (family 1, sub-types 18 and 19): every parameter
// read over the register window into a small text file, shown from such a file, and
// written back into a module from it.
//
// A file holds one 17-character record a line, ended by CR LF, no header:
//   "03, 005, 000, 255"  parameter number (2 digits), then the values the module showed
//                        on bus addresses 1, 2 and 3 (3 digits each).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/context.h"

namespace kw {

// Window of the progress bar while a backup is saved or restored.
constexpr int kBackupProgressWindow = 1;
constexpr int kBackupProgressBar = 2252;
// The list of the show window (window 2).
constexpr int kBackupShowList = 2638;

// The buttons. Save reads the module of the family-1 page shown (the page that holds the
// button); show and restore are for the sub-type whose page holds the button.
void saveModuleBackup(AppContext& ctx);
void showModuleBackup(AppContext& ctx, int subtype);
void restoreModuleBackup(AppContext& ctx, int subtype);

// One record as it is stored, without the line end ("03, 005, 000, 255").
std::string backupRecord(int parameter, int a1, int a2, int a3);

struct BackupRecord {
  int parameter = 0;
  int a1 = 0;
  int a2 = 0;
  int a3 = 0;
};
// The records of a file for a restore; nothing when a line is not a whole record (a
// damaged or cut file must not send half-read values into a module). Empty lines are
// skipped.
std::optional<std::vector<BackupRecord>> restoreRecords(const std::string& bytes);
// The lines the show window holds for a file's text.
std::vector<std::string> backupShowLines(const AppContext& ctx, int subtype,
                                         const std::string& bytes);

// Control-event rows of the six backup buttons.
void registerBackupRows(Dispatcher& d);

}  // namespace kw
