// Platform seam: advisory locks on byte ranges of a file, seen by every
// process that locks the same file, and where those lock files live.
// Locks belong to this process: a range it holds is not seen as held by
// `HeldElsewhere`, and locking it again only changes its mode. The system
// drops every lock of a process that ends, however it ends.
//
// Lock files live in one folder of the machine, never beside the files they
// stand for, and are named after the identity of those files (FileIdentity),
// so that every path to a file leads to the same locks and nothing is ever
// written into the folders of the user's data.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

// The environment variable naming the lock folder (tests use it).
inline constexpr char kLockFolderVar[] = "TAVELNOR_LOCK_DIR";

// The identity of the existing file at `path`, the same text for every path
// to it (symbolic and hard links, "dir/../file"): device and inode number on
// POSIX, volume serial number and file index on Windows, in hexadecimal,
// fit for a file name. Taken from a handle opened on the file for no reading
// or writing (on Linux a path descriptor, whose closing leaves the process's
// byte-range locks on the file in place); nothing is changed.
Result<std::string> FileIdentity(const std::string& path);

// The folder the lock files of this machine's processes share, created when
// missing: the folder `kLockFolderVar` names when it is set; else on POSIX
// /tmp/tavelnor-locks (world-writable and sticky, so that the processes of
// every user meet there), or when that cannot be used the user's runtime
// folder ($XDG_RUNTIME_DIR/tavelnor-locks); on Windows "tavelnor-locks" in
// the temporary folder. Empty when no folder can be used: locks then hold
// within each process only.
std::string LockFolder();

enum class RangeLockMode { kShared, kExclusive };

class RangeLockFile {
 public:
  RangeLockFile() = default;
  ~RangeLockFile();  // releases every range locked through this object
  RangeLockFile(const RangeLockFile&) = delete;
  RangeLockFile& operator=(const RangeLockFile&) = delete;

  // Opens the lock file `path` for its locks, creating it (empty, readable
  // and writable by every user whatever the umask) when missing. On POSIX a
  // process must open each lock file once: closing any descriptor of a file
  // drops all of the process's locks on it.
  Status Open(const std::string& path);
  // Opens an existing file only to ask about its locks and read it (another
  // process's file, which this process never locks).
  Status OpenToRead(const std::string& path);
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
  // The id of a process holding a lock on part of the range that conflicts
  // with `mode`; 0 when there is none, or when the system cannot tell
  // (Windows has no such query).
  uint32_t HolderOf(uint64_t offset, uint64_t length, RangeLockMode mode) const;

  // The file's contents become `text`. False on any error.
  bool Write(const std::string& text);
  // Reads at most `max` bytes from the start. False on any error.
  bool Read(size_t max, std::string* out) const;

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // file descriptor or Windows handle
};

}  // namespace tavelnor::platform
