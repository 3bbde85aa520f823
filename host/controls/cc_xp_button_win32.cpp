#include "host/controls/cc_xp_button_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include "common/debug_log.h"
#include "common/window_win32.h"
#include "host/controls/canvas_paint_win32.h"

namespace pellarin {

namespace {

constexpr const wchar_t* kClassName = L"ccXPButton";

MouseButton heldButtonOf(WPARAM keys) {
  if (keys & MK_LBUTTON) return MouseButton::kLeft;
  if (keys & MK_RBUTTON) return MouseButton::kRight;
  if (keys & MK_MBUTTON) return MouseButton::kMiddle;
  return MouseButton::kNone;
}

std::int16_t shiftOf(WPARAM keys) {
  std::int16_t shift = 0;
  if (keys & MK_SHIFT) shift |= 1;
  if (keys & MK_CONTROL) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

ButtonKey keyOf(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      return ButtonKey::kEnter;
    case VK_SPACE:
      return ButtonKey::kSpace;
    case VK_LEFT:
      return ButtonKey::kLeft;
    case VK_UP:
      return ButtonKey::kUp;
    case VK_RIGHT:
      return ButtonKey::kRight;
    case VK_DOWN:
      return ButtonKey::kDown;
    default:
      return ButtonKey::kOther;
  }
}

}  // namespace

XPButtonWin32::XPButtonWin32(HWND parent, int left, int top, Colour containerBackColour,
                             TextPainter& painter, int twipsPerPixel)
    : button_(containerBackColour, painter, this, twipsPerPixel) {
  // Double clicks come as their own message, as the button's table wants them.
  registerWindowClass(kClassName, ownedWindowProcedure<XPButtonWin32>, nullptr, CS_DBLCLKS);
  // The window procedure takes this button from the creation parameters (WM_NCCREATE).
  if (!::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, left, top, 1, 1,
                         parent, nullptr, ::GetModuleHandleW(nullptr), this)) {
    debugLog("button: no window: error %lu\n", ::GetLastError());
  }
}

XPButtonWin32::~XPButtonWin32() {
  // The hooks go with the control.
  stopFollowingForm();
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

void XPButtonWin32::followForm(HWND form) {
  stopFollowingForm();
  if (!form || !::SetWindowSubclass(form, formHook, reinterpret_cast<UINT_PTR>(this),
                                    reinterpret_cast<DWORD_PTR>(this))) {
    debugLog("button: cannot follow the form's activation\n");
    return;
  }
  form_ = form;
  // An MDI child is never the active window itself: its caption's activation tells.
  const bool mdiChild = (::GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_MDICHILD) != 0;
  activationMessage_ = mdiChild ? WM_NCACTIVATE : WM_ACTIVATE;
  if (::GetActiveWindow() == form) button_.formActivation(true);
}

void XPButtonWin32::stopFollowingForm() {
  if (form_) ::RemoveWindowSubclass(form_, formHook, reinterpret_cast<UINT_PTR>(this));
  form_ = nullptr;
}

void XPButtonWin32::trackMouseLeave() {
  TRACKMOUSEEVENT request{};
  request.cbSize = sizeof(request);
  request.dwFlags = TME_LEAVE;
  request.hwndTrack = window_;
  // A failure leaves the button hot until the pointer comes back; nothing else to do.
  if (!::TrackMouseEvent(&request)) debugLog("button: no leave notice\n");
}

void XPButtonWin32::moveFocus(bool backwards) {
  // What Tab or Shift+Tab would do in the form.
  HWND top = ::GetAncestor(window_, GA_ROOT);
  HWND next = top ? ::GetNextDlgTabItem(top, window_, backwards ? TRUE : FALSE) : nullptr;
  if (next) ::SetFocus(next);
}

void XPButtonWin32::setWindowEnabled(bool enabled) {
  if (window_) ::EnableWindow(window_, enabled ? TRUE : FALSE);
}

void XPButtonWin32::runPendingEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the loop that owns the program's end.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void XPButtonWin32::canvasChanged() {
  if (!window_) return;
  const PixelCanvas& canvas = button_.canvas();
  const int w = canvas.width();
  const int h = canvas.height();
  if (w != regionWidth_ || h != regionHeight_) {
    ::SetWindowPos(window_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Corners rounded by 3 pixels; the window owns the region from here on.
    ::SetWindowRgn(window_, ::CreateRoundRectRgn(0, 0, w + 1, h + 1, 3, 3), TRUE);
    regionWidth_ = w;
    regionHeight_ = h;
  }
  ::InvalidateRect(window_, nullptr, FALSE);
}

ScreenPoint XPButtonWin32::clientOriginOnScreen() {
  POINT origin{0, 0};
  if (!window_ || !::ClientToScreen(window_, &origin)) return {};
  return {origin.x, origin.y};
}

void XPButtonWin32::movePointerTo(ScreenPoint point) {
  ::SetCursorPos(point.x, point.y);
}

// ---- Messages -----------------------------------------------------------------------------

LRESULT XPButtonWin32::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      onPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_MOUSEMOVE:
      onMotion(wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
      onPress(MouseButton::kLeft);
      return 0;
    case WM_RBUTTONDOWN:
      onPress(MouseButton::kRight);
      return 0;
    case WM_MBUTTONDOWN:
      onPress(MouseButton::kMiddle);
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      // The second press of a double click comes as this message alone.
      ::SetCapture(window_);
      button_.doubleClick();
      return 0;
    case WM_LBUTTONUP:
      onRelease(MouseButton::kLeft);
      return 0;
    case WM_RBUTTONUP:
      onRelease(MouseButton::kRight);
      return 0;
    case WM_MBUTTONUP:
      onRelease(MouseButton::kMiddle);
      return 0;
    case WM_KEYDOWN:
      if (onKeyPress(wParam)) return 0;
      break;
    case WM_KEYUP:
      if (onKeyRelease(wParam)) return 0;
      break;
    case WM_GETDLGCODE: {
      // The arrows and Enter are the button's own; Tab stays the form's.
      const auto* queued = reinterpret_cast<const MSG*>(lParam);
      const bool enter = queued && queued->message == WM_KEYDOWN && queued->wParam == VK_RETURN;
      return DLGC_WANTARROWS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_SETFOCUS:
      button_.focusGained();
      return 0;
    case WM_KILLFOCUS:
      button_.focusLost();
      return 0;
    case WM_MOUSELEAVE:
      button_.mouseLeft();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void XPButtonWin32::onPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  if (dc) paintCanvas(dc, button_.canvas());
  ::EndPaint(window_, &paint);
}

void XPButtonWin32::onMotion(WPARAM wParam, LPARAM lParam) {
  button_.mouseMove(heldButtonOf(wParam), shiftOf(wParam), GET_X_LPARAM(lParam),
                    GET_Y_LPARAM(lParam));
}

void XPButtonWin32::onPress(MouseButton which) {
  // As on the desktop the press focuses the button before the button sees it, and the button
  // keeps the pointer's messages until the press ends.
  if (::GetFocus() != window_) ::SetFocus(window_);
  ::SetCapture(window_);
  button_.mouseDown(which);
}

void XPButtonWin32::onRelease(MouseButton which) {
  button_.mouseUp(which);
  if (window_ && ::GetCapture() == window_ && (::GetKeyState(VK_LBUTTON) & 0x8000) == 0 &&
      (::GetKeyState(VK_RBUTTON) & 0x8000) == 0 && (::GetKeyState(VK_MBUTTON) & 0x8000) == 0) {
    ::ReleaseCapture();
  }
}

bool XPButtonWin32::onKeyPress(WPARAM key) {
  const ButtonKey which = keyOf(key);
  if (which == ButtonKey::kOther) return false;
  button_.keyDown(which);
  return true;
}

bool XPButtonWin32::onKeyRelease(WPARAM key) {
  const ButtonKey which = keyOf(key);
  if (which == ButtonKey::kOther) return false;
  button_.keyUp(which);
  return true;
}

void XPButtonWin32::onFormActive(UINT message, WPARAM wParam) {
  // WM_ACTIVATE carries "minimised" in its high word: only the low word says active or not.
  const bool active = message == WM_ACTIVATE ? LOWORD(wParam) != WA_INACTIVE : wParam != 0;
  button_.formActivation(active);
}

LRESULT CALLBACK XPButtonWin32::formHook(HWND form, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
  // The form's own procedure first; its result stands.
  const LRESULT result = ::DefSubclassProc(form, message, wParam, lParam);
  auto* self = reinterpret_cast<XPButtonWin32*>(data);
  if (message == self->activationMessage_) self->onFormActive(message, wParam);
  if (message == WM_NCDESTROY) self->stopFollowingForm();
  return result;
}

}  // namespace pellarin
