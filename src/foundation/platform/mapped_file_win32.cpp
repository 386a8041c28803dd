// Mapped files on Windows. A file with a mapped view cannot be shortened
// (SetEndOfFile fails while the view lives), so a mapping is never cut.
#include <algorithm>
#include <new>

#include "foundation/platform/mapped_file.h"
#include "foundation/platform/win32_headers.h"

namespace tavelnor::platform {

namespace {

int64_t Nanoseconds(const FILETIME& t) {
  const uint64_t ticks = (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
  return static_cast<int64_t>(ticks) * 100;
}

Status Failure(const std::string& path, DWORD err) {
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
    return Status::NotFound(path + ": not found");
  }
  return Status::IoError(path + ": cannot be read (error " + std::to_string(err) + ")");
}

HANDLE OpenForReading(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Identify(HANDLE file, FileIdentity* out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  out->device = info.dwVolumeSerialNumber;
  out->inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  out->size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  out->modified_ns = Nanoseconds(info.ftLastWriteTime);
  out->changed_ns = out->modified_ns;
  return true;
}

}  // namespace

Result<FileIdentity> IdentifyFile(const std::string& path) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return Failure(path, GetLastError());
  FileIdentity identity;
  const bool ok = Identify(file, &identity);
  const DWORD err = GetLastError();
  CloseHandle(file);
  if (!ok) return Failure(path, err);
  return identity;
}

Result<std::unique_ptr<MappedFile>> MappedFile::Open(const std::string& path, size_t max_bytes) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure(path, GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Status::InvalidArgument(path + ": not a regular file");
  }
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return Failure(path, GetLastError());
  std::unique_ptr<MappedFile> mapped(new MappedFile());
  if (GetFileType(file) != FILE_TYPE_DISK || !Identify(file, &mapped->identity_)) {
    CloseHandle(file);
    return Status::InvalidArgument(path + ": not a regular file");
  }
  if (mapped->identity_.size > max_bytes) {
    CloseHandle(file);
    return Status::InvalidArgument(path + ": larger than " + std::to_string(max_bytes) + " bytes");
  }
  mapped->size_ = static_cast<size_t>(mapped->identity_.size);
  if (mapped->size_ == 0) {
    CloseHandle(file);
    return mapped;
  }
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (view != nullptr) {
    CloseHandle(file);  // the mapping object keeps the file
    mapped->mapping_ = mapping;
    mapped->base_ = static_cast<const uint8_t*>(view);
    return mapped;
  }
  if (mapping != nullptr) CloseHandle(mapping);
  // Read into memory instead (a 32-bit process short of address space).
  mapped->copy_.reset(new (std::nothrow) uint8_t[mapped->size_]);
  if (!mapped->copy_) {
    CloseHandle(file);
    return Status::IoError(path + ": not enough memory to read it");
  }
  size_t done = 0;
  while (done < mapped->size_) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(mapped->size_ - done, 1u << 30));
    if (!ReadFile(file, mapped->copy_.get() + done, want, &n, nullptr) || n == 0) {
      const DWORD err = GetLastError();
      CloseHandle(file);
      return Failure(path, err == 0 ? ERROR_HANDLE_EOF : err);
    }
    done += n;
  }
  CloseHandle(file);
  mapped->base_ = mapped->copy_.get();
  return mapped;
}

MappedFile::~MappedFile() {
  if (mapping_ == nullptr) return;
  UnmapViewOfFile(base_);
  CloseHandle(static_cast<HANDLE>(mapping_));
}

bool MappedFile::cut() const { return false; }

}  // namespace tavelnor::platform
