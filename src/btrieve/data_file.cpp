// Record and index operations of one data file.
#include "btrieve/sqlite_data_file.h"

#include <cstring>
#include <limits>

#include "btrieve/btrieve_codes.h"
#include "btrieve/key_codec.h"

namespace tavelnor::btrieve {

namespace {

void AppendSequence(std::string* k, uint64_t seq) {
  for (int i = 7; i >= 0; --i) k->push_back(static_cast<char>((seq >> (8 * i)) & 0xFF));
}

uint64_t SequenceOf(const std::string& k) {
  uint64_t seq = 0;
  for (size_t i = k.size() - kDupSuffixSize; i < k.size(); ++i) {
    seq = (seq << 8) | static_cast<uint8_t>(k[i]);
  }
  return seq;
}

}  // namespace

int SqliteDataFile::MapError(int rc) const {
  switch (rc & 0xFF) {
    case SQLITE_FULL:
      return kDiskFull;
    case SQLITE_CONSTRAINT:
      return kDuplicateKey;
    case SQLITE_NOTADB:
      return kNotOurFile;
    case SQLITE_READONLY:
      return kAccessDenied;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kFileLocked;  // another process held it past the timeout
    default:
      return kIoError;
  }
}

int SqliteDataFile::Begin() {
  // Inside a caller's transaction (BeginTransaction) each write is a
  // savepoint: a failed write is undone alone and the transaction goes on.
  nested_ = sqlite3_get_autocommit(db_.get()) == 0;
  int rc = db_.Exec(nested_ ? "SAVEPOINT write" : "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return MapError(rc);
  // Another connection may have added or dropped a key since: write with
  // the keys the file has now.
  int status = Refresh();
  if (status == kOk && version_ < kFormatVersion) status = Upgrade();
  if (status != kOk) (void)Finish(status);
  return status;
}

int SqliteDataFile::Finish(int status) {
  if (status == kOk) status = FlushDistinct();
  distinct_delta_.clear();
  if (nested_) {
    if (status != kOk) (void)db_.Exec("ROLLBACK TO write");
    int rc = db_.Exec("RELEASE write");
    return status == kOk && rc != SQLITE_OK ? MapError(rc) : status;
  }
  if (status == kOk) {
    int rc = db_.Exec("COMMIT");
    if (rc == SQLITE_OK) return kOk;
    status = MapError(rc);
  }
  (void)db_.Exec("ROLLBACK");
  return status;
}

int SqliteDataFile::EntryOf(int num, uint32_t pos, Entry* out) {
  Statement::Scope scope(key_of_pos_);
  key_of_pos_.BindInt(1, pos);
  key_of_pos_.BindInt(2, num);
  int rc = key_of_pos_.Step();
  if (rc == SQLITE_DONE) return kKeyNotFound;
  if (rc != SQLITE_ROW) return MapError(rc);
  out->k = key_of_pos_.Blob(0);
  out->pos = pos;
  return kOk;
}

bool SqliteDataFile::Encode(const KeyDef& key, const uint8_t* record, std::string* k) const {
  std::string raw = ExtractKey(key, record);
  const auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
  if (IsNullKey(key, bytes)) return false;
  *k = EncodeKey(spec_, key, bytes);
  return true;
}

int SqliteDataFile::AddEntry(const KeyDef& key, std::string k, uint32_t pos, std::string* stored) {
  if (key.duplicates()) {
    // Next sequence number after the last duplicate of the same value.
    std::string top = k + std::string(kDupSuffixSize, '\xFF');
    Entry last;
    int st = FindEntry(key.number, Seek::kAtMost, top, &last);
    if (st != kOk && st != kEndOfFile) return st;
    uint64_t seq = 0;
    if (st == kOk && last.k.size() == top.size() && last.k.compare(0, k.size(), k) == 0) {
      seq = SequenceOf(last.k) + 1;
    }
    AppendSequence(&k, seq);
  }
  bool fresh = true;  // a unique key never holds a value twice
  if (key.duplicates()) fresh = SequenceOf(k) == 0;
  {
    Statement::Scope scope(key_insert_);
    key_insert_.BindInt(1, key.number);
    key_insert_.BindBlob(2, k);
    key_insert_.BindInt(3, pos);
    if (int rc = key_insert_.Step(); rc != SQLITE_DONE) return MapError(rc);
  }
  if (stored != nullptr) *stored = std::move(k);
  return fresh ? AdjustDistinct(key.number, 1) : kOk;
}

int SqliteDataFile::EntryFor(uint32_t pos, WriteResult* result) {
  result->indexed = false;
  result->entry.clear();
  if (spec_.FindKey(result->key) == nullptr) return kOk;
  Entry entry;
  int st = EntryOf(result->key, pos, &entry);
  if (st == kKeyNotFound) return kOk;
  if (st != kOk) return st;
  result->indexed = true;
  result->entry = std::move(entry.k);
  return kOk;
}

int SqliteDataFile::RemovedEntry(const KeyDef& key, const std::string& k) {
  if (key.duplicates()) {
    const std::string value = k.substr(0, key.length());
    Entry next;
    int st = FindEntry(key.number, Seek::kAtLeast, value, &next);
    if (st != kOk && st != kEndOfFile) return st;
    if (st == kOk && next.k.compare(0, value.size(), value) == 0) return kOk;
  }
  return AdjustDistinct(key.number, -1);
}

int SqliteDataFile::AdjustDistinct(int num, int delta) {
  distinct_delta_[num] += delta;  // stored once per transaction, by Finish
  return kOk;
}

int SqliteDataFile::FlushDistinct() {
  for (const auto& [num, delta] : distinct_delta_) {
    if (delta == 0) continue;
    Statement::Scope scope(adjust_);
    const std::string name = DistinctName(num);  // bound, not copied
    adjust_.BindText(1, name);
    adjust_.BindInt(2, delta);
    if (int rc = adjust_.Step(); rc != SQLITE_DONE) return MapError(rc);
  }
  return kOk;
}

int SqliteDataFile::FillAutoIncrement(std::vector<uint8_t>* record) {
  for (const KeyDef& key : spec_.keys) {
    const Segment& seg = key.segments.front();
    if (seg.type != kTypeAutoIncrement) continue;
    uint8_t* field = record->data() + seg.position - 1;
    bool zero = true;
    for (size_t i = 0; i < seg.length; ++i) zero = zero && field[i] == 0;
    if (!zero) continue;
    Entry last;
    int st = FindEntry(key.number, Seek::kLast, {}, &last);
    if (st != kOk && st != kEndOfFile) return st;
    uint64_t next = st == kOk ? DecodeAutoIncrement(last.k, seg.length) + 1 : 1;
    for (size_t i = 0; i < seg.length; ++i) field[i] = static_cast<uint8_t>(next >> (8 * i));
  }
  return kOk;
}

int SqliteDataFile::Insert(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result) {
  if (int st = Begin(); st != kOk) return st;
  return Finish(InsertRow(record, pos, result));
}

int SqliteDataFile::InsertMany(std::vector<std::vector<uint8_t>>* records,
                         std::vector<uint32_t>* positions, WriteResult* result) {
  positions->clear();
  if (int st = Begin(); st != kOk) return st;
  // The batch in one savepoint. When a record fails, the batch is undone and
  // the records before it go in again (they went in once, so they go in the
  // same way: AUTOINCREMENT values are filled in already, positions are
  // handed out again from the same point): the ones before it stay, and the
  // common case pays for one savepoint, not one per record.
  if (int rc = db_.Exec("SAVEPOINT batch"); rc != SQLITE_OK) return Finish(MapError(rc));
  const std::map<int, int64_t> counted = distinct_delta_;
  auto insert = [&](size_t count) {
    positions->clear();
    for (size_t i = 0; i < count; ++i) {
      uint32_t pos = 0;
      WriteResult one;
      if (result != nullptr) one.key = result->key;
      if (int st = InsertRow(&(*records)[i], &pos, result != nullptr ? &one : nullptr);
          st != kOk) {
        return st;
      }
      positions->push_back(pos);
      if (result != nullptr) *result = std::move(one);
    }
    return static_cast<int>(kOk);
  };
  int status = insert(records->size());
  if (status != kOk) {
    const size_t kept = positions->size();
    (void)db_.Exec("ROLLBACK TO batch");
    distinct_delta_ = counted;
    if (int again = insert(kept); again != kOk) {
      (void)db_.Exec("ROLLBACK TO batch");
      (void)db_.Exec("RELEASE batch");
      positions->clear();
      return Finish(again);
    }
  }
  (void)db_.Exec("RELEASE batch");
  if (int kept = Finish(kOk); kept != kOk) {
    positions->clear();
    return kept;
  }
  return status;
}

int SqliteDataFile::InsertRow(std::vector<uint8_t>* record, uint32_t* pos, WriteResult* result) {
  if (result != nullptr) {
    result->indexed = false;
    result->entry.clear();
    result->stamp = 0;
  }
  int status = FillAutoIncrement(record);
  if (status == kOk) {
    Statement::Scope scope(insert_rec_);
    insert_rec_.BindBlob(1, record->data(), record->size());
    int rc = insert_rec_.Step();
    int64_t id = sqlite3_last_insert_rowid(db_.get());
    if (rc != SQLITE_DONE) {
      status = MapError(rc);
    } else if (id <= 0 || id > std::numeric_limits<uint32_t>::max()) {
      status = kDiskFull;
    } else {
      *pos = static_cast<uint32_t>(id);
    }
  }
  for (size_t i = 0; status == kOk && i < spec_.keys.size(); ++i) {
    const KeyDef& key = spec_.keys[i];
    std::string k;
    if (!Encode(key, record->data(), &k)) continue;
    const bool wanted = result != nullptr && key.number == result->key;
    status = AddEntry(key, k, *pos, wanted ? &result->entry : nullptr);
    if (wanted) result->indexed = true;
  }
  return status;
}

int SqliteDataFile::Update(uint32_t pos, const std::vector<uint8_t>& record, uint64_t read_stamp,
                     WriteResult* result) {
  if (int st = Begin(); st != kOk) return st;
  std::vector<uint8_t> old;
  uint64_t stamp = 0;
  int status = Read(pos, &old, &stamp);
  // Gone or changed since the caller read it: another client's change.
  if (status == kInvalidRecordAddress || (status == kOk && stamp != read_stamp)) {
    status = kConflict;
  }
  bool entry_known = false;
  for (size_t i = 0; status == kOk && i < spec_.keys.size(); ++i) {
    const KeyDef& key = spec_.keys[i];
    if (ExtractKey(key, old.data()) == ExtractKey(key, record.data())) continue;
    if (!key.modifiable()) {
      status = kModifiableKeyChanged;
      break;
    }
    const bool wanted = result != nullptr && key.number == result->key;
    Entry before;
    int found = EntryOf(key.number, pos, &before);
    std::string k;
    bool indexed = Encode(key, record.data(), &k);
    if (found == kOk && indexed && before.k.compare(0, k.size(), k) == 0) continue;
    if (found == kOk) {
      Statement::Scope scope(key_delete_one_);
      key_delete_one_.BindInt(1, key.number);
      key_delete_one_.BindBlob(2, before.k);
      if (int rc = key_delete_one_.Step(); rc != SQLITE_DONE) status = MapError(rc);
      if (status == kOk) status = RemovedEntry(key, before.k);
    } else if (found != kKeyNotFound) {
      status = found;
    }
    if (wanted) {
      entry_known = true;
      result->indexed = indexed;
      result->entry.clear();
    }
    if (status == kOk && indexed) status = AddEntry(key, k, pos, wanted ? &result->entry : nullptr);
  }
  if (status == kOk) {
    Statement::Scope scope(update_rec_);
    update_rec_.BindInt(1, pos);
    update_rec_.BindBlob(2, record.data(), record.size());
    if (int rc = update_rec_.Step(); rc != SQLITE_DONE) status = MapError(rc);
  }
  if (status == kOk && result != nullptr) {
    result->stamp = version_ >= 2 ? stamp + 1 : 0;
    if (!entry_known) status = EntryFor(pos, result);
  }
  return Finish(status);
}

int SqliteDataFile::Delete(uint32_t pos, uint64_t read_stamp) {
  if (int st = Begin(); st != kOk) return st;
  // The record first, only as the caller read it: gone or changed since is
  // another client's change.
  int status = kOk;
  {
    Statement::Scope scope(delete_rec_);
    delete_rec_.BindInt(1, pos);
    delete_rec_.BindInt(2, static_cast<int64_t>(read_stamp));
    int rc = delete_rec_.Step();
    if (rc != SQLITE_DONE) {
      status = MapError(rc);
    } else if (sqlite3_changes(db_.get()) == 0) {
      status = kConflict;
    }
  }
  std::vector<std::pair<const KeyDef*, std::string>> removed;
  for (size_t i = 0; status == kOk && i < spec_.keys.size(); ++i) {
    Entry entry;
    int st = EntryOf(spec_.keys[i].number, pos, &entry);
    if (st == kOk) {
      removed.emplace_back(&spec_.keys[i], std::move(entry.k));
    } else if (st != kKeyNotFound) {
      status = st;
    }
  }
  if (status == kOk) {
    Statement::Scope scope(key_delete_pos_);
    key_delete_pos_.BindInt(1, pos);
    if (int rc = key_delete_pos_.Step(); rc != SQLITE_DONE) status = MapError(rc);
  }
  for (size_t i = 0; status == kOk && i < removed.size(); ++i) {
    status = RemovedEntry(*removed[i].first, removed[i].second);
  }
  return Finish(status);
}

int SqliteDataFile::RecordCount(uint32_t* count) {
  Statement::Scope scope(count_);
  if (int rc = count_.Step(); rc != SQLITE_ROW) return MapError(rc);
  *count = static_cast<uint32_t>(count_.Int(0));
  return kOk;
}

int SqliteDataFile::DistinctValues(std::vector<uint32_t>* per_key) {
  per_key->clear();
  std::vector<size_t> missing;
  for (const KeyDef& key : spec_.keys) {
    Statement::Scope scope(distinct_);
    const std::string name = DistinctName(key.number);
    distinct_.BindText(1, name);
    int rc = distinct_.Step();
    if (rc == SQLITE_DONE) missing.push_back(per_key->size());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return MapError(rc);
    per_key->push_back(rc == SQLITE_ROW ? static_cast<uint32_t>(distinct_.Int(0)) : 0);
  }
  if (missing.empty()) return kOk;
  // Files written before the counts were kept: counted, and the counts kept
  // in memory while the file stays as it was (a read writes nothing).
  Statement version, count;
  int rc = version.Prepare(db_, "PRAGMA data_version");
  if (rc == SQLITE_OK) rc = version.Step();
  if (rc != SQLITE_ROW) return MapError(rc);
  const int64_t data_version = version.Int(0);
  const int64_t changes = sqlite3_total_changes64(db_.get());
  if (data_version != counted_version_ || changes != counted_changes_) {
    counted_distinct_.clear();
    counted_version_ = data_version;
    counted_changes_ = changes;
  }
  rc = count.Prepare(db_, "SELECT count(DISTINCT substr(k, 1, ?2)) FROM keys WHERE num = ?1");
  if (rc != SQLITE_OK) return MapError(rc);
  for (size_t i : missing) {
    const int num = spec_.keys[i].number;
    auto known = counted_distinct_.find(num);
    if (known != counted_distinct_.end()) {
      (*per_key)[i] = known->second;
      continue;
    }
    Statement::Scope scope(count);
    count.BindInt(1, num);
    count.BindInt(2, static_cast<int64_t>(spec_.keys[i].length()));
    if (rc = count.Step(); rc != SQLITE_ROW) return MapError(rc);
    (*per_key)[i] = static_cast<uint32_t>(count.Int(0));
    counted_distinct_[num] = (*per_key)[i];
  }
  return kOk;
}

}  // namespace tavelnor::btrieve
