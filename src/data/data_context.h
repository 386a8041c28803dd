// DataContext: the process-wide object under which all Btrieve work of all
// tables runs: the one critical section, the flag that says a transaction is
// active, and the cache of open files shared by the tables.
//
// The cache maps a file path to one open BtrvFile and a use count; a file
// whose count falls to 0 is closed and leaves the cache at once.
//
// It is a process singleton ("DataContext"), shared by every copy of the
// library in the process. The critical section is recursive; between Begin
// and End/Abort of a transaction it is held by the thread that began.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "foundation/platform/sync.h"

namespace tavelnor::dico {
class DRubricTable;
}

namespace tavelnor::data {

class BtrvFile;

// Open mode word of the cache: the low byte is the Btrieve open mode (a
// signed byte: 0 normal, -1 accelerated, -2 read-only, ...); the bits above
// it are the caller's flags (0x1000 flag A, 0x2000 flag B, 0x4000 default
// settings, 0x8000 extended form). Read-only (-2 = 0xFE) never creates.
inline constexpr uint16_t kModeFlagA = 0x1000, kModeFlagB = 0x2000, kModeDefault = 0x4000,
                          kModeExtended = 0x8000;

class DataContext {
 public:
  // The process's context, created on first use. Throws
  // ProcessSingletonError when the singleton registry cannot be reached.
  static DataContext& Process();

  void Enter() { section_.lock(); }
  void Leave() { section_.unlock(); }
  platform::CriticalSection& section() { return section_; }

  bool transaction_active() const { return transaction_active_.load(); }
  void set_transaction_active(bool active) { transaction_active_.store(active); }

  // The shared file of `path`, opened (and created from `table`, when given
  // and the mode allows) when it is not cached yet; its use count goes up.
  // Null, with the Btrieve status in `*status`, when it cannot be opened.
  BtrvFile* AcquireFile(const std::string& path, uint16_t mode_word,
                        const dico::DRubricTable* table, int16_t* status);
  // Gives a file back: at use count 0 it is closed and forgotten. A file the
  // cache does not know is left alone (false).
  bool ReleaseFile(BtrvFile* file);
  size_t CachedFileCount();
  uint16_t UseCount(const BtrvFile* file);

 private:
  struct CachedFile {
    std::unique_ptr<BtrvFile> file;
    uint16_t uses = 0;
  };
  std::map<std::string, CachedFile> files_;
  platform::CriticalSection section_;
  std::atomic<bool> transaction_active_{false};
};

}  // namespace tavelnor::data
