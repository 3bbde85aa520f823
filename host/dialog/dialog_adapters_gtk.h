#pragma once
// GTK adapters of the settings dialog's small seams.

#include <gtk/gtk.h>

#include "host/dialog/browser_opener.h"
#include "host/dialog/file_chooser.h"
#include "host/dialog/pointer_position.h"

namespace pellarin {

class FileChooserGtk final : public FileChooser {
 public:
  explicit FileChooserGtk(GtkWindow* owner) : owner_(owner) {}
  std::optional<std::string> chooseFile(const FileChooserRequest& request) override;

 private:
  GtkWindow* owner_;
};

class BrowserOpenerGtk final : public BrowserOpener {
 public:
  explicit BrowserOpenerGtk(GtkWindow* owner) : owner_(owner) {}
  bool openDocument(const std::filesystem::path& file) override;

 private:
  GtkWindow* owner_;
};

class PointerPositionGtk final : public PointerPosition {
 public:
  std::optional<ScreenPoint> pointerPosition() override;
};

// "*.MP3" -> "*.[mM][pP]3": the same names in any letter case.
std::string anyCasePattern(std::string_view pattern);

}  // namespace pellarin
