// The read-only store over a file of an earlier record manager, and the
// process's table of such files open or recently closed.
#include "btrieve/legacy_data_file.h"

#include <algorithm>
#include <list>
#include <mutex>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_index.h"
#include "btrieve/open_diagnosis.h"
#include "foundation/platform/mapped_file.h"

namespace tavelnor::btrieve {

namespace {

// Files whose addresses do not fit 32 bits cannot be such a file.
constexpr size_t kMaxFileSize = size_t{0xFFFFFFFF};

struct Known {
  platform::FileIdentity identity;
  std::shared_ptr<LegacyIndex> index;
  int opens = 0;  // handles open now; 0: kept closed, without its mapping
};

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

// Most recently used first.
std::list<Known>& Table() {
  static auto* table = new std::list<Known>;  // outlives every handle
  return *table;
}

// Drops closed files beyond the table's limits, the oldest first; and any
// file that was changed or shortened under its reader.
void Trim() {
  std::list<Known>& table = Table();
  size_t closed = 0, bytes = 0;
  for (auto it = table.begin(); it != table.end();) {
    const bool keep = it->opens > 0 ||
                      (!it->index->Changed() && ++closed <= LegacyDataFile::kKeptClosed &&
                       (bytes += it->index->MemoryBytes()) <= LegacyDataFile::kKeptBytes);
    it = keep ? std::next(it) : table.erase(it);
  }
}

// An index of the file `identity` names, taken for one more handle; null
// when the table has none.
std::shared_ptr<LegacyIndex> Reuse(const std::string& path, const platform::FileIdentity& identity) {
  std::lock_guard<std::mutex> guard(TableMutex());
  std::list<Known>& table = Table();
  auto it = std::find_if(table.begin(), table.end(),
                         [&](const Known& k) { return k.identity == identity; });
  if (it == table.end() || it->index->Changed()) return nullptr;
  if (it->opens == 0) {
    Result<std::unique_ptr<platform::MappedFile>> mapped =
        platform::MappedFile::Open(path, kMaxFileSize);
    if (!mapped.ok() || mapped.value()->identity() != identity ||
        !it->index->source().Reattach(std::move(mapped).value())) {
      table.erase(it);
      return nullptr;
    }
  }
  ++it->opens;
  table.splice(table.begin(), table, it);
  return it->index;
}

void Remember(const platform::FileIdentity& identity, std::shared_ptr<LegacyIndex> index) {
  std::lock_guard<std::mutex> guard(TableMutex());
  std::list<Known>& table = Table();
  // Another state of the same file is gone for good once closed.
  for (Known& known : table) {
    if (known.identity.device == identity.device && known.identity.inode == identity.inode &&
        known.opens == 0) {
      known.opens = -1;
    }
  }
  table.remove_if([](const Known& k) { return k.opens < 0; });
  table.push_front(Known{identity, std::move(index), 1});
  Trim();
}

void Closed(const std::shared_ptr<LegacyIndex>& index) {
  std::lock_guard<std::mutex> guard(TableMutex());
  std::list<Known>& table = Table();
  auto it = std::find_if(table.begin(), table.end(),
                         [&](const Known& k) { return k.index == index; });
  if (it == table.end()) return;  // opened through a test's reader
  if (--it->opens == 0) it->index->source().Release();
  Trim();
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

LegacyDataFile::LegacyDataFile(std::shared_ptr<LegacyIndex> index) : index_(std::move(index)) {
  spec_ = index_->spec();
}

LegacyDataFile::~LegacyDataFile() { Closed(index_); }

int LegacyDataFile::Open(const std::string& path, std::unique_ptr<DataFile>* out) {
  std::string reason;
  std::shared_ptr<LegacyIndex> index;
  if (HasLegacyOpenerForTesting()) {
    std::unique_ptr<LegacySource> source;
    int st = OpenLegacy(path, &source, &reason);
    if (st == kOk && source == nullptr) st = kIoError;
    if (st == kOk) st = LegacyIndex::Create(std::move(source), &index, &reason);
    if (st != kOk) {
      SetLastOpenDiagnosis(std::move(reason));
      return st;
    }
  } else {
    Result<platform::FileIdentity> identity = platform::IdentifyFile(path);
    if (identity.ok()) index = Reuse(path, identity.value());
    if (index == nullptr) {
      Result<std::unique_ptr<platform::MappedFile>> mapped =
          platform::MappedFile::Open(path, kMaxFileSize);
      if (!mapped.ok()) {
        const bool missing = mapped.status().code() == Status::Code::kNotFound;
        SetLastOpenDiagnosis(missing ? "file not found: " + path
                                     : "cannot read " + path + ": " + mapped.status().message());
        return missing ? kFileNotFound : kIoError;
      }
      const platform::FileIdentity mapped_identity = mapped.value()->identity();
      std::unique_ptr<LegacySource> source;
      int st = OpenLegacySource(
          std::shared_ptr<const platform::MappedFile>(std::move(mapped).value()), &source, &reason);
      if (st == kOk) st = LegacyIndex::Create(std::move(source), &index, &reason);
      if (st != kOk) {
        SetLastOpenDiagnosis(std::move(reason));
        return st;
      }
      Remember(mapped_identity, index);
    }
  }
  out->reset(new LegacyDataFile(std::move(index)));
  SetLastOpenDiagnosis(JoinLines(static_cast<LegacyDataFile&>(**out).Warnings()));
  return kOk;
}

void LegacyDataFile::ForgetClosedFiles() {
  std::lock_guard<std::mutex> guard(TableMutex());
  Table().remove_if([](const Known& k) { return k.opens == 0; });
}

const LegacyInfo& LegacyDataFile::info() const { return index_->info(); }
size_t LegacyDataFile::MemoryBytes() const { return index_->MemoryBytes(); }
int LegacyDataFile::BuildAllKeys() const { return index_->BuildAll(); }
std::vector<std::string> LegacyDataFile::Warnings() const { return index_->Warnings(); }

int LegacyDataFile::CountOf(int num, uint32_t* count) { return index_->CountOf(num, count); }
int LegacyDataFile::EntryAt(int num, uint32_t rank, Entry* out) {
  return index_->EntryAt(num, rank, out);
}
int LegacyDataFile::RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank) {
  return index_->RankBelow(num, k, pos, rank);
}

int LegacyDataFile::Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp) {
  if (stamp != nullptr) *stamp = 0;
  return index_->Read(pos, data);
}

int LegacyDataFile::Step(bool forward, uint32_t from, uint32_t* pos,
                         std::span<const uint8_t>* data, uint64_t* stamp) {
  if (stamp != nullptr) *stamp = 0;
  int st = index_->Step(forward, from, pos, &row_);
  if (st == kOk) *data = row_;
  return st;
}

int LegacyDataFile::Find(int num, Seek seek, const std::string& bound, Entry* out) {
  return index_->Find(num, seek, bound, out);
}
int LegacyDataFile::EntryOf(int num, uint32_t pos, Entry* out) {
  return index_->EntryOf(num, pos, out);
}

int LegacyDataFile::RecordCount(uint32_t* count) {
  *count = index_->RecordCount();
  return kOk;
}

int LegacyDataFile::DistinctValues(std::vector<uint32_t>* per_key) {
  return index_->DistinctValues(per_key);
}

int LegacyDataFile::Check(std::vector<std::string>* findings) {
  const int st = index_->BuildAll();
  *findings = index_->Warnings();
  return st == kOk || !findings->empty() ? kOk : st;
}

}  // namespace tavelnor::btrieve
