// Record locks between the position blocks of two clients in one process:
// 84 and 85, the lifetime of single and multiple locks, Unlock's forms and
// statuses, wait biases that resume when the holder lets go, and cycles.
#include <atomic>
#include <chrono>
#include <thread>

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
  const auto start = Clock::now();
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
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_EQ(GetEqual(xa_, 4, kBiasSingleNoWait), kRecordLocked);
}

TEST_F(Locks, AWaitThatWouldCloseACycleGives78) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), 0);
  int16_t status = -1;
  std::thread waiter([&] { status = GetEqual(xa2_, 2, kBiasSingleWait); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(GetEqual(ya2_, 1, kBiasSingleWait), kDeadlock);
  ASSERT_EQ(Unlock(ya_, 0), 0);
  waiter.join();
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
