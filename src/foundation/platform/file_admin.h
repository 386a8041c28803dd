// Platform seam: removing files and asking their size, for components that
// manage whole files (the record manager replaces and inspects its data files).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

// Removes a file. Succeeds when the file did not exist; fails with IoError when
// it exists and cannot be removed.
Status RemoveFile(const std::string& path);

// Size in bytes of an existing file; NotFound when there is none.
Result<uint64_t> FileSize(const std::string& path);

}  // namespace tavelnor::platform
