#include "host/controls/pixel_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace pellarin {

MarkedText resolveAccessMarkers(std::string_view caption) {
  MarkedText out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      out.text.push_back(caption[i]);
      continue;
    }
    if (i + 1 < caption.size() && caption[i + 1] == '&') {
      out.text.push_back('&');
      ++i;
      continue;
    }
    if (i + 1 < caption.size() && out.underlineAt == TextPainter::kNoUnderline) {
      out.underlineAt = out.text.size();
    }
  }
  return out;
}

PixelCanvas::PixelCanvas(int width, int height, Colour background) {
  resize(width, height, background);
}

void PixelCanvas::resize(int width, int height, Colour background) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), background);
}

void PixelCanvas::clear(Colour colour) {
  std::fill(pixels_.begin(), pixels_.end(), colour);
}

Colour PixelCanvas::getPixel(int x, int y) const {
  if (!contains(x, y)) return kInvalidColour;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

void PixelCanvas::setPixel(int x, int y, Colour colour) {
  if (!contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
          static_cast<std::size_t>(x)] = colour & 0xFFFFFF;
}

void PixelCanvas::line(int x0, int y0, int x1, int y1, Colour pen) {
  // Bresenham, stopping one step short of the end point.
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0;
  int y = y0;
  while (x != x1 || y != y1) {
    setPixel(x, y, pen);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void PixelCanvas::fillRect(const CanvasRect& rect, Colour colour) {
  const int left = std::max(rect.left, 0);
  const int top = std::max(rect.top, 0);
  const int right = std::min(rect.right, width_);
  const int bottom = std::min(rect.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) setPixel(x, y, colour);
  }
}

void PixelCanvas::rectangle(const CanvasRect& rect, std::optional<Colour> pen,
                            std::optional<Colour> brush) {
  paintShape(rect, 0, 0, pen, brush);
}

void PixelCanvas::roundRect(const CanvasRect& rect, int ellipseWidth, int ellipseHeight,
                            std::optional<Colour> pen, std::optional<Colour> brush) {
  paintShape(rect, ellipseWidth, ellipseHeight, pen, brush);
}

namespace {

// Whether the centre of pixel (x, y) lies in the shape: the rectangle [0, w) x [0, h) with its
// corners cut by an ellipse of diameters ew and eh.
bool insideShape(int x, int y, int w, int h, int ew, int eh) {
  if (x < 0 || y < 0 || x >= w || y >= h) return false;
  if (ew < 2 || eh < 2) return true;
  const double a = ew / 2.0;
  const double b = eh / 2.0;
  const double px = x + 0.5;
  const double py = y + 0.5;
  double cx = 0;
  double cy = 0;
  if (px < a) {
    cx = a;
  } else if (px > w - a) {
    cx = w - a;
  } else {
    return true;
  }
  if (py < b) {
    cy = b;
  } else if (py > h - b) {
    cy = h - b;
  } else {
    return true;
  }
  const double nx = (px - cx) / a;
  const double ny = (py - cy) / b;
  return nx * nx + ny * ny <= 1.0;
}

}  // namespace

void PixelCanvas::paintShape(const CanvasRect& given, int ellipseWidth, int ellipseHeight,
                             std::optional<Colour> pen, std::optional<Colour> brush) {
  CanvasRect rect = given;
  if (rect.left > rect.right) std::swap(rect.left, rect.right);
  if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
  const int w = rect.width();
  const int h = rect.height();
  if (w <= 0 || h <= 0) return;
  const int ew = std::clamp(ellipseWidth, 0, w);
  const int eh = std::clamp(ellipseHeight, 0, h);
  // Visit only the part that can reach the surface.
  const int x0 = std::max(0, -rect.left);
  const int y0 = std::max(0, -rect.top);
  const int x1 = std::min(w, width_ - rect.left);
  const int y1 = std::min(h, height_ - rect.top);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (!insideShape(x, y, w, h, ew, eh)) continue;
      const bool edge =
          !insideShape(x - 1, y, w, h, ew, eh) || !insideShape(x + 1, y, w, h, ew, eh) ||
          !insideShape(x, y - 1, w, h, ew, eh) || !insideShape(x, y + 1, w, h, ew, eh);
      if (edge && pen) {
        setPixel(rect.left + x, rect.top + y, *pen);
      } else if (brush) {
        setPixel(rect.left + x, rect.top + y, *brush);
      }
    }
  }
}

void PixelCanvas::focusRect(const CanvasRect& rect) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  auto invert = [this](int x, int y) {
    if ((x + y) % 2 != 0 || !contains(x, y)) return;
    setPixel(x, y, getPixel(x, y) ^ 0xFFFFFF);
  };
  for (int x = rect.left; x < rect.right; ++x) {
    invert(x, rect.top);
    if (rect.bottom - 1 != rect.top) invert(x, rect.bottom - 1);
  }
  for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
    invert(rect.left, y);
    if (rect.right - 1 != rect.left) invert(rect.right - 1, y);
  }
}

void PixelCanvas::drawText(const CanvasRect& rect, std::string_view caption, Colour colour,
                           const FontSpec& font, TextPainter& painter) {
  const MarkedText marked = resolveAccessMarkers(caption);
  if (marked.text.empty()) return;
  painter.drawCentredLine(*this, rect, marked.text, marked.underlineAt, colour, font);
}

}  // namespace pellarin
