// The record manager's dispatcher: decodes one call of the Btrieve interface
// and runs it against the position block's cursor. Thread-safe: calls are
// serialised on one process-wide lock, released while a call waits for a lock.
#pragma once

#include <cstdint>
#include <span>

#include "btrieve/session.h"

namespace tavelnor::btrieve {

// One call as the entry points receive it. Pointers may be null; lengths are
// capacities on input.
struct Call {
  int op = 0;
  uint8_t* pos_block = nullptr;
  uint8_t* data = nullptr;
  uint32_t* data_len = nullptr;
  uint8_t* key = nullptr;
  uint8_t key_len = 0;
  int key_num = 0;  // signed: 0xFF arrives as -1
  ClientId client{};
};

// Runs one call: decodes biases, takes locks and transactions into account
// (engine_control.cpp), waits when a wait bias meets a held lock.
int16_t Dispatch(const Call& call);
// Gives a read that failed without delivering data a data length of 0; the
// answers that deliver data keep theirs. `call` is the call as received,
// `capacity` its data length on entry, `status` its final answer.
void SettleFailedReadLength(Registry& registry, const Call& call, uint32_t capacity, int status);
// Runs one call whose operation code carries no bias, as if no lock and no
// transaction existed. The caller holds the process-wide lock.
int16_t DispatchBase(Registry& registry, const Call& call);

// Handlers, one per family of operations (engine_*.cpp). `cursor` is the
// position block's cursor, never null.
int DoOpen(Registry& registry, const Call& call);
int DoCreate(Registry& registry, const Call& call);
int DoStat(Cursor& cursor, const Call& call);
int DoVersion(const Call& call);
int DoInsert(Cursor& cursor, const Call& call);
int DoUpdate(Cursor& cursor, const Call& call);
int DoDelete(Cursor& cursor, const Call& call);
int DoGet(Cursor& cursor, const Call& call, int base_op, bool key_only);
int DoStep(Cursor& cursor, const Call& call, int base_op);
int DoGetPosition(Cursor& cursor, const Call& call);
int DoGetDirect(Cursor& cursor, const Call& call);
int DoCreateIndex(Cursor& cursor, const Call& call);
int DoDropIndex(Registry& registry, Cursor& cursor, const Call& call);
int DoSetOwner(Cursor& cursor, const Call& call);
int DoClearOwner(Cursor& cursor, const Call& call);
int DoGetByPercentage(Cursor& cursor, const Call& call);
int DoFindPercentage(Cursor& cursor, const Call& call);
int DoGetDirectChunk(Cursor& cursor, const Call& call);
int DoUpdateChunk(Cursor& cursor, const Call& call);
int DoGetExtended(Cursor& cursor, const Call& call, int base_op);
int DoStepExtended(Cursor& cursor, const Call& call, int base_op);
int DoInsertExtended(Cursor& cursor, const Call& call);

// Before Get Next/Previous walk on from the logical record along `key`: 82
// when another client deleted or re-keyed it within a run of duplicates.
int CheckLogicalEntry(Cursor& cursor, const KeyDef& key);
// Copies a record into the caller's data buffer: 22 when it does not fit (a
// variable-length record is cut to fit, a fixed one is not written).
int ReturnRecord(const Cursor& cursor, const Call& call, std::span<const uint8_t> record);
// Copies the key of `num` from `record` into the key buffer: 21 when short.
int ReturnKey(const Cursor& cursor, const Call& call, int num, const std::vector<uint8_t>& record);

}  // namespace tavelnor::btrieve
