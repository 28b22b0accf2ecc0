#include "platform/memory_system.h"

#include <cerrno>

namespace kw {

std::optional<std::string> MemorySystem::readFile(const std::string& path) {
  reads.push_back(path);
  if (onRead) onRead(path);
  auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return it->second;
}

namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

bool MemorySystem::writeFileAtomic(const std::string& path, const std::string& bytes) {
  if (failWrites || readOnlyFolders.count(folderOf(path)) != 0) {
    errno = EACCES;  // as a read-only folder answers
    return false;
  }
  files[path] = bytes;
  ++writes;
  if (onWrite) onWrite(path);
  return true;
}

bool MemorySystem::fileExists(const std::string& path) { return files.count(path) != 0; }

int64_t MemorySystem::fileSize(const std::string& path) {
  auto it = files.find(path);
  return it == files.end() ? -1 : static_cast<int64_t>(it->second.size());
}

std::vector<std::string> MemorySystem::listFolder(const std::string& folder) {
  std::vector<std::string> names;
  const std::string prefix = folder + "/";
  for (const auto& [path, bytes] : files)
    if (path.rfind(prefix, 0) == 0 && path.find('/', prefix.size()) == std::string::npos)
      names.push_back(path.substr(prefix.size()));
  return names;
}

bool MemorySystem::makeFolder(const std::string& folder) {
  folders.insert(folder);
  return true;
}

bool MemorySystem::removeFile(const std::string& path) {
  if (readOnlyFolders.count(folderOf(path)) != 0) return files.count(path) == 0;
  files.erase(path);
  return true;
}

bool MemorySystem::startProgram(const std::string& path, const std::vector<std::string>& args) {
  if (failStarts) return false;
  std::string line = path;
  for (const auto& a : args) line += " " + a;
  startedPrograms.push_back(line);
  return true;
}

bool MemorySystem::openDocument(const std::string& path) {
  if (!viewerInstalled) return false;
  openedDocuments.push_back(path);
  return true;
}

void MemorySystem::exitProcess(int code) {
  exitCodes.push_back(code);
  throw ProcessExit{code};
}

}  // namespace kw
