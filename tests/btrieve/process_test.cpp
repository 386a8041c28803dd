// Locks and transactions between processes: a child process (the test
// binary in a role, child_roles.h) meets the parent's locks and transactions,
// and the parent meets the child's, including after the child was killed.
#include <thread>

#include "child_roles.h"
#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

class Processes : public TwoClients {
 protected:
  int Child(const std::string& role, int32_t id, int op) {
    return RunChild({role, path_a_, std::to_string(id), std::to_string(op)});
  }
  // Starts a child holding a lock of `op` on `id`; returns once it holds it.
  platform::ChildProcess Holder(int32_t id, int op) {
    ready_ = dir_.File("ready" + std::to_string(++children_));
    go_ = ready_ + ".go";
    platform::ChildProcess child =
        StartChild({"hold", path_a_, std::to_string(id), std::to_string(op), ready_, go_});
    EXPECT_TRUE(WaitForFile(ready_));
    return child;
  }
  int Kill(platform::ChildProcess* child) {
    EXPECT_TRUE(platform::KillProcess(*child).ok());
    return WaitChild(child);
  }

  std::string ready_, go_;
  int children_ = 0;
};

TEST_F(Processes, RecordLocksReachOtherProcesses) {
  ASSERT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), 0);
  ASSERT_EQ(GetEqual(ya_, 3, kBiasMultipleNoWait), 0);
  EXPECT_EQ(Child("lock", 2, kOpGetEqual + kBiasSingleNoWait), kRecordLocked);
  EXPECT_EQ(Child("lock", 3, kOpGetEqual + kBiasMultipleNoWait), kRecordLocked);
  EXPECT_EQ(Child("lock", 2, kOpGetEqual), 0);
  EXPECT_EQ(Child("lock", 4, kOpGetEqual + kBiasSingleNoWait), 0);
  EXPECT_EQ(Child("update", 2, 0), kRecordLocked);
  ASSERT_EQ(Unlock(xa_, 0), 0);
  ASSERT_EQ(Unlock(ya_, -2), 0);
  EXPECT_EQ(Child("lock", 2, kOpGetEqual + kBiasSingleNoWait), 0);
  EXPECT_EQ(Child("lock", 3, kOpGetEqual + kBiasMultipleNoWait), 0);
  EXPECT_EQ(Child("update", 2, 0), 0);
}

TEST_F(Processes, AnotherProcesssLockKeepsThisOneOut) {
  platform::ChildProcess child = Holder(2, kOpGetEqual + kBiasMultipleNoWait);
  EXPECT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), kRecordLocked);
  EXPECT_EQ(GetEqual(ya_, 2, kBiasMultipleNoWait), kRecordLocked);
  ASSERT_EQ(GetEqual(xa_, 2), 0);
  EXPECT_EQ(UpdatePayload(xa_, 2, 6), kRecordLocked);
  EXPECT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  Touch(go_);
  EXPECT_EQ(WaitChild(&child), 0);
  EXPECT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), 0);
}

TEST_F(Processes, ADeadOwnersLocksAreGone) {
  platform::ChildProcess child = Holder(2, kOpGetEqual + kBiasSingleNoWait);
  EXPECT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), kRecordLocked);
  EXPECT_EQ(Kill(&child), -1);
  EXPECT_EQ(GetEqual(xa_, 2, kBiasSingleNoWait), 0);
  EXPECT_EQ(UpdatePayload(xa_, 2, 6), 0);
}

TEST_F(Processes, AnotherProcesssTransactionIsInvisibleAndLeavesNoTraceWhenKilled) {
  const std::string ready = dir_.File("txn-ready");
  platform::ChildProcess child = StartChild({"txn", path_a_, "100", ready});
  ASSERT_TRUE(WaitForFile(ready));
  EXPECT_EQ(GetEqual(xa_, 100), kKeyNotFound);
  EXPECT_EQ(GetEqual(xa_, 1), 0);
  EXPECT_EQ(Contents(xa_).size(), 5u);
  EXPECT_EQ(Insert(xa_, 101), kFileLocked);
  ASSERT_EQ(Simple(ya_, kBiasConcurrent + kOpBeginTransaction), 0);
  EXPECT_EQ(Insert(ya_, 102), kFileLocked);
  EXPECT_EQ(Insert(yb_, 102), 0);  // the other file is free
  ASSERT_EQ(Simple(ya_, kOpEndTransaction), 0);
  EXPECT_EQ(Kill(&child), -1);
  EXPECT_EQ(GetEqual(xa_, 100), kKeyNotFound);
  EXPECT_EQ(Insert(xa_, 101), 0);
  EXPECT_EQ(Contents(xa_).size(), 6u);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
