// An exact import into one of our files: records at the positions another
// file gave them, index entries as that file ordered them (duplicates in
// their original order), one transaction for all of it.

#include "btrieve/btrieve_codes.h"
#include "btrieve/key_codec.h"
#include "btrieve/read_ahead.h"
#include "btrieve/sqlite_data_file.h"

namespace tavelnor::btrieve {

int SqliteDataFile::BeginImport() {
  // Not on a file joined to another's connection: its statements name the
  // host's schema.
  if (import_last_ >= 0 || !db_.schema().empty()) return kNotAllowedNow;
  if (int st = Begin(); st != kOk) return st;
  // Above every position handed out, also to records deleted since.
  Statement top;
  int rc = top.Prepare(db_,
                       "SELECT max(coalesce((SELECT max(pos) FROM records), 0),"
                       " coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'records'), 0))");
  if (rc == SQLITE_OK) rc = top.Step();
  if (rc == SQLITE_ROW) {
    import_last_ = top.Int(0);
    rc = import_rec_.Prepare(db_, "INSERT INTO records(pos, data) VALUES (?1, ?2)");
  }
  if (rc != SQLITE_ROW && rc != SQLITE_OK) {
    import_last_ = -1;
    return Finish(MapError(rc));
  }
  return kOk;
}

int SqliteDataFile::ImportRecord(uint32_t pos, std::span<const uint8_t> data,
                                 const std::vector<std::string>& entries) {
  if (import_last_ < 0) return kNotAllowedNow;
  if (pos <= import_last_) return kInvalidRecordAddress;
  if (data.size() < spec_.record_length ||
      (!spec_.variable_length() && data.size() != spec_.record_length)) {
    return kDataBufferTooShort;
  }
  if (entries.size() != spec_.keys.size()) return kIoError;
  // Every entry is checked before anything is stored, so that a refused
  // record leaves nothing behind.
  for (size_t i = 0; i < entries.size(); ++i) {
    const KeyDef& key = spec_.keys[i];
    std::string own;
    if (!Encode(key, data.data(), &own)) {
      if (!entries[i].empty()) return kIoError;  // an entry for a null key
      continue;
    }
    const size_t width = own.size() + (key.duplicates() ? kDupSuffixSize : 0);
    if (entries[i].size() != width || entries[i].compare(0, own.size(), own) != 0) {
      return kIoError;
    }
  }
  {
    Statement::Scope scope(import_rec_);
    import_rec_.BindInt(1, pos);
    import_rec_.BindBlob(2, data.data(), data.size());
    if (int rc = import_rec_.Step(); rc != SQLITE_DONE) return MapError(rc);
  }
  int status = kOk;
  for (size_t i = 0; status == kOk && i < entries.size(); ++i) {
    if (entries[i].empty()) continue;
    Statement::Scope scope(key_insert_);
    key_insert_.BindInt(1, spec_.keys[i].number);
    key_insert_.BindBlob(2, entries[i]);
    key_insert_.BindInt(3, pos);
    if (int rc = key_insert_.Step(); rc != SQLITE_DONE) status = MapError(rc);
  }
  if (status == kOk) {
    import_last_ = pos;
    return kOk;
  }
  // An entry the key holds already: the record and its entries go again.
  {
    Statement::Scope scope(key_delete_pos_);
    key_delete_pos_.BindInt(1, pos);
    if (int rc = key_delete_pos_.Step(); rc != SQLITE_DONE) return MapError(rc);
  }
  Statement::Scope scope(delete_rec_);
  delete_rec_.BindInt(1, pos);
  delete_rec_.BindInt(2, 0);  // the stamp of a record just stored
  if (int rc = delete_rec_.Step(); rc != SQLITE_DONE) return MapError(rc);
  return status;
}

int SqliteDataFile::EndImport(bool commit) {
  if (import_last_ < 0) return kNotAllowedNow;
  import_last_ = -1;
  int status = commit ? kOk : kIoError;
  // The counts of the whole key, whatever the file held before.
  Statement count;
  if (status == kOk) {
    int rc = count.Prepare(db_, "SELECT count(DISTINCT substr(k, 1, ?2)) FROM keys WHERE num = ?1");
    if (rc != SQLITE_OK) status = MapError(rc);
  }
  for (size_t i = 0; status == kOk && i < spec_.keys.size(); ++i) {
    const KeyDef& key = spec_.keys[i];
    Statement::Scope scope(count);
    count.BindInt(1, key.number);
    count.BindInt(2, static_cast<int64_t>(key.length()));
    int rc = count.Step();
    if (rc != SQLITE_ROW) {
      status = MapError(rc);
      break;
    }
    distinct_delta_.erase(key.number);
    status = SetMeta(DistinctName(key.number), count.Int(0));
  }
  ahead_->Clear();
  if (commit) return Finish(status);
  (void)Finish(status);
  return kOk;
}

}  // namespace tavelnor::btrieve
