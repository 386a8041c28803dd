// Which process waits for which, published between the processes of one
// machine so that a cycle of lock waits across processes is found (78)
// instead of lasting forever (design notes in lock_table.h).
//
// Each process that waits writes its waits into "w-<process id>" in the
// lock folder (range_locks.h) and holds a lock on byte kWaitingByte of it
// while they stand; a file whose byte no process holds is a leftover of a
// wait that ended (or of a process that is gone, whose locks the system
// dropped) and is ignored. Contents, text:
//   tavelnor-waits 1
//   <process id> <lock file name> <byte> <held>...
//                      one line per wait: the process holding that byte is
//                      waited for, by clients holding the bytes listed as
//                      <lock file name>/<byte>, or by any ("*": too many)
//   end <FNV-1a 32 of the lines above, hex>  a torn read fails this check
// So a process reached through one of its bytes is followed only along the
// waits of the clients that hold that byte. The files stay in the lock
// folder (empty of meaning once unlocked).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/platform/range_locks.h"

namespace tavelnor::btrieve {

// A byte of a lock file (a data file's identity).
struct LockByte {
  std::string lock_name;
  uint64_t offset = 0;
  bool operator==(const LockByte&) const = default;
};

struct ProcessWait {
  uint32_t pid = 0;  // the process waited for ...
  LockByte wanted;   // ... which holds this byte
  // The bytes held by the waiting clients (the one that waits and those
  // waiting for it in its process), or any when `any_held`.
  std::vector<LockByte> held;
  bool any_held = false;
  bool operator==(const ProcessWait&) const = default;
  bool Holds(const LockByte& b) const {
    return any_held || std::find(held.begin(), held.end(), b) != held.end();
  }
};

class ProcessWaits {
 public:
  static constexpr size_t kMaxWaits = 16;  // published per process, at most
  static constexpr size_t kMaxHeld = 32;   // bytes listed per wait; more: any

  // Publishes `waits` (the first kMaxWaits) as this process's waits; none
  // ends the publication. Not thread-safe: the caller serialises.
  void Publish(const std::vector<ProcessWait>& waits);
  // The waits process `pid` publishes now; empty when it waits for nothing,
  // has ended, or its file cannot be read.
  static std::vector<ProcessWait> Of(uint32_t pid);

  // The text of a publication, and back; Parse is false on any fault.
  static std::string Format(const std::vector<ProcessWait>& waits);
  static bool Parse(const std::string& text, std::vector<ProcessWait>* out);

 private:
  static constexpr uint64_t kWaitingByte = uint64_t{1} << 40;

  std::string folder_;  // where `own_` is, "" before the first wait
  std::unique_ptr<platform::RangeLockFile> own_;  // open once this process waited
  std::vector<ProcessWait> published_;
};

}  // namespace tavelnor::btrieve
