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

}  // namespace

BusLink::BusLink(BusState& state, RequestQueue& queue, SuitePreferences& prefs,
                 SerialPorts& ports, Clock& clock, Ui& ui, const LanguageTexts& texts)
    : state_(state), queue_(queue), prefs_(prefs), ports_(ports), clock_(clock), ui_(ui),
      texts_(texts), types_(buildInterfaceTypes()) {
  lastCts_.fill(1);
}

uint8_t BusLink::portState(int port) const {
  return validPort(port) ? portTable_[port].state.load() : static_cast<uint8_t>(kPortClosed);
}

Tick BusLink::echoGuard(int bus, int address) const {
  if (bus < 0 || bus >= kBusSlots || address < 0 || address >= kBusAddresses) return 0;
  return echoGuard_[bus][address];
}

void BusLink::addCycleRow(CycleRow where, std::function<void()> row) {
  (where == CycleRow::AfterPoll ? rowsAfterPoll_ : rowsAfterTransfer_).push_back(std::move(row));
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

void BusLink::discardWaiting(int n) {
  if (!validPort(n) || !portTable_[n].handle) return;
  // Bounded: a device that never stops talking must not keep us here.
  for (int guard = 0; guard < 64; ++guard) {
    int w = portTable_[n].handle->waiting();
    if (w <= 0) break;
    Bytes junk(static_cast<size_t>(std::min(w, 4096)));
    if (portTable_[n].handle->read(junk.data(), junk.size()) == 0) break;
  }
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
  portTable_[n].handle.reset();
  portTable_[n].state = kPortClosed;
}

void BusLink::closeInterfaces(int port) {
  auto closeOne = [this](int n) {
    if (portTable_[n].handle && portTable_[n].protocolClass == kClassMc2004) mc2004Reset(n);
    closePort(n);
  };
  if (port == 0) {
    for (int n = 1; n <= kPortCount; ++n) closeOne(n);
  } else if (validPort(port)) {
    closeOne(port);
  }
}

void BusLink::openInterfaces() {
  for (int n = 1; n <= kPortCount; ++n) closePort(n);

  for (int b = 0; b < kBusSlots; ++b) {
    const BusEntry& bus = busEntry(b);
    if (!bus.used) continue;
    const int n = bus.port;
    if (!validPort(n)) continue;  // a bus without a port reaches nothing
    PortEntry& p = portTable_[n];
    if (p.handle) {
      selectSecondBus(n, b);
      continue;
    }
    if (p.state.load() == kPortOpenFailed) continue;  // already tried in this pass
    const PortConfig& pc = prefs_.portConfig[n];
    const int t = pc.typeIndex;
    const uint32_t baud = baudFor(types_, t, pc.baudIndex);
    powerPort_ = static_cast<uint8_t>(n);
    lastBaud_ = baud;
    prefs_.portConfig[n].mode = "COM" + std::to_string(n) + ":" + std::to_string(baud) + ",n,8,1";
    p.protocolClass = static_cast<uint8_t>(t < kInterfaceTypeCount ? types_[t].protocolClass : 0);
    p.baud = baud;
    p.opened = 1;
    if (p.protocolClass == 0) {  // a damaged type number names no interface
      p.state = kPortOpenFailed;
      continue;
    }
    SerialSettings s;
    s.mode = prefs_.portConfig[n].mode;
    s.protocolClass = p.protocolClass;
    p.handle = ports_.open(n, s);
    if (!p.handle) {
      p.state = kPortOpenFailed;
      continue;
    }
    p.state = kPortOpened;
    p.pollGroup = 0;
    p.lastActivity = clock_.now();
    startInterface(n, b);
  }
}

void BusLink::startInterface(int n, int b) {
  PortEntry& p = portTable_[n];
  switch (p.protocolClass) {
    case kClassFcc:
      fccStart(n);
      break;
    case kClassPolling:
    case kClassPollingFast:
      p.pollGroup = 0;
      send(n, polling::readRequest(0));
      break;
    case kClassMc2004:
      if (p.handle->cts()) {
        mc2004Start(n);
        if (busEntry(b).sx1) send(n, mc2004::bus1Selection());
      } else {
        p.state = kPortNoConnection;
      }
      break;
    case kClassSlx852:
      slx852Start(n);
      if (busEntry(b).sx1) send(n, slx852::bus1Selection());
      p.state = kPortRunning;
      break;
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
      send(n, mc2004::bus1Selection());
  } else if (p.protocolClass == kClassSlx852) {
    if (busEntry(b).sx1) send(n, slx852::bus1Selection());
  }
}

void BusLink::resetInterface(int n, const Bytes& sequence, uint32_t pauseMs) {
  // The interface needs the pause to come back; whatever it said meanwhile is stale.
  send(n, sequence);
  clock_.sleep(pauseMs);
  if (portTable_[n].handle) portTable_[n].handle->purge();
}

void BusLink::mc2004Reset(int n) {
  resetInterface(n, mc2004::resetSequence(), mc2004::kResetPauseMs);
}

void BusLink::mc2004Start(int n) {
  mc2004Reset(n);
  send(n, mc2004::bus0Start());
}

void BusLink::slx852Start(int n) {
  resetInterface(n, slx852::resetSequence(), slx852::kResetPauseMs);
  send(n, slx852::bus0Start());
}

void BusLink::selectUsedSx1Buses(int n) {
  PortEntry& p = portTable_[n];
  for (int j = 0; j < kBusSlots; ++j) {
    const BusEntry& e = busEntry(j);
    if (e.port != n || !e.used || !e.sx1) continue;
    send(n, p.protocolClass == kClassMc2004 ? mc2004::bus1Selection() : slx852::bus1Selection());
  }
}

void BusLink::fccStart(int n) {
  PortEntry& p = portTable_[n];
  discardWaiting(n);
  send(n, fcc::poll());
  p.lastActivity = clock_.now();
  clock_.sleep(100);
  int w = p.handle ? p.handle->waiting() : -1;
  if (w == static_cast<int>(fcc::kLargeFrame))
    fccFrameSize_ = static_cast<int>(fcc::kLargeFrame);
  else if (w == static_cast<int>(fcc::kSmallFrame))
    fccFrameSize_ = static_cast<int>(fcc::kSmallFrame);
  else
    clock_.sleep(100);
  discardWaiting(n);
  send(n, fcc::versionRequest());
  clock_.sleep(200);
  discardWaiting(n);
  send(n, fcc::poll());
  clock_.sleep(100);
  fccExpected_ = static_cast<size_t>(fccFrameSize_);
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
  for (auto& row : rowsAfterPoll_) {
    if (stopping()) return -1;
    row();
  }
  if (stopping()) return -1;
  portStatusStep();
  if (stopping()) return -1;
  programmingModeStep();
  if (stopping()) return -1;
  powerDisplayStep();
  if (stopping()) return -1;
  requestTransferStep();
  for (auto& row : rowsAfterTransfer_) {
    if (stopping()) return -1;
    row();
  }
  return 1;
}

void BusLink::writeStep() {
  if (writeQueue_.empty()) return;
  const BusWrite w = writeQueue_.front();
  const int slot = w.bus < kBusSlots ? w.bus : 0;
  const int n = busEntry(slot).port;
  if (!validPort(n) || !portTable_[n].handle) {
    writeQueue_.pop_front();  // no open port serves this bus: the write has no effect
    return;
  }
  const int cls = portTable_[n].protocolClass;
  if (cls == kClassFcc) return;  // the FCC sends it between two frames
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
  writeQueue_.pop_front();
}

void BusLink::pollStep() {
  for (int n = 1; n <= kPortCount; ++n) {
    PortEntry& p = portTable_[n];
    if (p.state.load() >= kPortNoConnection && p.handle) {
      switch (p.protocolClass) {
        case kClassPolling:
        case kClassPollingFast: pollPolling(n); break;
        case kClassMc2004: pollMc2004(n); break;
        case kClassSlx852: pollSlx852(n); break;
        case kClassFcc: pollFcc(n); break;
        default: break;
      }
    } else if (p.protocolClass == kClassFcc && p.opened && p.state.load() < kPortNoConnection) {
      // An FCC whose port could not be opened is tried again every 400 ms.
      if (tickPassed(clock_.now(), p.lastActivity + fcc::kReopenMs)) {
        openInterfaces();
        portTable_[n].lastActivity = clock_.now();
      }
    }
  }
}

void BusLink::pollPolling(int n) {
  PortEntry& p = portTable_[n];
  const size_t expected = polling::answerLength(p.pollGroup);
  const int waiting = p.handle->waiting();
  if (waiting == static_cast<int>(expected)) {
    Bytes answer = readBytes(n, expected);
    const bool ok = answer.size() == expected;
    if (ok) p.state = kPortRunning;
    const uint8_t previous = p.pollGroup;
    p.pollGroup = polling::nextGroup(previous);
    send(n, polling::readRequest(p.pollGroup));
    p.lastActivity = clock_.now();
    if (ok) decodePollAnswer(n, previous, answer);
  } else if (tickPassed(clock_.now(), p.lastActivity + kPollTimeoutMs)) {
    discardWaiting(n);
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

void BusLink::pollMc2004(int n) {
  PortEntry& p = portTable_[n];
  const uint8_t cts = p.handle->cts() ? 1 : 0;
  if (cts != lastCts_[n]) {
    lastCts_[n] = cts;
    if (cts) {
      mc2004Start(n);
      selectUsedSx1Buses(n);
      p.state = kPortRunning;
    } else {
      p.state = kPortNoConnection;
    }
  }
  // Messages are read three bytes at a time; a bounded number per cycle keeps the
  // other ports serviced.
  for (int m = 0; m < 64 && p.handle && p.handle->waiting() >= 3; ++m) {
    Bytes msg = readBytes(n, mc2004::kMessageLength);
    if (msg.size() != mc2004::kMessageLength) break;
    p.state = kPortRunning;
    if (msg[0] != 0x80 && msg[0] != 0x81) continue;  // void, no resynchronisation
    decodeEvent(n, msg[0] == 0x81, msg[1], msg[2], false);
  }
}

void BusLink::pollSlx852(int n) {
  PortEntry& p = portTable_[n];
  const uint8_t cts = p.handle->cts() ? 1 : 0;
  const Tick now = clock_.now();
  if (cts != lastCts_[n]) {
    lastCts_[n] = cts;
    if (cts) {
      // Give the interface a second to come up before starting it again.
      if (!slxArmed_) {
        slxArmed_ = true;
        slxDeadline_ = now + slx852::kRestartDelayMs;
      }
    } else {
      p.state = kPortNoConnection;
    }
  } else if (cts && slxArmed_ && tickPassed(now, slxDeadline_)) {
    slx852Start(n);
    selectUsedSx1Buses(n);
    p.state = kPortRunning;
    slxArmed_ = false;
    slxDeadline_ = 0;
  }
  for (int m = 0; m < 64 && p.handle && p.handle->waiting() >= 2; ++m) {
    Bytes msg = readBytes(n, slx852::kMessageLength);
    if (msg.size() != slx852::kMessageLength) break;
    decodeEvent(n, (msg[0] & 0x80) != 0, msg[0] & 0x7F, msg[1], true);
  }
}

std::deque<BusWrite>::iterator BusLink::fccWriteFor(int n) {
  return std::find_if(writeQueue_.begin(), writeQueue_.end(), [&](const BusWrite& w) {
    return w.bus < kBusSlots && busEntry(w.bus).port == n;
  });
}

void BusLink::pollFcc(int n) {
  PortEntry& p = portTable_[n];
  const int waiting = p.handle->waiting();
  if (fccExpected_ > 0 && waiting == static_cast<int>(fccExpected_)) {
    if (fccExpected_ == 1) {
      readBytes(n, 1);
    } else {
      readBytes(n, fcc::kBlockLength);
      if (fccExpected_ == fcc::kLargeFrame) readBytes(n, fcc::kBlockLength);
      Bytes part = readBytes(n, fcc::kBusPartLength);
      if (auto bus = fcc::decodeBusPart(part.data(), part.size())) {
        for (int a = 0; a < 112; ++a) {
          state_.setMirror(0, a, bus->sx0[a]);
          state_.setMirror(1, a, bus->sx1[a]);
        }
        state_.centralPower = bus->power ? 1 : 0;
        p.state = kPortRunning;
      }
    }
    auto w = fccWriteFor(n);
    if (w != writeQueue_.end()) {
      send(n, fcc::write(w->bus, static_cast<uint8_t>(w->address), static_cast<uint8_t>(w->value)));
      writeQueue_.erase(w);
      fccExpected_ = 1;
    } else {
      send(n, fcc::poll());
      fccExpected_ = static_cast<size_t>(fccFrameSize_);
      p.lastActivity = clock_.now();
    }
  } else if (tickPassed(clock_.now(), p.lastActivity + fcc::kTimeoutMs)) {
    closePort(n);
    openInterfaces();
    portTable_[n].lastActivity = clock_.now();
    portTable_[n].state = kPortNoConnection;
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
