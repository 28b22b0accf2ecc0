// Family 0: modules configured by a numbered table of entries, each a bus address with a
// function code, in three sub-types (17, 16, 15). Every entry goes through the register
// window: parameter number to address 0, the entry's address to 1, its code to 2.
// The write sequence comes first, the read-out below it.
#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "forms/parameter_form.h"
#include "programming/families.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;

// The module needs the parameter number settled before its data arrive.
constexpr uint32_t kParameterPause = 400;
constexpr uint32_t kDataPause = 200;

// One entry of the form: its parameter number, address field and function list.
struct Entry {
  int parameter;
  int field;
  int list;
};

// Rows numbered consecutively: parameter, field and list all count up together.
struct Table {
  int firstParameter;
  int firstField;
  int firstList;
  int count;
  Entry at(int i) const { return {firstParameter + i, firstField + i, firstList + i}; }
};

constexpr Table kTableA15 = {1, 2032, 2042, 10};   // sub-type 15, inputs
constexpr Table kTableB15 = {11, 2052, 2062, 10};  // sub-type 15, outputs
constexpr Table kRows16 = {1, 2086, 2106, 20};
constexpr Table kOutputs17 = {1, 2152, 2172, 18};  // six extensions of three outputs each

// The three fixed rows at the top of each page, in the order they are written and read.
using FixedRows = std::array<Entry, 3>;
constexpr FixedRows kFixed15 = {{{22, 2022, 2025}, {21, 2023, 2026}, {23, 2024, 2027}}};
constexpr FixedRows kFixed16 = {{{22, 2074, 2077}, {21, 2075, 2078}, {23, 2076, 2079}}};
constexpr FixedRows kFixed17 = {{{21, 2140, 2143}, {22, 2141, 2144}, {23, 2142, 2145}}};

// The single "third address" field of each page, parameter 24.
constexpr int kModuleMode = 24;
constexpr int kDimming = 27;
constexpr int kParameter28 = 28;

// How an empty row reaches the module.
enum class EmptyRow {
  AsItStands,      // address and code exactly as the form has them
  ZeroClearsCode,  // address 0 means "no entry": the code goes as 0 too
  BlankIs255,      // a blank address field is sent as 255 with code 0
};

struct RowValue {
  int address;
  int code;
};

bool blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// Characters, not bytes: the language texts may hold umlauts.
size_t characters(const std::string& text) {
  size_t n = 0;
  for (unsigned char ch : text)
    if ((ch & 0xC0) != 0x80) ++n;
  return n;
}

RowValue rowValue(const ModuleRun& run, const Entry& e, EmptyRow rule) {
  RowValue v{run.value(e.field), functionCode(run.text(e.list))};
  if (rule == EmptyRow::ZeroClearsCode && v.address == 0) v.code = 0;
  if (rule == EmptyRow::BlankIs255 && blank(run.text(e.field))) v = {255, 0};
  return v;
}

// Parameter number, then its two data bytes; the field shows busy red meanwhile.
void writeEntry(const ModuleRun& run, int parameter, int field, RowValue v) {
  run.mark(field);
  run.write(0, parameter, kParameterPause);
  run.write(1, v.address, kDataPause);
  run.write(2, v.code, kDataPause);
  run.unmark(field);
}

// Parameter 24: one address field, one data byte.
void writeModuleAddress(const ModuleRun& run, int field) {
  run.mark(field);
  run.write(0, kModuleMode, kParameterPause);
  run.write(1, run.value(field), kDataPause);
  run.unmark(field);
}

// Writes the rows of a table, stopping after the row under way when the user cancels.
// Returns how many rows carried a function.
int writeTable(const ModuleRun& run, const Table& t, EmptyRow rule) {
  int withFunction = 0;
  for (int i = 0; i < t.count; ++i) {
    const Entry e = t.at(i);
    const RowValue v = rowValue(run, e, rule);
    if (v.code > 0) ++withFunction;
    writeEntry(run, e.parameter, e.field, v);
    if (run.cancelled()) break;
  }
  return withFunction;
}

// The fixed rows are one block: a cancel is honoured only before it.
void writeFixed(const ModuleRun& run, const FixedRows& rows, EmptyRow rule) {
  for (const Entry& e : rows) writeEntry(run, e.parameter, e.field, rowValue(run, e, rule));
}

// ------------------------------------------------------------------------------------
// Checks before anything is written.

// Marks the field while its message is up, then leaves the focus on it.
void showAt(const ModuleRun& run, int field, int title, int text) {
  run.stop();
  run.mark(field);
  run.message(title, run.tx(text), mb::kOk | mb::kIconError);
  run.unmark(field);
  run.focus(field);
}

struct RowTexts {
  int tooHigh;     // message of an address beyond the modules' range
  int noFunction;  // message of an address without a function
};

// Rows with an address need a function; addresses stop at 110. Sets `used` when a row
// has an address. False after the message of the first offending row.
bool checkRows(const ModuleRun& run, const Table& t, RowTexts texts, bool& used) {
  constexpr int kFirstInvalidAddress = 111;
  constexpr size_t kShortestFunctionText = 5;  // "nn: " and at least one character
  for (int i = 0; i < t.count; ++i) {
    const Entry e = t.at(i);
    const int address = run.value(e.field);
    if (address >= kFirstInvalidAddress) {
      showAt(run, e.field, 562, texts.tooHigh);
      return false;
    }
    if (address <= 0) continue;
    used = true;
    if (characters(run.text(e.list)) < kShortestFunctionText) {
      showAt(run, e.field, 564, texts.noFunction);
      return false;
    }
  }
  return true;
}

bool rowCheck15(const ModuleRun& run) {
  bool usedA = false;
  if (!checkRows(run, kTableA15, {563, 565}, usedA)) return false;
  // With inputs in table A the first fixed row may not hold an address as well.
  if (usedA && run.value(2022) > 0) {
    showAt(run, 2022, 566, 567);
    return false;
  }
  bool usedB = false;
  if (!checkRows(run, kTableB15, {568, 569}, usedB)) return false;
  if (usedB && run.value(2024) > 0) {
    showAt(run, 2024, 570, 571);
    return false;
  }
  return true;
}

bool rowCheck16(const ModuleRun& run) {
  bool used = false;
  if (!checkRows(run, kRows16, {194, 195}, used)) return false;
  // A warning only: programming goes on after it.
  if (used && run.value(2023) > 0) showAt(run, 2023, 197, 196);
  return true;
}

// The module's answer to parameter 24 at address 2 says whether it expects extension
// rows; tell the user when the rows on the form say otherwise.
void modeNotice(const ModuleRun& run, int modeFlag, int rowsInUse) {
  int first = 0;
  int second = 0;
  if (modeFlag == 0 && rowsInUse > 0) {
    first = 641;
    second = 642;
  } else if (modeFlag == 1 && rowsInUse == 0) {
    first = 643;
    second = 644;
  } else {
    return;
  }
  run.message(640, run.tx(first) + "\n" + run.tx(second), mb::kOk | mb::kIconInformation);
}

// ------------------------------------------------------------------------------------
// The sequences.

void program15(ModuleRun& run) {
  if (!rowCheck15(run)) return;
  lockForm(run.ctx, true);
  writeTable(run, kTableA15, EmptyRow::ZeroClearsCode);
  if (!run.cancelled()) writeTable(run, kTableB15, EmptyRow::ZeroClearsCode);
  if (!run.cancelled()) writeFixed(run, kFixed15, EmptyRow::ZeroClearsCode);
  if (!run.cancelled()) writeModuleAddress(run, 2029);
  run.focus(2022);
  lockForm(run.ctx, false);
}

void program16(ModuleRun& run) {
  if (!rowCheck16(run)) return;
  lockForm(run.ctx, true);
  int used = 0;
  if (!run.cancelled()) used = writeTable(run, kRows16, EmptyRow::BlankIs255);
  if (!run.cancelled()) writeFixed(run, kFixed16, EmptyRow::AsItStands);
  if (!run.cancelled()) writeModuleAddress(run, 2081);
  pauseIgnoringInput(run.ctx, 800);
  run.focus(2074);
  lockForm(run.ctx, false);
  // Still cancelled after the unlock only when the user agreed to quit: nothing more then.
  if (run.cancelled()) return;
  // Asked after a cancel too: the notice compares the module with what was written.
  constexpr uint32_t kStatusWait = 700;
  run.write(0, kModuleMode, kStatusWait);
  run.ctx.module.moduleModeFlag = static_cast<uint8_t>(run.answer().a2 & 0xFF);
  modeNotice(run, run.ctx.module.moduleModeFlag, used);
}

// Dimming time: only 1..16 are meaningful to the module; it goes to address 2 alone.
void writeDimming(const ModuleRun& run) {
  const int d = run.value(2221);
  if (d < 1 || d > 16) return;
  run.write(0, kDimming, kParameterPause);
  run.write(2, d, kDataPause);
}

// Parameter 28 carries 2219 at address 1 and 2220 at address 2; an incomplete pair
// goes as the module's defaults.
void writeParameter28(const ModuleRun& run) {
  int p = run.value(2220);
  int q = run.value(2219);
  if (p == 0 || q == 0) {
    p = 18;
    q = 100;
  }
  writeEntry(run, kParameter28, 2220, {q, p});
}

// An output with function 27 needs function 5 on the output after it; a wrong one is
// corrected on the form and in what is written.
void writeOutputs17(const ModuleRun& run) {
  constexpr int kPairedFirst = 27;
  constexpr int kPairedSecond = 5;
  bool afterPairedFirst = false;
  for (int i = 0; i < kOutputs17.count; ++i) {
    const Entry e = kOutputs17.at(i);
    RowValue v = rowValue(run, e, EmptyRow::BlankIs255);
    if (v.code == kPairedFirst) {
      afterPairedFirst = true;
    } else if (afterPairedFirst) {
      afterPairedFirst = false;
      if (v.code != kPairedSecond) {
        run.message(710, run.tx(718));
        v.code = kPairedSecond;
        run.ui().selectByText(kMain, e.list, run.tx(655));
      }
    }
    writeEntry(run, e.parameter, e.field, v);
    if (run.cancelled()) break;
  }
}

void program17(ModuleRun& run) {
  const bool onlyExtensions = run.state(2217) != 0;
  const bool withoutExtensions = run.state(2216) != 0;
  if (!run.cancelled() && !onlyExtensions) {
    writeFixed(run, kFixed17, EmptyRow::AsItStands);
    writeDimming(run);
    writeParameter28(run);
  }
  if (!run.cancelled() && !onlyExtensions) writeModuleAddress(run, 2147);
  pauseIgnoringInput(run.ctx, 200);
  run.focus(2140);
  if (!run.cancelled() && !withoutExtensions) writeOutputs17(run);
  lockForm(run.ctx, false);
}

}  // namespace

void programFamily0(ModuleRun& run) {
  switch (currentSubtype(run.ctx)) {
    case 15:
      program15(run);
      break;
    case 16:
      program16(run);
      break;
    case 17:
      program17(run);
      break;
    default:
      break;
  }
}

// ======================================================================================
// Read-out.

namespace {

// Display fields return to display grey after their request instead of input yellow.
bool isDisplayField(int c) {
  return c == 2080 || (c >= 2082 && c <= 2085) || c == 2146 || (c >= 2148 && c <= 2151);
}

void setBackground(const ModuleRun& run, int control, Colour colour) {
  run.ui().setBackground(kMain, control, colour);
}

// One read-out step; nothing when the user has cancelled, which skips all further steps.
std::optional<Answer> ask(const ModuleRun& run, int parameter, std::initializer_list<int> fields) {
  if (run.cancelled()) return std::nullopt;
  const Answer a = run.query(parameter, fields);
  for (int f : fields)
    if (isDisplayField(f)) setBackground(run, f, colour::kDisplayGrey);
  return a;
}

// Selects the item that is language text `n`; a list without it keeps its selection.
void selectText(const ModuleRun& run, int list, int n) {
  const std::string& item = run.tx(n);
  if (!item.empty()) run.ui().selectByText(kMain, list, item);
}

void selectCode(const ModuleRun& run, int list, int code) {
  selectText(run, list, functionText(list, code));
}

// A wrong module answers the version query with a number out of its range.
void versionError(const ModuleRun& run, int text) {
  run.stop();
  run.message(338, run.tx(text));
}

// Version byte of sub-types 16 and 17: major in the high nibble, minor in the low one.
std::string nibbleVersion(int v) { return "  " + std::to_string(v / 16) + "." + pad(v % 16, 2); }

// An address row: the address and its function when the module has one.
std::optional<Answer> readEntry(const ModuleRun& run, const Entry& e) {
  const auto a = ask(run, e.parameter, {e.field});
  if (a && a->a1 > 0) {
    run.setText(e.field, pad(a->a1, 3));
    selectCode(run, e.list, a->a2);
  }
  return a;
}

bool readTable(const ModuleRun& run, const Table& t) {
  for (int i = 0; i < t.count; ++i)
    if (!readEntry(run, t.at(i))) return false;
  return true;
}

// A fixed row; some pages show no busy red while it is asked.
std::optional<Answer> readFixedRow(const ModuleRun& run, const Entry& e, bool mark) {
  if (mark) return readEntry(run, e);
  const auto a = ask(run, e.parameter, {});
  if (a && a->a1 > 0) {
    run.setText(e.field, pad(a->a1, 3));
    selectCode(run, e.list, a->a2);
  }
  return a;
}

bool readFixed(const ModuleRun& run, const FixedRows& rows, bool mark) {
  for (const Entry& e : rows)
    if (!readFixedRow(run, e, mark)) return false;
  return true;
}

// Plain decimal into a field when the module answers above 0.
bool readNumber(const ModuleRun& run, int parameter, int field) {
  const auto a = ask(run, parameter, {field});
  if (!a) return false;
  if (a->a1 > 0) run.setText(field, std::to_string(a->a1));
  return true;
}

void read15(ModuleRun& run) {
  const auto version = ask(run, kDimming, {2028});
  if (!version) return;
  const int v = version->a1;
  if (v > 17) {
    versionError(run, 339);
    return;
  }
  if (v > 0) run.setText(2028, "  " + std::to_string(v / 10) + "." + std::to_string(v % 10));
  if (!readTable(run, kTableA15) || !readTable(run, kTableB15)) return;
  if (!readFixed(run, kFixed15, true) || !readNumber(run, kModuleMode, 2029)) return;
  // The counts of the two tables as the module reports them.
  const auto outputs = ask(run, 25, {});
  if (!outputs) return;
  run.setText(2031, std::to_string(outputs->a1));
  const auto inputs = ask(run, 26, {});
  if (!inputs) return;
  run.setText(2030, std::to_string(inputs->a1));
}

// Rows with an address, split by function: codes below 5 are inputs, the rest outputs.
struct RowCounts {
  int inputs = 0;
  int outputs = 0;
};

// The two a3 answers by which an extension row reports its kind; the first belongs to
// input extensions, the second to output extensions.
struct ExtensionKinds {
  int input;
  int output;
  bool has(int a3) const { return a3 == input || a3 == output; }
};

constexpr ExtensionKinds kExtensions16 = {25, 57};
constexpr ExtensionKinds kExtensions17 = {228, 234};

void showStatus(const ModuleRun& run, int label, int text, Colour colour) {
  run.setText(label, run.tx(text));
  run.ui().setTextColour(kMain, label, colour);
}

void showKind(const ModuleRun& run, int label, int a3, ExtensionKinds kinds) {
  if (a3 == kinds.input)
    showStatus(run, label, 647, colour::kStatusBlue);
  else if (a3 == kinds.output)
    showStatus(run, label, 648, colour::kStatusBlue);
  else
    showStatus(run, label, 649, colour::kStatusGrey);
}

// A row with an address is counted; its field turns pink unless the extension it sits
// on is of the matching kind.
void countRow(const ModuleRun& run, int field, const Answer& a, ExtensionKinds kinds,
              RowCounts& counts) {
  constexpr int kFirstOutputCode = 5;
  const bool input = a.a2 < kFirstOutputCode;
  (input ? counts.inputs : counts.outputs) += 1;
  if (a.a3 != (input ? kinds.output : kinds.input)) setBackground(run, field, colour::kMarkedPink);
}

bool readRow16(const ModuleRun& run, int i, RowCounts& counts) {
  const Entry e = kRows16.at(i);
  const int label = 2126 + i / 2;
  const auto a = ask(run, e.parameter, {e.field});
  if (!a) return false;
  showKind(run, label, a->a3, kExtensions16);
  if (a->a1 <= 0) return true;
  run.setText(e.field, pad(a->a1, 3));
  // Without an extension only the module's own functions are taken.
  if (kExtensions16.has(a->a3) || (a->a2 > 0 && a->a2 < 22)) selectCode(run, e.list, a->a2);
  countRow(run, e.field, *a, kExtensions16, counts);
  return true;
}

// Extensions connected (parameter 26) and programmed (parameter 25), inputs and outputs;
// a programmed count that differs from the connected one turns mismatch pink.
struct CountFields {
  int connectedIn;
  int connectedOut;
  int programmedIn;
  int programmedOut;
  int connectedFactor;  // the module counts in units of this
  int programmedDivisor;
};

void showAgainst(const ModuleRun& run, int field, int value, int partner) {
  run.setText(field, std::to_string(value));
  setBackground(run, field, value == partner ? colour::kDisplayGrey : colour::kMismatchPink);
}

// Returns the number of connected extensions, or nothing after a cancel.
std::optional<int> readCounts(const ModuleRun& run, const CountFields& f) {
  const auto connected = ask(run, 26, {f.connectedIn, f.connectedOut});
  if (!connected) return std::nullopt;
  const int in = f.connectedFactor * connected->a1;
  const int out = f.connectedFactor * connected->a2;
  run.setText(f.connectedIn, std::to_string(in));
  run.setText(f.connectedOut, std::to_string(out));
  const auto programmed = ask(run, 25, {f.programmedIn, f.programmedOut});
  if (!programmed) return std::nullopt;
  showAgainst(run, f.programmedIn, programmed->a1 / f.programmedDivisor, in);
  showAgainst(run, f.programmedOut, programmed->a2 / f.programmedDivisor, out);
  return in + out;
}

constexpr CountFields kCounts16 = {2082, 2084, 2083, 2085, 2, 1};
constexpr CountFields kCounts17 = {2148, 2150, 2149, 2151, 1, 3};  // three outputs each

void read16(ModuleRun& run) {
  const auto version = ask(run, kDimming, {2080});
  if (!version) return;
  if (version->a1 <= 31) {
    versionError(run, 340);
    return;
  }
  run.setText(2080, nibbleVersion(version->a1));
  const auto mode = ask(run, kModuleMode, {2081});
  if (!mode) return;
  if (mode->a1 > 0) {
    run.setText(2081, std::to_string(mode->a1));
    run.ctx.module.moduleModeFlag = static_cast<uint8_t>(mode->a2 & 0xFF);
  }
  const auto connected = readCounts(run, kCounts16);
  if (!connected) return;
  RowCounts counts;
  for (int i = 0; i < kRows16.count; ++i)
    if (!readRow16(run, i, counts)) return;
  if (!readFixedRow(run, kFixed16[0], false) || !readFixedRow(run, kFixed16[1], false)) return;
  // With extensions connected the second fixed address is taken over by them.
  if (*connected > 0) setBackground(run, kFixed16[1].field, colour::kMarkedPink);
  if (!readFixedRow(run, kFixed16[2], false)) return;
  // A cancel during the last query leaves the form incomplete: no verdict on it.
  if (run.cancelled()) return;
  modeNotice(run, run.ctx.module.moduleModeFlag, counts.inputs + counts.outputs);
}

// The items an output list offers depend on the extension behind it: 234 has four input
// functions, 228 the output functions, an unknown one the whole list. The "A" outputs
// also offer function 27.
void refillOutputList(const ModuleRun& run, int list, int a3, bool outputA) {
  std::vector<std::pair<int, int>> ranges;
  if (a3 == kExtensions17.output)
    ranges = {{651, 654}};
  else if (a3 == kExtensions17.input)
    ranges = {{655, 666}, {677, 677}, {668, 675}};
  else
    ranges = {{651, 666}, {677, 677}, {668, 675}};
  if (a3 != kExtensions17.output && outputA) ranges.emplace_back(676, 676);
  std::vector<std::string> items;
  for (auto [from, to] : ranges)
    for (int n = from; n <= to; ++n) items.push_back(run.tx(n));
  items.emplace_back();  // no function
  run.ui().setItems(kMain, list, items);
}

constexpr int kOutputsPerExtension = 3;

// Reads output row i; returns how many rows after it to skip (the rest of its extension
// when there is none), or nothing after a cancel.
std::optional<int> readOutput17(const ModuleRun& run, int i, RowCounts& counts) {
  constexpr int kFirstUnusedCode = 112;  // answers from here on are no function
  const Entry e = kOutputs17.at(i);
  const int firstOfGroup = i - i % kOutputsPerExtension;
  const int label = 2192 + firstOfGroup;
  const auto a = ask(run, e.parameter, {e.field});
  if (!a) return std::nullopt;
  const bool known = kExtensions17.has(a->a3);
  if (a->a1 > 0 && a->a2 < kFirstUnusedCode) {
    run.setText(e.field, pad(a->a1, 3));
    refillOutputList(run, e.list, a->a3, i % kOutputsPerExtension == 0);
    if (known) selectCode(run, e.list, a->a2);
    showKind(run, label, a->a3, kExtensions17);
    countRow(run, e.field, *a, kExtensions17, counts);
    return 0;
  }
  if (known) {
    showKind(run, label, a->a3, kExtensions17);
    return 0;
  }
  // No extension here: its three rows say so and the rest of them are not asked. Only the
  // rows left in this extension are skipped, so that an empty second or third output
  // never costs the next extension its first rows.
  for (int k = 0; k < kOutputsPerExtension; ++k)
    showStatus(run, 2192 + firstOfGroup + k, 649, colour::kStatusGrey);
  return kOutputsPerExtension - 1 - i % kOutputsPerExtension;
}

// Base part: version, fixed rows, parameter 28, module address. False to end the read-out.
bool readBase17(ModuleRun& run) {
  const auto version = ask(run, kDimming, {2146});
  if (!version) return false;
  if (version->a1 <= 31) {
    versionError(run, 340);
    return false;
  }
  run.setText(2146, nibbleVersion(version->a1));
  run.setText(2221, std::to_string(version->a2));
  if (!readFixed(run, kFixed17, false)) return false;
  const auto pair = ask(run, kParameter28, {2220});
  if (!pair) return false;
  if (pair->a1 > 0) {
    run.setText(2220, std::to_string(pair->a2));
    run.setText(2219, std::to_string(pair->a1));
  }
  const auto mode = ask(run, kModuleMode, {2147});
  if (!mode) return false;
  if (mode->a1 > 0) {
    run.setText(2147, std::to_string(mode->a1));
    run.ctx.module.moduleModeFlag = static_cast<uint8_t>(mode->a2 & 0xFF);
  }
  return true;
}

void readExtensions17(const ModuleRun& run) {
  if (!readCounts(run, kCounts17)) return;
  RowCounts counts;
  for (int i = 0; i < kOutputs17.count;) {
    const auto skip = readOutput17(run, i, counts);
    if (!skip) return;
    i += 1 + *skip;
  }
}

void read17(ModuleRun& run) {
  if (run.state(2217) == 0 && !readBase17(run)) return;
  if (run.state(2216) == 0) readExtensions17(run);
}

}  // namespace

void readFamily0(ModuleRun& run) {
  switch (currentSubtype(run.ctx)) {
    case 15:
      read15(run);
      break;
    case 16:
      read16(run);
      break;
    case 17:
      read17(run);
      break;
    default:
      break;
  }
}

}  // namespace kw
