// Start-up, frame timer and message loop of the renderer.
#include "common/profile.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "renderer/shell/gl_context.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
// The window class bears the window's title.
constexpr const char* kRendererWindowClass = kRendererWindowTitle;

struct MessageQueue {
  bool quitPosted = false;
  int quitCode = 0;
  bool invalid = false;
  bool holding = false;  // `held` was peeked and not yet removed
  WindowMessage held;
};

MessageQueue queue;

void dispatchMessage(RendererPlatform& platform, const WindowMessage& message) {
  if (message.message == kWmNull) return;
  RendererWindowProc(platform, message);
}

}  // namespace

void readScreenSize() {
  const auto file = settingsFilePath();
  // A side below one pixel (a hand edit, a file the host could not rewrite) would give a window
  // that covers nothing; it is as unusable as 0 and takes the default the same way.
  int width = readProfileInt(kSettingsSection, kWidthKey, kDefaultWidth, file);
  if (width < 1) width = kDefaultWidth;
  int height = readProfileInt(kSettingsSection, kHeightKey, kDefaultHeight, file);
  if (height < 1) height = kDefaultHeight;
  rendererState.screenWidth = width;
  rendererState.screenHeight = height;
}

int runRenderer(RendererPlatform& platform) {
  RendererState& state = rendererState;
  readScreenSize();
  state.running = false;
  platform.showPointer(false);
  state.cameraPosition = Vec3{0.0f, 0.0f, 20.0f};
  state.cameraVelocity = Vec3{0.0f, 0.0f, 0.0f};

  if (!platform.registerWindowClass(kRendererWindowClass)) return 0;
  if (!platform.createWindow(kRendererWindowClass, kRendererWindowTitle, 0, 0, state.screenWidth,
                             state.screenHeight, &RendererWindowProc)) {
    return 0;
  }
  platform.showWindow();

  state.counterFrequency = platform.counterFrequency();
  state.counterStart = platform.readCounter();
  if (!setUpScene(state.clientWidth, state.clientHeight)) return 0;

  state.running = true;
  const int exitCode = runMessageLoop(platform);
  state.running = false;
  tearDownScene();
  return exitCode;
}

void measureFrameTime(RendererPlatform& platform) {
  RendererState& state = rendererState;
  const std::int64_t now = platform.readCounter();
  const double previous = state.elapsedSeconds;
  state.elapsedSeconds =
      static_cast<double>(now - state.counterStart) / static_cast<double>(state.counterFrequency);
  state.frameSeconds = static_cast<float>(state.elapsedSeconds - previous);
}

bool peekMessage(RendererPlatform& platform, WindowMessage& message, bool remove) {
  if (!queue.holding) {
    WindowMessage next;
    if (queue.quitPosted) {
      next.message = kWmQuit;
      next.wParam = static_cast<std::uintptr_t>(queue.quitCode);
    } else if (!platform.nextEvent(next)) {
      if (!queue.invalid) return false;
      next.message = kWmPaint;
    }
    queue.held = next;
    queue.holding = true;
  }
  message = queue.held;
  if (remove) {
    queue.holding = false;
    if (message.message == kWmQuit) queue.quitPosted = false;
  }
  return true;
}

void postQuitMessage(int exitCode) {
  queue.quitPosted = true;
  queue.quitCode = exitCode;
}

void invalidateWindow() {
  queue.invalid = true;
}

void validateWindow() {
  queue.invalid = false;
}

int runMessageLoop(RendererPlatform& platform) {
  WindowMessage message;
  peekMessage(platform, message, false);
  while (message.message != kWmQuit) {
    if (peekMessage(platform, message, true)) {
      dispatchMessage(platform, message);
    } else {
      invalidateWindow();
    }
  }
  return static_cast<int>(message.wParam);
}

void resetRendererShell() {
  rendererState = RendererState{};
  queue = MessageQueue{};
  resetPixelFormatDescriptor();
}

}  // namespace pellarin
