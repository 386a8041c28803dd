// A data file written by an earlier record manager (the 5.x and 6.0/6.1
// on-disk formats), opened read-only without that engine. The reader
// (legacy_reader.cpp) maps the file, checks its structure when it is opened
// (headers, page tables, every page it uses naming itself, the slots and
// variable-part chains of every record against the header's count) and
// answers what the in-memory indexes (legacy_index.h) need: the
// description, the live records in physical order with their addresses, and
// their places along the duplicate chains, followed (and checked) when a
// key's index is first built.
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

namespace tavelnor::platform {
class MappedFile;
}  // namespace tavelnor::platform

namespace tavelnor::btrieve {

// What the file's own header says, for Stat and the tool's report.
struct LegacyInfo {
  int major = 0;               // 5 or 6 (3.x/4.x word values read as 5.x)
  // 6.x: the minor version, 0 or 1 (6.0, 6.1). 5.x: the format level the
  // version word's high byte gives (3, 4 or 5), not a minor version.
  int format_level = 0;
  int16_t version_word = 0;    // as stored; negative = owner name set
  // An owner name is set (5.x: the negative version word; 6.x: the encoded
  // name in the header). Such files read without the name unless encrypted.
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

// The live records of a checked file, by their ordinal i (0 .. count-1) in
// physical (address) order. Sources are shared between threads: every
// method is safe to call from several at once.
// Why a read stops when the file moved under the reader (Changed()).
inline constexpr char kChangedWhileRead[] =
    "the file was changed or shortened by another program while it was read";

class LegacySource {
 public:
  virtual ~LegacySource() = default;
  // Record length, page size, flags, keys (positions from 1, effective
  // types) and the alternate collating sequences, as Stat reports them.
  virtual const FileSpec& spec() const = 0;
  virtual const LegacyInfo& info() const = 0;
  // The records' addresses, in physical order.
  virtual const std::vector<uint32_t>& addresses() const = 0;
  // The fixed part of record i, in place (valid while the source lives);
  // 2 when damaged.
  virtual int Fixed(size_t i, std::span<const uint8_t>* out) const = 0;
  // Record i whole (fixed part, then the variable part if any); 2 damaged.
  virtual int Record(size_t i, std::vector<uint8_t>* out) const = 0;
  // Per record, its rank along the duplicate chains of key `key` (an index
  // into spec().keys), following the chains from their starts, and the
  // ordinal of the record before it in its chain (kNoRecord for a chain's
  // first); all 0 and kNoRecord for a key without duplicate pointers. 2 with
  // a reason when a chain is damaged.
  static constexpr uint32_t kNoRecord = UINT32_MAX;
  virtual int DupRanks(size_t key, std::vector<uint32_t>* ranks, std::vector<uint32_t>* previous,
                       std::string* reason) const = 0;
  // True once the file was shortened or changed (as far as its header shows)
  // under the reader: whatever was read since is void.
  virtual bool Changed() const { return false; }
  // A source kept while no handle has the file open lets go of the file's
  // mapping (so that the file may be changed or removed) and takes a new
  // one, of the same unchanged file, when it is opened again. Nothing may be
  // read in between. Reattach answers false when it cannot.
  virtual void Release() {}
  virtual bool Reattach(std::shared_ptr<const platform::MappedFile> file) {
    (void)file;
    return false;
  }

  // Calls `visit` for every live record in physical order, with every
  // key's chain ranks; stops at the first non-zero return and gives it
  // back. 2 when the file turns out damaged on the way.
  int Scan(const std::function<int(const LegacyRecord&)>& visit) const;
  // The record at `address`: 43 when no live record starts there, 2
  // damaged; `data` may be null to ask only whether there is one.
  int Read(uint32_t address, std::vector<uint8_t>* data) const;
};

// Examines a file that is not one of our own databases. 0 and *out set; 12
// missing; 30 not a file of a format we read (any other version, or not a
// record manager file at all); 2 a file we could read only by guessing
// (compression, blank truncation, variable-tail allocation tables, owner-name
// encryption, unverified structures) or a damaged one. `reason` gets one
// line saying why, for the user.
int OpenLegacySource(const std::string& path, std::unique_ptr<LegacySource>* out,
                     std::string* reason);
// The same over a file already mapped: the source keeps the mapping.
int OpenLegacySource(std::shared_ptr<const platform::MappedFile> file,
                     std::unique_ptr<LegacySource>* out, std::string* reason);

}  // namespace tavelnor::btrieve
