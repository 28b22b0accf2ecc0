// Shared vocabulary of the parameter form: the colours that carry meaning (the read-out,
// programming and the tools set them again), the numbers of the form's frame controls,
// and the little state the form keeps besides its control values.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui.h"

namespace kw {

namespace colour {
constexpr Colour kInputYellow = rgb(255, 255, 232);    // every field the user fills in
constexpr Colour kDisplayGrey = rgb(240, 240, 224);    // display fields, greyed-out fields
constexpr Colour kBusyRed = rgb(255, 0, 0);            // field whose bus request is pending
constexpr Colour kMarkedPink = rgb(255, 176, 176);     // address field of a marked row
constexpr Colour kMismatchPink = rgb(255, 192, 192);   // count that disagrees with its partner
constexpr Colour kZeroPink = rgb(255, 224, 224);       // step 0, or step sum not a full turn
constexpr Colour kSumGreen = rgb(208, 255, 208);       // step sums exactly a full turn
constexpr Colour kHeadingPurple = rgb(160, 0, 128);    // text of some headings and row labels
constexpr Colour kHeadingOlive = rgb(160, 128, 0);     // text of some headings and row labels
constexpr Colour kHintBlue = rgb(0, 0, 255);           // the "module file" heading
constexpr Colour kWarningRed = rgb(255, 0, 0);         // warning labels
constexpr Colour kStatusBlue = rgb(64, 64, 255);       // status label: extension found
constexpr Colour kStatusGrey = rgb(160, 160, 160);     // status label: nothing connected
constexpr Colour kWhite = rgb(255, 255, 255);
constexpr Colour kCompareOrange = rgb(255, 200, 120);  // value differs from the module's
}  // namespace colour

// Frame controls of the form.
namespace ctl {
constexpr int kFamilyTabs = 2000;   // outer tabs: one page per module family, index = family
constexpr int kFamily2Tabs = 2001;  // sub-types 11..14
constexpr int kFamily0Tabs = 2002;  // sub-types 17, 16, 15
constexpr int kFamily1Tabs = 2003;  // sub-types 19, 18
constexpr int kFamily4Tabs = 2004;  // extension tables 2348, 2350
constexpr int kRead = 2005;
constexpr int kProgram = 2006;
constexpr int kCancel = 2007;
constexpr int kClear = 2008;
constexpr int kSettings = 2009;
constexpr int kFactory = 2010;
constexpr int kFirstBus = 2011;  // 2011 + b for bus b = 0..8
}  // namespace ctl

constexpr int kFamilyCount = 11;

// Family 2, sub-type 14: the bus thread asks the turntable where it stands while the
// position panel is shown (position_query.h). The window thread keeps the first four
// up to date, so the bus thread never has to look at the form's controls.
struct PositionQuery {
  // Set once the form is built; a turntable tool clears it while its own transfer runs.
  std::atomic<bool> enabled{false};
  std::atomic<int> shownFamily{0};
  std::atomic<int> shownSubtype{0};
  std::atomic<int> address{0};  // value of field 2291, the turntable's address
  // Bus thread only: an ask is out and not yet answered; when the next ask is due.
  bool waiting = false;
  Tick nextAsk = 0;
};

// A numbered control on a page of the form, noted as the form is built, so that the
// roster knows what a page holds without a list of its own.
struct PageControl {
  int id = 0;
  ControlKind kind = ControlKind::Label;
  int tabs = 0;  // tab control whose page holds it
  int page = 0;
  std::string caption;  // its tooltip, else its caption
};

// Selection-independent state of the form (the selection itself is FormSelection).
struct FormState {
  // Family 10 writes single addresses directly; while its page is shown the other
  // paths that write to the bus stay locked.
  bool directWriteLock = false;
  // Family 1, sub-type 18: the page shows the older module generation.
  bool legacyMode = true;
  // Family 2, sub-type 12: result of the last step check, read by programming.
  bool tableValid = false;
  PositionQuery positionQuery;
  std::vector<PageControl> pageControls;  // in the order of creation
};

}  // namespace kw
