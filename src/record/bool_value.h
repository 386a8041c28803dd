// Booleans as they lie in a record and their text.
//
//   bdBool (code 6): 4 bytes little-endian; 0 is false, anything else true;
//                    written as 0 or 1.
//   bool (code 19):  1 byte; 0 is false, 1 is true.
// Text uses the current locale's words for true and false.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::record {

struct bdBool {
  int32_t value = 0;

  static bdBool FromBytes(const uint8_t* bytes);
  // Writes 0 or 1.
  void ToBytes(uint8_t* bytes) const;
  bool IsTrue() const { return value != 0; }
  static bdBool From(bool b) { return bdBool{b ? 1 : 0}; }
};

// The locale's word for `value`.
Chaine BoolToText(bool value);
// Trims spaces on both sides and compares with the locale's words meaning
// true, then false (case-insensitive). False (and *value untouched) when the
// text is empty or matches no word.
bool BoolFromText(std::string_view text, bool* value);

}  // namespace tavelnor::record
