// DataContext: the process-wide object under which all Btrieve work of all
// tables runs. In this form it holds the one critical section and the flag
// that says a transaction is active; the data table layer adds the cache of
// open files.
//
// It is a process singleton ("DataContext"), shared by every copy of the
// library in the process. The critical section is recursive; between Begin
// and End/Abort of a transaction it is held by the thread that began.
#pragma once

#include <atomic>

#include "foundation/platform/sync.h"

namespace tavelnor::data {

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

 private:
  platform::CriticalSection section_;
  std::atomic<bool> transaction_active_{false};
};

}  // namespace tavelnor::data
