#include "host/core/win32_adapters.h"

namespace pellarin {

void ProgramEndWin32::endProgram() {
  ended_ = true;
  // Wakes a loop that waits for a message; the flag keeps any message already queued from
  // being dispatched.
  ::PostQuitMessage(0);
}

void runMessageLoop(const ProgramEndWin32& end) {
  MSG message{};
  while (!end.ended() && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace pellarin
