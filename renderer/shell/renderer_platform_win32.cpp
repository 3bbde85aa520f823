#include "renderer/shell/renderer_platform_win32.h"

#include <windows.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

#include "common/debug_log.h"

namespace pellarin {

namespace {

// Window handles are 32-bit values even in 64-bit programs; a larger number would reach the
// system cut to another window.
constexpr NativeWindowId kLargestWindowId = 0xFFFFFFFF;
constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;

class Win32RendererPlatform;

// The platform whose window the class's procedure serves. Windows calls the procedure with
// nothing to find the platform by: the window is made without a creation parameter, and
// messages arrive inside CreateWindowExA before any property could be set on the window.
Win32RendererPlatform* windowOwner = nullptr;

LRESULT CALLBACK classWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HDC deviceContextOf(DeviceContextHandle deviceContext) {
  return static_cast<HDC>(deviceContext);
}

PIXELFORMATDESCRIPTOR windowsDescriptor(const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR windows{};
  windows.nSize = descriptor.size;
  windows.nVersion = descriptor.version;
  windows.dwFlags = descriptor.flags;
  windows.iPixelType = descriptor.pixelType;
  windows.cColorBits = descriptor.colorBits;
  windows.cDepthBits = descriptor.depthBits;
  windows.cStencilBits = descriptor.stencilBits;
  windows.cAuxBuffers = descriptor.auxBuffers;
  windows.iLayerType = descriptor.layerType;
  return windows;
}

class Win32RendererPlatform final : public RendererPlatform {
 public:
  explicit Win32RendererPlatform(HINSTANCE instance) : instance_(instance) { windowOwner = this; }

  ~Win32RendererPlatform() override {
    // A window left after a failed start-up goes without the window procedure: the shell has
    // finished and must not hear of it.
    procedure_ = nullptr;
    if (window_ != nullptr) ::DestroyWindow(window_);
    windowOwner = nullptr;
  }

  Win32RendererPlatform(const Win32RendererPlatform&) = delete;
  Win32RendererPlatform& operator=(const Win32RendererPlatform&) = delete;

  std::int64_t counterFrequency() override {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
  }

  std::int64_t readCounter() override {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
  }

  void showPointer(bool visible) override { ::ShowCursor(visible ? TRUE : FALSE); }

  bool registerWindowClass(const char* className) override {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = &classWindowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance_;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    if (::RegisterClassA(&windowClass) != 0) return true;
    debugLog("RegisterClassA failed: error %lu\n", ::GetLastError());
    return false;
  }

  bool createWindow(const char* className, const char* title, int x, int y, int width, int height,
                    WindowProcedure procedure) override {
    if (window_ != nullptr) return false;
    procedure_ = procedure;
    // No bigger than the desktop: a huge window would only make the GL driver allocate buffers of
    // gigabytes for pixels nobody sees, and a software driver then takes minutes over a frame.
    width = std::clamp(width, 1, std::max(::GetSystemMetrics(SM_CXVIRTUALSCREEN), 1));
    height = std::clamp(height, 1, std::max(::GetSystemMetrics(SM_CYVIRTUALSCREEN), 1));
    // WM_CREATE, with the context made on it, and the first size arrive inside the call.
    const HWND made = ::CreateWindowExA(0, className, title, WS_POPUP, x, y, width, height, nullptr,
                                        nullptr, instance_, nullptr);
    if (made == nullptr) {
      debugLog("CreateWindowExA failed: error %lu\n", ::GetLastError());
      window_ = nullptr;
      return false;
    }
    window_ = made;
    return true;
  }

  bool createChildWindow(const char* className, const char* title, NativeWindowId parent,
                         WindowProcedure procedure) override {
    if (window_ != nullptr) return false;
    const HWND parentWindow = parent == kScreenRootWindow
                                  ? ::GetDesktopWindow()
                                  : reinterpret_cast<HWND>(static_cast<std::uintptr_t>(parent));
    RECT area{};
    if (parent > kLargestWindowId || !::IsWindow(parentWindow) ||
        !::GetClientRect(parentWindow, &area)) {
      debugLog("No window %#llx to draw into\n", static_cast<unsigned long long>(parent));
      return false;
    }
    child_ = true;
    parent_ = parentWindow;
    procedure_ = procedure;
    // Disabled, it takes neither the focus nor the mouse: both stay with the parent's owner.
    const HWND made = ::CreateWindowExA(
        0, className, title, WS_CHILD | WS_DISABLED, 0, 0, std::max<LONG>(area.right, 1),
        std::max<LONG>(area.bottom, 1), parentWindow, nullptr, instance_, nullptr);
    if (made == nullptr) {
      // The parent may have gone between the look and the creation.
      debugLog("No window %#llx to draw into: error %lu\n", static_cast<unsigned long long>(parent),
               ::GetLastError());
      window_ = nullptr;
      return false;
    }
    window_ = made;
    return true;
  }

  void showWindow() override {
    if (window_ == nullptr) return;
    // A child is shown without being activated: the parent's owner keeps the focus.
    ::ShowWindow(window_, child_ ? SW_SHOWNA : SW_SHOW);
    ::UpdateWindow(window_);
  }

  void destroyWindow() override {
    if (window_ == nullptr) return;
    // WM_DESTROY reaches the window procedure inside the call; WM_NCDESTROY forgets the window.
    if (::DestroyWindow(window_)) return;
    windowGone();
    window_ = nullptr;
  }

  std::intptr_t defaultWindowProcedure(const WindowMessage& message) override {
    // Messages the shell makes up itself (the close on Alt+F4) carry no window.
    const HWND target = message.window != 0 ? reinterpret_cast<HWND>(message.window) : window_;
    return ::DefWindowProcA(target, message.message, message.wParam, message.lParam);
  }

  bool peekMessage(WindowMessage& message, bool remove) override {
    MSG taken{};
    if (!::PeekMessageA(&taken, nullptr, 0, 0, remove ? PM_REMOVE : PM_NOREMOVE)) return false;
    message = WindowMessage{taken.message, taken.wParam, taken.lParam,
                            reinterpret_cast<std::uintptr_t>(taken.hwnd)};
    return true;
  }

  std::intptr_t dispatchMessage(const WindowMessage& message) override {
    MSG taken{};
    taken.hwnd = reinterpret_cast<HWND>(message.window);
    taken.message = message.message;
    taken.wParam = message.wParam;
    taken.lParam = message.lParam;
    ::TranslateMessage(&taken);
    return ::DispatchMessageA(&taken);
  }

  void postQuitMessage(int exitCode) override { ::PostQuitMessage(exitCode); }

  void invalidateWindow() override {
    if (child_) followParent();
    if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  }

  void validateWindow() override {
    if (window_ != nullptr) ::ValidateRect(window_, nullptr);
  }

  void waitForEvent(std::int64_t microseconds) override {
    const std::int64_t milliseconds =
        (std::max<std::int64_t>(microseconds, 0) + kMicrosecondsPerMillisecond - 1) /
        kMicrosecondsPerMillisecond;
    ::MsgWaitForMultipleObjects(
        0, nullptr, FALSE, static_cast<DWORD>(std::min<std::int64_t>(milliseconds, INFINITE - 1)),
        QS_ALLINPUT);
  }

  double refreshRate() override {
    // The monitor that shows most of the window.
    MONITORINFOEXA monitor{};
    monitor.cbSize = sizeof monitor;
    const HMONITOR shown = ::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY);
    const char* device = ::GetMonitorInfoA(shown, &monitor) ? monitor.szDevice : nullptr;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (!::EnumDisplaySettingsA(device, ENUM_CURRENT_SETTINGS, &mode)) return 0.0;
    // 0 and 1 stand for the hardware's default rate, which the system does not tell.
    return mode.dmDisplayFrequency > 1 ? static_cast<double>(mode.dmDisplayFrequency) : 0.0;
  }

  DeviceContextHandle getDeviceContext() override { return ::GetDC(window_); }

  int screenBitsPerPixel(DeviceContextHandle deviceContext) override {
    return ::GetDeviceCaps(deviceContextOf(deviceContext), BITSPIXEL);
  }

  int choosePixelFormat(DeviceContextHandle deviceContext,
                        const PixelFormatDescriptor& descriptor) override {
    const PIXELFORMATDESCRIPTOR windows = windowsDescriptor(descriptor);
    return ::ChoosePixelFormat(deviceContextOf(deviceContext), &windows);
  }

  bool setPixelFormat(DeviceContextHandle deviceContext, int format,
                      const PixelFormatDescriptor& descriptor) override {
    const PIXELFORMATDESCRIPTOR windows = windowsDescriptor(descriptor);
    return ::SetPixelFormat(deviceContextOf(deviceContext), format, &windows) != FALSE;
  }

  RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) override {
    return ::wglCreateContext(deviceContextOf(deviceContext));
  }

  bool makeCurrent(DeviceContextHandle deviceContext, RenderContextHandle renderContext) override {
    return ::wglMakeCurrent(deviceContextOf(deviceContext), static_cast<HGLRC>(renderContext)) !=
           FALSE;
  }

  void deleteRenderContext(RenderContextHandle renderContext) override {
    ::wglDeleteContext(static_cast<HGLRC>(renderContext));
  }

  void setViewport(int x, int y, int width, int height) override {
    glViewport(x, y, width, height);
  }

  void swapBuffers(DeviceContextHandle deviceContext) override {
    ::SwapBuffers(deviceContextOf(deviceContext));
  }

  // The class's window procedure: every message of the window goes to the shell's.
  LRESULT receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Known from the first message on, before CreateWindowExA returns it.
    if (window_ == nullptr) window_ = window;
    if (procedure_ == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_DESTROY) destroyed_ = true;
    // A child whose parent's thread went away is freed without WM_DESTROY under Wine; the shell
    // must hear of its end all the same.
    if (message == WM_NCDESTROY && window == window_ && !destroyed_) windowGone();
    const LRESULT result = procedure_(
        *this, WindowMessage{message, wParam, lParam, reinterpret_cast<std::uintptr_t>(window)});
    if (message == WM_NCDESTROY && window == window_) window_ = nullptr;
    return result;
  }

 private:
  // The window went without a WM_DESTROY of its own (its parent's process ended, say): the
  // procedure hears of it as of any destruction, once.
  void windowGone() {
    if (window_ == nullptr || destroyed_) return;
    destroyed_ = true;
    if (procedure_ != nullptr) {
      procedure_(*this, WindowMessage{WM_DESTROY, 0, 0, reinterpret_cast<std::uintptr_t>(window_)});
    }
  }

  // A child takes its parent's client size; the move sends WM_SIZE to the procedure.
  void followParent() {
    if (window_ == nullptr) return;
    if (!::IsWindow(window_)) {
      windowGone();
      window_ = nullptr;
      return;
    }
    RECT parentArea{};
    RECT ownArea{};
    if (!::GetClientRect(parent_, &parentArea) || !::GetClientRect(window_, &ownArea)) return;
    const LONG width = std::max<LONG>(parentArea.right, 1);
    const LONG height = std::max<LONG>(parentArea.bottom, 1);
    if (width == ownArea.right && height == ownArea.bottom) return;
    ::SetWindowPos(window_, nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  bool destroyed_ = false;  // the procedure had WM_DESTROY for window_
  bool child_ = false;
  HWND parent_ = nullptr;
  WindowProcedure procedure_ = nullptr;
};

LRESULT CALLBACK classWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (windowOwner == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  return windowOwner->receive(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<RendererPlatform> makeWin32RendererPlatform(void* instance) {
  return std::make_unique<Win32RendererPlatform>(static_cast<HINSTANCE>(instance));
}

}  // namespace pellarin
