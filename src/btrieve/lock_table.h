// Record and file locks of the record manager, between position blocks,
// threads and processes.
//
// Design. A lock lives in two places:
//  - In this process, one FileLocks per data file says which cursor (position
//    block) of which client holds what. Calls are serialised by the
//    dispatcher's lock, so these tables need no lock of their own.
//  - Between processes, byte-range locks (fcntl on POSIX, LockFileEx on
//    Windows) on a side file next to the data file, "<data file>-lock", which
//    stays empty. The system drops a process's byte-range locks when the
//    process ends, however it ends, so a dead owner never blocks anyone and
//    nothing has to be cleaned up. A process takes each byte once, however
//    many of its cursors stand behind it:
//      byte 0            exclusive: an exclusive transaction's file lock;
//                        shared: this process holds record locks in the file
//      byte 1            exclusive: a transaction of this process holds the
//                        file's write lock, so that writers elsewhere give up
//                        at once instead of waiting for its end
//      kRecordBase + p   exclusive: the record at position p is locked here
//    Where the side file cannot be created (read-only folder), locks hold
//    within this process only.
// Rules: cursors of one client may lock the same record together, and each
// must unlock it; a record locked by another client or process gives 84
// (record locked); a file locked by another client's or process's exclusive
// transaction gives 85 (file locked).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/session.h"
#include "foundation/platform/range_locks.h"

namespace tavelnor::btrieve {

enum class LockKind : uint8_t {
  kSingle,    // single-record lock of a cursor (+100, +200)
  kMultiple,  // one of a cursor's multiple-record locks (+300, +400)
  kWrite,     // a record a transaction changed: held by the client until its end
};

struct RecordHolder {
  const Cursor* cursor = nullptr;  // null for kWrite
  ClientId client{};
  LockKind kind = LockKind::kSingle;
  bool in_transaction = false;  // released when the client's transaction ends
};

// The locks of one data file.
class FileLocks {
 public:
  explicit FileLocks(std::string identity);

  const std::string& identity() const { return identity_; }

  // Record locks. 84 or 85 when another client or process stands in the way,
  // with `blocker` set to the client when it is one of this process.
  int LockRecord(uint32_t pos, const Cursor* cursor, const ClientId& client, LockKind kind,
                 bool in_transaction, std::optional<ClientId>* blocker);
  // Releases the cursor's lock of `kind` on `pos`; false when it has none.
  bool UnlockRecord(uint32_t pos, const Cursor* cursor, LockKind kind);
  // Positions the cursor holds locks of `kind` on.
  std::vector<uint32_t> LocksOf(const Cursor* cursor, LockKind kind) const;
  bool Holds(uint32_t pos, const Cursor* cursor, LockKind kind) const;
  // Some cursor or transaction of this process holds a lock on `pos`.
  bool ProcessHolds(uint32_t pos) const { return records_.count(pos) != 0; }
  // Locks are seen by other processes (the side file could be opened).
  bool SharedWithProcesses() const { return side_.is_open(); }
  // Every lock of the cursor (Close, Reset).
  void ReleaseCursor(const Cursor* cursor);
  // Every lock `client` took inside its transaction, its write locks, its
  // file lock and its write lock on the file.
  void ReleaseTransaction(const ClientId& client);

  // May `client` write the file (pos 0), or the record at `pos`? 84/85 when
  // a lock of another client or process forbids it.
  int CheckWrite(uint32_t pos, const ClientId& client, std::optional<ClientId>* blocker) const;
  // Keeps other processes from locking `pos` while this process writes it;
  // false when one holds it. Undone by EndWrite.
  bool BeginWrite(uint32_t pos);
  void EndWrite(uint32_t pos);

  // The file lock of an exclusive transaction: 85 while another client or
  // process holds the file lock or record locks.
  int LockFile(const ClientId& client, std::optional<ClientId>* blocker);
  bool FileLockedBy(const ClientId& client) const { return file_lock_ == client; }

  // The write lock of a transaction (one writer per file): 85 while another
  // client's or process's transaction holds it.
  int TakeWriter(const ClientId& client, std::optional<ClientId>* blocker);
  void DropWriter(const ClientId& client);
  // A transaction other than `client`'s holds the file's write lock: in this
  // process, or (when `elsewhere` is asked) in another process.
  bool WriterOtherThan(const ClientId& client) const;
  bool WriterElsewhere() const;

  // References from open cursors and transaction connections.
  int refs = 0;

 private:
  static constexpr uint64_t kFileByte = 0;
  static constexpr uint64_t kWriterByte = 1;
  static constexpr uint64_t kRecordBase = 16;

  bool Take(uint64_t offset, platform::RangeLockMode mode);
  void Give(uint64_t offset);
  bool Elsewhere(uint64_t offset, platform::RangeLockMode mode) const;
  // Drops the holder at `it`, and the process's byte when it was the last.
  void Remove(std::map<uint32_t, std::vector<RecordHolder>>::iterator rec, size_t index);
  void ProcessReleased(uint32_t pos);

  std::string identity_;
  platform::RangeLockFile side_;
  std::map<uint32_t, std::vector<RecordHolder>> records_;
  std::optional<ClientId> file_lock_;
  std::optional<ClientId> writer_;
};

// The FileLocks of every data file this process has open, by identity, and
// who waits for whom (to answer 78 rather than wait forever in a cycle).
class LockTable {
 public:
  FileLocks& Attach(const std::string& identity);
  void Detach(const std::string& identity);
  FileLocks* Find(const std::string& identity);
  template <typename Fn>
  void ForEach(Fn fn) {
    for (auto& [identity, file] : files_) fn(*file);
  }

  // Records that `waiter` waits for `holder`; false (deadlock) when `holder`
  // waits, directly or through others, for `waiter`.
  bool StartWait(const ClientId& waiter, const ClientId& holder);
  void EndWait(const ClientId& waiter) {
    if (!waits_.empty()) waits_.erase(waiter);
  }

 private:
  std::map<std::string, std::unique_ptr<FileLocks>> files_;
  FileLocks* last_found_ = nullptr;  // the last answer of Find
  std::map<ClientId, ClientId> waits_;
};

}  // namespace tavelnor::btrieve
