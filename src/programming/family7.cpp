// Family 7: output module. Parameters 1 and 2 are numbers, parameters 3..10 one byte per
// row: a function code in bits 3..0, an option in bit 4 and a mode in bits 7..5.
#include "forms/form.h"
#include "programming/families.h"
#include "programming/module_steps.h"

namespace kw {

namespace {

constexpr int kFirstNumber = 2573;
constexpr int kSecondNumber = 2574;
constexpr int kFirstFunction = 2575;  // rows 1..8: function list, item "cc: ..."
constexpr int kFirstMode = 2583;      //             mode list, item "m: ..."
constexpr int kFirstOptionOff = 2591;
constexpr int kFirstOptionOn = 2599;  //             bit 4

constexpr int kParameters = 10;
constexpr int kFirstRowParameter = 3;
constexpr int kFunctionTexts = 430;  // text 430 + code
constexpr int kModeTexts = 450;      // text 450 + mode

constexpr uint32_t kParameterWaitMs = 400;
constexpr uint32_t kValueWaitMs = 200;
constexpr uint32_t kReadWaitMs = 700;

int rowByte(const ModuleRun& run, int row) {
  int v = run.code(kFirstFunction + row) | (leadingCode(run.text(kFirstMode + row), 1) << 5);
  if (run.state(kFirstOptionOn + row) != 0) v += 16;
  return v;
}

int valueOf(const ModuleRun& run, int parameter) {
  if (parameter == 1) return run.value(kFirstNumber);
  if (parameter == 2) return run.value(kSecondNumber);
  return rowByte(run, parameter - kFirstRowParameter);
}

}  // namespace

void programFamily7(ModuleRun& run) {
  for (int p = 1; p <= kParameters; ++p) {
    run.write(0, p, kParameterWaitMs);
    run.write(1, valueOf(run, p), kValueWaitMs);
    if (run.cancelled()) return;
  }
}

// ------------------------------------------------------------------------------------
// Read-out

namespace {

// A code without an item (function 0) leaves the list without a selection.
void selectByText(const ModuleRun& run, int list, int text) {
  run.ui().selectByText(win::kMain, list, run.tx(text));
}

void showRow(const ModuleRun& run, int row, int v) {
  selectByText(run, kFirstFunction + row, kFunctionTexts + (v & 15));
  if ((v & 16) != 0)
    selectOption(run, kFirstOptionOn + row, kFirstOptionOff + row);
  else
    selectOption(run, kFirstOptionOff + row, kFirstOptionOn + row);
  selectByText(run, kFirstMode + row, kModeTexts + (v & 224) / 32);
}

}  // namespace

void readFamily7(ModuleRun& run) {
  for (int p = 1; p <= kParameters; ++p) {
    if (p > 1 && run.cancelled()) return;
    const int v = run.query(p, {}, kReadWaitMs).a1;
    if (p == 1)
      run.setText(kFirstNumber, pad(v, 3));
    else if (p == 2)
      run.setText(kSecondNumber, pad(v, 3));
    else
      showRow(run, p - kFirstRowParameter, v);
  }
}

}  // namespace kw
