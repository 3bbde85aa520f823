#include "host/controls/cc_xp_button_gtk.h"

#include "host/controls/canvas_paint_gtk.h"

namespace pellarin {

namespace {

XPButtonGtk* self(gpointer data) {
  return static_cast<XPButtonGtk*>(data);
}

MouseButton mouseButtonOf(guint button) {
  switch (button) {
    case 1:
      return MouseButton::kLeft;
    case 2:
      return MouseButton::kMiddle;
    case 3:
      return MouseButton::kRight;
    default:
      return MouseButton::kNone;
  }
}

std::int16_t shiftOf(guint state) {
  std::int16_t shift = 0;
  if (state & GDK_SHIFT_MASK) shift |= 1;
  if (state & GDK_CONTROL_MASK) shift |= 2;
  if (state & GDK_MOD1_MASK) shift |= 4;
  return shift;
}

MouseButton heldButtonOf(guint state) {
  if (state & GDK_BUTTON1_MASK) return MouseButton::kLeft;
  if (state & GDK_BUTTON3_MASK) return MouseButton::kRight;
  if (state & GDK_BUTTON2_MASK) return MouseButton::kMiddle;
  return MouseButton::kNone;
}

ButtonKey keyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return ButtonKey::kEnter;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      return ButtonKey::kSpace;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return ButtonKey::kLeft;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return ButtonKey::kUp;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return ButtonKey::kRight;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return ButtonKey::kDown;
    default:
      return ButtonKey::kOther;
  }
}

// GDK reports the second press of a double click as a plain press followed at once by the
// double-click event it queues behind it; the desktop reports that press as the double click
// alone. Seen as a press it would arm the button again and its release would click twice.
bool startsDoubleClick(GdkEventButton* press) {
  GdkEvent* next = gdk_display_peek_event(gdk_window_get_display(press->window));
  if (next == nullptr) return false;
  const bool doubleClick = next->type == GDK_2BUTTON_PRESS &&
                           next->button.window == press->window &&
                           next->button.button == press->button && next->button.time == press->time;
  gdk_event_free(next);
  return doubleClick;
}

}  // namespace

XPButtonGtk::XPButtonGtk(Colour containerBackColour, TextPainter& painter)
    : area_(gtk_drawing_area_new()), button_(containerBackColour, painter, this) {
  g_object_ref_sink(area_);
  gtk_widget_set_can_focus(area_, TRUE);
  gtk_widget_add_events(area_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                   GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                   GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK |
                                   GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK);
  g_signal_connect(area_, "draw", G_CALLBACK(onDraw), this);
  g_signal_connect(area_, "motion-notify-event", G_CALLBACK(onMotion), this);
  g_signal_connect(area_, "button-press-event", G_CALLBACK(onPress), this);
  g_signal_connect(area_, "button-release-event", G_CALLBACK(onRelease), this);
  g_signal_connect(area_, "key-press-event", G_CALLBACK(onKeyPress), this);
  g_signal_connect(area_, "key-release-event", G_CALLBACK(onKeyRelease), this);
  g_signal_connect(area_, "focus-in-event", G_CALLBACK(onFocusIn), this);
  g_signal_connect(area_, "focus-out-event", G_CALLBACK(onFocusOut), this);
  g_signal_connect(area_, "enter-notify-event", G_CALLBACK(onEnter), this);
  g_signal_connect(area_, "leave-notify-event", G_CALLBACK(onLeave), this);
}

XPButtonGtk::~XPButtonGtk() {
  // The hooks go with the control.
  if (form_) {
    g_signal_handlers_disconnect_by_data(form_, this);
    g_object_remove_weak_pointer(G_OBJECT(form_), reinterpret_cast<gpointer*>(&form_));
  }
  g_signal_handlers_disconnect_by_data(area_, this);
  g_object_unref(area_);
}

void XPButtonGtk::followForm(GtkWindow* form) {
  form_ = form;
  g_object_add_weak_pointer(G_OBJECT(form_), reinterpret_cast<gpointer*>(&form_));
  g_signal_connect(form_, "notify::is-active", G_CALLBACK(onFormActive), this);
  if (gtk_window_is_active(form_)) button_.formActivation(true);
}

void XPButtonGtk::trackMouseLeave() {
  // GTK reports every leave of the widget on its own; nothing to ask for.
}

void XPButtonGtk::moveFocus(bool backwards) {
  GtkWidget* top = gtk_widget_get_toplevel(area_);
  if (gtk_widget_is_toplevel(top)) {
    gtk_widget_child_focus(top, backwards ? GTK_DIR_TAB_BACKWARD : GTK_DIR_TAB_FORWARD);
  }
}

void XPButtonGtk::setWindowEnabled(bool enabled) {
  gtk_widget_set_sensitive(area_, enabled);
}

void XPButtonGtk::runPendingEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void XPButtonGtk::canvasChanged() {
  const PixelCanvas& canvas = button_.canvas();
  gtk_widget_set_size_request(area_, canvas.width(), canvas.height());
  gtk_widget_queue_draw(area_);
}

ScreenPoint XPButtonGtk::clientOriginOnScreen() {
  GdkWindow* window = gtk_widget_get_window(area_);
  if (!window) return {};
  int x = 0;
  int y = 0;
  gdk_window_get_origin(window, &x, &y);
  return {x, y};
}

void XPButtonGtk::movePointerTo(ScreenPoint point) {
  GdkDisplay* display = gtk_widget_get_display(area_);
  GdkSeat* seat = gdk_display_get_default_seat(display);
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer) gdk_device_warp(pointer, gtk_widget_get_screen(area_), point.x, point.y);
}

gboolean XPButtonGtk::onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  const ccXPButton& button = self(data)->button_;
  paintCanvas(cr, button.canvas(),
              [&button](int x, int y) { return button.windowRegionContains(x, y); });
  return TRUE;
}

gboolean XPButtonGtk::onMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  self(data)->button_.mouseMove(heldButtonOf(event->state), shiftOf(event->state),
                                static_cast<int>(event->x), static_cast<int>(event->y));
  return TRUE;
}

gboolean XPButtonGtk::onPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  if (event->type == GDK_BUTTON_PRESS && startsDoubleClick(event)) return TRUE;
  if (event->type == GDK_2BUTTON_PRESS) {
    self(data)->button_.doubleClick();
  } else if (event->type == GDK_BUTTON_PRESS) {
    // As on the desktop the press focuses the button before the button sees it.
    if (!gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
    self(data)->button_.mouseDown(mouseButtonOf(event->button));
  }
  return TRUE;
}

gboolean XPButtonGtk::onRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  self(data)->button_.mouseUp(mouseButtonOf(event->button));
  return TRUE;
}

gboolean XPButtonGtk::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  const ButtonKey key = keyOf(event->keyval);
  if (key == ButtonKey::kOther) return FALSE;
  self(data)->button_.keyDown(key);
  return TRUE;
}

gboolean XPButtonGtk::onKeyRelease(GtkWidget*, GdkEventKey* event, gpointer data) {
  const ButtonKey key = keyOf(event->keyval);
  if (key == ButtonKey::kOther) return FALSE;
  self(data)->button_.keyUp(key);
  return TRUE;
}

gboolean XPButtonGtk::onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
  self(data)->button_.focusGained();
  return FALSE;
}

gboolean XPButtonGtk::onFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
  self(data)->button_.focusLost();
  return FALSE;
}

gboolean XPButtonGtk::onEnter(GtkWidget*, GdkEventCrossing* event, gpointer data) {
  // Entering is a move onto the button, as on the desktop where every entry brings a move
  // message; X may deliver no motion for the step that crossed the edge.
  if (event->mode == GDK_CROSSING_NORMAL) {
    self(data)->button_.mouseMove(heldButtonOf(event->state), shiftOf(event->state),
                                  static_cast<int>(event->x), static_cast<int>(event->y));
  }
  return FALSE;
}

gboolean XPButtonGtk::onLeave(GtkWidget*, GdkEventCrossing* event, gpointer data) {
  // Crossings caused by grabs are not the pointer leaving.
  if (event->mode == GDK_CROSSING_NORMAL) self(data)->button_.mouseLeft();
  return FALSE;
}

void XPButtonGtk::onFormActive(GObject* form, GParamSpec*, gpointer data) {
  self(data)->button_.formActivation(gtk_window_is_active(GTK_WINDOW(form)));
}

}  // namespace pellarin
