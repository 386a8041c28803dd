// The indexes of a file written by an earlier record manager, built in memory
// when the file is opened (the file's own index pages are never read), and
// the answers DataFile's reads give, taken from them.
//
// Building: one Scan of the records in physical order, then one sort per key.
// Per key, the entries live in one contiguous buffer of fixed-width rows:
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
// Memory per record: 4 bytes of address, and per key 8 bytes (ordinal,
// reverse rank) plus the key's length, plus 4 on keys with duplicates
// (MemoryBytes() gives the total).
//
// Not thread-safe: owned by one DataFile, whose caller serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "btrieve/data_file.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve {

class LegacyIndex {
 public:
  // Scans `source` once and builds every key's index. 0 and *out set, or 2
  // when the file is damaged (the Scan says so, addresses out of order,
  // records shorter than the record length, keys outside it).
  static int Build(std::unique_ptr<LegacySource> source, std::unique_ptr<LegacyIndex>* out);

  const FileSpec& spec() const { return source_->spec(); }
  const LegacyInfo& info() const { return source_->info(); }

  // The same contracts as DataFile's methods of the same names.
  int Find(int num, Seek seek, std::string_view bound, Entry* out) const;
  int EntryOf(int num, uint32_t pos, Entry* out) const;
  int CountOf(int num, uint32_t* count) const;
  int EntryAt(int num, uint32_t rank, Entry* out) const;
  int RankBelow(int num, std::string_view k, uint32_t pos, uint32_t* rank) const;
  int Read(uint32_t pos, std::vector<uint8_t>* data);
  int Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data);
  uint32_t RecordCount() const { return static_cast<uint32_t>(addresses_.size()); }
  // Distinct values per key of spec().keys, counted while building.
  const std::vector<uint32_t>& DistinctValues() const { return distinct_; }

  // Bytes the indexes and the address list hold.
  size_t MemoryBytes() const;

 private:
  static constexpr uint32_t kNoRank = UINT32_MAX;

  struct KeyIndex {
    const KeyDef* key = nullptr;
    size_t value_width = 0;  // encoded value
    size_t row_width = 0;    // value_width, + 4 with duplicates
    bool dups = false;
    std::vector<uint8_t> rows;       // entries in order, row_width bytes each
    std::vector<uint32_t> ordinal;   // per entry: the record's physical ordinal
    std::vector<uint32_t> rank_of;   // per record ordinal: its entry, or kNoRank
    size_t size() const { return ordinal.size(); }
    const uint8_t* row(size_t i) const { return rows.data() + i * row_width; }
  };

  explicit LegacyIndex(std::unique_ptr<LegacySource> source) : source_(std::move(source)) {}
  int Add(const LegacyRecord& record);
  void Sort(KeyIndex* index, uint32_t* distinct);
  const KeyIndex* IndexOf(int num) const;
  // Compares entry `i` (as callers see it) with `bound`, as memcmp then
  // length order would.
  static int Compare(const KeyIndex& index, size_t i, std::string_view bound);
  // The first entry not below `bound` (or above it, when `strict`).
  static size_t LowerBound(const KeyIndex& index, std::string_view bound, bool strict);
  static void Fill(const KeyIndex& index, size_t i, const std::vector<uint32_t>& addresses,
                   Entry* out);

  std::unique_ptr<LegacySource> source_;
  std::vector<uint32_t> addresses_;  // live records in physical order
  std::vector<KeyIndex> keys_;       // in the order of spec().keys
  std::vector<uint32_t> distinct_;
  std::string scratch_;              // one record's key, while building
};

}  // namespace tavelnor::btrieve
