// DemoRandom: the reproducible random source of the demo generator.
//
// The raw numbers come from std::mt19937, whose output sequence is fixed for
// a given seed on every standard library. The mapping of those numbers onto
// ranges is our own (the standard distributions differ from one library to
// the next), so a seed gives the same company everywhere.
#pragma once

#include <cstdint>
#include <random>
#include <span>

namespace tavelnor::demo {

class DemoRandom {
 public:
  explicit DemoRandom(uint32_t seed) : engine_(seed) {}

  uint32_t Raw() { return static_cast<uint32_t>(engine_()); }
  // Uniform in [0, n); 0 when n is 0 or 1. Rejects the top of the 32-bit
  // range that would favour the low values.
  uint32_t Below(uint32_t n);
  // Uniform in [low, high] (high >= low).
  int64_t Between(int64_t low, int64_t high);
  // True with `percent` chances in 100.
  bool Percent(uint32_t percent) { return Below(100) < percent; }
  // Index in [0, n) skewed towards the low end: a few customers buy most.
  uint32_t Skewed(uint32_t n);

  template <typename T>
  const T& Pick(std::span<const T> items) {
    return items[Below(static_cast<uint32_t>(items.size()))];
  }

 private:
  std::mt19937 engine_;
};

}  // namespace tavelnor::demo
