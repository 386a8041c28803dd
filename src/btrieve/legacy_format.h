// On-disk layout of the earlier record manager's data files (5.x and
// 6.0/6.1), as far as the read-only reader relies on it. Shared by the reader
// and by the tests' file builder. All values little-endian.
//
// "Swapped" 32-bit values are two 16-bit words, high word first: bytes
// b0 b1 b2 b3 mean (b1:b0) << 16 | (b3:b2). 0xFFFFFFFF means none.
//
// File control record (FCR), offsets from the start of its page:
//   0x00 4  5.x: zero; 6.x: "FC\0\0"
//   0x04 4  6.x: usage count (the higher of pages 0 and 1 is current)
//   0x06 2  5.x: version word 0x0300/0x0400/0x0500, negated when an owner is set
//   0x08 2  page size
//   0x0A 2  zero in a usable file
//   0x10 4  5.x: swapped file offset of the first free record slot
//   0x14 2  number of keys
//   0x16 2  record length (fixed part)
//   0x18 2  physical record length (slot size)
//   0x1A 4  swapped record count
//   0x22 2  5.x: 0xFFFF = needs recovery
//   0x26 4  swapped page count (6.x: highest used logical page + 1)
//   0x2E 9  owner name, encoded; all zero when the file has none (5.x files
//           with an owner show it; 6.x files are taken to keep it at the
//           same place: zero in every 6.x file seen, none of them owned)
//   0x38 1  0 fixed, 0xFF variable, 0xFD variable with blank truncation
//   0x4A 2  6.x: format version 0x0600 / 0x0610
//   0x72 2  6.x: offset of the first duplicate-pointer pair in the slot
//   0x74 1  6.x: number of duplicate-pointer pairs
//   0x76 1  6.x: entries of the key attribute table (= keys)
//   0x77 1  6.x: total key segments
//   0x78 2  6.x: offset of the key attribute table (16-bit descriptor offsets)
//   0x106 2 file flags
//   0x110   5.x: key segment descriptors, 30 bytes each, back to back
//
// Key segment descriptor (30 bytes):
//   +0x04 4 first segment: swapped count of distinct key values
//   +0x08 2 key flags        +0x12 2 offset of the duplicate-pointer pair
//   +0x14 2 position: 5.x record offset, 6.x record offset + 2
//   +0x16 2 length           +0x18 1 6.x first segment: 0x80 + key number
//   +0x19 3 6.x ACS page: [logical bits 16..23][bits 0..15]
//   +0x1C 1 extended type    +0x1D 1 null value
//
// Pages are 512 to 4096 bytes in steps of 512, in both formats.
// 6.x pages other than FCR and PAT start with a page reference
// [logical bits 16..23][type][logical bits 0..15] and a 16-bit usage word
// (bit 15 set on data pages). A PAT page holds "PP", a 16-bit word, a
// 32-bit usage count and from offset 8 one reference per logical page
// [physical bits 16..23][type][physical bits 0..15], page size / 4 - 2 of
// them. PAT pair k sits at physical pages 2 + k * (page size / 4) and the
// next one.
// 5.x pages other than the FCR start with their swapped page number and a
// usage word (bit 15 set on data pages). Data slots start at offset 6.
// Variable pages: fragment count at 0x0A, fragment offsets from the page end
// downward, entry [count] = start of free space.
#pragma once

#include <cstdint>

#include "foundation/byte_reader.h"

namespace tavelnor::btrieve::legacy {

inline constexpr uint32_t kNone = 0xFFFFFFFF;
inline constexpr size_t kDescriptorSize = 30;
inline constexpr size_t kFirstDescriptor = 0x110;
inline constexpr size_t kPageHeader = 6;
inline constexpr size_t kFragmentsStart = 0x0C;
inline constexpr uint32_t kNoVariablePage = 0xFFFFFF;
inline constexpr uint8_t kNoFragment = 0xFF;

// FCR fields.
inline constexpr size_t kFcrUsage = 0x04;
inline constexpr size_t kFcrVersion5 = 0x06;
inline constexpr size_t kFcrPageSize = 0x08;
inline constexpr size_t kFcrAccel = 0x0A;
inline constexpr size_t kFcrFreeSlot = 0x10;
inline constexpr size_t kFcrKeys = 0x14;
inline constexpr size_t kFcrRecordLength = 0x16;
inline constexpr size_t kFcrPhysicalLength = 0x18;
inline constexpr size_t kFcrRecords = 0x1A;
inline constexpr size_t kFcrRecovery5 = 0x22;
inline constexpr size_t kFcrPages = 0x26;
inline constexpr size_t kFcrVariable = 0x38;
inline constexpr size_t kFcrOwner = 0x2E;
inline constexpr size_t kFcrOwnerSize = 9;
inline constexpr size_t kFcrAcsName = 0x3C;
inline constexpr size_t kFcrVersion6 = 0x4A;
inline constexpr size_t kFcrDupOffset = 0x72;
inline constexpr size_t kFcrDupCount = 0x74;
inline constexpr size_t kFcrKatEntries = 0x76;
inline constexpr size_t kFcrSegments = 0x77;
inline constexpr size_t kFcrKatOffset = 0x78;
inline constexpr size_t kFcrFlags = 0x106;

// Descriptor fields.
inline constexpr size_t kDescUnique = 0x04;
inline constexpr size_t kDescFlags = 0x08;
inline constexpr size_t kDescDupOffset = 0x12;
inline constexpr size_t kDescPosition = 0x14;
inline constexpr size_t kDescLength = 0x16;
inline constexpr size_t kDescIndexType = 0x18;
inline constexpr size_t kDescAcsPage = 0x19;
inline constexpr size_t kDescType = 0x1C;
inline constexpr size_t kDescNull = 0x1D;

// 6.x page types.
inline constexpr uint8_t kPageFree = 0x00;
inline constexpr uint8_t kPageAcs = 'A';
inline constexpr uint8_t kPageData = 'D';
inline constexpr uint8_t kPageVariable = 'V';
inline constexpr uint8_t kPageIndex = 0x80;  // + key number

inline constexpr uint16_t kDataPageBit = 0x8000;
inline constexpr uint8_t kAcsMark = 0xAC;

// Format versions of 6.x files.
inline constexpr uint16_t kVersion60 = 0x0600;
inline constexpr uint16_t kVersion61 = 0x0610;

inline uint32_t LoadSwapped(const uint8_t* p) {
  return (static_cast<uint32_t>(LoadLE16(p)) << 16) | LoadLE16(p + 2);
}
inline void StoreSwapped(uint8_t* p, uint32_t v) {
  StoreLE16(p, static_cast<uint16_t>(v >> 16));
  StoreLE16(p + 2, static_cast<uint16_t>(v));
}

// A 6.x page reference: a 24-bit page number and a type byte.
struct PageRef {
  uint32_t page = 0;
  uint8_t type = 0;
};
inline PageRef LoadPageRef(const uint8_t* p) {
  return PageRef{(static_cast<uint32_t>(p[0]) << 16) | LoadLE16(p + 2), p[1]};
}
inline void StorePageRef(uint8_t* p, PageRef ref) {
  p[0] = static_cast<uint8_t>(ref.page >> 16);
  p[1] = ref.type;
  StoreLE16(p + 2, static_cast<uint16_t>(ref.page));
}

// A variable-part pointer: 24-bit page number and fragment number.
struct VarPointer {
  uint32_t page = kNoVariablePage;
  uint8_t fragment = kNoFragment;
  bool none() const { return page == kNoVariablePage && fragment == kNoFragment; }
};
inline VarPointer LoadVarPointer(const uint8_t* p) {
  return VarPointer{(static_cast<uint32_t>(p[0]) << 16) | p[1] | (static_cast<uint32_t>(p[2]) << 8),
                    p[3]};
}
inline void StoreVarPointer(uint8_t* p, VarPointer v) {
  p[0] = static_cast<uint8_t>(v.page >> 16);
  p[1] = static_cast<uint8_t>(v.page);
  p[2] = static_cast<uint8_t>(v.page >> 8);
  p[3] = v.fragment;
}

}  // namespace tavelnor::btrieve::legacy
