// Writers killed outright at random moments, many times over: afterwards
// every insert a writer saw acknowledged is in the file, no transaction is
// half there (neither within a file nor across two files), and every index
// holds exactly the records.
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "child_roles.h"
#include "crash_records.h"
#include "crash_vfs.h"

namespace tavelnor::btrieve::testing {
namespace {

// Each round's writer inserts at most kIdsPerRound ids, then waits to be
// killed: ids of a round never meet another's, and with at most kMaxRounds
// rounds every id stays below 65,536, so that the unique 2-byte code key 2
// derives from it (crash_records.h) never repeats.
constexpr int kIdsPerRound = 1500;
constexpr int kMaxRounds = 40;
constexpr int kBatch = 3;  // inserts per transaction in odd rounds
static_assert(kIdsPerRound * kMaxRounds < 65536 && kIdsPerRound % (2 * kBatch) == 0);

size_t AckBytes(const std::string& ack) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(ack, ec);
  return ec ? 0 : static_cast<size_t>(size);
}

std::set<int32_t> Acknowledged(const std::string& ack) {
  std::set<int32_t> ids;
  std::ifstream in(ack);
  for (int32_t id; in >> id;) ids.insert(id);
  return ids;
}

// Checks the file against the acknowledgements: every record reads back
// through every key, and each key holds exactly the records.
void Verify(const std::string& path, const std::set<int32_t>& acked,
            const std::map<int32_t, int>& round_batch) {
  Block b;
  ASSERT_EQ(b.Open(path), 0);
  std::set<int32_t> present;
  std::vector<uint8_t> r;
  for (int16_t st = b.Read(kOpStepFirst, &r, 0); st != kEndOfFile; st = b.Read(kOpStepNext, &r, 0)) {
    ASSERT_EQ(st, 0);
    const int32_t id = IdOf(r);
    ASSERT_EQ(r, CrashRecord(id)) << "record " << id << " damaged";
    ASSERT_TRUE(present.insert(id).second) << "record " << id << " twice";
    // Its code finds it through key 2.
    std::vector<uint8_t> found;
    b.SetKey(r.data() + 8, 2);
    ASSERT_EQ(b.Read(kOpGetEqual, &found, 2), 0) << id;
    ASSERT_EQ(IdOf(found), id);
  }
  for (int32_t id : acked) EXPECT_EQ(present.count(id), 1u) << "acknowledged " << id << " lost";
  for (int key : {0, 1, 2}) {
    size_t entries = 0;
    for (int16_t st = b.Read(kOpGetFirst, &r, key); st == 0; st = b.Read(kOpGetNext, &r, key)) {
      ++entries;
    }
    EXPECT_EQ(entries, present.size()) << "key " << key;
  }
  // Transactions are all there or not at all.
  for (int32_t id : present) {
    auto round = round_batch.find((id - 1) / kIdsPerRound);
    ASSERT_NE(round, round_batch.end());
    if (round->second == 1) continue;
    const int32_t first = id - (id - 1) % kIdsPerRound % kBatch;
    for (int32_t k = first; k < first + kBatch; ++k) {
      EXPECT_EQ(present.count(k), 1u) << "transaction of " << first << " cut at " << k;
    }
  }
  EXPECT_EQ(b.Close(), 0);
}

// Kills `writer` `delay_ms` after its first acknowledged write (so that a
// slow start on a loaded machine never leaves a round empty); false when it
// acknowledged nothing within a minute.
bool KillAfterFirstAck(platform::ChildProcess* writer, const std::string& ack, int delay_ms) {
  const size_t acked_before = AckBytes(ack);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (AckBytes(ack) == acked_before) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
  return platform::KillProcess(*writer).ok();
}

TEST(Crash, KilledWritersLoseNoAcknowledgedRecordAndLeaveIndexesWhole) {
  ScratchDir dir;
  const std::string path = dir.File("crash.btr");
  const std::string ack = dir.File("ack.txt");
  Block setup;
  ASSERT_EQ(setup.Create(path, ThreeKeySpec()), 0);
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delay_ms(20, 220);
  std::map<int32_t, int> round_batch;
  constexpr int kRounds = 16;
  static_assert(kRounds <= kMaxRounds);
  for (int round = 0; round < kRounds; ++round) {
    const int batch = round % 2 == 1 ? kBatch : 1;
    round_batch[round] = batch;
    platform::ChildProcess writer = StartChild(
        {"write", path, ack, std::to_string(round * kIdsPerRound + 1), std::to_string(batch),
         std::to_string(kIdsPerRound)});
    ASSERT_TRUE(KillAfterFirstAck(&writer, ack, delay_ms(random))) << "round " << round;
    ASSERT_EQ(WaitChild(&writer), -1) << "the writer stopped by itself";
    if (round % 8 == 7) Verify(path, Acknowledged(ack), round_batch);
    if (HasFatalFailure()) return;
  }
  const std::set<int32_t> acked = Acknowledged(ack);
  // Every round was killed after at least one acknowledged write.
  EXPECT_GE(acked.size(), static_cast<size_t>(kRounds));
  Verify(path, acked, round_batch);
}

// The ids in the file, each record checked whole.
std::set<int32_t> IdsIn(const std::string& path) {
  Block b;
  std::set<int32_t> ids;
  EXPECT_EQ(b.Open(path), 0) << path;
  std::vector<uint8_t> r;
  for (int16_t st = b.Read(kOpStepFirst, &r, 0); st != kEndOfFile;
       st = b.Read(kOpStepNext, &r, 0)) {
    EXPECT_EQ(st, 0) << path;
    if (st != 0) break;
    EXPECT_EQ(r, CrashRecord(IdOf(r))) << "record " << IdOf(r) << " damaged";
    ids.insert(IdOf(r));
  }
  EXPECT_EQ(b.Close(), 0);
  return ids;
}

// Each transaction inserts ids n, n+1 (n odd) into both files.
void VerifyPair(const std::string& path, const std::string& path2, const std::set<int32_t>& acked) {
  const std::set<int32_t> first = IdsIn(path), second = IdsIn(path2);
  for (int32_t id : acked) {
    EXPECT_EQ(first.count(id), 1u) << "acknowledged " << id << " lost in the first file";
    EXPECT_EQ(second.count(id), 1u) << "acknowledged " << id << " lost in the second file";
  }
  for (const std::set<int32_t>* ids : {&first, &second}) {
    for (int32_t id : *ids) {
      const int32_t partner = id % 2 == 1 ? id + 1 : id - 1;
      EXPECT_EQ(ids->count(partner), 1u) << "transaction of " << id << " cut within a file";
      EXPECT_EQ(first.count(id) + second.count(id), 2u)
          << "transaction of " << id << " in one file only";
    }
  }
}

// Odd rounds end the writer at a chosen step of its file I/O, so that some
// land between the writes of one commit; even rounds kill it after a delay.
TEST(Crash, KilledTwoFileWritersLeaveEveryTransactionInBothFilesOrInNone) {
  ScratchDir dir;
  const std::string path = dir.File("left.btr");
  const std::string path2 = dir.File("right.btr");
  const std::string ack = dir.File("ack.txt");
  for (const std::string& p : {path, path2}) {
    Block setup;
    ASSERT_EQ(setup.Create(p, ThreeKeySpec()), 0);
  }
  std::mt19937 random(20261205);
  std::uniform_int_distribution<int> delay_ms(20, 220);
  std::uniform_int_distribution<int> io_step(1, 300);
  constexpr int kRounds = 16;
  static_assert(kRounds <= kMaxRounds);
  for (int round = 0; round < kRounds; ++round) {
    const bool at_step = round % 2 == 1;
    const int step = at_step ? io_step(random) : 0;
    platform::ChildProcess writer = StartChild({"pair", path, path2, ack,
                                                std::to_string(round * kIdsPerRound + 1),
                                                std::to_string(kIdsPerRound),
                                                std::to_string(step)});
    if (at_step) {
      ASSERT_EQ(WaitChild(&writer), kCrashedAtStep) << "step " << step;
    } else {
      ASSERT_TRUE(KillAfterFirstAck(&writer, ack, delay_ms(random))) << "round " << round;
      ASSERT_EQ(WaitChild(&writer), -1) << "the writer stopped by itself";
    }
    if (round % 8 == 7) VerifyPair(path, path2, Acknowledged(ack));
    if (HasFailure()) return;
  }
  const std::set<int32_t> acked = Acknowledged(ack);
  // Every killed round acknowledged at least one transaction of two ids.
  EXPECT_GE(acked.size(), static_cast<size_t>(kRounds));
  VerifyPair(path, path2, acked);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
