// The simulated devices of each protocol class. Each parses the host's bytes one at a time
// with a small state machine, so bytes split over several transmissions, or garbage in
// between, are handled the way a device with a byte-wise receiver would.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/sim_device.h"

namespace kw::sim {

// The host's bytes of the standard SX interface, taken in pairs by position: an address
// (bit 7: write), then the value of a write or the dummy of a read. Nothing marks where a
// pair starts; only a quiet line brings a shifted pairing back into step.
class PairReader {
 public:
  // A first byte that has waited this long for its second is forgotten: after a quiet
  // line the next byte starts a pair again.
  static constexpr uint32_t kPairTimeoutMs = 100;

  // What a byte does: starts a read of `address` (answered at once, the dummy follows),
  // completes a write of `value` to `address`, or nothing (the dummy of a read).
  struct Step {
    enum class Kind { None, Read, Write } kind = Kind::None;
    int address = 0;
    uint8_t value = 0;
  };
  Step take(uint8_t byte, Tick now);
  void reset() { half_ = Half::None; }

 private:
  enum class Half { None, Read, Write };
  Half half_ = Half::None;
  int address_ = 0;
  Tick since_ = 0;
};

// Classes 1 and 4: the standard SX interface. See polled_device.cpp for the exchanges.
class PolledDevice final : public SimDevice {
 public:
  static constexpr uint32_t kPairTimeoutMs = PairReader::kPairTimeoutMs;

  PolledDevice(SimBus& bus, int protocolClass) : SimDevice(bus), class_(protocolClass) {}
  int protocolClass() const override { return class_; }

 protected:
  void onByte(uint8_t byte, Tick now) override;
  void onPowerLoss() override { pairs_.reset(); }

 private:
  int class_;
  PairReader pairs_;
};

// Central units that send every bus value by themselves once started, then each change.
class EventDevice : public SimDevice {
 protected:
  explicit EventDevice(SimBus& bus) : SimDevice(bus) {}

  void onIdle(Tick now) override;
  void onPowerLoss() override;
  virtual void resetParser() = 0;
  virtual void appendMessage(std::vector<uint8_t>& out, int bus, int address,
                             uint8_t value) const = 0;

  // The reset: the device falls quiet on both buses.
  void stopStreaming();
  // Falls quiet on one bus only.
  void stopStreaming(int bus);
  // Starts reporting `bus`: what changed so far, then a dump of all 128 addresses.
  void startStreaming(int bus);
  // A host write: applied, and reported back even when the value did not change.
  void hostWrite(int bus, int address, uint8_t value, Tick now);
  bool streaming(int bus) const { return bus >= 0 && bus < 2 && streaming_[bus]; }
  bool resetSeen() const { return resetSeen_; }
  void setResetSeen() { resetSeen_ = true; }

 private:
  // The central unit's status address: bit 7 is the track power, whatever else it holds.
  static constexpr int kStatusAddress = 109;
  uint8_t reportedValue(int bus, int address) const;
  void collectChanges(std::vector<uint8_t>& out);

  std::array<bool, 2> streaming_{};
  bool resetSeen_ = false;
  uint64_t cursor_ = 0;
};

// Class 2, MC2004: 0xF0/0xF1 bus selection, 0x71 commands, single-byte reads, 3-byte
// messages. See mc2004_device.cpp for the exchanges.
class Mc2004Device final : public EventDevice {
 public:
  static constexpr std::array<uint8_t, 14> kReset{0x71, 0x00, 0x71, 0x07, 0xF0, 0x71, 0x05,
                                                  0x00, 0x70, 0xF1, 0x71, 0x05, 0x00, 0x70};
  static constexpr std::array<uint8_t, 7> kStartBus0{0xF0, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01};
  static constexpr std::array<uint8_t, 7> kSelectBus1{0xF1, 0x71, 0x04, 0x00, 0x6F, 0x71, 0x01};

  explicit Mc2004Device(SimBus& bus) : EventDevice(bus) {}
  int protocolClass() const override { return 2; }

 protected:
  void onByte(uint8_t byte, Tick now) override;
  void resetParser() override;
  void appendMessage(std::vector<uint8_t>& out, int bus, int address,
                     uint8_t value) const override;

 private:
  enum class State { Idle, AfterMarker, Value, Command, Arguments };
  void command(uint8_t byte);
  void read(uint8_t address);
  template <size_t N>
  bool historyEndsWith(const std::array<uint8_t, N>& seq) const;

  State state_ = State::Idle;
  int markerBus_ = 0;
  int writeAddress_ = 0;
  int arguments_ = 0;  // bytes still to come of the 0x71 command under way
  // The last command bytes (writes excluded), newest last.
  std::array<uint8_t, 14> history_{};
  size_t historyLength_ = 0;
};

// Class 3, SLX852: the standard interface's pairs, with address 126 as its control
// register; 2-byte messages with the bus in bit 7 of the first byte. See
// slx852_device.cpp for the exchanges.
class Slx852Device final : public EventDevice {
 public:
  explicit Slx852Device(SimBus& bus) : EventDevice(bus) {}
  int protocolClass() const override { return 3; }

 protected:
  void onByte(uint8_t byte, Tick now) override;
  void resetParser() override;
  void appendMessage(std::vector<uint8_t>& out, int bus, int address,
                     uint8_t value) const override;

 private:
  void control(uint8_t value);
  PairReader pairs_;
  int selectedBus_ = 0;
};

// Class 5, FCC: answers every request; a poll gets the whole state in one frame.
class FccDevice final : public SimDevice {
 public:
  FccDevice(SimBus& bus, int frameSize) : SimDevice(bus), frameSize_(frameSize) {}
  int protocolClass() const override { return 5; }
  int frameSize() const { return frameSize_; }
  std::vector<uint8_t> frame() const;

 protected:
  void onByte(uint8_t byte, Tick now) override;
  void onPowerLoss() override { state_ = State::Idle; }

 private:
  enum class State { Idle, Poll, WriteAddress, WriteValue };
  int frameSize_;
  State state_ = State::Idle;
  int writeBus_ = 0;
  int writeAddress_ = 0;
};

}  // namespace kw::sim
