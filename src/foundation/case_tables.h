// Upper- and lower-case tables over Windows-1252, one byte to one byte.
//
// These tables, not the platform's locale, drive case-insensitive comparison
// and the upper-case text field types. Upper: a-z and the accented small
// letters E0-E6, E7-EC, EE, EF, F1-F6, F8-FD map to the byte minus 0x20; every
// other byte is unchanged, notably ED (i acute), F0 (eth), F7 (division sign),
// FE (thorn) and FF (y diaeresis) — values already stored in upper-case fields
// were written this way. Lower: A-Z and C0-CF, D1-D6, D8-DD map to the byte
// plus 0x20; D0 (Eth), D7 (multiplication sign) and DE (Thorn) stay.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor {

namespace case_tables_internal {

constexpr bool InRange(int c, int lo, int hi) { return c >= lo && c <= hi; }

constexpr std::array<uint8_t, 256> MakeUpper() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    bool maps = InRange(c, 'a', 'z') || InRange(c, 0xE0, 0xEC) || c == 0xEE || c == 0xEF ||
                InRange(c, 0xF1, 0xF6) || InRange(c, 0xF8, 0xFD);
    t[c] = static_cast<uint8_t>(maps ? c - 0x20 : c);
  }
  return t;
}

constexpr std::array<uint8_t, 256> MakeLower() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    bool maps = InRange(c, 'A', 'Z') || InRange(c, 0xC0, 0xCF) || InRange(c, 0xD1, 0xD6) ||
                InRange(c, 0xD8, 0xDD);
    t[c] = static_cast<uint8_t>(maps ? c + 0x20 : c);
  }
  return t;
}

inline constexpr std::array<uint8_t, 256> kUpper = MakeUpper();
inline constexpr std::array<uint8_t, 256> kLower = MakeLower();

}  // namespace case_tables_internal

// The 256-byte tables.
const uint8_t* UpperTable();
const uint8_t* LowerTable();

inline uint8_t ToUpper1252(uint8_t c) { return case_tables_internal::kUpper[c]; }
inline uint8_t ToLower1252(uint8_t c) { return case_tables_internal::kLower[c]; }

std::string ToUpper1252(std::string_view text);
std::string ToLower1252(std::string_view text);

// Byte-wise comparison through the upper-case table: the first difference
// decides; with equal prefixes the shorter text is smaller. Returns <0, 0, >0.
int CompareNoCase1252(std::string_view a, std::string_view b);

}  // namespace tavelnor
