// A data file written by an earlier record manager, opened read-only: every
// read is answered from the file, mapped into memory, through its reader
// (legacy_source.h) and from indexes built in memory on first use
// (legacy_index.h), with no SQLite and no reading ahead. The store has no
// writes (data_file.h).
//
// Handles of the same unchanged file share one reader and its indexes within
// the process: a file is known by its identity (device, inode, size, times
// of change), checked at every open, so a second open of a file that has not
// changed costs a look-up and a mapping. The last few files closed keep
// their indexes (not their mappings) for a while: at most kKeptClosed files
// and kKeptBytes of indexes. Nothing is written anywhere.
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
  static constexpr size_t kKeptClosed = 8;
  static constexpr size_t kKeptBytes = size_t{256} << 20;

  // Opens a file that is not one of our own: 30 not a format the reader
  // knows, 2 damaged; the reader's reason goes to LastOpenDiagnosis(), and
  // so do the warnings already known of a file that opens.
  static int Open(const std::string& path, std::unique_ptr<DataFile>* out);
  ~LegacyDataFile() override;

  const LegacyDataFile* legacy() const override { return this; }
  // What the file's header says.
  const LegacyInfo& info() const;
  // Bytes the indexes and the record lists hold.
  size_t MemoryBytes() const;
  // Builds every key's index (finding what damage they show); the first
  // failure's status.
  int BuildAllKeys() const;
  // The damage found so far, one line each: records still read, with what
  // was worked around.
  std::vector<std::string> Warnings() const;
  // Lets go of every kept index of closed files (tests, and hosts that
  // want the memory back).
  static void ForgetClosedFiles();

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
  // Builds every key's index: each damage found is a finding.
  int Check(std::vector<std::string>* findings) override;

 private:
  explicit LegacyDataFile(std::shared_ptr<LegacyIndex> index);

  std::shared_ptr<LegacyIndex> index_;
  std::vector<uint8_t> row_;  // the record Step last gave
};

}  // namespace tavelnor::btrieve
