#pragma once
// The renderer platform on an X server: Xlib for the window and its input, GLX for OpenGL,
// XFixes to hide the pointer over the whole screen, XRandR for the monitor's refresh rate, and
// SIGTERM / SIGINT as the system's request to close.
//
// The popup is override-redirect at the screen's corner and grabs the keyboard, since no window
// manager may come between a screen saver and its keys; a child window selects no input at all,
// so keys and the mouse reach whoever owns its parent. X has no message queue of the Windows
// kind: the loop's queue is emulated over the X events (message_queue.h).
// Missing: the refresh rate where XRandR reports no mode timings (a virtual server) is unknown,
// and the shell then assumes 60 Hz; the popup covers the first screen of the display only.

#include <memory>

#include "renderer/shell/renderer_platform.h"

namespace pellarin {

// Connects to $DISPLAY; without a connection registerWindowClass fails.
std::unique_ptr<RendererPlatform> makeX11RendererPlatform();

}  // namespace pellarin
