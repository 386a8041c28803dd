// Platform seam: making directories and probing whether a folder takes new
// files. (DirectoryExists is in files.h, RemoveFile in file_admin.h.)
#pragma once

#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

// Creates `path` and every missing parent. Succeeds when the directory
// already exists; fails with IoError when some level cannot be made or exists
// as a file.
Status CreateDirectories(const std::string& path);

// Creates an empty file at `path`, truncating one that exists. Fails with
// IoError when it cannot be created (no folder, no right, a directory there).
Status CreateEmptyFile(const std::string& path);

}  // namespace tavelnor::platform
