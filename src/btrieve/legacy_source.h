// A data file written by an earlier record manager (the 5.x and 6.0/6.1
// on-disk formats), opened read-only without that engine. The reader
// (legacy_reader.cpp) checks the file and answers what the in-memory index
// (legacy_index.h) needs: the description, the live records in physical order
// with their addresses and their places in duplicate chains, and one record
// by address.
//
// Addresses are the ones the original engine gives out (Get Position): 5.x
// the file offset of the record's slot, 6.x logical page x page size + the
// slot's offset in its page, as plain numbers (not word-swapped).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_spec.h"

namespace tavelnor::btrieve {

// What the file's own header says, for Stat and the tool's report.
struct LegacyInfo {
  int major = 0;               // 5 or 6 (3.x/4.x word values read as 5.x)
  // 6.x: the minor version, 0 or 1 (6.0, 6.1). 5.x: the format level the
  // version word's high byte gives (3, 4 or 5), not a minor version.
  int format_level = 0;
  int16_t version_word = 0;    // as stored; negative = owner name set
  bool owner_protected = false;
  uint32_t page_size = 0;
  uint32_t page_count = 0;     // pages the header claims
  uint64_t file_size = 0;
  uint32_t record_count = 0;   // the header's count (the records read agree)
  uint16_t physical_length = 0;  // slot size: usage count, fixed part,
                                 // variable pointer, duplicate pointers
  std::vector<uint32_t> unique_counts;  // per key of spec().keys, as stored
};

// One live record, as Scan hands it out.
struct LegacyRecord {
  uint32_t address = 0;
  std::span<const uint8_t> data;  // fixed part, then the variable part if any
  // Per key of spec().keys: the record's rank along its duplicate chain
  // (0 = first inserted); 0 for keys without duplicates.
  std::span<const uint32_t> dup_rank;
};

class LegacySource {
 public:
  virtual ~LegacySource() = default;
  // Record length, page size, flags, keys (positions from 1, effective
  // types) and the alternate collating sequences, as Stat reports them.
  virtual const FileSpec& spec() const = 0;
  virtual const LegacyInfo& info() const = 0;
  // Calls `visit` for every live record in physical (address) order; stops
  // at the first non-zero return and gives it back. 2 when the file turns out
  // damaged on the way.
  virtual int Scan(const std::function<int(const LegacyRecord&)>& visit) = 0;
  // The record at `address`: 43 when no live record starts there, 2 damaged.
  virtual int Read(uint32_t address, std::vector<uint8_t>* data) = 0;
};

// Examines a file that is not one of our own databases. 0 and *out set; 12
// missing; 30 not a file of a format we read (any other version, or not a
// record manager file at all); 2 a file we could read only by guessing
// (compression, blank truncation, variable-tail allocation tables, owner-name
// encryption, unverified structures) or a damaged one. `reason` gets one
// line saying why, for the user.
int OpenLegacySource(const std::string& path, std::unique_ptr<LegacySource>* out,
                     std::string* reason);

}  // namespace tavelnor::btrieve
