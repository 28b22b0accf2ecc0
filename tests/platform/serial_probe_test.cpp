// Probing serial ports without disturbing the programs that use them.
#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/serial_posix.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

// Another program: a child process that takes hold of something and keeps it until the
// holder ends.
class OtherProgram {
 public:
  explicit OtherProgram(const std::function<bool()>& takeHold) {
    if (::pipe(ready_) != 0 || ::pipe(release_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready_[0]);
      ::close(release_[1]);
      const char ok = takeHold() ? 1 : 0;
      if (::write(ready_[1], &ok, 1) != 1) ::_exit(1);
      char b;
      while (::read(release_[0], &b, 1) > 0) {
      }
      ::_exit(0);  // what it opened is closed by the end of the process
    }
    ::close(ready_[1]);
    ::close(release_[0]);
    char ok = 0;
    holding_ = pid_ > 0 && ::read(ready_[0], &ok, 1) == 1 && ok == 1;
  }
  ~OtherProgram() { end(); }
  void end() {
    if (pid_ <= 0) return;
    ::close(release_[1]);
    ::waitpid(pid_, nullptr, 0);
    ::close(ready_[0]);
    pid_ = -1;
  }
  bool holding() const { return holding_; }
  pid_t pid() const { return pid_; }

 private:
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool holding_ = false;
};

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string lockText(long pid) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%10ld\n", pid);  // as the serial programs write it
  return buf;
}

class PtyProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    char name[128];
    ASSERT_EQ(::ptsname_r(master_, name, sizeof name), 0);
    slave_ = name;
    // Looks at the line settings; opened before anyone locks the port.
    watcher_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher_, 0);
    char dir[] = "/tmp/kw_lockXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    lockDir_ = dir;
  }
  void TearDown() override {
    ::close(watcher_);
    ::close(master_);
    fs::remove_all(lockDir_);
  }
  std::vector<std::string> lockDirs() const { return {lockDir_}; }
  termios lineSettings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(watcher_, &t), 0);
    return t;
  }
  static void expectSame(const termios& a, const termios& b) {
    EXPECT_EQ(cfgetospeed(&a), cfgetospeed(&b));
    EXPECT_EQ(cfgetispeed(&a), cfgetispeed(&b));
    EXPECT_EQ(a.c_cflag, b.c_cflag);
    EXPECT_EQ(a.c_lflag, b.c_lflag);
    EXPECT_EQ(a.c_iflag, b.c_iflag);
    EXPECT_EQ(a.c_oflag, b.c_oflag);
  }
  // Settings no program of ours would choose: 4800 baud, cooked, with echo.
  void setUnusualSettings() {
    termios t = lineSettings();
    t.c_lflag |= ICANON | ECHO;
    cfsetispeed(&t, B4800);
    cfsetospeed(&t, B4800);
    ASSERT_EQ(::tcsetattr(watcher_, TCSANOW, &t), 0);
  }
  bool exclusive() const {
    int on = 0;
    return ::ioctl(watcher_, TIOCGEXCL, &on) == 0 && on != 0;
  }
  SerialSettings settings19200() const {
    SerialSettings s;
    s.mode = "COM1:19200,n,8,1";
    return s;
  }

  int master_ = -1;
  int watcher_ = -1;
  std::string slave_;
  std::string lockDir_;
};

TEST_F(PtyProbe, AFreePortIsFreeAndKeepsItsLineSettings) {
  setUnusualSettings();
  const termios before = lineSettings();
  EXPECT_EQ(probeDevice(slave_, lockDirs()), DeviceUse::Free);
  expectSame(lineSettings(), before);
  EXPECT_FALSE(exclusive());
}

TEST_F(PtyProbe, APortThisProgramHoldsIsBusyAndStaysHeld) {
  auto port = PosixSerialPorts::openDevice(slave_, settings19200(), lockDirs());
  ASSERT_NE(port, nullptr);
  const termios before = lineSettings();
  EXPECT_EQ(probeDevice(slave_, lockDirs()), DeviceUse::Busy);
  expectSame(lineSettings(), before);
  EXPECT_TRUE(exclusive());  // the probe took nothing away from the holder
}

TEST_F(PtyProbe, APortAnotherProgramHoldsWithItsOwnSettingsIsBusyAndUndisturbed) {
  std::unique_ptr<SerialPort> kept;
  OtherProgram other([&] {
    kept = PosixSerialPorts::openDevice(slave_, settings19200(), {});
    return kept != nullptr;
  });
  ASSERT_TRUE(other.holding());
  const termios before = lineSettings();
  ASSERT_EQ(cfgetospeed(&before), B19200);

  EXPECT_EQ(probeDevice(slave_, lockDirs()), DeviceUse::Busy);
  expectSame(lineSettings(), before);
  EXPECT_TRUE(exclusive());
  // An open refuses it too, root or not.
  EXPECT_EQ(PosixSerialPorts::openDevice(slave_, settings19200(), lockDirs()), nullptr);
  expectSame(lineSettings(), before);
}

TEST_F(PtyProbe, APortAnnouncedInALockFileIsBusyUntilItsHolderEnds) {
  setUnusualSettings();
  const termios before = lineSettings();
  const std::string lockFile = lockDir_ + "/" + lockFileNames(slave_).back();
  // A program that only writes the lock file and opens the port plainly.
  OtherProgram other([&] {
    writeFile(lockFile, lockText(static_cast<long>(::getpid())));
    return ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0;
  });
  ASSERT_TRUE(other.holding());
  EXPECT_EQ(lockFileHolder(slave_, lockDirs()), other.pid());
  EXPECT_EQ(probeDevice(slave_, lockDirs()), DeviceUse::Busy);
  EXPECT_EQ(PosixSerialPorts::openDevice(slave_, settings19200(), lockDirs()), nullptr);
  expectSame(lineSettings(), before);

  // The holder ended without removing its file: a stale file holds nothing.
  other.end();
  ASSERT_TRUE(fs::exists(lockFile));
  EXPECT_EQ(lockFileHolder(slave_, lockDirs()), 0);
  EXPECT_EQ(probeDevice(slave_, lockDirs()), DeviceUse::Free);
}

TEST_F(PtyProbe, ThroughTheComNumberTheProbeSaysWhetherAnOpenWouldGetThePort) {
  auto env = [this](const char* name) -> const char* {
    return std::string(name) == "KANTELWERK_COM1" ? slave_.c_str() : nullptr;
  };
  PosixSerialPorts ports(
      env, [](const std::string&) { return std::vector<std::string>{}; }, "/dev", lockDirs());
  EXPECT_EQ(ports.deviceName(1), slave_);
  EXPECT_TRUE(ports.probe(1, settings19200()));
  EXPECT_FALSE(ports.probe(2, settings19200()));  // names no device
  auto held = ports.open(1, settings19200());
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(ports.probe(1, settings19200()));
  EXPECT_EQ(ports.problem(1), PortProblem::Busy);
  held.reset();
  EXPECT_TRUE(ports.probe(1, settings19200()));
  EXPECT_EQ(ports.problem(1), PortProblem::None);
  EXPECT_EQ(ports.problem(2), PortProblem::NoDevice);
}

TEST(SerialProbe, TheProblemOfAPortNamesTheSystemsReason) {
  char file[] = "/tmp/kw_problem_plainXXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::map<std::string, std::string> env{{"KANTELWERK_COM1", "/nonexistent/ttyUSB0"},
                                         {"KANTELWERK_COM2", file}};
  PosixSerialPorts ports(
      [&env](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
      },
      [](const std::string&) { return std::vector<std::string>{}; }, "/dev", {});
  EXPECT_EQ(ports.problem(1), PortProblem::NotFound);
  EXPECT_EQ(ports.problem(2), PortProblem::NotFound);  // a plain file is no serial port
  // Permission bits do not hold root back: root looks as the user "nobody" would.
  ::chmod(file, 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    ::_exit(ports.problem(2) == PortProblem::PermissionDenied ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::unlink(file);
}

TEST(SerialProbe, WhatIsNoTerminalDeviceIsMissing) {
  char file[] = "/tmp/kw_probe_plainXXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  for (const std::string& path : {std::string(file), std::string("/nonexistent/ttyUSB0"),
                                  std::string("/tmp"), std::string("sim"), std::string()})
    EXPECT_EQ(probeDevice(path, {}), DeviceUse::Missing) << path;
  ::unlink(file);
}

TEST(SerialProbe, LockFileNamesFollowBothConventions) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"/dev/ttyUSB7", {"LCK..ttyUSB7"}},
      {"/dev/missing/ttyX1", {"LCK..ttyX1", "LCK..missing_ttyX1"}},
      {"ttyS0", {"LCK..ttyS0"}},
      {"", {}},
  };
  for (const auto& [device, names] : cases) EXPECT_EQ(lockFileNames(device), names) << device;
}

TEST(SerialProbe, SymbolicNamesAreFollowedToTheDevice) {
  char dir[] = "/tmp/kw_byidXXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/usb-Interface_1234-if00";
  ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
  EXPECT_EQ(lockFileNames(link), std::vector<std::string>{"LCK..null"});
  fs::remove_all(dir);
}

TEST(SerialProbe, LockFilesGiveTheirHoldersNumberInTextOrBinary) {
  const std::pair<std::string, long> cases[] = {
      {"      1234\n", 1234},
      {"1234", 1234},
      {"99 minicom\n", 99},
      {std::string("\xD2\x04\x00\x00", 4), 1234},  // the binary form of old programs
      {"12ab\n", 0},
      {"-5\n", 0},
      {"99999999999\n", 0},
      {"", 0},
      {"\n", 0},
  };
  for (const auto& [bytes, pid] : cases) EXPECT_EQ(lockFilePid(bytes), pid) << bytes;
}

TEST(SerialProbe, OnlyALockFileOfAnotherRunningProcessHoldsTheDevice) {
  char dir[] = "/tmp/kw_lockXXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::vector<std::string> dirs = {"/nonexistent", dir};
  const std::string device = "/dev/ttyUSB7";
  const std::string file = std::string(dir) + "/LCK..ttyUSB7";
  EXPECT_EQ(lockFileHolder(device, dirs), 0);  // no file
  writeFile(file, lockText(static_cast<long>(::getpid())));
  EXPECT_EQ(lockFileHolder(device, dirs), 0);  // this process's own
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  writeFile(file, lockText(static_cast<long>(ended)));
  EXPECT_EQ(lockFileHolder(device, dirs), 0);  // stale
  OtherProgram other([] { return true; });
  writeFile(file, lockText(static_cast<long>(other.pid())));
  EXPECT_EQ(lockFileHolder(device, dirs), other.pid());
  EXPECT_EQ(defaultLockDirectories(), (std::vector<std::string>{"/var/lock", "/run/lock"}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kw

#endif
