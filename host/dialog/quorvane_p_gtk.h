#pragma once
// The settings dialog's window on GTK: every control at its twip position on a fixed layout,
// drawn in the dialog font, with the frame and the buttons drawn by the host's own controls.

#include <gtk/gtk.h>

#include <array>
#include <memory>
#include <vector>

#include "host/controls/cc_xp_button_gtk.h"
#include "host/controls/gfx_frame_x.h"
#include "host/dialog/dialog_layout.h"
#include "host/dialog/dialog_view.h"
#include "host/dialog/lost_window_errors_x11.h"

namespace pellarin {

class Quorvane_P;

class QuorvanePViewGtk final : public DialogView {
 public:
  explicit QuorvanePViewGtk(TextPainter& painter);
  ~QuorvanePViewGtk() override;
  QuorvanePViewGtk(const QuorvanePViewGtk&) = delete;
  QuorvanePViewGtk& operator=(const QuorvanePViewGtk&) = delete;

  GtkWindow* window() const { return GTK_WINDOW(window_); }
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

 private:
  struct Handler;

  // A label on the frame (or on the form), in the dialog font.
  GtkWidget* placeLabel(const char* text, const dialog_layout::TwipRect& at, bool centred = false,
                        bool onFrame = true);
  void buildButtons(TextPainter& painter);
  static gboolean onFixedDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean onMarkDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean onBoxDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean onKindPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean onBoxRelease(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void onBoxRealize(GtkWidget* widget, gpointer self);
  static void onWindowRealize(GtkWidget* widget, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onDestroyedFromOutside(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onTick(gpointer self);

  GtkWidget* window_;
  GtkWidget* fixed_;
  GtkWidget* repeat_;
  GtkWidget* fileName_;
  std::array<GtkWidget*, 3> marks_{};
  std::array<bool, 3> markSelected_{};
  std::array<GtkWidget*, 2> boxes_{};
  std::array<int, 2> boxFrame_{};
  std::array<cairo_surface_t*, 2> markSurfaces_{};
  std::vector<cairo_surface_t*> frameSurfaces_;
  GFXFrameX frame_;
  std::unique_ptr<XPButtonGtk> fileButton_;
  std::unique_ptr<XPButtonGtk> setButton_;
  std::unique_ptr<XPButtonGtk> cancelButton_;
  Quorvane_P* form_ = nullptr;
  guint timer_ = 0;
  GMainLoop* loop_ = nullptr;
  // Another program destroyed the window: nothing may be drawn into it any more.
  bool windowGone_ = false;
  std::unique_ptr<LostWindowErrorsX11> lostWindowErrors_;
  int left_ = 0;
  int top_ = 0;
};

}  // namespace pellarin
