#ifndef _WIN32

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_posix.h"

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;
using Ms = std::chrono::milliseconds;

long long msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
}

struct FakeEnv {
  std::map<std::string, std::string> vars;
  EnvLookup lookup() {
    return [this](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

DirectoryLister fixedListing(std::vector<std::string> names, std::vector<std::string>* asked = nullptr) {
  return [names, asked](const std::string& dir) {
    if (asked) asked->push_back(dir);
    return names;
  };
}

// ---- which device is COM n ----

TEST(SerialDeviceOrder, UsbAdaptersFirstThenModemClassThenOnBoardEachNumerically) {
  std::vector<std::string> listing = {"ttyS1",  "ttyUSB10", "ttyACM0", "ttyUSB2", "ttyS0",
                                      "tty0",   "ttyUSB",   "ttyS10",  "ttyS2",   "console",
                                      "ttyUSB1x", "null",   "ttyACM1", "ttyUSB0", "pts"};
  std::vector<std::string> expected = {"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyACM1",
                                       "ttyS0",   "ttyS1",   "ttyS2",    "ttyS10"};
  EXPECT_EQ(serialDeviceOrder(listing), expected);
}

TEST(SerialDeviceOrder, DoesNotDependOnTheOrderOfTheListing) {
  std::vector<std::string> a = {"ttyUSB1", "ttyS0", "ttyACM3", "ttyUSB0"};
  std::vector<std::string> b = {"ttyUSB0", "ttyACM3", "ttyS0", "ttyUSB1"};
  EXPECT_EQ(serialDeviceOrder(a), serialDeviceOrder(b));
  EXPECT_TRUE(serialDeviceOrder({}).empty());
  EXPECT_TRUE(serialDeviceOrder({"tty", "ttyS", "ttyS-1", "ttyS99999999999"}).empty());
}

TEST(PosixDevicePath, ComNumberIsThePositionInTheDefaultOrder) {
  std::vector<std::string> asked;
  PosixSerialPorts ports(nullptr, fixedListing({"ttyS0", "ttyS1", "ttyACM0", "ttyUSB3", "ttyUSB1"}, &asked),
                         "/devtest");
  EXPECT_EQ(ports.devicePath(1), "/devtest/ttyUSB1");
  EXPECT_EQ(ports.devicePath(2), "/devtest/ttyUSB3");
  EXPECT_EQ(ports.devicePath(3), "/devtest/ttyACM0");
  EXPECT_EQ(ports.devicePath(4), "/devtest/ttyS0");
  EXPECT_EQ(ports.devicePath(5), "/devtest/ttyS1");
  EXPECT_EQ(ports.devicePath(6), "");
  EXPECT_EQ(ports.devicePath(0), "");
  EXPECT_EQ(ports.devicePath(-1), "");
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0], "/devtest");
}

TEST(PosixDevicePath, EnvironmentNamesTheDeviceOfOnePort) {
  FakeEnv env;
  env.vars["KANTELWERK_COM2"] = "/dev/pts/7";
  env.vars["KANTELWERK_COM3"] = "";  // empty: as if not set
  PosixSerialPorts ports(env.lookup(), fixedListing({"ttyUSB0", "ttyUSB1", "ttyUSB2"}));
  EXPECT_EQ(ports.devicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(ports.devicePath(2), "/dev/pts/7");
  EXPECT_EQ(ports.devicePath(3), "/dev/ttyUSB2");
  EXPECT_EQ(ports.devicePath(9), "");
}

TEST(PosixDevicePath, EnvironmentAloneIsEnoughWithoutAListing) {
  FakeEnv env;
  env.vars["KANTELWERK_COM1"] = "/dev/ttyAMA0";
  PosixSerialPorts ports(env.lookup(), nullptr);
  EXPECT_EQ(ports.devicePath(1), "/dev/ttyAMA0");
  EXPECT_EQ(ports.devicePath(2), "");
}

TEST(PosixSerialPorts, RefusesWhatIsNoSerialDevice) {
  char file[] = "/tmp/kw_serial_plainXXXXXX";
  int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  close(fd);
  FakeEnv env;
  env.vars["KANTELWERK_COM1"] = "/nonexistent/ttyUSB0";
  env.vars["KANTELWERK_COM2"] = file;
  env.vars["KANTELWERK_COM3"] = "sim";
  env.vars["KANTELWERK_COM4"] = "/tmp";
  PosixSerialPorts ports(env.lookup(), fixedListing({}));
  SerialSettings s;
  s.mode = "COM1:19200,n,8,1";
  EXPECT_EQ(ports.open(1, s), nullptr);
  EXPECT_EQ(ports.open(2, s), nullptr);  // a plain file would "open" and swallow every write
  EXPECT_EQ(ports.open(3, s), nullptr);
  EXPECT_EQ(ports.open(4, s), nullptr);
  EXPECT_EQ(ports.open(5, s), nullptr);  // no device at all
  EXPECT_EQ(ports.open(0, s), nullptr);
  unlink(file);
}

// ---- termios from a mode ----

TEST(MakeRawTermios, TakesRateParityDataAndStopBits) {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXOFF;
  t.c_lflag = ICANON | ECHO | ISIG;
  t.c_oflag = OPOST;
  ASSERT_TRUE(makeRawTermios(SerialMode{1, 230400, 'n', 8, 1}, false, t));
  EXPECT_EQ(cfgetospeed(&t), B230400);
  EXPECT_EQ(cfgetispeed(&t), B230400);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(t.c_cflag & PARENB);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_TRUE(t.c_cflag & CREAD);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(t.c_oflag & OPOST);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);

  ASSERT_TRUE(makeRawTermios(SerialMode{1, 9600, 'e', 7, 2}, false, t));
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_TRUE(t.c_cflag & PARENB);
  EXPECT_FALSE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  ASSERT_TRUE(makeRawTermios(SerialMode{1, 19200, 'o', 5, 1}, false, t));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
  EXPECT_TRUE(t.c_cflag & PARENB);
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_FALSE(t.c_cflag & CSTOPB);

  ASSERT_TRUE(makeRawTermios(SerialMode{1, 57600, 'n', 8, 1}, true, t));
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  ASSERT_TRUE(makeRawTermios(SerialMode{1, 57600, 'n', 8, 1}, false, t));
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
}

TEST(MakeRawTermios, EveryRateOfTheInterfaceTypesHasASpeed) {
  const std::pair<uint32_t, speed_t> rates[] = {{9600, B9600},     {19200, B19200},
                                                {38400, B38400},   {57600, B57600},
                                                {115200, B115200}, {230400, B230400}};
  for (auto [baud, speed] : rates) {
    termios t{};
    ASSERT_TRUE(makeRawTermios(SerialMode{1, baud, 'n', 8, 1}, false, t)) << baud;
    EXPECT_EQ(cfgetospeed(&t), speed) << baud;
  }
  termios t{};
  EXPECT_FALSE(makeRawTermios(SerialMode{1, 12345, 'n', 8, 1}, false, t));
}

// ---- a real terminal: a pseudo-terminal pair ----

class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    char name[128];
    ASSERT_EQ(ptsname_r(master_, name, sizeof name), 0);
    slave_ = name;
    env_.vars["KANTELWERK_COM1"] = slave_;
    // Keep the slave side in existence across the ports opened and closed by a test.
    slaveFd_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slaveFd_, 0);
  }
  void TearDown() override {
    closeMaster();
    if (slaveFd_ >= 0) ::close(slaveFd_);
  }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // A generous total read timeout, so that bytes on their way are waited for even on a
  // loaded machine; a read that gets what it asked for returns at once anyway.
  SerialSettings settings(const std::string& mode = "COM1:19200,n,8,1") {
    SerialSettings s;
    s.mode = mode;
    s.readTotalMs = 2000;
    return s;
  }
  std::unique_ptr<SerialPort> open(const SerialSettings& s) {
    PosixSerialPorts ports(env_.lookup(), fixedListing({}));
    return ports.open(1, s);
  }
  void sendFromDevice(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the device end got within `ms`.
  Bytes receivedByDevice(size_t want, int ms) {
    Bytes got;
    auto start = std::chrono::steady_clock::now();
    while (got.size() < want && msSince(start) < ms) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[256];
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    return got;
  }
  template <class Pred>
  bool eventually(Pred pred, int ms = 2000) {
    auto start = std::chrono::steady_clock::now();
    while (msSince(start) < ms) {
      if (pred()) return true;
      std::this_thread::sleep_for(Ms(2));
    }
    return pred();
  }

  int master_ = -1;
  int slaveFd_ = -1;
  std::string slave_;
  FakeEnv env_;
};

TEST_F(PtyPort, ReadsTheBytesTheDeviceSends) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->settingsApplied());
  Bytes sent = {0x00, 0x0d, 0x0a, 0x11, 0x13, 0x03, 0x7f, 0xff, 0x80};  // none may be interpreted
  sendFromDevice(sent);
  ASSERT_TRUE(eventually([&] { return port->waiting() == static_cast<int>(sent.size()); }));
  Bytes got(sent.size() + 4, 0xee);
  size_t n = port->read(got.data(), sent.size());
  ASSERT_EQ(n, sent.size());
  got.resize(n);
  EXPECT_EQ(got, sent);
  EXPECT_EQ(port->waiting(), 0);
}

TEST_F(PtyPort, WritesReachTheDeviceUnchangedAndAreNotEchoed) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  Bytes out = {0x80 + 5, 0x42, 0x0a, 0x0d, 0x00, 0xff};
  EXPECT_EQ(port->write(out), out.size());
  EXPECT_EQ(receivedByDevice(out.size(), 2000), out);
  sendFromDevice({0x01, 0x0d});
  // Nothing may come back to the device: a terminal left in cooked mode would echo.
  EXPECT_TRUE(receivedByDevice(1, 150).empty());
}

TEST_F(PtyPort, WaitingCountsUnreadBytes) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->waiting(), 0);
  sendFromDevice({1, 2, 3});
  ASSERT_TRUE(eventually([&] { return port->waiting() == 3; }));
  uint8_t b;
  EXPECT_EQ(port->read(&b, 1), 1u);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(port->waiting(), 2);
}

// The bus thread sleeps in poll() on the port's handle: bytes already counted must not keep
// it readable (a partial answer would make the thread spin), new bytes must wake it.
TEST_F(PtyPort, InputHandleWakesForNewBytesOnly) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  const WaitHandle h = port->inputHandle();
  ASSERT_NE(h, kNoWaitHandle);
  auto readable = [&](int ms) {
    pollfd p{static_cast<int>(h), POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  };
  sendFromDevice({1, 2, 3});
  ASSERT_TRUE(readable(2000));
  ASSERT_TRUE(eventually([&] { return port->waiting() == 3; }));
  EXPECT_FALSE(readable(0));
  sendFromDevice({4});
  EXPECT_TRUE(readable(2000));
  ASSERT_TRUE(eventually([&] { return port->waiting() == 4; }));
  Bytes got(4);
  EXPECT_EQ(port->read(got.data(), 4), 4u);
  EXPECT_EQ(got, (Bytes{1, 2, 3, 4}));
}

TEST(InputWaiter, WakeEndsAWaitAndATimeoutEndsIt) {
  auto waiter = makeInputWaiter();
  auto start = std::chrono::steady_clock::now();
  waiter->wait({}, 30);
  EXPECT_GE(msSince(start), 29);
  waiter->wake();  // before the wait: the next wait ends at once
  start = std::chrono::steady_clock::now();
  waiter->wait({}, 5000);
  EXPECT_LT(msSince(start), 2500);
  std::thread other([&] {
    std::this_thread::sleep_for(Ms(20));
    waiter->wake();
  });
  start = std::chrono::steady_clock::now();
  waiter->wait({}, 5000);
  EXPECT_LT(msSince(start), 2500);
  other.join();
}

TEST_F(PtyPort, CtsReadsOnWhereTheDeviceHasNoModemLines) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->cts());
}

TEST_F(PtyPort, PurgeDiscardsWaitingInput) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  sendFromDevice({9, 8, 7, 6});
  ASSERT_TRUE(eventually([&] { return port->waiting() == 4; }));
  port->purge();
  EXPECT_EQ(port->waiting(), 0);
  std::this_thread::sleep_for(Ms(20));
  EXPECT_EQ(port->waiting(), 0);
  // Still usable afterwards, and the next byte read is the new one, not a purged one.
  sendFromDevice({5});
  uint8_t b = 0;
  EXPECT_EQ(port->read(&b, 1), 1u);
  EXPECT_EQ(b, 5);
}

TEST_F(PtyPort, LineSettingsAreAppliedToTheTerminal) {
  auto port = open(settings("COM1:230400,n,8,2"));
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->settingsApplied());
  termios t{};
  ASSERT_EQ(tcgetattr(slaveFd_, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B230400);
  EXPECT_EQ(cfgetispeed(&t), B230400);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & PARENB);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  port.reset();

  port = open(settings("com1:19200,n,8,1"));
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(tcgetattr(slaveFd_, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B19200);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(PtyPort, SettingsTheDeviceCannotTakeStillGiveAPort) {
  // A pseudo-terminal always carries 8 bits without parity, so 7E1 cannot be applied.
  auto port = open(settings("COM1:9600,e,7,1"));
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->settingsApplied());
  port.reset();

  // An unreadable mode string: the port is returned, and is still raw.
  port = open(settings("COM1:fast"));
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->settingsApplied());
  termios t{};
  ASSERT_EQ(tcgetattr(slaveFd_, &t), 0);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_FALSE(t.c_iflag & ICRNL);
  sendFromDevice({'a', 0x0d});
  uint8_t b[2] = {0, 0};
  EXPECT_EQ(port->read(b, 2), 2u);
  EXPECT_EQ(b[1], 0x0d);
  EXPECT_TRUE(receivedByDevice(1, 100).empty());

  // A rate without a terminal speed.
  port.reset();
  port = open(settings("COM1:12345,n,8,1"));
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->settingsApplied());
}

TEST_F(PtyPort, PortIsHeldExclusively) {
  PosixSerialPorts ports(env_.lookup(), fixedListing({}));
  auto first = ports.open(1, settings());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ports.open(1, settings()), nullptr);
  EXPECT_EQ(PosixSerialPorts::openDevice(slave_, settings()), nullptr);
  first.reset();
  auto again = ports.open(1, settings());
  EXPECT_NE(again, nullptr);
}

TEST_F(PtyPort, ReadWithoutDataEndsAfterPerByteTimesCountPlusTotal) {
  SerialSettings s = settings();
  s.readIntervalMs = 100;
  s.readPerByteMs = 10;
  s.readTotalMs = 100;
  auto port = open(s);
  ASSERT_NE(port, nullptr);
  uint8_t b[4];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(b, 4), 0u);
  long long took = msSince(start);
  EXPECT_GE(took, 135);  // 4 * 10 + 100
  EXPECT_LT(took, 1000);
}

TEST_F(PtyPort, ReadEndsWhenTheGapAfterTheLastByteExceedsTheInterval) {
  SerialSettings s = settings();
  s.readIntervalMs = 50;
  s.readPerByteMs = 0;
  s.readTotalMs = 5000;
  auto port = open(s);
  ASSERT_NE(port, nullptr);
  sendFromDevice({1, 2});
  ASSERT_TRUE(eventually([&] { return port->waiting() == 2; }));
  uint8_t b[10];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(b, 10), 2u);
  long long took = msSince(start);
  EXPECT_GE(took, 45);
  EXPECT_LT(took, 2500);  // far from the 5 s total
}

TEST_F(PtyPort, ReadPicksUpBytesThatArriveWhileItWaits) {
  SerialSettings s = settings();
  s.readIntervalMs = 1000;  // the gaps below stay well inside, even on a loaded machine
  auto port = open(s);
  ASSERT_NE(port, nullptr);
  std::thread device([this] {
    std::this_thread::sleep_for(Ms(40));
    uint8_t a = 0x41;
    (void)!::write(master_, &a, 1);
    std::this_thread::sleep_for(Ms(30));
    uint8_t c = 0x42;
    (void)!::write(master_, &c, 1);
  });
  uint8_t b[2] = {0, 0};
  size_t n = port->read(b, 2);
  device.join();
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(b[0], 0x41);
  EXPECT_EQ(b[1], 0x42);
}

TEST_F(PtyPort, DeviceThatGoesAwayIsReportedAndNothingHangs) {
  SerialSettings s = settings();
  s.readTotalMs = 3000;
  auto port = open(s);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->waiting(), 0);
  closeMaster();
  ::close(slaveFd_);
  slaveFd_ = -1;
  EXPECT_EQ(port->waiting(), -1);
  uint8_t b[8];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(b, 8), 0u);
  EXPECT_EQ(port->write(b, 8), 0u);
  EXPECT_LT(msSince(start), 1500);
  EXPECT_FALSE(port->cts());
  port->purge();
  EXPECT_EQ(port->waiting(), -1);
}

TEST_F(PtyPort, WriteToADeviceThatTakesNothingGivesUp) {
  // Nobody reads the device end, so the terminal's buffers fill and stay full.
  auto port = open(settings("COM1:4000000,n,8,1"));
  ASSERT_NE(port, nullptr);
  Bytes big(200000, 0x55);  // far beyond what the buffers hold
  // 1 s plus twice the 0.5 s these bytes need at 4 Mbaud
  auto start = std::chrono::steady_clock::now();
  size_t written = port->write(big);
  long long took = msSince(start);
  EXPECT_LT(written, big.size());
  EXPECT_GT(written, 0u);
  EXPECT_GE(took, 1000);
  EXPECT_LT(took, 5000);
}

TEST_F(PtyPort, ReadAndWriteIgnoreEmptyRequests) {
  auto port = open(settings());
  ASSERT_NE(port, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(nullptr, 5), 0u);
  uint8_t b = 0;
  EXPECT_EQ(port->read(&b, 0), 0u);
  EXPECT_EQ(port->write(nullptr, 3), 0u);
  EXPECT_LT(msSince(start), 1000);  // a read that waited would take the 2 s total
  EXPECT_TRUE(receivedByDevice(1, 50).empty());
}

}  // namespace
}  // namespace kw

#endif  // _WIN32
