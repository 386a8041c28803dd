// Platform seam: a read-only view of the first bytes of a file, shared with
// every process that writes the file. A change any of them makes shows in
// the view at once, without a system call: meant for change counters kept
// in a file's header, polled far more often than a read could afford.
//
// Local files only: network file systems do not keep such views coherent.
// The file must not shrink below the viewed bytes while the view lives.
// Opening and closing a view leaves alone the locks the process holds on
// the file through other descriptors (SQLite's connections).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tavelnor::platform {

class SharedFileView {
 public:
  // Views the first `size` bytes of `path`; null when the file cannot be
  // opened or mapped, or is shorter than `size`.
  static std::unique_ptr<SharedFileView> Open(const std::string& path, size_t size);
  ~SharedFileView();
  SharedFileView(const SharedFileView&) = delete;
  SharedFileView& operator=(const SharedFileView&) = delete;

  // The big-endian 32-bit value at `offset` (4-aligned, offset + 4 <= size),
  // read with one aligned load so that no torn value is ever seen.
  uint32_t LoadBE32(size_t offset) const;

 private:
  SharedFileView() = default;

  const volatile uint8_t* base_ = nullptr;
  size_t size_ = 0;
  void* mapping_ = nullptr;  // the mapping object where the system has one
  uint64_t device_ = 0;      // the file, where views share its descriptor
  uint64_t inode_ = 0;
};

}  // namespace tavelnor::platform
