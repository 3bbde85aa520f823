#pragma once
// Seam: the settings dialog's window and controls, as the dialog's behaviour sees them.

#include <optional>
#include <string>
#include <string_view>

#include "host/dialog/screen_geometry.h"

namespace pellarin {

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual ScreenSize screenSize() = 0;
  // The window's outer size.
  virtual ScreenSize windowSize() = 0;
  virtual void moveWindow(int left, int top) = 0;
  // The window's rectangle on the screen; nothing when it cannot be read.
  virtual std::optional<ScreenRect> windowRect() = 0;
  // False when the user has turned the desktop's animations off.
  virtual bool animationsEnabled() = 0;
  // The desktop's zoom effect from one rectangle to another (opening and closing); returns
  // when it is over.
  virtual void zoomWindow(const ScreenRect& from, const ScreenRect& to) = 0;
  // The hourglass pointer over the whole dialog, or the default one.
  virtual void setBusyPointer(bool busy) = 0;

  // Option marks 0 "none", 1 "CD", 2 "file".
  virtual void setOptionMark(int index, bool selected) = 0;
  virtual void setRepeatEnabled(bool enabled) = 0;
  virtual void setFileButtonEnabled(bool enabled) = 0;
  virtual void setRepeatText(std::string_view text) = 0;
  virtual std::string repeatText() = 0;
  virtual void addRepeatEntry(std::string_view text) = 0;
  virtual void setFileNameCaption(std::string_view text) = 0;

  // Animation boxes 0 and 1; frames 1 to 24.
  virtual void showAnimationFrame(int box, int frame) = 0;
  // Removes what was drawn into the box at run time.
  virtual void clearAnimationBox(int box) = 0;
  virtual void stopAnimationTimer() = 0;

  // Takes the window away; the modal run of the dialog ends.
  virtual void close() = 0;
};

}  // namespace pellarin
