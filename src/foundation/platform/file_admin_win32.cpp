// Removing files and asking their size, on Windows.
#include "foundation/platform/win32_headers.h"

#include <string>

#include "foundation/platform/file_admin.h"

namespace tavelnor::platform {

Status RemoveFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return Status::Ok();
  DWORD err = GetLastError();
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::Ok();
  return Status::IoError(path + ": cannot remove (error " + std::to_string(err) + ")");
}

Result<uint64_t> FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return Status::NotFound(path + ": not found");
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace tavelnor::platform
