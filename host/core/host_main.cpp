#include "host/core/host_main.h"

#include <array>
#include <optional>

#include "common/debug_log.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/basic_numbers.h"
#include "host/core/command_line.h"
#include "host/core/host_texts.h"
#include "host/core/quorvane_b.h"

namespace pellarin::Quorvane_B {

namespace {

struct Companion {
  const char* fileName;
  const char* missingMessage;
};

// Checked in this order; only the first missing one is reported.
constexpr std::array<Companion, 3> kCompanions = {{
    {kConverterLibraryName, kConverterMissingMessage},
    {kRendererFileName, kRendererMissingMessage},
    {kDecoderLibraryName, kDecoderMissingMessage},
}};

}  // namespace

MainResult Main(std::string_view commandLine, MainServices& services) {
  // One screen saver or settings dialog at a time, whatever the mode; both looks are made.
  const bool runModeFound = services.windows.windowWithTitleExists(kRunModeWindowTitle);
  const bool dialogFound = services.windows.windowWithTitleExists(kDialogTitle);
  if (runModeFound || dialogFound) {
    debugLog("host: another copy is running; ending\n");
    return MainResult::End;
  }

  const char mode = modeLetter(commandLine);

  if (mode == 'P') {
    const std::int32_t parent = previewWindowNumber(commandLine);
    return services.forms.showPreview(parent) ? MainResult::KeepRunning : MainResult::End;
  }

  // A refused work folder (a link, another user's) leaves the files' paths empty: the settings
  // then read as defaults and nothing is written there.
  openWorkFolder(WorkFolderUse::Create);
  loadSettings();

  for (const Companion& companion : kCompanions) {
    const std::filesystem::path path = services.programFolder / companion.fileName;
    if (!fileExists(path.string())) {
      services.messages.showMessage(companion.missingMessage);
      return MainResult::End;
    }
  }

  if (mode == 'C') {
    // The settings dialog: a number after "/c:" is ignored, the dialog has no owner.
    services.forms.showSettingsDialog();
    return MainResult::End;
  }

  if (!commandLine.empty() && mode != 'S') return MainResult::End;

  if (mode == 'S') cursorHideResult = services.pointer.showCursor(false);

  // Sizes that do not fit in 16 bits are left at 0 (the renderer then uses its defaults).
  const ScreenSize screen = services.screen.primaryScreenSize();
  const std::int16_t width = roundToInt16(screen.width).value_or(0);
  const std::int16_t height = roundToInt16(screen.height).value_or(0);
  writeSetting(kSettingsSection, kWidthKey, numberWithSign(width), settingsFilePath());
  writeSetting(kSettingsSection, kHeightKey, numberWithSign(height), settingsFilePath());

  services.forms.loadRunModeForm();
  return MainResult::KeepRunning;
}

}  // namespace pellarin::Quorvane_B
