#include "common/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/debug_output.h"

namespace pellarin {

bool debugLogEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("PELLARIN_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

void debugLog(const char* format, ...) {
  if (!debug_output::wanted()) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  debug_output::write(buffer);
}

}  // namespace pellarin
