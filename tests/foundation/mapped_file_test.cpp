// Mapped files: the bytes and the identity of the file, a missing file and a
// directory refused, and a file shortened while mapped (POSIX: the lost part
// reads as zeros and the mapping says it was cut; Windows refuses to shorten
// a mapped file).
#include "foundation/platform/mapped_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace tavelnor::platform {
namespace {

namespace fs = std::filesystem;

class MappedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavelnor-mapped-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "data.bin").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

  fs::path dir_;
  std::string path_;
};

TEST_F(MappedFileTest, BytesAndIdentityOfTheFile) {
  std::string bytes(3 * 65536 + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  Write(bytes);
  auto mapped = MappedFile::Open(path_, 1 << 20);
  ASSERT_TRUE(mapped.ok()) << mapped.status().message();
  const std::span<const uint8_t> view = mapped.value()->bytes();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data()), view.size()), bytes);
  EXPECT_FALSE(mapped.value()->cut());
  auto identity = IdentifyFile(path_);
  ASSERT_TRUE(identity.ok());
  EXPECT_EQ(identity.value(), mapped.value()->identity());
  EXPECT_EQ(identity.value().size, bytes.size());
  // Another file, or the same one grown, is another identity.
  std::ofstream(path_, std::ios::binary | std::ios::app) << "more";
  EXPECT_NE(IdentifyFile(path_).value(), mapped.value()->identity());
  // Limits, absence and what is not a file.
  EXPECT_EQ(MappedFile::Open(path_, 100).status().code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(MappedFile::Open((dir_ / "none").string(), 100).status().code(), Status::Code::kNotFound);
  EXPECT_EQ(IdentifyFile((dir_ / "none").string()).status().code(), Status::Code::kNotFound);
  EXPECT_EQ(MappedFile::Open(dir_.string(), 100).status().code(), Status::Code::kInvalidArgument);
  const std::string empty_path = (dir_ / "empty.bin").string();
  std::ofstream(empty_path, std::ios::binary).close();
  auto empty = MappedFile::Open(empty_path, 100);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value()->bytes().empty());
}

TEST_F(MappedFileTest, AFileShortenedWhileMapped) {
  Write(std::string(8 * 65536, 'x'));
  auto mapped = MappedFile::Open(path_, 1 << 20);
  ASSERT_TRUE(mapped.ok());
  const std::span<const uint8_t> view = mapped.value()->bytes();
  std::error_code ec;
  fs::resize_file(path_, 4096, ec);
#ifdef _WIN32
  EXPECT_TRUE(ec) << "Windows refuses to shorten a mapped file";
  EXPECT_EQ(view[view.size() - 1], 'x');
  EXPECT_FALSE(mapped.value()->cut());
#else
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(view[100], 'x');
  EXPECT_FALSE(mapped.value()->cut()) << "the bytes still in the file read as before";
  volatile uint8_t past = view[view.size() - 1];  // would be SIGBUS without the handler
  EXPECT_EQ(past, 0);
  EXPECT_TRUE(mapped.value()->cut());
  EXPECT_EQ(view[5 * 65536], 0);
#endif
}

}  // namespace
}  // namespace tavelnor::platform
