#pragma once
// A mesh allocator for tests: counts calls and can refuse chosen ones.

#include <cstddef>
#include <cstdlib>

#include "renderer/scene/triangle_mesh.h"

namespace pellarin::testing {

struct CountingReallocator {
  static inline int calls = 0;
  static inline int failFromCall = -1;  // calls with this number or later fail; -1 never
  static inline int failOnlyCall = -1;  // just this call fails; -1 never

  static void* reallocate(void* block, std::size_t bytes) {
    const int call = ++calls;
    if ((failFromCall >= 0 && call >= failFromCall) || call == failOnlyCall) return nullptr;
    return std::realloc(block, bytes);
  }
};

// Installs the counting allocator for one test and restores the standard one afterwards.
class ScopedCountingReallocator {
 public:
  ScopedCountingReallocator() {
    CountingReallocator::calls = 0;
    CountingReallocator::failFromCall = -1;
    CountingReallocator::failOnlyCall = -1;
    setMeshReallocatorForTesting(&CountingReallocator::reallocate);
  }
  ~ScopedCountingReallocator() { setMeshReallocatorForTesting(nullptr); }
  ScopedCountingReallocator(const ScopedCountingReallocator&) = delete;
  ScopedCountingReallocator& operator=(const ScopedCountingReallocator&) = delete;
};

}  // namespace pellarin::testing
