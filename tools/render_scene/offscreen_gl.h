#pragma once
// An OpenGL context that draws into an off-screen buffer of a chosen size, for rendering frames
// to files and for tests that need a real GL context.

#include <memory>
#include <vector>

namespace pellarin {

class OffscreenGl {
 public:
  virtual ~OffscreenGl() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The current frame as width x height RGB pixels, top row first.
  virtual std::vector<unsigned char> readPixels() const = 0;
};

// Opens the display named by $DISPLAY and makes a width x height context current on this thread;
// none when there is no display or no suitable GL configuration.
std::unique_ptr<OffscreenGl> createOffscreenGl(int width, int height);

}  // namespace pellarin
