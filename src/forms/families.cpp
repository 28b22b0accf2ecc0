#include "forms/families.h"

#include "app/context.h"
#include "app/dispatch.h"
#include "forms/output_tools.h"
#include "forms/turntable_tools.h"

namespace kw {

namespace {

// One builder per family; index = family number. Family 0 lives in parameter_form.cpp.
using FamilyBuilder = void (*)(FormBuilder&);
constexpr FamilyBuilder kFamilyBuilders[kFamilyCount] = {
    nullptr,
    pages::buildServoPages,
    pages::buildTurntablePages,
    pages::buildFamily3,
    pages::buildFamily4,
    pages::buildFamily5,
    pages::buildFamily6,
    pages::buildFamily7,
    pages::buildFamily8,
    pages::buildFamily9,
    pages::buildFamily10};

}  // namespace

void buildFamily(FormBuilder& b, int family) {
  if (family < 0 || family >= kFamilyCount || kFamilyBuilders[family] == nullptr) return;
  kFamilyBuilders[family](b);
}

void registerFamilyRows(Dispatcher& d) {
  // Every change of a step field checks the whole table again: the sums and the angle
  // labels follow the typing, and a table past a full turn is reported at once.
  d.onControl(ctl::kFirstStep, ctl::kFirstStep + ctl::kStepCount - 1, EventType::TextChanged,
              [](AppContext& c, const UiEvent&) { checkSteps(c); });
  registerTurntableToolRows(d);
  registerOutputToolRows(d);
}

}  // namespace kw
