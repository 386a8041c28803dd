// Our own data files: a SQLite database holding the file description, the
// records under stable 4-byte positions and one ordered index per key.
//
// Schema (format "tavelnor-records", version 2):
//   meta(name TEXT PRIMARY KEY, value)   WITHOUT ROWID
//     'format'  = 'tavelnor-records'     anything else: not our file (30)
//     'version' = 1                      a higher version: not our file (30)
//     'spec'    = the file description in the Create layout (file_spec.h):
//                 record length, page size, version byte, flags, keys,
//                 segments and collating sequences
//     'owner'   = owner name ('' = none)
//     'owner_mode' = Set Owner mode 0..3 (absent in files never owned: 0)
//     'layout'  = counter raised by every change of keys or owner, so that
//                 other connections reload the description (absent: 0)
//     'distinct:N' = number of distinct values of key N, kept by every write
//                 (absent: counted from the index at the next Stat)
//   records(pos INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB, stamp INTEGER)
//     pos is the record's physical position (1 .. 2^32-1), never reused,
//     stable for the record's life; physical order is pos order. stamp is
//     the record's change stamp: 0 when inserted, one more on every Update.
//     Every read hands it out with the record, and an Update or Delete names
//     the stamp its caller read: another one means that someone changed the
//     record in between (80), found without a read of its own.
//     Version 1 files have no stamp column: they read as stamp 0 and gain the
//     column (and version 2) at their first write.
//   keys(num INTEGER, k BLOB, pos INTEGER, PRIMARY KEY(num, k)) WITHOUT ROWID
//     one entry per record and non-null key (data_file.h); index
//     keys_pos(pos, num)
//
// Open checks the file's own structure without reading it through
// (data_file_open.cpp): the database header, the tables and index above,
// the 'format', 'version', 'spec' and 'owner' rows, the root pages; Check
// reads it all (data_file_check.cpp).
//
// Each write runs in its own SQLite transaction (rollback journal, full sync),
// or as a savepoint of the caller's transaction, so an interrupted write
// leaves the file as it was. Reads go through a run of rows read ahead
// (read_ahead.h), checked against the file header's change counter, which
// the rollback journal mode moves on every commit of any process (files in
// WAL mode are read without it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "btrieve/data_file.h"
#include "btrieve/sqlite_handle.h"

namespace tavelnor::platform {
class SharedFileView;
}  // namespace tavelnor::platform

namespace tavelnor::btrieve {

class ReadAhead;
struct AheadRow;
struct ReadToken;

class SqliteDataFile final : public DataFile {
 public:
  inline static const char kFormatName[] = "tavelnor-records";
  static constexpr int kFormatVersion = 2;

  static int Create(const std::string& path, const FileSpec& spec, bool replace);
  // Removes the journal and WAL files SQLite may have left beside `path`.
  static void RemoveCompanions(const std::string& path);
  // Whether `path` starts with SQLite's header.
  static bool IsOwnFile(const std::string& path);
  // Opens a file that starts with SQLite's header.
  static int Open(const std::string& path, std::unique_ptr<DataFile>* out);
  ~SqliteDataFile() override;

  bool writable() const override { return true; }
  const std::string& owner() const override { return owner_; }
  int owner_mode() const override { return owner_mode_; }
  int SetOwner(const std::string& owner, int mode) override;
  int AddIndex(const FileSpec& spec, int num) override;
  int DropIndex(int num, bool renumber) override;

  int CountOf(int num, uint32_t* count) override;
  int EntryAt(int num, uint32_t rank, Entry* out) override;
  int RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank) override;
  int Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp = nullptr) override;
  using DataFile::Step;
  int Step(bool forward, uint32_t from, uint32_t* pos, std::span<const uint8_t>* data,
           uint64_t* stamp = nullptr) override;
  int Find(int num, Seek seek, const std::string& bound, Entry* out) override;
  int EntryOf(int num, uint32_t pos, Entry* out) override;

  int Insert(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result = nullptr) override;
  int InsertMany(std::vector<std::vector<uint8_t>>* records, std::vector<uint32_t>* positions,
                 WriteResult* result = nullptr) override;
  int Update(uint32_t pos, const std::vector<uint8_t>& record, uint64_t read_stamp,
             WriteResult* result = nullptr) override;
  int Delete(uint32_t pos, uint64_t read_stamp) override;

  // data_file_import.cpp: an exact copy of another file's records and index
  // entries (convert.h), all in one transaction that EndImport commits,
  // storing each key's distinct value count, or undoes.
  int BeginImport();
  // Stores `data` at `pos`, which must be above every position the file has
  // handed out (43 otherwise), with `entries[i]` its entry on spec().keys[i], empty for
  // a null key. An entry must be the record's own encoded key, plus the
  // 8-byte sequence on a duplicate key (2 otherwise); an entry the key holds
  // already, and so a value a unique key holds already, answers 5. 22 for a
  // length the file does not take.
  int ImportRecord(uint32_t pos, std::span<const uint8_t> data,
                   const std::vector<std::string>& entries);
  int EndImport(bool commit);

  // data_file_check.cpp: SQLite's own check first, then the cross-checks.
  int Check(std::vector<std::string>* findings) override;
  int RecordCount(uint32_t* count) override;
  int DistinctValues(std::vector<uint32_t>* per_key) override;

  // data_file_txn.cpp; the writes in a transaction are savepoints.
  int BeginTransaction() override;
  int CommitTransaction() override;
  void RollbackTransaction() override;
  bool InTransaction() const override;
  // Attaches this file to `host`'s connection as `schema`, takes its write
  // lock and writes and reads through `host`'s connection from now on (one
  // SQLite transaction over several databases).
  int JoinConnection(DataFile& host, const std::string& schema) override;
  sqlite3* connection() const override { return db_.get(); }

 private:
  SqliteDataFile();
  int Prepare();
  int Load();
  // A version 1 file gets its stamp column, inside the write that starts.
  int Upgrade();
  int Begin();
  int Finish(int status);
  int MapError(int rc) const;
  // Encoded entry for key `key` of `record`, or false when the key is null.
  bool Encode(const KeyDef& key, const uint8_t* record, std::string* k) const;
  // Adds an index entry, counting a value new to the key; `stored` gets the
  // entry as stored (with its sequence suffix on a duplicate key).
  int AddEntry(const KeyDef& key, std::string k, uint32_t pos, std::string* stored = nullptr);
  // Fills `result` with the record's entry on the key it asks for.
  int EntryFor(uint32_t pos, WriteResult* result);
  // After the entry `k` of `key` is gone: uncounts its value unless another
  // entry still holds it.
  int RemovedEntry(const KeyDef& key, const std::string& k);
  // Counts a value in or out of key `num`; the counts are stored by
  // FlushDistinct, which Finish calls before committing.
  int AdjustDistinct(int num, int delta);
  int FlushDistinct();
  // Saves the description and raises the layout counter.
  int SaveSpec(const FileSpec& spec);
  // Reloads description and owner when the layout counter moved.
  int Refresh();
  int SetMeta(const std::string& name, int64_t value);
  // Renames a metadata row, or removes it when `to` is empty.
  int RenameMeta(const std::string& from, const std::string& to);
  int BuildIndex(const KeyDef& key);
  // Find without reading ahead or records, for the writes' own lookups.
  int FindEntry(int num, Seek seek, const std::string& bound, Entry* out);
  // The row `seek` from `bound` lands on (physical order: num -1 and
  // `bound_pos`), from the rows read ahead or a new batch of them.
  int Locate(int num, Seek seek, const std::string& bound, int64_t bound_pos, const AheadRow** row);
  ReadToken Token() const;
  int FillAutoIncrement(std::vector<uint8_t>* record);
  // Inserts one record and its index entries inside the caller's transaction.
  int InsertRow(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result = nullptr);

  Connection db_;
  std::string owner_;
  int owner_mode_ = 0;
  int64_t layout_ = 0;
  int version_ = kFormatVersion;
  bool nested_ = false;  // the current write is a savepoint in a transaction
  Statement read_, step_next_, step_prev_, insert_rec_, update_rec_, delete_rec_;
  Statement key_insert_, key_delete_pos_, key_delete_one_, key_of_pos_, count_;
  Statement adjust_, distinct_, layout_read_;
  Statement seek_[6];
  Statement fetch_[6];                                // seek_ joined with the records
  std::unique_ptr<platform::SharedFileView> header_;  // null: no reading ahead
  std::unique_ptr<ReadAhead> ahead_;
  Statement import_rec_;     // prepared while an import is open
  int64_t import_last_ = -1;  // the highest position stored; -1: no import open
  std::map<int, int64_t> distinct_delta_;  // per key, in the open transaction
  // Distinct counts a Stat counted for keys the file keeps no count of, with
  // the file's state they hold for (data_version, this connection's
  // changes): a read never writes them into the file.
  std::map<int, uint32_t> counted_distinct_;
  int64_t counted_version_ = -1, counted_changes_ = -1;
};

}  // namespace tavelnor::btrieve
