// Mapped files on POSIX, and the SIGBUS handler that survives their
// shortening (see mapped_file.h).
//
// The handler's table is fixed-size and lock-free, so that the handler reads
// it safely whenever the signal comes: a mapping publishes its range in a
// free entry before it is read and clears the entry before it is unmapped.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "foundation/platform/mapped_file.h"

namespace tavelnor::platform {

namespace {

constexpr int kSlots = 64;

struct Slot {
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> cut{false};
};

Slot g_slots[kSlots];
std::atomic<bool> g_taken[kSlots];
struct sigaction g_previous;

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  for (Slot& slot : g_slots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at >= end) continue;
    // Everything from the faulting page on lies past the file's new end.
    const uintptr_t from = at & ~(page - 1);
    void* zeros = mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      slot.cut.store(true, std::memory_order_release);
      return;
    }
    break;
  }
  // Not a mapping of ours: whoever handled it before us, else the default.
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
    return;
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

bool InstallHandler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &g_previous) == 0;
  }();
  return installed;
}

int TakeSlot() {
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_taken[i].compare_exchange_strong(expected, true)) return i;
  }
  return -1;
}

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& st) {
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
                      Nanoseconds(st.st_ctim)};
}

Status Failure(const std::string& path, int err) {
  if (err == ENOENT || err == ENOTDIR) return Status::NotFound(path + ": " + std::strerror(err));
  return Status::IoError(path + ": " + std::strerror(err));
}

}  // namespace

Result<FileIdentity> IdentifyFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Failure(path, errno);
  return IdentityOf(st);
}

Result<std::unique_ptr<MappedFile>> MappedFile::Open(const std::string& path, size_t max_bytes) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Failure(path, errno);
  if (!S_ISREG(st.st_mode)) return Status::InvalidArgument(path + ": not a regular file");
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Failure(path, errno);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Status::InvalidArgument(path + ": not a regular file");
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    close(fd);
    return Status::InvalidArgument(path + ": larger than " + std::to_string(max_bytes) + " bytes");
  }
  std::unique_ptr<MappedFile> file(new MappedFile());
  file->identity_ = IdentityOf(st);
  file->size_ = static_cast<size_t>(st.st_size);
  if (file->size_ == 0) {
    close(fd);
    return file;
  }
  const int slot = InstallHandler() ? TakeSlot() : -1;
  void* p = slot < 0 ? MAP_FAILED : mmap(nullptr, file->size_, PROT_READ, MAP_SHARED, fd, 0);
  if (p != MAP_FAILED) {
    const auto begin = reinterpret_cast<uintptr_t>(p);
    g_slots[slot].cut.store(false, std::memory_order_relaxed);
    g_slots[slot].end.store(begin + file->size_, std::memory_order_release);
    g_slots[slot].begin.store(begin, std::memory_order_release);
    file->slot_ = slot;
    file->base_ = static_cast<const uint8_t*>(p);
    close(fd);
    return file;
  }
  if (slot >= 0) g_taken[slot].store(false);
  // Read into memory instead.
  file->copy_.reset(new (std::nothrow) uint8_t[file->size_]);
  if (!file->copy_) {
    close(fd);
    return Status::IoError(path + ": not enough memory to read it");
  }
  size_t done = 0;
  while (done < file->size_) {
    const ssize_t n = pread(fd, file->copy_.get() + done, file->size_ - done,
                            static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      close(fd);
      return Failure(path, err);
    }
    done += static_cast<size_t>(n);
  }
  close(fd);
  file->base_ = file->copy_.get();
  return file;
}

MappedFile::~MappedFile() {
  if (slot_ < 0) return;
  Slot& slot = g_slots[slot_];
  slot.begin.store(0, std::memory_order_release);
  slot.end.store(0, std::memory_order_release);
  munmap(const_cast<uint8_t*>(base_), size_);
  g_taken[slot_].store(false);
}

bool MappedFile::cut() const {
  return slot_ >= 0 && g_slots[slot_].cut.load(std::memory_order_acquire);
}

}  // namespace tavelnor::platform
