// The range mappings of DemoRandom.
#include "demo/generator/demo_random.h"

namespace tavelnor::demo {

uint32_t DemoRandom::Below(uint32_t n) {
  if (n <= 1) return 0;
  // The largest multiple of n that fits 2^32: values at or above it would
  // make the low remainders more likely.
  const uint64_t span = uint64_t{1} << 32;
  const uint64_t limit = span - span % n;
  for (;;) {
    const uint64_t v = Raw();
    if (v < limit) return static_cast<uint32_t>(v % n);
  }
}

int64_t DemoRandom::Between(int64_t low, int64_t high) {
  if (high <= low) return low;
  const uint64_t width = static_cast<uint64_t>(high - low) + 1;
  if (width <= UINT32_MAX) return low + static_cast<int64_t>(Below(static_cast<uint32_t>(width)));
  const uint64_t wide = (static_cast<uint64_t>(Raw()) << 32) | Raw();
  return low + static_cast<int64_t>(wide % width);
}

uint32_t DemoRandom::Skewed(uint32_t n) {
  if (n <= 1) return 0;
  // The smaller of two draws: index i comes with weight (2(n - i) - 1).
  const uint32_t a = Below(n), b = Below(n);
  return a < b ? a : b;
}

}  // namespace tavelnor::demo
