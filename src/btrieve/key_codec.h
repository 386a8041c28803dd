// Order-preserving key encoding: a key value becomes a byte string whose
// memcmp order is the record manager's order for that key. Each segment
// encodes to exactly its own length, so every entry of one key has the same
// width, and a duplicate key appends an 8-byte big-endian sequence number that
// keeps duplicates in insertion order.
//
//   type             encoding of one segment (n = segment length)
//   STRING, LOGICAL  the bytes; case-insensitive segments through the
//                    Windows-1252 upper-case table, ACS segments through the
//                    ACS map
//   INTEGER,         big-endian, sign bit flipped (1-byte INTEGER is signed)
//   CURRENCY
//   UNSIGNED BINARY, big-endian (bytes reversed)
//   TIMESTAMP
//   AUTOINCREMENT    absolute value, big-endian unsigned
//   FLOAT            big-endian IEEE; negatives all bits inverted, others
//                    sign bit set; -0 encodes as +0
//   BFLOAT           sign, exponent, mantissa as one magnitude M (31 or 63
//                    bits): zero (exponent 0) -> 0x80.., positive -> high bit
//                    | M, negative -> inverted (high bit | M)
//   DECIMAL, MONEY   packed BCD with the sign in the last nibble (D or B
//                    negative): a sign nibble (8 positive, 0 negative) then
//                    the 2n-1 digits, each d or, when negative, 9-d; a zero
//                    of either sign encodes as positive
//   NUMERIC          ASCII digits, sign overpunched on the last one ('{',
//                    'A'-'I' positive; '}', 'J'-'R' negative): first byte
//                    0x80 | d (positive) or 9-d (negative), then d or 9-d
//   NUMERICSTS       ASCII digits then '+' or '-': a sign byte (0x80 or 0)
//                    then d or 9-d per digit
//   DATE             year (big-endian), month, day
//   TIME             hour, minute, second, hundredths
//   ZSTRING          bytes up to the first NUL, NUL-padded to n
//   LSTRING          the min(len, n-1) counted bytes, NUL-padded to n-1,
//                    then the count byte (so a shorter prefix sorts first
//                    even when the longer value continues with NULs)
//   descending       the segment's encoding with every byte inverted
#pragma once

#include <cstdint>
#include <string>

#include "btrieve/file_spec.h"

namespace tavelnor::btrieve {

inline constexpr size_t kDupSuffixSize = 8;

// Copies the key's segments out of a record (at least record_length bytes)
// into `out`, joined: the form of the key buffer.
std::string ExtractKey(const KeyDef& key, const uint8_t* record);

// True when the key is left out of its index: all segments (0x08) or any
// segment (0x200) consist only of their null byte.
bool IsNullKey(const KeyDef& key, const uint8_t* key_bytes);

// The order-preserving encoding of a key value given as joined segments
// (key.length() bytes). `spec` supplies the ACS maps.
std::string EncodeKey(const FileSpec& spec, const KeyDef& key, const uint8_t* key_bytes);

// The value of an AUTOINCREMENT key entry (absolute value).
uint64_t DecodeAutoIncrement(const std::string& entry, size_t width);

}  // namespace tavelnor::btrieve
