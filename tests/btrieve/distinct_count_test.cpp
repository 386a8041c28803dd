// Stat's distinct value counts are kept by every write: they match a count
// over the records after random inserts, updates and deletes, follow keys
// added and dropped, and are rebuilt for files that hold none.
#include <sqlite3.h>

#include <map>
#include <random>
#include <set>

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class DistinctCount : public RecordFile {
 protected:
  std::vector<uint32_t> Counts() {
    const std::vector<uint8_t> stat = b_.Stat();
    std::vector<uint32_t> counts;
    for (size_t off = 16; off + 16 <= stat.size(); off += 16) {
      counts.push_back(stat[off + 6] | (stat[off + 7] << 8) | (stat[off + 8] << 16) |
                       (uint32_t{stat[off + 9]} << 24));
    }
    return counts;
  }
  // Counts from the model: ids and codes are unique, names repeat.
  std::vector<uint32_t> Expected() const {
    std::set<std::string> names;
    for (const auto& [id, rec] : model_) names.insert(rec.first);
    auto n = static_cast<uint32_t>(model_.size());
    return {n, static_cast<uint32_t>(names.size()), n};
  }
  std::map<int32_t, std::pair<std::string, int16_t>> model_;
};

TEST_F(DistinctCount, FollowRandomWrites) {
  std::mt19937 rng(11);
  const char* names[] = {"a", "b", "c", "d"};
  int16_t next_code = 1;
  for (int step = 0; step < 300; ++step) {
    const int32_t id = static_cast<int32_t>(rng() % 30);
    const std::string name = names[rng() % 4];
    b_.SetKey(IntKey(id).data(), 4);
    std::vector<uint8_t> r;
    const bool present = b_.Read(kOpGetEqual, &r, 0) == 0;
    if (!present) {
      auto rec = Rec(id, name, next_code);
      ASSERT_EQ(b_.Write(kOpInsert, rec, 0), 0);
      model_[id] = {name, next_code++};
    } else if (rng() % 2 == 0) {
      auto rec = Rec(id, name, model_[id].second);
      ASSERT_EQ(b_.Write(kOpUpdate, rec, 0), 0);
      model_[id].first = name;
    } else {
      b_.len = 0;
      ASSERT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), 0);
      model_.erase(id);
    }
    ASSERT_EQ(Counts(), Expected()) << "step " << step;
  }
}

TEST_F(DistinctCount, FollowKeysAddedAndDropped) {
  Insert(1, "a", 10);
  Insert(2, "a", 20);
  Insert(3, "b", 30);
  // key 3: the name's first byte.
  std::vector<uint8_t> spec = MakeSpec(kRecLen, {{{5, 1, kKeyDup, kTypeString}}});
  spec.erase(spec.begin(), spec.begin() + 16);
  b_.len = static_cast<uint32_t>(spec.size());
  ASSERT_EQ(b_.Call(kOpCreateIndex, spec.data(), &b_.len, 0), 0);
  EXPECT_EQ(Counts(), (std::vector<uint32_t>{3, 2, 3, 2}));
  b_.len = 0;
  ASSERT_EQ(b_.Call(kOpDropIndex, nullptr, &b_.len, 0), 0);  // keys move down
  EXPECT_EQ(Counts(), (std::vector<uint32_t>{2, 3, 2}));
  Insert(4, "c", 40);
  EXPECT_EQ(Counts(), (std::vector<uint32_t>{3, 4, 3}));
}

TEST_F(DistinctCount, RebuiltForFilesWithoutCounts) {
  Insert(1, "a", 1);
  Insert(2, "a", 2);
  Insert(3, "b", 3);
  ASSERT_EQ(b_.Close(), 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db, "DELETE FROM meta WHERE name LIKE 'distinct:%'", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  ASSERT_EQ(b_.Open(path_), 0);
  EXPECT_EQ(Counts(), (std::vector<uint32_t>{3, 2, 3}));
  Insert(4, "c", 4);  // kept from now on
  EXPECT_EQ(Counts(), (std::vector<uint32_t>{4, 3, 4}));
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
