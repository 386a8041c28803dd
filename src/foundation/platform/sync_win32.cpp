// In-process locks on Windows: a critical section held in the opaque storage
// of CriticalSection.
#include "foundation/platform/win32_headers.h"

#include <new>

#include "foundation/platform/sync.h"

namespace tavelnor::platform {

static_assert(sizeof(CRITICAL_SECTION) <= CriticalSection::kStorageSize);
static_assert(alignof(CRITICAL_SECTION) <= 16);

namespace {
CRITICAL_SECTION* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
}  // namespace

CriticalSection::CriticalSection() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(storage_)); }

void CriticalSection::lock() { EnterCriticalSection(Native(storage_)); }

bool CriticalSection::try_lock() { return TryEnterCriticalSection(Native(storage_)) != FALSE; }

void CriticalSection::unlock() { LeaveCriticalSection(Native(storage_)); }

}  // namespace tavelnor::platform
