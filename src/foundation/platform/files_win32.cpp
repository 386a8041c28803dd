// Files on Windows, through the ANSI entry points.
#include "foundation/platform/win32_headers.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "foundation/platform/files.h"

namespace tavelnor::platform {

namespace {
std::string Describe(const std::string& path, DWORD err) {
  return path + ": system error " + std::to_string(err);
}
}  // namespace

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RegularFileExists(const std::string& path) {
  if (!FileExists(path)) return false;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;  // exists; opening will tell
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return disk;
}

Result<std::FILE*> OpenRegularFile(const std::string& path) {
  if (DirectoryExists(path)) return Status::InvalidArgument(path + ": not a regular file");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
      return Status::NotFound(Describe(path, err));
    }
    return Status::IoError(Describe(path, err));
  }
  // Pipes, consoles and devices ("CON", "NUL", "\\.\pipe\...") are no files.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return Status::InvalidArgument(path + ": not a regular file");
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return Status::IoError(path + ": cannot open a stream on the file");
  }
  std::FILE* stream = _fdopen(fd, "rb");
  if (!stream) {
    _close(fd);  // closes the handle too
    return Status::IoError(path + ": cannot open a stream on the file");
  }
  return stream;
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t max_bytes) {
  if (DirectoryExists(path)) return Status::InvalidArgument(path + ": is a directory");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
      return Status::NotFound(Describe(path, err));
    }
    return Status::IoError(Describe(path, err));
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    DWORD err = GetLastError();
    CloseHandle(file);
    return Status::IoError(Describe(path, err));
  }
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > max_bytes) {
    CloseHandle(file);
    return Status::InvalidArgument(path + ": file too large");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + done, chunk, &got, nullptr)) {
      DWORD err = GetLastError();
      CloseHandle(file);
      return Status::IoError(Describe(path, err));
    }
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  CloseHandle(file);
  bytes.resize(done);
  return bytes;
}

ScratchFile::~ScratchFile() { Release(); }

void ScratchFile::Release() {
  if (remove_) DeleteFileA(path_.c_str());
  remove_ = false;
  handle_ = -1;
  path_.clear();
}

// A file of the temporary folder, written and closed: the reader opens it
// with others denied writing.
Status ScratchFile::Create(const std::string& hint, const std::vector<uint8_t>& bytes) {
  Release();
  char folder[MAX_PATH + 1] = {};
  char name[MAX_PATH + 1] = {};
  if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "tav", 0, name) == 0) {
    return Status::IoError("a scratch copy of " + hint + ": system error " + std::to_string(GetLastError()));
  }
  path_ = name;
  remove_ = true;
  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const Status s = Status::IoError(Describe(path_, GetLastError()));
    Release();
    return s;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    ok = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote != 0;
    done += wrote;
  }
  const DWORD err = GetLastError();
  CloseHandle(file);
  if (!ok) {
    const Status s = Status::IoError(Describe(path_, err));
    Release();
    return s;
  }
  return Status::Ok();
}

}  // namespace tavelnor::platform
