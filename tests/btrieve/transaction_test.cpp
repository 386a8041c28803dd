// Transactions: all or nothing across files, visibility to other clients,
// the statuses of misplaced Begin/End/Abort, and what may not run inside.
#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

using Transactions = TwoClients;

constexpr int kConcurrent = kBiasConcurrent + kOpBeginTransaction;

TEST_F(Transactions, AbortLeavesBothFilesAsBefore) {
  const auto before_a = Contents(ya_);
  const auto before_b = Contents(yb_);
  for (int begin : {int{kOpBeginTransaction}, kConcurrent}) {
    SCOPED_TRACE(begin);
    ASSERT_EQ(Simple(xa_, begin), 0);
    ASSERT_EQ(Insert(xa_, 100), 0);
    ASSERT_EQ(GetEqual(xa_, 2), 0);
    ASSERT_EQ(UpdatePayload(xa_, 2, 9), 0);
    ASSERT_EQ(GetEqual(xb_, 4), 0);
    std::vector<uint8_t> none;
    ASSERT_EQ(xb_.Write(kOpDelete, none, 0), 0);
    ASSERT_EQ(Insert(xb_, 300), 0);
    // Inside, the client reads its own changes.
    EXPECT_EQ(GetEqual(xb_, 4), kKeyNotFound);
    EXPECT_EQ(GetEqual(xa_, 100), 0);
    ASSERT_EQ(Simple(xa_, kOpAbortTransaction), 0);
    EXPECT_EQ(Contents(ya_), before_a);
    EXPECT_EQ(Contents(yb_), before_b);
    EXPECT_EQ(Contents(xa_), before_a);
    EXPECT_EQ(GetEqual(xb_, 300), kKeyNotFound);
  }
}

TEST_F(Transactions, OtherClientsSeeOnlyCommittedChanges) {
  ASSERT_EQ(Simple(xa_, kConcurrent), 0);
  ASSERT_EQ(Insert(xa_, 100), 0);
  ASSERT_EQ(GetEqual(xa_, 1), 0);
  ASSERT_EQ(UpdatePayload(xa_, 1, 5), 0);
  // The same client, through another block of the same file, sees them.
  EXPECT_EQ(GetEqual(xa2_, 100), 0);
  EXPECT_EQ(GetEqual(ya_, 100), kKeyNotFound);
  std::vector<uint8_t> r;
  ASSERT_EQ(GetEqual(ya_, 1, 0, &r), 0);
  EXPECT_EQ(r[kRecLen - 1], 0);
  EXPECT_EQ(Contents(ya_).size(), 5u);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  ASSERT_EQ(GetEqual(ya_, 1, 0, &r), 0);
  EXPECT_EQ(r[kRecLen - 1], 5);
  EXPECT_EQ(Contents(ya_).size(), 6u);
}

TEST_F(Transactions, MisplacedCallsGiveTheirStatus) {
  EXPECT_EQ(Simple(xa_, kOpEndTransaction), kNoTransaction);
  EXPECT_EQ(Simple(xa_, kOpAbortTransaction), kNoTransaction);
  ASSERT_EQ(Simple(xa_, kOpBeginTransaction), 0);
  EXPECT_EQ(Simple(xa_, kOpBeginTransaction), kTransactionActive);
  EXPECT_EQ(Simple(xa_, kConcurrent), kTransactionActive);
  // Another client has a transaction of its own.
  EXPECT_EQ(Simple(ya_, kConcurrent), 0);
  EXPECT_EQ(Simple(ya_, kOpEndTransaction), 0);
  // The description of a file does not change inside a transaction.
  char owner[] = "OWNER";
  xa_.SetKey(owner, sizeof owner);
  xa_.len = sizeof owner;
  EXPECT_EQ(xa_.Call(kOpSetOwner, owner, &xa_.len, 0), kNotAllowedNow);
  xa_.len = 0;
  EXPECT_EQ(xa_.Call(kOpClearOwner, nullptr, &xa_.len, 0), kNotAllowedNow);
  EXPECT_EQ(xa_.Call(kOpDropIndex, nullptr, &xa_.len, 1), kNotAllowedNow);
  auto index = MakeSpec(kRecLen, {{{11, 2, kKeyDup, kTypeInteger}}});
  index.erase(index.begin(), index.begin() + 16);
  xa_.len = static_cast<uint32_t>(index.size());
  EXPECT_EQ(xa_.Call(kOpCreateIndex, index.data(), &xa_.len, 0), kNotAllowedNow);
  EXPECT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(Simple(xa_, kOpEndTransaction), kNoTransaction);
}

TEST_F(Transactions, BeginFormsAndBiases) {
  struct Case {
    int op;
    int16_t status;
  } cases[] = {
      {kOpBeginTransaction, 0}, {119, 0}, {219, 0}, {319, 0}, {419, 0}, {1019, 0}, {1119, 0},
      {1219, 0}, {1319, 0}, {1419, 0}, {1519, 0}, {1719, 0}, {1919, 0}, {1020, kInvalidOperation},
      {1619 + 50, kInvalidOperation}, {519, kInvalidOperation}, {120, kInvalidOperation},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    EXPECT_EQ(Simple(xa_, c.op), c.status);
    EXPECT_EQ(Simple(xa_, kOpAbortTransaction), c.status == 0 ? 0 : kNoTransaction);
  }
}

TEST_F(Transactions, FailedWriteInsideUndoesOnlyItself) {
  ASSERT_EQ(Simple(xa_, kConcurrent), 0);
  ASSERT_EQ(Insert(xa_, 100), 0);
  EXPECT_EQ(Insert(xa_, 3), kDuplicateKey);
  ASSERT_EQ(Insert(xa_, 101), 0);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(GetEqual(ya_, 100), 0);
  EXPECT_EQ(GetEqual(ya_, 101), 0);
  EXPECT_EQ(Contents(ya_).size(), 7u);
}

TEST_F(Transactions, OneTransactionWritesAFileAtATime) {
  ASSERT_EQ(Simple(xa_, kConcurrent), 0);
  ASSERT_EQ(Insert(xa_, 100), 0);
  // Outside a transaction or in another one, other clients' writes wait for
  // the end: 85 at once.
  EXPECT_EQ(Insert(ya_, 101), kFileLocked);
  ASSERT_EQ(GetEqual(ya_, 2), 0);
  EXPECT_EQ(UpdatePayload(ya_, 2, 3), kFileLocked);
  ASSERT_EQ(Simple(ya_, kConcurrent), 0);
  EXPECT_EQ(Insert(ya_, 101), kFileLocked);
  EXPECT_EQ(Insert(yb_, 101), 0);  // the other file is free
  ASSERT_EQ(Simple(ya_, kOpEndTransaction), 0);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(Insert(ya_, 101), 0);
  EXPECT_EQ(GetEqual(xb_, 101), 0);
}

TEST_F(Transactions, ExclusiveTransactionLocksTheFilesItTouches) {
  ASSERT_EQ(Simple(xa_, kOpBeginTransaction), 0);
  ASSERT_EQ(GetEqual(xa_, 1), 0);  // a read is enough
  EXPECT_EQ(GetEqual(ya_, 1), 0);  // reads without a lock go on
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), kFileLocked);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasMultipleNoWait), kFileLocked);
  EXPECT_EQ(Insert(ya_, 100), kFileLocked);
  EXPECT_EQ(GetEqual(yb_, 2, kBiasSingleNoWait), 0);  // file b was not touched
  // Touching b now needs its file lock, which y's record lock forbids.
  EXPECT_EQ(GetEqual(xb_, 3), kFileLocked);
  ASSERT_EQ(Unlock(yb_, 0), 0);
  EXPECT_EQ(GetEqual(xb_, 3), 0);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasSingleNoWait), 0);
  EXPECT_EQ(Insert(ya_, 100), 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
