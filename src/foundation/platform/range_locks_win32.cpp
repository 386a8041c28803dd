// Byte-range locks on Windows: LockFileEx on one handle per lock file. Windows
// locks belong to the handle, and a range cannot change mode in place, so a
// mode change unlocks first.
#include "foundation/platform/win32_headers.h"

#include "foundation/platform/range_locks.h"

namespace tavelnor::platform {

namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

bool LockRange(HANDLE h, uint64_t offset, uint64_t length, RangeLockMode mode) {
  OVERLAPPED ov = At(offset);
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
  if (mode == RangeLockMode::kExclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
  return LockFileEx(h, flags, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32),
                    &ov) != 0;
}

bool UnlockRange(HANDLE h, uint64_t offset, uint64_t length) {
  OVERLAPPED ov = At(offset);
  return UnlockFileEx(h, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &ov) !=
         0;
}

}  // namespace

RangeLockFile::~RangeLockFile() {
  if (handle_ != kClosed) CloseHandle(AsHandle(handle_));
}

Status RangeLockFile::Open(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Status::IoError(path + ": cannot open");
  handle_ = reinterpret_cast<intptr_t>(h);
  return Status::Ok();
}

bool RangeLockFile::TryLock(uint64_t offset, uint64_t length, RangeLockMode mode) {
  if (handle_ == kClosed) return false;
  HANDLE h = AsHandle(handle_);
  if (LockRange(h, offset, length, mode)) return true;
  // Held by this handle already, perhaps in the other mode: change it, and
  // keep the old mode when another process stands in the way.
  if (!UnlockRange(h, offset, length)) return false;
  if (LockRange(h, offset, length, mode)) return true;
  const RangeLockMode old =
      mode == RangeLockMode::kExclusive ? RangeLockMode::kShared : RangeLockMode::kExclusive;
  (void)LockRange(h, offset, length, old);
  return false;
}

void RangeLockFile::Unlock(uint64_t offset, uint64_t length) {
  if (handle_ != kClosed) (void)UnlockRange(AsHandle(handle_), offset, length);
}

bool RangeLockFile::HeldElsewhere(uint64_t offset, uint64_t length, RangeLockMode mode) const {
  if (handle_ == kClosed) return false;
  if (!LockRange(AsHandle(handle_), offset, length, mode)) return true;
  (void)UnlockRange(AsHandle(handle_), offset, length);
  return false;
}

}  // namespace tavelnor::platform
