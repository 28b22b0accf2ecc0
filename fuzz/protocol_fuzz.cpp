// What the interfaces send, decoded by the bus link through a scripted serial port: one
// target per protocol class (KW_FUZZ_PROTOCOL_TYPE names the interface type). The input
// chooses which buses use the port and then interleaves bytes from the device, time, the
// CTS line, the port vanishing and queued writes. Whatever arrives, the bus mirror holds
// bytes, every port is in one of its five states, and polling asks only for the groups it
// knows.
#include "buslink/bus_link.h"
#include "buslink/fake_serial.h"
#include "fuzz_check.h"
#include "platform/headless_ui.h"

#ifndef KW_FUZZ_PROTOCOL_TYPE
#error "KW_FUZZ_PROTOCOL_TYPE must name the interface type (0..6)"
#endif

namespace {

constexpr int kPort = 1;
constexpr int kMaxSteps = 400;

struct Rig {
  kw::VirtualClock clock{10000};
  kw::HeadlessUi ui{&clock};
  kw::BusState state;
  kw::RequestQueue queue;
  kw::SuitePreferences prefs = kw::emptySuitePreferences();
  kw::test::FakeSerialPorts ports{&clock};
  kw::LanguageTexts texts;
  kw::BusLink link{state, queue, prefs, ports, clock, ui, texts};

  Rig() {
    kw::WindowSpec w;
    ui.openWindow(kw::win::kMain, w);
    ui.createStatusBar(kw::win::kMain, {24, 126, 110, 24, 296, 140});
  }
};

bool validState(uint8_t s) { return s >= kw::kPortClosed && s <= kw::kPortRunning; }
bool validGroup(uint8_t g) { return g == 127 || (g <= 104 && g % 8 == 0); }

void checkInvariants(Rig& r, size_t buses) {
  // Any bit above the low eight in any mirror value (a negative value sets them all).
  uint16_t high = 0;
  for (size_t b = 0; b < buses; ++b)
    for (const auto& value : r.state.busMirror[b])
      high |= static_cast<uint16_t>(value.load(std::memory_order_relaxed));
  KW_FUZZ_CHECK((high & 0xFF00) == 0);
  for (int n = 1; n <= kw::kPortCount; ++n) KW_FUZZ_CHECK(validState(r.link.portState(n)));
  KW_FUZZ_CHECK(validGroup(r.link.port(kPort).pollGroup));
  const int frame = r.link.fccFrameSize();
  KW_FUZZ_CHECK(frame == 0 || frame == 322 || frame == 418);
  KW_FUZZ_CHECK(r.state.programmingMode.load() <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kw::fuzz::FuzzInput in(data, size);
  Rig r;
  // Which of buses 0..3 use the port, and which of them are an SX1 bus.
  const uint8_t used = in.byte();
  const uint8_t sx1 = in.byte();
  r.prefs.portConfig[kPort].typeIndex = KW_FUZZ_PROTOCOL_TYPE;
  for (int b = 0; b < 4; ++b) {
    if (!(used & (1 << b))) continue;
    r.prefs.busTable[b] = {kPort, 1, static_cast<uint8_t>((sx1 >> b) & 1)};
  }
  r.state.currentBus = static_cast<uint8_t>(in.byte() % 4);
  kw::test::FakeLine& line = r.ports.lines[kPort];
  line.cts = (used & 0x80) == 0;
  r.link.openInterfaces();
  checkInvariants(r, r.state.busMirror.size());

  for (int step = 0; step < kMaxSteps && !in.empty(); ++step) {
    const uint8_t op = in.byte();
    switch (op & 3) {
      case 0: {  // bytes from the device
        const std::string_view bytes = in.bytes(op >> 2);
        line.input.insert(line.input.end(), bytes.begin(), bytes.end());
        break;
      }
      case 1:  // time passes
        r.clock.sleep((op >> 2) * 8u);
        break;
      case 2:  // the CTS line changes, or the device goes away and comes back
        if (op & 0x80)
          line.gone = !line.gone;
        else
          line.cts = !line.cts;
        break;
      case 3:  // the program queues a write
        r.queue.submit(in.byte() & 0x7F, in.byte());
        break;
    }
    r.link.cycle();
    r.clock.sleep(1);
    checkInvariants(r, 4);  // only buses 0..3 can use the port
  }
  checkInvariants(r, r.state.busMirror.size());
  return 0;
}
