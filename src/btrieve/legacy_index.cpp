// In-memory indexes of a file written by an earlier record manager: building
// them from one scan, and the look-ups DataFile's reads need.
#include "btrieve/legacy_index.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "btrieve/btrieve_codes.h"
#include "btrieve/key_codec.h"

namespace tavelnor::btrieve {

namespace {

// Bytes of the chain rank kept per entry, and the zeros in front of it that
// widen it to the sequence suffix callers see.
constexpr size_t kRankBytes = 4;
constexpr size_t kRankPad = kDupSuffixSize - kRankBytes;

// A capacity to reserve from the header's record count, bounded by what the
// file could hold, so that a garbled count never allocates much.
size_t ReserveHint(const LegacyInfo& info, const FileSpec& spec) {
  const uint64_t most = info.file_size / std::max<uint64_t>(1, spec.record_length);
  return static_cast<size_t>(std::min<uint64_t>(info.record_count, most));
}

// The first element of `v` not below `pos`.
size_t AddressRank(const std::vector<uint32_t>& v, uint32_t pos) {
  return static_cast<size_t>(std::lower_bound(v.begin(), v.end(), pos) - v.begin());
}

}  // namespace

int LegacyIndex::Build(std::unique_ptr<LegacySource> source, std::unique_ptr<LegacyIndex>* out) {
  if (source == nullptr) return kIoError;
  std::unique_ptr<LegacyIndex> index(new LegacyIndex(std::move(source)));
  const FileSpec& spec = index->spec();
  const size_t hint = ReserveHint(index->info(), spec);
  index->addresses_.reserve(hint);
  index->keys_.reserve(spec.keys.size());
  for (const KeyDef& key : spec.keys) {
    if (key.segments.empty()) return kIoError;
    for (const Segment& s : key.segments) {
      if (s.position < 1 || s.length == 0 || s.position - 1u + s.length > spec.record_length) {
        return kIoError;
      }
    }
    KeyIndex k;
    k.key = &key;
    k.value_width = key.length();
    k.dups = key.duplicates();
    k.row_width = k.value_width + (k.dups ? kRankBytes : 0);
    k.rank_of.reserve(hint);
    index->keys_.push_back(std::move(k));
  }
  int st = index->source_->Scan([&index](const LegacyRecord& r) { return index->Add(r); });
  if (st != kOk) return st;
  index->addresses_.shrink_to_fit();
  index->distinct_.assign(index->keys_.size(), 0);
  for (size_t i = 0; i < index->keys_.size(); ++i) {
    index->Sort(&index->keys_[i], &index->distinct_[i]);
  }
  index->scratch_ = std::string();
  *out = std::move(index);
  return kOk;
}

int LegacyIndex::Add(const LegacyRecord& record) {
  const FileSpec& spec = this->spec();
  if (record.data.size() < spec.record_length || record.dup_rank.size() < keys_.size()) {
    return kIoError;
  }
  if (!addresses_.empty() && record.address <= addresses_.back()) return kIoError;
  if (addresses_.size() >= UINT32_MAX - 1) return kIoError;
  const auto ordinal = static_cast<uint32_t>(addresses_.size());
  addresses_.push_back(record.address);
  for (size_t i = 0; i < keys_.size(); ++i) {
    KeyIndex& k = keys_[i];
    k.rank_of.push_back(kNoRank);  // set when sorted
    scratch_ = ExtractKey(*k.key, record.data.data());
    const auto* bytes = reinterpret_cast<const uint8_t*>(scratch_.data());
    if (IsNullKey(*k.key, bytes)) continue;
    const std::string value = EncodeKey(spec, *k.key, bytes);
    if (value.size() != k.value_width) return kIoError;
    k.rows.insert(k.rows.end(), value.begin(), value.end());
    if (k.dups) {
      const uint32_t rank = record.dup_rank[i];
      for (int b = 3; b >= 0; --b) k.rows.push_back(static_cast<uint8_t>(rank >> (8 * b)));
    }
    k.ordinal.push_back(ordinal);
  }
  return kOk;
}

void LegacyIndex::Sort(KeyIndex* index, uint32_t* distinct) {
  KeyIndex& k = *index;
  const size_t n = k.size();
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  // Equal rows (a damaged chain giving two duplicates one rank) keep
  // physical order, so that every build gives the same order.
  std::sort(order.begin(), order.end(), [&k](uint32_t a, uint32_t b) {
    int c = std::memcmp(k.row(a), k.row(b), k.row_width);
    return c != 0 ? c < 0 : k.ordinal[a] < k.ordinal[b];
  });
  std::vector<uint8_t> rows(n * k.row_width);
  std::vector<uint32_t> ordinal(n);
  for (size_t i = 0; i < n; ++i) {
    if (k.row_width != 0) std::memcpy(rows.data() + i * k.row_width, k.row(order[i]), k.row_width);
    ordinal[i] = k.ordinal[order[i]];
  }
  k.rows = std::move(rows);
  k.ordinal = std::move(ordinal);
  k.rank_of.shrink_to_fit();
  *distinct = 0;
  for (size_t i = 0; i < n; ++i) {
    k.rank_of[k.ordinal[i]] = static_cast<uint32_t>(i);
    if (i == 0 || std::memcmp(k.row(i - 1), k.row(i), k.value_width) != 0) ++*distinct;
  }
}

const LegacyIndex::KeyIndex* LegacyIndex::IndexOf(int num) const {
  for (const KeyIndex& k : keys_) {
    if (k.key->number == num) return &k;
  }
  return nullptr;
}

int LegacyIndex::Compare(const KeyIndex& index, size_t i, std::string_view bound) {
  const auto* b = reinterpret_cast<const uint8_t*>(bound.data());
  const size_t bn = bound.size();
  const uint8_t* row = index.row(i);
  const size_t vw = index.value_width;
  const size_t full = vw + (index.dups ? kDupSuffixSize : 0);
  // The value.
  if (bn == 0) return 1;
  if (int c = std::memcmp(row, b, std::min(vw, bn)); c != 0) return c;
  if (bn <= vw) return full > bn ? 1 : 0;
  if (!index.dups) return -1;
  // The zeros that widen the rank.
  const size_t pad_end = std::min(vw + kRankPad, bn);
  for (size_t j = vw; j < pad_end; ++j) {
    if (b[j] != 0) return -1;
  }
  if (bn <= vw + kRankPad) return 1;
  // The rank.
  const size_t m = std::min(kRankBytes, bn - vw - kRankPad);
  if (int c = std::memcmp(row + vw, b + vw + kRankPad, m); c != 0) return c;
  if (bn < full) return 1;
  return bn == full ? 0 : -1;
}

size_t LegacyIndex::LowerBound(const KeyIndex& index, std::string_view bound, bool strict) {
  size_t lo = 0, hi = index.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const int c = Compare(index, mid, bound);
    if (c < 0 || (strict && c == 0)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

void LegacyIndex::Fill(const KeyIndex& index, size_t i, const std::vector<uint32_t>& addresses,
                       Entry* out) {
  const uint8_t* row = index.row(i);
  out->k.assign(reinterpret_cast<const char*>(row), index.value_width);
  if (index.dups) {
    out->k.append(kRankPad, '\0');
    out->k.append(reinterpret_cast<const char*>(row + index.value_width), kRankBytes);
  }
  out->pos = addresses[index.ordinal[i]];
}

int LegacyIndex::Find(int num, Seek seek, std::string_view bound, Entry* out) const {
  const KeyIndex* k = IndexOf(num);
  if (k == nullptr || k->size() == 0) return kEndOfFile;
  const size_t n = k->size();
  size_t at = 0;
  switch (seek) {
    case Seek::kFirst:
      at = 0;
      break;
    case Seek::kLast:
      at = n - 1;
      break;
    case Seek::kAtLeast:
    case Seek::kAbove:
      at = LowerBound(*k, bound, seek == Seek::kAbove);
      if (at == n) return kEndOfFile;
      break;
    case Seek::kAtMost:
    case Seek::kBelow:
      at = LowerBound(*k, bound, seek == Seek::kAtMost);
      if (at == 0) return kEndOfFile;
      --at;
      break;
  }
  Fill(*k, at, addresses_, out);
  return kOk;
}

int LegacyIndex::EntryOf(int num, uint32_t pos, Entry* out) const {
  const KeyIndex* k = IndexOf(num);
  const size_t ordinal = AddressRank(addresses_, pos);
  if (k == nullptr || ordinal == addresses_.size() || addresses_[ordinal] != pos) {
    return kKeyNotFound;
  }
  const uint32_t rank = k->rank_of[ordinal];
  if (rank == kNoRank) return kKeyNotFound;
  Fill(*k, rank, addresses_, out);
  return kOk;
}

int LegacyIndex::CountOf(int num, uint32_t* count) const {
  if (num < 0) {
    *count = RecordCount();
    return kOk;
  }
  const KeyIndex* k = IndexOf(num);
  *count = k == nullptr ? 0 : static_cast<uint32_t>(k->size());
  return kOk;
}

int LegacyIndex::EntryAt(int num, uint32_t rank, Entry* out) const {
  if (num < 0) {
    if (rank >= addresses_.size()) return kEndOfFile;
    out->k.clear();
    out->pos = addresses_[rank];
    return kOk;
  }
  const KeyIndex* k = IndexOf(num);
  if (k == nullptr || rank >= k->size()) return kEndOfFile;
  Fill(*k, rank, addresses_, out);
  return kOk;
}

int LegacyIndex::RankBelow(int num, std::string_view k, uint32_t pos, uint32_t* rank) const {
  if (num < 0) {
    *rank = static_cast<uint32_t>(AddressRank(addresses_, pos));
    return kOk;
  }
  const KeyIndex* index = IndexOf(num);
  *rank = index == nullptr ? 0 : static_cast<uint32_t>(LowerBound(*index, k, false));
  return kOk;
}

int LegacyIndex::Read(uint32_t pos, std::vector<uint8_t>* data) {
  const size_t ordinal = AddressRank(addresses_, pos);
  if (ordinal == addresses_.size() || addresses_[ordinal] != pos) return kInvalidRecordAddress;
  int st = source_->Read(pos, data);
  if (st != kOk) return st;
  // The engine reads keys out of the fixed part.
  return data->size() < spec().record_length ? kIoError : kOk;
}

int LegacyIndex::Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data) {
  size_t at = 0;
  if (forward) {
    at = static_cast<size_t>(std::upper_bound(addresses_.begin(), addresses_.end(), from) -
                             addresses_.begin());
    if (at == addresses_.size()) return kEndOfFile;
  } else {
    at = from == UINT32_MAX ? addresses_.size() : AddressRank(addresses_, from);
    if (at == 0) return kEndOfFile;
    --at;
  }
  *pos = addresses_[at];
  return Read(*pos, data);
}

size_t LegacyIndex::MemoryBytes() const {
  size_t bytes = addresses_.capacity() * sizeof(uint32_t);
  for (const KeyIndex& k : keys_) {
    bytes += k.rows.capacity() + (k.ordinal.capacity() + k.rank_of.capacity()) * sizeof(uint32_t);
  }
  return bytes;
}

}  // namespace tavelnor::btrieve
