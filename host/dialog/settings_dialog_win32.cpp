#include <windows.h>

#include "common/debug_log.h"
#include "common/work_folder.h"
#include "host/controls/text_painter_win32.h"
#include "host/dialog/dialog_adapters_win32.h"
#include "host/dialog/quorvane_p.h"
#include "host/dialog/quorvane_p_win32.h"
#include "host/dialog/settings_dialog.h"
#include "host/dialog/settings_writer.h"

namespace pellarin {

int showSettingsDialog() {
  GdiTextPainter painter;
  QuorvanePViewWin32 view(painter);
  if (!view.window()) {
    debugLog("settings dialog: no window\n");
    return 0;
  }
  HostSettingsWriter settings;
  FileChooserWin32 files(view.window());
  BrowserOpenerWin32 browser(view.window());
  PointerPositionWin32 pointer;
  Quorvane_P form({view, settings, files, browser, pointer, programFolder()});
  view.connect(form);
  form.Form_Load();
  view.runModal();
  return 0;
}

}  // namespace pellarin
