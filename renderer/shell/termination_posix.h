#pragma once
// SIGTERM and SIGINT as a request to end, read by the main loop, so that the renderer ends
// through its normal shutdown (context released, exit code 0) instead of dying mid-frame.

namespace pellarin {

// Installs the handlers once per process. Returns a descriptor that becomes readable when a
// request arrives, for waits to watch; -1 when none could be made (requests are still seen by
// terminationRequested, only a wait will not end early for them).
int installTerminationHandlers();

// True once SIGTERM or SIGINT has arrived. A second one while shutting down ends the process
// at once, the way the signal would have without a handler.
bool terminationRequested();

// Empties the descriptor after a wait saw it readable.
void drainTerminationWakeups();

}  // namespace pellarin
