#include "forms/families.h"

#include "app/context.h"

namespace kw {

namespace {

// One builder per family; index = family number. Family 0 lives in parameter_form.cpp.
void buildFamily1(FormBuilder&) {}
void buildFamily2(FormBuilder&) {}
void buildFamily3(FormBuilder&) {}
void buildFamily4(FormBuilder&) {}
void buildFamily5(FormBuilder&) {}
void buildFamily6(FormBuilder&) {}
void buildFamily7(FormBuilder&) {}
void buildFamily8(FormBuilder&) {}
void buildFamily9(FormBuilder&) {}
void buildFamily10(FormBuilder&) {}

using FamilyBuilder = void (*)(FormBuilder&);
constexpr FamilyBuilder kFamilyBuilders[kFamilyCount] = {
    nullptr,      buildFamily1, buildFamily2, buildFamily3, buildFamily4, buildFamily5,
    buildFamily6, buildFamily7, buildFamily8, buildFamily9, buildFamily10};

}  // namespace

void buildFamily(FormBuilder& b, int family) {
  if (family < 0 || family >= kFamilyCount || kFamilyBuilders[family] == nullptr) return;
  kFamilyBuilders[family](b);
}

void setLegacyMode(AppContext& ctx, bool on) { ctx.forms.legacyMode = on; }

void checkSteps(AppContext&) {}

}  // namespace kw
