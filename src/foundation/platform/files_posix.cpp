// Files on POSIX.
#include <fcntl.h>
#ifdef __linux__
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/platform/files.h"

namespace tavelnor::platform {

namespace {
std::string Describe(const std::string& path, int err) { return path + ": " + std::strerror(err); }
}  // namespace

bool FileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RegularFileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Result<std::FILE*> OpenRegularFile(const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Status::NotFound(Describe(path, err));
    return Status::IoError(Describe(path, err));
  }
  if (!S_ISREG(st.st_mode)) return Status::InvalidArgument(path + ": not a regular file");
  // Without blocking, should a FIFO have taken the file's place meanwhile;
  // the descriptor is checked again once open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Status::NotFound(Describe(path, err));
    return Status::IoError(Describe(path, err));
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Status::InvalidArgument(path + ": not a regular file");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int err = errno;
    close(fd);
    return Status::IoError(Describe(path, err));
  }
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    const int err = errno;
    close(fd);
    return Status::IoError(Describe(path, err));
  }
  return file;
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t max_bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Status::NotFound(Describe(path, err));
    return Status::IoError(Describe(path, err));
  }
  struct stat st{};
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    return Status::IoError(Describe(path, err));
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    return Status::InvalidArgument(path + ": is a directory");
  }
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > max_bytes) {
    close(fd);
    return Status::InvalidArgument(path + ": file too large");
  }
  // The size is a hint only: files such as those of /proc report 0.
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size) + 1);
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done > max_bytes) {
        close(fd);
        return Status::InvalidArgument(path + ": file too large");
      }
      const size_t limit = max_bytes < SIZE_MAX ? max_bytes + 1 : max_bytes;
      bytes.resize(std::min(limit, std::max<size_t>(done * 2, 4096)));
    }
    ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      close(fd);
      return Status::IoError(Describe(path, err));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > max_bytes) {
    close(fd);
    return Status::InvalidArgument(path + ": file too large");
  }
  close(fd);
  bytes.resize(done);
  return bytes;
}

namespace {

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ScratchFile::~ScratchFile() { Release(); }

void ScratchFile::Release() {
  if (remove_) unlink(path_.c_str());
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  remove_ = false;
  path_.clear();
}

Status ScratchFile::Create(const std::string& hint, const std::vector<uint8_t>& bytes) {
  Release();
  int fd = -1;
#ifdef __linux__
  fd = memfd_create(hint.c_str(), MFD_CLOEXEC);
  if (fd >= 0) path_ = "/proc/self/fd/" + std::to_string(fd);
#endif
  if (fd < 0) {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavelnor-XXXXXX";
    fd = mkstemp(name.data());
    if (fd < 0) return Status::IoError(Describe(name, errno));
    path_ = name;
    remove_ = true;
  }
  handle_ = fd;
  if (!WriteAll(fd, bytes)) {
    const int err = errno;
    Release();
    return Status::IoError("a scratch copy of " + hint + ": " + std::strerror(err));
  }
  return Status::Ok();
}

}  // namespace tavelnor::platform
