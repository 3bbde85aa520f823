#include <windows.h>

#include "host/core/local_time.h"

namespace pellarin {

unsigned secondsSinceLocalMidnight() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  return static_cast<unsigned>(local.wHour * 3600 + local.wMinute * 60 + local.wSecond);
}

}  // namespace pellarin
