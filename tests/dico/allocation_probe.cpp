#include "dico/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> g_active{0};
std::atomic<size_t> g_largest{0};

void Note(size_t n) {
  if (g_active.load(std::memory_order_relaxed) == 0) return;
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (n > seen && !g_largest.compare_exchange_weak(seen, n)) {
  }
}

void* Allocate(size_t n) {
  Note(n);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

// Every form that pairs with the plain deletes below goes through Allocate.
void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  Note(n);
  return std::malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  Note(n);
  return std::malloc(n ? n : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace tavelnor::testing {

AllocationProbe::AllocationProbe() {
  g_largest.store(0);
  g_active.fetch_add(1);
}
AllocationProbe::~AllocationProbe() { g_active.fetch_sub(1); }
size_t AllocationProbe::Largest() const { return g_largest.load(); }

}  // namespace tavelnor::testing
