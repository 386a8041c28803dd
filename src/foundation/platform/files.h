// Platform seam: files. Paths are byte strings in the system's 8-bit encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::platform {

// True when `path` names an existing file that is not a directory.
bool FileExists(const std::string& path);
// True when `path` names an existing directory.
bool DirectoryExists(const std::string& path);

// True when `path` names an existing regular file (not a directory, a FIFO,
// a device or a socket).
bool RegularFileExists(const std::string& path);

// Opens a regular file for binary reading, others denied writing where the
// system allows it. What is not a regular file (a directory, a FIFO, a
// device) fails at once with InvalidArgument, without waiting for a writer
// or touching the device; NotFound when it does not exist, IoError when it
// cannot be opened. The caller closes the stream.
Result<std::FILE*> OpenRegularFile(const std::string& path);

// Reads a whole file. Fails with NotFound when it does not exist, IoError when
// it cannot be opened or read, InvalidArgument when it is a directory or larger
// than `max_bytes`.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path,
                                           size_t max_bytes = size_t{1} << 30);

// A private file that holds `bytes` for as long as the object lives, for an
// interface that reads by path what the program has in memory. On Linux it
// lives in memory only (its path names the open descriptor); elsewhere it is
// a file of the user's temporary folder, removed when the object dies.
class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // `hint` ends the name where the system shows one ("x.dic").
  Status Create(const std::string& hint, const std::vector<uint8_t>& bytes);
  const std::string& path() const { return path_; }

 private:
  void Release();
  std::string path_;
  intptr_t handle_ = -1;  // the descriptor that keeps an in-memory file alive
  bool remove_ = false;   // a file on disk to remove
};

}  // namespace tavelnor::platform
