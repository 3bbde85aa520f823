#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "host/core/gtk_adapters.h"
#include "host/core/host_texts.h"

namespace pellarin {

void UserMessageGtk::showMessage(std::string_view text) {
  const std::string message(text);
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_OK, "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kProgramTitle);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the server see the dialog go before the program ends.
  while (gtk_events_pending()) gtk_main_iteration();
}

void UserMessageGtk::printMessage(std::string_view text) {
  // Prefixed with the program's name, as a daemon that shows its hacks' errors expects.
  std::fprintf(stderr, "%s: %.*s\n", kProgramTitle, static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace pellarin
