// Starts kantelwerk-sim as a child process and talks to it: its stdout lines, its stdin
// commands, and the pseudo-terminal it serves.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kw::sim::test {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    const std::string exe = std::string(KW_BINARY_DIR) + "/kantelwerk-sim";
    if (access(exe.c_str(), X_OK) != 0) return;
    int in[2], out[2];
    if (pipe(in) != 0) return;
    if (pipe(out) != 0) {
      close(in[0]);
      close(in[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toSim_ = in[1];
    fromSim_ = out[0];
  }
  ~SimProcess() {
    if (terminal_ >= 0) close(terminal_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (toSim_ >= 0) close(toSim_);
    if (fromSim_ >= 0) close(fromSim_);
  }
  bool running() const { return pid_ > 0; }

  // The next line on the simulator's stdout, or "" after `ms`.
  std::string line(int ms = 3000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const size_t nl = pending_.find('\n');
      if (nl != std::string::npos) {
        std::string l = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        return l;
      }
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (left <= 0) return "";
      pollfd p{fromSim_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(fromSim_, buf, sizeof buf);
      if (n <= 0) return "";
      pending_.append(buf, static_cast<size_t>(n));
    }
  }
  // The next line that starts with `prefix`.
  std::string lineStarting(const std::string& prefix) {
    for (;;) {
      std::string l = line();
      if (l.empty() || l.rfind(prefix, 0) == 0) return l;
    }
  }
  void command(const std::string& c) {
    const std::string l = c + "\n";
    ASSERT_EQ(::write(toSim_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
  }

  // The terminal's path, the first line the simulator prints.
  std::string terminalPath() {
    if (path_.empty()) path_ = line();
    return path_;
  }

  bool openTerminal() {
    const std::string path = terminalPath();
    if (path.rfind("/dev/", 0) != 0) return false;
    terminal_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (terminal_ < 0) return false;
    termios tio{};
    tcgetattr(terminal_, &tio);
    cfmakeraw(&tio);
    tcsetattr(terminal_, TCSANOW, &tio);
    return true;
  }
  void send(const Bytes& b) {
    ASSERT_EQ(::write(terminal_, b.data(), b.size()), static_cast<ssize_t>(b.size()));
  }
  // Reads until `count` bytes have come or `ms` have passed.
  Bytes receive(size_t count, int ms = 2000) {
    Bytes got;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < count && Clock::now() < end) {
      pollfd p{terminal_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      uint8_t buf[512];
      const ssize_t n = ::read(terminal_, buf, std::min(sizeof buf, count - got.size()));
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

 private:
  pid_t pid_ = -1;
  int toSim_ = -1, fromSim_ = -1, terminal_ = -1;
  std::string pending_;
  std::string path_;
};

}  // namespace kw::sim::test

#endif
