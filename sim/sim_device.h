// Simulated interface devices and central units, each answering the host's bytes as the
// real device does. Time comes from the clock the port is read with, so the same device
// runs on the virtual timeline in tests and in real time in the program.
//
// Line timing: a device's answer starts 1 ms (plus any fault delay) after the host's
// transmission reached it and then trickles in at the line speed, 10 bits per byte, so a
// host that looks too early sees a partial answer, exactly as on a real port. The host's
// own bytes reach the device at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace kw::sim {

class SimBus;

// Something on the bus that reacts to the host: the simulated modules. It hears every
// write the host makes through an interface (a module's own answers, made with
// SimBus::set, are not host writes) and the passing of time. Both calls come without any
// lock of the bus held, so a listener may read and set bus values from them.
class BusListener {
 public:
  virtual ~BusListener() = default;
  // The host wrote `value` to `address` of `bus` (0 or 1) at `now`.
  virtual void hostWrite(int bus, int address, uint8_t value, Tick now) = 0;
  // Time has reached `now`: due answers are put on the bus.
  virtual void advance(Tick now) = 0;
  // The bus is going away; the listener must not use it any more.
  virtual void busGone() {}
};

// One two-bus SX system: buses 0 (SX0) and 1 (SX1), 128 addresses each, plus track power.
// Safe to use from several threads: the program's bus thread reads it through a device
// while a test or the window sets values.
class SimBus {
 public:
  static constexpr int kBuses = 2;
  static constexpr int kAddresses = 128;
  // Bit 7 of SX0 address 127 is the track power; writing it switches the power.
  static constexpr int kPowerAddress = 127;
  static constexpr uint8_t kPowerBit = 0x80;
  static constexpr uint32_t kDemoPeriodMs = 500;
  // The addresses the demo moves: four on SX0, one on SX1.
  static constexpr std::array<std::pair<int, int>, 5> kDemoAddresses{
      {{0, 20}, {0, 21}, {0, 22}, {0, 23}, {1, 40}}};

  SimBus();
  ~SimBus();
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  // Out-of-range buses and addresses read as 0 and are not written.
  uint8_t get(int bus, int address) const;
  // As if a module or the layout changed it; true when the value changed.
  bool set(int bus, int address, uint8_t value);
  std::array<uint8_t, kAddresses> values(int bus) const;
  bool power() const;
  void setPower(bool on);

  // Demo mode: a few addresses change by themselves every kDemoPeriodMs, like a layout
  // with trains running. Switching it on shows the first pattern at once.
  void setDemo(bool on);
  bool demo() const;
  // Moves the demo and the listeners on to `now`; devices call it whenever the host looks
  // at them.
  void advance(Tick now);
  // The values the demo shows at step n, in the order of kDemoAddresses.
  static std::array<uint8_t, kDemoAddresses.size()> demoValues(uint32_t step);

  // A write of the host through an interface: set like set(), then every listener hears
  // it, even when the value did not change. True when the value changed.
  bool hostWrite(int bus, int address, uint8_t value, Tick now);
  void addListener(std::shared_ptr<BusListener> listener);
  void removeListener(const BusListener* listener);
  std::vector<std::shared_ptr<BusListener>> listeners() const;

  // Which module holds the programming mode of each bus (0 or 1): at most one at a time,
  // so that only one module serves the register window. Taking it takes it from any
  // other; releasing only releases what `owner` holds.
  void claimProgramming(int bus, const void* owner);
  void releaseProgramming(int bus, const void* owner);
  const void* programmingOwner(int bus) const;

  // Change tracking. Every change gets a stamp; a reader keeps a cursor and asks for what
  // changed after it, so several event devices can follow one bus independently.
  uint64_t changeCursor() const;
  // (bus, address) pairs changed after `cursor`, oldest change first; moves the cursor on.
  std::vector<std::pair<int, int>> changesSince(uint64_t& cursor) const;
  // The same with a cursor kept by the bus itself, for a single reader.
  std::vector<std::pair<int, int>> takeChanges();

 private:
  using Listeners = std::vector<std::shared_ptr<BusListener>>;
  bool setLocked(int bus, int address, uint8_t value);
  void showDemoLocked(uint32_t step);
  void advanceDemoLocked(Tick now);

  mutable std::mutex mutex_;
  std::array<std::array<uint8_t, kAddresses>, kBuses> values_{};
  std::array<std::array<uint64_t, kAddresses>, kBuses> stamps_{};
  uint64_t lastStamp_ = 0;
  uint64_t takeCursor_ = 0;
  bool demo_ = false;
  bool demoArmed_ = false;
  Tick nextDemo_ = 0;
  uint32_t demoStep_ = 0;
  // Replaced as a whole when a listener comes or goes, so a caller takes the current list
  // under the lock and calls it after letting go.
  std::shared_ptr<const Listeners> listeners_;
  std::array<const void*, kBuses> programmingOwner_{};
};

// Faults a test can switch on, at any time and from any thread.
struct Faults {
  std::atomic<bool> silent{false};     // answers nothing
  std::atomic<int> extraBytes{0};      // adds this many junk bytes to the next answer
  std::atomic<int> missingBytes{0};    // drops this many bytes from the end of the next answer
  std::atomic<uint32_t> delayMs{0};    // extra delay before every answer
  std::atomic<bool> unplugged{false};  // the port cannot be opened / has gone
  std::atomic<bool> ctsOff{false};     // the CTS line is off
  // Faults on the way in, each spoiling the host's next transmission (-1: none): the
  // byte at this index is lost, or a kJunkByte arrives before the byte at this index
  // (after the last byte when the index is beyond it).
  std::atomic<int> lostHostByte{-1};
  std::atomic<int> junkHostByte{-1};
};

// The value of the junk bytes added by Faults::extraBytes.
constexpr uint8_t kJunkByte = 0x5A;

class SimDevice {
 public:
  // (bus, address, value) of every host write the device applies.
  using WriteObserver = std::function<void(int, int, uint8_t)>;

  explicit SimDevice(SimBus& bus) : bus_(bus) {}
  virtual ~SimDevice() = default;
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  virtual int protocolClass() const = 0;
  void setBaud(uint32_t baud);
  uint32_t baud() const;

  // Host to device: one transmission. Its answer goes out as one block.
  void receive(const uint8_t* data, size_t size, Tick now);
  void receive(const std::vector<uint8_t>& bytes, Tick now) {
    receive(bytes.data(), bytes.size(), now);
  }
  // Device to host: the number of bytes whose arrival time has come; -1 when unplugged.
  int available(Tick now);
  size_t read(uint8_t* data, size_t size, Tick now);
  // Drops the bytes that have already arrived; bytes still on the line come in later.
  void purge(Tick now);
  // Lets the device notice what happened on its bus up to `now` (demo steps, changes to
  // report) without the host looking; on the virtual clock a port calls it every ms.
  void tick(Tick now);
  bool cts() const;
  // The arrival tick of the next byte still on the line; false when the line is quiet.
  bool nextArrival(Tick& when) const;
  // The ms from `now` until the next byte that has not arrived yet; -1 when none is on
  // the line.
  int msUntilNextByte(Tick now) const;

  void setWriteObserver(WriteObserver observer);
  // Exclusive use: a port holds the device while it is open.
  bool claim();
  void release();

  Faults faults;
  SimBus& bus() { return bus_; }
  // Every byte that reached the device, in order (for tests on one thread; see
  // receivedBytes()).
  std::vector<uint8_t> received;
  std::vector<uint8_t> receivedBytes() const;

 protected:
  // Called with each byte from the host; answers to the current transmission go to reply().
  virtual void onByte(uint8_t byte, Tick now) = 0;
  // Called whenever the host looks at the port; event devices report bus changes here.
  virtual void onIdle(Tick) {}
  // The device lost its power (unplugged): it forgets what the host told it.
  virtual void onPowerLoss() {}
  // Appends to the answer of the transmission being received.
  void reply(const std::vector<uint8_t>& bytes);
  void reply(uint8_t byte) { reply_.push_back(byte); }
  // Puts a block on the line, starting `delayMs` after `now` (and after what is on the line).
  void send(const std::vector<uint8_t>& bytes, Tick now, uint32_t delayMs = 1);
  // Applies a host write made at `now` to the bus (its modules hear it) and tells the
  // observer; true when the value changed.
  bool applyWrite(int bus, int address, uint8_t value, Tick now);

  SimBus& bus_;

 private:
  // Demo, power loss and idle work before every look at the device; false when unplugged.
  bool service(Tick now);
  size_t arrivedLocked(Tick now) const;

  mutable std::recursive_mutex mutex_;
  std::deque<std::pair<Tick, uint8_t>> out_;
  std::vector<uint8_t> reply_;
  uint32_t baud_ = 19200;
  // Where the line is done with the last block: a tick and the microseconds after it.
  Tick lineTick_ = 0;
  uint64_t lineUs_ = 0;
  bool poweredDown_ = false;
  std::atomic<bool> claimed_{false};
  WriteObserver observer_;
};

// Version answer of the simulated FCC (7 bytes).
constexpr std::array<uint8_t, 7> kFccVersion{0x46, 0x43, 0x43, 0x02, 0x01, 0x00, 0x07};
// Acknowledge byte of the simulated FCC after a write.
constexpr uint8_t kFccAcknowledge = 0x00;
// Fill of the FCC frame's blocks A and B, which the host does not interpret.
constexpr uint8_t kFccBlockAFill = 0xAA;
constexpr uint8_t kFccBlockBFill = 0xBB;
// The frame's last byte.
constexpr uint8_t kFccSpareByte = 0x00;

// A sensible line speed per class when nothing else says so.
uint32_t defaultBaud(int protocolClass);

// 1 or 4: polled; 2: MC2004; 3: SLX852; 5: FCC (frameSize 322 or 418; other sizes give
// 322). Any other class gives nullptr.
std::unique_ptr<SimDevice> makeDevice(int protocolClass, SimBus& bus, int frameSize = 322);

}  // namespace kw::sim
