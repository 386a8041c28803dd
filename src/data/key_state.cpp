// Key descriptions, current key and key range of a data object.
#include "data/key_state.h"

#include <algorithm>
#include <array>

#include "btrieve/btrieve_codes.h"

namespace tavelnor::data {

namespace {

bool FitsKeyBuffer(const uint8_t* bytes, int32_t length) {
  return bytes == nullptr || (length >= 0 && static_cast<size_t>(length) <= kKeyBoundSize);
}

}  // namespace

void KeyState::SetTable(const dico::DRubricTable* table) {
  table_ = table;
  descriptions_.clear();
  extended_.clear();
  descriptions_built_ = false;
  current_ = CurrentKey();
  range_ = KeyRange();
  count_stale_ = true;
  status_ = 0;
}

void KeyState::SetExtendedKeyLookup(ExtendedKeyLookup lookup) {
  extended_lookup_ = std::move(lookup);
  extended_.clear();
}

void KeyState::BuildDescriptions() {
  if (descriptions_built_) return;
  descriptions_built_ = true;
  if (table_ != nullptr) descriptions_ = DescribeTableKeys(*table_);
}

const EKeyDesc* KeyState::KeyDescFor(int key_number) {
  if (key_number < 0) return nullptr;
  BuildDescriptions();
  const auto n = static_cast<uint32_t>(key_number);
  if (auto it = descriptions_.find(n); it != descriptions_.end()) return &it->second;
  if (auto it = extended_.find(n); it != extended_.end()) return &it->second;
  if (!extended_lookup_) return nullptr;
  std::optional<EKeyDesc> desc = extended_lookup_(key_number);
  if (!desc) return nullptr;
  return &extended_.insert_or_assign(n, std::move(*desc)).first->second;
}

bool KeyState::SelectKey(int key_number) {
  if (key_number == -1) {
    current_ = CurrentKey();
    status_ = 0;
    return true;
  }
  const EKeyDesc* desc = key_number >= 0 && key_number < kNoKey ? KeyDescFor(key_number) : nullptr;
  if (desc == nullptr) {
    status_ = btrieve::kInvalidKeyNumber;
    return false;
  }
  if (current_.number != key_number) {
    current_.number = static_cast<uint16_t>(key_number);
    current_.value = EKeyValue::FromDesc(*desc, table_);
  }
  status_ = 0;
  return true;
}

void KeyState::ResetRange() {
  range_.number = current_.number;
  range_.key = current_.value;
  range_.low = current_.value;
  range_.high = current_.value;
  range_.low.SetMin();
  range_.high.SetMax();
  range_.flags = 0;
}

int32_t KeyState::SetKeyRange(int key_number, const uint8_t* low, int32_t low_length,
                              const uint8_t* high, int32_t high_length) {
  // Check everything first so that a refusal leaves the key and range as they were.
  const int32_t high_effective = high != nullptr && high_length == 0 ? low_length : high_length;
  if (!FitsKeyBuffer(low, low_length) || !FitsKeyBuffer(high, high_effective)) {
    status_ = btrieve::kKeyBufferTooShort;
    return -1;
  }
  if (key_number != -1 &&
      (key_number < -1 || key_number >= kNoKey || KeyDescFor(key_number) == nullptr)) {
    status_ = btrieve::kInvalidKeyNumber;
    return -1;
  }
  if (!SelectKey(key_number)) return -1;
  count_stale_ = true;
  ResetRange();
  status_ = 0;
  if (!current_.IsSet()) return 0;  // physical order: no bounds
  if (low != nullptr) range_.flags |= kRangeHasLow;
  if (low != nullptr || high != nullptr) range_.flags |= kRangeHasHigh;
  int32_t taken = 0;
  if (low != nullptr && low_length >= 1) {
    taken = static_cast<int32_t>(range_.low.SpreadBytes(low, static_cast<size_t>(low_length)));
  }
  if (high != nullptr) {
    if (high_effective > 0) {
      taken =
          static_cast<int32_t>(range_.high.SpreadBytes(high, static_cast<size_t>(high_effective)));
    }
  } else if (low != nullptr && low_length >= 1) {
    // A low value alone selects every key that begins with it.
    taken = static_cast<int32_t>(range_.high.SpreadBytes(low, static_cast<size_t>(low_length)));
  }
  status_ = 0;
  return taken;
}

int32_t KeyState::SetKeyRangeFrom(const uint8_t* packed, size_t size) {
  PackedKeyRange p;
  if (!ReadPackedKeyRange(packed, size, &p)) {
    status_ = btrieve::kIoError;
    return -1;
  }
  return SetKeyRange(p.key_number, p.low, p.low_length, p.high, p.high_length);
}

bool KeyState::GetKeyLimits(uint8_t* packed, size_t size) {
  PackedKeyRange p;
  if (!ReadPackedKeyRange(packed, size, &p)) {
    status_ = btrieve::kIoError;
    return false;
  }
  const EKeyDesc* desc = KeyDescFor(p.key_number);
  if (desc == nullptr) {
    status_ = btrieve::kInvalidKeyNumber;
    return false;
  }
  EKeyValue value = EKeyValue::FromDesc(*desc, table_);
  value.SetMin();
  value.PackBytes(packed + packed_range::kLowBytes, kKeyBoundSize);
  value.SetMax();
  value.PackBytes(packed + packed_range::kHighBytes, kKeyBoundSize);
  status_ = 0;
  return true;
}

int32_t KeyState::SetKeyBound(const uint8_t* value, int32_t length, bool high) {
  if (!FitsKeyBuffer(value, length)) {
    status_ = btrieve::kKeyBufferTooShort;
    return -1;
  }
  if (high) {
    current_.value.SetMax();
  } else {
    current_.value.SetMin();
  }
  status_ = 0;
  if (value == nullptr || length <= 0) return 0;
  return static_cast<int32_t>(current_.value.SpreadBytes(value, static_cast<size_t>(length)));
}

void KeyState::SetBoundsExclusive(bool low_exclusive, bool high_exclusive) {
  range_.flags &= ~(kRangeLowExclusive | kRangeHighExclusive);
  if (low_exclusive) range_.flags |= kRangeLowExclusive;
  if (high_exclusive) range_.flags |= kRangeHighExclusive;
  count_stale_ = true;
}

bool KeyState::CopyKeyRange(const KeyRange& range) {
  count_stale_ = true;
  if (range.number != kNoKey) {
    if (!SelectKey(range.number)) return false;
  } else {
    current_ = CurrentKey();
  }
  range_ = range;
  status_ = 0;
  return true;
}

bool KeyState::InKeyRange(const uint8_t* record, size_t length) {
  if (!current_.IsSet() || !range_.HasBound()) return true;
  range_.key.ReadFromRecord(record, length);
  if (range_.flags & kRangeHasLow) {
    const std::optional<int> c = range_.key.Compare(range_.low);
    if (!c || *c < 0 || (*c == 0 && range_.LowExclusive())) return false;
  }
  if (range_.flags & kRangeHasHigh) {
    const std::optional<int> c = range_.key.Compare(range_.high);
    if (!c || *c > 0 || (*c == 0 && range_.HighExclusive())) return false;
  }
  return true;
}

size_t KeyState::LowBoundBytes(uint8_t* dest, size_t room) const {
  return range_.low.PackBytes(dest, std::min(room, kKeyBoundSize));
}

size_t KeyState::HighBoundBytes(uint8_t* dest, size_t room) const {
  return range_.high.PackBytes(dest, std::min(room, kKeyBoundSize));
}

}  // namespace tavelnor::data
