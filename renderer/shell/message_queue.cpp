#include "renderer/shell/message_queue.h"

namespace pellarin {

bool EmulatedMessageQueue::peek(WindowMessage& message, bool remove, const EventSource& nextEvent) {
  if (!holding_) {
    WindowMessage next;
    // Reading the events may itself post the quit (a window destroyed by another program is
    // handled as it is read), so the quit is looked for again after them.
    if (quitPosted_ || !nextEvent(next)) {
      if (quitPosted_) {
        next = WindowMessage{kWmQuit, static_cast<std::uintptr_t>(quitCode_), 0};
      } else if (invalid_) {
        next = WindowMessage{kWmPaint, 0, 0};
      } else {
        return false;
      }
    }
    held_ = next;
    holding_ = true;
  }
  message = held_;
  if (remove) {
    holding_ = false;
    if (message.message == kWmQuit) quitPosted_ = false;
  }
  return true;
}

void EmulatedMessageQueue::postQuit(int exitCode) {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

void EmulatedMessageQueue::invalidate() {
  invalid_ = true;
}

void EmulatedMessageQueue::validate() {
  invalid_ = false;
}

}  // namespace pellarin
