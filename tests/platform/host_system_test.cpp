// The real file system: crash-safe replacement of a file that other programs write too.
#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/system.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
      const fs::path p = fs::temp_directory_path() / ("kw-host-" + std::to_string(random()));
      std::error_code ec;
      if (fs::create_directory(p, ec)) path_ = p.string();
    }
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(path_)) v.push_back(e.path().filename().string());
    return v;
  }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

TEST(HostSystemWrite, ReplacesTheFileAndLeavesNoTemporaryFileBehind) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  HostSystem system;
  const std::string path = dir.file("VX_PREF_Alle_V3.pref");
  ASSERT_TRUE(system.writeFileAtomic(path, "first\r\n"));
  ASSERT_TRUE(system.writeFileAtomic(path, "second\r\n"));
  EXPECT_EQ(system.readFile(path), "second\r\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"VX_PREF_Alle_V3.pref"});
  EXPECT_FALSE(system.writeFileAtomic(dir.file("missing/folder.pref"), "x"));
}

TEST(HostSystemWrite, AnotherWritersTemporaryFileIsNeverTakenOver) {
  // A sibling program is half-way through writing "<file>.tmp" when this program saves:
  // the save must neither truncate that file nor move it into place.
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  HostSystem system;
  const std::string path = dir.file("VX_PREF_Alle_V3.pref");
#ifdef _WIN32
  constexpr int kBinary = O_BINARY;
#else
  constexpr int kBinary = 0;
#endif
  const int other =
      ::open((path + ".tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC | kBinary, 0644);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::write(other, "[Farb", 5), 5);
  ASSERT_TRUE(system.writeFileAtomic(path, "[Bus2Com]\r\nBus0Com = 1\r\n"));
  ASSERT_EQ(::write(other, "en]\r\n", 5), 5);
  ::close(other);
  EXPECT_EQ(system.readFile(path), "[Bus2Com]\r\nBus0Com = 1\r\n");
  EXPECT_EQ(system.readFile(path + ".tmp"), "[Farben]\r\n");
}

TEST(HostSystemWriteThreads, TwoWritersAtOnceNeverMixTheirBytes) {
  // Two programs rewrite the shared file again and again while a third reads it: every
  // read sees one writer's file whole.
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir.file("VX_PREF_Alle_V3.pref");
  const std::string a(48 * 1024, 'a');
  const std::string b(32 * 1024, 'b');
  HostSystem reader;
  ASSERT_TRUE(reader.writeFileAtomic(path, a));
  std::atomic<int> failedWrites{0};
  std::atomic<bool> done{false};
  auto writer = [&](const std::string& bytes) {
    HostSystem system;
    for (int i = 0; i < 150; ++i)
      if (!system.writeFileAtomic(path, bytes)) ++failedWrites;
  };
  int reads = 0, mixed = 0;
  std::thread readerThread([&] {
    while (!done) {
      const auto got = reader.readFile(path);
      ++reads;
      if (!got || (*got != a && *got != b)) ++mixed;
#ifdef _WIN32
      // Windows cannot replace a file while it is open: a reader that never lets go
      // would starve the writers, which real readers (the suite's programs) do not.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
#endif
    }
  });
  std::thread first(writer, a);
  std::thread second(writer, b);
  first.join();
  second.join();
  done = true;
  readerThread.join();
  EXPECT_EQ(failedWrites.load(), 0);
  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
  EXPECT_EQ(dir.names(), std::vector<std::string>{"VX_PREF_Alle_V3.pref"});
}

}  // namespace
}  // namespace kw
