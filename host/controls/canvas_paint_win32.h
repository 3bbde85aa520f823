#pragma once
// Shows a pixel canvas on a device context (a window's paint handler).
//
// Implements: the canvas's pixels copied one for one with SetDIBitsToDevice. Missing against
// the GTK twin: pixels left out by a predicate; on Windows the window's own region (SetWindowRgn)
// does that clipping.

#include <windows.h>

#include "host/controls/pixel_canvas.h"

namespace pellarin {

// Paints canvas with its top left corner at (left, top) of the context.
void paintCanvas(HDC dc, const PixelCanvas& canvas, int left = 0, int top = 0);

}  // namespace pellarin
