// The renderer window's procedure: size, frames, keyboard, mouse and the orbit camera.
#include "renderer/scene/scene.h"
#include "renderer/shell/gl_context.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

constexpr std::int32_t kFramesPerAutomaticFlip = 100;
constexpr float kThrustPerSecond = 100.0f;
constexpr float kYawRadiansPerSecond = 2.0f;
constexpr float kVelocityDampingPerFrame = 0.9f;
constexpr float kLongestSceneStep = 0.05f;

constexpr std::int32_t kOptionBitM = 0x01;
constexpr std::int32_t kOptionBitS = 0x02;
constexpr std::int32_t kOptionBitH = 0x04;
constexpr std::int32_t kOptionBitF = 0x08;
constexpr std::int32_t kOptionBitN = 0x10;

void toggleWireframe() {
  rendererState.wireframe = !rendererState.wireframe;
  setPolygonMode(rendererState.wireframe ? kPolygonModeLine : kPolygonModeFill);
}

void toggleOptionBit(std::int32_t bit) {
  setOptionBits(getOptionBits() ^ bit);
}

void onKeyDown(RendererPlatform& platform, unsigned virtualKey) {
  switch (virtualKey) {
    case kVkEscape:
      platform.destroyWindow();
      break;
    case kVkW:
      toggleWireframe();
      break;
    case kVkSpace:
      rendererState.paused = !rendererState.paused;
      break;
    case kVkN:
      toggleOptionBit(kOptionBitN);
      break;
    case kVkS:
      toggleOptionBit(kOptionBitS);
      break;
    case kVkM:
      toggleOptionBit(kOptionBitM);
      break;
    case kVkH:
      toggleOptionBit(kOptionBitH);
      break;
    case kVkF:
      toggleOptionBit(kOptionBitF);
      break;
    default:
      setKeyState(virtualKey, true);
      break;
  }
}

// Alt with a key is the window system's business, not the renderer's controls: Alt+W must not
// switch outlines. The system's close key (Alt+F4) and Alt+Escape, which would take the user
// away from a screen saver, close the window; the renderer often holds the keyboard, so no
// window manager would act on them.
std::intptr_t onSysKeyDown(RendererPlatform& platform, const WindowMessage& message) {
  const auto virtualKey = static_cast<unsigned>(message.wParam);
  if (virtualKey == kVkF4 || virtualKey == kVkEscape) {
    return RendererWindowProc(platform, WindowMessage{kWmClose, 0, 0});
  }
  return platform.defaultWindowProcedure(message);
}

void moveCamera() {
  RendererState& state = rendererState;
  if (state.keyUp || state.keyDown || state.keyHome || state.keyEnd) {
    const float thrust = state.frameSeconds * kThrustPerSecond;
    if (state.keyUp) state.cameraVelocity += Vec3{0.0f, 0.0f, -1.0f} * thrust;
    if (state.keyDown) state.cameraVelocity += Vec3{0.0f, 0.0f, 1.0f} * thrust;
  }
  state.cameraDistance += state.cameraVelocity.z * state.frameSeconds;
  if (state.keyLeft)
    rotateAboutY(state.cameraOrientation, kYawRadiansPerSecond * state.frameSeconds);
  if (state.keyRight) {
    rotateAboutY(state.cameraOrientation, -kYawRadiansPerSecond * state.frameSeconds);
  }
  state.cameraPosition =
      Vec3{0.0f, 0.0f, state.cameraDistance} * toMatrix3(conjugate(state.cameraOrientation));
  state.cameraVelocity = state.cameraVelocity * kVelocityDampingPerFrame;
}

}  // namespace

void runFrame(RendererPlatform& platform) {
  RendererState& state = rendererState;
  measureFrameTime(platform);

  state.frameCounter += 1;
  if (state.frameCounter >= kFramesPerAutomaticFlip) {
    toggleWireframe();
    state.frameCounter = 0;
  }

  moveCamera();

  // The camera moved for the whole measured time; the scene never jumps by more than this.
  if (state.frameSeconds > kLongestSceneStep) state.frameSeconds = kLongestSceneStep;
  updateScene(state.paused ? 0.0f : state.frameSeconds);
  drawScene(state.cameraPosition, state.cameraOrientation);
  platform.swapBuffers(state.deviceContext);
  platform.validateWindow();
}

std::intptr_t RendererWindowProc(RendererPlatform& platform, const WindowMessage& message) {
  RendererState& state = rendererState;
  switch (message.message) {
    case kWmCreate:
      createOpenGLContext(platform);
      return 0;
    case kWmDestroy:
      releaseOpenGLContext(platform);
      if (state.pointerHidden) {
        platform.showPointer(true);
        state.pointerHidden = false;
      }
      platform.postQuitMessage(0);
      return 0;
    case kWmSize:
      state.clientWidth = static_cast<std::int32_t>(lowWord(message.lParam));
      state.clientHeight = static_cast<std::int32_t>(highWord(message.lParam));
      resizeViewport(platform, state.clientWidth, state.clientHeight);
      return 0;
    case kWmPaint:
      // Before the scene is set up there is nothing to draw, and the window stays invalid.
      if (state.running) runFrame(platform);
      return 0;
    case kWmKeyDown:
      onKeyDown(platform, static_cast<unsigned>(message.wParam));
      return 0;
    case kWmKeyUp:
      setKeyState(static_cast<unsigned>(message.wParam), false);
      return 0;
    case kWmSysKeyDown:
      return onSysKeyDown(platform, message);
    case kWmSysKeyUp:
      // An arrow held before Alt went down is still let go.
      setKeyState(static_cast<unsigned>(message.wParam), false);
      return platform.defaultWindowProcedure(message);
    case kWmMouseMove:
      return 0;
    case kWmLButtonDown:
      state.mouseX = static_cast<std::int32_t>(lowWord(message.lParam));
      state.mouseY = static_cast<std::int32_t>(highWord(message.lParam));
      state.mouseLeftDown = true;
      return 0;
    case kWmLButtonUp:
      state.mouseLeftDown = false;
      return 0;
    default:
      return platform.defaultWindowProcedure(message);
  }
}

void setKeyState(unsigned virtualKey, bool held) {
  RendererState& state = rendererState;
  switch (virtualKey) {
    case kVkEnd:
      state.keyEnd = held;
      break;
    case kVkHome:
      state.keyHome = held;
      break;
    case kVkLeft:
      state.keyLeft = held;
      break;
    case kVkUp:
      state.keyUp = held;
      break;
    case kVkRight:
      state.keyRight = held;
      break;
    case kVkDown:
      state.keyDown = held;
      break;
    default:
      break;
  }
}

void setPolygonMode(unsigned int mode) {
  rendererState.polygonMode = mode;
}

std::int32_t getOptionBits() {
  return rendererState.optionBits;
}

void setOptionBits(std::int32_t bits) {
  rendererState.optionBits = bits;
}

}  // namespace pellarin
