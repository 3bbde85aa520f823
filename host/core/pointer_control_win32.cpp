#include "host/core/win32_adapters.h"

namespace pellarin {

std::int32_t PointerControlWin32::showCursor(bool show) {
  return ::ShowCursor(show ? TRUE : FALSE);
}

}  // namespace pellarin
