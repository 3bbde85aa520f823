#pragma once
// Win32 adapters of the settings dialog's small seams.
//
// Implements: the open-file dialog (GetOpenFileNameA with the record's described fields, its
// texts and paths in the ANSI code page, the title shown again through the wide call), the
// document opened by the shell (ShellExecuteA "open"), the pointer's position (GetCursorPos).
// Missing: files whose paths have no form in the ANSI code page (the narrow calls cannot name
// them: the file dialog refuses them, the shell is not asked).

#include <windows.h>

#include "host/dialog/browser_opener.h"
#include "host/dialog/file_chooser.h"
#include "host/dialog/pointer_position.h"

namespace pellarin {

class FileChooserWin32 final : public FileChooser {
 public:
  explicit FileChooserWin32(HWND owner) : owner_(owner) {}
  std::optional<std::string> chooseFile(const FileChooserRequest& request) override;

 private:
  HWND owner_;
};

class BrowserOpenerWin32 final : public BrowserOpener {
 public:
  explicit BrowserOpenerWin32(HWND owner) : owner_(owner) {}
  bool openDocument(const std::filesystem::path& file) override;

 private:
  HWND owner_;
};

class PointerPositionWin32 final : public PointerPosition {
 public:
  std::optional<ScreenPoint> pointerPosition() override;
};

// The filter of the open-file dialog in the record's form: the name, its patterns joined by
// ";", each closed by a NUL, and a second NUL at the end. The name in the ANSI code page; a name
// without a form there shows the patterns instead.
std::string openFileFilter(const FileChooserRequest& request);

}  // namespace pellarin
