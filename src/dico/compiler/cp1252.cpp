// UTF-8 <-> Windows-1252.
#include "dico/compiler/cp1252.h"

#include "foundation/platform/text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace tavelnor::dico {
namespace {

// The Windows-1252 byte of a code point, or -1.
int ByteOf(char32_t cp) { return platform::Cp1252ByteOf(cp); }

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
