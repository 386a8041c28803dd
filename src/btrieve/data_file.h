// Storage of one data file: a SQLite database holding the file description,
// the records under stable 4-byte positions and one ordered index per key.
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
//     one entry per record and non-null key; k = key_codec.h encoding, plus
//     the 8-byte insertion sequence on duplicate keys; index keys_pos(pos, num)
//
// Open checks a SQLite file's own structure without reading it through
// (data_file_open.cpp): the database header, the tables and index above,
// the 'format', 'version', 'spec' and 'owner' rows, the root pages; Check
// reads it all (data_file_check.cpp). Reads take no row on trust: one that
// is not strictly beyond the position or entry a read started from is
// damage (2), never a repeat (data_file_reads.cpp).
//
// A file that is not a SQLite database (its first bytes are not SQLite's
// header) is taken for one written by an earlier record manager and handed
// to its reader (legacy_source.h, through OpenLegacy in open_diagnosis.h).
// When the reader accepts it, the DataFile works read-only: every read is
// answered from indexes built in memory at open (legacy_index.h), with no
// SQLite and no reading ahead, and every write -- records, indexes, owner,
// transactions -- returns 46 (access denied, what an engine answers for a
// write on a file opened read-only) and changes nothing. When the reader
// refuses it, Open returns the reader's status (30, 2) and the reason is
// kept for LastOpenDiagnosis().
//
// Each write runs in its own SQLite transaction (rollback journal, full sync),
// or as a savepoint of the caller's transaction, so an interrupted write
// leaves the file as it was. Reads go through a run of rows read ahead
// (read_ahead.h), checked against the file header's change counter, which
// the rollback journal mode moves on every commit of any process (files in
// WAL mode are read without it). Not thread-safe: the caller serialises
// access.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_spec.h"
#include "btrieve/sqlite_handle.h"

namespace tavelnor::platform {
class SharedFileView;
}  // namespace tavelnor::platform

namespace tavelnor::btrieve {

class LegacyIndex;
class ReadAhead;
struct AheadRow;
struct ReadToken;

// The metadata name of key `num`'s distinct value count.
inline std::string DistinctName(int num) { return "distinct:" + std::to_string(num); }

// One index entry.
struct Entry {
  std::string k;     // encoded key, with the sequence suffix on duplicate keys
  uint32_t pos = 0;  // physical position of its record
};

// What an Insert or Update leaves for the caller's currency, found inside
// the write's own transaction: nothing needs reading after the commit, so a
// write that stored its record never fails afterwards.
struct WriteResult {
  int key = -1;          // in: the key whose entry is wanted (-1: none)
  bool indexed = false;  // out: the record has an entry on that key...
  std::string entry;     // ...this one
  uint64_t stamp = 0;    // out: the record's change stamp now
};

// Where a search lands relative to a bound.
enum class Seek { kFirst, kLast, kAtLeast, kAbove, kAtMost, kBelow };

class DataFile {
 public:
  inline static const char kFormatName[] = "tavelnor-records";
  static constexpr int kFormatVersion = 2;

  // Creates the file, empty. Fails with 59 when it exists and !replace.
  static int Create(const std::string& path, const FileSpec& spec, bool replace);
  // Opens an existing file: 12 missing, 30 not ours, 2 damaged. Files of an
  // earlier record manager open read-only (see above); a failure sets
  // LastOpenDiagnosis().
  static int Open(const std::string& path, std::unique_ptr<DataFile>* out);
  ~DataFile();

  // A file of an earlier record manager, opened read-only: its indexes (and
  // through them its header's figures), else null.
  const LegacyIndex* legacy() const { return legacy_.get(); }

  const FileSpec& spec() const { return spec_; }
  const std::string& owner() const { return owner_; }
  // Set Owner mode: 0/2 name needed for any access, 1/3 only for writes.
  int owner_mode() const { return owner_mode_; }
  // Stores the owner name ('' clears it) and mode.
  int SetOwner(const std::string& owner, int mode);

  // Index changes, each in one transaction. AddIndex takes the whole new
  // description (the key `num` added, collating sequences it brought) and
  // builds that key over the existing records; zero AUTOINCREMENT fields of
  // the new key are numbered. DropIndex removes key `num`, and with
  // `renumber` moves every higher key down by one.
  int AddIndex(const FileSpec& spec, int num);
  int DropIndex(int num, bool renumber);

  // Ranks for percentages. `num` is a key number, or -1 for physical order.
  // Count: entries (records); At: the entry of that rank (ranks from 0);
  // RankBelow: how many entries sort before `k` (-1: before position `pos`).
  int CountOf(int num, uint32_t* count);
  int EntryAt(int num, uint32_t rank, Entry* out);
  int RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank);

  // Records, with their change stamps when `stamp` is given. 43 when no
  // record has that position.
  int Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp = nullptr);
  // The first record after (forward) or before `from` in physical order, or
  // the first/last one when `from` is 0 / UINT32_MAX. 9 when there is none.
  int Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data,
           uint64_t* stamp = nullptr);
  // The same, without a copy: `data` stays valid until the next call on
  // this file.
  int Step(bool forward, uint32_t from, uint32_t* pos, std::span<const uint8_t>* data,
           uint64_t* stamp = nullptr);

  // Index entries of key `num` (a key number of spec()).
  int Find(int num, Seek seek, const std::string& bound, Entry* out);
  // The entry of the record at `pos` on key `num`; 4 when the key is null.
  int EntryOf(int num, uint32_t pos, Entry* out);

  // Writes. Insert fills zero AUTOINCREMENT fields into `record`.
  int Insert(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result = nullptr);
  // Inserts the records in order, in one transaction, up to the first that
  // fails: the ones before it stay. `positions` gets the position of each
  // record kept; answers the failing record's status (0 when all went in).
  // `result` asks for the last kept record's entry on a key, as Insert's.
  int InsertMany(std::vector<std::vector<uint8_t>>* records, std::vector<uint32_t>* positions,
                 WriteResult* result = nullptr);
  // Update and Delete act on the record as its caller read it, with change
  // stamp `read_stamp`: 80, and nothing changed, when the record has changed
  // since or is gone.
  int Update(uint32_t pos, const std::vector<uint8_t>& record, uint64_t read_stamp,
             WriteResult* result = nullptr);
  int Delete(uint32_t pos, uint64_t read_stamp);

  // The full integrity check (data_file_check.cpp): SQLite's own, then every
  // record against its index entries and every entry against its record,
  // entry order, the distinct value counts kept and the description. Reads
  // every page; writes nothing. 0 with one line per fault found in
  // `findings` (none: the file is sound), else the status of the read that
  // failed, named as the last finding. A file of an earlier engine gives no findings: its reader
  // checked what it can when the file was opened.
  int Check(std::vector<std::string>* findings);

  int RecordCount(uint32_t* count);
  int DistinctValues(std::vector<uint32_t>* per_key);

  // A transaction spanning many writes on this connection (data_file_txn.cpp):
  // it holds the file's write lock until Commit or Rollback; the writes in it
  // are savepoints, seen by this connection only until Commit.
  int BeginTransaction();
  int CommitTransaction();
  void RollbackTransaction();
  bool InTransaction() const;
  // Moves this file onto `host`'s connection, which is in a transaction:
  // attaches the file there as `schema`, takes its write lock and writes and
  // reads through `host`'s connection from now on, so that host's
  // CommitTransaction commits this file together with host's (one SQLite
  // transaction over several databases: all or none, also after a crash).
  // The file's own transaction calls are then no longer to be used.
  int JoinConnection(DataFile& host, const std::string& schema);
  // The connection, for the lock layer's busy handler; null for a file of an
  // earlier record manager.
  sqlite3* connection() const { return db_.get(); }

 private:
  DataFile();
  int Prepare();
  int Load();
  // A version 1 file gets its stamp column, inside the write that starts.
  int Upgrade();
  // Opens `path` through the reader of earlier engines' files.
  int OpenLegacyFile(const std::string& path);
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
  FileSpec spec_;
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
  std::map<int, int64_t> distinct_delta_;  // per key, in the open transaction
  // Distinct counts a Stat counted for keys the file keeps no count of, with
  // the file's state they hold for (data_version, this connection's
  // changes): a read never writes them into the file.
  std::map<int, uint32_t> counted_distinct_;
  int64_t counted_version_ = -1, counted_changes_ = -1;
  std::unique_ptr<LegacyIndex> legacy_;    // set: a file of an earlier engine
  std::vector<uint8_t> legacy_row_;        // the record Step last gave from it
};

}  // namespace tavelnor::btrieve
