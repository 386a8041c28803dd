// Transactions of a data file's connection. A record manager transaction
// writes its first file through a connection of its own and attaches every
// further file to that connection (JoinConnection), so one COMMIT ends all.
#include "btrieve/btrieve_codes.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/read_ahead.h"

namespace tavelnor::btrieve {

int SqliteDataFile::BeginTransaction() {
  if (InTransaction()) return kTransactionActive;
  int rc = db_.Exec("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return MapError(rc);
  int status = Refresh();
  if (status != kOk) (void)db_.Exec("ROLLBACK");
  return status;
}

int SqliteDataFile::CommitTransaction() {
  if (!InTransaction()) return kNoTransaction;
  int rc = db_.Exec("COMMIT");
  if (rc == SQLITE_OK) return kOk;
  int status = MapError(rc);
  // A commit that could not take the file stays open: undo it.
  (void)db_.Exec("ROLLBACK");
  return status;
}

void SqliteDataFile::RollbackTransaction() {
  if (InTransaction()) (void)db_.Exec("ROLLBACK");
}

int SqliteDataFile::JoinConnection(DataFile& host_file, const std::string& schema) {
  auto* joined = dynamic_cast<SqliteDataFile*>(&host_file);
  if (joined == nullptr) return kAccessDenied;  // a store without a connection
  SqliteDataFile& host = *joined;
  if (!host.InTransaction() || !db_.schema().empty() || InTransaction()) return kNotAllowedNow;
  const char* path = sqlite3_db_filename(db_.get(), "main");
  if (path == nullptr || *path == '\0') return kIoError;
  Statement attach;
  if (attach.Prepare(host.db_.get(), "ATTACH DATABASE ?1 AS " + schema) != SQLITE_OK) {
    return kIoError;
  }
  {
    Statement::Scope scope(attach);
    attach.BindText(1, path);
    if (int rc = attach.Step(); rc != SQLITE_DONE) return MapError(rc);
  }
  // As much cache as the own connection had (data_file_open.cpp).
  (void)host.db_.Exec(("PRAGMA " + schema + ".cache_size = -8192").c_str());
  // The own connection closes once Prepare has replaced its statements.
  db_.Borrow(host.db_.get(), schema);
  ahead_->Clear();
  int status = Prepare();
  // A write that changes nothing still takes the file's write lock, as
  // BEGIN IMMEDIATE does for host's file.
  if (status == kOk) {
    int rc = db_.Exec("UPDATE meta SET value = value WHERE 0");
    if (rc != SQLITE_OK) status = MapError(rc);
  }
  if (status == kOk) status = Refresh();
  if (status != kOk) (void)host.db_.Exec(("DETACH DATABASE " + schema).c_str());
  return status;
}

bool SqliteDataFile::InTransaction() const {
  return db_.get() != nullptr && sqlite3_get_autocommit(db_.get()) == 0;
}

}  // namespace tavelnor::btrieve
