// The record manager's process-wide state — position blocks, locks and the
// clients' transactions — and the steps that engine_control.cpp runs around
// the plain operations to honour locks and transactions.
//
// Transactions. A transaction writes through one connection of its own,
// opened at its first write on the first file it writes, holding that
// file's SQLite write lock (BEGIN IMMEDIATE) until End or Abort; each
// further file is attached to it and write-locked at its first write there
// (engine_transactions.cpp); each write in it is a savepoint. So the client
// reads its own changes (its cursors on those files are routed to that
// connection), other clients and processes read the last committed state, a
// failed write inside undoes only itself, Abort rolls every file back, and
// End commits every file or none, also when the process dies at any moment
// (SQLite's commit over attached databases; a failed commit gives 74). One
// transaction at a time may write a file: another client's write gets 85 at
// once, in this process or (through the lock file's writer byte) any other.
// Exclusive transactions (19) also lock every file they touch (85 for other
// clients' writes and locking reads); concurrent ones (1019) lock the
// records they change, and a lock bias on Begin becomes the default lock of
// the reads inside.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "btrieve/engine.h"
#include "btrieve/lock_table.h"

namespace tavelnor::btrieve {

// An operation code taken apart.
struct OpCode {
  int base = 0;        // the operation without biases
  int lock_bias = 0;   // 0, 100, 200, 300 or 400
  bool concurrent = false;  // Begin Transaction 1019
};
// False for codes that are no operation, or carry a bias it does not take.
bool DecodeOp(int op, OpCode* out);

struct Transaction {
  struct Written {
    std::string identity;
    std::unique_ptr<DataFile> data;  // in a SQLite transaction until End/Abort
  };
  bool exclusive = true;
  int read_bias = 0;              // default lock bias of reads (concurrent form)
  bool wait_for_files = false;    // exclusive form with a wait bias
  std::vector<Written> written;   // in the order first written; the first
                                  // one's connection carries the others
  int schemas = 0;                // files attached to that connection so far
  std::set<Cursor*> routed;       // cursors reading through `written`

  DataFile* Connection(const std::string& identity) {
    for (Written& w : written) {
      if (w.identity == identity) return w.data.get();
    }
    return nullptr;
  }
};

struct EngineState {
  Registry registry;
  LockTable locks;
  std::map<ClientId, std::unique_ptr<Transaction>> transactions;
  std::set<const Cursor*> attached;  // cursors holding a reference in `locks`
  // The call running now, for the busy handler of the connections.
  ClientId caller{};
  bool writing = false;

  Transaction* TransactionOf(const ClientId& client) {
    if (transactions.empty()) return nullptr;
    auto it = transactions.find(client);
    return it == transactions.end() ? nullptr : it->second.get();
  }
};

// engine_transactions.cpp
int BeginTransaction(EngineState& e, const ClientId& client, const OpCode& op);
// Commits (or with !commit, rolls back) the client's transaction; 39 without one.
int EndTransaction(EngineState& e, const ClientId& client, bool commit);
// Makes the cursor's file part of the transaction: its own connection, the
// file's write lock, the client's cursors routed to it.
int JoinTransaction(EngineState& e, Cursor& cursor, Transaction& t);
void OnOpened(EngineState& e, Cursor& cursor);
void OnReleased(EngineState& e, Cursor& cursor);

// engine_locks.cpp. `blocker` names the client of this process in the way.
int LockedRead(EngineState& e, Cursor& cursor, FileLocks& f, const Transaction* t,
               const Call& call, int bias, std::optional<ClientId>* blocker);
int GuardedWrite(EngineState& e, Cursor& cursor, FileLocks& f, Transaction* t, const Call& call,
                 std::optional<ClientId>* blocker);
int DoUnlock(Cursor& cursor, FileLocks& f, const Call& call);

}  // namespace tavelnor::btrieve
