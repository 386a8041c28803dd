// Creating and opening data files: schema, format check, damage check.
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>

#include "btrieve/btrieve_codes.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve/read_ahead.h"
#include "foundation/platform/file_admin.h"
#include "foundation/platform/files.h"
#include "foundation/platform/shared_view.h"

namespace tavelnor::btrieve {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE meta(name TEXT PRIMARY KEY, value) WITHOUT ROWID;"
    "CREATE TABLE records(pos INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB NOT NULL,"
    " stamp INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE keys(num INTEGER NOT NULL, k BLOB NOT NULL, pos INTEGER NOT NULL,"
    " PRIMARY KEY(num, k)) WITHOUT ROWID;"
    "CREATE INDEX keys_pos ON keys(pos, num);";

constexpr const char* kSeekSql[6] = {
    "SELECT k, pos FROM keys WHERE num = ?1 ORDER BY k LIMIT 1",
    "SELECT k, pos FROM keys WHERE num = ?1 ORDER BY k DESC LIMIT 1",
    "SELECT k, pos FROM keys WHERE num = ?1 AND k >= ?2 ORDER BY k LIMIT 1",
    "SELECT k, pos FROM keys WHERE num = ?1 AND k > ?2 ORDER BY k LIMIT 1",
    "SELECT k, pos FROM keys WHERE num = ?1 AND k <= ?2 ORDER BY k DESC LIMIT 1",
    "SELECT k, pos FROM keys WHERE num = ?1 AND k < ?2 ORDER BY k DESC LIMIT 1",
};

// The seeks above with each entry's record and its change stamp, several
// rows at a time (?3). `$` stands for the stamp column (kStampColumn).
constexpr const char* kFetchSql[6] = {
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 ORDER BY k LIMIT ?3",
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 ORDER BY k DESC LIMIT ?3",
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 AND k >= ?2 ORDER BY k LIMIT ?3",
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 AND k > ?2 ORDER BY k LIMIT ?3",
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 AND k <= ?2 ORDER BY k DESC LIMIT ?3",
    "SELECT k, keys.pos, data, $ FROM keys JOIN records ON records.pos = keys.pos"
    " WHERE num = ?1 AND k < ?2 ORDER BY k DESC LIMIT ?3",
};

// The stamp column as the statements name it: version 1 files have none,
// and every record of one reads as stamp 0.
std::string WithStamp(const char* sql, int version) {
  std::string out = sql;
  for (size_t at = out.find('$'); at != std::string::npos; at = out.find('$', at)) {
    out.replace(at, 1, version >= 2 ? "records.stamp" : "0");
  }
  return out;
}

// The first 16 bytes of every SQLite database: "SQLite format 3" and a NUL.
constexpr uint32_t kSqliteMagic[4] = {0x53514C69, 0x74652066, 0x6F726D61, 0x74203300};

}  // namespace

bool SqliteDataFile::IsOwnFile(const std::string& path) {
  auto view = platform::SharedFileView::Open(path, sizeof kSqliteMagic);
  if (view == nullptr) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (view->LoadBE32(4 * i) != kSqliteMagic[i]) return false;
  }
  return true;
}

namespace {

// The fields of SQLite's 100-byte database header that a damaged first page
// shows in (all big-endian):
//   offset size  meaning                       valid
//   16     2     page size                     a power of two 512..32768, or 1 (65536)
//   18     2     write and read versions       1 (rollback journal) or 2 (WAL) each
//   20     1     bytes reserved per page       below the page size less 480
//   21     3     payload fractions             64, 32, 32
//   24     4     change counter
//   28     4     database size in pages        trusted when the counter at 92 equals 24's
//   44     4     schema format number          1..4
//   56     4     text encoding                 1..3
//   92     4     version-valid-for counter
constexpr size_t kSqliteHeaderBytes = 100;
constexpr size_t kChangeCounterEnd = 28;  // the bytes a reader ahead watches

// Big-endian 32-bit value at `offset` of the header.
uint32_t HeaderBE32(const uint8_t* header, size_t offset) {
  return uint32_t{header[offset]} << 24 | uint32_t{header[offset + 1]} << 16 |
         uint32_t{header[offset + 2]} << 8 | header[offset + 3];
}

// Checks the header of the database `db` has open, read through SQLite's own
// file handle while a read transaction holds the file still: 0; 30 with
// `reason` when the header is cut short or not one SQLite reads; 2 when it
// names more pages than the file holds (a file cut short).
int CheckSqliteHeader(sqlite3* db, std::string* reason) {
  sqlite3_file* file = nullptr;
  uint8_t header[kSqliteHeaderBytes];
  sqlite3_int64 size = 0;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr ||
      file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
    *reason = "its header cannot be read";
    return kIoError;
  }
  if (size < static_cast<sqlite3_int64>(kSqliteHeaderBytes) ||
      file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) {
    *reason = "not a database: the file ends inside SQLite's header";
    return kNotOurFile;
  }
  const uint32_t sizes = HeaderBE32(header, 16);
  const uint32_t page = (sizes >> 16) == 1 ? 65536 : sizes >> 16;
  const uint32_t write_version = (sizes >> 8) & 0xFF, read_version = sizes & 0xFF;
  const uint32_t fractions = HeaderBE32(header, 20);
  const uint32_t reserved = fractions >> 24;
  const uint32_t schema_format = HeaderBE32(header, 44), encoding = HeaderBE32(header, 56);
  const char* bad = nullptr;
  if (page < 512 || (page & (page - 1)) != 0) {
    bad = "page size";
  } else if (write_version < 1 || write_version > 2 || read_version < 1 || read_version > 2) {
    bad = "file format versions";
  } else if (reserved + 480 > page || (fractions & 0xFFFFFF) != 0x402020) {
    bad = "page layout";
  } else if (schema_format < 1 || schema_format > 4) {
    bad = "schema format number";
  } else if (encoding < 1 || encoding > 3) {
    bad = "text encoding";
  }
  if (bad != nullptr) {
    *reason = std::string("damaged SQLite header: invalid ") + bad;
    return kNotOurFile;  // what SQLite itself says of such a file
  }
  if (HeaderBE32(header, 92) == HeaderBE32(header, 24)) {
    const uint64_t pages = HeaderBE32(header, 28);
    if (pages * page > static_cast<uint64_t>(size)) {
      *reason = "damaged: cut short (its header names " + std::to_string(pages) + " pages of " +
                std::to_string(page) + " bytes, the file holds " + std::to_string(size) +
                " bytes)";
      return kIoError;
    }
  }
  return kOk;
}

// The tables and index of the schema above; their columns are checked by
// Prepare, whose statements name every one of them.
constexpr const char* kSchemaObjects[] = {"meta", "records", "keys", "keys_pos"};

// The metadata rows Load reads, in one query.
constexpr const char* kMetaSql =
    "SELECT name, value FROM meta"
    " WHERE name IN ('format', 'version', 'spec', 'owner', 'owner_mode', 'layout')";

}  // namespace

void SqliteDataFile::RemoveCompanions(const std::string& path) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) (void)platform::RemoveFile(path + suffix);
}

int SqliteDataFile::Create(const std::string& path, const FileSpec& spec, bool replace) {
  if (path.empty()) return kInvalidFileName;
  if (platform::DirectoryExists(path)) return kInvalidFileName;
  if (platform::FileExists(path)) {
    if (!replace) return kFileExists;
    if (!platform::RemoveFile(path).ok()) return kCreateIoError;
  }
  RemoveCompanions(path);
  Connection db;
  if (db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) != SQLITE_OK) {
    return kCreateIoError;
  }
  std::vector<uint8_t> blob = SerializeFileSpec(spec);
  bool ok = db.Exec("PRAGMA page_size = 4096; BEGIN IMMEDIATE") == SQLITE_OK &&
            db.Exec(kSchema) == SQLITE_OK;
  if (ok) {
    Statement st;
    ok = st.Prepare(db.get(),
                    "INSERT INTO meta(name, value) VALUES ('format', ?1), ('version', ?2),"
                    " ('spec', ?3), ('owner', '')") == SQLITE_OK;
    if (ok) {
      st.BindText(1, kFormatName);
      st.BindInt(2, kFormatVersion);
      st.BindBlob(3, blob.data(), blob.size());
      ok = st.Step() == SQLITE_DONE;
    }
  }
  for (const KeyDef& key : spec.keys) {
    Statement st;
    ok = ok && st.Prepare(db.get(), "INSERT INTO meta(name, value) VALUES (?1, 0)") == SQLITE_OK;
    if (ok) {
      const std::string name = DistinctName(key.number);  // bound, not copied
      st.BindText(1, name);
      ok = st.Step() == SQLITE_DONE;
    }
  }
  ok = ok && db.Exec("COMMIT") == SQLITE_OK;
  if (!ok) {
    (void)db.Exec("ROLLBACK");
    return kCreateIoError;
  }
  return kOk;
}

int SqliteDataFile::Open(const std::string& path, std::unique_ptr<DataFile>* out) {
  std::unique_ptr<SqliteDataFile> file(new SqliteDataFile());
  if (file->db_.Open(path, SQLITE_OPEN_READWRITE) != SQLITE_OK) {
    file.reset(new SqliteDataFile());
    if (file->db_.Open(path, SQLITE_OPEN_READONLY) != SQLITE_OK) {
      SetLastOpenDiagnosis("SQLite cannot open it");
      return kIoError;
    }
  }
  sqlite3_busy_timeout(file->db_.get(), 10000);
  // Pages kept between calls and within a transaction: 8 MiB, four times
  // SQLite's default, so that large transactions seldom spill.
  (void)file->db_.Exec("PRAGMA cache_size = -8192");
  // One read transaction: the file cannot change under the checks, and its
  // lock is taken once rather than once per statement.
  (void)file->db_.Exec("BEGIN");
  int status = file->Load();  // sets the reason of a refusal
  if (status == kOk && (status = file->Prepare()) != kOk) {
    // A table without one of its columns.
    SetLastOpenDiagnosis(std::string("damaged: ") + sqlite3_errmsg(file->db_.get()));
  }
  (void)file->db_.Exec("COMMIT");
  if (status != kOk) return status;
  // The change counter moves on every commit only in rollback journal modes.
  Statement mode;
  if (mode.Prepare(file->db_.get(), "PRAGMA journal_mode") == SQLITE_OK &&
      mode.Step() == SQLITE_ROW && mode.Blob(0) != "wal") {
    file->header_ = platform::SharedFileView::Open(path, kChangeCounterEnd);
  }
  *out = std::move(file);
  return kOk;
}

// Checks the file's own structure without reading its records or indexes
// through: the schema, the metadata rows and the root pages of both tables.
// A failure sets LastOpenDiagnosis(): 30 for a database that is not one of
// ours (or of a newer format), 2 for one of ours that is damaged.
int SqliteDataFile::Load() {
  sqlite3* db = db_.get();
  auto refuse = [db](int status, std::string reason, bool with_sqlite_message = false) {
    if (with_sqlite_message) reason += std::string(": ") + sqlite3_errmsg(db);
    SetLastOpenDiagnosis(std::move(reason));
    return status;
  };
  // Reading the schema parses it: a damaged first page fails here.
  bool found[std::size(kSchemaObjects)] = {};
  {
    Statement schema;
    int rc = schema.Prepare(db, "SELECT name FROM sqlite_master WHERE type IN ('table', 'index')");
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      rc = schema.Step();
      if (rc != SQLITE_ROW) break;
      const std::string name = schema.Blob(0);
      for (size_t i = 0; i < std::size(kSchemaObjects); ++i) {
        found[i] = found[i] || name == kSchemaObjects[i];
      }
    }
    // Checked once SQLite has read the file, which rolls back the changes
    // a crash left half written (a hot journal).
    std::string reason;
    if (int st = CheckSqliteHeader(db, &reason); st != kOk) {
      return refuse(st, std::move(reason));
    }
    if (rc != SQLITE_DONE) {
      switch (rc & 0xFF) {
        case SQLITE_NOTADB:
          return refuse(kNotOurFile, "not a database", true);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
          return refuse(kFileLocked, "locked by another program", true);
        default:
          return refuse(kIoError, "damaged database", true);
      }
    }
  }
  const char* missing = nullptr;
  for (size_t i = 0; i < std::size(kSchemaObjects) && missing == nullptr; ++i) {
    if (!found[i]) missing = kSchemaObjects[i];
  }
  // Metadata: ours only when it names our format.
  std::map<std::string, std::string> meta;
  const bool has_meta = found[0];
  if (has_meta) {
    Statement rows;
    int rc = rows.Prepare(db, kMetaSql);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      rc = rows.Step();
      if (rc == SQLITE_ROW) meta[rows.Blob(0)] = rows.Blob(1);
    }
    if (rc != SQLITE_DONE) return refuse(kIoError, "damaged metadata", true);
  }
  auto format = meta.find("format");
  if (format == meta.end()) {
    // Our tables without our name: ours, damaged; otherwise someone else's.
    if (has_meta && missing == nullptr) return refuse(kIoError, "damaged: no format name");
    return refuse(kNotOurFile, "a SQLite database of another kind");
  }
  if (format->second != kFormatName) {
    return refuse(kNotOurFile, "a SQLite database of another kind (format '" +
                                   format->second.substr(0, 40) + "')");
  }
  auto version = meta.find("version");
  char* end = nullptr;
  const long long number =
      version == meta.end() ? 0 : std::strtoll(version->second.c_str(), &end, 10);
  if (version == meta.end() || end == version->second.c_str() || *end != '\0' || number < 1) {
    return refuse(kIoError, "damaged: no valid format version");
  }
  if (number > kFormatVersion) {
    return refuse(kNotOurFile, "format version " + std::to_string(number) +
                                   ", newer than this engine reads (" +
                                   std::to_string(kFormatVersion) + ")");
  }
  version_ = static_cast<int>(number);
  if (missing != nullptr) return refuse(kIoError, std::string("damaged: no ") + missing);
  auto spec = meta.find("spec");
  auto owner = meta.find("owner");
  if (spec == meta.end()) return refuse(kIoError, "damaged: no file description");
  const auto* bytes = reinterpret_cast<const uint8_t*>(spec->second.data());
  if (ParseFileSpec({bytes, spec->second.size()}, &spec_, true) != kOk) {
    return refuse(kIoError, "damaged: the file description cannot be read");
  }
  if (owner == meta.end()) return refuse(kIoError, "damaged: no owner row");
  owner_ = owner->second;
  if (auto layout = meta.find("layout"); layout != meta.end()) {
    layout_ = std::atoll(layout->second.c_str());
  }
  if (auto mode = meta.find("owner_mode"); mode != meta.end() && mode->second.size() == 1 &&
                                            mode->second[0] >= '0' && mode->second[0] <= '3') {
    owner_mode_ = mode->second[0] - '0';
  }
  // The root pages of both tables and of the index must be readable.
  Statement check;
  if (check.Prepare(db,
                    "SELECT (SELECT count(*) FROM keys WHERE num < 0),"
                    " (SELECT max(pos) FROM records), (SELECT min(pos) FROM keys)") !=
          SQLITE_OK ||
      check.Step() != SQLITE_ROW) {
    return refuse(kIoError, "damaged: its tables cannot be read", true);
  }
  return kOk;
}

int SqliteDataFile::Prepare() {
  struct Item {
    Statement* st;
    const char* sql;
  } items[] = {
      {&read_, "SELECT data, $ FROM records WHERE pos = ?1"},
      {&step_next_, "SELECT pos, data, $ FROM records WHERE pos > ?1 ORDER BY pos LIMIT ?2"},
      {&step_prev_,
       "SELECT pos, data, $ FROM records WHERE pos < ?1 ORDER BY pos DESC LIMIT ?2"},
      {&insert_rec_, "INSERT INTO records(data) VALUES (?1)"},
      {&update_rec_, version_ >= 2 ? "UPDATE records SET data = ?2, stamp = stamp + 1 WHERE pos = ?1"
                                   : "UPDATE records SET data = ?2 WHERE pos = ?1"},
      {&delete_rec_, version_ >= 2 ? "DELETE FROM records WHERE pos = ?1 AND stamp = ?2"
                                   : "DELETE FROM records WHERE pos = ?1 AND 0 = ?2"},
      {&key_insert_, "INSERT INTO keys(num, k, pos) VALUES (?1, ?2, ?3)"},
      {&key_delete_pos_, "DELETE FROM keys WHERE pos = ?1"},
      {&key_delete_one_, "DELETE FROM keys WHERE num = ?1 AND k = ?2"},
      {&key_of_pos_, "SELECT k FROM keys WHERE pos = ?1 AND num = ?2"},
      {&count_, "SELECT count(*) FROM records"},
      {&adjust_, "UPDATE meta SET value = value + ?2 WHERE name = ?1"},
      {&distinct_, "SELECT value FROM meta WHERE name = ?1"},
      {&layout_read_, "SELECT value FROM meta WHERE name = 'layout'"},
  };
  for (const Item& item : items) {
    if (item.st->Prepare(db_, WithStamp(item.sql, version_)) != SQLITE_OK) return kIoError;
  }
  for (int i = 0; i < 6; ++i) {
    if (seek_[i].Prepare(db_, kSeekSql[i]) != SQLITE_OK) return kIoError;
    if (fetch_[i].Prepare(db_, WithStamp(kFetchSql[i], version_)) != SQLITE_OK) return kIoError;
  }
  return kOk;
}

int SqliteDataFile::Upgrade() {
  // Another connection may have upgraded the file since this one loaded it.
  int64_t stored = 0;
  {
    Statement v;
    int rc = v.Prepare(db_, "SELECT value FROM meta WHERE name = 'version'");
    if (rc != SQLITE_OK) return MapError(rc);
    rc = v.Step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kIoError : MapError(rc);
    stored = v.Int(0);
  }  // finished before the schema changes
  if (stored < kFormatVersion) {
    int rc = db_.Exec(
        "ALTER TABLE records ADD COLUMN stamp INTEGER NOT NULL DEFAULT 0;"
        "UPDATE meta SET value = 2 WHERE name = 'version'");
    if (rc != SQLITE_OK) return MapError(rc);
  }
  version_ = kFormatVersion;
  ahead_->Clear();
  return Prepare();
}

}  // namespace tavelnor::btrieve
