// The indexes of a file written by an earlier record manager, built in memory
// (the file's own index pages are never read), and the answers DataFile's
// reads give, taken from them.
//
// A key's index is built the first time a read needs it: its values from
// every record, its duplicates' ranks along their chains (checked then),
// one sort. Per key, the entries live in one contiguous buffer of
// fixed-width rows:
//   the key_codec.h encoding of the value (key.length() bytes), then, on keys
//   with duplicates, the record's rank along its duplicate chain as 4 bytes
//   big-endian,
// with the record's ordinal (its place in physical order) in a parallel
// array, and per record its rank in the key (or "none" for a null key) for
// the reverse look-up. The entries the callers see are the ones DataFile
// stores: the encoding, then on duplicate keys the 8-byte big-endian
// sequence (here: the chain rank, widened). Records whose key is null are
// left out, as the engine does.
//
// Damage that leaves every record readable is worked around and reported,
// never hidden: a unique key holding one value for several records (a
// damaged key byte) keeps every one of them, in address order, as if the key
// allowed duplicates (its entries then carry the 8-byte suffix too, their
// rank among the twins), so that every walk returns every record; and a key
// whose distinct values disagree with the header's count is named.
// Warnings() lists what was found.
//
// Memory per record: 8 bytes of address and slot, and per key built 8 bytes
// (ordinal, reverse rank) plus the key's length, plus 4 on keys with
// duplicates (MemoryBytes() gives the total).
//
// Shared by every handle of the same unchanged file in the process: built
// keys are never changed, and a key is built once, under a lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "btrieve/data_file.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve {

class LegacyIndex {
 public:
  // Takes the source's records; builds no key yet. 0 and *out set, or 2 with
  // a reason when the records are out of address order.
  static int Create(std::shared_ptr<LegacySource> source, std::shared_ptr<LegacyIndex>* out,
                    std::string* reason);
  ~LegacyIndex();

  const FileSpec& spec() const { return source_->spec(); }
  const LegacyInfo& info() const { return source_->info(); }
  LegacySource& source() const { return *source_; }

  // The same contracts as DataFile's methods of the same names; 2 when the
  // key's index cannot be built (the reason is in Warnings() and in
  // LastOpenDiagnosis()).
  int Find(int num, Seek seek, std::string_view bound, Entry* out) const;
  int EntryOf(int num, uint32_t pos, Entry* out) const;
  int CountOf(int num, uint32_t* count) const;
  int EntryAt(int num, uint32_t rank, Entry* out) const;
  int RankBelow(int num, std::string_view k, uint32_t pos, uint32_t* rank) const;
  int Read(uint32_t pos, std::vector<uint8_t>* data) const;
  int Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data) const;
  uint32_t RecordCount() const { return static_cast<uint32_t>(addresses().size()); }
  // Distinct values per key of spec().keys; builds every key.
  int DistinctValues(std::vector<uint32_t>* per_key) const;
  // Builds every key not built yet: the first failure's status.
  int BuildAll() const;
  // The damage found so far, one line each.
  std::vector<std::string> Warnings() const;
  // True once the file was shortened under the reader.
  bool Changed() const { return source_->Changed(); }

  // Bytes the indexes and the record lists hold.
  size_t MemoryBytes() const;

 private:
  static constexpr uint32_t kNoRank = UINT32_MAX;

  struct KeyIndex {
    const KeyDef* key = nullptr;
    size_t value_width = 0;  // encoded value
    size_t row_width = 0;    // value_width, + 4 with a rank
    bool ranked = false;     // rows carry a rank: duplicates, or twins
    bool twins = false;      // a unique key holding a value more than once
    uint32_t distinct = 0;
    std::vector<uint8_t> rows;       // entries in order, row_width bytes each
    std::vector<uint32_t> ordinal;   // per entry: the record's physical ordinal
    std::vector<uint32_t> rank_of;   // per record ordinal: its entry, or kNoRank
    size_t size() const { return ordinal.size(); }
    const uint8_t* row(size_t i) const { return rows.data() + i * row_width; }
  };

  explicit LegacyIndex(std::shared_ptr<LegacySource> source);
  const std::vector<uint32_t>& addresses() const { return source_->addresses(); }
  // The built index of key `num`, building it when needed; null with
  // *status set when there is no such key (9, nothing to find) or it cannot
  // be built (2).
  const KeyIndex* IndexOf(int num, int* status) const;
  int Build(size_t slot, std::unique_ptr<KeyIndex>* out, std::string* reason,
            std::vector<std::string>* warnings) const;
  // Names the links of duplicate chains that join records of different
  // values (`entry_of`: per record, its entry in the unsorted rows).
  void CheckChainValues(const KeyIndex& k, const std::vector<uint32_t>& previous,
                        const std::vector<uint32_t>& entry_of,
                        std::vector<std::string>* warnings) const;
  void Sort(KeyIndex* index) const;
  // Gives equal entries (twins on a unique key, duplicates whose chains
  // collide) distinct ranks, and names them in a warning.
  void Untangle(KeyIndex* index, std::vector<std::string>* warnings) const;
  // Compares entry `i` (as callers see it) with `bound`, as memcmp then
  // length order would; a bound of the value alone matches every twin.
  static int Compare(const KeyIndex& index, size_t i, std::string_view bound);
  // The first entry not below `bound` (or above it, when `strict`).
  static size_t LowerBound(const KeyIndex& index, std::string_view bound, bool strict);
  void Fill(const KeyIndex& index, size_t i, Entry* out) const;
  int Damaged(std::string reason) const;

  std::shared_ptr<LegacySource> source_;
  std::vector<int16_t> slot_of_;  // per key number: its place in spec().keys, or -1
  mutable std::mutex mutex_;  // building keys, warnings
  // Per key of spec().keys: its index once built, else null.
  std::unique_ptr<std::atomic<const KeyIndex*>[]> ready_;
  mutable std::vector<std::unique_ptr<KeyIndex>> built_;
  mutable std::vector<int> failed_;  // per key: the status its build failed with
  mutable std::vector<std::string> warnings_;
};

}  // namespace tavelnor::btrieve
