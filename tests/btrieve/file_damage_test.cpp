// Files that are not ours or are damaged open with a clean status, never a
// crash: missing (12), not a database or a foreign database (30), cut short (2).
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class FileDamage : public ::testing::Test {
 protected:
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  // A file with enough records to span many pages.
  std::string Populated() {
    std::string path = dir_.File("full.btr");
    EXPECT_EQ(b_.Create(path, ThreeKeySpec()), 0);
    EXPECT_EQ(b_.Open(path), 0);
    for (int i = 0; i < 200; ++i) {
      auto r = Rec(i, "n" + std::to_string(i % 10), static_cast<int16_t>(i), 0x5A);
      EXPECT_EQ(b_.Write(kOpInsert, r, 0), 0);
    }
    EXPECT_EQ(b_.Close(), 0);
    return path;
  }
  ScratchDir dir_;
  Block b_;
};

TEST_F(FileDamage, ForeignFilesAreNotOurs) {
  std::string path = dir_.File("x.btr");
  EXPECT_EQ(b_.Open(path), kFileNotFound);
  EXPECT_EQ(b_.Open(dir_.File("")), kFileNotFound);
  const std::string contents[] = {"", "hello, this is plain text and not a database at all\n",
                                  std::string(4096, '\0'),
                                  std::string("SQLite format 3\0", 16) + std::string(84, '\xFF')};
  for (const std::string& bytes : contents) {
    WriteFile(path, bytes);
    int16_t st = b_.Open(path);
    EXPECT_EQ(st, kNotOurFile) << bytes.size() << " bytes";
  }
}

TEST_F(FileDamage, OtherDatabasesAndNewerFormatsAreNotOurs) {
  std::string path = dir_.File("other.db");
  std::remove(path.c_str());
  Sql(path, "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
  EXPECT_EQ(b_.Open(path), kNotOurFile);
  Sql(path,
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value); "
      "INSERT INTO meta VALUES ('format', 'something-else'), ('version', 1);");
  EXPECT_EQ(b_.Open(path), kNotOurFile);

  std::string ours = dir_.File("ours.btr");
  ASSERT_EQ(b_.Create(ours, ThreeKeySpec()), 0);
  Sql(ours, "UPDATE meta SET value = 3 WHERE name = 'version'");
  EXPECT_EQ(b_.Open(ours), kNotOurFile);
  Sql(ours,
      "UPDATE meta SET value = 1 WHERE name = 'version';"
      "UPDATE meta SET value = x'0102' WHERE name = 'spec'");
  EXPECT_EQ(b_.Open(ours), kIoError);
}

TEST_F(FileDamage, TruncatedFilesAreDamaged) {
  std::string path = Populated();
  std::string bytes = ReadFile(path);
  ASSERT_GT(bytes.size(), 8192u);
  for (size_t keep : {bytes.size() / 2, bytes.size() - 4096, size_t{4096}, size_t{100}}) {
    WriteFile(path, bytes.substr(0, keep));
    int16_t st = b_.Open(path);
    EXPECT_EQ(st, kIoError) << " keeping " << keep;
  }
}

TEST_F(FileDamage, ScribbledPagesNeverCrashAReader) {
  std::string path = Populated();
  std::string bytes = ReadFile(path);
  std::mt19937 rng(99);
  for (int round = 0; round < 12; ++round) {
    std::string damaged = bytes;
    for (int i = 0; i < 64; ++i) damaged[4096 + rng() % (damaged.size() - 4096)] ^= '\x5A';
    WriteFile(path, damaged);
    if (b_.Open(path) != 0) continue;
    std::vector<uint8_t> r;
    int steps = 0;
    for (int st = b_.Read(kOpStepFirst, &r, 0); st == 0 && steps < 1000;
         st = b_.Read(kOpStepNext, &r, 0)) {
      ++steps;
    }
    for (int st = b_.Read(kOpGetFirst, &r, 1); st == 0 && steps < 2000;
         st = b_.Read(kOpGetNext, &r, 1)) {
      ++steps;
    }
    EXPECT_EQ(b_.Close(), 0);
  }
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
