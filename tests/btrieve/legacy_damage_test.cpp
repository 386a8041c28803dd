// Damage in earlier engines' files that leaves every record readable: every
// walk still returns every record and the damage is named; a file shortened
// while open gives errors, never a crash; handles of one file share what its
// reader built, and a changed file is read afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "btrieve/legacy_data_file.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve_test_util.h"
#include "legacy_synth.h"

namespace tavelnor::btrieve::testing {
namespace {

using synth::SynthFile;
using Bytes = std::vector<uint8_t>;

// Records of 16 bytes: id INTEGER 4 (key 0, unique), name STRING 8 (key 1,
// duplicates), payload 4 = the record's number.
SynthFile Sample(const std::vector<std::pair<int32_t, std::string>>& rows) {
  SynthFile f;
  f.record_length = 16;
  f.keys = {{{{0, 4, 0, kTypeInteger}}}, {{{4, 8, kKeyDup, kTypeString}}}};
  for (size_t i = 0; i < rows.size(); ++i) {
    Bytes r(16, ' ');
    std::memcpy(r.data(), &rows[i].first, 4);
    std::memcpy(r.data() + 4, rows[i].second.data(), rows[i].second.size());
    const auto n = static_cast<uint32_t>(i);
    std::memcpy(r.data() + 12, &n, 4);
    f.records.push_back(r);
  }
  return f;
}

class LegacyDamage : public ::testing::Test {
 protected:
  void TearDown() override {
    (void)b_.Close();
    LegacyDataFile::ForgetClosedFiles();
  }
  void Write(const Bytes& image) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  // The record numbers (payload) a walk gives.
  std::vector<uint32_t> Walk(int first, int next, int key) {
    std::vector<uint32_t> seen;
    Bytes r;
    int st = b_.Read(first, &r, key);
    for (; st == 0 && seen.size() < 100; st = b_.Read(next, &r, key)) {
      uint32_t n = 0;
      std::memcpy(&n, r.data() + 12, 4);
      seen.push_back(n);
    }
    EXPECT_EQ(st, kEndOfFile);
    return seen;
  }
  int Get(int op, int key, const void* value, size_t n, uint32_t* record) {
    b_.SetKey(value, n);
    Bytes r;
    int st = b_.Read(op, &r, key);
    if (st == 0) std::memcpy(record, r.data() + 12, 4);
    return st;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("OLD.DAT");
  Block b_;
};

// Value 3 three times on the unique key: all three walk, in address order,
// and searches treat them as one value of three records.
TEST_F(LegacyDamage, TwinsOnAUniqueKeyAreAllWalkedAndNamed) {
  Write(synth::WriteVersion6(Sample({{5, "e"}, {3, "c"}, {1, "a"}, {3, "cc"}, {9, "i"}, {3, "ccc"}}))
            .image);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  EXPECT_EQ(LastOpenDiagnosis(), "") << "nothing is known before the key is used";
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 0), (std::vector<uint32_t>{2, 1, 3, 5, 0, 4}));
  const std::string warning = LastOpenDiagnosis();
  EXPECT_NE(warning.find("unique key 0 holds 1 value in 3 records"), std::string::npos) << warning;
  EXPECT_NE(warning.find("0x03000000 at 0x"), std::string::npos) << warning;
  EXPECT_EQ(Walk(kOpGetLast, kOpGetPrevious, 0), (std::vector<uint32_t>{4, 0, 5, 3, 1, 2}));
  const int32_t three = 3, five = 5;
  uint32_t n = 0;
  const std::tuple<int, const int32_t*, uint32_t> kSearches[] = {
      {kOpGetEqual, &three, 1},          {kOpGetGreaterOrEqual, &three, 1},
      {kOpGetGreater, &three, 0},        {kOpGetLessOrEqual, &three, 5},
      {kOpGetLess, &five, 5},            {kOpGetLess, &three, 2}};
  for (const auto& [op, value, want] : kSearches) {
    ASSERT_EQ(Get(op, 0, value, 4, &n), 0) << op;
    EXPECT_EQ(n, want) << op;
  }
  // From the middle twin, on both ways.
  ASSERT_EQ(Get(kOpGetEqual, 0, &three, 4, &n), 0);
  Bytes r;
  ASSERT_EQ(b_.Read(kOpGetNext, &r, 0), 0);
  ASSERT_EQ(b_.Read(kOpGetPrevious, &r, 0), 0);
  EXPECT_EQ(r[12], 1);
  const Bytes stat = b_.Stat();
  uint32_t distinct = 0;
  std::memcpy(&distinct, &stat[16 + 6], 4);  // key 0: position, length, flags, count
  EXPECT_EQ(distinct, 4u) << "distinct values of key 0";
  // Another handle of the unchanged file knows at once.
  Block other;
  ASSERT_EQ(other.Open(path_, -2), 0);
  EXPECT_EQ(LastOpenDiagnosis(), warning);
  EXPECT_EQ(other.Close(), 0);
  std::unique_ptr<DataFile> file;
  ASSERT_EQ(DataFile::Open(path_, &file), 0);
  std::vector<std::string> findings;
  EXPECT_EQ(file->Check(&findings), 0);
  EXPECT_EQ(findings, std::vector<std::string>{warning});
}

// A damaged key byte moves a record to another value than its duplicate
// chain's: to one held by another chain (two records claim the first place
// of "a"), or to a value of its own ("z", with the second place of its
// chain). Every record is walked, each by its own value, and the damage named.
TEST_F(LegacyDamage, TangledDuplicateChainsKeepEveryRecord) {
  const SynthFile f = Sample({{1, "a"}, {2, "b"}, {3, "a"}});
  const std::pair<size_t, const char*> kCases[] = {{1, "give records of 1 value the same place"},
                                                    {2, "1 link of the duplicate chains of key 1"}};
  for (const auto& [record, named] : kCases) {
    Bytes image = synth::WriteVersion6(f).image;
    auto at = std::search(image.begin(), image.end(), f.records[record].begin(),
                          f.records[record].end());
    ASSERT_NE(at, image.end());
    at[4] = record == 1 ? 'a' : 'z';
    Write(image);
    ASSERT_EQ(b_.Open(path_, -2), 0);
    const std::vector<uint32_t> order = {0, 1, 2};  // a, a, a or a, b, z
    EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 1), order);
    EXPECT_NE(LastOpenDiagnosis().find(named), std::string::npos) << LastOpenDiagnosis();
    EXPECT_EQ(Walk(kOpGetLast, kOpGetPrevious, 1),
              std::vector<uint32_t>(order.rbegin(), order.rend()));
    EXPECT_EQ(b_.Close(), 0);
    LegacyDataFile::ForgetClosedFiles();
  }
}

// The file loses its end while open: reads past the cut fail with 2 and a
// reason, and the process goes on; a new open refuses the short file.
TEST_F(LegacyDamage, FileShortenedWhileOpenGivesErrorsNotACrash) {
  std::vector<std::pair<int32_t, std::string>> rows;
  for (int32_t i = 0; i < 3000; ++i) rows.push_back({i, "n" + std::to_string(i % 50)});
  const Bytes image = synth::WriteVersion6(Sample(rows)).image;
  Write(image);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  Bytes r;
  ASSERT_EQ(b_.Read(kOpStepFirst, &r, 0), 0);
  std::filesystem::resize_file(path_, 6 * 4096);
  int st = 0;
  size_t read = 1;
  while ((st = b_.Read(kOpStepNext, &r, 0)) == 0) ++read;
  EXPECT_EQ(st, kIoError);
  EXPECT_LT(read, rows.size());
  EXPECT_NE(LastOpenDiagnosis().find("shortened"), std::string::npos) << LastOpenDiagnosis();
  EXPECT_EQ(b_.Read(kOpGetFirst, &r, 0), kIoError) << "the first key is built from the cut file";
  EXPECT_EQ(b_.Close(), 0);
  EXPECT_EQ(b_.Open(path_, -2), kIoError);
}

// Another program commits a change (the header pages' usage counts move):
// reads of the open file stop with 2 and a reason; a new open reads afresh.
TEST_F(LegacyDamage, FileChangedWhileOpenIsNotReadFromStaleIndexes) {
  Write(synth::WriteVersion6(Sample({{1, "a"}, {2, "b"}, {3, "c"}})).image);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  Bytes r;
  ASSERT_EQ(b_.Read(kOpGetFirst, &r, 0), 0);
  {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    for (std::streamoff page : {0, 4096}) {
      uint32_t usage = 0;
      f.seekg(page + 4);
      f.read(reinterpret_cast<char*>(&usage), 4);
      usage += 10;
      f.seekp(page + 4);
      f.write(reinterpret_cast<const char*>(&usage), 4);
    }
  }
  EXPECT_EQ(b_.Read(kOpGetNext, &r, 0), kIoError);
  EXPECT_NE(LastOpenDiagnosis().find("changed"), std::string::npos) << LastOpenDiagnosis();
  EXPECT_EQ(b_.Close(), 0);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 0), (std::vector<uint32_t>{0, 1, 2}));
}

// A second handle shares the first one's indexes; a file rewritten since is
// read again from its new bytes.
TEST_F(LegacyDamage, HandlesShareAnUnchangedFileAndAChangedOneIsReadAgain) {
  Write(synth::WriteVersion6(Sample({{1, "a"}, {2, "b"}})).image);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 0).size(), 2u);
  std::unique_ptr<DataFile> first, second;
  ASSERT_EQ(DataFile::Open(path_, &first), 0);
  ASSERT_EQ(DataFile::Open(path_, &second), 0);
  ASSERT_NE(first->legacy(), nullptr);
  EXPECT_GT(first->legacy()->MemoryBytes(), 16u) << "key 0 built through the first handle";
  EXPECT_EQ(first->legacy()->MemoryBytes(), second->legacy()->MemoryBytes());
  const size_t built = first->legacy()->MemoryBytes();
  first.reset(), second.reset();
  EXPECT_EQ(b_.Close(), 0);
  // Closed, then opened again unchanged: what was built is still there.
  ASSERT_EQ(DataFile::Open(path_, &first), 0);
  EXPECT_EQ(first->legacy()->MemoryBytes(), built);
  first.reset();
  Write(synth::WriteVersion6(Sample({{7, "x"}, {8, "y"}, {9, "z"}})).image);
  ASSERT_EQ(b_.Open(path_, -2), 0);
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 0), (std::vector<uint32_t>{0, 1, 2}));
  uint32_t n = 0;
  const int32_t nine = 9;
  ASSERT_EQ(Get(kOpGetEqual, 0, &nine, 4, &n), 0);
  EXPECT_EQ(n, 2u);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
