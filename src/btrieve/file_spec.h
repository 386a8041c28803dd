// The description of a data file: record length, page size, flags, keys and
// their segments, alternate collating sequences. Parsed from the Create data
// buffer, stored in the file's metadata in the same layout, and turned back
// into the Stat answer.
//
// Create / stored layout, little-endian:
//   off size  meaning
//   0   2     fixed record length (4 .. 65535)
//   2   2     page size, a multiple of 512 up to 4096 (0 = 1024 when stored)
//   4   1     number of keys (0 .. 119)
//   5   1     format version byte (0 = default)
//   6   4     reserved (Stat: record count)
//   10  2     file flags
//   12  4     reserved
//   16  16*n  key segments, keys in order, segments in order:
//             0 position (from 1), 2 length, 4 flags, 6 reserved (Stat:
//             distinct values), 10 extended type, 11 null byte, 12 reserved,
//             14 key number (with file flag 0x400), 15 ACS number
//   ..  265*m alternate collating sequences (0xAC, 8-byte name, 256-byte map)
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tavelnor::btrieve {

// Key flags.
inline constexpr uint16_t kKeyDup = 0x0001;
inline constexpr uint16_t kKeyModifiable = 0x0002;
inline constexpr uint16_t kKeyBinary = 0x0004;
inline constexpr uint16_t kKeyNullAll = 0x0008;
inline constexpr uint16_t kKeySegmented = 0x0010;
inline constexpr uint16_t kKeyAlternate = 0x0020;
inline constexpr uint16_t kKeyDescending = 0x0040;
inline constexpr uint16_t kKeyRepeatDups = 0x0080;
inline constexpr uint16_t kKeyExtType = 0x0100;
inline constexpr uint16_t kKeyNullAny = 0x0200;
inline constexpr uint16_t kKeyNoCase = 0x0400;

// File flags.
inline constexpr uint16_t kFileVarRecs = 0x0001;
inline constexpr uint16_t kFileKeyOnly = 0x0010;
inline constexpr uint16_t kFileSpecifyKeyNums = 0x0400;

// Extended key types.
enum KeyType : uint8_t {
  kTypeString = 0,
  kTypeInteger = 1,
  kTypeFloat = 2,
  kTypeDate = 3,
  kTypeTime = 4,
  kTypeDecimal = 5,
  kTypeMoney = 6,
  kTypeLogical = 7,
  kTypeNumeric = 8,
  kTypeBfloat = 9,
  kTypeLstring = 10,
  kTypeZstring = 11,
  kTypeUnsignedBinary = 14,
  kTypeAutoIncrement = 15,
  kTypeNumericSts = 17,
  kTypeCurrency = 19,
  kTypeTimestamp = 20,
};

inline constexpr size_t kAcsBlockSize = 265;
inline constexpr int kMaxKeys = 119;  // key numbers 0 .. 118
inline constexpr uint8_t kDefaultVersionByte = 0x70;
inline constexpr uint16_t kMaxKeyOnlyRecord = 253;  // a key-only file's record length

struct Segment {
  uint16_t position = 1;  // from 1
  uint16_t length = 0;
  uint16_t flags = 0;
  uint8_t type = kTypeString;  // effective type, old-style flags resolved
  uint8_t null_byte = 0;
  uint8_t acs = 0;
  uint8_t raw_type = 0;  // byte 10 as sent
};

struct KeyDef {
  uint8_t number = 0;
  std::vector<Segment> segments;
  uint16_t flags() const { return segments.front().flags; }
  bool duplicates() const { return (flags() & (kKeyDup | kKeyRepeatDups)) != 0; }
  bool modifiable() const { return (flags() & kKeyModifiable) != 0; }
  size_t length() const;
};

struct FileSpec {
  uint16_t record_length = 0;
  uint16_t page_size = 1024;
  uint8_t version = kDefaultVersionByte;
  uint16_t flags = 0;
  std::vector<KeyDef> keys;
  std::vector<std::array<uint8_t, kAcsBlockSize>> acs;

  bool variable_length() const { return (flags & kFileVarRecs) != 0; }
  // The key of that number, or null.
  const KeyDef* FindKey(int number) const;
  size_t SegmentCount() const;
};

// Whether values of `type` may be `length` bytes long. False with *status 49
// for a type that is not ordered, 29 for a length the type does not allow.
bool KeyTypeAccepts(uint8_t type, uint16_t length, int* status);

// Parses a Create data buffer. Returns 0 or the Btrieve status that rejects
// it (22, 24, 26, 27, 28, 29, 45, 48, 49): besides the layout, a key length
// its type does not allow (29; binary keys are 1 byte or whole words), a
// key-only file with other than one key (26) or a record over 253 bytes
// (28), and AUTOINCREMENT keys that break the rules below (45). `stored` reads the stored layout,
// where byte 14 of each key's first segment always holds its number (keys
// added or dropped later leave numbers that are not their places).
int ParseFileSpec(std::span<const uint8_t> data, FileSpec* out, bool stored = false);

// AUTOINCREMENT fields: each is a one-segment key of its own, unique and
// ascending; it may also be a segment of a later key (a higher number), and
// no other key takes any of its bytes. 45 when a key breaks this.
int CheckAutoIncrementKeys(const std::vector<KeyDef>& keys);

// Parses the segments of one key (a Create Index buffer) against `spec`. The
// key number is byte 14 of the first segment; `used` gets the bytes the
// segments took. 22, 27, 29, 45, 49.
int ParseKeySegments(std::span<const uint8_t> data, const FileSpec& spec, KeyDef* out,
                     size_t* used);

// The stored (Create) layout of `spec`; ParseFileSpec reads it back.
std::vector<uint8_t> SerializeFileSpec(const FileSpec& spec);

// The Stat answer: `long_form` for key number -1 (1-byte key count followed by
// the version byte). `distinct[i]` is the number of distinct values of key i.
std::vector<uint8_t> BuildStat(const FileSpec& spec, uint32_t record_count,
                               const std::vector<uint32_t>& distinct, bool long_form);

}  // namespace tavelnor::btrieve
