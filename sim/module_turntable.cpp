// Family 2: the turntable controller. One module serves all pages of its form:
//   1: turntable address, speed, start/stop ramp
//   2: number of tracks and the track the bridge stands at (the module's own)
//   3: operating mode, then the firmware major and minor number (the module's own); a
//      major number of 3 means the 3.x series, above 3 version 4 or later
//   4: feedback address (version 4 or later)
//   10..57: per track the steps to the next one (high byte, low byte) and the output
//           pattern (third byte)
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
    return v;
  }
};

}  // namespace

std::shared_ptr<SimModule> makeTurntableModule(int bus, int address) {
  return std::make_shared<TurntableModule>(bus, address);
}

}  // namespace kw::sim
