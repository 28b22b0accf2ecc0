#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/system.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>
extern char** environ;
#endif

namespace kw {

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {

// Windows refuses to replace a file while someone has it open without delete sharing, and
// refuses an open while the replacement is under way. Another program of the suite may be
// reading or replacing the shared preference file at this very moment; such a refusal
// lasts milliseconds, so the call is tried again for a short while.
constexpr int kSharingTries = 300;
constexpr DWORD kSharingPauseMs = 10;

bool sharingConflict(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kSharingTries; ++attempt) {
    // Delete sharing lets a writer replace the file while it is read here.
    h = CreateFileA(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || !sharingConflict(GetLastError())) break;
    Sleep(kSharingPauseMs);
  }
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buf[64 * 1024];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != FALSE) && got > 0)
    bytes.append(buf, got);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return bytes;
}

bool replaceFile(const std::string& from, const std::string& to) {
  for (int attempt = 0; attempt < kSharingTries; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    if (!sharingConflict(GetLastError())) return false;
    Sleep(kSharingPauseMs);
  }
  return false;
}

}  // namespace
#endif

std::optional<std::string> HostSystem::readFile(const std::string& path) {
#ifdef _WIN32
  return readWholeFile(path);
#else
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return s.str();
#endif
}

namespace {

// Temporary files of a crash-safe write: "<file>.<process>-<random>.tmp" beside the target.
// Every writer (this program, or another program of the suite writing the shared file at
// the same moment) gets a name of its own, created exclusively, so that no writer can
// truncate or rename another one's half-written file.
constexpr int kTempNameTries = 32;

std::string tempName(const std::string& path, std::mt19937_64& random) {
  char buf[48];
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(::getpid());
#endif
  std::snprintf(buf, sizeof buf, ".%lu-%016llx.tmp", pid,
                static_cast<unsigned long long>(random()));
  return path + buf;
}

std::mt19937_64 seededRandom() {
  std::random_device device;
  std::seed_seq seed{device(), device(), device(), device()};
  return std::mt19937_64(seed);
}

#ifndef _WIN32
// After the rename the folder entry itself must reach the disk, or a power cut can bring
// back the old file (or none).
void syncFolderOf(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}
#endif

}  // namespace

bool HostSystem::writeFileAtomic(const std::string& path, const std::string& bytes) {
  // Write beside the target and rename over it, so a crash leaves either file whole.
  std::mt19937_64 random = seededRandom();
#ifdef _WIN32
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    const std::string tmp = tempName(path, random);
    HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    DWORD written = 0;
    const bool ok = bytes.size() <= 0xFFFFFFFFu &&
                    (bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()),
                                                &written, nullptr)) &&
                    written == bytes.size() && FlushFileBuffers(h);
    CloseHandle(h);
    if (!ok || !replaceFile(tmp, path)) {
      DeleteFileA(tmp.c_str());
      return false;
    }
    return true;
  }
  return false;
#else
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    const std::string tmp = tempName(path, random);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(tmp.c_str(), path.c_str()) != 0) {
      ::unlink(tmp.c_str());
      return false;
    }
    syncFolderOf(path);
    return true;
  }
  return false;
#endif
}

bool HostSystem::fileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

int64_t HostSystem::fileSize(const std::string& path) {
  std::error_code ec;
  auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

std::vector<std::string> HostSystem::listFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (it->is_regular_file(kind)) names.push_back(it->path().filename().string());
  }
  return names;
}

bool HostSystem::makeFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

bool HostSystem::removeFile(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
  return !fs::exists(path, ec);
}

std::string HostSystem::currentDirectory() {
  std::error_code ec;
  std::string dir = fs::current_path(ec).string();
  if (dir.empty() || (dir.back() != '/' && dir.back() != '\\'))
    dir += static_cast<char>(fs::path::preferred_separator);
  return dir;
}

std::string HostSystem::executablePath() {
#ifdef _WIN32
  char buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return std::string(buf, n);
#else
  std::error_code ec;
  auto p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
#endif
}

bool HostSystem::startProgram(const std::string& path, const std::vector<std::string>& args) {
#ifdef _WIN32
  std::string cmd = "\"" + path + "\"";
  for (const auto& a : args) cmd += " " + a;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
#else
  std::vector<std::string> argv0{path};
  argv0.insert(argv0.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv0) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  // setsid keeps the new instance alive when this one ends.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
#ifdef POSIX_SPAWN_SETSID
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
#endif
  int rc = posix_spawn(&pid, path.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
#endif
}

#ifdef _WIN32
namespace {

bool isCompiledHelp(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".chm";
}

// Compiled help opens in the system's HTML Help viewer, whose window is kept on top of
// the program's windows so that it stays in view while the user works in the form. The
// viewer runs in this process (hhctrl.ocx); without it the shell opens the file.
bool showCompiledHelp(const std::string& path) {
  using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
  constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
  // Loaded once per process by the system; it stays loaded while its window is open.
  HMODULE viewer = LoadLibraryA("hhctrl.ocx");
  if (!viewer) return false;
  const auto htmlHelp =
      reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpA")));
  if (!htmlHelp) return false;
  char full[MAX_PATH] = {};
  if (GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr) == 0) return false;
  HWND window = htmlHelp(GetDesktopWindow(), full, kDisplayTopic, 0);
  if (!window) return false;
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  return true;
}

}  // namespace
#endif

bool HostSystem::openDocument(const std::string& path) {
#ifdef _WIN32
  if (isCompiledHelp(path) && showCompiledHelp(path)) return true;
  return reinterpret_cast<intptr_t>(
             ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
#else
  // Only when a desktop opener is installed; otherwise nothing happens.
  for (const char* opener : {"/usr/bin/xdg-open", "/usr/local/bin/xdg-open"}) {
    if (::access(opener, X_OK) == 0) return startProgram(opener, {path});
  }
  return false;
#endif
}

bool HostSystem::programInstalled(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  return fs::is_regular_file(path, ec);
#else
  return ::access(path.c_str(), X_OK) == 0;
#endif
}

void HostSystem::exitProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

std::string lastSystemError() {
  const int e = errno;
  return e != 0 ? std::string(std::strerror(e)) : std::string();
}

}  // namespace kw
