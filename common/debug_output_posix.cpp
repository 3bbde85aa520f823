// The debug channel on POSIX systems: stderr, when PELLARIN_DEBUG=1.
#include <cstdio>

#include "common/debug_log.h"
#include "common/debug_output.h"

namespace pellarin::debug_output {

bool wanted() {
  return debugLogEnabled();
}

void write(const char* text) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // namespace pellarin::debug_output
