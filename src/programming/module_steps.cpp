#include "programming/module_steps.h"

#include "forms/form.h"

namespace kw {

void runWrites(const ModuleRun& run, std::span<const WriteStep> steps) {
  for (const WriteStep& s : steps)
    run.write(s.address, s.field != 0 ? run.value(s.field) : s.value, s.ms);
}

void runReadSteps(const ModuleRun& run, std::span<const ReadStep> steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i > 0 && run.cancelled()) return;
    steps[i](run);
  }
}

void refuse(const ModuleRun& run, int titleText, int messageText) {
  run.stop();
  run.message(titleText, run.tx(messageText), mb::kOk);
}

bool confirmNonFactoryOption(const ModuleRun& run) {
  const bool agreed =
      run.message(579, run.tx(580), mb::kOkCancel | mb::kIconQuestion) == mb::kAnswerOk;
  if (!agreed) run.stop();
  return agreed;
}

void selectOption(const ModuleRun& run, int on, int off) {
  run.setState(on, 1);
  run.setState(off, 0);
}

void showTimeFlags(const ModuleRun& run, int v, const TimeFlagOptions& o) {
  if ((v & 24) == 0) selectOption(run, o.bit3Off, o.bit3On);
  if ((v & 24) == 8) selectOption(run, o.bit3On, o.bit3Off);
  if ((v & 64) != 0)
    selectOption(run, o.bit6On, o.bit6Off);
  else
    selectOption(run, o.bit6Off, o.bit6On);
}

void selectIndex(const ModuleRun& run, int list, int index) {
  run.ctx.ui.setSelection(win::kMain, list, index);
}

std::string withTwoDecimals(int hundredths) {
  return std::to_string(hundredths / 100) + "." + pad(hundredths % 100, 2);
}

std::string binary8(int value) {
  std::string s(8, '0');
  for (int bit = 0; bit < 8; ++bit)
    if ((value >> bit) & 1) s[static_cast<size_t>(7 - bit)] = '1';
  return s;
}

std::string versionText(int x, int y) {
  std::string v = std::to_string(x) + "." + std::to_string(y);
  if (v.size() < 7) v.insert(0, 7 - v.size(), ' ');
  return " " + v;
}

void readVersion(const ModuleRun& run, int majorParameter, int field) {
  const int x = run.query(majorParameter).a1;
  const int y = run.query(majorParameter + 1).a1;
  run.setText(field, versionText(x, y));
}

}  // namespace kw
