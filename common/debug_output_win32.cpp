// The debug channel on Windows: always the debugger output (OutputDebugStringA), which costs
// nothing while no debugger or viewer listens; and stderr too when PELLARIN_DEBUG=1, so that
// tests and developers running the programs under Wine read the same lines as on Linux.
#include <windows.h>

#include <cstdio>

#include "common/debug_log.h"
#include "common/debug_output.h"

namespace pellarin::debug_output {

bool wanted() {
  return true;
}

void write(const char* text) {
  ::OutputDebugStringA(text);
  if (!debugLogEnabled()) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // namespace pellarin::debug_output
