// A data file written by an earlier record manager, opened read-only: every
// read is answered from the file through its reader (legacy_source.h) and
// from the indexes built in memory (legacy_index.h), with no SQLite and no
// reading ahead. The store has no writes (data_file.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "btrieve/data_file.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve {

class LegacyIndex;

class LegacyDataFile final : public DataFile {
 public:
  // Opens a file that is not one of our own: 30 not a format the reader
  // knows, 2 damaged; the reader's reason goes to LastOpenDiagnosis().
  static int Open(const std::string& path, std::unique_ptr<DataFile>* out);
  ~LegacyDataFile() override;

  const LegacyDataFile* legacy() const override { return this; }
  // What the file's header says.
  const LegacyInfo& info() const;
  // Bytes the indexes and the address list hold.
  size_t MemoryBytes() const;

  int CountOf(int num, uint32_t* count) override;
  int EntryAt(int num, uint32_t rank, Entry* out) override;
  int RankBelow(int num, const std::string& k, uint32_t pos, uint32_t* rank) override;
  int Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp = nullptr) override;
  using DataFile::Step;
  int Step(bool forward, uint32_t from, uint32_t* pos, std::span<const uint8_t>* data,
           uint64_t* stamp = nullptr) override;
  int Find(int num, Seek seek, const std::string& bound, Entry* out) override;
  int EntryOf(int num, uint32_t pos, Entry* out) override;
  int RecordCount(uint32_t* count) override;
  int DistinctValues(std::vector<uint32_t>* per_key) override;
  // The reader checked what it can when the file was opened: no findings.
  int Check(std::vector<std::string>* findings) override;

 private:
  explicit LegacyDataFile(std::unique_ptr<LegacyIndex> index);

  std::unique_ptr<LegacyIndex> index_;
  std::vector<uint8_t> row_;  // the record Step last gave
};

}  // namespace tavelnor::btrieve
