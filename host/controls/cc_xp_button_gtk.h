#pragma once
// A ccXPButton in a GTK window: a focusable drawing area that shows the button's canvas inside
// its rounded outline and turns the widget's and the form's signals into the button's inputs.

#include <gtk/gtk.h>

#include "host/controls/button_window.h"
#include "host/controls/cc_xp_button.h"

namespace pellarin {

class XPButtonGtk final : public ButtonWindow {
 public:
  XPButtonGtk(Colour containerBackColour, TextPainter& painter);
  ~XPButtonGtk() override;
  XPButtonGtk(const XPButtonGtk&) = delete;
  XPButtonGtk& operator=(const XPButtonGtk&) = delete;

  GtkWidget* widget() const { return area_; }
  ccXPButton& button() { return button_; }
  // Follows the activation of the form's window (the form's activate/deactivate messages).
  void followForm(GtkWindow* form);

  void trackMouseLeave() override;
  void moveFocus(bool backwards) override;
  void setWindowEnabled(bool enabled) override;
  void runPendingEvents() override;
  void canvasChanged() override;
  ScreenPoint clientOriginOnScreen() override;
  void movePointerTo(ScreenPoint point) override;

 private:
  static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean onPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onKeyRelease(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer self);
  static gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer self);
  static gboolean onEnter(GtkWidget*, GdkEventCrossing* event, gpointer self);
  static gboolean onLeave(GtkWidget*, GdkEventCrossing* event, gpointer self);
  static void onFormActive(GObject*, GParamSpec*, gpointer self);

  GtkWidget* area_;
  GtkWindow* form_ = nullptr;
  ccXPButton button_;
};

}  // namespace pellarin
