// Opening files of an earlier record manager: refusals with the reader's
// reason, damage found while indexing, SQLite databases that are not ours;
// and the in-memory index's searches against a linear search of its entries.
#include <sqlite3.h>

#include <fstream>

#include "btrieve/key_codec.h"
#include "btrieve/legacy_index.h"
#include "legacy_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

FileSpec Spec(const std::vector<std::vector<SegmentDef>>& keys) {
  FileSpec spec;
  EXPECT_EQ(ParseFileSpec(MakeSpec(8, keys), &spec), 0);
  return spec;
}

FakeRecord Rec(uint32_t address, uint8_t v, size_t size = 8) {
  return {address, std::vector<uint8_t>(size, v), {0}};
}

class LegacyOpen : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(path_, std::ios::binary) << std::string(4096, '\x5A'); }
  ScratchDir dir_;
  FakeOpener opener_;
  std::string path_ = dir_.File("OLD.DAT");
  Block b_;
};

TEST_F(LegacyOpen, RefusalsCarryTheReadersReason) {
  for (int status : {kIoError, kNotOurFile}) {
    const std::string why = "refused with " + std::to_string(status);
    opener_.make = [&](std::unique_ptr<LegacySource>*, std::string* reason) {
      *reason = why;
      return status;
    };
    EXPECT_EQ(b_.Open(path_, -2), status);
    EXPECT_EQ(LastOpenDiagnosis(), why);
  }
  // Our own files never reach the reader, and a success clears the reason.
  ASSERT_EQ(b_.Create(dir_.File("ours.btr"), MakeSpec(8, {{{1, 4, 0, kTypeInteger}}})), 0);
  ASSERT_EQ(b_.Open(dir_.File("ours.btr")), 0);
  EXPECT_EQ(LastOpenDiagnosis(), "");
  EXPECT_EQ(opener_.calls, 2);
}

TEST_F(LegacyOpen, ASqliteDatabaseOfAnotherKindIsNotOurs) {
  const std::string other = dir_.File("other.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1)", 0, 0, 0), SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(b_.Open(other), kNotOurFile);
  EXPECT_EQ(opener_.calls, 0);
  EXPECT_NE(LastOpenDiagnosis(), "");
}

TEST_F(LegacyOpen, DamageFoundWhileIndexingIsAnIoError) {
  const FileSpec spec = Spec({{{1, 4, 0, kTypeInteger}}});
  FileSpec past_the_end = spec;
  past_the_end.keys[0].segments[0].position = 6;
  const struct {
    const char* what;
    const FileSpec& spec;
    std::vector<FakeRecord> records;
    size_t fail_at;
  } kCases[] = {
      {"the scan finds damage", spec, {Rec(10, 1), Rec(20, 2), Rec(30, 3)}, 2},
      {"addresses out of order", spec, {Rec(10, 1), Rec(30, 2), Rec(20, 3)}, SIZE_MAX},
      {"an address twice", spec, {Rec(10, 1), Rec(10, 2)}, SIZE_MAX},
      {"a record cut short", spec, {Rec(10, 1), Rec(20, 2, 7)}, SIZE_MAX},
      {"a key past the record", past_the_end, {Rec(10, 1)}, SIZE_MAX},
  };
  for (const auto& c : kCases) {
    opener_.Serve(c.spec, LegacyInfo{}, c.records, c.fail_at);
    EXPECT_EQ(b_.Open(path_), kIoError) << c.what;
    EXPECT_NE(LastOpenDiagnosis(), "") << c.what;
  }
}

TEST_F(LegacyOpen, WithTheRealReaderAForeignFileIsRefusedWithAReason) {
  SetLegacyOpenerForTesting({});
  EXPECT_NE(b_.Open(path_), kOk);
  EXPECT_NE(LastOpenDiagnosis(), "");
}

// Bounds of every length, cut inside the value or the sequence or longer
// than an entry, as the engine's searches send them.
TEST(LegacyIndexSeek, EverySeekMatchesALinearSearch) {
  const FileSpec spec = Spec({{{1, 2, kKeyDup, kTypeString}}, {{3, 2, 0, kTypeInteger}}});
  std::vector<FakeRecord> records;
  for (uint32_t i = 0; i < 40; ++i) {
    const uint8_t bytes[8] = {static_cast<uint8_t>('a' + i % 3), static_cast<uint8_t>(i % 2 - 1),
                              static_cast<uint8_t>(i * 5), static_cast<uint8_t>(i % 4)};
    // Ranks reach into every byte of the sequence's low half.
    records.push_back({100 + 16 * i, {bytes, bytes + 8}, {(i / 6) * 0x01010101u ^ (i % 6), 0}});
  }
  LegacyInfo info;
  info.record_count = 40;
  info.file_size = 4096;
  std::unique_ptr<LegacyIndex> index;
  ASSERT_EQ(LegacyIndex::Build(std::make_unique<FakeSource>(spec, info, records), &index), 0);
  for (int num = 0; num < 2; ++num) {
    uint32_t count = 0;
    ASSERT_EQ(index->CountOf(num, &count), 0);
    ASSERT_EQ(count, 40u);
    std::vector<Entry> entries(count);
    std::vector<std::string> bounds = {std::string(), std::string(12, '\xFF')};
    for (uint32_t r = 0; r < count; ++r) {
      ASSERT_EQ(index->EntryAt(num, r, &entries[r]), 0);
      const std::string& k = entries[r].k;
      EXPECT_EQ(k.size(), num == 0 ? 2 + kDupSuffixSize : size_t{2});
      EXPECT_TRUE(r == 0 || entries[r - 1].k < k) << r;
      Entry back;
      ASSERT_EQ(index->EntryOf(num, entries[r].pos, &back), 0);
      EXPECT_EQ(back.k, k);
      for (size_t n = 0; n <= k.size(); ++n) {
        bounds.push_back(k.substr(0, n));
        if (n > 0) bounds.push_back(k.substr(0, n - 1) + static_cast<char>(k[n - 1] + 1));
      }
      bounds.push_back(k + '\0');
    }
    for (const std::string& b : bounds) {
      uint32_t ge = 0, gt = 0, below = 0;
      while (ge < count && entries[ge].k < b) ++ge;
      while (gt < count && entries[gt].k <= b) ++gt;
      const std::pair<Seek, int64_t> kCases[] = {
          {Seek::kFirst, 0},
          {Seek::kLast, count - 1},
          {Seek::kAtLeast, ge < count ? int64_t{ge} : -1},
          {Seek::kAbove, gt < count ? int64_t{gt} : -1},
          {Seek::kAtMost, int64_t{gt} - 1},
          {Seek::kBelow, int64_t{ge} - 1}};
      for (const auto& [seek, at] : kCases) {
        Entry got;
        const int st = index->Find(num, seek, b, &got);
        ASSERT_EQ(st, at < 0 ? kEndOfFile : kOk);
        if (at >= 0) {
          EXPECT_EQ(got.k, entries[at].k);
          EXPECT_EQ(got.pos, entries[at].pos);
        }
      }
      ASSERT_EQ(index->RankBelow(num, b, 0, &below), 0);
      EXPECT_EQ(below, ge);
    }
  }
  // Per record: its address, and per key the value, the entry's ordinal and
  // the record's place, plus the rank on the key with duplicates.
  EXPECT_EQ(index->MemoryBytes(), 40 * (4 + (2 + 4 + 8) + (2 + 8)));
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
