#pragma once
// Quorvane_R on Windows: a black child window that fills the given parent window and shows the
// preview picture at its own size in the top-left corner.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "host/core/picture.h"

namespace pellarin {

class PreviewWindowWin32 {
 public:
  explicit PreviewWindowWin32(PictureView picture);
  ~PreviewWindowWin32();
  PreviewWindowWin32(const PreviewWindowWin32&) = delete;
  PreviewWindowWin32& operator=(const PreviewWindowWin32&) = delete;

  // Creates and shows the child window in parent. False, with nothing left behind, when parent
  // names no window. parentGone runs once when the parent (and with it the child) is destroyed.
  bool attach(HWND parent, std::function<void()> parentGone);

  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paint();

  PictureView picture_;
  std::vector<std::uint8_t> pixels_;  // the picture as top-down 32-bit BGRX rows
  HWND window_ = nullptr;
  std::function<void()> parentGone_;
  bool destroying_ = false;  // this object destroys the window itself
};

}  // namespace pellarin
