#include "common/window_win32.h"

#include "common/debug_log.h"

namespace pellarin {

ATOM registerWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, UINT style) {
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (const ATOM atom = static_cast<ATOM>(::GetClassInfoExW(module, name, &existing))) return atom;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = module;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  const ATOM atom = ::RegisterClassExW(&windowClass);
  if (atom == 0) {
    debugLog("cannot register a window class: error %lu\n", ::GetLastError());
  }
  return atom;
}

}  // namespace pellarin
