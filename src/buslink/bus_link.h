// The bus link: opens the interfaces that the used buses need, speaks each interface's
// byte protocol and keeps the bus mirror current. `cycle` is one pass of the bus thread;
// nothing in it waits for an answer, so one slow interface never stalls the others.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "buslink/bus_state.h"
#include "buslink/interface_types.h"
#include "buslink/protocol.h"
#include "buslink/request_queue.h"
#include "config/language.h"
#include "config/suite_prefs.h"
#include "platform/clock.h"
#include "platform/input_wait.h"
#include "platform/serial.h"
#include "platform/ui.h"

namespace kw {

enum PortState : uint8_t {
  kPortClosed = 1,
  kPortOpenFailed = 2,
  kPortNoConnection = 3,
  kPortOpened = 4,
  kPortRunning = 5,
};

// One step of an interface's start: the pauses the interfaces need (200 ms after the
// MC2004 reset, a second after the SLX852 reset, the FCC's measuring of its frame) are
// deadlines of the bus thread, not sleeps, so that the other ports go on meanwhile.
enum class StartOp : uint8_t {
  Send,        // the bytes
  Pause,       // ms
  Purge,
  Discard,     // read and throw away what is waiting
  FccPoll,     // the poll that the FCC's answer timeout counts from
  FccMeasure,  // 418 or 322 bytes waiting give the frame size; otherwise 100 ms more
  FccArm,      // the next answer is a frame
  Running,     // state 5
};
struct StartStep {
  StartStep(StartOp o, Bytes b = {}, uint32_t m = 0) : op(o), bytes(std::move(b)), ms(m) {}
  StartOp op;
  Bytes bytes;
  uint32_t ms;
};

struct PortEntry {
  std::unique_ptr<SerialPort> handle;
  std::atomic<uint8_t> state{kPortClosed};
  uint8_t shownState = 0;
  uint8_t pollGroup = 0;
  uint8_t protocolClass = 0;
  Tick lastActivity = 0;
  uint32_t baud = 0;
  // Set for the ports that the used buses need in the current open pass: only these are
  // opened again when their device has gone or could not be opened.
  uint8_t opened = 0;

  std::deque<StartStep> starting;  // the start under way, next step first
  Tick startDue = 0;
  size_t fccExpected = 0;          // FCC: length of the answer awaited
  bool restartArmed = false;       // SLX852: restart once CTS has stayed on until restartDue
  Tick restartDue = 0;
  Bytes inbox;                     // MC2004, SLX852: bytes read that are not yet a message
  Tick lastInput = 0;              // when bytes last came in
  int seenWaiting = 0;             // waiting bytes at the end of the last cycle
  int pollSeen = 0;                // polling: waiting bytes when the poll last looked
  std::atomic<uint32_t> dropped{0};  // bytes thrown away as no part of any message
};

struct BusWrite {
  uint8_t bus = 0;
  uint16_t address = 0;
  uint16_t value = 0;
  bool operator==(const BusWrite&) const = default;
};

constexpr int kPortCount = 8;
constexpr uint32_t kPollTimeoutMs = 250;
constexpr uint32_t kEchoGuardMs = 200;
constexpr uint32_t kStatusIntervalMs = 200;
// A port that could not be opened, or whose device went away, is tried again this often.
constexpr uint32_t kReopenMs = 400;
// The CTS line makes no input, so the event interfaces' CTS is looked at this often.
constexpr uint32_t kCtsWatchMs = 20;
// The longest sleep of the bus thread: the cycle rows (Steller window, module answer
// query) are looked at at least this often.
constexpr uint32_t kMaxIdleMs = 50;
// An SLX852 message has no marker byte; its two bytes come back to back. A single byte
// that stays alone this long has lost its partner (or never had one) and is dropped.
constexpr uint32_t kLoneByteMs = 50;
// The most bytes of one event interface taken per cycle, so that the others are served.
constexpr size_t kEventBytesPerCycle = 192;

// Where later features hook rows into the cycle.
enum class CycleRow { AfterPoll, AfterRequestTransfer };

class BusLink {
 public:
  BusLink(BusState& state, RequestQueue& queue, SuitePreferences& prefs, SerialPorts& ports,
          Clock& clock, Ui& ui, const LanguageTexts& texts);
  ~BusLink();
  BusLink(const BusLink&) = delete;
  BusLink& operator=(const BusLink&) = delete;

  // --- Ports (main thread while the bus thread is stopped, or the bus thread) -------
  void probePorts();
  void openInterfaces();
  void closeInterfaces(int port);  // 0 = all
  // The settings dialog's eight port rows (check box 166, type list 195 and baud list 203
  // onwards): with `on`, a row is enabled when its port is present or in use; a disabled
  // row loses its check mark. Without `on` every row is disabled.
  void setPortRowsEnabled(bool on);
  bool portRowsEnabled() const { return portRowsOn_; }

  // --- Bus thread -------------------------------------------------------------------
  // One pass; returns the ms until its next deadline (0: run again at once), or -1 once
  // stopFlag is seen. Until then only new input, a request or a stop needs a pass.
  int cycle();
  void addCycleRow(CycleRow where, std::function<void()> row);
  // A row with a deadline of its own: it returns the ms until it needs to run again (-1:
  // only when something else happens), and the thread wakes for it in time.
  void addTimedCycleRow(CycleRow where, std::function<int()> row);
  // Real time: sleeps until new bytes reach an open port, wakeUp() is called (a request
  // was queued, the thread is to stop) or `ms` have passed.
  void waitForWork(int ms);
  // Virtual time: whether a pass is needed before the deadline (new bytes, a request, a
  // stop); the same things that end waitForWork.
  bool wantsCycle();
  // Virtual time, after each cycle: what wantsCycle compares with.
  void noteWaiting();
  void wakeUp();

  // --- Read by the window thread ----------------------------------------------------
  uint8_t portState(int port) const;
  uint32_t lastBaud() const { return lastBaud_.load(); }
  uint8_t powerPort() const { return powerPort_.load(); }
  const InterfaceTypes& interfaceTypes() const { return types_; }
  bool powerShownOn() const { return powerShownOn_.load(); }
  // Bytes of port n thrown away because they formed no message (line noise, a lost byte).
  uint32_t droppedBytes(int port) const;

  // --- For the bus thread and tests -------------------------------------------------
  std::deque<BusWrite>& writeQueue() { return writeQueue_; }
  PortEntry& port(int n) { return portTable_[n < 0 || n > kPortCount ? 0 : n]; }
  int fccFrameSize() const { return fccFrameSize_; }
  Tick echoGuard(int bus, int address) const;
  std::mutex& busMutex() { return busMutex_; }

 private:
  bool stopping() const { return state_.stopFlag.load() != 0; }
  bool validPort(int n) const { return n >= 1 && n <= kPortCount; }
  const BusEntry& busEntry(int b) const { return prefs_.busTable[b]; }

  // Sending and reading on a port that may be missing.
  void send(int n, const Bytes& bytes);
  Bytes readBytes(int n, size_t count);
  size_t discardWaiting(int n);

  // Opening: the first bus of a port opens and starts it, later ones select their bus.
  void openPort(int n, int bus, bool notePower);
  void reopenPort(int n);
  void portGone(int n);
  void startInterface(int n, int bus);
  void selectSecondBus(int n, int bus);
  void queueStart(int n, std::vector<StartStep> steps);
  void runStart(int n);
  void runStartStep(int n, const StartStep& step);
  std::vector<StartStep> sx1Selections(int n) const;
  void resetNow(int n, const Bytes& sequence, uint32_t pauseMs);
  void closePort(int n);
  bool portServesSx1(int n) const;
  // The FCC's bus (0 = SX0, 1 = SX1) that bus slot b reaches.
  int fccBusOf(int b) const;

  void writeStep();
  void pollStep();
  // `waiting`: the bytes waiting at the port, looked at once per cycle.
  void pollPort(int n);
  void pollPolling(int n, int waiting);
  void pollMc2004(int n, int waiting);
  void pollSlx852(int n, int waiting);
  void pollFcc(int n, int waiting);
  bool watchCts(int n);  // true on a change to on
  size_t takeInput(int n, int waiting);
  void dropInput(int n, size_t count);
  void decodePollAnswer(int n, uint8_t group, const Bytes& answer);
  void decodeEvent(int n, bool sx1, uint8_t address, uint8_t value, bool powerAt127);
  void decodeFccFrame(int n, const fcc::BusPart& part);
  void powerIndication(bool on);
  void portStatusStep();
  void showPortState(int n, uint8_t st);
  void programmingModeStep();
  void powerDisplayStep();
  void requestTransferStep();
  std::deque<BusWrite>::iterator fccWriteFor(int n);
  bool writeSendable() const;
  int nextWait();

  BusState& state_;
  RequestQueue& queue_;
  SuitePreferences& prefs_;
  SerialPorts& ports_;
  Clock& clock_;
  Ui& ui_;
  const LanguageTexts& texts_;

  InterfaceTypes types_;
  std::array<PortEntry, kPortCount + 1> portTable_;
  std::array<uint8_t, kPortCount + 1> lastCts_{};
  std::atomic<uint8_t> powerPort_{0};
  std::atomic<uint32_t> lastBaud_{0};
  std::array<std::array<Tick, kBusAddresses>, kBusSlots> echoGuard_{};
  int fccFrameSize_ = 0;
  std::deque<BusWrite> writeQueue_;
  std::mutex busMutex_;
  std::unique_ptr<InputWaiter> waiter_;
  bool moreWork_ = false;  // the last pass left something it can do at once

  // Display state of the bus thread.
  uint32_t lastMode106_ = 0xFFFF;
  uint32_t lastPower_ = 0xFFFF;
  Tick nextStatus_ = 0;
  std::atomic<bool> powerShownOn_{false};

  bool portRowsOn_ = false;
  bool runRows(std::vector<std::function<int()>>& rows);
  std::vector<std::function<int()>> rowsAfterPoll_;
  std::vector<std::function<int()>> rowsAfterTransfer_;
  int rowWait_ = -1;  // the soonest a row wants to run again, from the last pass
};

}  // namespace kw
