// The parameter form: bus selector, action bar, the tabs of the eleven module families
// with the pages of family 0, and the form operations that work on every family.
#pragma once

#include <string>

#include "app/context.h"
#include "forms/form.h"

namespace kw {

// Creates the whole form once, while the main window is still hidden.
void buildParameterForm(AppContext& ctx);
// Fills every function list of family 0 (items are language texts, last item empty).
void fillFunctionLists(AppContext& ctx);
// Reads the selection (family, sub-types of families 0, 1 and 4) from the tabs.
void selectionFromTabs(AppContext& ctx);
// The sub-type of the current family (0 for families without sub-types).
int currentSubtype(const AppContext& ctx);
// Empties the inputs of the module on the current page; with `confirm` asks first.
void clearForm(AppContext& ctx, bool confirm);

// Function code of a list item: the number formed by its first two characters
// (0 for the empty item and anything that does not start with a digit).
int functionCode(const std::string& itemText);
// The language text number that read-out selects in function list `list` for `code`.
int functionText(int list, int code);
// True for the controls that are function lists of family 0.
bool isFunctionList(int control);

// Switching module B: the timing scale (option 2520 first, 2521 second) chooses the range
// caption, whether the third field is used, and the picture.
void showTimingScale(AppContext& ctx, bool first);

// Family 10 can only write: while locked, read-out (2005) and factory values (2010) are
// off. Also used by programming, which ends family-10 runs with the lock on again.
void directWriteLock(AppContext& ctx, bool locked);

// Reactions to the form's tab controls (2000 outer, 2001..2003 inner).
void onFamilyTab(AppContext& ctx, int page);
void onFamily0Tab(AppContext& ctx, int page);
void onFamily1Tab(AppContext& ctx, int page);
void onFamily2Tab(AppContext& ctx, int page);

// The service dialog reached by Ctrl on the "service" item of list 2077.
void runServiceDialog(AppContext& ctx);

// Control-event rows of the form (the shell registers bus buttons, cancel and the
// address-field checks itself).
void registerFormRows(Dispatcher& d);

}  // namespace kw
