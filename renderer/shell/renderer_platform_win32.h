#pragma once
// The renderer platform on Windows: USER for the window class, the window and the thread's
// message queue, GDI for the device context and its pixel format, WGL for the OpenGL context,
// and KERNEL for the performance counter. Each seam call is the one Windows call it names
// (RegisterClassA, CreateWindowExA, ShowWindow and UpdateWindow, PeekMessageA, TranslateMessage
// and DispatchMessageA, InvalidateRect, ValidateRect, PostQuitMessage, GetDC, ChoosePixelFormat,
// SetPixelFormat, wglCreateContext, wglMakeCurrent, wglDeleteContext, SwapBuffers,
// QueryPerformanceFrequency and QueryPerformanceCounter, ShowCursor), so the functions below
// mirror renderer_platform_x11.cpp one for one and translate nothing but handles: Windows
// already speaks the window procedure's messages and virtual keys.
//
// Implements: the popup "Quorvane_VC" at the corner, no larger than the desktop; the system's
// own close (Alt+F4, a close posted by another program) through DefWindowProcA; a child window
// of a given window handle (--window-id), disabled so that the keyboard and the mouse stay with
// the parent's owner, that takes its parent's size before each frame and ends when its parent
// goes; --root as a child of the desktop window; frame pacing by MsgWaitForMultipleObjects; the
// refresh rate of the window's monitor by EnumDisplaySettingsA.
// Missing: no keyboard grab (Windows gives the focused popup its keys, and the system keeps
// Ctrl+Alt+Del and the like); waits are as fine as the system's timer (about 15.6 ms unless some
// program raised its resolution), so a paced frame may start up to one tick late; a child
// window follows its parent's size at the next frame, not as the parent changes. Under Wine 8
// the OpenGL drawing of a child of another program's window does not show (the child itself is
// there, at the parent's size, and ends with it).

#include <memory>

#include "renderer/shell/renderer_platform.h"

namespace pellarin {

// `instance` is the program's instance handle (WinMain's first argument), which the window
// class and the window are registered and made with.
std::unique_ptr<RendererPlatform> makeWin32RendererPlatform(void* instance);

}  // namespace pellarin
