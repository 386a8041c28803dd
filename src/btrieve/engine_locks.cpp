// Reads that lock their record, writes that respect other clients' locks,
// and Unlock (design notes in lock_table.h).
#include <cstring>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine_state.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

// A locking read retries this often when another process keeps changing the
// record between the read and the lock.
constexpr int kLockedReadTries = 3;

// The caller's output buffers as they were before a call, to put back when
// the call ends without its lock.
class OutputSnapshot {
 public:
  explicit OutputSnapshot(const Call& call) : call_(call) {
    if (call.data_len != nullptr) {
      len_ = *call.data_len;
      if (call.data != nullptr) data_.assign(call.data, call.data + len_);
    }
    if (call.key != nullptr) key_.assign(call.key, call.key + call.key_len);
  }
  void Restore() const {
    if (call_.data_len != nullptr) {
      *call_.data_len = len_;
      if (call_.data != nullptr) std::memcpy(call_.data, data_.data(), data_.size());
    }
    if (call_.key != nullptr) std::memcpy(call_.key, key_.data(), key_.size());
  }

 private:
  const Call& call_;
  uint32_t len_ = 0;
  std::vector<uint8_t> data_, key_;
};

}  // namespace

int LockedRead(EngineState& e, Cursor& cursor, FileLocks& f, const Transaction* t,
               const Call& call, int bias, std::optional<ClientId>* blocker) {
  const bool single = bias == kBiasSingleWait || bias == kBiasSingleNoWait;
  const LockKind kind = single ? LockKind::kSingle : LockKind::kMultiple;
  if (!f.LocksOf(&cursor, single ? LockKind::kMultiple : LockKind::kSingle).empty()) {
    return kIncompatibleLockType;
  }
  const Cursor saved = cursor;
  const OutputSnapshot before(call);
  for (int attempt = 0; attempt < kLockedReadTries; ++attempt) {
    int st = DispatchBase(e.registry, call);
    if (st != kOk) return st;
    const uint32_t pos = cursor.physical_pos;
    const bool process_had = f.ProcessHolds(pos);
    st = f.LockRecord(pos, &cursor, call.client, kind, t != nullptr, blocker);
    if (st != kOk) {
      cursor = saved;
      before.Restore();
      return st;
    }
    bool done = process_had || !f.SharedWithProcesses();
    if (!done) {
      // The lock was just taken from other processes: read again under it,
      // in case one of them changed the record after the first read.
      cursor = saved;
      before.Restore();
      st = DispatchBase(e.registry, call);
      done = st == kOk && cursor.physical_pos == pos;
      if (!done) {
        (void)f.UnlockRecord(pos, &cursor, kind);
        if (st != kOk) return st;
        cursor = saved;
        before.Restore();
      }
    }
    if (done) {
      // A cursor holds one single-record lock: the new one replaces the old.
      if (single) {
        for (uint32_t p : f.LocksOf(&cursor, LockKind::kSingle)) {
          if (p != pos) (void)f.UnlockRecord(p, &cursor, LockKind::kSingle);
        }
      }
      return kOk;
    }
  }
  return kRecordLocked;
}

int GuardedWrite(EngineState& e, Cursor& cursor, FileLocks& f, Transaction* t, const Call& call,
                 std::optional<ClientId>* blocker) {
  const int op = call.op;
  if (cursor.read_only) return DispatchBase(e.registry, call);  // 46, nothing to lock
  const bool positioned = op == kOpUpdate || op == kOpDelete || op == kOpUpdateChunk;
  const uint32_t pos =
      positioned && cursor.physical == Cursor::Physical::kOn ? cursor.physical_pos : 0;
  if (int st = f.CheckWrite(pos, call.client, blocker); st != kOk) return st;
  if (t != nullptr) {
    if (int st = JoinTransaction(e, cursor, *t); st != kOk) return st;
  }
  if (!f.BeginWrite(pos)) return kRecordLocked;
  e.writing = true;
  int st = DispatchBase(e.registry, call);
  e.writing = false;
  if (st == kOk && pos != 0) {
    // Update gives up the cursor's single-record lock, Delete every lock of
    // the cursor on the record; multiple-record locks outlive an Update.
    (void)f.UnlockRecord(pos, &cursor, LockKind::kSingle);
    if (op == kOpDelete) (void)f.UnlockRecord(pos, &cursor, LockKind::kMultiple);
    if (t != nullptr && !t->exclusive) {
      std::optional<ClientId> ignored;
      (void)f.LockRecord(pos, nullptr, call.client, LockKind::kWrite, true, &ignored);
    }
  }
  f.EndWrite(pos);
  return st;
}

int DoUnlock(Cursor& cursor, FileLocks& f, const Call& call) {
  if (call.key_num >= 0) {
    std::vector<uint32_t> held = f.LocksOf(&cursor, LockKind::kSingle);
    if (held.empty()) return kLockError;
    for (uint32_t pos : held) (void)f.UnlockRecord(pos, &cursor, LockKind::kSingle);
    return kOk;
  }
  if (call.key_num == -1) {
    if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 4) {
      return kDataBufferTooShort;
    }
    return f.UnlockRecord(LoadLE32(call.data), &cursor, LockKind::kMultiple) ? kOk : kLockError;
  }
  if (call.key_num == -2) {
    for (uint32_t pos : f.LocksOf(&cursor, LockKind::kMultiple)) {
      (void)f.UnlockRecord(pos, &cursor, LockKind::kMultiple);
    }
    return kOk;
  }
  return kInvalidKeyNumber;
}

}  // namespace tavelnor::btrieve
