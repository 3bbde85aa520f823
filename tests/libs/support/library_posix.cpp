// Functions found by name in a shared object, as the host finds ConvertBMPtoJPG.
#include <dlfcn.h>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {

void* findFunction(const std::string& path, const char* name) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return library == nullptr ? nullptr : ::dlsym(library, name);
}

}  // namespace pellarin::testing
