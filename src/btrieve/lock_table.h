// Record and file locks of the record manager, between position blocks,
// threads and processes.
//
// Design. A lock lives in two places:
//  - In this process, one FileLocks per data file says which cursor (position
//    block) of which client holds what. Calls are serialised by the
//    dispatcher's lock, so these tables need no lock of their own.
//  - Between processes, byte-range locks (fcntl on POSIX, LockFileEx on
//    Windows) on the data file's lock file: named after the file's identity
//    (device and inode, or volume and file index: every path to the file
//    finds it) in the machine's lock folder (platform::LockFolder), never
//    beside the data, so that reading a file changes nothing in its folder.
//    Lock files stay empty and are never removed (another process may hold
//    one). The system drops a process's byte-range locks when the process
//    ends, however it ends, so a dead owner never blocks anyone and nothing
//    has to be cleaned up. A process takes each byte once, however many of
//    its cursors stand behind it:
//      byte 0            exclusive: an exclusive transaction's file lock;
//                        shared: this process holds record locks in the file
//      byte 1            exclusive: a transaction of this process holds the
//                        file's write lock, so that writers elsewhere give up
//                        at once instead of waiting for its end
//      kRecordBase + p   exclusive: the record at position p is locked here
//    Where no lock folder can be used, locks hold within this process only.
//    The lock folder is of one machine: processes of other machines sharing
//    the data over a network do not see these locks.
// Rules: cursors of one client may lock the same record together, and each
// must unlock it; a record locked by another client or process gives 84
// (record locked); a file locked by another client's or process's exclusive
// transaction gives 85 (file locked).
//
// Waits. A call with a wait bias that meets a lock waits (Dispatch retries);
// a wait that would close a cycle gives 78 (deadlock) instead. The table
// knows which client of this process waits for which client, or for which
// process: the holder of the byte it was refused (fcntl's F_GETLK names it).
// Waits for other processes are published in the lock folder
// (process_waits.h), and a waiting client follows the chain: from a client
// to what it waits for; from another process to what that process's
// published waits name; from a byte of this process back to the clients
// holding it. A chain back to the waiting client is a cycle. Within this
// process, the client whose wait closes the cycle gets 78; a cycle through
// other processes is broken by the process of highest id in it (its client
// gets 78, the others keep waiting), so exactly one side gives up. Each
// published wait lists the bytes held by the clients it holds up (the
// waiting one and those of its process waiting for it), and a process
// reached through one of its bytes is followed only along the waits that
// hold that byte. Limits: past ProcessWaits::kMaxHeld bytes held, a wait is
// published as holding any byte; of several processes sharing a byte only
// the one F_GETLK names is followed; on Windows no holder can be named, so
// waits between processes are not followed there and end only when the
// holder lets go (or ends).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/process_waits.h"
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

// What a waiting client waits for: a client of this process, or else the
// process holding byte `wanted` (pid 0: unknown).
struct WaitTarget {
  std::optional<ClientId> client;
  uint32_t pid = 0;
  LockByte wanted;
};

// The locks of one data file.
class FileLocks {
 public:
  // `lock_name`: the file's identity, which names its lock file in `folder`
  // (empty: no lock folder; locks hold in this process only).
  FileLocks(std::string lock_name, const std::string& folder);

  const std::string& lock_name() const { return lock_name_; }

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
  // Locks are seen by other processes (the lock file could be opened).
  bool SharedWithProcesses() const { return side_.is_open(); }
  // The clients of this process whose locks hold `offset` of the lock file.
  std::vector<ClientId> HoldersOf(uint64_t offset) const;
  // Adds to `out` the bytes of the lock file that locks of `clients` hold.
  void HeldBy(const std::vector<ClientId>& clients, std::vector<LockByte>* out) const;
  // The process in the way of the last lock another process refused since
  // ClearRefusal (pid 0 when none was refused, or its holder is unknown).
  WaitTarget Refuser() const;
  void ClearRefusal() { refused_ = false; }
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

  std::string lock_name_;
  platform::RangeLockFile side_;
  // The byte and mode of the last lock another process refused.
  mutable bool refused_ = false;
  mutable uint64_t refused_offset_ = 0;
  mutable platform::RangeLockMode refused_mode_ = platform::RangeLockMode::kExclusive;
  std::map<uint32_t, std::vector<RecordHolder>> records_;
  std::optional<ClientId> file_lock_;
  std::optional<ClientId> writer_;
};

// The FileLocks of every data file this process has open, found by the
// identity of its SharedFile (a path), and who waits for whom.
class LockTable {
 public:
  // The locks of the file open at `path`: the file's identity is taken once,
  // when no open file of this process has that path, so that every path to
  // one file shares its locks.
  FileLocks& Attach(const std::string& path);
  void Detach(const std::string& path);
  FileLocks* Find(const std::string& path);
  template <typename Fn>
  void ForEach(Fn fn) {
    for (auto& [name, file] : files_) fn(*file);
  }

  // Records that `waiter` waits for `target` (and publishes it when that is
  // another process); false (deadlock: the caller answers 78 and ends the
  // wait) when the wait closes a cycle that this side must break.
  bool StartWait(const ClientId& waiter, WaitTarget target);
  void EndWait(const ClientId& waiter);

 private:
  struct Path {
    FileLocks* file = nullptr;
    int refs = 0;
  };
  // True when what `target` waits for leads back to `start`; `pids` gets the
  // other processes on the way.
  bool LeadsBack(const ClientId& start, const WaitTarget& target, int depth,
                 std::vector<uint32_t>* pids, std::vector<ClientId>* seen_clients,
                 std::vector<std::pair<uint32_t, LockByte>>* seen_bytes);
  // `waiter` and the clients whose waits in this process lead to it.
  std::vector<ClientId> HeldUpBy(const ClientId& waiter) const;
  void Publish();

  std::map<std::string, std::unique_ptr<FileLocks>> files_;  // by lock name
  std::map<std::string, Path> paths_;
  const std::string* last_path_ = nullptr;  // the last answer of Find
  FileLocks* last_found_ = nullptr;
  std::map<ClientId, WaitTarget> waits_;
  size_t remote_waits_ = 0;  // entries of `waits_` on another process
  ProcessWaits published_;
};

}  // namespace tavelnor::btrieve
