#pragma once
// A thread's message queue for a window system that has none of its own (X11), read the way the
// renderer's loop reads a Windows queue: the quit message once it is posted, then the window
// system's events in their order, then a paint message while the window is invalid.

#include <functional>

#include "renderer/shell/window_messages.h"

namespace pellarin {

class EmulatedMessageQueue {
 public:
  // The window system's next event, translated; false when none is pending. Must not wait.
  using EventSource = std::function<bool(WindowMessage&)>;

  // The message at the head of the queue into `message`; false, with `message` untouched, when
  // there is none. Without `remove` the message stays at the head: the next peek gives it again,
  // whatever arrived since. The quit message is taken once; a paint message is not taken at all
  // but given for as long as the window stays invalid.
  bool peek(WindowMessage& message, bool remove, const EventSource& nextEvent);
  void postQuit(int exitCode);
  void invalidate();
  void validate();

 private:
  bool quitPosted_ = false;
  int quitCode_ = 0;
  bool invalid_ = false;
  bool holding_ = false;  // held_ was peeked and not yet removed
  WindowMessage held_;
};

}  // namespace pellarin
