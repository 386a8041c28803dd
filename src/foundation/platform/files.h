// Platform seam: files. Paths are byte strings in the system's 8-bit encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::platform {

// True when `path` names an existing file that is not a directory.
bool FileExists(const std::string& path);
// True when `path` names an existing directory.
bool DirectoryExists(const std::string& path);

// True when `path` names an existing regular file (not a directory, a FIFO,
// a device or a socket).
bool RegularFileExists(const std::string& path);

// Opens a regular file for binary reading, others denied writing where the
// system allows it. What is not a regular file (a directory, a FIFO, a
// device) fails at once with InvalidArgument, without waiting for a writer
// or touching the device; NotFound when it does not exist, IoError when it
// cannot be opened. The caller closes the stream.
Result<std::FILE*> OpenRegularFile(const std::string& path);

// Reads a whole file. Fails with NotFound when it does not exist, IoError when
// it cannot be opened or read, InvalidArgument when it is a directory or larger
// than `max_bytes`.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path,
                                           size_t max_bytes = size_t{1} << 30);

}  // namespace tavelnor::platform
