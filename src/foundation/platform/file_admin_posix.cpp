// Removing files and asking their size, on POSIX.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/platform/file_admin.h"

namespace tavelnor::platform {

Status RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return Status::Ok();
  return Status::IoError(path + ": " + std::strerror(errno));
}

Result<uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Status::NotFound(path + ": " + std::strerror(errno));
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace tavelnor::platform
