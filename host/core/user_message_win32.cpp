#include <cstdio>

#include "common/debug_log.h"
#include "common/win32_text.h"
#include "host/core/host_texts.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

void UserMessageWin32::showMessage(std::string_view text) {
  // No owner: the start-up has no window yet. On top, as the start of a screen saver must be
  // seen.
  ::MessageBoxW(nullptr, wideText(text).c_str(), wideText(kProgramTitle).c_str(),
                MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}

void UserMessageWin32::printMessage(std::string_view text) {
  std::fprintf(stderr, "%s: %.*s\n", kProgramTitle, static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  debugLog("%s: %.*s\n", kProgramTitle, static_cast<int>(text.size()), text.data());
}

}  // namespace pellarin
