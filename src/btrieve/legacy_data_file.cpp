// The read-only store over a file of an earlier record manager.
#include "btrieve/legacy_data_file.h"

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_index.h"
#include "btrieve/open_diagnosis.h"

namespace tavelnor::btrieve {

LegacyDataFile::LegacyDataFile(std::unique_ptr<LegacyIndex> index) : index_(std::move(index)) {
  spec_ = index_->spec();
}

LegacyDataFile::~LegacyDataFile() = default;

int LegacyDataFile::Open(const std::string& path, std::unique_ptr<DataFile>* out) {
  std::unique_ptr<LegacySource> source;
  std::string reason;
  int st = OpenLegacy(path, &source, &reason);
  if (st == kOk && source == nullptr) st = kIoError;
  std::unique_ptr<LegacyIndex> index;
  if (st == kOk) {
    st = LegacyIndex::Build(std::move(source), &index);
    if (st != kOk) reason = "damaged file: its records could not be indexed";
  }
  if (st != kOk) {
    SetLastOpenDiagnosis(std::move(reason));
    return st;
  }
  out->reset(new LegacyDataFile(std::move(index)));
  return kOk;
}

const LegacyInfo& LegacyDataFile::info() const { return index_->info(); }
size_t LegacyDataFile::MemoryBytes() const { return index_->MemoryBytes(); }

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
  *per_key = index_->DistinctValues();
  return kOk;
}

int LegacyDataFile::Check(std::vector<std::string>* findings) {
  findings->clear();
  return kOk;
}

}  // namespace tavelnor::btrieve
