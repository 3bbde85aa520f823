// Off-screen GL on X11: a GLX pixel buffer with RGBA colour and a 16-bit depth buffer, like the
// renderer's window.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <algorithm>

#include "common/debug_log.h"
#include "tools/render_scene/offscreen_gl.h"

namespace pellarin {

namespace {

// One connection for the whole process, never closed: closing the last connection unloads the
// GL driver, and whatever the driver still holds could then no longer be traced to it.
Display* sharedDisplay() {
  static Display* display = XOpenDisplay(nullptr);
  return display;
}

class OffscreenGlX11 final : public OffscreenGl {
 public:
  OffscreenGlX11(Display* display, GLXPbuffer buffer, GLXContext context, int w, int h)
      : display_(display), buffer_(buffer), context_(context), width_(w), height_(h) {}

  ~OffscreenGlX11() override {
    glXMakeContextCurrent(display_, None, None, nullptr);
    glXDestroyContext(display_, context_);
    glXDestroyPbuffer(display_, buffer_);
  }

  int width() const override { return width_; }
  int height() const override { return height_; }

  std::vector<unsigned char> readPixels() const override {
    std::vector<unsigned char> rows(static_cast<size_t>(width_) * height_ * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    // GL's first row is the bottom one.
    std::vector<unsigned char> flipped(rows.size());
    const size_t stride = static_cast<size_t>(width_) * 3;
    for (int r = 0; r < height_; ++r) {
      std::copy_n(rows.begin() + static_cast<long>(r * stride), stride,
                  flipped.begin() + static_cast<long>((height_ - 1 - r) * stride));
    }
    return flipped;
  }

 private:
  Display* display_;
  GLXPbuffer buffer_;
  GLXContext context_;
  int width_;
  int height_;
};

}  // namespace

std::unique_ptr<OffscreenGl> createOffscreenGl(int width, int height) {
  Display* display = sharedDisplay();
  if (display == nullptr) {
    debugLog("offscreen gl: no display\n");
    return nullptr;
  }
  const int attributes[] = {GLX_DRAWABLE_TYPE,
                            GLX_PBUFFER_BIT,
                            GLX_RENDER_TYPE,
                            GLX_RGBA_BIT,
                            GLX_RED_SIZE,
                            8,
                            GLX_GREEN_SIZE,
                            8,
                            GLX_BLUE_SIZE,
                            8,
                            GLX_DEPTH_SIZE,
                            16,
                            None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
  if (configs == nullptr || count == 0) {
    debugLog("offscreen gl: no pixel-buffer configuration\n");
    if (configs != nullptr) XFree(configs);
    return nullptr;
  }
  GLXFBConfig config = configs[0];
  XFree(configs);
  const int bufferAttributes[] = {
      GLX_PBUFFER_WIDTH, width, GLX_PBUFFER_HEIGHT, height, GLX_PRESERVED_CONTENTS, True, None};
  GLXPbuffer buffer = glXCreatePbuffer(display, config, bufferAttributes);
  GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
  if (buffer == None || context == nullptr ||
      !glXMakeContextCurrent(display, buffer, buffer, context)) {
    debugLog("offscreen gl: context could not be made current\n");
    if (context != nullptr) glXDestroyContext(display, context);
    if (buffer != None) glXDestroyPbuffer(display, buffer);
    return nullptr;
  }
  glViewport(0, 0, width, height);
  return std::make_unique<OffscreenGlX11>(display, buffer, context, width, height);
}

}  // namespace pellarin
