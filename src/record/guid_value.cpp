// EGuid byte form and registry text.
#include "record/guid_value.h"

#include <cstdio>

namespace tavelnor::record {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

EGuid EGuid::FromBytes(const uint8_t* b) {
  EGuid g;
  g.data1 = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  g.data2 = static_cast<uint16_t>(b[4] | (b[5] << 8));
  g.data3 = static_cast<uint16_t>(b[6] | (b[7] << 8));
  for (int i = 0; i < 8; ++i) g.data4[i] = b[8 + i];
  return g;
}

void EGuid::ToBytes(uint8_t* b) const {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(data1 >> (8 * i));
  b[4] = static_cast<uint8_t>(data2);
  b[5] = static_cast<uint8_t>(data2 >> 8);
  b[6] = static_cast<uint8_t>(data3);
  b[7] = static_cast<uint8_t>(data3 >> 8);
  for (int i = 0; i < 8; ++i) b[8 + i] = data4[i];
}

bool EGuid::IsNull() const { return *this == EGuid{}; }

Chaine EGuid::ToText() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2], data4[3],
                data4[4], data4[5], data4[6], data4[7]);
  return Chaine(buf);
}

bool EGuid::FromText(std::string_view text) {
  *this = EGuid{};
  // Hex digit counts between the dashes, and where the 16 bytes come from.
  static constexpr int kGroups[] = {8, 4, 4, 4, 12};
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  uint8_t bytes[16];
  int nibble = 0;
  size_t pos = 1;
  for (int g = 0; g < 5; ++g) {
    if (g > 0 && text[pos++] != '-') return false;
    for (int k = 0; k < kGroups[g]; ++k, ++nibble) {
      int v = HexValue(text[pos++]);
      if (v < 0) return false;
      if (nibble % 2 == 0) {
        bytes[nibble / 2] = static_cast<uint8_t>(v << 4);
      } else {
        bytes[nibble / 2] = static_cast<uint8_t>(bytes[nibble / 2] | v);
      }
    }
  }
  // The text shows the three numbers most significant byte first.
  EGuid g;
  g.data1 = (static_cast<uint32_t>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
  g.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  *this = g;
  return true;
}

}  // namespace tavelnor::record
