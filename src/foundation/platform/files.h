// Platform seam: files. Paths are byte strings in the system's 8-bit encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::platform {

// True when `path` names an existing file that is not a directory.
bool FileExists(const std::string& path);
// True when `path` names an existing directory.
bool DirectoryExists(const std::string& path);

// Reads a whole file. Fails with NotFound when it does not exist, IoError when
// it cannot be opened or read, InvalidArgument when it is a directory or larger
// than `max_bytes`.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path,
                                           size_t max_bytes = size_t{1} << 30);

}  // namespace tavelnor::platform
