// Begin, End and Abort Transaction, the connection a transaction writes
// through, and the bookkeeping when cursors open and close (design notes in
// engine_state.h).
//
// All or nothing across files: a transaction writes through ONE SQLite
// connection. Its first file opens it (BEGIN IMMEDIATE); every further file
// is attached to it under a schema name of its own (DataFile::JoinConnection)
// and its statements name their tables through that schema. End is then a
// single COMMIT, which SQLite makes atomic over all the attached databases
// (rollback journals, full sync: a super-journal names every file's journal
// and its deletion is the one moment of commit; a process killed before it
// leaves every file to be rolled back, killed after it leaves every file
// committed). Files in WAL mode would commit one by one; our files are
// created in rollback journal mode. Kept per file: the FileLocks (lock file,
// writer byte) and each file's read-ahead, which its own writes on the
// shared connection invalidate (the connection's change count moves).
// SQLite attaches at most SQLITE_LIMIT_ATTACHED databases (10 unless built
// otherwise; it cannot be raised past the compiled maximum at run time): a
// transaction writing more files gets 40 on the write to the first file too
// many, and goes on with the others.
#include <chrono>
#include <thread>

#include <sqlite3.h>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine_state.h"

namespace tavelnor::btrieve {

namespace {

// About ten seconds of waiting for a write or commit of another connection.
constexpr int kBusyTries = 1000;

EngineState* g_engine = nullptr;  // for the busy handler; set by OnOpened

// SQLite's busy handler for every connection of a file (`arg`: its
// FileLocks). Waits out the short writes of other connections, but gives up
// at once when a transaction stands in the way: one of this process (waiting
// would stall the process, which runs one call at a time), or, for a write,
// one of another process (it may last long; the caller gets 85).
int OnBusy(void* arg, int count) {
  const auto* f = static_cast<const FileLocks*>(arg);
  if (g_engine != nullptr) {
    if (f->WriterOtherThan(g_engine->caller)) return 0;
    if (g_engine->writing && f->WriterElsewhere()) return 0;
  }
  if (count >= kBusyTries) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(count < 10 ? 1 : 10));
  return 1;
}

// Back to reading and writing through the files' own connections, every
// transaction lock released.
void Finish(EngineState& e, const ClientId& client, Transaction& t) {
  for (Cursor* c : t.routed) c->txn_data = nullptr;
  e.locks.ForEach([&client](FileLocks& f) { f.ReleaseTransaction(client); });
  std::vector<std::string> identities;
  for (Transaction::Written& w : t.written) identities.push_back(w.identity);
  // Closes the connection (the attached files' statements first) before the
  // FileLocks may go.
  while (!t.written.empty()) t.written.pop_back();
  for (const std::string& identity : identities) e.locks.Detach(identity);
}

}  // namespace

int BeginTransaction(EngineState& e, const ClientId& client, const OpCode& op) {
  if (e.TransactionOf(client) != nullptr) return kTransactionActive;
  auto t = std::make_unique<Transaction>();
  t->exclusive = !op.concurrent;
  t->read_bias = op.concurrent ? op.lock_bias : 0;
  t->wait_for_files = !op.concurrent && (op.lock_bias == kBiasSingleWait ||
                                         op.lock_bias == kBiasMultipleWait);
  e.transactions[client] = std::move(t);
  return kOk;
}

int EndTransaction(EngineState& e, const ClientId& client, bool commit) {
  auto it = e.transactions.find(client);
  if (it == e.transactions.end()) return kNoTransaction;
  std::unique_ptr<Transaction> t = std::move(it->second);
  e.transactions.erase(it);
  int status = kOk;
  if (!t->written.empty()) {
    // One connection holds every file written: one commit or rollback.
    DataFile* host = t->written.front().data.get();
    if (!commit) {
      host->RollbackTransaction();
    } else if (host->CommitTransaction() != kOk) {
      status = kEndTurnedIntoAbort;
    }
  }
  Finish(e, client, *t);
  return status;
}

int JoinTransaction(EngineState& e, Cursor& cursor, Transaction& t) {
  const std::string& identity = cursor.file->identity;
  if (DataFile* joined = t.Connection(identity)) {
    cursor.txn_data = joined;
    t.routed.insert(&cursor);
    return kOk;
  }
  FileLocks& f = e.locks.Attach(identity);
  std::optional<ClientId> blocker;
  std::unique_ptr<DataFile> data;
  DataFile* host = t.written.empty() ? nullptr : t.written.front().data.get();
  int st = kOk;
  if (host != nullptr &&
      t.schemas >= sqlite3_limit(host->connection(), SQLITE_LIMIT_ATTACHED, -1)) {
    st = kTransactionFileLimit;
  }
  if (st == kOk) st = f.TakeWriter(cursor.client, &blocker);
  if (st == kOk) st = DataFile::Open(identity, &data);
  // A file of an earlier engine is never written (its cursors are read-only).
  if (st == kOk && !data->writable()) st = kAccessDenied;
  if (st == kOk && host == nullptr) {
    // The busy handler of the one connection: the files attached later are
    // all written by this transaction too, so the first file's locks answer
    // for them.
    sqlite3_busy_handler(data->connection(), OnBusy, &f);
    st = data->BeginTransaction();
  } else if (st == kOk) {
    st = data->JoinConnection(*host, "txn" + std::to_string(++t.schemas));
  }
  if (st != kOk) {
    f.DropWriter(cursor.client);
    data.reset();
    e.locks.Detach(identity);
    return st;
  }
  DataFile* connection = data.get();
  const ClientId client = cursor.client;
  e.registry.ForEachCursor(cursor.file.get(), [&](Cursor& c) {
    if (c.client != client) return;
    c.txn_data = connection;
    t.routed.insert(&c);
  });
  t.written.push_back(Transaction::Written{identity, std::move(data)});
  return kOk;
}

void OnOpened(EngineState& e, Cursor& cursor) {
  g_engine = &e;
  FileLocks& f = e.locks.Attach(cursor.file->identity);
  e.attached.insert(&cursor);
  if (sqlite3* db = cursor.file->data->connection()) sqlite3_busy_handler(db, OnBusy, &f);
  if (Transaction* t = e.TransactionOf(cursor.client)) {
    if (DataFile* joined = t->Connection(cursor.file->identity)) {
      cursor.txn_data = joined;
      t->routed.insert(&cursor);
    }
  }
}

void OnReleased(EngineState& e, Cursor& cursor) {
  if (e.attached.erase(&cursor) == 0) return;
  if (Transaction* t = e.TransactionOf(cursor.client)) t->routed.erase(&cursor);
  cursor.txn_data = nullptr;
  if (FileLocks* f = e.locks.Find(cursor.file->identity)) f->ReleaseCursor(&cursor);
  e.locks.Detach(cursor.file->identity);
}

}  // namespace tavelnor::btrieve
