// Runs of rows read ahead (see read_ahead.h).
#include "btrieve/read_ahead.h"

#include <algorithm>

namespace tavelnor::btrieve {

namespace {

constexpr size_t kFirstWalkBatch = 2;

}  // namespace

std::string PositionKey(uint64_t pos) {
  std::string k(8, '\0');
  for (int i = 7; i >= 0; --i, pos >>= 8) k[i] = static_cast<char>(pos & 0xFF);
  return k;
}

void ReadAhead::Clear() {
  live_ = false;
  rows_.clear();
  served_ = SIZE_MAX;
  last_batch_ = 0;
}

void ReadAhead::Check(const ReadToken& token) {
  if (live_ && !(token_ == token)) Clear();
}

ReadAhead::Answer ReadAhead::Lookup(int num, Seek seek, const std::string& bound,
                                    const AheadRow** row) {
  if (!live_ || num != num_ || Forward(seek) != forward_) return Answer::kUnknown;
  const bool strict = seek == Seek::kAbove || seek == Seek::kBelow;
  if (seek == Seek::kFirst || seek == Seek::kLast) {
    if (bounded_) return Answer::kUnknown;
  } else if (bounded_) {
    // The run knows the entries past `bound` only when `bound` is not before
    // where it starts (for an inclusive seek: strictly past, unless the run
    // itself starts inclusively there).
    const int c = forward_ ? bound.compare(low_) : low_.compare(bound);
    if (c < 0 || (c == 0 && !strict && !low_inclusive_)) return Answer::kUnknown;
  }
  // A walk asks for the row after the one it was given last.
  if (strict && served_ + 1 < rows_.size() && rows_[served_].k == bound) {
    *row = &rows_[++served_];
    return Answer::kRow;
  }
  auto it = rows_.begin();
  if (seek != Seek::kFirst && seek != Seek::kLast) {
    // Rows are in walking order: those not yet past `bound` come first.
    it = std::partition_point(rows_.begin(), rows_.end(), [&](const AheadRow& r) {
      const int c = r.k.compare(bound);
      return forward_ ? (strict ? c <= 0 : c < 0) : (strict ? c >= 0 : c > 0);
    });
  }
  if (it == rows_.end()) return complete_ ? Answer::kEnd : Answer::kUnknown;
  served_ = static_cast<size_t>(it - rows_.begin());
  *row = &*it;
  return Answer::kRow;
}

const AheadRow* ReadAhead::Served(uint32_t pos) const {
  if (!live_ || served_ >= rows_.size() || rows_[served_].pos != pos) return nullptr;
  return &rows_[served_];
}

const AheadRow* ReadAhead::NextPhysical(bool forward, uint32_t pos) {
  if (!live_ || num_ >= 0 || forward != forward_ || served_ + 1 >= rows_.size() ||
      rows_[served_].pos != pos) {
    return nullptr;
  }
  return &rows_[++served_];
}

size_t ReadAhead::BatchFor(int num, Seek seek, const std::string& bound) const {
  if (seek == Seek::kAtLeast || seek == Seek::kAtMost) return 1;  // a search, likely alone
  const bool goes_on = live_ && num == num_ && Forward(seek) == forward_ && !rows_.empty() &&
                       (seek == Seek::kAbove || seek == Seek::kBelow) && bound == rows_.back().k;
  if (!goes_on) return kFirstWalkBatch;
  return std::min(kMaxRows, std::max(kFirstWalkBatch, last_batch_ * 2));
}

void ReadAhead::Start(int num, Seek seek, const std::string& bound, const ReadToken& token) {
  live_ = false;
  token_ = token;
  num_ = num;
  forward_ = Forward(seek);
  bounded_ = seek != Seek::kFirst && seek != Seek::kLast;
  low_ = bounded_ ? bound : std::string();
  low_inclusive_ = seek == Seek::kAtLeast || seek == Seek::kAtMost;
  rows_.clear();
  bytes_.clear();
  served_ = SIZE_MAX;
}

void ReadAhead::Add(std::string k, uint32_t pos, const void* data, size_t size,
                    uint64_t stamp) {
  AheadRow row;
  row.k = std::move(k);
  row.pos = pos;
  row.stamp = stamp;
  row.offset = bytes_.size();
  row.size = size;
  const auto* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
  rows_.push_back(std::move(row));
}

const AheadRow* ReadAhead::Finish(size_t asked) {
  live_ = token_.valid;
  complete_ = rows_.size() < asked;
  last_batch_ = asked;
  served_ = rows_.empty() ? SIZE_MAX : 0;
  return rows_.empty() ? nullptr : &rows_.front();
}

}  // namespace tavelnor::btrieve
