#include "renderer/shell/renderer_platform_x11.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef PELLARIN_HAVE_XFIXES
#include <X11/extensions/Xfixes.h>
#endif
#ifdef PELLARIN_HAVE_XRANDR
#include <X11/extensions/Xrandr.h>
#endif
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "common/debug_log.h"
#include "renderer/shell/key_translation_x11.h"
#include "renderer/shell/message_queue.h"
#include "renderer/shell/termination_posix.h"

namespace pellarin {

namespace {

// Window sizes travel as 16-bit values and positions as signed 16-bit ones.
constexpr int kLargestWindowSide = 32767;
constexpr int kSmallestPosition = -32768;
constexpr int kLargestPosition = 32767;
constexpr std::chrono::milliseconds kMapWait{2000};
constexpr std::chrono::milliseconds kGrabWait{1000};
constexpr std::chrono::milliseconds kRetryPause{10};

constexpr long kWindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | ExposureMask | StructureNotifyMask;
// A child window leaves keys and the mouse to its parent's owner: they pass through to it.
constexpr long kChildWindowEvents = ExposureMask | StructureNotifyMask;
// X resource ids have 29 bits; a larger number would reach the server cut to another id.
constexpr NativeWindowId kLargestWindowId = 0x1FFFFFFF;

// Errors counted instead of reported while a call whose failure is expected runs; -1 otherwise.
int trappedErrors = -1;

int onXError(Display* display, XErrorEvent* error) {
  if (trappedErrors >= 0) {
    ++trappedErrors;
    return 0;
  }
  char text[256] = {};
  XGetErrorText(display, error->error_code, text, sizeof text);
  debugLog("X error: %s (request %d.%d, resource 0x%lx)\n", text, error->request_code,
           error->minor_code, error->resourceid);
  return 0;
}

int onIoError(Display*) {
  debugLog("X connection lost\n");
  return 0;
}

class X11RendererPlatform final : public RendererPlatform {
 public:
  X11RendererPlatform() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      debugLog("Cannot open the X display\n");
      return;
    }
    XSetErrorHandler(&onXError);
    // Both handlers return, so a lost connection comes back to us as a flag instead of
    // ending the process from inside Xlib.
    XSetIOErrorHandler(&onIoError);
    XSetIOErrorExitHandler(display_, &onIoErrorExit, this);
    terminationWakeup_ = installTerminationHandlers();
    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(display_, True, &detectable);
    if (!detectable) debugLog("Held keys will repeat with key releases\n");
#ifdef PELLARIN_HAVE_XFIXES
    int eventBase = 0;
    int errorBase = 0;
    xfixes_ = XFixesQueryExtension(display_, &eventBase, &errorBase);
#endif
    altMask_ = altModifierMask(display_);
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDeleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    netWmPid_ = XInternAtom(display_, "_NET_WM_PID", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
  }

  ~X11RendererPlatform() override {
    if (!usable()) return;  // a dead connection is released with the process
    if (window_ != 0) XDestroyWindow(display_, window_);
    if (blankCursor_ != 0) XFreeCursor(display_, blankCursor_);
    if (colormap_ != 0) XFreeColormap(display_, colormap_);
    // The connection stays open until the process exits, right after this: closing it would
    // unload the GL driver, whose own exit-time allocations then lose their names and show up
    // in leak checks as ours.
    XSync(display_, False);
  }

  X11RendererPlatform(const X11RendererPlatform&) = delete;
  X11RendererPlatform& operator=(const X11RendererPlatform&) = delete;

  std::int64_t counterFrequency() override {
    return 1'000'000'000;
  }

  std::int64_t readCounter() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  }

  void showPointer(bool visible) override {
    pointerHidden_ = !visible;
    if (!usable()) return;
    if (window_ != 0 && !windowGone_) {
      if (pointerHidden_) {
        XDefineCursor(display_, window_, blankCursor());
      } else {
        XUndefineCursor(display_, window_);
      }
    }
#ifdef PELLARIN_HAVE_XFIXES
    if (xfixes_ && pointerHidden_ != xfixesHidden_) {
      if (pointerHidden_) {
        XFixesHideCursor(display_, root_);
      } else {
        XFixesShowCursor(display_, root_);
      }
      xfixesHidden_ = pointerHidden_;
    }
#endif
    XFlush(display_);
  }

  bool registerWindowClass(const char*) override {
    return usable();
  }

  bool createWindow(const char* className, const char* title, int x, int y, int width, int height,
                    WindowProcedure procedure) override {
    if (!usable() || window_ != 0) return false;
    procedure_ = procedure;
    className_ = className;
    title_ = title;
    x_ = std::clamp(x, kSmallestPosition, kLargestPosition);
    y_ = std::clamp(y, kSmallestPosition, kLargestPosition);
    // No bigger than the screen: a huge window would only make the GL driver allocate buffers of
    // gigabytes for pixels nobody sees, and a software driver dies of it.
    width_ = std::clamp(width, 1, std::min(kLargestWindowSide, DisplayWidth(display_, screen_)));
    height_ = std::clamp(height, 1, std::min(kLargestWindowSide, DisplayHeight(display_, screen_)));
    // The window gets its visual when the pixel format is set during this message.
    procedure_(*this, WindowMessage{kWmCreate, 0, 0});
    if (window_ == 0 && usable()) makeXWindow(nullptr);
    if (window_ == 0) return false;
    procedure_(*this, WindowMessage{kWmSize, 0,
                                    packWords(static_cast<unsigned>(width_),
                                              static_cast<unsigned>(height_))});
    return true;
  }

  bool createChildWindow(const char* className, const char* title, NativeWindowId parent,
                         WindowProcedure procedure) override {
    if (!usable() || window_ != 0) return false;
    const Window parentWindow = parent == kScreenRootWindow ? root_ : static_cast<Window>(parent);
    XWindowAttributes attributes{};
    if (parent > kLargestWindowId ||
        !withoutErrors([&] { return XGetWindowAttributes(display_, parentWindow, &attributes); })) {
      debugLog("No window %#llx to draw into\n", static_cast<unsigned long long>(parent));
      return false;
    }
    // Its size changes are followed; its destruction ends the child, which hears of it itself.
    XSelectInput(display_, parentWindow, StructureNotifyMask);
    child_ = true;
    parent_ = parentWindow;
    procedure_ = procedure;
    className_ = className;
    title_ = title;
    x_ = 0;
    y_ = 0;
    width_ = std::max(attributes.width, 1);
    height_ = std::max(attributes.height, 1);
    procedure_(*this, WindowMessage{kWmCreate, 0, 0});
    if (window_ == 0 && usable()) makeXWindow(nullptr);
    if (window_ == 0) return false;
    // The parent may have gone between the look and the creation, taking nothing with it.
    if (!withoutErrors([&] { return XGetWindowAttributes(display_, window_, &attributes); })) {
      debugLog("The window %#llx went away\n", static_cast<unsigned long long>(parent));
      windowGone_ = true;
      destroyWindow();
      return false;
    }
    procedure_(*this, WindowMessage{kWmSize, 0,
                                    packWords(static_cast<unsigned>(width_),
                                              static_cast<unsigned>(height_))});
    return true;
  }

  void showWindow() override {
    if (!usable() || window_ == 0) return;
    XMapRaised(display_, window_);
    waitForMap();
    if (child_) return;
    XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
    grabKeyboard();
  }

  void destroyWindow() override {
    if (window_ == 0 || destroying_) return;
    destroying_ = true;
    procedure_(*this, WindowMessage{kWmDestroy, 0, 0});
    if (usable() && !windowGone_) {
      XUngrabKeyboard(display_, CurrentTime);
      XDestroyWindow(display_, window_);
      XFlush(display_);
    }
    window_ = 0;
    destroying_ = false;
  }

  std::intptr_t defaultWindowProcedure(const WindowMessage& message) override {
    if (message.message == kWmClose) destroyWindow();
    return 0;
  }

  bool peekMessage(WindowMessage& message, bool remove) override {
    return queue_.peek(message, remove, [this](WindowMessage& event) { return nextEvent(event); });
  }

  std::intptr_t dispatchMessage(const WindowMessage& message) override {
    if (message.message == kWmNull || procedure_ == nullptr) return 0;
    return procedure_(*this, message);
  }

  void postQuitMessage(int exitCode) override {
    queue_.postQuit(exitCode);
  }

  void invalidateWindow() override {
    queue_.invalidate();
  }

  void validateWindow() override {
    queue_.validate();
  }

  void waitForEvent(std::int64_t microseconds) override {
    if (!usable() || (terminationRequested() && !closeRequested_)) return;
    if (XPending(display_) > 0) return;  // already read from the connection (and requests sent)
    pollfd watched[2] = {{ConnectionNumber(display_), POLLIN, 0}, {terminationWakeup_, POLLIN, 0}};
    const std::int64_t wait = std::max<std::int64_t>(microseconds, 0);
    const timespec timeout{static_cast<time_t>(wait / 1'000'000),
                           static_cast<long>(wait % 1'000'000 * 1000)};
    ppoll(watched, terminationWakeup_ >= 0 ? 2 : 1, &timeout, nullptr);
  }

  double refreshRate() override {
#ifdef PELLARIN_HAVE_XRANDR
    int eventBase = 0;
    int errorBase = 0;
    if (!usable() || !XRRQueryExtension(display_, &eventBase, &errorBase)) return 0.0;
    // The monitor under the middle of the window.
    int x = 0;
    int y = 0;
    Window ignored = 0;
    if (window_ != 0) {
      XTranslateCoordinates(display_, window_, root_, width_ / 2, height_ / 2, &x, &y, &ignored);
    }
    double rate = 0.0;
    if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display_, root_)) {
      for (int i = 0; i < resources->ncrtc && rate <= 0.0; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display_, resources, resources->crtcs[i]);
        if (crtc == nullptr) continue;
        const bool shows = crtc->mode != 0 && x >= crtc->x && y >= crtc->y &&
                           x < crtc->x + static_cast<int>(crtc->width) &&
                           y < crtc->y + static_cast<int>(crtc->height);
        for (int m = 0; shows && m < resources->nmode; ++m) {
          const XRRModeInfo& mode = resources->modes[m];
          if (mode.id != crtc->mode || mode.hTotal == 0 || mode.vTotal == 0) continue;
          rate = static_cast<double>(mode.dotClock) /
                 (static_cast<double>(mode.hTotal) * static_cast<double>(mode.vTotal));
          if ((mode.modeFlags & RR_DoubleScan) != 0) rate /= 2.0;
          if ((mode.modeFlags & RR_Interlace) != 0) rate *= 2.0;
        }
        XRRFreeCrtcInfo(crtc);
      }
      XRRFreeScreenResources(resources);
    }
    if (rate <= 0.0) {
      if (XRRScreenConfiguration* configuration = XRRGetScreenInfo(display_, root_)) {
        rate = XRRConfigCurrentRate(configuration);
        XRRFreeScreenConfigInfo(configuration);
      }
    }
    return rate;
#else
    return 0.0;
#endif
  }

  DeviceContextHandle getDeviceContext() override {
    return this;
  }

  int screenBitsPerPixel(DeviceContextHandle) override {
    return usable() ? DefaultDepth(display_, screen_) : 0;
  }

  int choosePixelFormat(DeviceContextHandle, const PixelFormatDescriptor& descriptor) override {
    if (!usable()) return 0;
    XVisualInfo wanted{};
    wanted.screen = screen_;
    wanted.depth = descriptor.colorBits;
    int count = 0;
    XVisualInfo* visuals =
        XGetVisualInfo(display_, VisualScreenMask | VisualDepthMask, &wanted, &count);
    int best = 0;
    long bestCost = LONG_MAX;
    for (int i = 0; i < count; ++i) {
      const long cost = formatCost(visuals[i], descriptor);
      if (cost < bestCost) {
        bestCost = cost;
        best = static_cast<int>(visuals[i].visualid);
      }
    }
    if (visuals != nullptr) XFree(visuals);
    return best;
  }

  bool setPixelFormat(DeviceContextHandle, int format, const PixelFormatDescriptor&) override {
    if (!usable() || format <= 0) return false;
    if (window_ != 0) return haveVisual_ && static_cast<int>(visualInfo_.visualid) == format;
    XVisualInfo wanted{};
    wanted.screen = screen_;
    wanted.visualid = static_cast<VisualID>(format);
    int count = 0;
    XVisualInfo* visuals =
        XGetVisualInfo(display_, VisualScreenMask | VisualIDMask, &wanted, &count);
    if (visuals == nullptr) return false;
    visualInfo_ = visuals[0];
    haveVisual_ = true;
    XFree(visuals);
    makeXWindow(&visualInfo_);
    return window_ != 0;
  }

  RenderContextHandle createRenderContext(DeviceContextHandle) override {
    if (!usable() || window_ == 0 || !haveVisual_) return nullptr;
    return glXCreateContext(display_, &visualInfo_, nullptr, True);
  }

  bool makeCurrent(DeviceContextHandle, RenderContextHandle renderContext) override {
    if (!usable()) return false;
    if (renderContext == nullptr) return glXMakeCurrent(display_, None, nullptr) == True;
    if (window_ == 0) return false;
    const bool made =
        glXMakeCurrent(display_, window_, static_cast<GLXContext>(renderContext)) == True;
    if (made) fitViewportLimit();
    return made;
  }

  void deleteRenderContext(RenderContextHandle renderContext) override {
    if (!usable() || renderContext == nullptr) return;
    glXDestroyContext(display_, static_cast<GLXContext>(renderContext));
  }

  void setViewport(int x, int y, int width, int height) override {
    glViewport(x, y, width, height);
  }

  void swapBuffers(DeviceContextHandle) override {
    if (usable() && window_ != 0 && !windowGone_) glXSwapBuffers(display_, window_);
  }

 private:
  static void onIoErrorExit(Display*, void* self) {
    static_cast<X11RendererPlatform*>(self)->connectionLost_ = true;
  }

  // The next window or input event, translated; false when none is pending. Never waits.
  bool nextEvent(WindowMessage& message) {
    if (terminationRequested() && !closeRequested_ && window_ != 0) {
      closeRequested_ = true;
      drainTerminationWakeups();
      message = WindowMessage{kWmClose, 0, 0};
      return true;
    }
    while (usable() && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (translate(event, message)) return true;
    }
    if (!usable() && window_ != 0) {
      // Killed by the server (another client ended our connection): the window is gone.
      windowGone_ = true;
      destroyWindow();
    }
    return false;
  }

  bool usable() const {
    return display_ != nullptr && !connectionLost_;
  }

  // Runs an X call whose failure is expected (a window that may not exist) without reporting
  // its error; true when it succeeded and the server raised no error.
  template <typename Call>
  bool withoutErrors(Call call) {
    XSync(display_, False);
    trappedErrors = 0;
    const bool succeeded = call() != 0;
    XSync(display_, False);
    const bool clean = trappedErrors == 0;
    trappedErrors = -1;
    return succeeded && clean;
  }

  // How far a visual is from the descriptor; LONG_MAX when it cannot serve at all.
  long formatCost(XVisualInfo& visual, const PixelFormatDescriptor& descriptor) {
    auto config = [&](int attribute) {
      int value = 0;
      return glXGetConfig(display_, &visual, attribute, &value) == 0 ? value : -1;
    };
    if (config(GLX_USE_GL) != 1) return LONG_MAX;
    if ((config(GLX_RGBA) == 1) != (descriptor.pixelType == kPixelTypeRgba)) return LONG_MAX;
    const bool doubleBuffer = (descriptor.flags & kPixelFormatDoubleBuffer) != 0;
    if ((config(GLX_DOUBLEBUFFER) == 1) != doubleBuffer) return LONG_MAX;
    if (config(GLX_LEVEL) != descriptor.layerType) return LONG_MAX;
    const int depth = config(GLX_DEPTH_SIZE);
    const int stencil = config(GLX_STENCIL_SIZE);
    const int aux = config(GLX_AUX_BUFFERS);
    if (depth < descriptor.depthBits || stencil < descriptor.stencilBits ||
        aux < descriptor.auxBuffers) {
      return LONG_MAX;
    }
    // Closest depth buffer first, then the fewest buffers nobody asked for.
    long cost = 100L * (depth - descriptor.depthBits);
    cost += 10L * (stencil - descriptor.stencilBits) + (aux - descriptor.auxBuffers);
    cost += config(GLX_ACCUM_RED_SIZE) + config(GLX_ACCUM_GREEN_SIZE) +
            config(GLX_ACCUM_BLUE_SIZE) + config(GLX_ACCUM_ALPHA_SIZE);
    if (visual.c_class != TrueColor) cost += 100000;
    return cost;
  }

  void makeXWindow(const XVisualInfo* visual) {
    Visual* xVisual = visual != nullptr ? visual->visual : DefaultVisual(display_, screen_);
    const int depth = visual != nullptr ? visual->depth : DefaultDepth(display_, screen_);
    colormap_ = XCreateColormap(display_, root_, xVisual, AllocNone);
    XSetWindowAttributes attributes{};
    unsigned long mask =
        CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask;
    // The popup stays above the window manager; a child is its parent's owner's to manage.
    attributes.override_redirect = child_ ? False : True;
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = child_ ? kChildWindowEvents : kWindowEvents;
    if (pointerHidden_) {
      attributes.cursor = blankCursor();
      mask |= CWCursor;
    }
    window_ = XCreateWindow(display_, child_ ? parent_ : root_, x_, y_,
                            static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0, depth,
                            InputOutput, xVisual, mask, &attributes);
    if (window_ == 0) return;
    nameWindow();
  }

  // Title in both encodings and the class, so other programs find the window by either.
  void nameWindow() {
    XStoreName(display_, window_, title_.c_str());
    XChangeProperty(display_, window_, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title_.data()),
                    static_cast<int>(title_.size()));
    std::string name = className_;
    std::string type = className_;
    XClassHint hint{name.data(), type.data()};
    XSetClassHint(display_, window_, &hint);
    XSetWMProtocols(display_, window_, &wmDeleteWindow_, 1);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display_, window_, netWmPid_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
  }

  // OpenGL cannot draw into more than its largest viewport; the window never exceeds it.
  void fitViewportLimit() {
    GLint limits[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, limits);
    if (limits[0] <= 0 || limits[1] <= 0) return;
    viewportLimitWidth_ = static_cast<int>(limits[0]);
    viewportLimitHeight_ = static_cast<int>(limits[1]);
    const int width = std::min(width_, viewportLimitWidth_);
    const int height = std::min(height_, viewportLimitHeight_);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
  }

  Cursor blankCursor() {
    if (blankCursor_ == 0) {
      static const char noBits[1] = {0};
      const Pixmap empty = XCreateBitmapFromData(display_, root_, noBits, 1, 1);
      XColor black{};
      blankCursor_ = XCreatePixmapCursor(display_, empty, empty, &black, &black, 0, 0);
      XFreePixmap(display_, empty);
    }
    return blankCursor_;
  }

  void waitForMap() {
    const auto deadline = std::chrono::steady_clock::now() + kMapWait;
    XEvent event;
    while (usable() && !terminationRequested() &&
           !XCheckTypedWindowEvent(display_, window_, MapNotify, &event)) {
      if (std::chrono::steady_clock::now() >= deadline) {
        debugLog("The window was not mapped in time\n");
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Another client may hold the keyboard for a moment (a menu, a key binding); try again
  // briefly before going on without the grab.
  void grabKeyboard() {
    const auto deadline = std::chrono::steady_clock::now() + kGrabWait;
    while (usable() && !terminationRequested()) {
      const int result =
          XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
      if (result == GrabSuccess) return;
      if (std::chrono::steady_clock::now() >= deadline) {
        debugLog("Keyboard grab failed: %d\n", result);
        return;
      }
      std::this_thread::sleep_for(kRetryPause);
    }
  }

  bool translate(XEvent& event, WindowMessage& message) {
    if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
      altMask_ = altModifierMask(display_);
      return false;
    }
    if (child_ && window_ != 0 && event.xany.window == parent_) {
      followParent(event);
      return false;
    }
    if (window_ == 0 || event.xany.window != window_) return false;
    switch (event.type) {
      case Expose:
        if (event.xexpose.count != 0) return false;
        message = WindowMessage{kWmPaint, 0, 0};
        return true;
      case ConfigureNotify:
        if (event.xconfigure.width == width_ && event.xconfigure.height == height_) return false;
        width_ = event.xconfigure.width;
        height_ = event.xconfigure.height;
        message = WindowMessage{
            kWmSize, 0, packWords(static_cast<unsigned>(width_), static_cast<unsigned>(height_))};
        return true;
      case KeyPress:
      case KeyRelease: {
        const unsigned key = virtualKeyFromKeysym(XLookupKeysym(&event.xkey, 0));
        if (key == 0) return false;
        // With Alt held a key is a system key, as the window procedure expects it.
        const bool alt = (event.xkey.state & altMask_) != 0;
        const std::uint32_t down = alt ? kWmSysKeyDown : kWmKeyDown;
        const std::uint32_t up = alt ? kWmSysKeyUp : kWmKeyUp;
        message = WindowMessage{event.type == KeyPress ? down : up, key, 0};
        return true;
      }
      case ButtonPress:
      case ButtonRelease:
        if (event.xbutton.button != Button1) return false;
        message = WindowMessage{event.type == ButtonPress ? kWmLButtonDown : kWmLButtonUp, 0,
                                packWords(static_cast<unsigned>(event.xbutton.x),
                                          static_cast<unsigned>(event.xbutton.y))};
        return true;
      case MotionNotify:
        message = WindowMessage{kWmMouseMove, 0,
                                packWords(static_cast<unsigned>(event.xmotion.x),
                                          static_cast<unsigned>(event.xmotion.y))};
        return true;
      case ClientMessage:
        if (event.xclient.message_type != wmProtocols_ || event.xclient.format != 32 ||
            static_cast<Atom>(event.xclient.data.l[0]) != wmDeleteWindow_) {
          return false;
        }
        message = WindowMessage{kWmClose, 0, 0};
        return true;
      case DestroyNotify:
        // Destroyed by another client: the procedure hears of it as from any destruction.
        if (event.xdestroywindow.window == window_) {
          windowGone_ = true;
          destroyWindow();
        }
        return false;
      default:
        return false;
    }
  }

  // The child window takes the parent's new size; its own configure event then reports it.
  void followParent(const XEvent& event) {
    if (event.type == DestroyNotify) {
      // Normally the child's own notice came first and this finds no window left.
      windowGone_ = true;
      destroyWindow();
      return;
    }
    if (event.type != ConfigureNotify) return;
    int width = std::max(event.xconfigure.width, 1);
    int height = std::max(event.xconfigure.height, 1);
    if (viewportLimitWidth_ > 0) width = std::min(width, viewportLimitWidth_);
    if (viewportLimitHeight_ > 0) height = std::min(height, viewportLimitHeight_);
    if (width == width_ && height == height_) return;
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }

  Display* display_ = nullptr;
  EmulatedMessageQueue queue_;
  int screen_ = 0;
  Window root_ = 0;
  Window window_ = 0;
  bool child_ = false;
  Window parent_ = 0;
  Colormap colormap_ = 0;
  Cursor blankCursor_ = 0;
  XVisualInfo visualInfo_{};
  bool haveVisual_ = false;
  bool connectionLost_ = false;
  bool windowGone_ = false;
  int terminationWakeup_ = -1;
  bool closeRequested_ = false;
  int viewportLimitWidth_ = 0;
  int viewportLimitHeight_ = 0;
  bool destroying_ = false;
  bool pointerHidden_ = false;
  bool xfixes_ = false;
  bool xfixesHidden_ = false;
  unsigned altMask_ = Mod1Mask;
  Atom wmProtocols_ = 0;
  Atom wmDeleteWindow_ = 0;
  Atom netWmName_ = 0;
  Atom netWmPid_ = 0;
  Atom utf8String_ = 0;
  WindowProcedure procedure_ = nullptr;
  std::string className_;
  std::string title_;
  int x_ = 0;
  int y_ = 0;
  int width_ = 1;
  int height_ = 1;
};

}  // namespace

std::unique_ptr<RendererPlatform> makeX11RendererPlatform() {
  return std::make_unique<X11RendererPlatform>();
}

}  // namespace pellarin
