// One client's change never silently undoes another's: an Update or Delete
// based on a read that another position block's change has outdated gives 80
// and changes nothing; a walk of duplicates whose record another client took
// away gives 82; and under contention a write's status tells whether it
// stored anything. Position blocks of one process and of two processes.
#include <sqlite3.h>

#include <fstream>
#include <map>

#include "child_roles.h"
#include "btrieve/sqlite_data_file.h"
#include "crash_records.h"
#include "foundation/byte_reader.h"
#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr size_t kPayload = kRecLen - 1;

class Conflicts : public TwoClients {
 protected:
  // The payload byte of record `id`, or -1 when it is gone.
  int PayloadOf(int32_t id) {
    for (const auto& [rec, payload] : Contents(xb2_)) {
      if (rec == id) return payload;
    }
    return -1;
  }
  static int16_t Delete(Block& b) {
    std::vector<uint8_t> none;
    return b.Write(kOpDelete, none, 0);
  }
  static int16_t Change(Block& b, int op, int32_t id, uint8_t payload) {
    return op == kOpDelete ? Delete(b) : UpdatePayload(b, id, payload);
  }
  void SetUp() override {
    TwoClients::SetUp();
    ASSERT_EQ(xb2_.Open(path_a_), 0);  // reads what is stored, reads nothing before
  }
  void TearDown() override {
    EXPECT_EQ(xb2_.Close(), 0);
    TwoClients::TearDown();
  }

  Block xb2_;
};

TEST_F(Conflicts, AWriteBasedOnAnOutdatedReadGives80AndChangesNothing) {
  struct Case {
    Block* first;
    Block* second;
    int first_op, second_op;
  };
  // Blocks of two clients and two blocks of one client, in both orders.
  const Case cases[] = {
      {&xa_, &ya_, kOpUpdate, kOpUpdate},  {&ya_, &xa_, kOpUpdate, kOpDelete},
      {&xa_, &ya_, kOpDelete, kOpUpdate},  {&ya_, &xa_, kOpDelete, kOpDelete},
      {&xa_, &xa2_, kOpUpdate, kOpUpdate}, {&xa2_, &xa_, kOpUpdate, kOpDelete},
      {&xa_, &xa2_, kOpDelete, kOpUpdate}, {&ya2_, &ya_, kOpUpdate, kOpDelete},
  };
  int32_t id = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE("record " + std::to_string(id));
    ASSERT_EQ(Insert(xa_, id, 1), 0);
    ASSERT_EQ(GetEqual(*c.first, id), 0);
    ASSERT_EQ(GetEqual(*c.second, id), 0);
    ASSERT_EQ(Change(*c.first, c.first_op, id, 2), 0);
    EXPECT_EQ(Change(*c.second, c.second_op, id, 3), kConflict);
    EXPECT_EQ(PayloadOf(id), c.first_op == kOpDelete ? -1 : 2);
    // A fresh read clears the conflict.
    if (c.first_op == kOpUpdate) {
      ASSERT_EQ(GetEqual(*c.second, id), 0);
      EXPECT_EQ(Change(*c.second, c.second_op, id, 4), 0);
      EXPECT_EQ(PayloadOf(id), c.second_op == kOpDelete ? -1 : 4);
    }
    ++id;
  }
}

TEST_F(Conflicts, EveryReadAndOwnWriteSetsTheStampTheNextWriteChecks) {
  // Own writes move the block's stamp along: no re-read needed.
  ASSERT_EQ(GetEqual(xa_, 1), 0);
  ASSERT_EQ(UpdatePayload(xa_, 1, 5), 0);
  ASSERT_EQ(UpdatePayload(xa_, 1, 6), 0);
  ASSERT_EQ(Insert(xa_, 20, 1), 0);
  ASSERT_EQ(UpdatePayload(xa_, 20, 2), 0);
  EXPECT_EQ(Delete(xa_), 0);

  // Positioned by a Step, then by Get Position + Get Direct.
  std::vector<uint8_t> r;
  ASSERT_EQ(xa_.Read(kOpStepFirst, &r, 0), 0);
  const int32_t first = IdOf(r);
  ASSERT_EQ(GetEqual(ya_, first), 0);
  ASSERT_EQ(UpdatePayload(ya_, first, 8), 0);
  EXPECT_EQ(UpdatePayload(xa_, first, 9), kConflict);
  std::vector<uint8_t> direct(kRecLen);
  StoreLE32(direct.data(), ya_.Position());
  xa_.len = kRecLen;
  ASSERT_EQ(xa_.Call(kOpGetDirect, direct.data(), &xa_.len, -1), 0);
  EXPECT_EQ(direct[kPayload], 8);
  ASSERT_EQ(UpdatePayload(ya_, first, 10), 0);
  EXPECT_EQ(Delete(xa_), kConflict);
  EXPECT_EQ(PayloadOf(first), 10);

  // Update Chunk: 80 as well, and the record keeps the other's change.
  ASSERT_EQ(GetEqual(xa_, 3), 0);
  ASSERT_EQ(GetEqual(ya_, 3), 0);
  ASSERT_EQ(UpdatePayload(ya_, 3, 11), 0);
  uint8_t chunk[16 + 1] = {};
  StoreLE32(chunk, 0x80000000u);  // random, direct
  StoreLE32(chunk + 4, 1);
  StoreLE32(chunk + 8, kPayload);
  StoreLE32(chunk + 12, 1);
  chunk[16] = 12;
  xa_.len = sizeof chunk;
  EXPECT_EQ(xa_.Call(kOpUpdateChunk, chunk, &xa_.len, 0), kConflict);
  EXPECT_EQ(PayloadOf(3), 11);
}

TEST_F(Conflicts, AReadInsideATransactionOutdatedByAnotherClientGives80) {
  ASSERT_EQ(Simple(ya_, kBiasConcurrent + kOpBeginTransaction), 0);
  ASSERT_EQ(GetEqual(ya_, 2), 0);
  ASSERT_EQ(GetEqual(xa_, 2), 0);
  ASSERT_EQ(UpdatePayload(xa_, 2, 12), 0);
  EXPECT_EQ(UpdatePayload(ya_, 2, 13), kConflict);
  ASSERT_EQ(GetEqual(ya_, 2), 0);
  EXPECT_EQ(UpdatePayload(ya_, 2, 14), 0);
  ASSERT_EQ(Simple(ya_, kOpEndTransaction), 0);
  EXPECT_EQ(PayloadOf(2), 14);
}

// Key 1 (name) holds duplicates: "n1" for ids 1, 3, 5 and "n0" for 2, 4.
TEST_F(Conflicts, AWalkOfDuplicatesWhoseRecordAnotherClientTookAwayGives82) {
  auto name = [](const char* n) { return Rec(0, n, 0); };
  auto on_name = [&](Block& b, int op, const char* n) {
    auto key = name(n);
    b.SetKey(key.data() + 4, 4);
    std::vector<uint8_t> r;
    int16_t st = b.Read(op, &r, 1);
    return st == 0 ? IdOf(r) : -1000 - st;
  };
  // Deleted by another client.
  ASSERT_EQ(on_name(xa_, kOpGetEqual, "n1"), 1);
  ASSERT_EQ(GetEqual(ya_, 1), 0);
  ASSERT_EQ(Delete(ya_), 0);
  EXPECT_EQ(on_name(xa_, kOpGetNext, "n1"), -1000 - kLostPosition);
  EXPECT_EQ(on_name(xa_, kOpGetPrevious, "n1"), -1000 - kLostPosition);
  ASSERT_EQ(on_name(xa_, kOpGetEqual, "n1"), 3);  // Get Equal recovers
  // Moved to another value by another client.
  ASSERT_EQ(GetEqual(ya_, 3), 0);
  auto moved = Rec(3, "n0", 30);
  ASSERT_EQ(ya_.Write(kOpUpdate, moved, 0), 0);
  EXPECT_EQ(on_name(xa_, kOpGetNext, "n1"), -1000 - kLostPosition);
  // The block's own Delete keeps its place in the run.
  ASSERT_EQ(on_name(xa_, kOpGetEqual, "n0"), 2);
  ASSERT_EQ(Delete(xa_), 0);
  EXPECT_EQ(on_name(xa_, kOpGetNext, "n0"), 4);
  // On a unique key the successor follows from the value alone.
  ASSERT_EQ(GetEqual(xa_, 4), 0);
  ASSERT_EQ(GetEqual(ya_, 4), 0);
  ASSERT_EQ(Delete(ya_), 0);
  std::vector<uint8_t> r;
  ASSERT_EQ(xa_.Read(kOpGetNext, &r, 0), 0);
  EXPECT_EQ(IdOf(r), 5);
}

// Files written before records carried stamps read as they are, without a
// write, and gain their stamps with their first write.
TEST(StampUpgrade, AnEarlierFileIsReadUnchangedAndGainsStampsAtItsFirstWrite) {
  ScratchDir dir;
  const std::string path = dir.File("v1.btr");
  Block a, b;
  ASSERT_EQ(a.Create(path, ThreeKeySpec()), 0);
  ASSERT_EQ(a.Open(path), 0);
  for (int32_t id = 1; id <= 3; ++id) {
    auto r = Rec(id, "n", static_cast<int16_t>(id));
    ASSERT_EQ(a.Write(kOpInsert, r, 0), 0);
  }
  ASSERT_EQ(a.Close(), 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "ALTER TABLE records DROP COLUMN stamp;"
                         "UPDATE meta SET value = 1 WHERE name = 'version'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  auto bytes = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();

  ASSERT_EQ(a.Open(path), 0);
  ASSERT_EQ(b.Open(path), 0);
  std::vector<uint8_t> r, r2;
  int records = 0;
  for (int16_t st = a.Read(kOpGetFirst, &r, 1); st == 0; st = a.Read(kOpGetNext, &r, 1)) {
    ++records;
  }
  EXPECT_EQ(records, 3);
  ASSERT_EQ(a.Read(kOpStepFirst, &r, 0), 0);
  ASSERT_EQ(b.Read(kOpStepFirst, &r2, 0), 0);
  EXPECT_EQ(bytes(), before) << "reading wrote to the file";
  r[kPayload] = 1;
  ASSERT_EQ(a.Write(kOpUpdate, r, 0), 0);
  r2[kPayload] = 2;
  EXPECT_EQ(b.Write(kOpUpdate, r2, 0), kConflict);
  ASSERT_EQ(b.Read(kOpStepFirst, &r2, 0), 0);
  EXPECT_EQ(r2[kPayload], 1);
  EXPECT_EQ(a.Close(), 0);
  EXPECT_EQ(b.Close(), 0);
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT value FROM meta WHERE name = 'version'", -1, &st,
                               nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), SqliteDataFile::kFormatVersion);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

class ProcessConflicts : public Conflicts {
 protected:
  // A child that reads `id`, then waits to `op` it on that read.
  platform::ChildProcess StaleChild(int32_t id, int op) {
    ready_ = dir_.File("ready" + std::to_string(++children_));
    go_ = ready_ + ".go";
    return StartReady({"stale", path_a_, std::to_string(id), std::to_string(op)}, ready_);
  }

  std::string ready_, go_;
  int children_ = 0;
};

TEST_F(ProcessConflicts, AnotherProcesssOutdatedWriteGives80InBothOrders) {
  // The child read first; this process changes the record; the child's write fails.
  for (int op : {kOpUpdate, kOpDelete}) {
    const int32_t id = op == kOpUpdate ? 1 : 2;
    platform::ChildProcess child = StaleChild(id, op);
    ASSERT_EQ(GetEqual(xa_, id), 0);
    ASSERT_EQ(UpdatePayload(xa_, id, 21), 0);
    Touch(go_);
    EXPECT_EQ(WaitChild(&child), kConflict) << "op " << op;
    EXPECT_EQ(PayloadOf(id), 21);
  }
  // This process read first; the child changes the record; this write fails.
  ASSERT_EQ(GetEqual(xa_, 3), 0);
  ASSERT_EQ(GetEqual(ya_, 3), 0);
  ASSERT_EQ(RunChild({"update", path_a_, "3"}), 0);
  EXPECT_EQ(UpdatePayload(xa_, 3, 22), kConflict);
  EXPECT_EQ(Delete(ya_), kConflict);
  EXPECT_EQ(PayloadOf(3), 9);  // the child's payload
  ASSERT_EQ(GetEqual(xa_, 3), 0);
  EXPECT_EQ(UpdatePayload(xa_, 3, 23), 0);
}

TEST_F(ProcessConflicts, TwoProcessesRaisingCountersLoseNoIncrement) {
  constexpr int kEach = 120;  // increments per process, spread over records 1-3
  platform::ChildProcess one = StartChild({"count", path_a_, std::to_string(kEach)});
  platform::ChildProcess two = StartChild({"count", path_a_, std::to_string(kEach)});
  EXPECT_EQ(WaitChild(&one), 0);
  EXPECT_EQ(WaitChild(&two), 0);
  for (int32_t id = 1; id <= 3; ++id) EXPECT_EQ(PayloadOf(id), 2 * kEach / 3) << id;
}

// One process inserts alone, the other in transactions of three, into one
// file: every insert that answered 0 is in the file, every other is not.
TEST_F(ProcessConflicts, UnderContentionAWritesStatusTellsWhetherItStored) {
  const std::string log = dir_.File("log.txt");
  platform::ChildProcess alone = StartChild({"log", path_a_, log, "1000", "300", "1"});
  platform::ChildProcess grouped = StartChild({"log", path_a_, log, "2000", "300", "3"});
  ASSERT_EQ(WaitChild(&alone), 0);
  ASSERT_EQ(WaitChild(&grouped), 0);
  std::map<int32_t, int> status;
  std::ifstream in(log);
  for (int32_t id, st; in >> id >> st;) status[id] = st;
  EXPECT_EQ(status.size(), 600u);
  for (const auto& [id, st] : status) {
    EXPECT_EQ(GetEqual(xa_, id) == 0, st == 0) << "record " << id << ", status " << st;
  }
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
