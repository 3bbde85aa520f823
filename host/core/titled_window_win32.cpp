#include "common/debug_log.h"
#include "common/win32_text.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

namespace {
constexpr const wchar_t* kClassName = L"PellarinTitledHiddenWindow";
}  // namespace

TitledHiddenWindowWin32::TitledHiddenWindowWin32(std::string_view title,
                                                 std::function<void()> closeRequested)
    : closeRequested_(std::move(closeRequested)) {
  if (registerWindowClass(kClassName, &TitledHiddenWindowWin32::procedure, nullptr) == 0) return;
  // Top-level, so that FindWindow sees it (a message-only window it would not); never shown,
  // and a tool window, so that nothing of it reaches the taskbar.
  window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, wideText(title).c_str(), WS_POPUP, 0, 0,
                              1, 1, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (window_ == nullptr)
    debugLog("host: cannot create the hidden window: %lu\n", ::GetLastError());
}

TitledHiddenWindowWin32::~TitledHiddenWindowWin32() {
  if (window_ == nullptr) return;
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  ::DestroyWindow(window_);
}

LRESULT CALLBACK TitledHiddenWindowWin32::procedure(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
  auto* self = windowOwner<TitledHiddenWindowWin32>(window, message, lParam);
  switch (message) {
    case WM_CLOSE:
      // The form unloads on its own terms; the window goes with the program.
      if (self != nullptr && self->closeRequested_) self->closeRequested_();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the unload request never cancels
    case WM_ENDSESSION:
      if (wParam != FALSE && self != nullptr && self->closeRequested_) self->closeRequested_();
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace pellarin
