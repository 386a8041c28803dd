// The platform seam: named objects, locks, memory, process services and files.
#include "foundation/platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tavelnor::platform {
namespace {

std::string UniqueName(const char* stem) {
  static std::atomic<int> counter{0};
  return std::string("TAVELNOR_TEST_") + stem + "_" + std::to_string(CurrentProcessId()) + "_" +
         std::to_string(counter.fetch_add(1));
}

// Runs `open` on several threads released at once; returns what each got.
// Every copy must reach one object: on POSIX through one address, on Windows
// through handles of its own to one kernel object, so the tests check the
// sharing itself.
template <typename Open>
std::vector<void*> OpenFromManyThreads(Open open) {
  constexpr int kThreads = 8;
  std::vector<void*> got(kThreads, nullptr);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      got[i] = open();
    });
  }
  go = true;
  for (std::thread& t : threads) t.join();
  return got;
}

TEST(NamedObjects, RacingOpenersOfANewNameGetOneRecursiveMutex) {
  const std::string name = UniqueName("MUTEX");
  auto handles = OpenFromManyThreads([&] { return static_cast<void*>(OpenNamedMutex(name)); });
  for (void* h : handles) ASSERT_NE(h, nullptr);
  // Held twice through the first handle and released once, the mutex still
  // keeps out a thread using the last.
  auto* first = static_cast<NamedMutex*>(handles.front());
  LockNamedMutex(first);
  LockNamedMutex(first);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    LockNamedMutex(static_cast<NamedMutex*>(handles.back()));
    entered = true;
    UnlockNamedMutex(static_cast<NamedMutex*>(handles.back()));
  });
  UnlockNamedMutex(first);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(entered.load());
  UnlockNamedMutex(first);
  other.join();
  EXPECT_TRUE(entered.load());
}

TEST(NamedObjects, RacingOpenersOfANewNameGetOneZeroFilledSection) {
  const std::string name = UniqueName("SECTION");
  auto sections = OpenFromManyThreads([&] { return static_cast<void*>(OpenNamedSection(name, 12)); });
  for (void* s : sections) ASSERT_NE(s, nullptr);
  auto* section = static_cast<NamedSection*>(sections.front());
  auto* view = static_cast<unsigned char*>(MapNamedSection(section, 12));
  ASSERT_NE(view, nullptr);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(view[i], 0);
  view[4] = 42;
  auto* last = static_cast<unsigned char*>(
      MapNamedSection(static_cast<NamedSection*>(sections.back()), 12));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last[4], 42);
  UnmapNamedSection(last);
  UnmapNamedSection(view);
  NamedSection* again = OpenNamedSection(name, 12);
  auto* view2 = static_cast<unsigned char*>(MapNamedSection(again, 12));
  EXPECT_EQ(view2[4], 42);  // the same memory under the same name
  UnmapNamedSection(view2);
  CloseNamedSection(again);
}

TEST(NamedObjects, ANameHoldsOneKindOfObject) {
  const std::string name = UniqueName("KIND");
  ASSERT_NE(OpenNamedMutex(name), nullptr);
  EXPECT_EQ(OpenNamedSection(name, 12), nullptr);
  EXPECT_EQ(OpenNamedMutex(""), nullptr);
}

TEST(Memory, PagesAreZeroedAndWritable) {
  constexpr size_t kBytes = 40000;
  auto* p = static_cast<unsigned char*>(AllocatePages(kBytes));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[kBytes - 1], 0);
  std::memset(p, 0xAB, kBytes);
  FreePages(p, kBytes);
  EXPECT_EQ(AllocatePages(0), nullptr);

  void* h = ProcessHeapAlloc(100);
  ASSERT_NE(h, nullptr);
  std::memset(h, 1, 100);
  ProcessHeapFree(h);
  ProcessHeapFree(nullptr);
}

TEST(Process, EnvironmentSetGetAndRemove) {
  const std::string name = UniqueName("ENV");
  EXPECT_FALSE(GetEnv(name.c_str()).has_value());
  ASSERT_TRUE(SetEnv(name.c_str(), "value \xE9"));
  EXPECT_EQ(GetEnv(name.c_str()).value_or(""), "value \xE9");
  ASSERT_TRUE(SetEnv(name.c_str(), nullptr));
  EXPECT_FALSE(GetEnv(name.c_str()).has_value());
  EXPECT_FALSE(SetEnv("", "x"));
  EXPECT_FALSE(GetEnv(nullptr).has_value());
}

TEST(Process, LastOsErrorIsPerThread) {
  // Set after the thread is started and read before it is joined: starting and
  // joining threads may change this thread's own code on Windows.
  std::atomic<bool> set{false}, done{false};
  uint32_t seen_elsewhere = 99;
  std::thread other([&] {
    SetLastOsError(0);
    while (!set.load()) std::this_thread::yield();
    seen_elsewhere = LastOsError();
    SetLastOsError(5);
    done = true;
  });
  SetLastOsError(1234);
  set = true;
  while (!done.load()) std::this_thread::yield();
  EXPECT_EQ(LastOsError(), 1234u);
  EXPECT_EQ(seen_elsewhere, 0u);
  other.join();
  SetLastOsError(0);
}

TEST(Process, ModulePathNamesAnExistingFile) {
  const std::string path = ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
  EXPECT_TRUE(FileExists(path)) << path;
  EXPECT_NE(CurrentProcessId(), 0u);
}

class Files : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / UniqueName("files");
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  std::filesystem::path dir_;
};

TEST_F(Files, ExistenceOfFilesAndDirectories) {
  const std::string file = Write("a.bin", "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(DirectoryExists(dir_.string()));
  EXPECT_FALSE(FileExists(dir_.string()));
  EXPECT_FALSE(FileExists((dir_ / "missing").string()));
  EXPECT_FALSE(FileExists(""));
}

TEST_F(Files, ReadWholeFileReturnsEveryByte) {
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  auto read = ReadWholeFile(Write("data.bin", bytes));
  ASSERT_TRUE(read.ok()) << read.status().ToString();
  ASSERT_EQ(read->size(), bytes.size());
  EXPECT_EQ(std::memcmp(read->data(), bytes.data(), bytes.size()), 0);

  auto empty = ReadWholeFile(Write("empty.bin", ""));
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty->empty());
}

TEST_F(Files, ReadWholeFileFailures) {
  auto missing = ReadWholeFile((dir_ / "missing.bin").string());
  EXPECT_EQ(missing.status().code(), Status::Code::kNotFound);
  auto directory = ReadWholeFile(dir_.string());
  EXPECT_EQ(directory.status().code(), Status::Code::kInvalidArgument);
  auto too_big = ReadWholeFile(Write("big.bin", std::string(100, 'b')), 99);
  EXPECT_EQ(too_big.status().code(), Status::Code::kInvalidArgument);
  auto just_fits = ReadWholeFile(Write("fits.bin", std::string(100, 'b')), 100);
  EXPECT_TRUE(just_fits.ok());
}

#if defined(__linux__)
TEST(FilesLinux, FilesThatReportNoSizeAreReadToTheEnd) {
  auto status = ReadWholeFile("/proc/self/status");
  ASSERT_TRUE(status.ok());
  EXPECT_GT(status->size(), 0u);
}
#endif

}  // namespace
}  // namespace tavelnor::platform
