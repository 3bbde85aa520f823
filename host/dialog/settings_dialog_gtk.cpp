#include <gtk/gtk.h>

#include "common/debug_log.h"
#include "common/work_folder.h"
#include "host/controls/text_painter_pango.h"
#include "host/dialog/dialog_adapters_gtk.h"
#include "host/dialog/quorvane_p.h"
#include "host/dialog/quorvane_p_gtk.h"
#include "host/dialog/settings_dialog.h"
#include "host/dialog/settings_writer.h"

namespace pellarin {

int showSettingsDialog() {
  if (!gtk_init_check(nullptr, nullptr)) {
    debugLog("settings dialog: no display\n");
    return 0;
  }
  PangoTextPainter painter;
  QuorvanePViewGtk view(painter);
  HostSettingsWriter settings;
  FileChooserGtk files(view.window());
  BrowserOpenerGtk browser(view.window());
  PointerPositionGtk pointer;
  Quorvane_P form({view, settings, files, browser, pointer, programFolder()});
  view.connect(form);
  form.Form_Load();
  view.runModal();
  return 0;
}

}  // namespace pellarin
