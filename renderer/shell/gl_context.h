#pragma once
// The OpenGL side of the renderer window: pixel format, context, viewport, and the one
// diagnostic line the renderer ever writes.

#include "renderer/shell/renderer_platform.h"

namespace pellarin {

// On window creation: device context, pixel format, context made current.
void createOpenGLContext(RendererPlatform& platform);
// On window destruction: the context is released and deleted.
void releaseOpenGLContext(RendererPlatform& platform);

// Picks and sets the pixel format for the device context; the result of setting it.
// The descriptor is filled on the first call only, so later calls keep the first colour depth.
bool choosePixelFormat(RendererPlatform& platform, DeviceContextHandle deviceContext);
// The descriptor as choosePixelFormat last used it.
const PixelFormatDescriptor& pixelFormatDescriptor();
void resetPixelFormatDescriptor();

// Viewport over the whole client area; a height of 0 counts as 1.
void resizeViewport(RendererPlatform& platform, int width, int height);

// printf-style into a 1024-byte buffer (longer output is cut), then to the debug channel.
void debugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pellarin
