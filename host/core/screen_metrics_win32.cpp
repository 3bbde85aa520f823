#include "host/core/win32_adapters.h"

namespace pellarin {

ScreenSize ScreenMetricsWin32::primaryScreenSize() {
  return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace pellarin
