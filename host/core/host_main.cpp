#include "host/core/host_main.h"

#include <array>
#include <optional>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/basic_numbers.h"
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

// What every mode but the preview does first: the work folder, the music settings and the
// companion check. The message for the first missing companion, or nothing.
const char* prepare(const MainServices& services) {
  // A refused work folder (a link, another user's) leaves the files' paths empty: the settings
  // then read as defaults and nothing is written there.
  openWorkFolder(WorkFolderUse::Create);
  loadSettings();
  for (const Companion& companion : kCompanions) {
    const std::filesystem::path path = services.programFolder / companion.fileName;
    if (!fileExists(pathText(path))) return companion.missingMessage;
  }
  return nullptr;
}

// Run mode inside a window that a screen-saver daemon gave. The daemon starts one host per
// monitor and decides itself how many run, so neither title of the single-instance rule ends
// this start, and the form carries no title that would end another start (a settings dialog
// opened beside the daemon's preview included).
MainResult mainInWindow(const WindowTarget& target, const RendererPacing& pacing,
                        MainServices& services) {
  const WindowId window = target.rootWindow ? services.windows.rootWindow() : target.window;
  if (!services.windows.windowExists(window)) {
    debugLog("host: window %llu does not exist; ending\n", static_cast<unsigned long long>(window));
    return MainResult::End;
  }
  if (const char* missing = prepare(services)) {
    // The daemon owns the screen and the keyboard: a message box would wait for ever unseen.
    services.messages.printMessage(missing);
    return MainResult::End;
  }
  // The pointer is the daemon's. Width and Height stay as the last standalone run wrote them:
  // this renderer follows its window's size, and the hosts of several monitors do not write the
  // settings file all at the same moment.
  RunModeOptions options;
  options.window = window;
  options.titled = false;
  options.pacing = pacing;
  services.forms.loadRunModeForm(options);
  return MainResult::KeepRunning;
}

}  // namespace

MainResult Main(const HostArguments& arguments, MainServices& services) {
  if (arguments.unusableWindow) {
    debugLog("host: a window option without a usable window number; ending\n");
    return MainResult::End;
  }
  if (arguments.window) return mainInWindow(*arguments.window, arguments.pacing, services);

  const std::string_view commandLine = arguments.commandLine;
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

  if (const char* missing = prepare(services)) {
    services.messages.showMessage(missing);
    return MainResult::End;
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

  RunModeOptions options;
  options.pointerHiddenAtStart = mode == 'S';
  options.pacing = arguments.pacing;
  services.forms.loadRunModeForm(options);
  return MainResult::KeepRunning;
}

}  // namespace pellarin::Quorvane_B
