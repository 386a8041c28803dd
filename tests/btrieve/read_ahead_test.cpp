// Rows read ahead: which seeks a run can answer, how batches grow, and that
// walks in progress see every change made since, by this process or by
// another connection to the file.
#include "btrieve/read_ahead.h"

#include <sqlite3.h>

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr ReadToken kToken{true, 7, 1};

// A run read by `seek` from `bound` with rows (key, position), `asked` rows
// asked for.
void Fill(ReadAhead* ahead, Seek seek, const std::string& bound,
          const std::vector<std::pair<std::string, uint32_t>>& rows, size_t asked, int num = 1,
          ReadToken token = kToken) {
  ahead->Start(num, seek, bound, token);
  for (const auto& [k, pos] : rows) ahead->Add(k, pos, k.data(), k.size(), 0);
  ahead->Finish(asked);
}

// The position a lookup answers, 0 for the end of the path, -1 when unknown.
int64_t Ask(ReadAhead& ahead, Seek seek, const std::string& bound, int num = 1) {
  const AheadRow* row = nullptr;
  switch (ahead.Lookup(num, seek, bound, &row)) {
    case ReadAhead::Answer::kRow:
      return row->pos;
    case ReadAhead::Answer::kEnd:
      return 0;
    default:
      return -1;
  }
}

struct LookupCase {
  Seek seek;
  const char* bound;
  int64_t answer;
};

TEST(ReadAheadRun, AnswersOnlyWhatTheRunCovers) {
  ReadAhead ahead;
  // Read "above b": c d e, more may follow.
  Fill(&ahead, Seek::kAbove, "b", {{"c", 3}, {"d", 4}, {"e", 5}}, 3);
  const LookupCase cases[] = {
      {Seek::kAbove, "b", 3},    {Seek::kAbove, "c", 4},    {Seek::kAbove, "cc", 4},
      {Seek::kAbove, "a", -1},   {Seek::kAbove, "e", -1},   {Seek::kAtLeast, "c", 3},
      {Seek::kAtLeast, "bb", 3}, {Seek::kAtLeast, "b", -1}, {Seek::kBelow, "d", -1},
      {Seek::kFirst, "", -1},    {Seek::kAtMost, "d", -1},
  };
  for (const LookupCase& c : cases) {
    EXPECT_EQ(Ask(ahead, c.seek, c.bound), c.answer) << static_cast<int>(c.seek) << c.bound;
  }
  EXPECT_EQ(Ask(ahead, Seek::kAbove, "c", 2), -1);  // another path
  // Fewer rows than asked: the path ends after e.
  Fill(&ahead, Seek::kAtLeast, "c", {{"c", 3}, {"d", 4}, {"e", 5}}, 4);
  EXPECT_EQ(Ask(ahead, Seek::kAbove, "e"), 0);
  EXPECT_EQ(Ask(ahead, Seek::kAtLeast, "f"), 0);
  EXPECT_EQ(Ask(ahead, Seek::kAtLeast, "c"), 3);  // the run started at c itself
  EXPECT_EQ(Ask(ahead, Seek::kAtLeast, "b"), -1);
  // From the start of the path, backwards.
  Fill(&ahead, Seek::kLast, "", {{"k", 9}, {"h", 8}, {"c", 3}}, 3);
  EXPECT_EQ(Ask(ahead, Seek::kLast, ""), 9);
  EXPECT_EQ(Ask(ahead, Seek::kBelow, "z"), 9);
  EXPECT_EQ(Ask(ahead, Seek::kBelow, "k"), 8);
  EXPECT_EQ(Ask(ahead, Seek::kAtMost, "h"), 8);
  EXPECT_EQ(Ask(ahead, Seek::kAtMost, "g"), 3);
  EXPECT_EQ(Ask(ahead, Seek::kBelow, "c"), -1);
  EXPECT_EQ(Ask(ahead, Seek::kAbove, "c"), -1);
}

// ------------------------------------------------------- through the calls

class ReadAheadFile : public RecordFile {
 protected:
  void SetUp() override {
    RecordFile::SetUp();
    for (int id = 1; id <= 40; ++id) Insert(id, "nm", static_cast<int16_t>(id));
  }
  // Runs `sql` on a connection of its own, as another process would.
  void Elsewhere(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
    sqlite3_free(error);
    sqlite3_close(db);
  }
  uint8_t PayloadAt(int op, int key_num) {
    std::vector<uint8_t> r;
    EXPECT_EQ(b_.Read(op, &r, key_num), 0);
    return r.size() > 20 ? r[20] : 0;
  }
};

TEST_F(ReadAheadFile, WalksSeeCommitsOfOtherConnections) {
  // Physical order and key 0 both run 1..40 (position = id).
  for (int op : {kOpStepFirst, kOpGetFirst}) {
    const int next = op == kOpStepFirst ? kOpStepNext : kOpGetNext;
    const int base = op == kOpStepFirst ? 0 : 20;
    ASSERT_EQ(ReadId(op, 0), 1);
    for (int id = 2; id <= base + 10; ++id) {
      if (base && (id == 12 || id == 14)) continue;  // gone in the first round
      ASSERT_EQ(ReadId(next, 0), id);                // runs read ahead by now
    }
    const int changed = base + 11;
    const uint8_t mark = static_cast<uint8_t>(0x50 + base);
    char sql[256];
    std::snprintf(sql, sizeof sql,
                  "UPDATE records SET data = substr(data, 1, 20) || x'%02X' || substr(data, 22)"
                  " WHERE pos = %d; DELETE FROM records WHERE pos = %d;"
                  " DELETE FROM keys WHERE pos = %d;",
                  mark, changed, changed + 1, changed + 1);
    Elsewhere(sql);
    EXPECT_EQ(PayloadAt(next, 0), mark) << op;
    EXPECT_EQ(ReadId(next, 0), changed + 2) << op;
    std::snprintf(sql, sizeof sql,
                  "DELETE FROM records WHERE pos = %d; DELETE FROM keys WHERE pos = %d;",
                  changed + 3, changed + 3);
    Elsewhere(sql);
    EXPECT_EQ(ReadId(next, 0), changed + 4) << op;
  }
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
