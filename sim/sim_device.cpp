#include "sim/sim_device.h"

#include <algorithm>

#include "sim/devices.h"

namespace kw::sim {

void SimDevice::setBaud(uint32_t baud) {
  std::lock_guard lock(mutex_);
  // Slower than 300 baud is no serial interface of this bus; keeps the timing sane.
  baud_ = std::max<uint32_t>(baud, 300);
}

uint32_t SimDevice::baud() const {
  std::lock_guard lock(mutex_);
  return baud_;
}

bool SimDevice::service(Tick now) {
  if (faults.unplugged) {
    if (!poweredDown_) {
      poweredDown_ = true;
      out_.clear();
      reply_.clear();
      onPowerLoss();
    }
    return false;
  }
  poweredDown_ = false;
  bus_.advance(now);
  onIdle(now);
  return true;
}

void SimDevice::receive(const uint8_t* data, size_t size, Tick now) {
  std::lock_guard lock(mutex_);
  if (!service(now) || data == nullptr) return;
  reply_.clear();
  const int lost = faults.lostHostByte.exchange(-1);
  const int junk = faults.junkHostByte.exchange(-1);
  auto arrive = [&](uint8_t byte) {
    received.push_back(byte);
    onByte(byte, now);
  };
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<int>(i) == junk) arrive(kJunkByte);
    if (static_cast<int>(i) != lost) arrive(data[i]);
  }
  if (junk >= 0 && static_cast<size_t>(junk) >= size) arrive(kJunkByte);
  if (!reply_.empty()) {
    std::vector<uint8_t> answer;
    answer.swap(reply_);
    send(answer, now);
  }
}

size_t SimDevice::arrivedLocked(Tick now) const {
  size_t n = 0;
  for (const auto& [at, byte] : out_) {
    if (!tickReached(now, at)) break;  // the line is in order of arrival
    ++n;
  }
  return n;
}

int SimDevice::available(Tick now) {
  std::lock_guard lock(mutex_);
  if (!service(now)) return -1;
  return static_cast<int>(std::min<size_t>(arrivedLocked(now), 0x7FFFFFFF));
}

size_t SimDevice::read(uint8_t* data, size_t size, Tick now) {
  std::lock_guard lock(mutex_);
  if (!service(now) || data == nullptr) return 0;
  const size_t n = std::min(size, arrivedLocked(now));
  for (size_t i = 0; i < n; ++i) {
    data[i] = out_.front().second;
    out_.pop_front();
  }
  return n;
}

void SimDevice::purge(Tick now) {
  std::lock_guard lock(mutex_);
  if (!service(now)) return;
  const size_t n = arrivedLocked(now);
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
}

void SimDevice::tick(Tick now) {
  std::lock_guard lock(mutex_);
  service(now);
}

bool SimDevice::cts() const { return !faults.unplugged && !faults.ctsOff; }

bool SimDevice::nextArrival(Tick& when) const {
  std::lock_guard lock(mutex_);
  if (out_.empty()) return false;
  when = out_.front().first;
  return true;
}

int SimDevice::msUntilNextByte(Tick now) const {
  std::lock_guard lock(mutex_);
  for (const auto& [at, byte] : out_)
    if (!tickReached(now, at)) return tickDiff(at, now);
  return -1;
}

void SimDevice::setWriteObserver(WriteObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

bool SimDevice::claim() { return !claimed_.exchange(true); }
void SimDevice::release() { claimed_ = false; }

std::vector<uint8_t> SimDevice::receivedBytes() const {
  std::lock_guard lock(mutex_);
  return received;
}

void SimDevice::reply(const std::vector<uint8_t>& bytes) {
  reply_.insert(reply_.end(), bytes.begin(), bytes.end());
}

void SimDevice::send(const std::vector<uint8_t>& bytes, Tick now, uint32_t delayMs) {
  std::lock_guard lock(mutex_);
  if (faults.silent || faults.unplugged) return;
  std::vector<uint8_t> block = bytes;
  if (block.empty()) return;
  // Faults spoil exactly one answer each.
  const int extra = faults.extraBytes.exchange(0);
  if (extra > 0) block.insert(block.end(), static_cast<size_t>(extra), kJunkByte);
  const int missing = faults.missingBytes.exchange(0);
  if (missing > 0) block.resize(block.size() - std::min(block.size(), static_cast<size_t>(missing)));
  if (block.empty()) return;

  // The block starts after the turnaround, or when the line is done with the block
  // before it; the line keeps sub-millisecond time so back-to-back blocks add up exactly.
  Tick start = now + delayMs + faults.delayMs;
  uint64_t startUs = 0;
  if (!out_.empty() && tickReached(lineTick_, start)) {
    start = lineTick_;
    startUs = lineUs_;
  }
  const uint64_t baud = baud_;
  uint64_t endUs = startUs;
  for (size_t i = 0; i < block.size(); ++i) {
    // 10 bits per byte (start, 8 data, stop); a byte is there in the millisecond it ends.
    endUs = startUs + ((i + 1) * 10000000ull + baud - 1) / baud;
    out_.emplace_back(start + static_cast<Tick>((endUs + 999) / 1000), block[i]);
  }
  lineTick_ = start + static_cast<Tick>(endUs / 1000);
  lineUs_ = endUs % 1000;
}

bool SimDevice::applyWrite(int bus, int address, uint8_t value, Tick now) {
  const bool changed = bus_.hostWrite(bus, address, value, now);
  if (observer_) observer_(bus, address, value);
  return changed;
}

uint32_t defaultBaud(int protocolClass) {
  switch (protocolClass) {
    case 4:
    case 5:
      return 230400;
    case 2:
      return 38400;
    case 3:
      return 57600;
    default:
      return 19200;
  }
}

std::unique_ptr<SimDevice> makeDevice(int protocolClass, SimBus& bus, int frameSize) {
  std::unique_ptr<SimDevice> device;
  switch (protocolClass) {
    case 1:
    case 4:
      device = std::make_unique<PolledDevice>(bus, protocolClass);
      break;
    case 2:
      device = std::make_unique<Mc2004Device>(bus);
      break;
    case 3:
      device = std::make_unique<Slx852Device>(bus);
      break;
    case 5:
      device = std::make_unique<FccDevice>(bus, frameSize == 418 ? 418 : 322);
      break;
    default:
      return nullptr;
  }
  device->setBaud(defaultBaud(protocolClass));
  return device;
}

}  // namespace kw::sim
