#include "renderer/shell/gl_context.h"

#include <cstdarg>
#include <cstdio>

#include "common/debug_log.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

PixelFormatDescriptor descriptor;
bool descriptorFilled = false;

}  // namespace

void createOpenGLContext(RendererPlatform& platform) {
  RendererState& state = rendererState;
  state.deviceContext = platform.getDeviceContext();
  choosePixelFormat(platform, state.deviceContext);
  state.renderContext = platform.createRenderContext(state.deviceContext);
  platform.makeCurrent(state.deviceContext, state.renderContext);
}

void releaseOpenGLContext(RendererPlatform& platform) {
  RendererState& state = rendererState;
  platform.makeCurrent(state.deviceContext, nullptr);
  platform.deleteRenderContext(state.renderContext);
  state.renderContext = nullptr;
}

bool choosePixelFormat(RendererPlatform& platform, DeviceContextHandle deviceContext) {
  if (!descriptorFilled) {
    descriptor = PixelFormatDescriptor{};
    descriptor.flags =
        kPixelFormatDrawToWindow | kPixelFormatSupportOpenGL | kPixelFormatDoubleBuffer;
    descriptor.pixelType = kPixelTypeRgba;
    descriptor.colorBits = static_cast<std::uint8_t>(platform.screenBitsPerPixel(deviceContext));
    descriptor.depthBits = 16;
    descriptor.layerType = kMainPlane;
    descriptorFilled = true;
  }
  const int format = platform.choosePixelFormat(deviceContext, descriptor);
  debugPrint("PixelFormat Selected: %d\nBPP: %d\n", format,
             platform.screenBitsPerPixel(deviceContext));
  return platform.setPixelFormat(deviceContext, format, descriptor);
}

const PixelFormatDescriptor& pixelFormatDescriptor() {
  return descriptor;
}

void resetPixelFormatDescriptor() {
  descriptor = PixelFormatDescriptor{};
  descriptorFilled = false;
}

void resizeViewport(RendererPlatform& platform, int width, int height) {
  if (height == 0) height = 1;
  platform.setViewport(0, 0, width, height);
}

void debugPrint(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  debugLog("%s", buffer);
}

}  // namespace pellarin
