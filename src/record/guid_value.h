// EGuid (code 30): 16 bytes in the GUID layout — a 32-bit little-endian
// number, two 16-bit little-endian numbers, then 8 single bytes — and its
// 38-character registry text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::record {

struct EGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  static EGuid FromBytes(const uint8_t* bytes);
  void ToBytes(uint8_t* bytes) const;
  bool IsNull() const;

  // Upper-case hexadecimal registry form.
  Chaine ToText() const;
  // Reads the registry form (hex digits of either case, braces required).
  // False (and the null GUID) for anything else.
  bool FromText(std::string_view text);

  friend bool operator==(const EGuid&, const EGuid&) = default;
};

}  // namespace tavelnor::record
