// Record locks between the position blocks of two clients in one process:
// 84 and 85, the lifetime of single and multiple locks, Unlock's forms and
// statuses, wait biases that resume when the holder lets go, and cycles.
#include <atomic>
#include <chrono>
#include <thread>

#include "btrieve/process_waits.h"
#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

using Locks = TwoClients;
using Clock = std::chrono::steady_clock;

TEST_F(Locks, SingleLockKeepsOtherClientsOut) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), kRecordLocked);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasMultipleNoWait), kRecordLocked);
  // Reading without a lock goes on, and so do locks on other records.
  EXPECT_EQ(GetEqual(ya_, 1), 0);
  EXPECT_EQ(UpdatePayload(ya_, 1, 4), kRecordLocked);
  std::vector<uint8_t> none;
  EXPECT_EQ(ya_.Write(kOpDelete, none, 0), kRecordLocked);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), 0);
  // Every read form that takes a bias locks the record it lands on.
  std::vector<uint8_t> r;
  EXPECT_EQ(ya_.Read(kOpStepFirst + kBiasSingleNoWait, &r, 0), kRecordLocked);
  EXPECT_EQ(ya_.Read(kOpGetFirst + kBiasSingleNoWait, &r, 0), kRecordLocked);
  ya_.SetKey(Rec(1, "", 0).data(), 4);
  EXPECT_EQ(ya_.Read(kOpGetEqual + kGetKeyBias + kBiasSingleNoWait, &r, 0), kRecordLocked);
  ASSERT_EQ(Unlock(xa_, 0), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), 0);
  EXPECT_EQ(UpdatePayload(ya_, 1, 4), 0);
}

TEST_F(Locks, FailedLockLeavesCurrencyAndBuffersAlone) {
  ASSERT_EQ(GetEqual(xa_, 3, kBiasSingleNoWait), 0);
  std::vector<uint8_t> r;
  ASSERT_EQ(GetEqual(ya_, 2, 0, &r), 0);
  std::vector<uint8_t> buf(64, 0xEE);
  ya_.len = static_cast<uint32_t>(buf.size());
  ASSERT_EQ(ya_.Call(kOpGetNext + kBiasSingleNoWait, buf.data(), &ya_.len, 0), kRecordLocked);
  EXPECT_EQ(buf, std::vector<uint8_t>(64, 0xEE));
  EXPECT_EQ(ya_.len, 0u);  // nothing delivered
  // Still on record 2: the next record after it is 3, then 4.
  ASSERT_EQ(ya_.Read(kOpGetNext, &r, 0), 0);
  EXPECT_EQ(IdOf(r), 3);
}

TEST_F(Locks, BlocksOfOneClientShareALockAndEachMustUnlock) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(GetEqual(xa2_, 1, kBiasSingleNoWait), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), kRecordLocked);
  ASSERT_EQ(Unlock(xa_, 0), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), kRecordLocked);
  ASSERT_EQ(Unlock(xa2_, 0), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), 0);
  // Two blocks of y's: x still meets the lock of either.
  ASSERT_EQ(GetEqual(ya2_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(Unlock(ya_, 0), 0);
  EXPECT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), kRecordLocked);
}

TEST_F(Locks, MultipleLocksAccumulateAndUnlockOneOrAll) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasMultipleNoWait), 0);
  const uint32_t first = xa_.Position();
  std::vector<uint8_t> r;
  ASSERT_EQ(xa_.Read(kOpGetNext + kBiasMultipleNoWait, &r, 0), 0);
  ASSERT_EQ(xa_.Read(kOpGetNext + kBiasMultipleNoWait, &r, 0), 0);
  for (int32_t id : {1, 2, 3}) EXPECT_EQ(GetEqual(ya_, id, kBiasSingleNoWait), kRecordLocked);
  ASSERT_EQ(Unlock(xa_, -1, first), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), 0);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), kRecordLocked);
  ASSERT_EQ(Unlock(xa_, -2), 0);
  EXPECT_EQ(GetEqual(ya_, 3, kBiasSingleNoWait), 0);
}

TEST_F(Locks, UnlockStatuses) {
  EXPECT_EQ(Unlock(xa_, 0), kLockError);  // no single lock
  ASSERT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), 0);
  const uint32_t pos = xa_.Position();
  EXPECT_EQ(Unlock(xa_, -1, pos), kLockError);  // the lock is of the other kind
  EXPECT_EQ(GetEqual(xa_, 3, kBiasMultipleNoWait), kIncompatibleLockType);
  EXPECT_EQ(GetEqual(xa_, 3, kBiasMultipleWait), kIncompatibleLockType);
  ASSERT_EQ(Unlock(xa_, 0), 0);
  ASSERT_EQ(GetEqual(xa_, 3, kBiasMultipleNoWait), 0);
  EXPECT_EQ(GetEqual(xa_, 4, kBiasSingleWait), kIncompatibleLockType);
  EXPECT_EQ(Unlock(xa_, -1, pos), kLockError);  // not locked
  EXPECT_EQ(Unlock(xa_, -1, 0x7FFFFF), kLockError);
  xa_.len = 2;
  uint8_t short_buf[2] = {};
  EXPECT_EQ(xa_.Call(kOpUnlock, short_buf, &xa_.len, -1), kDataBufferTooShort);
  EXPECT_EQ(Unlock(xa_, -3), kInvalidKeyNumber);
  Block closed;
  EXPECT_EQ(Unlock(closed, 0), kFileNotOpen);
  // Biases on operations that take none.
  auto r = Rec(50, "", 0);
  xa_.len = kRecLen;
  EXPECT_EQ(xa_.Call(kOpInsert + kBiasSingleWait, r.data(), &xa_.len, 0), kInvalidOperation);
  EXPECT_EQ(xa_.Call(kOpStat + kBiasSingleNoWait, r.data(), &xa_.len, 0), kInvalidOperation);
}

TEST_F(Locks, WritesReleaseLocksAsTheirKindSays) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(UpdatePayload(xa_, 1, 1), 0);
  EXPECT_EQ(GetEqual(ya_, 1, kBiasSingleNoWait), 0) << "Update drops a single lock";
  ASSERT_EQ(Unlock(ya_, 0), 0);
  ASSERT_EQ(GetEqual(xa_, 2, kBiasMultipleNoWait), 0);
  ASSERT_EQ(UpdatePayload(xa_, 2, 1), 0);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), kRecordLocked) << "but not a multiple one";
  std::vector<uint8_t> none;
  ASSERT_EQ(xa_.Write(kOpDelete, none, 0), 0);
  EXPECT_EQ(Unlock(xa_, -2), 0);
  EXPECT_EQ(GetEqual(ya_, 2), kKeyNotFound);
  // The lock went with the record: its neighbour can be locked by y.
  EXPECT_EQ(GetEqual(ya_, 3, kBiasSingleNoWait), 0);
}

TEST_F(Locks, TransactionEndReleasesTheLocksTakenInsideIt) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);  // before: survives End
  ASSERT_EQ(Simple(xa_, kBiasConcurrent + kOpBeginTransaction), 0);
  ASSERT_EQ(GetEqual(xa2_, 2, kBiasMultipleNoWait), 0);
  ASSERT_EQ(GetEqual(xb_, 2, kBiasSingleNoWait), 0);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), 0);
  EXPECT_EQ(GetEqual(yb_, 2, kBiasSingleNoWait), 0);
  EXPECT_EQ(GetEqual(ya2_, 1, kBiasSingleNoWait), kRecordLocked);
}

TEST_F(Locks, ConcurrentTransactionLocksTheRecordsItChanges) {
  ASSERT_EQ(Simple(xa_, kBiasConcurrent + kOpBeginTransaction), 0);
  ASSERT_EQ(GetEqual(xb_, 3), 0);
  ASSERT_EQ(UpdatePayload(xb_, 3, 8), 0);
  std::vector<uint8_t> r;
  EXPECT_EQ(GetEqual(yb_, 3, kBiasSingleNoWait, &r), kRecordLocked);
  ASSERT_EQ(GetEqual(yb_, 3, 0, &r), 0);
  EXPECT_EQ(r[kRecLen - 1], 0) << "the old image";
  EXPECT_EQ(GetEqual(yb_, 4, kBiasSingleNoWait), 0);
  ASSERT_EQ(Unlock(yb_, 0), 0);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  ASSERT_EQ(GetEqual(yb_, 3, kBiasSingleNoWait, &r), 0);
  EXPECT_EQ(r[kRecLen - 1], 8);
}

TEST_F(Locks, WaitBiasResumesWhenTheHolderUnlocks) {
  ASSERT_EQ(GetEqual(xa_, 4, kBiasSingleNoWait), 0);
  std::atomic<bool> done{false};
  int16_t status = -1;
  std::thread waiter([&] {
    status = GetEqual(ya_, 4, kBiasSingleWait);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(done.load());
  // Other calls go on while it waits.
  EXPECT_EQ(GetEqual(xa2_, 5), 0);
  ASSERT_EQ(Unlock(xa_, 0), 0);
  waiter.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(GetEqual(xa_, 4, kBiasSingleNoWait), kRecordLocked);
}

// x holds 1 and waits for 2, y holds 2 and waits for 1, in either order:
// the wait that closes the cycle gets 78, the other gets its lock once the
// loser lets go of its own.
TEST_F(Locks, AWaitThatWouldCloseACycleGives78) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), 0);
  std::atomic<int> status[2] = {-1, -1};
  std::thread waiters[2] = {
      std::thread([&] { status[0] = GetEqual(xa2_, 2, kBiasSingleWait); }),
      std::thread([&] { status[1] = GetEqual(ya2_, 1, kBiasSingleWait); })};
  Block* holders[2] = {&xa_, &ya_};
  // Hang guard only: waits until one of `which` answered, at most 30 s.
  auto first_of = [&](std::initializer_list<int> which) {
    for (auto end = Clock::now() + std::chrono::seconds(30); Clock::now() < end;) {
      for (int i : which) {
        if (status[i] != -1) return i;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  };
  const int loser = first_of({0, 1});
  EXPECT_GE(loser, 0) << "no wait ended";
  if (loser >= 0) {
    EXPECT_EQ(status[loser], kDeadlock);
    EXPECT_EQ(Unlock(*holders[loser], 0), 0);
    EXPECT_EQ(first_of({1 - loser}), 1 - loser) << "the other wait never ended";
    EXPECT_EQ(status[1 - loser], 0);
  }
  for (Block* b : holders) (void)Unlock(*b, 0);  // ends any wait left
  for (std::thread& t : waiters) t.join();
}

// Another process's published waits are read back only whole: a text cut
// anywhere (a torn read) or changed anywhere is refused, never misread.
TEST(ProcessWaitsText, ReadBackWholeOrNotAtAll) {
  const std::vector<ProcessWait> waits = {
      {4242, {"803-1a2b", 16 + 7}, {{"803-1a2b", 0}, {"803-1a2b", 16 + 3}, {"10-ff", 1}}, false},
      {7, {"10-ff", 0}, {}, true},
      {9, {"10-ff", 20}, {}, false}};
  const std::string text = ProcessWaits::Format(waits);
  std::vector<ProcessWait> back;
  ASSERT_TRUE(ProcessWaits::Parse(text, &back));
  EXPECT_EQ(back, waits);
  EXPECT_TRUE(back[0].Holds({"803-1a2b", 19}));
  EXPECT_FALSE(back[0].Holds({"803-1a2b", 20}));
  EXPECT_TRUE(back[1].Holds({"1-2", 5}));
  EXPECT_FALSE(back[2].Holds({"10-ff", 20}));
  for (size_t n = 0; n < text.size(); ++n) {
    EXPECT_FALSE(ProcessWaits::Parse(text.substr(0, n), &back)) << n;
    std::string changed = text;
    changed[n] = changed[n] == '1' ? '2' : '1';
    EXPECT_FALSE(ProcessWaits::Parse(changed, &back)) << n;
  }
  EXPECT_FALSE(ProcessWaits::Parse(text + "x", &back));
  ASSERT_TRUE(ProcessWaits::Parse(ProcessWaits::Format({}), &back));
  EXPECT_TRUE(back.empty());
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
