// Reading and writing the packed key range record.
#include "data/key_range.h"

#include <algorithm>
#include <cstring>

#include "foundation/byte_reader.h"

namespace tavelnor::data {

bool ReadPackedKeyRange(const uint8_t* packed, size_t size, PackedKeyRange* out) {
  if (packed == nullptr || out == nullptr || size < packed_range::kSize) return false;
  ByteReader r(packed, size);
  uint32_t key = 0, low = 0, high = 0;
  if (!r.Seek(packed_range::kKeyNumber) || !r.ReadU32(&key) || !r.Seek(packed_range::kLowLength) ||
      !r.ReadU32(&low) || !r.Seek(packed_range::kHighLength) || !r.ReadU32(&high)) {
    return false;
  }
  out->key_number = static_cast<int32_t>(key);
  out->low_length = static_cast<int32_t>(low);
  out->high_length = static_cast<int32_t>(high);
  out->low = out->low_length != 0 ? packed + packed_range::kLowBytes : nullptr;
  out->high = out->high_length != 0 ? packed + packed_range::kHighBytes : nullptr;
  return true;
}

bool WritePackedKeyRange(uint8_t* packed, size_t size, int32_t key_number, const uint8_t* low,
                         int32_t low_length, const uint8_t* high, int32_t high_length) {
  if (packed == nullptr || size < packed_range::kSize) return false;
  std::memset(packed, 0, packed_range::kSize);
  StoreLE32(packed + packed_range::kKeyNumber, static_cast<uint32_t>(key_number));
  const auto put = [&](size_t at, size_t length_at, const uint8_t* bytes, int32_t length) {
    const size_t n = bytes == nullptr || length <= 0
                         ? 0
                         : std::min<size_t>(static_cast<size_t>(length), kKeyBoundSize);
    if (n > 0) std::memcpy(packed + at, bytes, n);
    StoreLE32(packed + length_at, static_cast<uint32_t>(n));
  };
  put(packed_range::kLowBytes, packed_range::kLowLength, low, low_length);
  put(packed_range::kHighBytes, packed_range::kHighLength, high, high_length);
  return true;
}

}  // namespace tavelnor::data
