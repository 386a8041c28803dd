// UTF-8 <-> Windows-1252.
#include "dico/compiler/cp1252.h"

#include "foundation/platform/text_encoding.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace tavelnor::dico {
namespace {

// Code points of bytes 0x80..0x9F; the undefined bytes map to themselves.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a code point, or -1.
int ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

std::string CodePointName(char32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}

Status Malformed(size_t at) {
  return Status::InvalidArgument("malformed UTF-8 at byte " + std::to_string(at));
}

}  // namespace

Result<std::string> Utf8ToCp1252(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const size_t start = i;
    const auto lead = static_cast<uint8_t>(in[i++]);
    char32_t cp;
    int more;
    char32_t min;
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, more = 1, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, more = 2, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, more = 3, min = 0x10000;
    } else {
      return Malformed(start);
    }
    for (int k = 0; k < more; ++k) {
      if (i >= in.size()) return Malformed(start);
      const auto c = static_cast<uint8_t>(in[i++]);
      if ((c & 0xC0) != 0x80) return Malformed(start);
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Malformed(start);
    const int b = ByteOf(cp);
    if (b < 0) {
      return Status::InvalidArgument("character " + CodePointName(cp) + " at byte " +
                                     std::to_string(start) + " has no Windows-1252 form");
    }
    out.push_back(static_cast<char>(b));
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view in) { return platform::Cp1252ToUtf8(in); }

}  // namespace tavelnor::dico
