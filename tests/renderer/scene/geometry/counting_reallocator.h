#pragma once
// Mesh allocator for tests: counts calls and refuses the call numbered `failCall`.

#include <cstdlib>

#include "renderer/scene/triangle_mesh.h"

namespace pellarin::testing {

inline int reallocations = 0;
inline int failCall = -1;

inline void* countingReallocate(void* block, std::size_t bytes) {
  return ++reallocations == failCall ? nullptr : std::realloc(block, bytes);
}

struct CountingReallocator {
  CountingReallocator() { setMeshReallocatorForTesting(countingReallocate); }
  ~CountingReallocator() { setMeshReallocatorForTesting(nullptr); }
};

}  // namespace pellarin::testing
