#include "buslink/bus_link.h"

#include <algorithm>
#include <string>

namespace kw {

namespace {

// Status-bar fields of the main window.
constexpr int kFieldPortImage = 0;
constexpr int kFieldPortText = 1;
constexpr int kFieldPower = 2;
constexpr int kFieldModeImage = 3;
constexpr int kFieldModeText = 4;

constexpr int kModeButtons[] = {2332, 2287, 2290, 2218, 2352};

Tick guardTick(Tick t) { return t == 0 ? 1 : t; }  // 0 means "no guard"

// The ms one byte takes on the line (10 bits), rounded up: a polled answer counts as
// complete only once no byte has come for this long.
int32_t byteTimeMs(uint32_t baud) {
  return baud == 0 ? 1 : static_cast<int32_t>((10000 + baud - 1) / baud);
}

}  // namespace

BusLink::BusLink(BusState& state, RequestQueue& queue, SuitePreferences& prefs,
                 SerialPorts& ports, Clock& clock, Ui& ui, const LanguageTexts& texts)
    : state_(state), queue_(queue), prefs_(prefs), ports_(ports), clock_(clock), ui_(ui),
      texts_(texts), types_(buildInterfaceTypes()), waiter_(makeInputWaiter()) {
  lastCts_.fill(1);
  queue_.setWakeUp([this] { wakeUp(); });
}

BusLink::~BusLink() { queue_.setWakeUp(nullptr); }

uint8_t BusLink::portState(int port) const {
  return validPort(port) ? portTable_[port].state.load() : static_cast<uint8_t>(kPortClosed);
}

uint32_t BusLink::droppedBytes(int port) const {
  return validPort(port) ? portTable_[port].dropped.load() : 0;
}

Tick BusLink::echoGuard(int bus, int address) const {
  if (bus < 0 || bus >= kBusSlots || address < 0 || address >= kBusAddresses) return 0;
  return echoGuard_[bus][address];
}

void BusLink::addCycleRow(CycleRow where, std::function<void()> row) {
  addTimedCycleRow(where, [row = std::move(row)] {
    row();
    return -1;
  });
}

void BusLink::addTimedCycleRow(CycleRow where, std::function<int()> row) {
  (where == CycleRow::AfterPoll ? rowsAfterPoll_ : rowsAfterTransfer_).push_back(std::move(row));
}

bool BusLink::runRows(std::vector<std::function<int()>>& rows) {
  for (auto& row : rows) {
    if (stopping()) return false;
    const int wait = row();
    if (wait >= 0 && (rowWait_ < 0 || wait < rowWait_)) rowWait_ = wait;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Port access

void BusLink::send(int n, const Bytes& bytes) {
  if (!validPort(n) || !portTable_[n].handle || bytes.empty()) return;
  portTable_[n].handle->write(bytes);
}

Bytes BusLink::readBytes(int n, size_t count) {
  Bytes b(count);
  if (!validPort(n) || !portTable_[n].handle) return {};
  size_t got = portTable_[n].handle->read(b.data(), count);
  b.resize(got);
  return b;
}

size_t BusLink::discardWaiting(int n) {
  if (!validPort(n) || !portTable_[n].handle) return 0;
  size_t total = 0;
  // Bounded: a device that never stops talking must not keep us here.
  for (int guard = 0; guard < 64; ++guard) {
    int w = portTable_[n].handle->waiting();
    if (w <= 0) break;
    Bytes junk(static_cast<size_t>(std::min(w, 4096)));
    const size_t got = portTable_[n].handle->read(junk.data(), junk.size());
    if (got == 0) break;
    total += got;
  }
  return total;
}

// ---------------------------------------------------------------------------------------
// Opening and closing

void BusLink::probePorts() {
  for (int n = 1; n <= kPortCount; ++n) {
    PortConfig& pc = prefs_.portConfig[n];
    if (portTable_[n].state.load() == kPortOpened) continue;
    SerialSettings s;
    s.mode = "com" + std::to_string(n) + ":9600,n,8,1";
    s.inQueue = 10;
    s.outQueue = 10;
    s.protocolClass = 0;
    // Asked without opening where opening could disturb a program using the port.
    pc.present = ports_.probe(n, s) ? 1 : 0;
  }
}

void BusLink::closePort(int n) {
  PortEntry& p = portTable_[n];
  p.handle.reset();
  p.state = kPortClosed;
  p.starting.clear();
  p.inbox.clear();
  p.restartArmed = false;
  p.fccExpected = 0;
  p.seenWaiting = 0;
  p.pollSeen = 0;
}

void BusLink::resetNow(int n, const Bytes& sequence, uint32_t pauseMs) {
  // The interface needs the pause to come back; whatever it said meanwhile is stale.
  send(n, sequence);
  clock_.sleep(pauseMs);
  if (portTable_[n].handle) portTable_[n].handle->purge();
}

void BusLink::closeInterfaces(int port) {
  // Runs while the bus thread is stopped, so the MC2004's reset may take its pause here.
  auto closeOne = [this](int n) {
    if (portTable_[n].handle && portTable_[n].protocolClass == kClassMc2004)
      resetNow(n, mc2004::resetSequence(), mc2004::kResetPauseMs);
    closePort(n);
  };
  if (port == 0) {
    for (int n = 1; n <= kPortCount; ++n) closeOne(n);
  } else if (validPort(port)) {
    closeOne(port);
  }
}

void BusLink::openInterfaces() {
  // A port that no used bus needs any more is left alone until the next pass: it is not
  // retried, and its old interface class no longer decides anything.
  for (int n = 1; n <= kPortCount; ++n) {
    closePort(n);
    portTable_[n].opened = 0;
    portTable_[n].protocolClass = 0;
  }
  for (int b = 0; b < kBusSlots; ++b) {
    const BusEntry& bus = busEntry(b);
    if (!bus.used) continue;
    const int n = bus.port;
    if (!validPort(n)) continue;  // a bus without a port reaches nothing
    if (!portTable_[n].opened)
      openPort(n, b, true);
    else if (portTable_[n].handle)
      selectSecondBus(n, b);
  }
}

void BusLink::openPort(int n, int b, bool notePower) {
  PortEntry& p = portTable_[n];
  const PortConfig& pc = prefs_.portConfig[n];
  const int t = pc.typeIndex;
  const uint32_t baud = baudFor(types_, t, pc.baudIndex);
  if (notePower) {
    powerPort_ = static_cast<uint8_t>(n);
    lastBaud_ = baud;
  }
  prefs_.portConfig[n].mode = "COM" + std::to_string(n) + ":" + std::to_string(baud) + ",n,8,1";
  p.protocolClass = static_cast<uint8_t>(t < kInterfaceTypeCount ? types_[t].protocolClass : 0);
  p.baud = baud;
  p.opened = 1;
  p.lastActivity = clock_.now();
  if (p.protocolClass == 0) {  // a damaged type number names no interface
    p.state = kPortOpenFailed;
    p.opened = 0;  // nothing to retry
    return;
  }
  SerialSettings s;
  s.mode = prefs_.portConfig[n].mode;
  s.protocolClass = p.protocolClass;
  p.handle = ports_.open(n, s);
  if (!p.handle) {
    p.state = kPortOpenFailed;
    return;
  }
  p.state = kPortOpened;
  p.pollGroup = 0;
  startInterface(n, b);
}

void BusLink::reopenPort(int n) {
  // Only this port: the interfaces on the other ports keep running undisturbed.
  closePort(n);
  bool first = true;
  for (int b = 0; b < kBusSlots; ++b) {
    const BusEntry& bus = busEntry(b);
    if (!bus.used || bus.port != n) continue;
    if (first)
      openPort(n, b, false);
    else if (portTable_[n].handle)
      selectSecondBus(n, b);
    first = false;
  }
  if (first) portTable_[n].opened = 0;  // no used bus needs it any more
  portTable_[n].lastActivity = clock_.now();
}

void BusLink::portGone(int n) {
  // The device went away (an adapter pulled): let go of it at once, so that the system
  // can give the same name to it when it comes back, and try again every kReopenMs.
  closePort(n);
  portTable_[n].state = kPortOpenFailed;
  portTable_[n].lastActivity = clock_.now();
}

namespace {

std::vector<StartStep> resetSteps(const Bytes& sequence, uint32_t pauseMs) {
  return {{StartOp::Send, sequence}, {StartOp::Pause, {}, pauseMs}, {StartOp::Purge}};
}

std::vector<StartStep> mc2004StartSteps() {
  auto steps = resetSteps(mc2004::resetSequence(), mc2004::kResetPauseMs);
  steps.push_back({StartOp::Send, mc2004::bus0Start()});
  return steps;
}

std::vector<StartStep> slx852StartSteps() {
  auto steps = resetSteps(slx852::resetSequence(), slx852::kResetPauseMs);
  steps.push_back({StartOp::Send, slx852::bus0Start()});
  return steps;
}

// Finds the frame size from the answer to a first poll, reads the version, and sends the
// poll whose frame the cycle then takes.
std::vector<StartStep> fccStartSteps() {
  return {
      {StartOp::Discard},
      {StartOp::FccPoll},
      {StartOp::Pause, {}, 100},
      {StartOp::FccMeasure},
      {StartOp::Discard},
      {StartOp::Send, fcc::versionRequest()},
      {StartOp::Pause, {}, 200},
      {StartOp::Discard},
      {StartOp::Send, fcc::poll()},
      {StartOp::Pause, {}, 100},
      {StartOp::FccArm},
  };
}

}  // namespace

void BusLink::queueStart(int n, std::vector<StartStep> steps) {
  PortEntry& p = portTable_[n];
  const bool idle = p.starting.empty();
  p.starting.insert(p.starting.end(), std::make_move_iterator(steps.begin()),
                    std::make_move_iterator(steps.end()));
  if (idle) {
    p.startDue = clock_.now();
    runStart(n);  // what needs no pause goes out at once
  }
}

void BusLink::runStart(int n) {
  PortEntry& p = portTable_[n];
  while (!p.starting.empty() && p.handle && tickReached(clock_.now(), p.startDue)) {
    const StartStep step = std::move(p.starting.front());
    p.starting.pop_front();
    runStartStep(n, step);
  }
}

void BusLink::runStartStep(int n, const StartStep& step) {
  PortEntry& p = portTable_[n];
  switch (step.op) {
    case StartOp::Send:
      send(n, step.bytes);
      break;
    case StartOp::Pause:
      p.startDue = clock_.now() + step.ms;
      break;
    case StartOp::Purge:
      p.handle->purge();
      p.inbox.clear();
      break;
    case StartOp::Discard:
      discardWaiting(n);
      break;
    case StartOp::FccPoll:
      send(n, fcc::poll());
      p.lastActivity = clock_.now();
      break;
    case StartOp::FccMeasure: {
      const int w = p.handle->waiting();
      if (w == static_cast<int>(fcc::kLargeFrame))
        fccFrameSize_ = static_cast<int>(fcc::kLargeFrame);
      else if (w == static_cast<int>(fcc::kSmallFrame))
        fccFrameSize_ = static_cast<int>(fcc::kSmallFrame);
      else  // the frame size stays as it was
        p.starting.push_front({StartOp::Pause, {}, 100});
      break;
    }
    case StartOp::FccArm:
      p.fccExpected = static_cast<size_t>(fccFrameSize_);
      break;
    case StartOp::Running:
      p.state = kPortRunning;
      break;
  }
}

void BusLink::startInterface(int n, int b) {
  PortEntry& p = portTable_[n];
  switch (p.protocolClass) {
    case kClassFcc:
      queueStart(n, fccStartSteps());
      break;
    case kClassPolling:
    case kClassPollingFast:
      p.pollGroup = 0;
      send(n, polling::readRequest(0));
      break;
    case kClassMc2004:
      if (p.handle->cts()) {
        queueStart(n, mc2004StartSteps());
        if (busEntry(b).sx1) queueStart(n, {{StartOp::Send, mc2004::bus1Selection()}});
      } else {
        p.state = kPortNoConnection;
      }
      break;
    case kClassSlx852: {
      auto steps = slx852StartSteps();
      if (busEntry(b).sx1) steps.push_back({StartOp::Send, slx852::bus1Selection()});
      steps.push_back({StartOp::Running});
      queueStart(n, std::move(steps));
      break;
    }
    default:
      break;
  }
}

void BusLink::selectSecondBus(int n, int b) {
  PortEntry& p = portTable_[n];
  if (p.protocolClass == kClassMc2004) {
    if (!p.handle->cts())
      p.state = kPortNoConnection;
    else if (busEntry(b).sx1)
      queueStart(n, {{StartOp::Send, mc2004::bus1Selection()}});
  } else if (p.protocolClass == kClassSlx852) {
    if (busEntry(b).sx1) queueStart(n, {{StartOp::Send, slx852::bus1Selection()}});
  }
}

std::vector<StartStep> BusLink::sx1Selections(int n) const {
  std::vector<StartStep> steps;
  const bool mc = portTable_[n].protocolClass == kClassMc2004;
  for (int j = 0; j < kBusSlots; ++j) {
    const BusEntry& e = busEntry(j);
    if (e.port != n || !e.used || !e.sx1) continue;
    steps.push_back({StartOp::Send, mc ? mc2004::bus1Selection() : slx852::bus1Selection()});
  }
  return steps;
}

bool BusLink::portServesSx1(int n) const {
  for (int j = 0; j < kBusSlots; ++j) {
    const BusEntry& e = busEntry(j);
    if (e.port == n && e.used && e.sx1) return true;
  }
  return false;
}

int BusLink::fccBusOf(int b) const {
  // Slots 0 and 1 have always been the FCC's two buses; a slot beyond them reaches the
  // bus its SX1 flag names, since the FCC takes no other bus number.
  if (b == 0 || b == 1) return b;
  return busEntry(b).sx1 ? 1 : 0;
}

void BusLink::setPortRowsEnabled(bool on) {
  portRowsOn_ = on;
  for (int n = 1; n <= kPortCount; ++n) {
    const bool available =
        on && (prefs_.portConfig[n].present != 0 || portTable_[n].state.load() > kPortClosed);
    const int controls[3] = {166 + n - 1, 195 + n - 1, 203 + n - 1};
    for (int c : controls) ui_.setEnabled(win::kSettings, c, available);
    if (!available) ui_.setState(win::kSettings, 166 + n - 1, 0);
  }
}

// ---------------------------------------------------------------------------------------
// The cycle

int BusLink::cycle() {
  if (stopping()) return -1;
  moreWork_ = false;
  {
    std::lock_guard<std::mutex> lock(busMutex_);
    if (stopping()) return -1;
    writeStep();
  }
  {
    std::lock_guard<std::mutex> lock(busMutex_);
    if (stopping()) return -1;
    pollStep();
  }
  rowWait_ = -1;
  if (!runRows(rowsAfterPoll_)) return -1;
  if (stopping()) return -1;
  portStatusStep();
  if (stopping()) return -1;
  programmingModeStep();
  if (stopping()) return -1;
  powerDisplayStep();
  if (stopping()) return -1;
  requestTransferStep();
  if (!runRows(rowsAfterTransfer_)) return -1;
  return nextWait();
}

void BusLink::noteWaiting() {
  for (int n = 1; n <= kPortCount; ++n) {
    PortEntry& p = portTable_[n];
    p.seenWaiting = p.handle ? p.handle->waiting() : 0;
  }
}

bool BusLink::writeSendable() const {
  for (const BusWrite& w : writeQueue_) {
    const int n = busEntry(w.bus < kBusSlots ? w.bus : 0).port;
    if (!validPort(n) || !portTable_[n].handle) return true;  // dropped at once
    const PortEntry& p = portTable_[n];
    if (p.protocolClass != kClassFcc && p.starting.empty()) return true;
  }
  return false;
}

int BusLink::nextWait() {
  if (moreWork_ || queue_.hasPending() || writeSendable()) return 0;
  const Tick now = clock_.now();
  int32_t wait = static_cast<int32_t>(kMaxIdleMs);
  if (rowWait_ >= 0) wait = std::min(wait, static_cast<int32_t>(rowWait_));
  auto until = [&](Tick deadline) { wait = std::max(0, std::min(wait, tickDiff(deadline, now))); };
  for (int n = 1; n <= kPortCount; ++n) {
    const PortEntry& p = portTable_[n];
    if (!p.handle) {
      if (p.opened && p.state.load() < kPortNoConnection) until(p.lastActivity + kReopenMs + 1);
      continue;
    }
    if (!p.starting.empty()) {
      until(p.startDue);
      continue;
    }
    if (p.state.load() < kPortNoConnection) continue;
    switch (p.protocolClass) {
      case kClassPolling:
      case kClassPollingFast:
        until(p.lastActivity + kPollTimeoutMs + 1);
        if (p.pollSeen == static_cast<int>(polling::answerLength(p.pollGroup)))
          until(p.lastInput + byteTimeMs(p.baud));
        break;
      case kClassMc2004:
      case kClassSlx852:
        until(now + kCtsWatchMs);
        if (p.restartArmed) until(p.restartDue + 1);
        if (p.inbox.size() == 1 && p.protocolClass == kClassSlx852)
          until(p.lastInput + kLoneByteMs + 1);
        break;
      case kClassFcc:
        until(p.lastActivity + fcc::kTimeoutMs + 1);
        break;
      default:
        break;
    }
  }
  for (int n = 1; n <= kPortCount; ++n)
    if (portTable_[n].state.load() != portTable_[n].shownState) until(nextStatus_);
  return static_cast<int>(wait);
}

void BusLink::waitForWork(int ms) {
  if (ms <= 0 || stopping()) return;
  std::vector<WaitHandle> handles;
  for (int n = 1; n <= kPortCount; ++n) {
    PortEntry& p = portTable_[n];
    if (!p.handle) continue;
    const WaitHandle h = p.handle->inputHandle();
    if (h != kNoWaitHandle)
      handles.push_back(h);
    else
      ms = std::min(ms, std::max(0, p.handle->msUntilInput()));
  }
  waiter_->wait(handles, ms);
}

bool BusLink::wantsCycle() {
  if (stopping() || queue_.hasPending()) return true;
  for (int n = 1; n <= kPortCount; ++n) {
    PortEntry& p = portTable_[n];
    if (p.handle && p.handle->waiting() != p.seenWaiting) return true;
  }
  return false;
}

void BusLink::wakeUp() { waiter_->wake(); }

void BusLink::writeStep() {
  // Each write waits only for its own port: writes for an FCC, which sends them between
  // its frames, or for an interface still starting stay queued while the writes behind
  // them for other ports go out.
  for (auto it = writeQueue_.begin(); it != writeQueue_.end();) {
    const BusWrite w = *it;
    const int slot = w.bus < kBusSlots ? w.bus : 0;
    const int n = busEntry(slot).port;
    if (!validPort(n) || !portTable_[n].handle) {
      it = writeQueue_.erase(it);  // no open port serves this bus: the write has no effect
      continue;
    }
    const int cls = portTable_[n].protocolClass;
    if (cls == kClassFcc || !portTable_[n].starting.empty()) {
      ++it;
      continue;
    }
    const bool sx1 = busEntry(slot).sx1 != 0;
    if (cls == kClassMc2004) send(n, {mc2004::busMarker(sx1)});
    if (cls == kClassSlx852) send(n, slx852::busMarker(sx1));
    const uint8_t address = static_cast<uint8_t>(w.address & 0x7F);
    echoGuard_[slot][address] = guardTick(clock_.now() + kEchoGuardMs);
    send(n, polling::write(address, static_cast<uint8_t>(w.value)));
    for (int j = 0; j < kBusSlots; ++j) {
      const BusEntry& e = busEntry(j);
      if (e.port == n && e.used && (e.sx1 != 0) == sx1)
        state_.setMirror(j, address, static_cast<int16_t>(w.value & 0xFF));
    }
    writeQueue_.erase(it);
    return;  // one write per cycle
  }
}

void BusLink::pollStep() {
  for (int n = 1; n <= kPortCount; ++n) pollPort(n);
}

void BusLink::pollPort(int n) {
  PortEntry& p = portTable_[n];
  if (!p.handle) {
    // A port that could not be opened, or whose device went away, is tried again as long
    // as a used bus needs it: an adapter plugged back in is taken up by itself.
    if (p.opened && p.state.load() < kPortNoConnection &&
        tickPassed(clock_.now(), p.lastActivity + kReopenMs))
      reopenPort(n);
    return;
  }
  const int waiting = p.handle->waiting();
  if (waiting < 0) {
    portGone(n);
    return;
  }
  if (!p.starting.empty()) {
    runStart(n);
    return;
  }
  if (p.state.load() < kPortNoConnection) return;
  switch (p.protocolClass) {
    case kClassPolling:
    case kClassPollingFast: pollPolling(n, waiting); break;
    case kClassMc2004: pollMc2004(n, waiting); break;
    case kClassSlx852: pollSlx852(n, waiting); break;
    case kClassFcc: pollFcc(n, waiting); break;
    default: break;
  }
}

void BusLink::pollPolling(int n, int waiting) {
  PortEntry& p = portTable_[n];
  const size_t expected = polling::answerLength(p.pollGroup);
  const Tick now = clock_.now();
  if (waiting != p.pollSeen) {
    p.pollSeen = waiting;
    p.lastInput = now;
  }
  // The bytes trickle in, so a stray byte before or after an answer (line noise, or an
  // interface whose pairing a lost byte has shifted) would make the count pass through
  // exactly `expected` on its way, and every answer after it would be read one byte off.
  // An answer is therefore taken only once the line has been quiet for a byte's time.
  const bool quiet = tickDiff(now, p.lastInput) >= byteTimeMs(p.baud);
  if (waiting == static_cast<int>(expected) && quiet) {
    p.pollSeen = 0;
    Bytes answer = readBytes(n, expected);
    const bool ok = answer.size() == expected;
    if (ok) p.state = kPortRunning;
    const uint8_t previous = p.pollGroup;
    p.pollGroup = polling::nextGroup(previous);
    send(n, polling::readRequest(p.pollGroup));
    p.lastActivity = clock_.now();
    if (ok) decodePollAnswer(n, previous, answer);
  } else if (tickPassed(now, p.lastActivity + kPollTimeoutMs)) {
    p.dropped += static_cast<uint32_t>(discardWaiting(n));
    p.pollSeen = 0;
    p.pollGroup = 0;
    send(n, polling::readRequest(0));
    p.lastActivity = clock_.now();
    p.state = kPortNoConnection;
  }
}

void BusLink::decodePollAnswer(int n, uint8_t group, const Bytes& answer) {
  if (group == polling::kPowerAddress) {
    if (busEntry(0).port != n || answer.empty()) return;
    const uint8_t v = answer[0];
    if (v != state_.mirror(0, 127)) {
      state_.setMirror(0, 127, v);
      powerIndication((v & 0x80) != 0);
    }
    return;
  }
  const int j = state_.currentBus.load();
  if (j < 0 || j >= kBusSlots || busEntry(j).port != n) return;  // read and dropped
  const Tick now = clock_.now();
  for (size_t k = 0; k < answer.size() && k < 8; ++k) {
    const int address = group + static_cast<int>(k);
    if (address >= kBusAddresses) break;
    const uint8_t v = answer[k];
    if (v == state_.mirror(j, address)) continue;
    Tick& guard = echoGuard_[j][address];
    if (guard != 0) {
      // Until the interface has seen our own write, an old value read back must not
      // overwrite it; the other addresses of the answer are fresh and still taken.
      if (tickDiff(guard, now) > 0) continue;
      guard = 0;
    }
    state_.setMirror(j, address, v);
  }
}

void BusLink::powerIndication(bool on) { state_.centralPower = on ? 1 : 0; }

void BusLink::decodeEvent(int n, bool sx1, uint8_t address, uint8_t value, bool powerAt127) {
  for (int j = 0; j < kBusSlots; ++j) {
    const BusEntry& e = busEntry(j);
    if (e.port != n || !e.used || (e.sx1 != 0) != sx1) continue;
    const bool powerAddress = address == 109 || (powerAt127 && address == 127);
    // Only the bus that slot 0 listens to carries the track power; the same address on
    // the interface's other bus is an ordinary value.
    if (powerAddress && j == 0) {
      const bool on = (value & 0x80) != 0;
      if (!powerAt127) state_.setMirror(0, 127, on ? 0x80 : 0);
      powerIndication(on);
    }
    state_.setMirror(j, address, value);
  }
}

bool BusLink::watchCts(int n) {
  PortEntry& p = portTable_[n];
  const uint8_t cts = p.handle->cts() ? 1 : 0;
  if (cts == lastCts_[n]) return false;
  lastCts_[n] = cts;
  if (!cts) {
    p.state = kPortNoConnection;
    p.restartArmed = false;  // a restart waits for CTS to come back and stay
  }
  return cts != 0;
}

size_t BusLink::takeInput(int n, int waiting) {
  // Event interfaces: everything waiting goes into the port's inbox, whose messages are
  // then taken as far as they are complete.
  PortEntry& p = portTable_[n];
  if (waiting <= 0) return 0;
  const size_t want = std::min(static_cast<size_t>(waiting), kEventBytesPerCycle);
  Bytes got = readBytes(n, want);
  if (got.empty()) return 0;
  if (static_cast<size_t>(waiting) > want) moreWork_ = true;
  p.inbox.insert(p.inbox.end(), got.begin(), got.end());
  p.lastInput = clock_.now();
  return got.size();
}

void BusLink::dropInput(int n, size_t count) {
  PortEntry& p = portTable_[n];
  count = std::min(count, p.inbox.size());
  p.inbox.erase(p.inbox.begin(), p.inbox.begin() + static_cast<std::ptrdiff_t>(count));
  p.dropped += static_cast<uint32_t>(count);
}

void BusLink::pollMc2004(int n, int waiting) {
  PortEntry& p = portTable_[n];
  if (watchCts(n)) {
    auto steps = mc2004StartSteps();
    for (auto& s : sx1Selections(n)) steps.push_back(std::move(s));
    steps.push_back({StartOp::Running});
    queueStart(n, std::move(steps));
    return;
  }
  if (takeInput(n, waiting) > 0) p.state = kPortRunning;
  // A message is a bus marker (0x80, 0x81), an address (bit 7 clear) and a value. A byte
  // that cannot start one is dropped alone, so a stray byte costs one message at most
  // instead of every message after it.
  Bytes& in = p.inbox;
  while (in.size() >= mc2004::kMessageLength) {
    if ((in[0] != 0x80 && in[0] != 0x81) || (in[1] & 0x80) != 0) {
      dropInput(n, 1);
      continue;
    }
    decodeEvent(n, in[0] == 0x81, in[1], in[2], false);
    in.erase(in.begin(), in.begin() + mc2004::kMessageLength);
  }
}

void BusLink::pollSlx852(int n, int waiting) {
  PortEntry& p = portTable_[n];
  const Tick now = clock_.now();
  if (watchCts(n)) {
    // Give the interface a second to come up before starting it again; each port keeps
    // its own deadline, and every change to on starts the second anew.
    p.restartArmed = true;
    p.restartDue = now + slx852::kRestartDelayMs;
  } else if (p.restartArmed && lastCts_[n] && tickPassed(now, p.restartDue)) {
    p.restartArmed = false;
    auto steps = slx852StartSteps();
    for (auto& s : sx1Selections(n)) steps.push_back(std::move(s));
    steps.push_back({StartOp::Running});
    queueStart(n, std::move(steps));
    return;
  }
  takeInput(n, waiting);
  // A message is (bus << 7 | address, value) with no marker byte. While the port serves
  // no SX1 bus the interface sends nothing for it, so a first byte with bit 7 set cannot
  // start a message; and a byte left alone after the line fell quiet has no partner.
  Bytes& in = p.inbox;
  const bool sx1 = portServesSx1(n);
  while (in.size() >= slx852::kMessageLength) {
    if (!sx1 && (in[0] & 0x80) != 0) {
      dropInput(n, 1);
      continue;
    }
    decodeEvent(n, (in[0] & 0x80) != 0, in[0] & 0x7F, in[1], true);
    in.erase(in.begin(), in.begin() + slx852::kMessageLength);
  }
  if (in.size() == 1 && tickPassed(now, p.lastInput + kLoneByteMs)) dropInput(n, 1);
}

std::deque<BusWrite>::iterator BusLink::fccWriteFor(int n) {
  return std::find_if(writeQueue_.begin(), writeQueue_.end(), [&](const BusWrite& w) {
    return w.bus < kBusSlots && busEntry(w.bus).port == n;
  });
}

void BusLink::decodeFccFrame(int n, const fcc::BusPart& part) {
  for (int j = 0; j < kBusSlots; ++j) {
    const BusEntry& e = busEntry(j);
    if (e.port != n || !e.used) continue;
    const auto& values = fccBusOf(j) ? part.sx1 : part.sx0;
    for (int a = 0; a < 112; ++a) state_.setMirror(j, a, values[static_cast<size_t>(a)]);
  }
  state_.centralPower = part.power ? 1 : 0;
}

void BusLink::pollFcc(int n, int waiting) {
  PortEntry& p = portTable_[n];
  if (p.fccExpected > 0 && waiting == static_cast<int>(p.fccExpected)) {
    if (p.fccExpected == 1) {
      readBytes(n, 1);
    } else {
      readBytes(n, fcc::kBlockLength);
      if (p.fccExpected == fcc::kLargeFrame) readBytes(n, fcc::kBlockLength);
      Bytes part = readBytes(n, fcc::kBusPartLength);
      if (auto bus = fcc::decodeBusPart(part.data(), part.size())) {
        decodeFccFrame(n, *bus);
        p.state = kPortRunning;
      }
    }
    auto w = fccWriteFor(n);
    if (w != writeQueue_.end()) {
      send(n, fcc::write(static_cast<uint8_t>(fccBusOf(w->bus)),
                         static_cast<uint8_t>(w->address), static_cast<uint8_t>(w->value)));
      writeQueue_.erase(w);
      p.fccExpected = 1;
    } else {
      send(n, fcc::poll());
      p.fccExpected = static_cast<size_t>(fccFrameSize_);
      p.lastActivity = clock_.now();
    }
  } else if (tickPassed(clock_.now(), p.lastActivity + fcc::kTimeoutMs)) {
    reopenPort(n);
    // Reopened: no connection until a frame comes. Not reopened: tried again every
    // kReopenMs from now.
    if (portTable_[n].handle) portTable_[n].state = kPortNoConnection;
  }
}

// ---------------------------------------------------------------------------------------
// Display

void BusLink::showPortState(int n, uint8_t st) {
  const std::string com = "Com " + std::to_string(n);
  switch (st) {
    case kPortOpenFailed:
      ui_.setStatusText(win::kMain, kFieldPortText, com + texts_.text(596), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldPortImage, 130);
      ui_.setStatusText(win::kMain, kFieldModeText, texts_.text(597), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldModeImage, 130);
      break;
    case kPortNoConnection:
      ui_.setStatusText(win::kMain, kFieldPortText, com + texts_.text(598), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldPortImage, 132);
      ui_.setStatusText(win::kMain, kFieldModeText, texts_.text(599), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldModeImage, 130);
      break;
    case kPortOpened:
      ui_.setStatusText(win::kMain, kFieldPortText, com + texts_.text(600), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldPortImage, 129);
      break;
    case kPortRunning:
      ui_.setStatusText(win::kMain, kFieldPortText, texts_.text(601), Align::Left);
      ui_.setStatusImage(win::kMain, kFieldPortImage, 128);
      lastPower_ = 0xFFFF;  // redraw the power field
      break;
    default:
      break;
  }
}

void BusLink::portStatusStep() {
  const Tick now = clock_.now();
  if (!tickReached(now, nextStatus_)) return;
  nextStatus_ = now + kStatusIntervalMs;
  for (int n = 1; n <= kPortCount; ++n) {
    PortEntry& p = portTable_[n];
    const uint8_t st = p.state.load();
    if (st == p.shownState) continue;
    showPortState(n, st);
    p.shownState = st;
  }
}

void BusLink::programmingModeStep() {
  const int bus = state_.currentBus.load();
  const uint32_t v = static_cast<uint16_t>(state_.mirror(bus, 106));
  if (v == lastMode106_) return;
  lastMode106_ = v;
  const bool on = (v & 0x20) != 0;
  state_.programmingMode = on ? 1 : 0;
  ui_.setStatusText(win::kMain, kFieldModeText, texts_.text(on ? 605 : 607), Align::Left);
  ui_.setStatusImage(win::kMain, kFieldModeImage, on ? 128 : 130);
  for (int c : kModeButtons) ui_.setText(win::kMain, c, texts_.text(on ? 701 : 700));
  ui_.setText(win::kMain, 751, on ? texts_.text(606) : std::string());
  for (int c = 700; c <= 747; ++c) ui_.setEnabled(win::kMain, c, !on);
}

void BusLink::powerDisplayStep() {
  const int pp = powerPort_.load();
  uint32_t power;
  if (validPort(pp) && portTable_[pp].protocolClass == kClassFcc)
    power = state_.centralPower.load() ? 0xFF : 0;
  else
    power = static_cast<uint16_t>(state_.mirror(0, 127));
  if (power == lastPower_) return;
  lastPower_ = power;
  const bool on = (power & 0x80) != 0;
  StatusDraw d;
  d.text = "  " + texts_.text(on ? 608 : 609);
  d.textColour = on ? rgb(255, 0, 0) : rgb(0, 0, 0);
  d.background = rgb(232, 232, 232);
  powerShownOn_ = on;
  ui_.setStatusDraw(win::kMain, kFieldPower, d);
}

void BusLink::requestTransferStep() {
  // One request per cycle; it goes to the bus that is current when it is taken.
  auto r = queue_.take();
  if (!r) return;
  if (r->kind != 1 && r->kind != 2) return;
  if (r->address < 0 || r->address > 127) return;  // never index the mirror out of range
  writeQueue_.push_back({state_.currentBus.load(), static_cast<uint16_t>(r->address),
                         static_cast<uint16_t>(r->value & 0xFF)});
}

}  // namespace kw
