// Windows-1252 into UTF-8.
#include "foundation/platform/text_encoding.h"

#include <cstdint>

namespace tavelnor::platform {
namespace {

// Code points of bytes 0x80 to 0x9F; the unassigned bytes map to themselves.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

int Cp1252ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

void AppendCp1252AsUtf8(std::string_view cp1252, std::string* out) {
  for (char ch : cp1252) {
    const auto b = static_cast<uint8_t>(ch);
    if (b < 0x80) {
      *out += ch;
      continue;
    }
    const uint32_t cp = b < 0xA0 ? kHigh[b - 0x80] : b;
    if (cp < 0x800) {
      *out += static_cast<char>(0xC0 | (cp >> 6));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out += static_cast<char>(0xE0 | (cp >> 12));
      *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  AppendCp1252AsUtf8(cp1252, &out);
  return out;
}

}  // namespace tavelnor::platform
