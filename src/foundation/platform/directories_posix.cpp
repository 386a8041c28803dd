// Making directories and empty files on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/platform/directories.h"
#include "foundation/platform/files.h"
#include "foundation/platform/path_text.h"

namespace tavelnor::platform {

namespace {
Status Failed(const std::string& path, int err) {
  return Status::IoError(path + ": " + std::strerror(err));
}
}  // namespace

Status CreateDirectories(const std::string& path) {
  if (path.empty()) return Status::InvalidArgument("empty directory path");
  const std::string native = NativeSeparators(path);
  // Make each level in turn, from the first below the root.
  for (size_t pos = 1; pos <= native.size(); ++pos) {
    if (pos != native.size() && native[pos] != kPathSeparator) continue;
    if (native[pos - 1] == kPathSeparator) continue;  // doubled separator
    const std::string level = native.substr(0, pos);
    if (mkdir(level.c_str(), 0777) == 0) continue;
    const int err = errno;
    if (err == EEXIST && DirectoryExists(level)) continue;
    return Failed(level, err);
  }
  return Status::Ok();
}

Status CreateEmptyFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Failed(path, errno);
  if (close(fd) != 0) return Failed(path, errno);
  return Status::Ok();
}

}  // namespace tavelnor::platform
