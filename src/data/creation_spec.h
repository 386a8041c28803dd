// The creation specification: the data buffer of Btrieve Create, built in a
// 4096-byte buffer from a table definition (or piece by piece).
//
// Layout, little-endian:
//   off  size  content
//   0    2     record length
//   2    2     page size (1024 when the table gives 0)
//   4    1     number of keys
//   5    1     file format version x 16 (0: the record manager chooses)
//   6    4     zero
//   10   2     file flags (the table's 16-bit flag word)
//   12   4     zero
//   16   16*n  key segments, keys in order, segments in order:
//                0 position (1-based)  2 length  4 flags (with 0x80 set
//                for a key with duplicates, 0x100 extended type always)  6 zero
//                10 extended type  11 null value (0x20 for a STRING segment
//                of a null key)  12 zero
//   ..   265*m alternate collating sequences
// Create's data length is 16 x (segments + 1) + 265 x sequences.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavelnor::dico {
class DRubricTable;
}

namespace tavelnor::data {

inline constexpr uint8_t kExtTypeString = 0, kExtTypeInteger = 1, kExtTypeFloat = 2,
                         kExtTypeDate = 3, kExtTypeTime = 4, kExtTypeZstring = 11,
                         kExtTypeUnsignedBinary = 14, kExtTypeAutoincrement = 15,
                         kExtTypeCurrency = 19, kExtTypeTimestamp = 20;

// The key flag of a table definition that asks for automatic numbering.
inline constexpr uint32_t kKeyAutoNumbering = 0x10;

// The Btrieve extended type of a segment of library type `type_code`.
uint8_t ExtendedKeyType(uint32_t type_code);

class BtrvCreationSpec {
 public:
  static constexpr size_t kBufferSize = 4096;
  static constexpr size_t kSegmentSize = 16;
  static constexpr size_t kCollatingSize = 265;

  // Writes the 16-byte file part; forgets any segment added before.
  void Begin(uint16_t record_length, uint16_t page_size, uint8_t key_count,
             uint8_t format_version, uint16_t file_flags);
  // Appends one segment; `position` is the 0-based offset in the record.
  // Status 1 when the buffer has no room left.
  int16_t AddKeySegment(uint32_t position, uint16_t length, uint16_t flags,
                        uint8_t extended_type, bool add_duplicate_bit = true);

  int16_t segment_count() const { return segment_count_; }
  uint16_t collating_count() const { return collating_count_; }
  // Create's data length.
  uint16_t DataLength() const;
  uint8_t* bytes() { return bytes_.data(); }
  const uint8_t* bytes() const { return bytes_.data(); }

 private:
  std::array<uint8_t, kBufferSize> bytes_{};
  int16_t segment_count_ = 0;
  uint16_t collating_count_ = 0;
};

// Fills `spec` from `table`: its record length (the extended one for the
// extended form), page size, keys, flags, then every segment of every key.
// Status 26 for a key without segments, 27 for a segment whose position
// cannot be found, 28 for a record length beyond 65535, 1 when the segments
// do not fit.
int16_t BuildCreationSpec(const dico::DRubricTable& table, bool extended_form,
                          BtrvCreationSpec& spec);

}  // namespace tavelnor::data
