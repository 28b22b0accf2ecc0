// Scripted serial ports: a test pushes the bytes a device would send and reads back
// every byte the program wrote, with the time it was written.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/serial.h"

namespace kw::test {

struct FakeLine {
  std::deque<uint8_t> input;  // device -> program
  std::vector<uint8_t> output;  // program -> device
  std::vector<std::pair<Tick, std::vector<uint8_t>>> writes;
  bool cts = true;
  bool gone = false;
  int purges = 0;
  int opens = 0;
  int tries = 0;  // opens asked for, refused ones included
  bool refuse = false;
  SerialSettings settings;
  void push(std::initializer_list<uint8_t> b) { input.insert(input.end(), b); }
  void push(const std::vector<uint8_t>& b) { input.insert(input.end(), b.begin(), b.end()); }
  // Everything written so far, then forgotten.
  std::vector<uint8_t> take() {
    auto o = output;
    output.clear();
    return o;
  }
};

class FakePort final : public SerialPort {
 public:
  FakePort(FakeLine& line, Clock& clock) : line_(line), clock_(clock) {}
  size_t write(const uint8_t* data, size_t size) override {
    if (line_.gone) return 0;
    line_.output.insert(line_.output.end(), data, data + size);
    line_.writes.push_back({clock_.now(), std::vector<uint8_t>(data, data + size)});
    return size;
  }
  size_t read(uint8_t* data, size_t size) override {
    size_t n = 0;
    while (n < size && !line_.input.empty()) {
      data[n++] = line_.input.front();
      line_.input.pop_front();
    }
    return n;
  }
  int waiting() override { return line_.gone ? -1 : static_cast<int>(line_.input.size()); }
  bool cts() override { return line_.cts; }
  void purge() override {
    ++line_.purges;
    line_.input.clear();
  }

 private:
  FakeLine& line_;
  Clock& clock_;
};

class FakeSerialPorts final : public SerialPorts {
 public:
  explicit FakeSerialPorts(Clock* c = nullptr) : clock(c) {}
  Clock* clock;                   // set before the first open
  std::map<int, FakeLine> lines;  // ports that exist
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override {
    auto it = lines.find(port);
    if (it != lines.end()) ++it->second.tries;
    if (it == lines.end() || it->second.refuse) return nullptr;
    ++it->second.opens;
    it->second.settings = settings;
    return std::make_unique<FakePort>(it->second, *clock);
  }
};

}  // namespace kw::test
