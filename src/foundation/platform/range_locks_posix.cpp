// Byte-range locks on POSIX: fcntl record locks. They are per process, which
// is what the interface promises; closing any descriptor of the file would
// drop them all, so each lock file is opened once, by its RangeLockFile.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/platform/range_locks.h"

namespace tavelnor::platform {

namespace {

constexpr char kMachineFolder[] = "/tmp/tavelnor-locks";

struct flock Range(short type, uint64_t offset, uint64_t length) {
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  return fl;
}

bool SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock fl = Range(type, offset, length);
  int rc;
  do {
    rc = fcntl(fd, F_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

// A folder this process may create files in.
bool Usable(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(path.c_str(), W_OK | X_OK) == 0;
}

// The machine-wide folder: world-writable and sticky, so that every user
// creates lock files there and none removes another's.
bool UsableMachineFolder() {
  if (mkdir(kMachineFolder, 0777) == 0) (void)chmod(kMachineFolder, 01777);
  struct stat st{};
  if (lstat(kMachineFolder, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if ((st.st_mode & 01777) != 01777) {
    // Left with fewer rights (a umask, a crash before chmod): only its owner
    // can mend it.
    if (st.st_uid != geteuid() || chmod(kMachineFolder, 01777) != 0) return false;
  }
  return access(kMachineFolder, W_OK | X_OK) == 0;
}

std::string Describe(const std::string& path, int err) { return path + ": " + std::strerror(err); }

}  // namespace

Result<std::string> FileIdentity(const std::string& path) {
  struct stat st{};
#ifdef O_PATH
  // A path descriptor: no access to the contents needed, and closing it
  // leaves the process's locks on the file alone (closing any other
  // descriptor of the file would drop them, SQLite's included).
  int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return Status::IoError(Describe(path, errno));
  const int rc = fstat(fd, &st);
  const int err = errno;
  close(fd);
#else
  // No descriptor opened, for the same reason.
  const int rc = stat(path.c_str(), &st);
  const int err = errno;
#endif
  if (rc != 0) return Status::IoError(Describe(path, err));
  char text[40];
  std::snprintf(text, sizeof text, "%" PRIx64 "-%" PRIx64, static_cast<uint64_t>(st.st_dev),
                static_cast<uint64_t>(st.st_ino));
  return std::string(text);
}

std::string LockFolder() {
  if (const char* named = std::getenv(kLockFolderVar); named != nullptr && *named != '\0') {
    (void)mkdir(named, 0777);
    return Usable(named) ? std::string(named) : std::string();
  }
  if (UsableMachineFolder()) return kMachineFolder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    const std::string folder = std::string(runtime) + "/tavelnor-locks";
    (void)mkdir(folder.c_str(), 0700);
    if (Usable(folder)) return folder;
  }
  return {};
}

RangeLockFile::~RangeLockFile() {
  if (handle_ != kClosed) close(static_cast<int>(handle_));
}

Status RangeLockFile::Open(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  // Opened without O_CREAT first: in a sticky folder, an O_CREAT open of
  // another user's file fails where the system protects such files.
  const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
  int fd = open(path.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      (void)fchmod(fd, 0666);  // whatever the umask: other users lock it too
    } else if (errno == EEXIST) {
      fd = open(path.c_str(), flags);  // another process created it meanwhile
    }
  }
  if (fd < 0) return Status::IoError(Describe(path, errno));
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Status::IoError(path + ": not a regular file");
  }
  handle_ = fd;
  return Status::Ok();
}

Status RangeLockFile::OpenToRead(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return Status::IoError(Describe(path, errno));
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
  struct flock fl = Range(mode == RangeLockMode::kExclusive ? F_WRLCK : F_RDLCK, offset, length);
  if (fcntl(static_cast<int>(handle_), F_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

uint32_t RangeLockFile::HolderOf(uint64_t offset, uint64_t length, RangeLockMode mode) const {
  if (handle_ == kClosed) return 0;
  struct flock fl = Range(mode == RangeLockMode::kExclusive ? F_WRLCK : F_RDLCK, offset, length);
  if (fcntl(static_cast<int>(handle_), F_GETLK, &fl) != 0 || fl.l_type == F_UNLCK) return 0;
  return fl.l_pid > 0 ? static_cast<uint32_t>(fl.l_pid) : 0;
}

bool RangeLockFile::Write(const std::string& text) {
  if (handle_ == kClosed) return false;
  const int fd = static_cast<int>(handle_);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

bool RangeLockFile::Read(size_t max, std::string* out) const {
  out->clear();
  if (handle_ == kClosed) return false;
  out->resize(max);
  ssize_t n;
  do {
    n = pread(static_cast<int>(handle_), out->data(), max, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    out->clear();
    return false;
  }
  out->resize(static_cast<size_t>(n));
  return true;
}

}  // namespace tavelnor::platform
