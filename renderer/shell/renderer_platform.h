#pragma once
// What the renderer shell needs from the platform: a counter, the pointer, one window (a popup of
// its own, or a child filling a window another program gives it) and its events, a way to wait
// for them, and an OpenGL context on that window. The shell decides everything; an
// implementation only carries the calls over to its window system.

#include <cstdint>

#include "renderer/shell/window_messages.h"

namespace pellarin {

class RendererPlatform;

// Opaque handles owned by the platform: the window's drawing surface and an OpenGL context.
using DeviceContextHandle = void*;
using RenderContextHandle = void*;

// Another program's window, by the number its window system gives it (an X window id, a window
// handle). kScreenRootWindow stands for the screen's own root (desktop) window.
using NativeWindowId = std::uint64_t;
inline constexpr NativeWindowId kScreenRootWindow = 0;

// The window procedure a platform calls for the messages it sends while one of its calls runs
// (creation, showing, destruction, default handling).
using WindowProcedure = std::intptr_t (*)(RendererPlatform& platform, const WindowMessage& message);

// The pixel format asked for; the numbering follows the Windows descriptor.
inline constexpr std::uint32_t kPixelFormatDoubleBuffer = 0x01;
inline constexpr std::uint32_t kPixelFormatDrawToWindow = 0x04;
inline constexpr std::uint32_t kPixelFormatSupportOpenGL = 0x20;
inline constexpr std::uint8_t kPixelTypeRgba = 0;
inline constexpr std::uint8_t kMainPlane = 0;

struct PixelFormatDescriptor {
  std::uint16_t size = 40;
  std::uint16_t version = 1;
  std::uint32_t flags = 0;
  std::uint8_t pixelType = kPixelTypeRgba;
  std::uint8_t colorBits = 0;
  std::uint8_t depthBits = 0;
  std::uint8_t stencilBits = 0;
  std::uint8_t auxBuffers = 0;
  std::uint8_t layerType = kMainPlane;
};

class RendererPlatform {
 public:
  virtual ~RendererPlatform() = default;

  // Monotonic counter: ticks per second, and the current tick.
  virtual std::int64_t counterFrequency() = 0;
  virtual std::int64_t readCounter() = 0;

  // Shows or hides the mouse pointer while the renderer runs.
  virtual void showPointer(bool visible) = 0;

  // Makes the window system ready for windows of this class. False when it cannot.
  virtual bool registerWindowClass(const char* className) = 0;
  // Creates the popup window, unmapped. Before returning, sends kWmCreate and then one kWmSize
  // with the window's real client size to `procedure`. False when no window could be made.
  virtual bool createWindow(const char* className, const char* title, int x, int y, int width,
                            int height, WindowProcedure procedure) = 0;
  // Creates the window as a child of `parent` that covers all of it, unmapped, taking neither
  // input nor the pointer: both stay with the parent's owner. Sends kWmCreate and one kWmSize
  // like createWindow. From then on the window follows the parent's size (each change arrives
  // as kWmSize) and goes when the parent goes (kWmDestroy). False, with one line on the debug
  // channel, when `parent` names no window.
  virtual bool createChildWindow(const char* className, const char* title, NativeWindowId parent,
                                 WindowProcedure procedure) = 0;
  // Maps the window; a popup also takes the keyboard.
  virtual void showWindow() = 0;
  // Sends kWmDestroy to the window procedure, then removes the window. Does nothing when there
  // is no window.
  virtual void destroyWindow() = 0;
  // What the window system does with a message the window procedure leaves alone
  // (kWmClose destroys the window).
  virtual std::intptr_t defaultWindowProcedure(const WindowMessage& message) = 0;

  // The thread's message queue, as the message loop reads it.
  // The message at the head of the queue; false, with `message` untouched, when none is pending.
  // Never waits. Without `remove` the message stays and the next peek gives it again. Window and
  // input events come in their order, keys pressed or released while Alt is held as
  // kWmSysKeyDown / kWmSysKeyUp, and a request from outside to end the program (SIGTERM or
  // SIGINT on POSIX, a close posted by another program on Windows) once, as kWmClose. The quit
  // message comes once it is posted, ahead of input still pending; kWmPaint comes while the
  // window is invalid and nothing else is pending.
  virtual bool peekMessage(WindowMessage& message, bool remove) = 0;
  // Hands a message that peekMessage removed to the procedure of the window it is for (key
  // messages first make the character messages the window system makes of them, which the
  // procedure leaves to the default). The procedure's result; 0 for a message to no window.
  virtual std::intptr_t dispatchMessage(const WindowMessage& message) = 0;
  // Queues kWmQuit with the exit code in wParam.
  virtual void postQuitMessage(int exitCode) = 0;
  // Marks the whole window as needing a repaint, or as repainted.
  virtual void invalidateWindow() = 0;
  virtual void validateWindow() = 0;
  // Returns as soon as peekMessage has something new to give (an event, an end request) or
  // `microseconds` have passed, whichever comes first. The wait may be up to one tick of the
  // system's timer longer.
  virtual void waitForEvent(std::int64_t microseconds) = 0;
  // The refresh rate in Hz of the monitor that shows the window; 0 when it cannot be told.
  virtual double refreshRate() = 0;

  virtual DeviceContextHandle getDeviceContext() = 0;
  virtual int screenBitsPerPixel(DeviceContextHandle deviceContext) = 0;
  // A format number for the descriptor, 0 when nothing matches.
  virtual int choosePixelFormat(DeviceContextHandle deviceContext,
                                const PixelFormatDescriptor& descriptor) = 0;
  virtual bool setPixelFormat(DeviceContextHandle deviceContext, int format,
                              const PixelFormatDescriptor& descriptor) = 0;
  virtual RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) = 0;
  // A null render context releases the current one.
  virtual bool makeCurrent(DeviceContextHandle deviceContext,
                           RenderContextHandle renderContext) = 0;
  virtual void deleteRenderContext(RenderContextHandle renderContext) = 0;
  virtual void setViewport(int x, int y, int width, int height) = 0;
  virtual void swapBuffers(DeviceContextHandle deviceContext) = 0;
};

}  // namespace pellarin
