// Family 2: the turntable controller. One module serves all pages of its form:
//   1: turntable address, speed, start/stop ramp
//   2: number of tracks and the track the bridge stands at (the module's own)
//   3: operating mode, then the firmware major and minor number (the module's own); a
//      major number of 3 means the 3.x series, above 3 version 4 or later
//   4: feedback address (version 4 or later)
//   10..57: per track the steps to the next one (high byte, low byte) and the output
//           pattern (third byte)
//
// It also turns. In programming mode, with parameter 3 selected, a write to address 2 is
// a command: 128 one track on, 64 the reference run (to track 0), 32 to the track given
// on address 3 before, 16 stop. While it turns the module shows 128 on address 2, and 0
// once it stands. In normal operation a write of 0xC0 | k to the module's own address
// turns it to track k; bit 7 stays set until it stands there, then the address shows
// 0x40 | k. 0xF0 there asks where it stands: the answer is 0x40 | track (none while it
// turns: the end of the turn answers). Whenever it passes or reaches a track it puts the
// track number on its feedback address (parameter 4), if that is a module address.
#include "sim/module_families.h"

namespace kw::sim {

namespace {

constexpr int kSettings = 1;
constexpr int kTracks = 2;
constexpr int kModeAndFirmware = 3;
constexpr int kFeedback = 4;
constexpr int kFirstTrack = 10;
constexpr int kTrackCount = 48;

constexpr uint8_t kSpeed = 32;
constexpr uint8_t kRamp = 16;
constexpr uint8_t kFeedbackAddress = 91;
constexpr uint8_t kFirmwareMajor = 4;
constexpr uint8_t kFirmwareMinor = 2;
// A major number that belongs to no series the program knows.
constexpr uint8_t kWrongFirmwareMajor = 2;
// 800 steps per track (3 * 256 + 32): 48 tracks make one full turn of 38400 steps.
constexpr uint16_t kStepsPerTrack = 800;

// Commands on address 2 (parameter 3 selected) and the state shown there; the window
// index of a byte is its bus address.
constexpr int kCommandAddress = 2;
constexpr int kTargetAddress = 3;
constexpr uint8_t kStepOn = 128;
constexpr uint8_t kReference = 64;
constexpr uint8_t kToTarget = 32;
constexpr uint8_t kStop = 16;
constexpr uint8_t kTurning = 128;
constexpr uint8_t kStanding = 0;

// The module's own address in normal operation.
constexpr uint8_t kTurnBits = 0xC0;  // with the track in the low six bits
constexpr uint8_t kAtTrack = 0x40;   // answer: standing, track in the low six bits
constexpr uint8_t kTrackBits = 0x3F;

// Timing of a turn: the start before the bridge moves, then the steps to each next track.
constexpr uint32_t kStartMs = 500;
constexpr uint32_t kStepsPerMs = 4;
constexpr uint32_t kShortestTrackMs = 50;

// Feedback goes only to ordinary module addresses, never into the programming block.
constexpr int kLastModuleAddress = 103;

class TurntableModule final : public SimModule {
 public:
  TurntableModule(int bus, int address) : SimModule(2, 0, bus, address) {
    setParameter(kSettings, static_cast<uint8_t>(address), kSpeed, kRamp);
    setParameter(kTracks, kTrackCount, 0, 0);
    setParameter(kModeAndFirmware, 0, kFirmwareMajor, kFirmwareMinor);
    setParameter(kFeedback, kFeedbackAddress, 0, 0);
    for (int t = 0; t < kTrackCount; ++t)
      setParameter(kFirstTrack + t, kStepsPerTrack >> 8, kStepsPerTrack & 0xFF, 0);
  }

 protected:
  bool readOnly(int p, int index) const override {
    return p == kTracks || (p == kModeAndFirmware && index > 1);
  }

  ParameterValue present(int p) const override {
    ParameterValue v = SimModule::present(p);
    if (p == kModeAndFirmware && wrongVersion()) v[1] = kWrongFirmwareMajor;
    if (p == kTracks) v[1] = static_cast<uint8_t>(track_);
    return v;
  }

  WindowEffect windowWrite(int p, int index, uint8_t value) override {
    if (p == kModeAndFirmware && index == kTargetAddress) {
      commandTarget_ = value;
      return WindowEffect::Ignore;
    }
    if (p == kModeAndFirmware && index == kCommandAddress) {
      command(value);
      return WindowEffect::Ignore;
    }
    return SimModule::windowWrite(p, index, value);
  }

  void anyWrite(int address, uint8_t value, Tick now) override {
    if (address != this->address() || isSilent() || (value & kTurnBits) != kTurnBits) return;
    const int track = value & kTrackBits;
    if (track < kTrackCount) {
      startTurn(track, Source::OwnAddress);
    } else if (!turning_) {
      askAnswerDue_ = now + kAnswerDelayMs + faults.lateMs;
      askPending_ = true;
    }
  }

  void tick(Tick now) override {
    if (askPending_ && tickReached(now, askAnswerDue_)) {
      askPending_ = false;
      if (!turning_) showStanding();
    }
    while (turning_ && tickReached(now, nextTrackAt_)) {
      if (track_ == target_) {
        finishTurn();
        break;
      }
      track_ = (track_ + 1) % kTrackCount;
      reportTrack();
      nextTrackAt_ += track_ == target_ ? 0 : trackMs(track_);
    }
  }

 private:
  // Where the turn was ordered from, and so where its end is shown.
  enum class Source { Window, OwnAddress };

  void command(uint8_t value) {
    if (isSilent()) return;
    switch (value) {
      case kStepOn: startTurn((track_ + 1) % kTrackCount, Source::Window); break;
      case kReference: startTurn(0, Source::Window); break;
      case kToTarget: startTurn(commandTarget_ % kTrackCount, Source::Window); break;
      case kStop:
        if (turning_) finishTurn();
        show(kCommandAddress, kStanding);
        break;
      default: break;  // no command the module knows
    }
  }

  void startTurn(int target, Source source) {
    turning_ = true;
    target_ = target;
    source_ = source;
    nextTrackAt_ = lastTime() + kStartMs + faults.lateMs + (target == track_ ? 0 : trackMs(track_));
    if (source == Source::Window) show(kCommandAddress, kTurning);
  }

  void finishTurn() {
    turning_ = false;
    reportTrack();
    if (source_ == Source::Window)
      show(kCommandAddress, kStanding);
    else
      showStanding();
  }

  void showStanding() { show(address(), static_cast<uint8_t>(kAtTrack | track_)); }

  void reportTrack() {
    const int feedback = stored(kFeedback)[0];
    if (feedback >= 1 && feedback <= kLastModuleAddress && feedback != address())
      show(feedback, static_cast<uint8_t>(track_));
  }

  // The time from track t to the next one, by its steps in the step table.
  uint32_t trackMs(int t) const {
    const ParameterValue& v = stored(kFirstTrack + t);
    const uint32_t ms = (v[0] * 256u + v[1]) / kStepsPerMs;
    return ms < kShortestTrackMs ? kShortestTrackMs : ms;
  }

  int track_ = 0;  // where the bridge stands (or last passed)
  int target_ = 0;
  int commandTarget_ = 0;
  bool turning_ = false;
  Source source_ = Source::Window;
  Tick nextTrackAt_ = 0;
  bool askPending_ = false;
  Tick askAnswerDue_ = 0;
};

}  // namespace

std::shared_ptr<SimModule> makeTurntableModule(int bus, int address) {
  return std::make_shared<TurntableModule>(bus, address);
}

}  // namespace kw::sim
