// Transactions of a data file's connection: the record manager's
// transactions keep one such connection per file they write.
#include "btrieve/btrieve_codes.h"
#include "btrieve/data_file.h"

namespace tavelnor::btrieve {

int DataFile::BeginTransaction() {
  if (InTransaction()) return kTransactionActive;
  int rc = db_.Exec("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return MapError(rc);
  int status = Refresh();
  if (status != kOk) (void)db_.Exec("ROLLBACK");
  return status;
}

int DataFile::CommitTransaction() {
  if (!InTransaction()) return kNoTransaction;
  int rc = db_.Exec("COMMIT");
  if (rc == SQLITE_OK) return kOk;
  int status = MapError(rc);
  // A commit that could not take the file stays open: undo it.
  (void)db_.Exec("ROLLBACK");
  return status;
}

void DataFile::RollbackTransaction() {
  if (InTransaction()) (void)db_.Exec("ROLLBACK");
}

bool DataFile::InTransaction() const { return sqlite3_get_autocommit(db_.get()) == 0; }

}  // namespace tavelnor::btrieve
