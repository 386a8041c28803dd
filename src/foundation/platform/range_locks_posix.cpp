// Byte-range locks on POSIX: fcntl record locks. They are per process, which
// is what the interface promises; closing any descriptor of the file would
// drop them all, so each lock file is opened once, by its RangeLockFile.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/platform/range_locks.h"

namespace tavelnor::platform {

namespace {

bool SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  int rc;
  do {
    rc = fcntl(fd, F_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace

RangeLockFile::~RangeLockFile() {
  if (handle_ != kClosed) close(static_cast<int>(handle_));
}

Status RangeLockFile::Open(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Status::IoError(path + ": " + std::strerror(errno));
  handle_ = fd;
  return Status::Ok();
}

bool RangeLockFile::TryLock(uint64_t offset, uint64_t length, RangeLockMode mode) {
  if (handle_ == kClosed) return false;
  return SetLock(static_cast<int>(handle_), mode == RangeLockMode::kExclusive ? F_WRLCK : F_RDLCK,
                 offset, length);
}

void RangeLockFile::Unlock(uint64_t offset, uint64_t length) {
  if (handle_ != kClosed) (void)SetLock(static_cast<int>(handle_), F_UNLCK, offset, length);
}

bool RangeLockFile::HeldElsewhere(uint64_t offset, uint64_t length, RangeLockMode mode) const {
  if (handle_ == kClosed) return false;
  struct flock fl{};
  fl.l_type = mode == RangeLockMode::kExclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  if (fcntl(static_cast<int>(handle_), F_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

}  // namespace tavelnor::platform
