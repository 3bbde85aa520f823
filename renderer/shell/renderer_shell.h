#pragma once
// The renderer's start-up, frame timer, message loop and window procedure, over a
// RendererPlatform. All of it works on rendererState and runs on the main thread.

#include <cstdint>

#include "renderer/shell/renderer_options.h"
#include "renderer/shell/renderer_platform.h"
#include "renderer/shell/window_messages.h"

namespace pellarin {

// The program: reads the options from the command line (argv[0] is the program) and the
// daemon's window variable from the environment, then runs the renderer.
int rendererMain(RendererPlatform& platform, int argc, const char* const* argv);

// The whole life of the renderer: settings, window, scene, message loop, teardown.
// Returns the exit code carried by the quit message, or 0 when start-up fails (also when the
// window to draw into does not exist).
int runRenderer(RendererPlatform& platform, const RendererOptions& options = {});

// Reads the window size from the settings file into screenWidth and screenHeight
// (a missing key or a side below 1 gives 1024 x 768 for that side; other values are kept).
void readScreenSize();

// Updates elapsedSeconds and frameSeconds from the platform's counter.
void measureFrameTime(RendererPlatform& platform);

// Runs the queue until the quit message and returns its code. A frame is requested whenever
// nothing else is pending and, with an interval, no sooner than that after the previous one;
// until then the loop waits for events.
int runMessageLoop(RendererPlatform& platform, std::int64_t frameIntervalMicroseconds = 0);

std::intptr_t RendererWindowProc(RendererPlatform& platform, const WindowMessage& message);

// One frame: timing, camera, scene step, drawing, presentation.
void runFrame(RendererPlatform& platform);

void setKeyState(unsigned virtualKey, bool held);
void setPolygonMode(unsigned int mode);
std::int32_t getOptionBits();
void setOptionBits(std::int32_t bits);

// Puts rendererState and the pixel format back to their values at process start.
void resetRendererShell();

}  // namespace pellarin
