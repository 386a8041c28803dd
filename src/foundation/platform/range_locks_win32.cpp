// Byte-range locks on Windows: LockFileEx on one handle per lock file. Windows
// locks belong to the handle, and a range cannot change mode in place, so a
// mode change unlocks first. No call tells who holds a range: HolderOf
// answers 0, so waits between processes are not followed there (see
// lock_table.h).
#include "foundation/platform/win32_headers.h"

#include <cstdio>

#include "foundation/platform/process.h"
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

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HANDLE OpenLockFile(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Result<std::string> FileIdentity(const std::string& path) {
  // Only the file's attributes are read.
  HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Status::IoError(path + ": cannot open");
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return Status::IoError(path + ": no file information");
  char text[40];
  std::snprintf(text, sizeof text, "%lx-%lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return std::string(text);
}

std::string LockFolder() {
  if (auto named = GetEnv(kLockFolderVar); named && !named->empty()) {
    (void)CreateDirectoryA(named->c_str(), nullptr);
    return IsFolder(*named) ? *named : std::string();
  }
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return {};
  const std::string folder = std::string(temp, n) + "tavelnor-locks";
  (void)CreateDirectoryA(folder.c_str(), nullptr);
  return IsFolder(folder) ? folder : std::string();
}

RangeLockFile::~RangeLockFile() {
  if (handle_ != kClosed) CloseHandle(AsHandle(handle_));
}

Status RangeLockFile::Open(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  HANDLE h = OpenLockFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return Status::IoError(path + ": cannot open");
  handle_ = reinterpret_cast<intptr_t>(h);
  return Status::Ok();
}

Status RangeLockFile::OpenToRead(const std::string& path) {
  if (handle_ != kClosed) return Status::InvalidArgument(path + ": already open");
  HANDLE h = OpenLockFile(path, GENERIC_READ, OPEN_EXISTING);
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

uint32_t RangeLockFile::HolderOf(uint64_t, uint64_t, RangeLockMode) const { return 0; }

bool RangeLockFile::Write(const std::string& text) {
  if (handle_ == kClosed) return false;
  HANDLE h = AsHandle(handle_);
  OVERLAPPED ov = At(0);
  DWORD written = 0;
  if (!WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, &ov) ||
      written != text.size()) {
    return false;
  }
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(text.size());
  return SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

bool RangeLockFile::Read(size_t max, std::string* out) const {
  out->clear();
  if (handle_ == kClosed) return false;
  out->resize(max);
  OVERLAPPED ov = At(0);
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), out->data(), static_cast<DWORD>(max), &got, &ov) &&
      GetLastError() != ERROR_HANDLE_EOF) {
    out->clear();
    return false;
  }
  out->resize(got);
  return true;
}

}  // namespace tavelnor::platform
