// Operating-system services other than windows and serial ports: files, starting other
// programs, and ending the process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class System {
 public:
  virtual ~System() = default;

  // Whole-file access. Paths are relative to the current directory unless absolute.
  virtual std::optional<std::string> readFile(const std::string& path) = 0;
  // Crash-safe replacement: the bytes go to a temporary file in the same folder, which
  // then takes the place of `path`. False when nothing could be written.
  virtual bool writeFileAtomic(const std::string& path, const std::string& bytes) = 0;
  virtual bool fileExists(const std::string& path) = 0;
  virtual int64_t fileSize(const std::string& path) = 0;  // -1 when missing

  // Folders. The names of the files (not folders) in `folder`, unsorted; empty when the
  // folder is missing. A system without folders has none of these.
  virtual std::vector<std::string> listFolder(const std::string& folder) { return {}; }
  // Creates the folder (and the folders above it); true when it is there afterwards.
  virtual bool makeFolder(const std::string& folder) { return false; }
  // Removes a file; true when it is gone afterwards.
  virtual bool removeFile(const std::string& path) { return false; }

  virtual std::string currentDirectory() = 0;  // with a trailing separator
  virtual std::string executablePath() = 0;    // the running program file

  // Starts a program without waiting for it.
  virtual bool startProgram(const std::string& path, const std::vector<std::string>& args) = 0;
  // Opens a document with the desktop's viewer for its kind, if one is installed.
  virtual bool openDocument(const std::string& path) = 0;
  // Whether the program file `path` is there to be started; a system that cannot tell
  // knows of none.
  virtual bool programInstalled(const std::string& path) { return false; }

  // Ends the process; does not return.
  [[noreturn]] virtual void exitProcess(int code) = 0;
};

// The system's wording of the error of the last failed call on this thread (errno), for
// messages that say why a file could not be written.
std::string lastSystemError();

// The real operating system.
class HostSystem final : public System {
 public:
  std::optional<std::string> readFile(const std::string& path) override;
  bool writeFileAtomic(const std::string& path, const std::string& bytes) override;
  bool fileExists(const std::string& path) override;
  int64_t fileSize(const std::string& path) override;
  std::vector<std::string> listFolder(const std::string& folder) override;
  bool makeFolder(const std::string& folder) override;
  bool removeFile(const std::string& path) override;
  std::string currentDirectory() override;
  std::string executablePath() override;
  bool startProgram(const std::string& path, const std::vector<std::string>& args) override;
  bool openDocument(const std::string& path) override;
  bool programInstalled(const std::string& path) override;
  [[noreturn]] void exitProcess(int code) override;
};

}  // namespace kw
