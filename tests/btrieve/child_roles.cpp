// The roles a child of the multi-process tests plays (child_roles.h). Each
// opens the data file itself, so nothing of the parent's state is shared.
//   lock|path|id|op            Get Equal on key 0 with `op`: exit = status
//   cycle|path|mine|theirs|ready|go  locks `mine`, creates `ready`, waits
//                              for `go`, then waits for a lock on `theirs`:
//                              exit = that status (78: after unlocking
//                              `mine`)
//   idle|path|ready|go|release  client x locks 1, creates `ready`, waits for
//                              `go`; then client y waits for a lock on 2
//                              while x waits for `release` and unlocks 1:
//                              exit = y's status
// Roles that wait for a lock end with kChildTimedOut when no answer came
// within kLongWaitMs, so that a test never hangs on them.
//   update|path|id             Get Equal, then Update: exit = Update's status
//   hold|path|id|op|ready|go   reads with lock `op`, creates `ready`, waits
//                              for `go`, unlocks
//   txn|path|id|ready          inserts `id` in a concurrent transaction,
//                              creates `ready`, then waits to be killed
//   exclusive|path|ready       reads in an exclusive transaction, creates
//                              `ready`, then waits to be killed
//   write|path|ack|start|batch|count  inserts `count` records from `start`
//                              on, `batch` per transaction (1: none),
//                              appending each id to `ack` once acknowledged,
//                              then waits to be killed
//   pair|path|path2|ack|start|count|step  inserts `count` records from
//                              `start` on, each transaction the same two ids
//                              into both files, appending them to `ack` once
//                              End answered 0, then waits to be killed; with
//                              `step` > 0 the process ends before that step
//                              of its file I/O (crash_vfs.h)
//   stale|path|id|op|ready|go  Get Equal, creates `ready`, waits for `go`,
//                              then Update (op 3, payload 77) or Delete
//                              (op 4) on that old read: exit = its status
//   count|path|n               `n` increments of the payload of records
//                              1, 2, 3 in turn, each read, raised and
//                              updated, read again after 80 (or 84, 85):
//                              exit 0 once all are done
//   sqlite-write|path          SQLite's own BEGIN IMMEDIATE on the file,
//                              beside the record manager: exit = its result
//   log|path|log|start|n|batch inserts ids start.. start+n-1, `batch` per
//                              transaction (1: none), appending "id status"
//                              to `log` for each (in a transaction: the
//                              failing insert's status, or End's)
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <sstream>

#include "child_roles.h"
#include "crash_records.h"
#include "crash_vfs.h"
#include "foundation/platform/process.h"
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr int kLongWaitMs = 30000;

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, '|');) out.push_back(part);
  return out;
}

int16_t Simple(Block& b, int op) {
  b.len = 0;
  return b.Call(op, nullptr, &b.len, 0);
}

int16_t GetEqual(Block& b, int32_t id, int op) {
  auto r = Rec(id, "", 0);
  b.SetKey(r.data(), 4);
  std::vector<uint8_t> buf;
  return b.Read(op, &buf, 0);
}

// Once a writer has written its ids it waits to be killed, so that the ids
// of a round never depend on how fast the machine is.
int WaitToBeKilled(const std::string& ack) {
  (void)WaitForFile(ack + ".never", kLongWaitMs);
  return kChildSetupFailed;
}

int Writer(const std::string& path, const std::string& ack, int32_t start, int batch,
           int32_t count) {
  Block b;
  if (b.Open(path) != 0) return kChildSetupFailed;
  std::ofstream out(ack, std::ios::app);
  for (int32_t id = start; id + batch <= start + count; id += batch) {
    if (batch > 1 && Simple(b, kBiasConcurrent + kOpBeginTransaction) != 0) return 1;
    for (int k = 0; k < batch; ++k) {
      auto r = CrashRecord(id + k);
      if (int16_t st = b.Write(kOpInsert, r, 0); st != 0) return st;
    }
    if (batch > 1 && Simple(b, kOpEndTransaction) != 0) return 2;
    for (int k = 0; k < batch; ++k) out << id + k << '\n';
    out.flush();  // written to the system before the next insert
  }
  return WaitToBeKilled(ack);
}

int PairWriter(const std::string& path, const std::string& path2, const std::string& ack,
               int32_t start, int32_t count) {
  Block b, b2;
  if (b.Open(path) != 0 || b2.Open(path2) != 0) return kChildSetupFailed;
  std::ofstream out(ack, std::ios::app);
  for (int32_t id = start; id + 2 <= start + count; id += 2) {
    if (Simple(b, kBiasConcurrent + kOpBeginTransaction) != 0) return 1;
    for (int32_t k = id; k < id + 2; ++k) {
      for (Block* file : {&b, &b2}) {
        auto r = CrashRecord(k);
        if (int16_t st = file->Write(kOpInsert, r, 0); st != 0) return st;
      }
    }
    if (Simple(b, kOpEndTransaction) != 0) return 2;
    out << id << '\n' << id + 1 << '\n';
    out.flush();
  }
  return WaitToBeKilled(ack);
}

// The payload byte of a three-key record (record_fixture.h).
constexpr size_t kPayload = kRecLen - 1;

int Counter(Block& b, int n) {
  for (int done = 0; done < n;) {
    const int32_t id = 1 + done % 3;
    auto key = Rec(id, "", 0);
    b.SetKey(key.data(), 4);
    std::vector<uint8_t> r;
    int16_t st = b.Read(kOpGetEqual, &r, 0);
    if (st != 0) return 100 + st;
    r[kPayload]++;
    st = b.Write(kOpUpdate, r, 0);
    if (st == 0) {
      ++done;
    } else if (st != kConflict && st != kRecordLocked && st != kFileLocked) {
      return 100 + st;
    }
  }
  return 0;
}

int Logger(Block& b, const std::string& log, int32_t start, int n, int batch) {
  std::ofstream out(log, std::ios::app);
  for (int32_t id = start; id + batch <= start + n; id += batch) {
    if (batch > 1 && Simple(b, kBiasConcurrent + kOpBeginTransaction) != 0) return 1;
    int16_t st = 0;
    for (int k = 0; k < batch && st == 0; ++k) {
      auto r = CrashRecord(id + k);
      st = b.Write(kOpInsert, r, 0);
      if (batch == 1) out << id << ' ' << st << '\n';
    }
    if (batch > 1) {
      st = st == 0 ? Simple(b, kOpEndTransaction) : (Simple(b, kOpAbortTransaction), st);
      for (int k = 0; k < batch; ++k) out << id + k << ' ' << st << '\n';
    }
    out.flush();
  }
  return 0;
}

// Ends the process with kChildTimedOut after kLongWaitMs, whatever it does.
void StartWatchdog() {
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(kLongWaitMs));
    std::_Exit(kChildTimedOut);
  }).detach();
}

int Run(const std::vector<std::string>& a) {
  if (a.size() < 2) return kChildSetupFailed;
  const std::string& role = a[0];
  const std::string& path = a[1];
  if (role == "lock" || role == "cycle" || role == "idle") StartWatchdog();
  Block b;
  if (role == "write" && a.size() == 6) {
    return Writer(path, a[2], std::atoi(a[3].c_str()), std::atoi(a[4].c_str()),
                  std::atoi(a[5].c_str()));
  }
  if (role == "pair" && a.size() == 7) {
    CrashAtIoStep(std::atol(a[6].c_str()));
    return PairWriter(path, a[2], a[3], std::atoi(a[4].c_str()), std::atoi(a[5].c_str()));
  }
  if (role == "sqlite-write" && a.size() == 2) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return kChildSetupFailed;
    }
    const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
  }
  if (b.Open(path) != 0) return kChildSetupFailed;
  if (role == "stale" && a.size() == 6) {
    std::vector<uint8_t> r;
    auto key = Rec(std::atoi(a[2].c_str()), "", 0);
    b.SetKey(key.data(), 4);
    if (b.Read(kOpGetEqual, &r, 0) != 0) return kChildSetupFailed;
    Touch(a[4]);
    if (!WaitForFile(a[5], kLongWaitMs)) return kChildSetupFailed;
    r[kPayload] = 77;
    return b.Write(std::atoi(a[3].c_str()), r, 0);
  }
  if (role == "count" && a.size() == 3) return Counter(b, std::atoi(a[2].c_str()));
  if (role == "log" && a.size() == 6) {
    return Logger(b, a[2], std::atoi(a[3].c_str()), std::atoi(a[4].c_str()),
                  std::atoi(a[5].c_str()));
  }
  if (role == "lock" && a.size() == 4) {
    return GetEqual(b, std::atoi(a[2].c_str()), std::atoi(a[3].c_str()));
  }
  if (role == "cycle" && a.size() == 6) {
    if (GetEqual(b, std::atoi(a[2].c_str()), kOpGetEqual + kBiasSingleNoWait) != 0) {
      return kChildSetupFailed;
    }
    Touch(a[4]);
    if (!WaitForFile(a[5], kLongWaitMs)) return kChildSetupFailed;
    const int16_t st = GetEqual(b, std::atoi(a[3].c_str()), kOpGetEqual + kBiasSingleWait);
    if (st == kDeadlock) {
      b.len = 0;
      if (b.Call(kOpUnlock, nullptr, &b.len, 0) != 0) return kChildSetupFailed;
    }
    return st;
  }
  if (role == "idle" && a.size() == 5) {
    Block y;
    const uint8_t x_id[16] = {'x'}, y_id[16] = {'y'};
    b.client = x_id;
    y.client = y_id;
    if (b.Open(path) != 0 || y.Open(path) != 0) return kChildSetupFailed;
    if (GetEqual(b, 1, kOpGetEqual + kBiasSingleNoWait) != 0) return kChildSetupFailed;
    Touch(a[2]);
    if (!WaitForFile(a[3], kLongWaitMs)) return kChildSetupFailed;
    std::atomic<int> st{-1};
    std::thread waiter([&] { st = GetEqual(y, 2, kOpGetEqual + kBiasSingleWait); });
    if (WaitForFile(a[4], kLongWaitMs)) {
      b.len = 0;
      (void)b.Call(kOpUnlock, nullptr, &b.len, 0);
    }
    waiter.join();
    return st;
  }
  if (role == "update" && a.size() >= 3) {
    const int32_t id = std::atoi(a[2].c_str());
    if (GetEqual(b, id, kOpGetEqual) != 0) return kChildSetupFailed;
    auto r = Rec(id, "n" + std::to_string(id % 2), static_cast<int16_t>(id * 10), 9);
    return b.Write(kOpUpdate, r, 0);
  }
  if (role == "hold" && a.size() == 6) {
    if (int16_t st = GetEqual(b, std::atoi(a[2].c_str()), std::atoi(a[3].c_str())); st != 0) {
      return st;
    }
    Touch(a[4]);
    if (!WaitForFile(a[5], kLongWaitMs)) return kChildSetupFailed;
    uint8_t none[4] = {};
    b.len = 4;
    return b.Call(kOpUnlock, none, &b.len, std::atoi(a[3].c_str()) >= 300 ? -2 : 0);
  }
  if (role == "txn" && a.size() == 4) {
    if (Simple(b, kBiasConcurrent + kOpBeginTransaction) != 0) return kChildSetupFailed;
    auto r = Rec(std::atoi(a[2].c_str()), "txn", 999);
    if (int16_t st = b.Write(kOpInsert, r, 0); st != 0) return st;
    Touch(a[3]);
    (void)WaitForFile(a[3] + ".never", kLongWaitMs);
    return kChildSetupFailed;
  }
  if (role == "exclusive" && a.size() == 3) {
    if (Simple(b, kOpBeginTransaction) != 0) return kChildSetupFailed;
    std::vector<uint8_t> buf;
    if (int16_t st = b.Read(kOpGetFirst, &buf, 0); st != 0) return st;
    Touch(a[2]);
    (void)WaitForFile(a[2] + ".never", kLongWaitMs);
    return kChildSetupFailed;
  }
  return kChildSetupFailed;
}

// Runs before the tests: a child plays its role and ends here.
const bool kChildRoleRan = [] {
  auto value = platform::GetEnv(kChildVar);
  if (!value) return false;
  std::_Exit(Run(Split(*value)));
}();

}  // namespace
}  // namespace tavelnor::btrieve::testing
