#include "host/core/preview_window_win32.h"

#include "common/debug_log.h"
#include "common/win32_text.h"
#include "host/core/host_texts.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

namespace {
constexpr const wchar_t* kClassName = L"PellarinPreview";
}  // namespace

PreviewWindowWin32::PreviewWindowWin32(PictureView picture) : picture_(picture) {
  const std::size_t count = static_cast<std::size_t>(picture_.width) * picture_.height;
  if (picture_.width <= 0 || picture_.height <= 0 || picture_.rgb.size() < count * 3) {
    picture_ = {};
    return;
  }
  pixels_.resize(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    pixels_[i * 4 + 0] = picture_.rgb[i * 3 + 2];
    pixels_[i * 4 + 1] = picture_.rgb[i * 3 + 1];
    pixels_[i * 4 + 2] = picture_.rgb[i * 3 + 0];
  }
}

PreviewWindowWin32::~PreviewWindowWin32() {
  if (window_ == nullptr) return;
  destroying_ = true;
  ::DestroyWindow(window_);
}

bool PreviewWindowWin32::attach(HWND parent, std::function<void()> parentGone) {
  if (parent == nullptr || !::IsWindow(parent)) {
    debugLog("host: preview parent %p names no window\n", static_cast<void*>(parent));
    return false;
  }
  const auto black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  if (registerWindowClass(kClassName, &PreviewWindowWin32::procedure, black) == 0) return false;
  parentGone_ = std::move(parentGone);
  // The parent's whole inside, from its top-left corner.
  RECT inside{};
  ::GetClientRect(parent, &inside);
  window_ =
      ::CreateWindowExW(0, kClassName, wideText(kPreviewWindowTitle).c_str(), WS_CHILD | WS_VISIBLE,
                        0, 0, inside.right - inside.left, inside.bottom - inside.top, parent,
                        nullptr, ::GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) {
    // The parent went away meanwhile, or belongs to a desktop this process cannot reach.
    debugLog("host: cannot attach the preview to %p: error %lu\n", static_cast<void*>(parent),
             ::GetLastError());
    return false;
  }
  return true;
}

void PreviewWindowWin32::paint() {
  PAINTSTRUCT paint{};
  const HDC context = ::BeginPaint(window_, &paint);
  if (context != nullptr && !pixels_.empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture_.width;
    info.bmiHeader.biHeight = -picture_.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::SetDIBitsToDevice(context, 0, 0, static_cast<DWORD>(picture_.width),
                        static_cast<DWORD>(picture_.height), 0, 0, 0,
                        static_cast<UINT>(picture_.height), pixels_.data(), &info, DIB_RGB_COLORS);
  }
  ::EndPaint(window_, &paint);
}

LRESULT CALLBACK PreviewWindowWin32::procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* self = windowOwner<PreviewWindowWin32>(window, message, lParam);
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      self->paint();
      return 0;
    case WM_DESTROY:
      // Its parent is gone (the system destroys the children with it), or someone closed it.
      self->window_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (!self->destroying_ && self->parentGone_) self->parentGone_();
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace pellarin
