#pragma once
// Shows a pixel canvas on a cairo context (a GTK widget's draw handler).

#include <cairo.h>

#include <functional>

#include "host/controls/pixel_canvas.h"

namespace pellarin {

// Paints canvas at (0, 0). Pixels for which shown(x, y) is false stay transparent, so what lies
// under the widget shows through there.
void paintCanvas(cairo_t* cr, const PixelCanvas& canvas,
                 const std::function<bool(int, int)>& shown = {});

}  // namespace pellarin
