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
  std::vector<uint32_t> Counts() { return DistinctCounts(b_); }
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

}  // namespace
}  // namespace tavelnor::btrieve::testing
