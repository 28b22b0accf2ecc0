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

#include "buslink/bus_state.h"
#include "buslink/interface_types.h"
#include "buslink/protocol.h"
#include "buslink/request_queue.h"
#include "config/language.h"
#include "config/suite_prefs.h"
#include "platform/clock.h"
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

struct PortEntry {
  std::unique_ptr<SerialPort> handle;
  std::atomic<uint8_t> state{kPortClosed};
  uint8_t shownState = 0;
  uint8_t pollGroup = 0;
  uint8_t protocolClass = 0;
  Tick lastActivity = 0;
  uint32_t baud = 0;
  uint8_t opened = 0;
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

// Where later features hook rows into the cycle.
enum class CycleRow { AfterPoll, AfterRequestTransfer };

class BusLink {
 public:
  BusLink(BusState& state, RequestQueue& queue, SuitePreferences& prefs, SerialPorts& ports,
          Clock& clock, Ui& ui, const LanguageTexts& texts);

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
  // One pass; returns the ms to sleep before the next, or -1 once stopFlag is seen.
  int cycle();
  void addCycleRow(CycleRow where, std::function<void()> row);

  // --- Read by the window thread ----------------------------------------------------
  uint8_t portState(int port) const;
  uint32_t lastBaud() const { return lastBaud_.load(); }
  uint8_t powerPort() const { return powerPort_.load(); }
  const InterfaceTypes& interfaceTypes() const { return types_; }
  bool powerShownOn() const { return powerShownOn_.load(); }

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
  void discardWaiting(int n);

  void startInterface(int n, int bus);
  void selectSecondBus(int n, int bus);
  void mc2004Start(int n);
  void slx852Start(int n);
  void fccStart(int n);
  void resetInterface(int n, const Bytes& sequence, uint32_t pauseMs);
  void mc2004Reset(int n);
  void selectUsedSx1Buses(int n);
  void closePort(int n);

  void writeStep();
  void pollStep();
  void pollPolling(int n);
  void pollMc2004(int n);
  void pollSlx852(int n);
  void pollFcc(int n);
  void decodePollAnswer(int n, uint8_t group, const Bytes& answer);
  void decodeEvent(int n, bool sx1, uint8_t address, uint8_t value, bool powerAt127);
  void powerIndication(bool on);
  void portStatusStep();
  void showPortState(int n, uint8_t st);
  void programmingModeStep();
  void powerDisplayStep();
  void requestTransferStep();
  std::deque<BusWrite>::iterator fccWriteFor(int n);

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
  size_t fccExpected_ = 0;
  Tick slxDeadline_ = 0;
  bool slxArmed_ = false;
  std::deque<BusWrite> writeQueue_;
  std::mutex busMutex_;

  // Display state of the bus thread.
  uint32_t lastMode106_ = 0xFFFF;
  uint32_t lastPower_ = 0xFFFF;
  Tick nextStatus_ = 0;
  std::atomic<bool> powerShownOn_{false};

  bool portRowsOn_ = false;
  std::vector<std::function<void()>> rowsAfterPoll_;
  std::vector<std::function<void()>> rowsAfterTransfer_;
};

}  // namespace kw
