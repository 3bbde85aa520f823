#include "renderer/shell/message_queue.h"

namespace pellarin {

bool EmulatedMessageQueue::peek(WindowMessage& message, bool remove, const EventSource& nextEvent) {
  if (!holding_) {
    WindowMessage next;
    if (quitPosted_) {
      next.message = kWmQuit;
      next.wParam = static_cast<std::uintptr_t>(quitCode_);
    } else if (!nextEvent(next)) {
      if (!invalid_) return false;
      next = WindowMessage{kWmPaint, 0, 0};
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
