#include "host/dialog/dialog_adapters_gtk.h"

#include <cctype>
#include <string>

#include "common/debug_log.h"

namespace pellarin {

std::string anyCasePattern(std::string_view pattern) {
  std::string out;
  for (char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      out += '[';
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> FileChooserGtk::chooseFile(const FileChooserRequest& request) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      request.title.c_str(), owner_, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
      "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, request.filterName.c_str());
  for (const std::string& pattern : request.patterns) {
    gtk_file_filter_add_pattern(filter, anyCasePattern(pattern).c_str());
  }
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(dialog), TRUE);
  if (!request.initialFolder.empty() &&
      !gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog),
                                           request.initialFolder.c_str())) {
    debugLog("file chooser: cannot open in %s\n", request.initialFolder.c_str());
  }
  std::optional<std::string> chosen;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
      chosen = name;
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

bool BrowserOpenerGtk::openDocument(const std::filesystem::path& file) {
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, &error);
  if (uri == nullptr) {
    debugLog("browser: no address for %s: %s\n", file.c_str(), error ? error->message : "?");
    g_clear_error(&error);
    return false;
  }
  GdkDisplay* display =
      owner_ ? gtk_widget_get_display(GTK_WIDGET(owner_)) : gdk_display_get_default();
  GAppLaunchContext* context =
      display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)) : nullptr;
  // The web browser is the desktop's handler of web addresses; browsers show file addresses
  // too. Without one, the file's own default viewer is the next best thing.
  bool started = false;
  for (const char* scheme : {"https", "http"}) {
    GAppInfo* browser = g_app_info_get_default_for_uri_scheme(scheme);
    if (browser == nullptr) continue;
    GList uris{uri, nullptr, nullptr};
    started = g_app_info_launch_uris(browser, &uris, context, &error);
    if (!started) {
      debugLog("browser: %s did not start: %s\n", g_app_info_get_name(browser),
               error ? error->message : "?");
      g_clear_error(&error);
    }
    g_object_unref(browser);
    break;
  }
  if (!started) {
    started = g_app_info_launch_default_for_uri(uri, context, &error);
    if (!started) {
      debugLog("browser: nothing opens %s: %s\n", uri, error ? error->message : "?");
      g_clear_error(&error);
    }
  }
  if (context) g_object_unref(context);
  g_free(uri);
  return started;
}

std::optional<ScreenPoint> PointerPositionGtk::pointerPosition() {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!pointer) return std::nullopt;
  int x = 0;
  int y = 0;
  gdk_device_get_position(pointer, nullptr, &x, &y);
  return ScreenPoint{x, y};
}

}  // namespace pellarin
