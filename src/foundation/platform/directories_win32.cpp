// Making directories and empty files on Windows, through the ANSI entry points.
#include <string>

#include "foundation/platform/directories.h"
#include "foundation/platform/files.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/win32_headers.h"

namespace tavelnor::platform {

namespace {
Status Failed(const std::string& path, DWORD err) {
  return Status::IoError(path + ": system error " + std::to_string(err));
}

// Index just past the root of `path`: "C:\", "\\server\share\" or "\".
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    size_t seps = 0;
    for (size_t i = 2; i < path.size(); ++i) {
      if (IsPathSeparator(path[i]) && ++seps == 2) return i + 1;
    }
    return path.size();
  }
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}
}  // namespace

Status CreateDirectories(const std::string& path) {
  if (path.empty()) return Status::InvalidArgument("empty directory path");
  for (size_t pos = RootLength(path) + 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && !IsPathSeparator(path[pos])) continue;
    if (IsPathSeparator(path[pos - 1])) continue;
    const std::string level = path.substr(0, pos);
    if (CreateDirectoryA(level.c_str(), nullptr)) continue;
    const DWORD err = GetLastError();
    if (err == ERROR_ALREADY_EXISTS && DirectoryExists(level)) continue;
    return Failed(level, err);
  }
  return Status::Ok();
}

Status CreateEmptyFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed(path, GetLastError());
  CloseHandle(h);
  return Status::Ok();
}

}  // namespace tavelnor::platform
