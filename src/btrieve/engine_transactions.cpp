// Begin, End and Abort Transaction, the connections a transaction writes
// through, and the bookkeeping when cursors open and close (design notes in
// engine_state.h).
#include <chrono>
#include <thread>

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
  t.written.clear();  // closes the connections before their FileLocks may go
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
  bool committed = false;
  for (Transaction::Written& w : t->written) {
    if (commit && status == kOk) {
      int st = w.data->CommitTransaction();
      if (st == kOk) {
        committed = true;
      } else {
        status = committed ? st : kEndTurnedIntoAbort;
      }
    } else {
      w.data->RollbackTransaction();
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
  int st = f.TakeWriter(cursor.client, &blocker);
  if (st == kOk) st = DataFile::Open(identity, &data);
  if (st == kOk) {
    sqlite3_busy_handler(data->connection(), OnBusy, &f);
    st = data->BeginTransaction();
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
  sqlite3_busy_handler(cursor.file->data->connection(), OnBusy, &f);
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
