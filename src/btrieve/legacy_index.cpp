// In-memory indexes of a file written by an earlier record manager: building
// a key's index on its first use, and the look-ups DataFile's reads need.
#include "btrieve/legacy_index.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "btrieve/btrieve_codes.h"
#include "btrieve/key_codec.h"
#include "btrieve/open_diagnosis.h"

namespace tavelnor::btrieve {

namespace {

// Bytes of the chain rank kept per entry, and the zeros in front of it that
// widen it to the sequence suffix callers see.
constexpr size_t kRankBytes = 4;
constexpr size_t kRankPad = kDupSuffixSize - kRankBytes;
// Values named in a warning about twins; the rest are counted.
constexpr size_t kNamedTwins = 3;

// The first element of `v` not below `pos`.
size_t AddressRank(const std::vector<uint32_t>& v, uint32_t pos) {
  return static_cast<size_t>(std::lower_bound(v.begin(), v.end(), pos) - v.begin());
}

void AppendRank(std::vector<uint8_t>* rows, uint32_t rank) {
  for (int b = 3; b >= 0; --b) rows->push_back(static_cast<uint8_t>(rank >> (8 * b)));
}

// A key value as the user would recognise it: quoted text when it is
// printable (trailing blanks and zeros dropped), else hexadecimal.
std::string ShowValue(const std::string& raw) {
  std::string text = raw;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
      })) {
    return "\"" + text + "\"";
  }
  std::string hex = "0x";
  char digits[4];
  for (char c : raw) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

std::string ShowAddress(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", address);
  return text;
}

}  // namespace

LegacyIndex::LegacyIndex(std::shared_ptr<LegacySource> source)
    : source_(std::move(source)),
      ready_(new std::atomic<const KeyIndex*>[source_->spec().keys.size()]),
      built_(source_->spec().keys.size()),
      failed_(source_->spec().keys.size(), kOk) {
  for (size_t i = 0; i < built_.size(); ++i) {
    ready_[i].store(nullptr);
    const int num = source_->spec().keys[i].number;
    if (num < 0) continue;
    if (slot_of_.size() <= static_cast<size_t>(num)) slot_of_.resize(num + 1, -1);
    if (slot_of_[num] < 0) slot_of_[num] = static_cast<int16_t>(i);
  }
}

LegacyIndex::~LegacyIndex() = default;

int LegacyIndex::Create(std::shared_ptr<LegacySource> source, std::shared_ptr<LegacyIndex>* out,
                        std::string* reason) {
  if (source == nullptr) return kIoError;
  const std::vector<uint32_t>& addresses = source->addresses();
  if (addresses.size() >= UINT32_MAX) {
    if (reason) *reason = "more records than a file can address";
    return kIoError;
  }
  for (size_t i = 1; i < addresses.size(); ++i) {
    if (addresses[i] <= addresses[i - 1]) {
      if (reason) *reason = "damaged file: its records are not in address order";
      return kIoError;
    }
  }
  out->reset(new LegacyIndex(std::move(source)));
  return kOk;
}

void LegacyIndex::CheckChainValues(const KeyIndex& k, const std::vector<uint32_t>& previous,
                                   const std::vector<uint32_t>& entry_of,
                                   std::vector<std::string>* warnings) const {
  size_t broken = 0;
  std::string named;
  for (size_t i = 0; i < previous.size(); ++i) {
    if (previous[i] == LegacySource::kNoRecord) continue;
    const uint32_t a = entry_of[i], b = entry_of[previous[i]];
    const bool same = a != kNoRank && b != kNoRank &&
                      std::memcmp(k.row(a), k.row(b), k.value_width) == 0;
    if (same || (a == kNoRank && b == kNoRank)) continue;
    if (++broken <= kNamedTwins) {
      named += (broken > 1 ? ", " : "") + ShowAddress(addresses()[previous[i]]) + " to " +
               ShowAddress(addresses()[i]);
    }
  }
  if (broken == 0) return;
  if (broken > kNamedTwins) named += " and " + std::to_string(broken - kNamedTwins) + " more";
  warnings->push_back("damaged file: " + std::to_string(broken) +
                      (broken == 1 ? " link" : " links") + " of the duplicate chains of key " +
                      std::to_string(k.key->number) +
                      " join records of different values; every record is read by its own"
                      " value: " + named);
}

int LegacyIndex::Build(size_t slot, std::unique_ptr<KeyIndex>* out, std::string* reason,
                       std::vector<std::string>* warnings) const {
  const FileSpec& spec = this->spec();
  const KeyDef& key = spec.keys[slot];
  const std::string which = "key " + std::to_string(key.number);
  auto damaged = [&](const std::string& what) {
    *reason = which + ": " + what;
    return kIoError;
  };
  if (key.segments.empty()) return damaged("no segments");
  for (const Segment& s : key.segments) {
    if (s.position < 1 || s.length == 0 || s.position - 1u + s.length > spec.record_length) {
      return damaged("a segment lies outside the record");
    }
  }
  auto k = std::make_unique<KeyIndex>();
  k->key = &key;
  k->value_width = key.length();
  k->ranked = key.duplicates();
  k->row_width = k->value_width + (k->ranked ? kRankBytes : 0);
  std::vector<uint32_t> ranks, previous;
  if (k->ranked) {
    if (int st = source_->DupRanks(slot, &ranks, &previous, reason); st != kOk) return st;
  }
  const size_t n = addresses().size();
  if (k->ranked && (ranks.size() != n || previous.size() != n)) {
    return damaged("duplicate chains do not cover the records");
  }
  k->rows.reserve(n * k->row_width);
  k->ordinal.reserve(n);
  std::vector<uint32_t> entry_of;  // per ordinal: its entry before sorting
  if (k->ranked) entry_of.assign(n, kNoRank);
  std::string raw, value;
  for (size_t i = 0; i < n; ++i) {
    std::span<const uint8_t> fixed;
    if (int st = source_->Fixed(i, &fixed); st != kOk) {
      return damaged("the record at " + ShowAddress(addresses()[i]) + " cannot be read");
    }
    if (fixed.size() < spec.record_length) {
      return damaged("the record at " + ShowAddress(addresses()[i]) + " is cut short");
    }
    raw = ExtractKey(key, fixed.data());
    const auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
    if (IsNullKey(key, bytes)) continue;
    value = EncodeKey(spec, key, bytes);
    if (value.size() != k->value_width) return damaged("a value of the wrong width");
    if (k->ranked) entry_of[i] = static_cast<uint32_t>(k->ordinal.size());
    k->rows.insert(k->rows.end(), value.begin(), value.end());
    if (k->ranked) AppendRank(&k->rows, ranks[i]);
    k->ordinal.push_back(static_cast<uint32_t>(i));
  }
  if (k->ranked) CheckChainValues(*k, previous, entry_of, warnings);
  ranks = previous = entry_of = std::vector<uint32_t>();
  k->rank_of.assign(n, kNoRank);
  Sort(k.get());
  if (source_->Changed()) {
    return damaged(kChangedWhileRead);
  }
  *out = std::move(k);
  return kOk;
}

void LegacyIndex::Sort(KeyIndex* index) const {
  KeyIndex& k = *index;
  const size_t n = k.size();
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  // Equal rows (twins on a unique key, a damaged chain giving two duplicates
  // one rank) keep physical order, so that every build gives the same order.
  std::sort(order.begin(), order.end(), [&k](uint32_t a, uint32_t b) {
    int c = k.row_width != 0 ? std::memcmp(k.row(a), k.row(b), k.row_width) : 0;
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
  k.distinct = 0;
  for (size_t i = 0; i < n; ++i) {
    k.rank_of[k.ordinal[i]] = static_cast<uint32_t>(i);
    if (i == 0 || std::memcmp(k.row(i - 1), k.row(i), k.value_width) != 0) ++k.distinct;
  }
}

void LegacyIndex::Untangle(KeyIndex* index, std::vector<std::string>* warnings) const {
  KeyIndex& k = *index;
  const size_t n = k.size();
  auto same_value = [&k](size_t a, size_t b) {
    return std::memcmp(k.row(a), k.row(b), k.value_width) == 0;
  };
  auto same_row = [&k](size_t a, size_t b) {
    return k.row_width == 0 || std::memcmp(k.row(a), k.row(b), k.row_width) == 0;
  };
  bool tangled = false;
  for (size_t i = 1; i < n && !tangled; ++i) tangled = same_row(i - 1, i);
  if (!tangled) return;
  // Every entry gets its rank among the entries of its value, in the order
  // they sort in (chain rank, then address), so that no two entries are
  // equal; the values where two were are named.
  std::vector<uint8_t> rows;
  rows.reserve(n * (k.value_width + kRankBytes));
  std::string named;
  size_t values = 0, records = 0;
  for (size_t a = 0, b = 0; a < n; a = b) {
    bool damaged = false;
    for (b = a + 1; b < n && same_value(a, b); ++b) damaged = damaged || same_row(b - 1, b);
    for (size_t i = a; i < b; ++i) {
      rows.insert(rows.end(), k.row(i), k.row(i) + k.value_width);
      AppendRank(&rows, static_cast<uint32_t>(i - a));
    }
    if (!damaged) continue;
    ++values;
    records += b - a;
    if (values > kNamedTwins) continue;
    std::span<const uint8_t> fixed;
    std::string raw;
    if (source_->Fixed(k.ordinal[a], &fixed) == kOk) raw = ExtractKey(*k.key, fixed.data());
    named += (values > 1 ? "; " : "") + ShowValue(raw) + " at";
    for (size_t i = a; i < b; ++i) named += " " + ShowAddress(addresses()[k.ordinal[i]]);
  }
  if (values > kNamedTwins) named += "; and " + std::to_string(values - kNamedTwins) + " more";
  k.twins = !k.ranked;
  k.ranked = true;
  k.rows = std::move(rows);
  k.row_width = k.value_width + kRankBytes;
  const std::string what =
      k.twins ? "unique key " + std::to_string(k.key->number) + " holds " +
                    std::to_string(values) + (values == 1 ? " value" : " values") + " in " +
                    std::to_string(records) + " records"
              : "the duplicate chains of key " + std::to_string(k.key->number) +
                    " give records of " + std::to_string(values) +
                    (values == 1 ? " value" : " values") + " the same place";
  warnings->push_back("damaged file: " + what + "; every one is read" +
                      (k.twins ? ", in address order: " : ": ") + named);
}

const LegacyIndex::KeyIndex* LegacyIndex::IndexOf(int num, int* status) const {
  *status = kOk;
  if (num < 0 || static_cast<size_t>(num) >= slot_of_.size() || slot_of_[num] < 0) return nullptr;
  const auto slot = static_cast<size_t>(slot_of_[num]);
  if (const KeyIndex* ready = ready_[slot].load(std::memory_order_acquire)) return ready;
  std::lock_guard<std::mutex> guard(mutex_);
  if (const KeyIndex* ready = ready_[slot].load(std::memory_order_acquire)) return ready;
  if (failed_[slot] != kOk) {
    *status = failed_[slot];
    return nullptr;
  }
  std::unique_ptr<KeyIndex> built;
  std::string reason;
  std::vector<std::string> found;
  int st = Build(slot, &built, &reason, &found);
  if (st != kOk) {
    failed_[slot] = *status = st;
    found.push_back(reason.empty() ? "key " + std::to_string(num) + ": damaged" : reason);
  } else {
    Untangle(built.get(), &found);
    const std::vector<uint32_t>& stored = info().unique_counts;
    if (slot < stored.size() && stored[slot] != built->distinct) {
      found.push_back("damaged file: the header counts " + std::to_string(stored[slot]) +
                      " distinct values of key " + std::to_string(num) + ", its records hold " +
                      std::to_string(built->distinct));
    }
  }
  std::string text;
  for (const std::string& line : found) {
    warnings_.push_back(line);
    text += (text.empty() ? "" : "\n") + line;
  }
  if (!text.empty()) SetLastOpenDiagnosis(text);
  if (st != kOk) return nullptr;
  built_[slot] = std::move(built);
  ready_[slot].store(built_[slot].get(), std::memory_order_release);
  return built_[slot].get();
}

int LegacyIndex::BuildAll() const {
  for (const KeyDef& key : spec().keys) {
    int st = kOk;
    if (IndexOf(key.number, &st) == nullptr && st != kOk) return st;
  }
  return kOk;
}

std::vector<std::string> LegacyIndex::Warnings() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return warnings_;
}

int LegacyIndex::Compare(const KeyIndex& index, size_t i, std::string_view bound) {
  const auto* b = reinterpret_cast<const uint8_t*>(bound.data());
  const size_t bn = bound.size();
  const uint8_t* row = index.row(i);
  const size_t vw = index.value_width;
  const size_t full = vw + (index.ranked ? kDupSuffixSize : 0);
  // The value.
  if (bn == 0) return 1;
  if (int c = std::memcmp(row, b, std::min(vw, bn)); c != 0) return c;
  if (bn < vw) return 1;
  if (bn == vw) return full > bn && !index.twins ? 1 : 0;
  if (!index.ranked) return -1;
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

void LegacyIndex::Fill(const KeyIndex& index, size_t i, Entry* out) const {
  const uint8_t* row = index.row(i);
  out->k.assign(reinterpret_cast<const char*>(row), index.value_width);
  if (index.ranked) {
    out->k.append(kRankPad, '\0');
    out->k.append(reinterpret_cast<const char*>(row + index.value_width), kRankBytes);
  }
  out->pos = addresses()[index.ordinal[i]];
}

int LegacyIndex::Find(int num, Seek seek, std::string_view bound, Entry* out) const {
  int status = kOk;
  const KeyIndex* k = IndexOf(num, &status);
  if (status != kOk) return status;
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
  Fill(*k, at, out);
  return kOk;
}

int LegacyIndex::EntryOf(int num, uint32_t pos, Entry* out) const {
  int status = kOk;
  const KeyIndex* k = IndexOf(num, &status);
  if (status != kOk) return status;
  const size_t ordinal = AddressRank(addresses(), pos);
  if (k == nullptr || ordinal == addresses().size() || addresses()[ordinal] != pos) {
    return kKeyNotFound;
  }
  const uint32_t rank = k->rank_of[ordinal];
  if (rank == kNoRank) return kKeyNotFound;
  Fill(*k, rank, out);
  return kOk;
}

int LegacyIndex::CountOf(int num, uint32_t* count) const {
  if (num < 0) {
    *count = RecordCount();
    return kOk;
  }
  int status = kOk;
  const KeyIndex* k = IndexOf(num, &status);
  *count = k == nullptr ? 0 : static_cast<uint32_t>(k->size());
  return status;
}

int LegacyIndex::EntryAt(int num, uint32_t rank, Entry* out) const {
  if (num < 0) {
    if (rank >= addresses().size()) return kEndOfFile;
    out->k.clear();
    out->pos = addresses()[rank];
    return kOk;
  }
  int status = kOk;
  const KeyIndex* k = IndexOf(num, &status);
  if (status != kOk) return status;
  if (k == nullptr || rank >= k->size()) return kEndOfFile;
  Fill(*k, rank, out);
  return kOk;
}

int LegacyIndex::RankBelow(int num, std::string_view k, uint32_t pos, uint32_t* rank) const {
  if (num < 0) {
    *rank = static_cast<uint32_t>(AddressRank(addresses(), pos));
    return kOk;
  }
  int status = kOk;
  const KeyIndex* index = IndexOf(num, &status);
  *rank = index == nullptr ? 0 : static_cast<uint32_t>(LowerBound(*index, k, false));
  return status;
}

int LegacyIndex::DistinctValues(std::vector<uint32_t>* per_key) const {
  per_key->clear();
  for (const KeyDef& key : spec().keys) {
    int status = kOk;
    const KeyIndex* k = IndexOf(key.number, &status);
    if (status != kOk) return status;
    per_key->push_back(k == nullptr ? 0 : k->distinct);
  }
  return kOk;
}

int LegacyIndex::Read(uint32_t pos, std::vector<uint8_t>* data) const {
  const size_t ordinal = AddressRank(addresses(), pos);
  if (ordinal == addresses().size() || addresses()[ordinal] != pos) return kInvalidRecordAddress;
  int st = source_->Record(ordinal, data);
  if (st != kOk) return st;
  if (source_->Changed()) {
    return Damaged("the file was changed or shortened by another program while it was open;"
                   " open it again");
  }
  // The engine reads keys out of the fixed part.
  return data->size() < spec().record_length ? kIoError : kOk;
}

int LegacyIndex::Step(bool forward, uint32_t from, uint32_t* pos,
                      std::vector<uint8_t>* data) const {
  const std::vector<uint32_t>& all = addresses();
  size_t at = 0;
  if (forward) {
    at = static_cast<size_t>(std::upper_bound(all.begin(), all.end(), from) - all.begin());
    if (at == all.size()) return kEndOfFile;
  } else {
    at = from == UINT32_MAX ? all.size() : AddressRank(all, from);
    if (at == 0) return kEndOfFile;
    --at;
  }
  *pos = all[at];
  return Read(*pos, data);
}

int LegacyIndex::Damaged(std::string reason) const {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (std::find(warnings_.begin(), warnings_.end(), reason) == warnings_.end()) {
      warnings_.push_back(reason);
    }
  }
  SetLastOpenDiagnosis(std::move(reason));
  return kIoError;
}

size_t LegacyIndex::MemoryBytes() const {
  size_t bytes = addresses().capacity() * 2 * sizeof(uint32_t);
  for (size_t i = 0; i < built_.size(); ++i) {
    const KeyIndex* k = ready_[i].load(std::memory_order_acquire);
    if (k == nullptr) continue;
    bytes += k->rows.capacity() + (k->ordinal.capacity() + k->rank_of.capacity()) * sizeof(uint32_t);
  }
  return bytes;
}

}  // namespace tavelnor::btrieve
