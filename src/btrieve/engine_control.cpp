// The dispatcher: decodes biases, runs transaction and lock operations, and
// wraps the plain operations (engine.cpp) in the checks that locks and
// transactions call for. A call that meets a held lock with a wait bias
// leaves the process-wide lock, sleeps a little and tries again, until it
// gets its lock or its wait would close a cycle (78, lock_table.h).
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine_state.h"

namespace tavelnor::btrieve {

namespace {

constexpr int kMaxWaitSleepMs = 20;

bool TakesLockBias(int base) {
  return (base >= kOpGetEqual && base <= kOpGetLast) ||
         (base >= kOpGetEqual + kGetKeyBias && base <= kOpGetLast + kGetKeyBias) ||
         base == kOpGetDirect || base == kOpStepNext ||
         (base >= kOpStepFirst && base <= kOpStepPrevious) || (base >= 36 && base <= 39) ||
         base == kOpGetByPercentage || base == kOpUpdate || base == kOpUpdateChunk ||
         base == kOpBeginTransaction;
}

// Reads whose record a lock bias locks. The extended operations take the
// bias but lock nothing.
bool LocksOnRead(int base) {
  return (base >= kOpGetEqual && base <= kOpGetLast) ||
         (base >= kOpGetEqual + kGetKeyBias && base <= kOpGetLast + kGetKeyBias) ||
         base == kOpGetDirect || base == kOpStepNext ||
         (base >= kOpStepFirst && base <= kOpStepPrevious) || base == kOpGetByPercentage;
}

bool IsWrite(int base) {
  return base == kOpInsert || base == kOpUpdate || base == kOpDelete ||
         base == kOpInsertExtended || base == kOpUpdateChunk;
}

// Changes of the file's description: not inside a transaction (41).
bool ChangesDescription(int base) {
  return base == kOpSetOwner || base == kOpClearOwner || base == kOpCreateIndex ||
         base == kOpDropIndex;
}

std::mutex& TheMutex() {
  static std::mutex mutex;
  return mutex;
}

EngineState& TheEngine() {
  static EngineState engine;
  static const bool hooked = [] {
    engine.registry.SetReleaseHook([](Cursor& c) { OnReleased(engine, c); });
    return true;
  }();
  (void)hooked;
  return engine;
}

// Runs the call; when it meets a lock it may wait for, `blocker` names the
// client of this process in the way, or `refused_in` the file whose lock
// another process holds.
int RunCall(EngineState& e, const Call& raw, std::optional<ClientId>* blocker, bool* may_wait,
            FileLocks** refused_in) {
  OpCode oc;
  if (!DecodeOp(raw.op, &oc)) return kInvalidOperation;
  Call call = raw;
  call.op = oc.base;
  e.caller = call.client;
  e.writing = false;
  switch (oc.base) {
    case kOpBeginTransaction:
      return BeginTransaction(e, call.client, oc);
    case kOpEndTransaction:
      return EndTransaction(e, call.client, true);
    case kOpAbortTransaction:
      return EndTransaction(e, call.client, false);
    case kOpReset:
      (void)EndTransaction(e, call.client, false);
      return DispatchBase(e.registry, call);
    case kOpOpen: {
      int st = DispatchBase(e.registry, call);
      if (st == kOk) {
        if (Cursor* c = e.registry.Find(call.pos_block, call.client)) OnOpened(e, *c);
      }
      return st;
    }
    default:
      break;
  }
  // Get Position only reads the cursor: no lock or transaction applies.
  if (oc.base == kOpGetPosition) return DispatchBase(e.registry, call);
  Cursor* cursor = call.pos_block ? e.registry.Find(call.pos_block, call.client) : nullptr;
  FileLocks* f = cursor ? e.locks.Find(cursor->file->identity) : nullptr;
  if (cursor == nullptr || f == nullptr || oc.base == kOpClose) {
    if (oc.base == kOpUnlock) return kFileNotOpen;
    return DispatchBase(e.registry, call);
  }
  if (oc.base == kOpUnlock) return DoUnlock(*cursor, *f, call);
  f->ClearRefusal();
  *refused_in = f;
  Transaction* t = e.TransactionOf(call.client);
  if (t != nullptr && ChangesDescription(oc.base)) return kNotAllowedNow;
  if (t != nullptr && t->exclusive && oc.base != kOpStat) {
    if (int st = f->LockFile(call.client, blocker); st != kOk) {
      *may_wait = t->wait_for_files;
      return st;
    }
  }
  if (IsWrite(oc.base) || ChangesDescription(oc.base)) {
    return GuardedWrite(e, *cursor, *f, t, call, blocker);
  }
  if (LocksOnRead(oc.base)) {
    const int bias = oc.lock_bias != 0 ? oc.lock_bias : (t ? t->read_bias : 0);
    if (bias != 0) {
      *may_wait = bias == kBiasSingleWait || bias == kBiasMultipleWait;
      return LockedRead(e, *cursor, *f, t, call, bias, blocker);
    }
  }
  return DispatchBase(e.registry, call);
}

}  // namespace

bool DecodeOp(int op, OpCode* out) {
  *out = OpCode{};
  if (op >= kBiasConcurrent && op < 2 * kBiasConcurrent) {
    int rest = op - kBiasConcurrent;
    if (rest >= kBiasNoPageWait) rest -= kBiasNoPageWait;  // our writes never wait anyway
    const int bias = rest - kOpBeginTransaction;
    if (bias < 0 || bias > kBiasMultipleNoWait || bias % 100 != 0) return false;
    *out = OpCode{kOpBeginTransaction, bias, true};
    return true;
  }
  if (op < 0 || op >= kBiasNoPageWait) return false;
  out->base = op % 100;
  out->lock_bias = op - out->base;
  return out->lock_bias == 0 || TakesLockBias(out->base);
}

int16_t Dispatch(const Call& call) {
  EngineState& e = TheEngine();
  const uint32_t capacity = call.data_len != nullptr ? *call.data_len : 0;
  int delay_ms = 1;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(TheMutex());
      std::optional<ClientId> blocker;
      bool may_wait = false;
      FileLocks* refused_in = nullptr;
      int st = RunCall(e, call, &blocker, &may_wait, &refused_in);
      const bool blocked = may_wait && (st == kRecordLocked || st == kFileLocked);
      if (!blocked) {
        e.locks.EndWait(call.client);
        SettleFailedReadLength(e.registry, call, capacity, st);
        return static_cast<int16_t>(st);
      }
      WaitTarget target;
      if (blocker) {
        target.client = *blocker;
      } else if (refused_in != nullptr) {
        target = refused_in->Refuser();
      }
      // Every round looks again: a holder that let go or ended (the system
      // dropped its locks) lets the call through; a cycle gives 78.
      if (!e.locks.StartWait(call.client, std::move(target))) {
        SettleFailedReadLength(e.registry, call, capacity, kDeadlock);
        return kDeadlock;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    delay_ms = std::min(delay_ms * 2, kMaxWaitSleepMs);
  }
}

}  // namespace tavelnor::btrieve
