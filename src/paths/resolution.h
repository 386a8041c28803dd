// Inside the special path resolution: the mutually recursive steps and the
// walk they share. A walk that goes deeper than kMaxDepth (a chain of rules
// that refers back to itself) is a runaway: every step then returns empty,
// without normalising (so without creating any folder), and the whole
// resolution comes out empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "paths/special_paths.h"

namespace tavelnor::paths::internal {

inline constexpr int kMaxDepth = 32;

struct Walk {
  explicit Walk(PathMode m) : mode(m) {}
  PathMode mode;
  int depth = 0;
  bool runaway = false;
};

// One level down a walk for the lifetime of the object.
class Descent {
 public:
  explicit Descent(Walk& walk) : walk_(walk) {
    if (++walk_.depth > kMaxDepth) walk_.runaway = true;
  }
  ~Descent() { --walk_.depth; }
  Descent(const Descent&) = delete;
  Descent& operator=(const Descent&) = delete;

 private:
  Walk& walk_;
};

ResolvedPath ResolveById(int32_t id, Walk& walk);
ResolvedPath ResolveByName(std::string_view name, Walk& walk);

// The built-in default of `id` (builtin_defaults.cpp); empty for identifiers
// without one.
std::string BuiltinDefault(int32_t id, Walk& walk);

}  // namespace tavelnor::paths::internal
