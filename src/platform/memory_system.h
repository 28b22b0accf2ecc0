// In-memory stand-in for the operating system: files live in a map, started programs and
// opened documents are recorded, and ending the process is reported to the caller.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"

namespace kw {

// Thrown by MemorySystem::exitProcess so that a test can observe the end of the program.
struct ProcessExit {
  int code = 0;
};

class MemorySystem final : public System {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> startedPrograms;  // path followed by " " and each argument
  std::vector<std::string> openedDocuments;
  std::string executable = "/opt/kantelwerk/kantelwerk";
  std::string directory = "/home/user/layout/";
  bool failWrites = false;
  // Folders (paths without the trailing "/") into which nothing can be written or removed.
  std::set<std::string> readOnlyFolders;
  std::set<std::string> folders;  // made by makeFolder, or by a test
  bool failStarts = false;
  bool viewerInstalled = true;              // the desktop opener of openDocument
  std::set<std::string> installedPrograms;  // program files that programInstalled knows
  int writes = 0;
  std::vector<std::string> reads;  // every path asked for, in order
  std::function<void(const std::string&)> onRead;   // before a read is answered
  std::function<void(const std::string&)> onWrite;  // after a successful write
  std::vector<int> exitCodes;

  std::optional<std::string> readFile(const std::string& path) override;
  bool writeFileAtomic(const std::string& path, const std::string& bytes) override;
  bool fileExists(const std::string& path) override;
  int64_t fileSize(const std::string& path) override;
  // Files live under their whole path; a folder's files are the keys "<folder>/<name>".
  std::vector<std::string> listFolder(const std::string& folder) override;
  bool makeFolder(const std::string& folder) override;
  bool removeFile(const std::string& path) override;
  std::string currentDirectory() override { return directory; }
  std::string executablePath() override { return executable; }
  bool startProgram(const std::string& path, const std::vector<std::string>& args) override;
  bool openDocument(const std::string& path) override;
  bool programInstalled(const std::string& path) override {
    return installedPrograms.count(path) != 0;
  }
  [[noreturn]] void exitProcess(int code) override;
};

}  // namespace kw
