// Platform seam: in-process locks.
//
// CriticalSection is recursive (the owning thread may lock it again), like the
// Win32 object it stands for. It meets the Lockable requirements, so
// std::lock_guard and std::unique_lock work with it. Its state lives inline in
// an opaque buffer so that an object holding one keeps the same layout in every
// copy of the library built from the same sources.
#pragma once

#include <cstddef>

namespace tavelnor::platform {

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock();
  bool try_lock();
  void unlock();

  static constexpr size_t kStorageSize = 64;

 private:
  alignas(16) unsigned char storage_[kStorageSize];
};

}  // namespace tavelnor::platform
