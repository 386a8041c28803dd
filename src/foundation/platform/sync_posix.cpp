// In-process locks on POSIX: a recursive pthread mutex held in the opaque
// storage of CriticalSection.
#include <pthread.h>

#include <cstdlib>
#include <new>

#include "foundation/platform/sync.h"

namespace tavelnor::platform {

static_assert(sizeof(pthread_mutex_t) <= CriticalSection::kStorageSize);
static_assert(alignof(pthread_mutex_t) <= 16);

namespace {
pthread_mutex_t* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}
}  // namespace

CriticalSection::CriticalSection() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  auto* m = new (storage_) pthread_mutex_t;
  if (pthread_mutex_init(m, &attr) != 0) std::abort();  // only fails when out of resources
  pthread_mutexattr_destroy(&attr);
}

CriticalSection::~CriticalSection() { pthread_mutex_destroy(Native(storage_)); }

void CriticalSection::lock() { pthread_mutex_lock(Native(storage_)); }

bool CriticalSection::try_lock() { return pthread_mutex_trylock(Native(storage_)) == 0; }

void CriticalSection::unlock() { pthread_mutex_unlock(Native(storage_)); }

}  // namespace tavelnor::platform
