#pragma once
// The settings dialog's window on Win32: every control at its twip position, the texts in the
// dialog font through the wide calls, with the frame and the buttons drawn by the host's own
// controls.
//
// Implements: the form (caption and close box only), the frame with the etched heading box, the
// option marks and kind labels (any mouse button), the track combo box, the file name label,
// the animation boxes with the hand pointer, the buttons, the credit line, the animation timer
// (SetTimer), the caption animation (DrawAnimatedRects, IDANI_CAPTION), the hourglass pointer,
// Tab between the controls and the buttons' access keys (Alt+key). The title is findable in its
// code page 932 form too: where the ANSI code page is not 932, a hidden window carries the
// title as the narrow calls read those bytes.
// Missing: a window destroyed by another program (Windows lets no other process do that).

#include <windows.h>

#include "common/window_win32.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "host/controls/cc_xp_button_win32.h"
#include "host/controls/gfx_frame_x_win32.h"
#include "host/dialog/dialog_layout.h"
#include "host/dialog/dialog_view.h"

namespace pellarin {

class Quorvane_P;

class QuorvanePViewWin32 final : public DialogView {
 public:
  explicit QuorvanePViewWin32(TextPainter& painter);
  ~QuorvanePViewWin32() override;
  QuorvanePViewWin32(const QuorvanePViewWin32&) = delete;
  QuorvanePViewWin32& operator=(const QuorvanePViewWin32&) = delete;

  HWND window() const { return window_; }
  // Routes the controls' events to the form and starts its timer.
  void connect(Quorvane_P& form);
  // Shows the window and returns when it has been closed.
  void runModal();

  ScreenSize screenSize() override;
  ScreenSize windowSize() override;
  void moveWindow(int left, int top) override;
  std::optional<ScreenRect> windowRect() override;
  bool animationsEnabled() override;
  void zoomWindow(const ScreenRect& from, const ScreenRect& to) override;
  void setBusyPointer(bool busy) override;
  void setOptionMark(int index, bool selected) override;
  void setRepeatEnabled(bool enabled) override;
  void setFileButtonEnabled(bool enabled) override;
  void setRepeatText(std::string_view text) override;
  std::string repeatText() override;
  void addRepeatEntry(std::string_view text) override;
  void setFileNameCaption(std::string_view text) override;
  void showAnimationFrame(int box, int frame) override;
  void clearAnimationBox(int box) override;
  void stopAnimationTimer() override;
  void close() override;

  // The font of the labels and buttons: the Japanese proportional gothic of the desktop at 9.75
  // points, or another proportional Japanese font where it is not installed.
  static FontSpec dialogFont();

 private:
  // A label, an option mark or an animation box: small windows of one class that the view
  // paints and whose presses it routes.
  struct Part {
    enum class Kind { kLabel, kKindLabel, kMark, kBox };
    QuorvanePViewWin32* view;
    Kind kind;
    int index;
    std::wstring text;
    bool centred = false;
    // Lines are broken to the label's width; a label of one line grows to show its text.
    bool wraps = false;
  };

  int px(int twips) const;
  HWND placePart(HWND parent, Part part, const dialog_layout::TwipRect& at);
  void buildButtons(TextPainter& painter);
  void buildRepeatBox();
  void paintPart(const Part& part, HWND window, HDC dc);
  // What the parent window shows under a part: controls without a face of their own.
  static void paintParentUnder(HWND window, HDC dc);
  void paintEtchedBox(HDC dc);
  void pressPart(const Part& part, UINT message, LPARAM lParam);
  HCURSOR cursorOver(HWND part) const;
  bool handleAccessKey(wchar_t typed);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  template <class>
  friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK partProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  int twipsPerPixel_;
  HWND window_ = nullptr;
  HWND titleMarker_ = nullptr;
  HFONT font_ = nullptr;
  HCURSOR hand_ = nullptr;
  std::unique_ptr<GFXFrameXWin32> frame_;
  HWND repeat_ = nullptr;
  HWND fileName_ = nullptr;
  std::vector<std::unique_ptr<Part>> parts_;
  std::array<HWND, 3> marks_{};
  std::array<bool, 3> markSelected_{};
  std::array<HWND, 2> boxes_{};
  std::array<int, 2> boxFrame_{};
  std::array<PixelCanvas, 2> markCanvases_;
  std::vector<PixelCanvas> frameCanvases_;
  std::unique_ptr<XPButtonWin32> fileButton_;
  std::unique_ptr<XPButtonWin32> setButton_;
  std::unique_ptr<XPButtonWin32> cancelButton_;
  Quorvane_P* form_ = nullptr;
  UINT_PTR timer_ = 0;
  bool busy_ = false;
  bool closed_ = false;
  bool destroying_ = false;
  // The window went without the view taking it down: nothing may be drawn into it any more.
  bool windowGone_ = false;
  HWND focusBeforeDeactivation_ = nullptr;
};

}  // namespace pellarin
