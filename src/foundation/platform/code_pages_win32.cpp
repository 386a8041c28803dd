// The characters of a code page, from the system's own tables.
#include "foundation/platform/win32_headers.h"

#include <string>

#include "foundation/platform/code_pages.h"

namespace tavelnor::platform {

Status SystemCodePageTable(const char* /*system_name*/, unsigned windows_number,
                           std::array<char32_t, 256>* table) {
  if (!IsValidCodePage(windows_number)) {
    return Status::Unsupported("the system has no code page " + std::to_string(windows_number));
  }
  for (int b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    wchar_t out[2] = {};
    const int n = MultiByteToWideChar(windows_number, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    // One byte, one UTF-16 unit: anything else counts as unassigned.
    (*table)[static_cast<size_t>(b)] = n == 1 ? static_cast<char32_t>(out[0]) : kNoCharacter;
  }
  return Status::Ok();
}

}  // namespace tavelnor::platform
