// One data file, as the engine sees it: its description, records under
// stable 4-byte positions and one ordered index per key. Two stores answer
// this interface:
//   - our own files, SQLite databases (sqlite_data_file.h), read and written;
//   - files written by an earlier record manager (legacy_data_file.h), read
//     only, from the file itself and indexes built in memory.
// Open tells them apart by the file's first bytes: a file that does not start
// with SQLite's header is handed to the reader of earlier engines' files;
// when that reader refuses it, Open returns its status (30, 2) and keeps the
// reason for LastOpenDiagnosis().
//
// Every write a store does not have -- records, indexes, owner, transactions
// -- answers 46 (access denied, what an engine answers for a write on a file
// opened read-only) and changes nothing; writable() says which kind a file is.
//
// Index entries: the key_codec.h encoding of the key's value, plus an 8-byte
// big-endian sequence on duplicate keys (the record's place among the
// duplicates of its value). Reads take no row on trust: one that is not
// strictly beyond the position or entry a read started from is damage (2),
// never a repeat. Not thread-safe: the caller serialises access.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_spec.h"

struct sqlite3;

namespace tavelnor::btrieve {

class LegacyDataFile;

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
  // Creates one of our own files, empty. Fails with 59 when it exists and
  // !replace.
  static int Create(const std::string& path, const FileSpec& spec, bool replace);
  // Opens an existing file: 12 missing, 30 not a format we read, 2 damaged.
  // A failure sets LastOpenDiagnosis(); so does a file that opens with
  // damage its reader works around (a warning).
  static int Open(const std::string& path, std::unique_ptr<DataFile>* out);
  virtual ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // False for a file of an earlier record manager: every write answers 46.
  virtual bool writable() const { return false; }
  // A file of an earlier record manager: its reader's view, else null.
  virtual const LegacyDataFile* legacy() const { return nullptr; }

  const FileSpec& spec() const { return spec_; }
  virtual const std::string& owner() const;
  // Set Owner mode: 0/2 name needed for any access, 1/3 only for writes.
  virtual int owner_mode() const { return 0; }

  // Ranks for percentages. `num` is a key number, or -1 for physical order.
  // Count: entries (records); At: the entry of that rank (ranks from 0);
  // RankBelow: how many entries sort before `k` (-1: before position `pos`).
  virtual int CountOf(int num, uint32_t* count) = 0;
  virtual int EntryAt(int num, uint32_t rank, Entry* out) = 0;
  virtual int RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank) = 0;

  // Records, with their change stamps when `stamp` is given. 43 when no
  // record has that position.
  virtual int Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp = nullptr) = 0;
  // The first record after (forward) or before `from` in physical order, or
  // the first/last one when `from` is 0 / UINT32_MAX. 9 when there is none.
  int Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data,
           uint64_t* stamp = nullptr);
  // The same, without a copy: `data` stays valid until the next call on
  // this file.
  virtual int Step(bool forward, uint32_t from, uint32_t* pos, std::span<const uint8_t>* data,
                   uint64_t* stamp = nullptr) = 0;

  // Index entries of key `num` (a key number of spec()).
  virtual int Find(int num, Seek seek, const std::string& bound, Entry* out) = 0;
  // The entry of the record at `pos` on key `num`; 4 when the key is null.
  virtual int EntryOf(int num, uint32_t pos, Entry* out) = 0;

  virtual int RecordCount(uint32_t* count) = 0;
  virtual int DistinctValues(std::vector<uint32_t>* per_key) = 0;

  // The full integrity check: every record against its index entries and
  // every entry against its record, entry order, the distinct value counts
  // and the description. Reads every page; writes nothing. 0 with one line
  // per fault found in `findings` (none: the file is sound), else the status
  // of the read that failed, named as the last finding.
  virtual int Check(std::vector<std::string>* findings) = 0;

  // Writes (46 on a store without them).
  // Stores the owner name ('' clears it) and mode.
  virtual int SetOwner(const std::string& owner, int mode);
  // Index changes, each in one transaction. AddIndex takes the whole new
  // description (the key `num` added, collating sequences it brought) and
  // builds that key over the existing records; zero AUTOINCREMENT fields of
  // the new key are numbered. DropIndex removes key `num`, and with
  // `renumber` moves every higher key down by one.
  virtual int AddIndex(const FileSpec& spec, int num);
  virtual int DropIndex(int num, bool renumber);
  // Insert fills zero AUTOINCREMENT fields into `record`.
  virtual int Insert(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result = nullptr);
  // Inserts the records in order, in one transaction, up to the first that
  // fails: the ones before it stay. `positions` gets the position of each
  // record kept; answers the failing record's status (0 when all went in).
  // `result` asks for the last kept record's entry on a key, as Insert's.
  virtual int InsertMany(std::vector<std::vector<uint8_t>>* records,
                         std::vector<uint32_t>* positions, WriteResult* result = nullptr);
  // Update and Delete act on the record as its caller read it, with change
  // stamp `read_stamp`: 80, and nothing changed, when the record has changed
  // since or is gone.
  virtual int Update(uint32_t pos, const std::vector<uint8_t>& record, uint64_t read_stamp,
                     WriteResult* result = nullptr);
  virtual int Delete(uint32_t pos, uint64_t read_stamp);

  // A transaction spanning many writes on this connection: it holds the
  // file's write lock until Commit or Rollback; the writes in it are seen by
  // this connection only until Commit.
  virtual int BeginTransaction();
  virtual int CommitTransaction();
  virtual void RollbackTransaction() {}
  virtual bool InTransaction() const { return false; }
  // Moves this file onto `host`'s connection, which is in a transaction, so
  // that host's CommitTransaction commits this file together with host's
  // (all or none, also after a crash). The file's own transaction calls are
  // then no longer to be used.
  virtual int JoinConnection(DataFile& host, const std::string& schema);
  // The SQLite connection, for the lock layer's busy handler; null for a
  // store without one.
  virtual sqlite3* connection() const { return nullptr; }

 protected:
  DataFile() = default;
  FileSpec spec_;
};


}  // namespace tavelnor::btrieve
