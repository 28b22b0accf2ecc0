// Family 4: address module. The main part holds the module's address, one data byte
// split over three lists and one byte typed as eight binary digits; each sub-type adds
// an extension table of sixteen rows (an address and a data byte each), written and read
// only while the table's check box is ticked.
#include <algorithm>

#include "forms/form.h"
#include "forms/parameter_form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kAddress = 2339;
constexpr int kFirmware = 2340;
constexpr int kHigh = 2341;  // bits 7..5 of parameter 2
constexpr int kMid = 2342;   // bit 4
constexpr int kLow = 2343;   // bits 3..0
constexpr int kBits = 2344;  // parameter 3 as eight binary digits
constexpr int kListsCaption = 2351;

constexpr Colour kBlack = rgb(0, 0, 0);
constexpr Colour kFirmwareShown = rgb(240, 240, 240);

constexpr int kNoticeTitle = 710;
constexpr int kAddressZeroQuestion = 722;

constexpr int kRows = 16;

// One extension table: its controls (first of sixteen each) and its parameter numbers.
struct ExtensionTable {
  int subtype;
  int checkBox;
  int field;  // the row's address
  int high;   // bits 7..4 of the row's data byte
  int mid;    // bit 3
  int low;    // bits 2..0
  int addressParameter;
  int dataParameter;
};

// The data parameters of sub-type 2350 are 70 + row, as the module answers them on
// read-out; 60 + row would overlap the address parameters 50..65 of the same table.
constexpr ExtensionTable kTables[] = {{2348, 2353, 2354, 2370, 2386, 2402, 10, 30},
                                      {2350, 2418, 2419, 2435, 2451, 2467, 50, 70}};

// The table of the shown sub-type when its check box switches it on.
const ExtensionTable* activeTable(const ModuleRun& run) {
  const int subtype = currentSubtype(run.ctx);
  for (const ExtensionTable& t : kTables)
    if (t.subtype == subtype && run.state(t.checkBox) != 0) return &t;
  return nullptr;
}

// Binary digits right-aligned to eight places: the last character is bit 0; any
// character but "1" counts as 0.
int binaryValue(const std::string& text) {
  const size_t n = std::min<size_t>(text.size(), 8);
  int value = 0;
  for (size_t bit = 0; bit < n; ++bit)
    if (text[text.size() - 1 - bit] == '1') value |= 1 << bit;
  return value;
}

int mainByte(const ModuleRun& run) {
  return (run.index(kHigh) << 5) | (run.index(kMid) << 4) | run.index(kLow);
}

int rowByte(const ModuleRun& run, const ExtensionTable& t, int row) {
  return (run.index(t.high + row) << 4) | (run.index(t.mid + row) << 3) | run.index(t.low + row);
}

void setCaptionColour(const ModuleRun& run, Colour colour) {
  run.ui().setTextColour(win::kMain, kListsCaption, colour);
}

constexpr uint32_t W = ModuleRun::kWait;
constexpr int kNoChoiceText = 41;

// The first of the lists that make up the data bytes to be written that has no entry
// chosen (after clearing the form), or 0. Such a list would silently go as bits 0.
int unchosenList(const ModuleRun& run, const ExtensionTable* t) {
  for (int list : {kHigh, kMid, kLow})
    if (run.ui().selection(win::kMain, list) < 0) return list;
  if (t == nullptr) return 0;
  for (int row = 0; row < kRows; ++row)
    for (int first : {t->high, t->mid, t->low})
      if (run.ui().selection(win::kMain, first + row) < 0) return first + row;
  return 0;
}

void programRows(const ModuleRun& run, const ExtensionTable& t) {
  for (int row = 0; row < kRows; ++row) {
    run.mark(t.field + row);
    run.write(0, t.addressParameter + row, W);
    run.write(1, run.value(t.field + row), W);
    run.write(0, t.dataParameter + row, W);
    run.write(1, rowByte(run, t, row), W);
    run.unmark(t.field + row);
    if (run.cancelled()) return;
  }
}

}  // namespace

void programFamily4(ModuleRun& run) {
  const int address = run.value(kAddress);
  if (address == 0 &&
      run.message(kNoticeTitle, run.tx(kAddressZeroQuestion), mb::kYesNo) != mb::kAnswerYes)
    return run.stop();
  const ExtensionTable* table = activeTable(run);
  if (const int list = unchosenList(run, table)) {
    run.stop();
    run.message(kNoticeTitle, run.tx(kNoChoiceText), mb::kOk | mb::kIconError);
    run.focus(list);
    return;
  }
  const int lists = mainByte(run);
  const int bits = binaryValue(run.text(kBits));

  run.mark(kAddress);
  run.write(0, 1, W);
  run.write(1, address, W);
  run.unmark(kAddress);
  run.mark(kBits);
  run.write(0, 2, W);
  run.write(1, lists, W);
  run.unmark(kBits);
  setCaptionColour(run, colour::kWarningRed);
  run.write(0, 3, W);
  run.write(1, bits, W);
  setCaptionColour(run, kBlack);

  if (table != nullptr) programRows(run, *table);
}

// ------------------------------------------------------------------------------------
// Read-out

namespace {

void readAddress(const ModuleRun& run) {
  run.setText(kAddress, pad(run.query(1, {kAddress}).a1, 3));
}

void readBits(const ModuleRun& run) { run.setText(kBits, binary8(run.query(3, {kBits}).a1)); }

void readFirmware(const ModuleRun& run) {
  run.mark(kFirmware);
  readVersion(run, 132, kFirmware);
  run.ui().setBackground(win::kMain, kFirmware, kFirmwareShown);
}

void readLists(const ModuleRun& run) {
  setCaptionColour(run, colour::kWarningRed);
  const int v = run.query(2).a1;
  setCaptionColour(run, kBlack);
  selectIndex(run, kHigh, (v & 224) / 32);
  selectIndex(run, kMid, (v & 16) / 16);
  selectIndex(run, kLow, v & 15);
}

void readRow(const ModuleRun& run, const ExtensionTable& t, int row) {
  run.setText(t.field + row, pad(run.query(t.addressParameter + row, {t.field + row}).a1, 3));
  const int v = run.query(t.dataParameter + row).a1;
  selectIndex(run, t.high + row, v / 16);
  selectIndex(run, t.mid + row, (v / 8) & 1);
  selectIndex(run, t.low + row, v & 7);
}

constexpr ReadStep kReadSteps[] = {readAddress, readBits, readFirmware, readLists};

}  // namespace

void readFamily4(ModuleRun& run) {
  // The page is emptied once more before the first request.
  clearForm(run.ctx, false);
  runReadSteps(run, kReadSteps);
  const ExtensionTable* t = activeTable(run);
  if (t == nullptr) return;
  for (int row = 0; row < kRows; ++row) {
    if (run.cancelled()) return;
    readRow(run, *t, row);
  }
}

}  // namespace kw
