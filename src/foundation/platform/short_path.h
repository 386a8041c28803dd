// Platform seam: the short (8.3) form of an existing path, where the system
// keeps one.
#pragma once

#include <optional>
#include <string>

namespace tavelnor::platform {

// The short form of `path` on Windows (nullopt when the path does not exist
// or has none); on POSIX, which knows no short names, `path` itself.
std::optional<std::string> ShortPathForm(const std::string& path);

}  // namespace tavelnor::platform
