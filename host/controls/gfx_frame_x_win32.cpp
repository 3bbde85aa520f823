#include "host/controls/gfx_frame_x_win32.h"

#include "common/debug_log.h"
#include "common/window_win32.h"
#include "host/controls/canvas_paint_win32.h"

namespace pellarin {

namespace {

constexpr const wchar_t* kClassName = L"GFXFrameX";

// What a container passes on: its controls tell the form, not the frame.
bool isControlNotice(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return true;
    default:
      return false;
  }
}

}  // namespace

GFXFrameXWin32::GFXFrameXWin32(HWND parent, int left, int top, Colour containerBackColour,
                               int twipsPerPixel)
    : frame_(containerBackColour, twipsPerPixel) {
  frame_.onRedrawn = [this] { onRedrawn(); };
  registerWindowClass(kClassName, ownedWindowProcedure<GFXFrameXWin32>, nullptr);
  if (!::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"",
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, left, top, 1, 1, parent, nullptr,
                         ::GetModuleHandleW(nullptr), this)) {
    debugLog("frame: no window: error %lu\n", ::GetLastError());
  }
}

GFXFrameXWin32::~GFXFrameXWin32() {
  frame_.onRedrawn = nullptr;
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

void GFXFrameXWin32::onRedrawn() {
  if (!window_) return;
  const PixelCanvas& canvas = frame_.canvas();
  RECT now{};
  ::GetClientRect(window_, &now);
  if (now.right != canvas.width() || now.bottom != canvas.height()) {
    ::SetWindowPos(window_, nullptr, 0, 0, canvas.width(), canvas.height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(window_, nullptr, FALSE);
}

void GFXFrameXWin32::paint(HDC dc) {
  paintCanvas(dc, frame_.canvas());
  if (paintOver) paintOver(dc);
}

LRESULT GFXFrameXWin32::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (isControlNotice(message)) {
    if (HWND parent = ::GetParent(window_)) {
      return ::SendMessageW(parent, message, wParam, lParam);
    }
  }
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT painting;
      HDC dc = ::BeginPaint(window_, &painting);
      if (dc) paint(dc);
      ::EndPaint(window_, &painting);
      return 0;
    }
    case WM_PRINTCLIENT:
      // Controls without a face of their own show the frame under them.
      paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace pellarin
