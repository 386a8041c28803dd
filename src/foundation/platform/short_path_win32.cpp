// Short (8.3) path forms on Windows.
#include "foundation/platform/win32_headers.h"

#include <vector>

#include "foundation/platform/short_path.h"

namespace tavelnor::platform {

std::optional<std::string> ShortPathForm(const std::string& path) {
  const DWORD needed = GetShortPathNameA(path.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<char> buf(static_cast<size_t>(needed) + 1, '\0');
  const DWORD got = GetShortPathNameA(path.c_str(), buf.data(), needed + 1);
  if (got == 0 || got > needed) return std::nullopt;
  return std::string(buf.data(), got);
}

}  // namespace tavelnor::platform
