// KeyState: the key side of a data object — its key descriptions, its
// current key and its key range — kept apart from navigation so that every
// data object kind shares one implementation.
//
// Key descriptions come from the table definition (built on first use, every
// key of the definition under its number); a number the definition does not
// describe is asked of the extended-key lookup, which a table answers from
// its data file's key specifications.
//
// Every operation records its outcome in Status(), a Btrieve status number:
// 0, btrieve::kInvalidKeyNumber for a key that has no description,
// btrieve::kKeyBufferTooShort for a bound that does not fit the 255-byte key
// buffer, btrieve::kIoError for a missing or short packed record. A refused
// operation changes nothing.
//
// Not thread-safe: a KeyState belongs to its data object's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "data/key_desc.h"
#include "data/key_range.h"

namespace tavelnor::dico {
class DRubricTable;
}

namespace tavelnor::data {

class KeyState {
 public:
  using ExtendedKeyLookup = std::function<std::optional<EKeyDesc>(int key_number)>;

  explicit KeyState(const dico::DRubricTable* table = nullptr) : table_(table) {}

  // Takes a new table definition (may be null): the descriptions are
  // forgotten and rebuilt on first use; the current key and range are cleared.
  void SetTable(const dico::DRubricTable* table);
  const dico::DRubricTable* Table() const { return table_; }
  void SetExtendedKeyLookup(ExtendedKeyLookup lookup);

  int32_t Status() const { return status_; }

  // The description of key `key_number`; null when neither the definition
  // nor the extended-key lookup has one.
  const EKeyDesc* KeyDescFor(int key_number);

  // Makes `key_number` current (rebuilding the current key when the number
  // changes); -1 clears it. False with btrieve::kInvalidKeyNumber for an
  // unknown key.
  bool SelectKey(int key_number);

  // Selects the key and sets the range: a given low value is spread over the
  // low bound's segments (the rest at minimum); the high bound takes the high
  // value (its length, or the low length when 0) or, with no high value, the
  // low value, over segments at maximum. Both bounds are inclusive. Answers
  // the bytes taken for the last bound set, -1 when refused.
  int32_t SetKeyRange(int key_number, const uint8_t* low, int32_t low_length, const uint8_t* high,
                      int32_t high_length);
  // SetKeyRange from a packed record; a bound of length 0 is absent.
  int32_t SetKeyRangeFrom(const uint8_t* packed, size_t size);
  // For the key numbered in the packed record, writes its smallest value into
  // the low part and its largest into the high part (255 bytes at most each);
  // the length fields are left alone. False when refused.
  bool GetKeyLimits(uint8_t* packed, size_t size);
  // Sets every segment of the current key to its minimum (or maximum when
  // `high`), then spreads the bytes over it; answers the bytes taken.
  int32_t SetKeyBound(const uint8_t* value, int32_t length, bool high);
  // Makes the bounds exclusive or inclusive.
  void SetBoundsExclusive(bool low_exclusive, bool high_exclusive);
  // Takes another object's range, its key becoming the current key.
  bool CopyKeyRange(const KeyRange& range);

  bool HasKeyRange() const { return range_.HasBound(); }
  // Whether the key of `record` lies within the range (true without a
  // current key or bounds); a key that cannot be compared is outside.
  bool InKeyRange(const uint8_t* record, size_t length);

  // The bound's segments end to end into a key buffer of `room` bytes
  // (at most 255 used); answers the bytes written.
  size_t LowBoundBytes(uint8_t* dest, size_t room) const;
  size_t HighBoundBytes(uint8_t* dest, size_t room) const;

  const CurrentKey& Current() const { return current_; }
  CurrentKey& Current() { return current_; }
  const KeyRange& Range() const { return range_; }

  // True once after any change of the range (the visible count is stale).
  bool TakeCountStale() {
    const bool stale = count_stale_;
    count_stale_ = false;
    return stale;
  }

 private:
  void BuildDescriptions();
  void ResetRange();

  const dico::DRubricTable* table_ = nullptr;
  ExtendedKeyLookup extended_lookup_;
  std::map<uint32_t, EKeyDesc> descriptions_;
  std::map<uint32_t, EKeyDesc> extended_;
  bool descriptions_built_ = false;
  CurrentKey current_;
  KeyRange range_;
  int32_t status_ = 0;
  bool count_stale_ = false;
};

}  // namespace tavelnor::data
