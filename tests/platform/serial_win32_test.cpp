// The Windows serial code on a real COM port. Under Wine, CI serves a pseudo-terminal
// with kantelwerk-sim (polled class, address 3 of bus 0 set to 77) and maps COM n onto it
// ($WINEPREFIX/dosdevices/comN); KANTELWERK_TEST_COM=n names the port. Without a served
// port the test has nothing to talk to and skips itself.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/serial_win32.h"

namespace kw {
namespace {

std::vector<uint8_t> readBytes(SerialPort& port, size_t count) {
  std::vector<uint8_t> got;
  const DWORD giveUp = GetTickCount() + 3000;
  while (got.size() < count && static_cast<int32_t>(GetTickCount() - giveUp) < 0) {
    uint8_t buf[64];
    const size_t n = port.read(buf, std::min(sizeof buf, count - got.size()));
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

TEST(Win32Serial, PolledRoundTripOnAServedComPort) {
  const char* com = std::getenv("KANTELWERK_TEST_COM");
  if (!com || !*com) GTEST_SKIP() << "no COM port served (KANTELWERK_TEST_COM)";
  const int number = std::atoi(com);
  Win32SerialPorts ports;
  SerialSettings settings;
  settings.mode = "COM" + std::to_string(number) + ":19200,n,8,1";
  auto port = ports.open(number, settings);
  ASSERT_TRUE(port) << settings.mode;

  port->purge();
  // Polled protocol: address and address again reads; the answer is one byte each.
  const std::vector<uint8_t> poll{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
  EXPECT_EQ(port->write(poll), poll.size());
  EXPECT_EQ(readBytes(*port, 8), (std::vector<uint8_t>{0, 0, 0, 77, 0, 0, 0, 0}));
  // A write (bit 7 set) has no answer; the read of the same address then shows it.
  EXPECT_EQ(port->write(std::vector<uint8_t>{0x85, 61, 5, 5}), 4u);
  EXPECT_EQ(readBytes(*port, 1), (std::vector<uint8_t>{61}));
}

}  // namespace
}  // namespace kw

#endif  // _WIN32
