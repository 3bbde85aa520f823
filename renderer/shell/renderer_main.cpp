// Start-up, frame timer and message loop of the renderer.
#include <cstdlib>
#include <string>

#include "common/debug_log.h"
#include "common/profile.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "renderer/shell/frame_pacer.h"
#include "renderer/shell/gl_context.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
// The window class bears the window's title.
constexpr const char* kRendererWindowClass = kRendererWindowTitle;

// Frames drawn by the last message loop, for the closing debug line.
long long framesDrawn = 0;

}  // namespace

void readScreenSize() {
  // A refused work folder leaves the file's path empty, and so the defaults.
  openWorkFolder(WorkFolderUse::Existing);
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

int rendererMain(RendererPlatform& platform, int argc, const char* const* argv) {
  const std::span<const char* const> arguments(argv + (argc > 0 ? 1 : 0),
                                               static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
  const RendererOptions options =
      parseRendererOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
  for (const std::string& ignored : options.ignored) {
    debugLog("Argument ignored: %s\n", ignored.c_str());
  }
  return runRenderer(platform, options);
}

int runRenderer(RendererPlatform& platform, const RendererOptions& options) {
  RendererState& state = rendererState;
  const bool ownWindow = options.target == WindowTarget::Popup;
  if (options.target == WindowTarget::Given && !options.windowId) {
    debugLog("No window to draw into: \"%s\" is no window id\n", options.windowText.c_str());
    return 0;
  }
  readScreenSize();
  state.running = false;
  // In a window of its own the renderer is the screen saver and hides the pointer; in a window
  // it was given, the pointer belongs to whoever gave it (a screen-saver daemon, a preview).
  if (ownWindow) {
    platform.showPointer(false);
    state.pointerHidden = true;
  }
  state.cameraPosition = Vec3{0.0f, 0.0f, 20.0f};
  state.cameraVelocity = Vec3{0.0f, 0.0f, 0.0f};

  if (!platform.registerWindowClass(kRendererWindowClass)) return 0;
  const bool created =
      ownWindow ? platform.createWindow(kRendererWindowClass, kRendererWindowTitle, 0, 0,
                                        state.screenWidth, state.screenHeight, &RendererWindowProc)
                : platform.createChildWindow(
                      kRendererWindowClass, kRendererWindowTitle,
                      options.target == WindowTarget::Given ? *options.windowId : kScreenRootWindow,
                      &RendererWindowProc);
  if (!created) return 0;
  platform.showWindow();

  state.counterFrequency = platform.counterFrequency();
  state.counterStart = platform.readCounter();
  if (!setUpScene(state.clientWidth, state.clientHeight)) return 0;

  const std::int64_t interval =
      frameIntervalMicroseconds(options, ownWindow ? 0.0 : platform.refreshRate());
  if (interval > 0) {
    debugLog("Frames start at least %lld us apart\n", static_cast<long long>(interval));
  }

  state.running = true;
  const int exitCode = runMessageLoop(platform, interval);
  state.running = false;
  debugLog("Frames drawn: %lld in %.1f s\n", framesDrawn,
           static_cast<double>(platform.readCounter() - state.counterStart) /
               static_cast<double>(state.counterFrequency));
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

int runMessageLoop(RendererPlatform& platform, std::int64_t frameIntervalMicroseconds) {
  FramePacer pacer(frameIntervalMicroseconds, rendererState.counterFrequency);
  framesDrawn = 0;
  WindowMessage message;
  platform.peekMessage(message, false);
  while (message.message != kWmQuit) {
    if (platform.peekMessage(message, true)) {
      if (message.message == kWmPaint && rendererState.running) ++framesDrawn;
      platform.dispatchMessage(message);
      continue;
    }
    // Nothing pending: ask for a frame, or, when frames are paced and the next is not due yet,
    // sleep until it is or until something happens.
    const std::int64_t now = pacer.limited() ? platform.readCounter() : 0;
    if (pacer.due(now)) {
      pacer.frameStarted(now);
      platform.invalidateWindow();
    } else {
      platform.waitForEvent(pacer.microsecondsUntilDue(now));
    }
  }
  return static_cast<int>(message.wParam);
}

void resetRendererShell() {
  rendererState = RendererState{};
  resetPixelFormatDescriptor();
}

}  // namespace pellarin
