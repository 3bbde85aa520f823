// Functions found by name in a DLL, as the host finds ConvertBMPtoJPG.
#include <windows.h>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {

void* findFunction(const std::string& path, const char* name) {
  const HMODULE library = ::LoadLibraryA(path.c_str());
  return library == nullptr ? nullptr : reinterpret_cast<void*>(::GetProcAddress(library, name));
}

}  // namespace pellarin::testing
