// Changes to a data file's description (indexes added and dropped, owner
// name), reloading it after another connection changed it, and the ranks
// behind percentages.
#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/key_codec.h"

namespace tavelnor::btrieve {

int SqliteDataFile::SaveSpec(const FileSpec& spec) {
  std::vector<uint8_t> blob = SerializeFileSpec(spec);
  Statement st;
  int rc = st.Prepare(db_, "UPDATE meta SET value = ?1 WHERE name = 'spec'");
  if (rc != SQLITE_OK) return MapError(rc);
  st.BindBlob(1, blob.data(), blob.size());
  rc = st.Step();
  if (rc != SQLITE_DONE) return MapError(rc);
  int status = SetMeta("layout", layout_ + 1);
  if (status == kOk) ++layout_;
  return status;
}

int SqliteDataFile::Refresh() {
  int64_t stamp = 0;
  {
    Statement::Scope scope(layout_read_);
    int rc = layout_read_.Step();
    if (rc == SQLITE_ROW) stamp = layout_read_.Int(0);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return MapError(rc);
  }
  if (stamp == layout_) return kOk;
  Statement st;
  int rc = st.Prepare(db_,
                      "SELECT name, value FROM meta WHERE name IN"
                      " ('spec', 'owner', 'owner_mode')");
  if (rc != SQLITE_OK) return MapError(rc);
  FileSpec spec = spec_;
  std::string owner = owner_;
  int mode = 0;
  while ((rc = st.Step()) == SQLITE_ROW) {
    const std::string name = st.Blob(0);
    if (name == "owner_mode") {
      mode = static_cast<int>(st.Int(1)) & 3;
    } else if (name == "owner") {
      owner = st.Blob(1);
    } else {
      std::string blob = st.Blob(1);
      const auto* bytes = reinterpret_cast<const uint8_t*>(blob.data());
      if (ParseFileSpec({bytes, blob.size()}, &spec, true) != kOk) return kIoError;
    }
  }
  if (rc != SQLITE_DONE) return MapError(rc);
  spec_ = std::move(spec);
  owner_ = std::move(owner);
  owner_mode_ = mode;
  layout_ = stamp;
  return kOk;
}

int SqliteDataFile::SetMeta(const std::string& name, int64_t value) {
  Statement st;
  int rc = st.Prepare(db_, "INSERT OR REPLACE INTO meta(name, value) VALUES (?1, ?2)");
  if (rc != SQLITE_OK) return MapError(rc);
  st.BindText(1, name);
  st.BindInt(2, value);
  rc = st.Step();
  return rc == SQLITE_DONE ? kOk : MapError(rc);
}

int SqliteDataFile::RenameMeta(const std::string& from, const std::string& to) {
  Statement st;
  int rc = to.empty() ? st.Prepare(db_, "DELETE FROM meta WHERE name = ?1")
                      : st.Prepare(db_, "UPDATE meta SET name = ?2 WHERE name = ?1");
  if (rc != SQLITE_OK) return MapError(rc);
  st.BindText(1, from);
  if (!to.empty()) st.BindText(2, to);
  rc = st.Step();
  return rc == SQLITE_DONE ? kOk : MapError(rc);
}

int SqliteDataFile::SetOwner(const std::string& owner, int mode) {
  if (int st = Begin(); st != kOk) return st;
  Statement st;
  int rc = st.Prepare(db_,
                      "INSERT OR REPLACE INTO meta(name, value) VALUES ('owner', ?1),"
                      " ('owner_mode', ?2)");
  if (rc == SQLITE_OK) {
    st.BindText(1, owner);
    st.BindInt(2, mode);
    rc = st.Step();
  }
  int status = rc == SQLITE_DONE ? SetMeta("layout", layout_ + 1) : MapError(rc);
  status = Finish(status);
  if (status == kOk) {
    owner_ = owner;
    owner_mode_ = mode;
    ++layout_;
  }
  return status;
}

int SqliteDataFile::BuildIndex(const KeyDef& key) {
  const Segment& first = key.segments.front();
  const bool autoinc = first.type == kTypeAutoIncrement;
  Statement all;
  int rc = all.Prepare(db_, "SELECT pos, data FROM records ORDER BY pos");
  if (rc != SQLITE_OK) return MapError(rc);
  // Records whose AUTOINCREMENT field is zero are numbered after every
  // record that already has a value.
  std::vector<uint32_t> unnumbered;
  while ((rc = all.Step()) == SQLITE_ROW) {
    const uint32_t pos = static_cast<uint32_t>(all.Int(0));
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(all.get(), 1));
    if (autoinc && std::all_of(p + first.position - 1, p + first.position - 1 + first.length,
                               [](uint8_t b) { return b == 0; })) {
      unnumbered.push_back(pos);
      continue;
    }
    std::string k;
    if (!Encode(key, p, &k)) continue;
    if (int st = AddEntry(key, std::move(k), pos); st != kOk) return st;
  }
  if (rc != SQLITE_DONE) return MapError(rc);
  for (uint32_t pos : unnumbered) {
    std::vector<uint8_t> record;
    if (int st = Read(pos, &record); st != kOk) return st;
    if (int st = FillAutoIncrement(&record); st != kOk) return st;
    Statement::Scope scope(update_rec_);
    update_rec_.BindInt(1, pos);
    update_rec_.BindBlob(2, record.data(), record.size());
    if (rc = update_rec_.Step(); rc != SQLITE_DONE) return MapError(rc);
    std::string k;
    if (!Encode(key, record.data(), &k)) continue;
    if (int st = AddEntry(key, std::move(k), pos); st != kOk) return st;
  }
  return kOk;
}

int SqliteDataFile::AddIndex(const FileSpec& spec, int num) {
  const KeyDef* key = spec.FindKey(num);
  if (key == nullptr) return kInvalidKeyNumber;
  const int64_t seen = layout_;
  if (int st = Begin(); st != kOk) return st;
  // `spec` was made from a description another connection has changed since.
  if (layout_ != seen) return Finish(kFileLocked);
  // Encoding and autoincrement numbering read spec_: switch first, restore
  // when the build fails.
  FileSpec old = spec_;
  spec_ = spec;
  int status = SetMeta(DistinctName(num), 0);  // counted up as the entries go in
  if (status == kOk) status = BuildIndex(*spec_.FindKey(num));
  if (status == kOk) status = SaveSpec(spec_);
  status = Finish(status);
  if (status != kOk) spec_ = std::move(old);
  return status;
}

int SqliteDataFile::DropIndex(int num, bool renumber) {
  if (int st = Begin(); st != kOk) return st;
  auto it = std::find_if(spec_.keys.begin(), spec_.keys.end(),
                         [num](const KeyDef& k) { return k.number == num; });
  if (it == spec_.keys.end()) return Finish(kInvalidKeyNumber);
  FileSpec next = spec_;
  next.keys.erase(next.keys.begin() + (it - spec_.keys.begin()));
  if (renumber) {
    for (KeyDef& k : next.keys) {
      if (k.number > num) --k.number;
    }
  }
  Statement st;
  int rc = st.Prepare(db_, "DELETE FROM keys WHERE num = ?1");
  if (rc == SQLITE_OK) {
    st.BindInt(1, num);
    rc = st.Step() == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
  }
  if (rc == SQLITE_OK && renumber) {
    // Through negative numbers, so that no entry meets another on the way.
    rc = db_.Exec(("UPDATE keys SET num = -1000 - num WHERE num > " + std::to_string(num) +
                   "; UPDATE keys SET num = -1001 - num WHERE num < 0")
                      .c_str());
  }
  int status = rc == SQLITE_OK ? SaveSpec(next) : MapError(rc);
  // The distinct value counts follow their keys.
  if (status == kOk) status = RenameMeta(DistinctName(num), "");
  for (const KeyDef& key : spec_.keys) {
    if (status != kOk || !renumber || key.number <= num) continue;
    status = RenameMeta(DistinctName(key.number), DistinctName(key.number - 1));
  }
  status = Finish(status);
  if (status == kOk) spec_ = std::move(next);
  return status;
}

int SqliteDataFile::CountOf(int num, uint32_t* count) {
  if (num < 0) return RecordCount(count);
  Statement st;
  int rc = st.Prepare(db_, "SELECT count(*) FROM keys WHERE num = ?1");
  if (rc != SQLITE_OK) return MapError(rc);
  st.BindInt(1, num);
  if (rc = st.Step(); rc != SQLITE_ROW) return MapError(rc);
  *count = static_cast<uint32_t>(st.Int(0));
  return kOk;
}

int SqliteDataFile::EntryAt(int num, uint32_t rank, Entry* out) {
  Statement st;
  int rc = num < 0
               ? st.Prepare(db_, "SELECT pos FROM records ORDER BY pos LIMIT 1 OFFSET ?2")
               : st.Prepare(db_,
                            "SELECT pos, k FROM keys WHERE num = ?1 ORDER BY k LIMIT 1 OFFSET ?2");
  if (rc != SQLITE_OK) return MapError(rc);
  if (num >= 0) st.BindInt(1, num);
  st.BindInt(2, rank);
  rc = st.Step();
  if (rc == SQLITE_DONE) return kEndOfFile;
  if (rc != SQLITE_ROW) return MapError(rc);
  out->pos = static_cast<uint32_t>(st.Int(0));
  out->k = num < 0 ? std::string() : st.Blob(1);
  return kOk;
}

int SqliteDataFile::RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank) {
  Statement st;
  int rc = num < 0 ? st.Prepare(db_, "SELECT count(*) FROM records WHERE pos < ?2")
                   : st.Prepare(db_, "SELECT count(*) FROM keys WHERE num = ?1 AND k < ?2");
  if (rc != SQLITE_OK) return MapError(rc);
  if (num < 0) {
    st.BindInt(2, pos);
  } else {
    st.BindInt(1, num);
    st.BindBlob(2, k);
  }
  if (rc = st.Step(); rc != SQLITE_ROW) return MapError(rc);
  *rank = static_cast<uint32_t>(st.Int(0));
  return kOk;
}

}  // namespace tavelnor::btrieve
