// The module roster: a sheet for every module that was read out or programmed, kept by
// itself in the folder "Roster" beside the program preference file (module_sheet.h has
// the file format). This part turns pages of the form into sheets and back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/context.h"
#include "config/module_sheet.h"

namespace kw {

enum class SheetEvent { Read, Programmed };

// The path of a roster file: "Roster/<name>".
std::string rosterPath(const std::string& fileName);

// After a complete read-out or programming run of the shown page: its sheet is written
// (the previous one kept as "<file>.bak"). Nothing is kept when the page has no module
// address; a file at the sheet's place that is no sheet of that module is left alone and
// the user is told.
void keepModuleSheet(AppContext& ctx, SheetEvent event);

// The values of a page as the form holds them now.
SheetPage pageValues(const AppContext& ctx, int family, int subtype);
// Puts the values into the page's controls (the page is not shown by this).
void fillPage(AppContext& ctx, const SheetPage& page);
// The module address in the page's address field, when it holds one (0..111).
std::optional<int> pageAddress(const AppContext& ctx, int family, int subtype);
// The caption the form shows for a control (its tooltip or its text), empty when none.
std::string controlCaption(const AppContext& ctx, int control);

// Every file of the roster folder that ends in ".kwm", read.
struct RosterEntry {
  std::string file;  // name in the folder
  std::optional<ModuleSheet> sheet;
  SheetProblem problem = SheetProblem::None;
  bool misnamed = false;   // the file's name is not that of the module it holds
  bool duplicate = false;  // another file holds a sheet for the same bus and address
};
std::vector<RosterEntry> readRoster(AppContext& ctx);

// Writes a sheet to its file crash-safely, keeping the previous bytes as the backup.
// False (with the user told why) when it could not be written.
bool writeSheet(AppContext& ctx, const std::string& fileName, const ModuleSheet& sheet);

}  // namespace kw
