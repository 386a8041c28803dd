// AllocationProbe: records the largest single allocation made through
// operator new while it is alive, so that tests can check that damaged input
// never makes the library allocate more than the input justifies.
#pragma once

#include <cstddef>

namespace tavelnor::testing {

class AllocationProbe {
 public:
  AllocationProbe();
  ~AllocationProbe();
  AllocationProbe(const AllocationProbe&) = delete;
  AllocationProbe& operator=(const AllocationProbe&) = delete;
  size_t Largest() const;
};

}  // namespace tavelnor::testing
