#include "host/dialog/quorvane_p_gtk.h"

#include <gdk/gdkx.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "common/debug_log.h"
#include "common/system_names.h"
#include "host/controls/canvas_paint_gtk.h"
#include "host/controls/twips.h"
#include "host/dialog/dialog_assets.h"
#include "host/dialog/dialog_button.h"
#include "host/dialog/dialog_layout.h"
#include "host/dialog/dialog_texts.h"
#include "host/dialog/frame_extents_x11.h"
#include "host/dialog/quorvane_p.h"
#include "host/dialog/zoom_animation.h"
#include "host/dialog/zoom_outline_x11.h"

namespace pellarin {

namespace {

namespace L = dialog_layout;
using dialog_layout::kFormBack;
using dialog_layout::TwipRect;

// How long the window manager may take to say what frame the dialog will get.
constexpr std::chrono::milliseconds kFrameExtentsWait{500};
// The dialog font: the Japanese proportional gothic the dialog was laid out with is not on
// this desktop; IPA P Gothic has the same metrics class.
constexpr const char* kDialogFontFamily = "IPAPGothic";

int px(int twips) {
  return twipsToPixels(twips);
}

// A control on the frame, in pixels of the form.
int onFrameX(int twips) {
  return px(L::kFrame.left + twips);
}
int onFrameY(int twips) {
  return px(L::kFrame.top + twips);
}

const char* const kCss = R"css(
window.pellarin-dialog, window.pellarin-dialog fixed { background-color: #E0E0E0; }
window.pellarin-dialog label { font-family: "IPAPGothic"; font-size: 9.75pt; color: #000000; }
window.pellarin-dialog combobox entry {
  min-height: 0; min-width: 0; padding: 0 2px; margin: 0;
  font-family: "IPAPGothic"; font-size: 9.75pt;
  background-color: #FFFFFF; border-radius: 0; border-color: #7F9DB9;
}
window.pellarin-dialog combobox button {
  min-height: 0; min-width: 0; padding: 0 1px; margin: 0; border-radius: 0;
}
window.pellarin-dialog combobox arrow { min-height: 8px; min-width: 8px; }
)css";

// One cairo surface per built-in picture, made on first use.
cairo_surface_t* surfaceOf(const dialog_assets::AssetImage& image) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.pixels[y * image.width + x];
      const std::uint32_t a = p >> 24;
      auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
      row[x] = a << 24 | pre((p >> 16) & 0xFF) << 16 | pre((p >> 8) & 0xFF) << 8 | pre(p & 0xFF);
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

GdkPixbuf* handPixbuf() {
  const dialog_assets::AssetImage hand = dialog_assets::handPointer();
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, hand.width, hand.height);
  guchar* data = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < hand.height; ++y) {
    for (int x = 0; x < hand.width; ++x) {
      const std::uint32_t p = hand.pixels[y * hand.width + x];
      guchar* out = data + y * stride + x * 4;
      out[0] = static_cast<guchar>(p >> 16);
      out[1] = static_cast<guchar>(p >> 8);
      out[2] = static_cast<guchar>(p);
      out[3] = static_cast<guchar>(p >> 24);
    }
  }
  return pixbuf;
}

QuorvanePViewGtk* self(gpointer data) {
  return static_cast<QuorvanePViewGtk*>(data);
}

int indexOf(GtkWidget* widget) {
  return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "pellarin-index"));
}

}  // namespace

QuorvanePViewGtk::QuorvanePViewGtk(TextPainter& painter)
    : window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      fixed_(gtk_fixed_new()),
      repeat_(gtk_combo_box_text_new_with_entry()),
      fileName_(nullptr),
      frame_(kFormBack, kTwipsPerPixel) {
  g_object_ref_sink(window_);
  for (int i = 0; i < 2; ++i) {
    markSurfaces_[static_cast<std::size_t>(i)] = surfaceOf(dialog_assets::optionMark(i == 1));
  }
  for (int i = 1; i <= Quorvane_P::kFramesPerBox; ++i) {
    frameSurfaces_.push_back(surfaceOf(dialog_assets::animationFrame(i)));
  }
  static GtkCssProvider* css = [] {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    return provider;
  }();
  (void)css;

  GtkWindow* window = GTK_WINDOW(window_);
  gtk_style_context_add_class(gtk_widget_get_style_context(window_), "pellarin-dialog");
  gtk_window_set_title(window, kDialogTitle);
  // A dialog-type window: the desktop gives it a close box but no minimise or maximise.
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_skip_taskbar_hint(window, FALSE);
  gtk_widget_set_size_request(fixed_, px(L::kClientWidth), px(L::kClientHeight));
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  g_signal_connect(fixed_, "draw", G_CALLBACK(onFixedDraw), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window_, "destroy-event", G_CALLBACK(onDestroyedFromOutside), this);
  g_signal_connect(window_, "realize", G_CALLBACK(onWindowRealize), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);

  frame_.setSizeTwips(L::kFrame.width, L::kFrame.height);
  PropertyBag frameProperties;
  frameProperties.writeInt("ShadowDepth", L::kFrameShadowDepth);
  frame_.loadProperties(frameProperties);

  // The music controls, on the frame.
  placeLabel(dialog_texts::kHeading, L::kHeading, true);
  const char* kindTexts[3] = {dialog_texts::kKindNone, dialog_texts::kKindCd,
                              dialog_texts::kKindFile};
  for (int i = 0; i < 3; ++i) {
    GtkWidget* mark = gtk_drawing_area_new();
    g_object_set_data(G_OBJECT(mark), "pellarin-index", GINT_TO_POINTER(i));
    const TwipRect& at = L::kMarks[i];
    gtk_widget_set_size_request(mark, px(at.width), px(at.height));
    gtk_widget_add_events(mark, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(mark, "draw", G_CALLBACK(onMarkDraw), this);
    g_signal_connect(mark, "button-press-event", G_CALLBACK(onKindPress), this);
    gtk_fixed_put(GTK_FIXED(fixed_), mark, onFrameX(at.left), onFrameY(at.top));
    marks_[static_cast<std::size_t>(i)] = mark;

    GtkWidget* events = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(events), FALSE);
    g_object_set_data(G_OBJECT(events), "pellarin-index", GINT_TO_POINTER(i + 10));
    GtkWidget* label = gtk_label_new(kindTexts[i]);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    const TwipRect& labelAt = L::kKindLabels[i];
    gtk_widget_set_size_request(label, px(labelAt.width), px(labelAt.height));
    gtk_container_add(GTK_CONTAINER(events), label);
    g_signal_connect(events, "button-press-event", G_CALLBACK(onKindPress), this);
    gtk_fixed_put(GTK_FIXED(fixed_), events, onFrameX(labelAt.left), onFrameY(labelAt.top));
  }
  GtkWidget* entry = gtk_bin_get_child(GTK_BIN(repeat_));
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
  gtk_entry_set_max_width_chars(GTK_ENTRY(entry), 2);
  gtk_widget_set_size_request(repeat_, px(L::kRepeat.width), px(L::kRepeat.height));
  gtk_fixed_put(GTK_FIXED(fixed_), repeat_, onFrameX(L::kRepeat.left), onFrameY(L::kRepeat.top));
  placeLabel(dialog_texts::kRepeatLabel, L::kRepeatLabel);
  fileName_ = placeLabel("", L::kFileName);
  gtk_label_set_line_wrap(GTK_LABEL(fileName_), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(fileName_), PANGO_WRAP_CHAR);
  gtk_label_set_max_width_chars(GTK_LABEL(fileName_), 1);
  gtk_label_set_lines(GTK_LABEL(fileName_), 2);
  gtk_label_set_ellipsize(GTK_LABEL(fileName_), PANGO_ELLIPSIZE_MIDDLE);

  // The animation boxes, the buttons and the credit line, on the form.
  for (int i = 0; i < 2; ++i) {
    GtkWidget* box = gtk_drawing_area_new();
    g_object_set_data(G_OBJECT(box), "pellarin-index", GINT_TO_POINTER(i));
    const TwipRect& at = L::kAnimationBoxes[i];
    gtk_widget_set_size_request(box, px(at.width), px(at.height));
    gtk_widget_add_events(box, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(box, "draw", G_CALLBACK(onBoxDraw), this);
    g_signal_connect(box, "button-release-event", G_CALLBACK(onBoxRelease), this);
    g_signal_connect(box, "realize", G_CALLBACK(onBoxRealize), this);
    gtk_fixed_put(GTK_FIXED(fixed_), box, px(at.left), px(at.top));
    boxes_[static_cast<std::size_t>(i)] = box;
  }
  buildButtons(painter);
  placeLabel(dialog_texts::kCreditLine, L::kCreditLine, true, false);
}

void QuorvanePViewGtk::buildButtons(TextPainter& painter) {
  struct Spec {
    std::unique_ptr<XPButtonGtk>* slot;
    const char* caption;
    TwipRect at;
    bool onFrame;
  };
  const Spec specs[] = {
      {&fileButton_, dialog_texts::kFileButton, L::kFileButton, true},
      {&setButton_, dialog_texts::kSetButton, L::kSetButton, false},
      {&cancelButton_, dialog_texts::kCancelButton, L::kCancelButton, false},
  };
  const FontSpec font{kDialogFontFamily, L::kFontPoints, false, false, L::kFontCharset};
  for (const Spec& spec : specs) {
    auto view = std::make_unique<XPButtonGtk>(kFormBack, painter);
    setUpDialogButton(view->button(), spec.caption, spec.at, font);
    const int left = spec.onFrame ? onFrameX(spec.at.left) : px(spec.at.left);
    const int top = spec.onFrame ? onFrameY(spec.at.top) : px(spec.at.top);
    gtk_fixed_put(GTK_FIXED(fixed_), view->widget(), left, top);
    view->followForm(GTK_WINDOW(window_));
    *spec.slot = std::move(view);
  }
}

QuorvanePViewGtk::~QuorvanePViewGtk() {
  stopAnimationTimer();
  if (loop_) g_main_loop_unref(loop_);
  // The buttons let go of the window's signals before the window goes.
  fileButton_.reset();
  setButton_.reset();
  cancelButton_.reset();
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(fixed_, this);
  // A toplevel whose X window was destroyed from outside cannot be taken down without GTK
  // complaining about its lost frame clock; the program ends right after, so it is left.
  if (!windowGone_) gtk_widget_destroy(window_);
  g_object_unref(window_);
  for (cairo_surface_t* surface : markSurfaces_) cairo_surface_destroy(surface);
  for (cairo_surface_t* surface : frameSurfaces_) cairo_surface_destroy(surface);
  // Errors about a window destroyed from outside arrive late; take them while the guard lives.
  if (lostWindowErrors_) gdk_display_sync(gdk_display_get_default());
}

GtkWidget* QuorvanePViewGtk::placeLabel(const char* text, const dialog_layout::TwipRect& at,
                                        bool centred, bool onFrame) {
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), centred ? 0.5f : 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  gtk_widget_set_size_request(label, px(at.width), px(at.height));
  gtk_fixed_put(GTK_FIXED(fixed_), label, onFrame ? onFrameX(at.left) : px(at.left),
                onFrame ? onFrameY(at.top) : px(at.top));
  return label;
}

void QuorvanePViewGtk::connect(Quorvane_P& form) {
  form_ = &form;
  fileButton_->button().Click = [&form] { form.Cmd_File_Click(); };
  setButton_->button().Click = [&form] { form.Cmd_Set_Click(); };
  cancelButton_->button().Click = [&form] { form.Cmd_Can_Click(); };
  if (timer_ == 0) timer_ = g_timeout_add(L::kAnimationTickMs, onTick, this);
}

void QuorvanePViewGtk::runModal() {
  gtk_widget_realize(window_);
  GdkWindow* window = gtk_widget_get_window(window_);
  if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
    lostWindowErrors_ = std::make_unique<LostWindowErrorsX11>(window);
  }
  gtk_widget_show_all(window_);
  gtk_window_present(GTK_WINDOW(window_));
  if (form_ && form_->closed()) return;
  loop_ = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop_);
}

// ---- DialogView ---------------------------------------------------------------------------

ScreenSize QuorvanePViewGtk::screenSize() {
  GdkDisplay* display = gtk_widget_get_display(window_);
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {};
  GdkRectangle area{};
  gdk_monitor_get_geometry(monitor, &area);
  return {area.width, area.height};
}

ScreenSize QuorvanePViewGtk::windowSize() {
  GdkWindow* window = gtk_widget_get_window(window_);
  if (window && gtk_widget_get_mapped(window_)) {
    GdkRectangle extents{};
    gdk_window_get_frame_extents(window, &extents);
    return {extents.width, extents.height};
  }
  // Not shown yet: the client area and the frame the window manager will put around it, so
  // that the framed window is what gets placed.
  gtk_widget_realize(window_);
  const FrameExtents frame = windowFrameExtents(gtk_widget_get_window(window_), kFrameExtentsWait);
  return {px(L::kClientWidth) + frame.left + frame.right,
          px(L::kClientHeight) + frame.top + frame.bottom};
}

void QuorvanePViewGtk::moveWindow(int left, int top) {
  left_ = left;
  top_ = top;
  gtk_window_move(GTK_WINDOW(window_), left, top);
}

std::optional<ScreenRect> QuorvanePViewGtk::windowRect() {
  if (windowGone_) return std::nullopt;
  const ScreenSize size = windowSize();
  GdkWindow* window = gtk_widget_get_window(window_);
  if (window && gtk_widget_get_mapped(window_)) {
    GdkRectangle extents{};
    gdk_window_get_frame_extents(window, &extents);
    return ScreenRect{extents.x, extents.y, extents.x + extents.width, extents.y + extents.height};
  }
  return ScreenRect{left_, top_, left_ + size.width, top_ + size.height};
}

bool QuorvanePViewGtk::animationsEnabled() {
  gboolean enabled = TRUE;
  g_object_get(gtk_widget_get_settings(window_), "gtk-enable-animations", &enabled, nullptr);
  return enabled != FALSE;
}

void QuorvanePViewGtk::zoomWindow(const ScreenRect& from, const ScreenRect& to) {
  // X11 desktops have no call for it: an outline of our own is moved through the steps,
  // blocking like the desktop call it stands for (no event of the dialog runs meanwhile).
  GdkDisplay* display = gtk_widget_get_display(window_);
  if (!GDK_IS_X11_DISPLAY(display)) {
    debugLog("dialog: no zoom outside X11\n");
    return;
  }
  ZoomOutlineX11 outline(GDK_DISPLAY_XDISPLAY(display));
  const ZoomAnimation animation(from, to);
  const auto start = std::chrono::steady_clock::now();
  int frames = 0;
  for (;;) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    outline.show(animation.at(elapsed));
    ++frames;
    if (animation.finished(elapsed)) break;
    std::this_thread::sleep_for(ZoomAnimation::kFrameInterval);
  }
  debugLog("dialog: zoom of %d frames in %lld ms\n", frames,
           static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count()));
}

void QuorvanePViewGtk::setBusyPointer(bool busy) {
  GdkWindow* window = gtk_widget_get_window(window_);
  if (!window || windowGone_) return;
  GdkCursor* cursor =
      busy ? gdk_cursor_new_from_name(gtk_widget_get_display(window_), "wait") : nullptr;
  gdk_window_set_cursor(window, cursor);
  if (cursor) g_object_unref(cursor);
  gdk_display_flush(gtk_widget_get_display(window_));
}

void QuorvanePViewGtk::setOptionMark(int index, bool selected) {
  if (index < 0 || index > 2) return;
  markSelected_[static_cast<std::size_t>(index)] = selected;
  gtk_widget_queue_draw(marks_[static_cast<std::size_t>(index)]);
}

void QuorvanePViewGtk::setRepeatEnabled(bool enabled) {
  gtk_widget_set_sensitive(repeat_, enabled);
}

void QuorvanePViewGtk::setFileButtonEnabled(bool enabled) {
  fileButton_->button().setEnabled(enabled);
}

void QuorvanePViewGtk::setRepeatText(std::string_view text) {
  const std::string value(text);
  gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(repeat_))), value.c_str());
}

std::string QuorvanePViewGtk::repeatText() {
  return gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(repeat_))));
}

void QuorvanePViewGtk::addRepeatEntry(std::string_view text) {
  const std::string value(text);
  gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(repeat_), value.c_str());
}

void QuorvanePViewGtk::setFileNameCaption(std::string_view text) {
  const std::string value(text);
  gtk_label_set_text(GTK_LABEL(fileName_), value.c_str());
}

void QuorvanePViewGtk::showAnimationFrame(int box, int frame) {
  if (box < 0 || box > 1) return;
  boxFrame_[static_cast<std::size_t>(box)] = frame;
  gtk_widget_queue_draw(boxes_[static_cast<std::size_t>(box)]);
}

void QuorvanePViewGtk::clearAnimationBox(int box) {
  // Nothing is drawn into the boxes at run time: a box keeps showing the last frame it was
  // given while the other one animates.
  if (box >= 0 && box <= 1) gtk_widget_queue_draw(boxes_[static_cast<std::size_t>(box)]);
}

void QuorvanePViewGtk::stopAnimationTimer() {
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
}

void QuorvanePViewGtk::close() {
  if (!windowGone_) gtk_widget_hide(window_);
  if (loop_ && g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

// ---- Signals ------------------------------------------------------------------------------

gboolean QuorvanePViewGtk::onFixedDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  QuorvanePViewGtk* view = self(data);
  // The frame is painted under the controls that sit on it.
  cairo_save(cr);
  cairo_translate(cr, px(L::kFrame.left), px(L::kFrame.top));
  paintCanvas(cr, view->frame_.canvas());
  // The etched box around the heading: a white rectangle one twip-pixel below a black one.
  const double left = px(L::kHeadingBox.left) + 0.5, top = px(L::kHeadingBox.top) + 0.5;
  const double width = px(L::kHeadingBox.width) - 1, height = px(L::kHeadingBox.height) - 1;
  const double etch = px(L::kEtchOffset);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, left + etch, top + etch, width, height);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, left, top, width, height);
  cairo_stroke(cr);
  cairo_restore(cr);
  return FALSE;
}

gboolean QuorvanePViewGtk::onMarkDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  const QuorvanePViewGtk* view = self(data);
  const auto index = static_cast<std::size_t>(indexOf(widget));
  cairo_set_source_surface(cr, view->markSurfaces_[view->markSelected_[index] ? 1 : 0], 0, 0);
  cairo_paint(cr);
  return TRUE;
}

gboolean QuorvanePViewGtk::onBoxDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  const int frame = self(data)->boxFrame_[static_cast<std::size_t>(indexOf(widget))];
  const int w = gtk_widget_get_allocated_width(widget);
  const int h = gtk_widget_get_allocated_height(widget);
  // A sunken box: grey on the upper and left edges, white on the lower and right ones.
  cairo_set_source_rgb(cr, 0xE0 / 255.0, 0xE0 / 255.0, 0xE0 / 255.0);
  cairo_paint(cr);
  if (frame > 0) {
    const std::vector<cairo_surface_t*>& frames = self(data)->frameSurfaces_;
    const auto at = static_cast<std::size_t>(std::clamp(frame, 1, static_cast<int>(frames.size())));
    cairo_set_source_surface(cr, frames[at - 1], 1, 1);
    cairo_rectangle(cr, 1, 1, w - 2, h - 2);
    cairo_fill(cr);
  }
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_move_to(cr, 0.5, h - 0.5);
  cairo_line_to(cr, 0.5, 0.5);
  cairo_line_to(cr, w - 0.5, 0.5);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, w - 0.5, 0.5);
  cairo_line_to(cr, w - 0.5, h - 0.5);
  cairo_line_to(cr, 0.5, h - 0.5);
  cairo_stroke(cr);
  return TRUE;
}

gboolean QuorvanePViewGtk::onKindPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  QuorvanePViewGtk* view = self(data);
  if (event->type != GDK_BUTTON_PRESS || !view->form_) return FALSE;
  const int index = indexOf(widget);
  if (index >= 10) {
    view->form_->lbl_BGM_MouseDown(index - 10);
  } else {
    view->form_->Img_BGM_MouseDown(index);
  }
  return TRUE;
}

gboolean QuorvanePViewGtk::onBoxRelease(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  QuorvanePViewGtk* view = self(data);
  const int w = gtk_widget_get_allocated_width(widget);
  const int h = gtk_widget_get_allocated_height(widget);
  // A click is a left press and release inside the box.
  if (event->button != 1 || event->x < 0 || event->y < 0 || event->x >= w || event->y >= h) {
    return FALSE;
  }
  if (view->form_) view->form_->Pic_m_Click(indexOf(widget));
  return TRUE;
}

void QuorvanePViewGtk::onBoxRealize(GtkWidget* widget, gpointer) {
  GdkPixbuf* hand = handPixbuf();
  GdkCursor* cursor =
      gdk_cursor_new_from_pixbuf(gtk_widget_get_display(widget), hand, dialog_assets::kHandHotSpotX,
                                 dialog_assets::kHandHotSpotY);
  gdk_window_set_cursor(gtk_widget_get_window(widget), cursor);
  g_object_unref(cursor);
  g_object_unref(hand);
}

void QuorvanePViewGtk::onWindowRealize(GtkWidget* widget, gpointer) {
  // Ask the window manager for a title bar with a close box only.
  GdkWindow* window = gtk_widget_get_window(widget);
  gdk_window_set_functions(window, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
  gdk_window_set_decorations(
      window, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
}

gboolean QuorvanePViewGtk::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
  QuorvanePViewGtk* view = self(data);
  // The close box closes the way "ｷｬﾝｾﾙ" does.
  if (view->form_) {
    view->form_->closeDialog();
  } else {
    view->close();
  }
  return TRUE;
}

gboolean QuorvanePViewGtk::onDestroyedFromOutside(GtkWidget*, GdkEvent*, gpointer data) {
  QuorvanePViewGtk* view = self(data);
  // Destroyed by another program (a window manager's kill, a tool): there is no window left
  // to ask, so it counts as "ｷｬﾝｾﾙ" and the modal run ends. Left to itself GTK would take the
  // widget away while the loop and the animation timer went on.
  debugLog("dialog: the window was destroyed from outside\n");
  view->windowGone_ = true;
  if (view->form_) {
    view->form_->closeDialog();
  } else {
    view->close();
  }
  return TRUE;
}

gboolean QuorvanePViewGtk::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  if (!(event->state & GDK_MOD1_MASK)) return FALSE;
  const gunichar typed = g_unichar_tolower(gdk_keyval_to_unicode(event->keyval));
  if (typed == 0) return FALSE;
  char utf8[8] = {};
  g_unichar_to_utf8(typed, utf8);
  QuorvanePViewGtk* view = self(data);
  for (XPButtonGtk* button :
       {view->fileButton_.get(), view->setButton_.get(), view->cancelButton_.get()}) {
    if (!button->button().accessKey().empty() && button->button().accessKey() == utf8) {
      button->button().accessKeyPressed();
      return TRUE;
    }
  }
  return FALSE;
}

gboolean QuorvanePViewGtk::onTick(gpointer data) {
  QuorvanePViewGtk* view = self(data);
  if (view->form_) view->form_->Timer1_Timer();
  return view->timer_ != 0 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

}  // namespace pellarin
