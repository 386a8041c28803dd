// Platform seam: a whole file mapped read-only into memory, for readers that
// look at much of a large file but copy little of it.
//
// Another program may shorten the file while it is mapped. On POSIX a read of
// a mapped page the file no longer has would raise SIGBUS; a process-wide
// handler (installed with the first mapping, handing every other SIGBUS to
// the handler it replaced) maps zeros over the rest of such a mapping and
// marks it cut, so the read goes on with zeros and the owner sees cut() and
// refuses what it read. Windows does not let a mapped file be shortened.
//
// Where no mapping can be made (too many mappings at once for the handler's
// table, a system that refuses), the file is read into memory instead:
// the same bytes, never cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

// What tells one state of a file from another without reading it: the file
// (device and inode, or volume and file index), its size and its times of
// last change.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` as it is now, read without opening it
// where the system allows. NotFound, or IoError.
Result<FileIdentity> IdentifyFile(const std::string& path);

class MappedFile {
 public:
  // Maps the regular file at `path`. NotFound when it does not exist;
  // InvalidArgument when it is not a regular file or larger than
  // `max_bytes`; IoError when it cannot be opened or read.
  static Result<std::unique_ptr<MappedFile>> Open(const std::string& path, size_t max_bytes);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const uint8_t> bytes() const { return {base_, size_}; }
  // The identity of the file when it was mapped.
  const FileIdentity& identity() const { return identity_; }
  // True once a read met bytes the file no longer has; they read as zeros.
  bool cut() const;

 private:
  MappedFile() = default;

  const uint8_t* base_ = nullptr;
  size_t size_ = 0;
  FileIdentity identity_;
  int slot_ = -1;            // POSIX: the handler's table entry; -1: not mapped
  void* mapping_ = nullptr;  // Windows: the mapping object
  std::unique_ptr<uint8_t[]> copy_;  // the bytes read into memory instead
};

}  // namespace tavelnor::platform
