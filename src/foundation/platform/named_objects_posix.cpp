// Named process-wide objects on POSIX: heap objects whose address is published
// in an in-process environment variable (design notes in named_objects.h).
#include <pthread.h>
#if defined(__linux__)
#include <sys/auxv.h>
#endif
#if defined(__SANITIZE_THREAD__)
#define TAVELNOR_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVELNOR_TSAN 1
#endif
#endif
#if defined(TAVELNOR_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "foundation/platform/named_objects.h"

namespace tavelnor::platform {

namespace {

constexpr uint64_t kMagic = 0x4A424F5F4C564154ull;  // "TAVL_OBJ"

enum class Kind : uint32_t { kMutex = 1, kSection = 2 };

// Header in front of every published object; the payload follows it.
struct alignas(16) Published {
  uint64_t magic;
  Kind kind;
  uint32_t payload_size;
};

// This copy's memory of the names it has resolved: an append-only list read
// without lock (the first check of the double-checked protocol). Nodes are
// never freed, and the objects this copy created stay reachable through them.
struct Resolved {
  Resolved* next;
  Published* object;
  uint32_t generation;
  std::string name;
};
std::atomic<Resolved*> g_resolved{nullptr};
std::atomic<uint32_t> g_generation{0};

Published* FindResolved(const std::string& name, Kind kind) {
  const uint32_t generation = g_generation.load(std::memory_order_acquire);
  for (Resolved* r = g_resolved.load(std::memory_order_acquire); r != nullptr; r = r->next) {
    if (r->generation == generation && r->object->kind == kind && r->name == name) return r->object;
  }
  return nullptr;
}

// REQUIRES: the bootstrap lock (writers are serialised by it).
void Remember(const std::string& name, Published* object) {
  auto* node = new (std::nothrow) Resolved{g_resolved.load(std::memory_order_relaxed), object,
                                           g_generation.load(std::memory_order_relaxed), name};
  if (node != nullptr) g_resolved.store(node, std::memory_order_release);
}

unsigned char* Payload(Published* p) { return reinterpret_cast<unsigned char*>(p + 1); }

// A number unique to the running program image, shared by every copy of the
// library in it and not inherited through exec.
uint64_t ImageTag() {
  uint64_t tag = 0;
#if defined(__linux__)
  if (const void* random = reinterpret_cast<const void*>(getauxval(AT_RANDOM))) {
    std::memcpy(&tag, random, sizeof(tag));
  }
#endif
  return tag;
}

enum class Found { kAbsent, kYes, kConflict };

// Reads the variable `name`. A variable left by another program image (wrong
// tag) or not ours at all counts as absent; one of ours that holds an object
// of another kind or size is a conflict.
Found Lookup(const std::string& name, Kind kind, size_t payload_size, Published** out) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return Found::kAbsent;
  char* end = nullptr;
  uintmax_t address = std::strtoumax(value, &end, 16);
  if (end == value || *end != ':') return Found::kAbsent;
  const char* tag_text = end + 1;
  uintmax_t tag = std::strtoumax(tag_text, &end, 16);
  if (end == tag_text || *end != '\0' || tag != ImageTag() || address == 0) return Found::kAbsent;
  auto* p = reinterpret_cast<Published*>(static_cast<uintptr_t>(address));
  if (p->magic != kMagic || p->kind != kind || p->payload_size < payload_size) {
    return Found::kConflict;
  }
  *out = p;
  return Found::kYes;
}

// The stream lock is invisible to ThreadSanitizer; tell it what the lock does.
#if defined(TAVELNOR_TSAN)
void AnnotateAcquired(void* lock) { __tsan_acquire(lock); }
void AnnotateReleasing(void* lock) { __tsan_release(lock); }
#else
void AnnotateAcquired(void*) {}
void AnnotateReleasing(void*) {}
#endif

// Serialises the slow path of every copy: the C library's stderr stream is
// one object for the whole process whatever the copies link against.
class BootstrapLock {
 public:
  BootstrapLock() {
    flockfile(stderr);
    AnnotateAcquired(stderr);
  }
  ~BootstrapLock() {
    AnnotateReleasing(stderr);
    funlockfile(stderr);
  }
  BootstrapLock(const BootstrapLock&) = delete;
  BootstrapLock& operator=(const BootstrapLock&) = delete;
};

// Finds the object `name` or creates and publishes it; `init` prepares a new
// zero-filled payload and returns false when it cannot.
Published* FindOrPublish(const std::string& name, Kind kind, size_t payload_size,
                         bool (*init)(unsigned char*)) {
  if (name.empty() || name.find('=') != std::string::npos) return nullptr;
  if (Published* known = FindResolved(name, kind)) return known;
  BootstrapLock lock;
  Published* found = nullptr;
  switch (Lookup(name, kind, payload_size, &found)) {
    case Found::kYes:
      Remember(name, found);
      return found;
    case Found::kConflict:
      return nullptr;
    case Found::kAbsent:
      break;
  }
  void* raw = std::calloc(1, sizeof(Published) + payload_size);
  if (raw == nullptr) return nullptr;
  auto* p = new (raw) Published{kMagic, kind, static_cast<uint32_t>(payload_size)};
  if (init != nullptr && !init(Payload(p))) {
    std::free(raw);
    return nullptr;
  }
  char value[64];
  std::snprintf(value, sizeof(value), "%" PRIxPTR ":%" PRIx64, reinterpret_cast<uintptr_t>(p),
                ImageTag());
  // Without the variable the object still serves this copy; keep it either way.
  setenv(name.c_str(), value, 1);
  Remember(name, p);
  return p;
}

bool InitRecursiveMutex(unsigned char* payload) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  int rc = pthread_mutex_init(new (payload) pthread_mutex_t, &attr);
  pthread_mutexattr_destroy(&attr);
  return rc == 0;
}

pthread_mutex_t* NativeMutex(NamedMutex* mutex) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(mutex));
}

}  // namespace

NamedMutex* OpenNamedMutex(const std::string& name) {
  Published* p = FindOrPublish(name, Kind::kMutex, sizeof(pthread_mutex_t), InitRecursiveMutex);
  return p == nullptr ? nullptr : reinterpret_cast<NamedMutex*>(Payload(p));
}

void LockNamedMutex(NamedMutex* mutex) { pthread_mutex_lock(NativeMutex(mutex)); }

void UnlockNamedMutex(NamedMutex* mutex) { pthread_mutex_unlock(NativeMutex(mutex)); }

void CloseNamedMutex(NamedMutex*) {}

NamedSection* OpenNamedSection(const std::string& name, size_t size) {
  if (size == 0 || size > UINT32_MAX) return nullptr;
  Published* p = FindOrPublish(name, Kind::kSection, size, nullptr);
  return p == nullptr ? nullptr : reinterpret_cast<NamedSection*>(Payload(p));
}

void* MapNamedSection(NamedSection* section, size_t) { return section; }

void UnmapNamedSection(void*) {}

void CloseNamedSection(NamedSection*) {}

void ForgetResolvedNames() {
  BootstrapLock lock;
  g_generation.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace tavelnor::platform
