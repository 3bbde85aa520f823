#include <time.h>

#include "host/core/local_time.h"

namespace pellarin {

unsigned secondsSinceLocalMidnight() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<unsigned>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

}  // namespace pellarin
