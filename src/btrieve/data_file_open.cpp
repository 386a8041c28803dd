// Creating and opening data files: schema, format check, damage check.
#include <cstdlib>
#include <string>

#include "btrieve/btrieve_codes.h"
#include "btrieve/data_file.h"
#include "btrieve/legacy_index.h"
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

// Bytes 24-27 of the database header: the file change counter.
constexpr size_t kHeaderBytes = 28;

// The first 16 bytes of every SQLite database: "SQLite format 3" and a NUL.
constexpr uint32_t kSqliteMagic[4] = {0x53514C69, 0x74652066, 0x6F726D61, 0x74203300};

bool IsSqliteDatabase(const std::string& path) {
  auto view = platform::SharedFileView::Open(path, sizeof kSqliteMagic);
  if (view == nullptr) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (view->LoadBE32(4 * i) != kSqliteMagic[i]) return false;
  }
  return true;
}

void RemoveWithCompanions(const std::string& path) {
  (void)platform::RemoveFile(path + "-journal");
  (void)platform::RemoveFile(path + "-wal");
  (void)platform::RemoveFile(path + "-shm");
}

// Reads one metadata value as a statement column; false when absent.
bool MetaValue(sqlite3* db, const char* name, std::string* out, int* rc) {
  Statement st;
  *rc = st.Prepare(db, "SELECT value FROM meta WHERE name = ?1");
  if (*rc != SQLITE_OK) return false;
  st.BindText(1, name);
  *rc = st.Step();
  if (*rc != SQLITE_ROW) return false;
  *out = st.Blob(0);
  *rc = SQLITE_OK;
  return true;
}

}  // namespace

int DataFile::Create(const std::string& path, const FileSpec& spec, bool replace) {
  if (path.empty()) return kInvalidFileName;
  if (platform::DirectoryExists(path)) return kInvalidFileName;
  if (platform::FileExists(path)) {
    if (!replace) return kFileExists;
    if (!platform::RemoveFile(path).ok()) return kCreateIoError;
  }
  RemoveWithCompanions(path);
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

int DataFile::Open(const std::string& path, std::unique_ptr<DataFile>* out) {
  SetLastOpenDiagnosis({});
  if (path.empty()) return kInvalidFileName;
  if (!platform::FileExists(path)) return kFileNotFound;
  std::unique_ptr<DataFile> file(new DataFile());
  if (!IsSqliteDatabase(path)) {
    if (int st = file->OpenLegacyFile(path); st != kOk) return st;
    *out = std::move(file);
    return kOk;
  }
  if (file->db_.Open(path, SQLITE_OPEN_READWRITE) != SQLITE_OK) {
    file.reset(new DataFile());
    if (file->db_.Open(path, SQLITE_OPEN_READONLY) != SQLITE_OK) return kIoError;
  }
  sqlite3_busy_timeout(file->db_.get(), 10000);
  // Pages kept between calls and within a transaction: 8 MiB, four times
  // SQLite's default, so that large transactions seldom spill.
  (void)file->db_.Exec("PRAGMA cache_size = -8192");
  if (int st = file->Load(); st != kOk) {
    if (st == kNotOurFile) SetLastOpenDiagnosis("a SQLite database of another kind");
    return st;
  }
  if (int st = file->Prepare(); st != kOk) return st;
  // The change counter moves on every commit only in rollback journal modes.
  Statement mode;
  if (mode.Prepare(file->db_.get(), "PRAGMA journal_mode") == SQLITE_OK &&
      mode.Step() == SQLITE_ROW && mode.Blob(0) != "wal") {
    file->header_ = platform::SharedFileView::Open(path, kHeaderBytes);
  }
  *out = std::move(file);
  return kOk;
}

int DataFile::OpenLegacyFile(const std::string& path) {
  std::unique_ptr<LegacySource> source;
  std::string reason;
  int st = OpenLegacy(path, &source, &reason);
  if (st == kOk && source == nullptr) st = kIoError;
  if (st == kOk) {
    st = LegacyIndex::Build(std::move(source), &legacy_);
    if (st != kOk) reason = "damaged file: its records could not be indexed";
  }
  if (st != kOk) {
    SetLastOpenDiagnosis(std::move(reason));
    legacy_.reset();
    return st;
  }
  spec_ = legacy_->spec();
  return kOk;
}

int DataFile::Load() {
  sqlite3* db = db_.get();
  std::string format, spec_blob;
  int rc = SQLITE_OK;
  if (!MetaValue(db, "format", &format, &rc)) {
    return rc == SQLITE_CORRUPT || rc == SQLITE_IOERR ? kIoError : kNotOurFile;
  }
  if (format != kFormatName) return kNotOurFile;
  Statement v;
  if (v.Prepare(db, "SELECT value FROM meta WHERE name = 'version'") != SQLITE_OK ||
      v.Step() != SQLITE_ROW || v.Int(0) < 1 || v.Int(0) > kFormatVersion) {
    return kNotOurFile;
  }
  version_ = static_cast<int>(v.Int(0));
  if (!MetaValue(db, "spec", &spec_blob, &rc) || !MetaValue(db, "owner", &owner_, &rc)) {
    return kIoError;
  }
  std::string layout;
  if (MetaValue(db, "layout", &layout, &rc)) layout_ = std::atoll(layout.c_str());
  std::string mode;
  if (MetaValue(db, "owner_mode", &mode, &rc) && mode.size() == 1 && mode[0] >= '0' &&
      mode[0] <= '3') {
    owner_mode_ = mode[0] - '0';
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(spec_blob.data());
  if (ParseFileSpec({bytes, spec_blob.size()}, &spec_, true) != kOk) return kIoError;
  // A file cut short still opens in SQLite; its header names more pages than
  // the file holds.
  Statement pages;
  if (pages.Prepare(db, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size") !=
          SQLITE_OK ||
      pages.Step() != SQLITE_ROW) {
    return kIoError;
  }
  auto size = platform::FileSize(sqlite3_db_filename(db, "main"));
  if (!size.ok() || static_cast<uint64_t>(pages.Int(0)) > *size) return kIoError;
  // The index table's root page must be readable too.
  Statement check;
  if (check.Prepare(db, "SELECT count(*) FROM keys WHERE num < 0") != SQLITE_OK ||
      check.Step() != SQLITE_ROW) {
    return kIoError;
  }
  return kOk;
}

int DataFile::Prepare() {
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

int DataFile::Upgrade() {
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
