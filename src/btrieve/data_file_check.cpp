// The full integrity check of a data file (SqliteDataFile::Check): SQLite's own
// check of its pages, then ours of what the pages hold -- records against
// their index entries and back, entry order and width, the kept distinct
// value counts and the description. Reads only.
#include <algorithm>
#include <limits>

#include "btrieve/btrieve_codes.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/key_codec.h"

namespace tavelnor::btrieve {

namespace {

// Findings past this many are counted, not listed.
constexpr size_t kMaxFindings = 200;

class Findings {
 public:
  explicit Findings(std::vector<std::string>* out) : out_(out) {}
  ~Findings() {
    if (dropped_ > 0) out_->push_back("... and " + std::to_string(dropped_) + " more");
  }
  void Add(std::string what) {
    if (out_->size() < kMaxFindings) {
      out_->push_back(std::move(what));
    } else {
      ++dropped_;
    }
  }

 private:
  std::vector<std::string>* out_;
  size_t dropped_ = 0;
};

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace

int SqliteDataFile::Check(std::vector<std::string>* out) {
  out->clear();
  Findings findings(out);
  // A read that fails ends the check, named as its last finding.
  const auto stop = [this, &findings](int rc) {
    findings.Add(std::string("the check stopped: ") + sqlite3_errmsg(db_.get()));
    return MapError(rc);
  };
  // SQLite's own check of pages, free list and indexes.
  {
    Statement st;
    int rc = st.Prepare(db_, "PRAGMA integrity_check(100)");
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      rc = st.Step();
      if (rc == SQLITE_ROW && st.Blob(0) != "ok") findings.Add("SQLite: " + st.Blob(0));
    }
    if (rc != SQLITE_DONE) return stop(rc);
  }
  // The description as stored (another connection may have changed it).
  FileSpec spec;
  {
    Statement st;
    int rc = st.Prepare(db_, "SELECT value FROM meta WHERE name = 'spec'");
    if (rc == SQLITE_OK) rc = st.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return stop(rc);
    const std::string blob = rc == SQLITE_ROW ? st.Blob(0) : std::string();
    const auto* bytes = reinterpret_cast<const uint8_t*>(blob.data());
    if (rc != SQLITE_ROW || ParseFileSpec({bytes, blob.size()}, &spec, true) != kOk) {
      findings.Add("the file description cannot be read");
      return kOk;  // nothing below can be judged without it
    }
  }
  const auto fits = [&spec](size_t size) {
    return spec.variable_length() ? size >= spec.record_length : size == spec.record_length;
  };
  // Every record: a valid position, a length its file holds, and on every
  // key exactly the entry its key gives (none for a null key).
  std::vector<int64_t> positions;  // of every record, ascending
  uint64_t records = 0;
  {
    Statement all, entries;
    int rc = all.Prepare(db_, "SELECT pos, data FROM records ORDER BY pos");
    if (rc == SQLITE_OK)
      rc = entries.Prepare(db_, "SELECT k FROM keys WHERE pos = ?1 AND num = ?2");
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      if ((rc = all.Step()) != SQLITE_ROW) break;
      ++records;
      const int64_t pos = all.Int(0);
      const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(all.get(), 1));
      const auto size = static_cast<size_t>(sqlite3_column_bytes(all.get(), 1));
      const std::string at = "record " + std::to_string(pos);
      positions.push_back(pos);
      if (pos < 1 || pos > int64_t{std::numeric_limits<uint32_t>::max()}) {
        findings.Add(at + ": not a valid position");
        continue;
      }
      if (!fits(size) || data == nullptr) {
        findings.Add(at + ": " + std::to_string(size) + " bytes, for records of " +
                     std::to_string(spec.record_length));
        continue;
      }
      for (const KeyDef& key : spec.keys) {
        const std::string raw = ExtractKey(key, data);
        const bool null = IsNullKey(key, reinterpret_cast<const uint8_t*>(raw.data()));
        const std::string want =
            null ? std::string()
                 : EncodeKey(spec, key, reinterpret_cast<const uint8_t*>(raw.data()));
        const std::string on = at + ", key " + std::to_string(key.number) + ": ";
        Statement::Scope scope(entries);
        entries.BindInt(1, pos);
        entries.BindInt(2, key.number);
        int found = 0;
        while ((rc = entries.Step()) == SQLITE_ROW) {
          ++found;
          const std::string k = entries.Blob(0);
          if (null) {
            findings.Add(on + "an entry, though the key is null");
          } else if (k.compare(0, want.size(), want) != 0) {
            findings.Add(on + "the entry holds " + Hex(k.substr(0, want.size())) + ", the record " +
                         Hex(want));
          }
        }
        if (rc != SQLITE_DONE) break;
        rc = SQLITE_OK;
        if (!null && found == 0) findings.Add(on + "no entry");
        if (found > 1) findings.Add(on + std::to_string(found) + " entries");
      }
    }
    if (rc != SQLITE_DONE) return stop(rc);
  }
  std::sort(positions.begin(), positions.end());  // a damaged table may not give them in order
  // Every entry, key by key in index order: strictly ascending (so the
  // duplicates of one value in the order of their suffixes), one entry per
  // value on a unique key, of its key's width, pointing at a record (whose
  // key the pass above compared with it); the distinct values counted
  // against the count kept.
  for (const KeyDef& key : spec.keys) {
    const size_t value_size = key.length();
    const size_t width = value_size + (key.duplicates() ? kDupSuffixSize : 0);
    const std::string of = "key " + std::to_string(key.number) + ": ";
    Statement walk;
    int rc = walk.Prepare(db_, "SELECT k, pos FROM keys WHERE num = ?1 ORDER BY k");
    if (rc != SQLITE_OK) return stop(rc);
    walk.BindInt(1, key.number);
    std::string previous;
    uint64_t entries = 0, distinct = 0;
    while ((rc = walk.Step()) == SQLITE_ROW) {
      const std::string k = walk.Blob(0);
      const int64_t pos = walk.Int(1);
      const std::string entry =
          of + "the entry " + Hex(k) + " (record " + std::to_string(pos) + ")";
      const bool same_value = entries > 0 && k.compare(0, value_size, previous, 0, value_size) == 0;
      if (same_value && !key.duplicates()) {
        findings.Add(entry + ": a second entry of one value on a unique key");
      } else if (entries > 0 && k <= previous) {
        findings.Add(entry + ": out of order");
      }
      if (k.size() != width) {
        findings.Add(entry + ": " + std::to_string(k.size()) + " bytes, for " +
                     std::to_string(width));
      }
      if (!same_value) ++distinct;
      ++entries;
      previous = k;
      if (!std::binary_search(positions.begin(), positions.end(), pos)) {
        findings.Add(entry + ": no such record");
      }
    }
    if (rc != SQLITE_DONE) return stop(rc);
    Statement kept;
    rc = kept.Prepare(db_, "SELECT value FROM meta WHERE name = ?1");
    if (rc != SQLITE_OK) return stop(rc);
    const std::string name = DistinctName(key.number);
    kept.BindText(1, name);
    rc = kept.Step();
    if (rc == SQLITE_ROW && (sqlite3_column_type(kept.get(), 0) != SQLITE_INTEGER ||
                             static_cast<uint64_t>(kept.Int(0)) != distinct)) {
      findings.Add(of + "the distinct value count kept is " + kept.Blob(0) + ", " +
                   std::to_string(distinct) + " counted");
    } else if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      return stop(rc);
    }
  }
  // Entries of keys the description does not have.
  {
    Statement next;
    int rc = next.Prepare(db_, "SELECT num FROM keys WHERE num > ?1 ORDER BY num LIMIT 1");
    if (rc != SQLITE_OK) return stop(rc);
    for (int64_t num = std::numeric_limits<int64_t>::min();;) {
      Statement::Scope scope(next);
      next.BindInt(1, num);
      if ((rc = next.Step()) != SQLITE_ROW) break;
      num = next.Int(0);
      if (num < 0 || num > std::numeric_limits<int>::max() ||
          spec.FindKey(static_cast<int>(num)) == nullptr) {
        findings.Add("entries of key " + std::to_string(num) + ", which the file does not have");
      }
    }
    if (rc != SQLITE_DONE) return stop(rc);
  }
  // The record count as SQLite counts it, against the records read.
  {
    Statement count;
    int rc = count.Prepare(db_, "SELECT count(*) FROM records");
    if (rc == SQLITE_OK) rc = count.Step();
    if (rc != SQLITE_ROW) return stop(rc);
    if (static_cast<uint64_t>(count.Int(0)) != records) {
      findings.Add("the record count is " + std::to_string(count.Int(0)) + ", " +
                   std::to_string(records) + " records read");
    }
  }
  return kOk;
}

}  // namespace tavelnor::btrieve
