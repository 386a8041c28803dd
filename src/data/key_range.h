// The current key and the key range of a data object, and the packed key
// range record that hosts exchange.
//
// Packed key range record (522 bytes, little-endian):
//   off  size  content
//   0    4     key number, signed
//   4    255   low value bytes
//   259  4     low value length (0: no low value)
//   263  255   high value bytes
//   518  4     high value length (0: no high value)
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/key_value.h"

namespace tavelnor::data {

// Key number of "no current key".
inline constexpr uint16_t kNoKey = 65535;
// Room of the key buffer of Btrieve calls, and of each packed bound.
inline constexpr size_t kKeyBoundSize = 255;

// Key range flags.
inline constexpr uint32_t kRangeHasLow = 0x1;
inline constexpr uint32_t kRangeHasHigh = 0x2;
inline constexpr uint32_t kRangeLowExclusive = 0x4;
inline constexpr uint32_t kRangeHighExclusive = 0x8;

struct CurrentKey {
  uint16_t number = kNoKey;
  EKeyValue value;

  bool IsSet() const { return number != kNoKey; }
};

struct KeyRange {
  uint16_t number = kNoKey;  // the key the range was set on
  EKeyValue key;             // a copy of the current key, for reading records
  EKeyValue low;
  EKeyValue high;
  uint32_t flags = 0;

  bool HasBound() const { return (flags & (kRangeHasLow | kRangeHasHigh)) != 0; }
  bool LowExclusive() const { return (flags & kRangeLowExclusive) != 0; }
  bool HighExclusive() const { return (flags & kRangeHighExclusive) != 0; }
};

namespace packed_range {
inline constexpr size_t kSize = 522;
inline constexpr size_t kKeyNumber = 0;
inline constexpr size_t kLowBytes = 4;
inline constexpr size_t kLowLength = 259;
inline constexpr size_t kHighBytes = 263;
inline constexpr size_t kHighLength = 518;
}  // namespace packed_range

// A packed record read into its parts. The bound pointers point into the
// record; a length of 0 gives a null pointer.
struct PackedKeyRange {
  int32_t key_number = -1;
  const uint8_t* low = nullptr;
  int32_t low_length = 0;
  const uint8_t* high = nullptr;
  int32_t high_length = 0;
};

// False when `size` is below the record's 522 bytes or `packed` is null.
bool ReadPackedKeyRange(const uint8_t* packed, size_t size, PackedKeyRange* out);
// Writes a packed record (all five parts; bounds longer than 255 bytes are
// cut). False when `size` is below 522 bytes or `packed` is null.
bool WritePackedKeyRange(uint8_t* packed, size_t size, int32_t key_number, const uint8_t* low,
                         int32_t low_length, const uint8_t* high, int32_t high_length);

}  // namespace tavelnor::data
