// Serial ports through termios; see serial_posix.h for how COM numbers find their device.
//
// The descriptor stays non-blocking for its whole life and every wait goes through poll():
// a device that stops taking or giving bytes (an adapter pulled out, a simulator that went
// away, a line held off) must cost the bus thread a bounded wait, never a hang.
#ifndef _WIN32

#include "platform/serial_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <utility>

namespace kw {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct SpeedEntry {
  uint32_t baud;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

bool speedFor(uint32_t baud, speed_t& out) {
  for (const auto& e : kSpeeds) {
    if (e.baud == baud) {
      out = e.speed;
      return true;
    }
  }
  return false;
}

#ifdef CMSPAR
constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
#else
constexpr tcflag_t kParityBits = PARENB | PARODD;
#endif
#ifdef CRTSCTS
constexpr tcflag_t kHandshakeBit = CRTSCTS;
#else
constexpr tcflag_t kHandshakeBit = 0;
#endif
constexpr tcflag_t kLineBits = CSIZE | kParityBits | CSTOPB | kHandshakeBit;

// Raw bytes both ways, no echo, no software handshake. VMIN 1 with the non-blocking
// descriptor makes read() say EAGAIN when nothing is there and 0 only on hang-up (with
// VMIN 0 it would return 0 for both); the waiting itself is done by poll().
void makeRaw(bool flowControl, termios& t) {
  cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~kHandshakeBit;
  if (flowControl) t.c_cflag |= kHandshakeBit;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

// Milliseconds from now until `when`, rounded up so that a wait never ends early.
long long msUntil(SteadyClock::time_point when) {
  auto left = when - SteadyClock::now();
  if (left <= SteadyClock::duration::zero()) return 0;
  return std::chrono::ceil<std::chrono::milliseconds>(left).count();
}

int pollFor(int fd, short events, long long ms) {
  pollfd p{fd, events, 0};
  int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(ms, INT_MAX)));
  if (r > 0 && (p.revents & POLLNVAL)) {
    errno = EBADF;
    return -1;
  }
  return r;
}

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(int fd, const SerialSettings& settings, uint32_t baud, bool applied)
      : fd_(fd), settings_(settings), baud_(baud ? baud : 9600), applied_(applied) {}

  ~PosixSerialPort() override {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also drops the flock
  }

  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  size_t write(const uint8_t* data, size_t size) override {
    if (!data || size == 0 || dead_) return 0;
    // No write timeout as such, but a line that takes nothing for twice the time the bytes
    // need on the wire, plus a second, is not going to take them.
    uint64_t budgetMs = 1000 + static_cast<uint64_t>(size) * 20000 / baud_;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(budgetMs);
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        dead_ = true;
        break;
      }
      long long left = msUntil(deadline);
      if (left <= 0) break;
      int r = pollFor(fd_, POLLOUT, left);
      if (r < 0 && errno != EINTR) {
        dead_ = true;
        break;
      }
      if (r == 0) break;
    }
    return done;
  }

  size_t read(uint8_t* data, size_t size) override {
    if (!data || size == 0 || dead_) return 0;
    // What waiting() has already taken from the descriptor comes first.
    size_t got = std::min(size, buffer_.size());
    std::copy_n(buffer_.begin(), got, data);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(got));
    if (got == size) return got;
    // The timeouts work as on Windows: the total is perByte * size + total, the interval
    // runs from each byte to the next. A zero total means none; then the interval also
    // bounds the wait for the first byte, so that no setting can make a read wait forever.
    uint64_t totalMs = static_cast<uint64_t>(settings_.readPerByteMs) * size + settings_.readTotalMs;
    uint32_t intervalMs = settings_.readIntervalMs == UINT32_MAX ? 0 : settings_.readIntervalMs;
    auto start = SteadyClock::now();
    auto deadline = start + std::chrono::milliseconds(totalMs);
    auto lastByte = start;
    while (got < size) {
      ssize_t n = ::read(fd_, data + got, size - got);
      if (n > 0) {
        got += static_cast<size_t>(n);
        lastByte = SteadyClock::now();
        continue;
      }
      if (n == 0) {  // hang-up: the descriptor is non-blocking, so "no data" is EAGAIN
        dead_ = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        dead_ = true;
        break;
      }
      long long wait = -1;
      if (totalMs > 0) wait = msUntil(deadline);
      if (intervalMs > 0 && (got > 0 || totalMs == 0)) {
        long long gap = msUntil(lastByte + std::chrono::milliseconds(intervalMs));
        wait = wait < 0 ? gap : std::min(wait, gap);
      }
      if (wait <= 0) break;  // also: no timeout at all means return what was there
      int r = pollFor(fd_, POLLIN, wait);
      if (r < 0) {
        if (errno == EINTR) continue;
        dead_ = true;
        break;
      }
      if (r == 0) break;
      // Readable, or hung up / in error: the next read() tells which.
    }
    return got;
  }

  // The bytes the kernel holds are taken into our own buffer, so that the descriptor only
  // turns readable again for new bytes: the bus thread can then sleep in poll() while a
  // partial answer waits for the rest.
  int waiting() override {
    if (dead_) return -1;
    fill();
    if (dead_) return -1;
    return static_cast<int>(std::min<size_t>(buffer_.size(), INT_MAX));
  }

  WaitHandle inputHandle() override { return dead_ ? kNoWaitHandle : fd_; }

  bool cts() override {
    if (dead_) return false;
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) == 0) return (bits & TIOCM_CTS) != 0;
    // A pseudo-terminal has no modem lines; a device that cannot say counts as ready.
    if (errno == ENOTTY || errno == EINVAL) return true;
    if (errno == EIO) dead_ = true;
    return false;
  }

  void purge() override {
    if (dead_) return;
    buffer_.clear();
    if (::tcflush(fd_, TCIOFLUSH) != 0 && errno == EIO) dead_ = true;
  }

  bool settingsApplied() const override { return applied_; }

 private:
  // Far more than any interface sends between two looks of the bus thread.
  static constexpr size_t kBufferLimit = 65536;

  // Moves what the kernel holds into buffer_. A read error or end of file (an adapter
  // pulled, the other end of a pseudo-terminal closed) marks the port as gone.
  void fill() {
    uint8_t chunk[4096];
    while (buffer_.size() < kBufferLimit) {
      ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.insert(buffer_.end(), chunk, chunk + n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) dead_ = true;
      return;
    }
  }

  int fd_;
  std::deque<uint8_t> buffer_;
  SerialSettings settings_;
  uint32_t baud_;
  bool applied_;
  bool dead_ = false;
};

bool sameLineSettings(const termios& want, const termios& got) {
  return cfgetospeed(&got) == cfgetospeed(&want) &&
         (got.c_cflag & kLineBits) == (want.c_cflag & kLineBits);
}

// The terminal's exclusive mode, set by whoever holds it. This program sets it only on
// descriptors it keeps, so on a fresh descriptor it means someone else (or an open port
// of this program) has the device.
bool exclusiveModeSet(int fd) {
#ifdef TIOCGEXCL
  int exclusive = 0;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
  (void)fd;
  return false;
#endif
}

bool processRuns(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Opens a device for a look or for use: non-blocking, so that the open does not wait for
// a carrier, and never as controlling terminal. -1 with errno set when it is no terminal
// device or cannot be opened.
int openTerminal(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
    ::close(fd);
    errno = ENOTTY;
    return -1;
  }
  return fd;
}

bool equalsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  }
  return *a == *b;
}

// poll() over the ports' descriptors and the read end of a pipe that wake() writes to.
class PollWaiter final : public InputWaiter {
 public:
  PollWaiter() {
    if (::pipe(pipe_) != 0) {
      pipe_[0] = pipe_[1] = -1;
      return;
    }
    for (int fd : pipe_) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  ~PollWaiter() override {
    for (int fd : pipe_)
      if (fd >= 0) ::close(fd);
  }
  PollWaiter(const PollWaiter&) = delete;
  PollWaiter& operator=(const PollWaiter&) = delete;

  void wait(const std::vector<WaitHandle>& handles, int ms) override {
    std::vector<pollfd> fds;
    fds.reserve(handles.size() + 1);
    if (pipe_[0] >= 0) fds.push_back({pipe_[0], POLLIN, 0});
    for (WaitHandle h : handles)
      if (h >= 0) fds.push_back({static_cast<int>(h), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), ms < 0 ? 0 : ms) > 0 && pipe_[0] >= 0 &&
        (fds[0].revents & POLLIN)) {
      uint8_t drain[64];
      while (::read(pipe_[0], drain, sizeof drain) > 0) {
      }
    }
  }

  void wake() override {
    if (pipe_[1] < 0) return;
    const uint8_t one = 1;
    (void)!::write(pipe_[1], &one, 1);  // a full pipe already wakes the waiter
  }

 private:
  int pipe_[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<InputWaiter> makeInputWaiter() { return std::make_unique<PollWaiter>(); }

std::vector<std::string> listDirectory(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(d);
  return names;
}

std::vector<std::string> serialDeviceOrder(const std::vector<std::string>& names) {
  static constexpr const char* kGroups[] = {"ttyUSB", "ttyACM", "ttyS"};
  std::vector<std::string> order;
  for (const char* prefix : kGroups) {
    const size_t plen = std::strlen(prefix);
    std::vector<std::pair<unsigned long, std::string>> group;
    for (const auto& name : names) {
      if (name.size() <= plen || name.size() > plen + 9 || name.compare(0, plen, prefix) != 0)
        continue;
      if (!std::all_of(name.begin() + static_cast<std::ptrdiff_t>(plen), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; }))
        continue;
      group.emplace_back(std::stoul(name.substr(plen)), name);
    }
    std::sort(group.begin(), group.end());
    group.erase(std::unique(group.begin(), group.end()), group.end());
    for (auto& g : group) order.push_back(std::move(g.second));
  }
  return order;
}

std::vector<std::string> defaultLockDirectories() { return {"/var/lock", "/run/lock"}; }

std::vector<std::string> lockFileNames(const std::string& device) {
  std::string real = device;
  char resolved[PATH_MAX];
  if (!device.empty() && ::realpath(device.c_str(), resolved)) real = resolved;
  std::vector<std::string> names;
  const size_t slash = real.find_last_of('/');
  const std::string base = slash == std::string::npos ? real : real.substr(slash + 1);
  if (!base.empty()) names.push_back("LCK.." + base);
  if (real.rfind("/dev/", 0) == 0) {
    std::string below = real.substr(5);
    if (below.find('/') != std::string::npos) {
      std::replace(below.begin(), below.end(), '/', '_');
      names.push_back("LCK.." + below);
    }
  }
  return names;
}

long lockFilePid(const std::string& bytes) {
  size_t i = bytes.find_first_not_of(" \t");
  if (i != std::string::npos && std::isdigit(static_cast<unsigned char>(bytes[i]))) {
    long pid = 0;
    size_t digits = 0;
    for (; i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i])); ++i) {
      if (++digits > 10) return 0;
      pid = pid * 10 + (bytes[i] - '0');
    }
    const bool ends = i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r' || bytes[i] == ' ';
    return ends && pid <= INT_MAX ? pid : 0;
  }
  if (bytes.size() == 4) {
    int32_t pid = 0;
    std::memcpy(&pid, bytes.data(), sizeof pid);
    return pid > 0 ? pid : 0;
  }
  return 0;
}

long lockFileHolder(const std::string& device, const std::vector<std::string>& lockDirs) {
  const long self = static_cast<long>(::getpid());
  for (const std::string& name : lockFileNames(device)) {
    for (const std::string& dir : lockDirs) {
      std::ifstream in(dir + "/" + name, std::ios::binary);
      if (!in) continue;
      char buf[64];
      in.read(buf, sizeof buf);
      const long pid = lockFilePid(std::string(buf, static_cast<size_t>(in.gcount())));
      // A file whose process has ended is stale: its holder crashed or forgot it.
      if (pid != self && processRuns(pid)) return pid;
    }
  }
  return 0;
}

DeviceUse probeDevice(const std::string& path, const std::vector<std::string>& lockDirs) {
  if (path.empty() || equalsIgnoringCase(path.c_str(), "sim")) return DeviceUse::Missing;
  // A port announced by a lock file is not even opened.
  if (lockFileHolder(path, lockDirs) != 0) return DeviceUse::Busy;
  const int fd = openTerminal(path);
  if (fd < 0) {
    if (errno == EBUSY) return DeviceUse::Busy;
    return errno == EACCES || errno == EPERM ? DeviceUse::Forbidden : DeviceUse::Missing;
  }
  // The same flock the open takes, given up again with the descriptor: a port counts as
  // free exactly when an open would get it. Neither look changes the terminal.
  const bool busy = exclusiveModeSet(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return busy ? DeviceUse::Busy : DeviceUse::Free;
}

bool makeRawTermios(const SerialMode& mode, bool flowControl, termios& t) {
  speed_t speed;
  if (!speedFor(mode.baud, speed)) return false;
  makeRaw(flowControl, t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | kParityBits | CSTOPB);
  switch (mode.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return false;
  }
  switch (mode.parity) {
    case 'n': break;
    case 'e': t.c_cflag |= PARENB; break;
    case 'o': t.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    case 'm': t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 's': t.c_cflag |= PARENB | CMSPAR; break;
#endif
    default: return false;
  }
  if (mode.stopBits == 2) t.c_cflag |= CSTOPB;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  return true;
}

PosixSerialPorts::PosixSerialPorts(EnvLookup env, DirectoryLister lister, std::string deviceDir,
                                   std::vector<std::string> lockDirs)
    : env_(std::move(env)), lister_(std::move(lister)), deviceDir_(std::move(deviceDir)),
      lockDirs_(std::move(lockDirs)) {}

std::string PosixSerialPorts::devicePath(int port) const {
  if (port < 1) return {};
  if (env_) {
    const char* value = env_(portVariableName(port).c_str());
    if (value && *value) return value;
  }
  if (!lister_) return {};
  std::vector<std::string> devices = serialDeviceOrder(lister_(deviceDir_));
  if (static_cast<size_t>(port) > devices.size()) return {};
  return deviceDir_ + "/" + devices[static_cast<size_t>(port) - 1];
}

std::unique_ptr<SerialPort> PosixSerialPorts::open(int port, const SerialSettings& settings) {
  std::string path = devicePath(port);
  // "sim" belongs to the simulated interfaces (RoutedSerialPorts); it is no file name here.
  if (path.empty() || equalsIgnoringCase(path.c_str(), "sim")) return nullptr;
  return openDevice(path, settings, lockDirs_);
}

bool PosixSerialPorts::probe(int port, const SerialSettings&) {
  return probeDevice(devicePath(port), lockDirs_) == DeviceUse::Free;
}

PortProblem PosixSerialPorts::problem(int port) {
  const std::string path = devicePath(port);
  if (path.empty()) return PortProblem::NoDevice;
  switch (probeDevice(path, lockDirs_)) {
    case DeviceUse::Free: return PortProblem::None;
    case DeviceUse::Busy: return PortProblem::Busy;
    case DeviceUse::Forbidden: return PortProblem::PermissionDenied;
    case DeviceUse::Missing: break;
  }
  return PortProblem::NotFound;
}

std::unique_ptr<SerialPort> PosixSerialPorts::openDevice(const std::string& path,
                                                         const SerialSettings& settings,
                                                         const std::vector<std::string>& lockDirs) {
  if (path.empty() || lockFileHolder(path, lockDirs) != 0) return nullptr;
  // Non-blocking, so that the open does not wait for a carrier that CLOCAL will make
  // irrelevant a moment later.
  int fd = openTerminal(path);
  if (fd < 0) return nullptr;
  // Root gets through another program's exclusive mode; it must not take the port anyway.
  if (exclusiveModeSet(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);  // not every device knows it; the flock is the lock that counts

  std::optional<SerialMode> mode = parseSerialMode(settings.mode);
  bool applied = false;
  termios t{};
  if (::tcgetattr(fd, &t) == 0) {
    termios want = t;
    if (mode && makeRawTermios(*mode, settings.flowControl, want) &&
        ::tcsetattr(fd, TCSANOW, &want) == 0) {
      // tcsetattr succeeds when any part was taken; check that all of it was.
      termios got{};
      applied = ::tcgetattr(fd, &got) == 0 && sameLineSettings(want, got);
    } else {
      // Unusable settings leave the speed as it was, but the bytes must still pass
      // untouched: a terminal in its default cooked mode would echo them back to the
      // interface and translate line ends.
      makeRaw(settings.flowControl, t);
      ::tcsetattr(fd, TCSANOW, &t);
    }
  }

  int rts = TIOCM_RTS;
  ::ioctl(fd, settings.rtsOn ? TIOCMBIS : TIOCMBIC, &rts);  // a pty has no RTS to set

  return std::make_unique<PosixSerialPort>(fd, settings, mode ? mode->baud : 0, applied);
}

}  // namespace kw

#endif  // _WIN32
