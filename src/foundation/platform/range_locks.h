// Platform seam: advisory locks on byte ranges of a file, seen by every
// process that locks the same file. The file only carries locks; nothing is
// written to it. Locks belong to this process: a range it holds is not seen
// as held by `HeldElsewhere`, and locking it again only changes its mode.
// The system drops every lock of a process that ends, however it ends.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

enum class RangeLockMode { kShared, kExclusive };

class RangeLockFile {
 public:
  RangeLockFile() = default;
  ~RangeLockFile();  // releases every range locked through this object
  RangeLockFile(const RangeLockFile&) = delete;
  RangeLockFile& operator=(const RangeLockFile&) = delete;

  // Opens `path` for its locks, creating it (empty) when missing.
  Status Open(const std::string& path);
  bool is_open() const { return handle_ != kClosed; }

  // Takes [offset, offset + length) without waiting. False when another
  // process holds a conflicting lock, or on any error. On a range this
  // process holds already, changes its mode (at once on POSIX; on Windows the
  // old lock is dropped first).
  bool TryLock(uint64_t offset, uint64_t length, RangeLockMode mode);
  void Unlock(uint64_t offset, uint64_t length);
  // True when another process holds a lock on part of the range that
  // conflicts with a lock of `mode`. Only ask about ranges this process does
  // not hold.
  bool HeldElsewhere(uint64_t offset, uint64_t length, RangeLockMode mode) const;

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // file descriptor or Windows handle
};

}  // namespace tavelnor::platform
