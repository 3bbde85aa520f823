#pragma once
// What every window class of ours on Windows shares: registration once per process, and how a
// window procedure finds the C++ object behind a window (the creation parameter given to
// CreateWindowExW, kept in GWLP_USERDATA from the window's first message on).

#include <windows.h>

namespace pellarin {

// Registers a window class of this module once (an existing class of that name is taken as it
// is) with the arrow cursor; the atom, 0 when it cannot be registered (with a debug line).
ATOM registerWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, UINT style = 0);

// The object behind the window; null before WM_NCCREATE, for a window made without one, and
// after its owner cleared GWLP_USERDATA.
template <class Owner>
Owner* windowOwner(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The window procedure of a class whose object owns one window: its `window_` is set from the
// first message on (before CreateWindowExW returns) and cleared when the window goes
// (WM_NCDESTROY; nothing of the window may be called after it); every message in between goes to
// its `onMessage`. A class grants access with
//   template <class> friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
template <class Owner>
LRESULT CALLBACK ownedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Owner* owner = windowOwner<Owner>(window, message, lParam);
  if (owner == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE) owner->window_ = window;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    owner->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return owner->onMessage(message, wParam, lParam);
}

}  // namespace pellarin
