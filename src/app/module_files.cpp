#include "app/module_files.h"

#include <algorithm>
#include <array>
#include <optional>

#include "forms/parameter_form.h"
#include "platform/text_encoding.h"
#include "programming/module_run.h"

namespace kw {

namespace {

constexpr int kMain = win::kMain;
constexpr const char* kLineEnd = "\r\n";

// A file of a few dozen short lines; anything this big is no module file, and reading it
// whole would only cost memory.
constexpr int64_t kMaxFileBytes = 1 << 20;
// The fields hold three digits (with a blank before them after loading); a damaged file
// must not pour a whole line into one of them.
constexpr size_t kMaxFieldText = 12;

// Consecutive lines of one kind of row. A pair row has an address field and a function
// list; a single row only a field (second = 0).
struct RowBlock {
  int number;  // number of the first line (written for the reader; loading ignores it)
  int count;
  int first;   // control of the first line's field; the next line has the next control
  int second;  // its function list, 0 for single rows
  int textBase = 0;           // the list item of code c is language text textBase + c ...
  bool seventeenIs27 = false;  // ... after 17 became 27 (text 677, the lists' own item 17)
};

struct FileKind {
  int subtype;
  const char* marker;
  int saveName;  // language text of the proposed file name when saving
  int loadName;  // ... and when loading (kinds 0 and 1 propose the other kind's name)
  bool trimPairAddress;  // pair rows take the address without blanks
  std::array<RowBlock, 7> blocks;
};

const FileKind kKinds[kModuleFileKinds] = {
    {15, "-8321-", 572, 554, false,
     {{{1, 10, 2032, 2042, 150},
       {11, 10, 2052, 2062, 150},
       {21, 3, 2022, 2025, 150},
       {24, 1, 2029, 0}}}},
    {16, "-8322-", 554, 572, true,
     {{{1, 20, 2086, 2106, 650, true}, {21, 3, 2074, 2077, 650}, {24, 1, 2081, 0}}}},
    {17, "-8323-", 589, 589, true,
     {{{1, 18, 2152, 2172, 650, true},
       {21, 3, 2140, 2143, 650},
       {24, 1, 2147, 0},
       // Three single lines that all carry the number 28.
       {28, 1, 2220, 0},
       {28, 1, 2219, 0},
       {28, 1, 2221, 0}}}},
};

// One line of the file: its number and its controls.
struct FileRow {
  int number;
  int field;
  int list;  // 0: a single row
  const RowBlock* block;
};

std::vector<FileRow> rowsOf(const FileKind& k) {
  std::vector<FileRow> rows;
  for (const RowBlock& b : k.blocks) {
    for (int i = 0; i < b.count; ++i)
      rows.push_back({b.number + i, b.first + i, b.second != 0 ? b.second + i : 0, &b});
  }
  return rows;
}

std::string trimBlanks(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string withoutLeadingBlanks(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a);
}

// Field `n` (1-based) of a line split at every comma; empty when the line has fewer.
std::string field(const std::string& line, int n) {
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const size_t comma = line.find(',', start);
    if (comma == std::string::npos) return {};
    start = comma + 1;
  }
  const size_t end = line.find(',', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The decimal value of up to two leading digits ("7:" is 7); 0 without digits.
int codeOf(const std::string& text) {
  int code = 0;
  for (size_t i = 0; i < 2 && i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    code = code * 10 + (text[i] - '0');
  return code;
}

// Chooses the list item of `code`: the one whose text is the row's language text for the
// code. Where that text is no item of the list, or names an item of another code (27 would
// come back as 17), the item that carries the code is taken; a code without an item leaves
// the list on its empty item, as "no function" was saved.
void selectFunction(AppContext& ctx, const FileRow& row, int code) {
  Ui& ui = ctx.ui;
  const RowBlock& b = *row.block;
  const int textNumber = b.textBase + (b.seventeenIs27 && code == 17 ? 27 : code);
  const std::string& wanted = ctx.text(textNumber);
  const std::vector<std::string> items = ui.items(kMain, row.list);
  int index = -1;
  for (size_t i = 0; i < items.size() && index < 0; ++i)
    if (items[i] == wanted && functionCode(items[i]) == code) index = static_cast<int>(i);
  for (size_t i = 0; i < items.size() && index < 0 && code > 0; ++i)
    if (functionCode(items[i]) == code) index = static_cast<int>(i);
  if (index >= 0) {
    ui.setSelection(kMain, row.list, index);
    return;
  }
  ui.setText(kMain, row.list, "");
  if (!ui.text(kMain, row.list).empty()) ui.setSelection(kMain, row.list, -1);
}

void applyRow(AppContext& ctx, const FileKind& k, const FileRow& row, const std::string& line) {
  const std::string address = field(line, 2);
  // The limit is for the value: neither the blank a loaded address keeps before it nor
  // blanks trimmed away count, or every save and load would cut a long value shorter.
  const std::string unblanked = withoutLeadingBlanks(address);
  const std::string value = utf8Prefix(unblanked, kMaxFieldText);
  const size_t blanks = std::min(address.size() - unblanked.size(), kMaxFieldText);
  if (row.list != 0 && k.trimPairAddress)
    ctx.ui.setText(kMain, row.field, trimBlanks(value));
  else
    ctx.ui.setText(kMain, row.field, std::string(blanks, ' ') + value);
  if (row.list == 0) return;
  selectFunction(ctx, row, codeOf(trimBlanks(field(line, 3))));
}

std::string fileErrorText(const AppContext& ctx, const std::string& name) {
  return ctx.text(524) + "\n\n   " + name + "   \n\n" + ctx.text(525);
}

FileDialogSpec dialogSpec(const AppContext& ctx, int title, int proposal) {
  FileDialogSpec d;
  d.owner = kMain;
  d.title = ctx.text(title);
  d.pattern = ctx.text(555);
  d.directory = ctx.startDirectory;
  d.fileName = ctx.startDirectory + ctx.text(proposal);
  return d;
}

bool validKind(int kind) { return kind >= 0 && kind < kModuleFileKinds; }

}  // namespace

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::string moduleFileBytes(const AppContext& ctx, int kind) {
  if (!validKind(kind)) return {};
  const FileKind& k = kKinds[kind];
  std::string out = std::string(k.marker) + kLineEnd;
  for (const FileRow& row : rowsOf(k)) {
    // Loading puts a blank before some addresses; it is not part of the value, and
    // writing it back would add one more blank on every save and load.
    out += pad(row.number, 2) + ", " + withoutLeadingBlanks(ctx.ui.text(kMain, row.field)) + ", ";
    if (row.list != 0) out += ctx.ui.text(kMain, row.list);
    out += kLineEnd;
  }
  return utf8ToCp1252(out);
}

bool applyModuleFile(AppContext& ctx, int kind, const std::string& bytes) {
  if (!validKind(kind)) return false;
  const FileKind& k = kKinds[kind];
  const std::vector<std::string> lines = textLines(decodeTextFile(bytes));
  if (lines.empty() || lines[0] != k.marker) return false;
  size_t next = 1;
  // Lines missing at the end read as empty: the field is emptied, the list gets code 0.
  for (const FileRow& row : rowsOf(k))
    applyRow(ctx, k, row, next < lines.size() ? lines[next++] : std::string());
  return true;
}

void saveModuleFile(AppContext& ctx, int kind) {
  if (!validKind(kind)) return;
  const FileKind& k = kKinds[kind];
  const std::optional<std::string> name = ctx.ui.saveFileDialog(dialogSpec(ctx, 558, k.saveName));
  if (!name || name->empty()) return;
  if (ctx.system.fileExists(*name) &&
      ctx.ui.messageBox(kMain, ctx.text(559), ctx.text(560) + *name + ctx.text(561),
                        mb::kYesNo | mb::kIconWarning) != mb::kAnswerYes)
    return;
  if (ctx.system.writeFileAtomic(*name, moduleFileBytes(ctx, kind))) return;
  // Saying nothing would let the user believe the module's table is kept.
  ctx.ui.messageBox(kMain, ctx.text(558), fileErrorText(ctx, *name), mb::kOk | mb::kIconError);
}

void loadModuleFile(AppContext& ctx, int kind) {
  if (!validKind(kind)) return;
  const FileKind& k = kKinds[kind];
  const std::optional<std::string> name = ctx.ui.openFileDialog(dialogSpec(ctx, 553, k.loadName));
  if (!name || name->empty()) return;
  const bool tooBig = ctx.system.fileSize(*name) > kMaxFileBytes;
  const std::optional<std::string> bytes =
      tooBig ? std::optional<std::string>(std::string()) : ctx.system.readFile(*name);
  if (!bytes) {
    ctx.ui.messageBox(kMain, "Error", fileErrorText(ctx, *name), mb::kOk | mb::kIconError);
    return;
  }
  if (!applyModuleFile(ctx, kind, *bytes))
    ctx.ui.messageBox(kMain, ctx.text(556), ctx.text(557), mb::kOk | mb::kIconError);
}

void registerModuleFileRows(Dispatcher& d) {
  constexpr int kButtons[kModuleFileKinds] = {2072, 2138, 2214};  // save; load is the next
  for (int kind = 0; kind < kModuleFileKinds; ++kind) {
    d.onControl(kButtons[kind], kButtons[kind], EventType::Click,
                [kind](AppContext& c, const UiEvent&) { saveModuleFile(c, kind); });
    d.onControl(kButtons[kind] + 1, kButtons[kind] + 1, EventType::Click,
                [kind](AppContext& c, const UiEvent&) { loadModuleFile(c, kind); });
  }
}

}  // namespace kw
