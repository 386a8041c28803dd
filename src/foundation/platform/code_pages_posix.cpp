// The characters of a code page, from the C library's iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "foundation/platform/code_pages.h"

namespace tavelnor::platform {

Status SystemCodePageTable(const char* system_name, unsigned /*windows_number*/,
                           std::array<char32_t, 256>* table) {
  iconv_t cd = iconv_open("UTF-32LE", system_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return Status::Unsupported(std::string("the system's iconv cannot convert ") + system_name +
                               ": " + std::strerror(errno));
  }
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char* src = &in;
    size_t src_left = 1;
    unsigned char out[16] = {};
    char* dst = reinterpret_cast<char*>(out);
    size_t dst_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    const bool converted = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1);
    // One byte, one character: anything else counts as unassigned.
    if (!converted || src_left != 0 || sizeof out - dst_left != 4) {
      (*table)[static_cast<size_t>(b)] = kNoCharacter;
      continue;
    }
    (*table)[static_cast<size_t>(b)] =
        static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) |
                              (static_cast<uint32_t>(out[3]) << 24));
  }
  iconv_close(cd);
  return Status::Ok();
}

}  // namespace tavelnor::platform
