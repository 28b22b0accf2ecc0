// Module sheets of the roster: what one module on the layout holds, kept in a file of its
// own ("SX<bus>-<address>.kwm") in the INI-like text of the preference files. A sheet has
// one group "Modul" (where the module sits, what it is, when it was read and programmed)
// and one group of values per page of its family that was read or programmed
// ("Werte<family>-<sub-type>", keys by control number).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kw {

inline constexpr const char* kRosterFolder = "Roster";
inline constexpr const char* kSheetExtension = ".kwm";
inline constexpr const char* kSheetBackupSuffix = ".bak";
inline constexpr int kSheetFormat = 1;
inline constexpr int kSheetHighestAddress = 111;
inline constexpr int kSheetHighestBus = 8;

struct SheetPage {
  int family = 0;
  int subtype = 0;  // 0 for families without sub-types
  std::vector<std::pair<int, std::string>> values;  // control number, value as the form holds it
  const std::string* value(int control) const;
  bool operator==(const SheetPage&) const = default;
};

struct ModuleSheet {
  int bus = 0;
  int address = 0;
  int family = 0;
  int subtype = 0;           // the page last read or programmed
  std::string firmware;      // as the page shows it, empty when the read-out gives none
  std::string interfaceName; // the interface the last run went through
  std::string name;          // given by the user
  std::string note;          // given by the user
  std::string lastRead;      // "YYYY-MM-DD hh:mm:ss", empty when never read
  std::string lastProgrammed;
  // What a read-out learnt besides the values (-1: not known).
  int legacyMode = -1;
  int moduleVersion = -1;
  int moduleVersionByte = -1;
  int moduleModeFlag = -1;
  std::vector<SheetPage> pages;

  const SheetPage* page(int subtype) const;
  SheetPage& pageFor(int subtype);  // created when missing
  bool operator==(const ModuleSheet&) const = default;
};

enum class SheetProblem {
  None,
  NotASheet,      // no group "Modul" or no family in it: some other file
  NewerFormat,    // written by a newer program
  BadPlace,       // bus or address outside the layout
  UnknownModule,  // family or sub-type the program does not know
};

struct SheetRead {
  std::optional<ModuleSheet> sheet;
  SheetProblem problem = SheetProblem::None;
};

// Whether (family, sub-type) is a page a sheet can hold: one that can be read out.
bool sheetPageKnown(int family, int subtype);

// "SX0-016.kwm" for bus 0, address 16.
std::string sheetFileName(int bus, int address);

// Reads a sheet; hand-edited files are taken as far as they make sense (unknown keys and
// groups are ignored, values of pages of another family are dropped).
SheetRead parseModuleSheet(std::string_view bytes);

// The file's bytes: UTF-8 with its byte-order mark, CR LF. `caption` (when given) names
// each control in a comment line above its value, for people reading the file.
std::string moduleSheetBytes(const ModuleSheet& sheet,
                             const std::function<std::string(int control)>& caption = {});

}  // namespace kw
