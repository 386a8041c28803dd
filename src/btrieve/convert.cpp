// Converting a data file into one of our own (convert.h): the source is read
// through DataFile's public interface only, the target written through
// SqliteDataFile's import.
#include "btrieve/convert.h"

#include <memory>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "btrieve/data_file.h"
#include "btrieve/file_spec.h"
#include "btrieve/legacy_data_file.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve/sqlite_data_file.h"
#include "foundation/platform/file_admin.h"
#include "foundation/platform/files.h"

namespace tavelnor::btrieve {

namespace {

// A unique key of `file` that holds some value twice: its number, or -1 when
// there is none (`status` gets a read's failure). Twins show as entries wider
// than the key (a reader that told them apart) or as fewer distinct entries
// than the key has.
int TwinnedKey(DataFile& file, int* status) {
  *status = kOk;
  for (const KeyDef& key : file.spec().keys) {
    if (key.duplicates()) continue;
    uint32_t count = 0, seen = 0;
    if ((*status = file.CountOf(key.number, &count)) != kOk) return -1;
    Entry entry;
    int st = file.Find(key.number, Seek::kFirst, {}, &entry);
    for (; st == kOk; st = file.Find(key.number, Seek::kAbove, entry.k, &entry)) {
      if (entry.k.size() != key.length()) return key.number;
      ++seen;
    }
    if (st != kEndOfFile) {
      *status = st;
      return -1;
    }
    if (seen != count) return key.number;
  }
  return -1;
}

// Whether `b` (a description read back from its stored form) says all that
// `a` says.
bool SameDescription(const FileSpec& a, const FileSpec& b) {
  auto segments_alike = [](const Segment& x, const Segment& y) {
    return x.position == y.position && x.length == y.length && x.flags == y.flags &&
           x.type == y.type && x.null_byte == y.null_byte && x.acs == y.acs;
  };
  if (a.record_length != b.record_length || a.page_size != b.page_size || a.flags != b.flags ||
      a.acs != b.acs || a.keys.size() != b.keys.size()) {
    return false;
  }
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const KeyDef &x = a.keys[k], &y = b.keys[k];
    if (x.number != y.number || x.segments.size() != y.segments.size()) return false;
    for (size_t s = 0; s < x.segments.size(); ++s) {
      if (!segments_alike(x.segments[s], y.segments[s])) return false;
    }
  }
  return true;
}

// Copies every record of `source` with its entries into `target`, which is
// empty, in one transaction.
int CopyRecords(DataFile& source, SqliteDataFile& target, uint32_t* records,
                std::string* reason) {
  const FileSpec& spec = source.spec();
  if (int st = target.BeginImport(); st != kOk) {
    *reason = "the new file cannot be written";
    return st;
  }
  std::vector<uint8_t> data;
  std::vector<std::string> entries(spec.keys.size());
  uint32_t last = 0, pos = 0;  // the last record copied, the one read
  int st = kOk;
  *records = 0;
  for (; (st = source.Step(true, last, &pos, &data)) == kOk; last = pos) {
    for (size_t i = 0; i < spec.keys.size() && st == kOk; ++i) {
      Entry entry;
      st = source.EntryOf(spec.keys[i].number, pos, &entry);
      if (st == kKeyNotFound) st = kOk;  // a null key: no entry
      entries[i] = std::move(entry.k);
    }
    if (st == kOk) st = target.ImportRecord(pos, data, entries);
    if (st != kOk) {
      *reason = "the record at position " + std::to_string(pos) + " could not be copied";
      (void)target.EndImport(false);
      return st;
    }
    ++*records;
  }
  if (st != kEndOfFile) {
    *reason = "the records could not be read past position " + std::to_string(last);
    (void)target.EndImport(false);
    return st;
  }
  st = target.EndImport(true);
  if (st != kOk) *reason = "the new file cannot be written";
  return st;
}

// The new file and what SQLite left beside it.
void RemoveWithCompanions(const std::string& path) {
  (void)platform::RemoveFile(path);
  SqliteDataFile::RemoveCompanions(path);
}

}  // namespace

int ConvertDataFile(const std::string& from, const std::string& to, ConvertSummary* summary,
                    std::string* reason) {
  reason->clear();
  *summary = ConvertSummary();
  if (from.empty() || to.empty()) {
    *reason = "a file name is empty";
    return kInvalidFileName;
  }
  if (platform::FileExists(to) || platform::DirectoryExists(to)) {
    *reason = to + " exists; it is never replaced";
    return kFileExists;
  }
  std::unique_ptr<DataFile> source;
  if (int st = DataFile::Open(from, &source); st != kOk) {
    *reason = from + ": " +
              (LastOpenDiagnosis().empty() ? std::string("cannot be opened") : LastOpenDiagnosis());
    return st;
  }
  // What could refuse the new file is found before it is written.
  const FileSpec& spec = source->spec();
  {
    FileSpec again;
    const std::vector<uint8_t> stored = SerializeFileSpec(spec);
    int st = ParseFileSpec(stored, &again, true);
    if (st == kOk && !SameDescription(spec, again)) st = kInvalidOperation;
    if (st != kOk) {
      *reason = from + ": its description is not one our files take (status " +
                std::to_string(st) + ")";
      return st;
    }
  }
  int st = kOk;
  if (int key = TwinnedKey(*source, &st); key >= 0 || st != kOk) {
    *reason = key >= 0 ? from + ": damaged: unique key " + std::to_string(key) +
                             " holds a value twice; nothing was written"
                       : from + ": its index could not be read";
    return key >= 0 ? kIoError : st;
  }
  if ((st = SqliteDataFile::Create(to, spec, false)) != kOk) {
    // 59: someone else's file appeared meanwhile; anything else may have
    // left a start of ours.
    if (st != kFileExists) RemoveWithCompanions(to);
    *reason = to + (st == kFileExists ? ": exists; it is never replaced" : ": cannot be created");
    return st;
  }
  // From here on a failure removes what was written.
  std::unique_ptr<DataFile> target;
  st = SqliteDataFile::Open(to, &target);
  if (st == kOk) {
    st = CopyRecords(*source, static_cast<SqliteDataFile&>(*target), &summary->records, reason);
  } else {
    *reason = to + ": cannot be opened once created";
  }
  if (st == kOk && !source->owner().empty()) {
    st = target->SetOwner(source->owner(), source->owner_mode());
    if (st != kOk) *reason = "the owner name could not be set";
  }
  target.reset();
  if (st != kOk) {
    RemoveWithCompanions(to);
    *summary = ConvertSummary();
    return st;
  }
  summary->keys = spec.keys.size();
  const LegacyDataFile* legacy = source->legacy();
  summary->owner_dropped = legacy != nullptr && legacy->info().owner_protected;
  return kOk;
}

}  // namespace tavelnor::btrieve
