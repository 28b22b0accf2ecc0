// Module data files of the function modules (family 0): the rows of a sub-type's form as
// a small text file that is saved and loaded again. Function lists are stored with their
// code, so a file written in one language loads in any other.
#pragma once

#include <string>
#include <vector>

#include "app/context.h"

namespace kw {

// File kinds 0, 1 and 2 belong to sub-types 15, 16 and 17.
constexpr int kModuleFileKinds = 3;

// The save and load buttons: asks for a file name, then writes or fills the form of the
// kind's sub-type. Neither touches the bus.
void saveModuleFile(AppContext& ctx, int kind);
void loadModuleFile(AppContext& ctx, int kind);

// The file's bytes for the form as it stands (Windows-1252, CR LF).
std::string moduleFileBytes(const AppContext& ctx, int kind);
// Fills the form from a file's bytes. False, with nothing changed, when the first line
// is not the kind's marker.
bool applyModuleFile(AppContext& ctx, int kind, const std::string& bytes);

// Lines of a text file, ended by CR LF, LF or CR; no line after the last line end.
std::vector<std::string> textLines(const std::string& text);

// Control-event rows of the six save and load buttons.
void registerModuleFileRows(Dispatcher& d);

}  // namespace kw
