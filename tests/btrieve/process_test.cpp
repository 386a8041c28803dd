// Locks and transactions between processes: a child process (the test
// binary in a role, child_roles.h) meets the parent's locks and transactions,
// and the parent meets the child's, including after the child was killed.
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "btrieve/process_waits.h"
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
    return StartReady({"hold", path_a_, std::to_string(id), std::to_string(op)}, ready_);
  }
  int Kill(platform::ChildProcess* child) {
    EXPECT_TRUE(platform::KillProcess(*child).ok());
    return WaitChild(child);
  }
  // Hang guard only: the waits `pid` publishes, once it publishes any (or
  // none after 30 s).
  static std::vector<ProcessWait> AwaitWaits(uint32_t pid) {
    std::vector<ProcessWait> waits;
    for (int tries = 0; tries < 6000 && (waits = ProcessWaits::Of(pid)).empty(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return waits;
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

// Two processes, each holding one record and waiting for the other's: the
// process of higher id gets 78 and lets go, the other then gets its lock.
// The children end themselves when no answer comes (child_roles.cpp).
TEST_F(Processes, ACycleOfWaitsAcrossProcessesGives78ToOneSide) {
  const std::string go = dir_.File("cycle.go");
  platform::ChildProcess children[2];
  uint32_t pids[2] = {};
  for (int i : {0, 1}) {
    const std::string ready = dir_.File("cycle" + std::to_string(i));
    children[i] = StartChild({"cycle", path_a_, std::to_string(1 + i), std::to_string(2 - i),
                              ready, go});
    pids[i] = children[i].pid;
    EXPECT_TRUE(WaitForFile(ready));
  }
  Touch(go);
  const int codes[2] = {WaitChild(&children[0]), WaitChild(&children[1])};
  const int loser = codes[0] == kDeadlock ? 0 : 1;
  EXPECT_EQ(codes[loser], kDeadlock);
  EXPECT_EQ(codes[1 - loser], 0);
  EXPECT_GT(pids[loser], pids[1 - loser]) << "the process of highest id gives up";
}

// A cycle through clients of this process and another process: x holds 1
// and waits for y's 3, y waits for the child's 2, the child waits for x's 1.
// One of the three gets 78; once it lets go, the next wait ends with its
// lock, and once this process lets go of everything, the last one too.
TEST_F(Processes, ACycleThroughClientsAndAProcessGives78Once) {
  ASSERT_EQ(GetEqual(xa_, 1, kBiasSingleNoWait), 0);
  ASSERT_EQ(GetEqual(ya_, 3, kBiasSingleNoWait), 0);
  const std::string ready = dir_.File("mixed"), go = ready + ".go";
  platform::ChildProcess child = StartReady({"cycle", path_a_, "2", "1"}, ready);
  std::atomic<int> status[3] = {-1, -1, -1};  // x, y, the child
  std::thread parties[3] = {
      std::thread([&] { status[0] = GetEqual(xa2_, 3, kBiasSingleWait); }),
      std::thread([&] { status[1] = GetEqual(ya2_, 2, kBiasSingleWait); }),
      std::thread([&] { status[2] = WaitChild(&child); })};
  Touch(go);
  // Hang guard only: waits until `done` holds, at most 40 s.
  auto await = [&](auto done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
         !done() && std::chrono::steady_clock::now() < end;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  auto count = [&](int value) {
    return std::count_if(std::begin(status), std::end(status),
                         [value](const std::atomic<int>& s) { return s == value; });
  };
  // The child ends itself within 30 s whatever happens, and with it its
  // locks: x and y then get theirs once this process lets go of its own.
  await([&] { return count(kDeadlock) > 0 || count(-1) == 0; });
  const int loser = status[0] == kDeadlock ? 0 : status[1] == kDeadlock ? 1 : 2;
  if (loser < 2) {
    EXPECT_EQ(Unlock(loser == 0 ? xa_ : ya_, 0), 0);  // the child unlocks itself
  }
  await([&] { return count(-1) < 2; });  // a second party got its lock
  for (Block* b : {&xa_, &ya_}) (void)Unlock(*b, 0);
  await([&] { return count(-1) == 0; });
  for (std::thread& t : parties) t.join();
  EXPECT_EQ(status[loser], kDeadlock);
  EXPECT_EQ(count(0), 2) << status[0] << " " << status[1] << " " << status[2];
}

// Child p: its client x holds 1 and does not wait, its client y waits for
// child c's 2; c waits for 1. No cycle (x may let go, and does): nobody
// gets 78, c gets 1, then y gets 2. c, started last, has the higher id, so
// it would be the one to give up if it took p for waiting with x's byte.
TEST_F(Processes, AClientThatDoesNotWaitClosesNoCycle) {
  const std::string p_ready = dir_.File("p"), p_go = p_ready + ".go", release = p_ready + ".rel";
  const std::string c_ready = dir_.File("c"), c_go = c_ready + ".go";
  platform::ChildProcess p = StartChild({"idle", path_a_, p_ready, p_go, release});
  EXPECT_TRUE(WaitForFile(p_ready));
  platform::ChildProcess c = StartReady({"cycle", path_a_, "2", "1"}, c_ready);
  Touch(p_go);
  AwaitWaits(p.pid);
  Touch(c_go);
  AwaitWaits(c.pid);
  Touch(release);
  EXPECT_EQ(WaitChild(&c), 0);
  EXPECT_EQ(WaitChild(&p), 0);
}

// A wait on another process's lock ends when that process dies.
TEST_F(Processes, AWaitEndsWhenTheHolderDies) {
  platform::ChildProcess holder = Holder(2, kOpGetEqual + kBiasSingleNoWait);
  platform::ChildProcess waiter =
      StartChild({"lock", path_a_, "2", std::to_string(kOpGetEqual + kBiasSingleWait)});
  // The waiter says it waits for the holder.
  const std::vector<ProcessWait> waits = AwaitWaits(waiter.pid);
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].pid, holder.pid);
  EXPECT_EQ(Kill(&holder), -1);
  EXPECT_EQ(WaitChild(&waiter), 0);
  EXPECT_TRUE(ProcessWaits::Of(waiter.pid).empty());
}

// Opening a file afresh, while this process's transaction holds SQLite's
// write lock on it, must not drop that lock: closing any descriptor of the
// file in the process would.
TEST_F(Processes, OpeningAFileAgainKeepsTheWriteLockOfATransactionOnIt) {
  ASSERT_EQ(Simple(xb_, kBiasConcurrent + kOpBeginTransaction), 0);
  ASSERT_EQ(Insert(xb_, 100), 0);
  ASSERT_EQ(RunChild({"sqlite-write", path_b_}), SQLITE_BUSY);
  // Every block on the file closed, the transaction goes on; then opened again.
  ASSERT_EQ(xb_.Close(), 0);
  ASSERT_EQ(yb_.Close(), 0);
  ASSERT_EQ(yb_.Open(path_b_), 0);
  EXPECT_EQ(RunChild({"sqlite-write", path_b_}), SQLITE_BUSY);
  ASSERT_EQ(Simple(xa_, kOpEndTransaction), 0);
  EXPECT_EQ(RunChild({"sqlite-write", path_b_}), SQLITE_OK);
  EXPECT_EQ(Contents(yb_).size(), 6u);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
