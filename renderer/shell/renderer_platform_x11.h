#pragma once
// The renderer platform on an X server: Xlib for the window and its input, GLX for OpenGL.

#include <memory>

#include "renderer/shell/renderer_platform.h"

namespace pellarin {

// Connects to $DISPLAY; without a connection registerWindowClass fails.
std::unique_ptr<RendererPlatform> makeX11RendererPlatform();

}  // namespace pellarin
