// Process-wide named singletons.
//
// Some objects must exist once per process although every copy of the library
// (and every module of the same build) carries its own code: the string block
// pool, the special path tables and their lock. EProcessSingleton is a registry
// of such objects keyed by name. It lives in a small named block that every
// copy finds by a name built from the build number and the process id:
//
//   mutex   "OXA_EProcessSingleton_Mutex_992_<pid in hex>"
//   block   "OXA_EProcessSingleton_Mapping_992_<pid in hex>"
//
// The block holds three words: attach count (live handles), entry count (slots
// in the entry array) and the address of the entry array; on 32-bit Windows
// it is exactly 12 bytes. An entry holds a heap copy of the name, a reference
// count and the object's address. The array grows one slot at a time; a slot
// freed by a release is reused by the next new name before any growth; when
// the last handle goes, the array is freed. How the named objects are found
// on each system is described in platform/named_objects.h (on POSIX: an
// address published in an in-process environment variable, nothing left
// behind when the process ends). Registry memory comes from the process heap
// so that any copy may free what another allocated.
//
// Thread-safety: every access to the block and to entries goes through the
// registry mutex, which is recursive and serialises copies and threads alike.
// The registered objects carry their own locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace tavelnor {

namespace platform {
struct NamedMutex;
struct NamedSection;
}  // namespace platform

inline constexpr int kSingletonBuildNumber = 992;

// Base of every registered object: the last holder destroys it through this
// virtual destructor.
class EProcessObject {
 public:
  virtual ~EProcessObject() = default;
};

// Raised by ProcessSingleton<T>::Get when the registry cannot be reached.
class ProcessSingletonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One copy's view of the registry of one process: the two names and the
// registry mutex, opened once and kept for the object's lifetime.
class ProcessSingletonModule {
 public:
  // The view of this copy of the library for the current process; never
  // destroyed.
  static ProcessSingletonModule& Current();

  // A view built from `process_id`. Tests use it to stand for another copy of
  // the library (same id) or for a separate registry (another id). Must
  // outlive every handle acquired through it.
  explicit ProcessSingletonModule(uint32_t process_id);
  ~ProcessSingletonModule();
  ProcessSingletonModule(const ProcessSingletonModule&) = delete;
  ProcessSingletonModule& operator=(const ProcessSingletonModule&) = delete;

  static std::string MutexName(uint32_t process_id);
  static std::string MappingName(uint32_t process_id);

  // Not ok when the registry mutex could not be created.
  const Status& status() const { return status_; }
  const std::string& mutex_name() const { return mutex_name_; }
  const std::string& mapping_name() const { return mapping_name_; }

  // The registry mutex (recursive). Requires status().ok().
  void Lock();
  void Unlock();

  // A copy of the registry's state, for tests and diagnostics.
  struct Slot {
    bool used = false;
    std::string name;
    int32_t ref_count = 0;
    bool has_object = false;
  };
  struct Snapshot {
    uint32_t attach_count = 0;
    std::vector<Slot> slots;  // entry count = slots.size()
  };
  Result<Snapshot> TakeSnapshot();

 private:
  std::string mutex_name_;
  std::string mapping_name_;
  platform::NamedMutex* mutex_ = nullptr;
  Status status_;
};

struct ProcessSingletonEntry;  // registry entry, opaque

// A handle on one named entry: constructing it is Acquire, destroying it is
// Release (the last holder destroys the object).
class EProcessSingleton {
 public:
  explicit EProcessSingleton(std::string_view name,
                             ProcessSingletonModule& module = ProcessSingletonModule::Current());
  ~EProcessSingleton();
  EProcessSingleton(const EProcessSingleton&) = delete;
  EProcessSingleton& operator=(const EProcessSingleton&) = delete;

  // Not ok when the registry could not be reached or the name is invalid
  // (empty or holding a zero byte); such a handle has no object.
  bool ok() const { return entry_ != nullptr; }
  const Status& status() const { return status_; }

  // The entry's object, read under the registry mutex; null until created.
  EProcessObject* Object();
  // Under the registry mutex: returns the object, first storing create()'s
  // result when there is none. `create` runs under the mutex and may throw
  // (nothing is stored then). Null when !ok().
  EProcessObject* GetOrCreate(const std::function<EProcessObject*()>& create);

  void Lock() { module_->Lock(); }
  void Unlock() { module_->Unlock(); }

 private:
  ProcessSingletonModule* module_;
  platform::NamedSection* section_ = nullptr;
  ProcessSingletonEntry* entry_ = nullptr;
  Status status_;
};

// A typed singleton: the object of the entry is a T, default-constructed by
// the first Get in the process. A name must always be used with the same T.
template <class T>
class ProcessSingleton {
 public:
  explicit ProcessSingleton(std::string_view name,
                            ProcessSingletonModule& module = ProcessSingletonModule::Current())
      : handle_(name, module) {}

  // Throws ProcessSingletonError when the registry cannot be reached.
  T& Get() {
    if (T* cached = cached_.load(std::memory_order_acquire)) return *cached;
    if (!handle_.ok()) throw ProcessSingletonError(handle_.status().ToString());
    EProcessObject* object = handle_.GetOrCreate([] { return new Holder(); });
    T* value = &static_cast<Holder*>(object)->value;
    cached_.store(value, std::memory_order_release);
    return *value;
  }

  EProcessSingleton& handle() { return handle_; }

 private:
  struct Holder final : EProcessObject {
    T value{};
  };
  EProcessSingleton handle_;
  std::atomic<T*> cached_{nullptr};
};

}  // namespace tavelnor
