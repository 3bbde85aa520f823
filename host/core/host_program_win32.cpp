// The host program's entry point on Windows (Pellarin.scr, a GUI program): the thread's message
// loop carries the forms' windows and timers; USER, GDI and KERNEL do the rest.
//
// The command line is the system's screen-saver convention alone ("/S", "/P <window>",
// "/C[:<window>]"). The window options of the Linux screen-saver daemon (--window-id, --root,
// --delay, --max-fps) are not read here: no program on Windows starts a screen saver with them,
// the renderer there draws only into its own popup and takes no arguments, and a preview
// window comes with "/P".

#include <windows.h>

#include <memory>
#include <string>

#include "common/debug_log.h"
#include "common/system_names.h"
#include "common/win32_text.h"
#include "common/work_folder.h"
#include "host/assets/built_in_pictures.h"
#include "host/core/command_line.h"
#include "host/core/host_main.h"
#include "host/core/host_texts.h"
#include "host/core/music_player_bgm.h"
#include "host/core/picture_converter_dl.h"
#include "host/core/preview_window_win32.h"
#include "host/core/quorvane_s.h"
#include "host/core/win32_adapters.h"
#include "host/dialog/settings_dialog.h"

namespace pellarin {
namespace {

// The forms the start-up opens, with what each needs for its life.
class HostForms final : public StartUpForms {
 public:
  HostForms(WindowFinder& windows, PointerControl& pointer, ProgramEndWin32& programEnd)
      : windows_(windows), pointer_(pointer), programEnd_(programEnd) {}

  bool showPreview(std::int32_t parentWindow) override {
    preview_ = std::make_unique<PreviewWindowWin32>(assets::previewPicture());
    // A window number is a 32-bit value that the system widens with its sign.
    const HWND parent = reinterpret_cast<HWND>(static_cast<std::intptr_t>(parentWindow));
    return preview_->attach(parent, [this] { programEnd_.endProgram(); });
  }

  void showSettingsDialog() override {
    // The settings dialog (Quorvane_P) opens here, modally; the program ends when it closes.
    ::pellarin::showSettingsDialog();
  }

  void loadRunModeForm(const RunModeOptions& options) override {
    const std::filesystem::path folder = programFolder();
    converter_ = std::make_unique<PictureConverterDl>(folder / kConverterLibraryName);
    // A refused work folder gives empty paths: no bitmap is made and no lock is taken there.
    const std::filesystem::path work =
        openWorkFolder(WorkFolderUse::Existing).value_or(std::filesystem::path());
    musicLock_ = std::make_unique<MusicLockWin32>(workFilePath(kMusicLockFileName));
    services_ = std::make_unique<RunModeServices>(RunModeServices{windows_,
                                                                  pointer_,
                                                                  *converter_,
                                                                  launcher_,
                                                                  music_,
                                                                  *musicLock_,
                                                                  timers_,
                                                                  programEnd_,
                                                                  folder,
                                                                  work,
                                                                  pictureFilePath(),
                                                                  {}});
    form_ = std::make_unique<Quorvane_S>(*services_, assets::runModePictures(), options);
    // The form's window: the title the single-instance rule finds, and where the system asks
    // the program to end (the session ends, or someone closes it), an unload request like the
    // renderer's end.
    if (options.titled) {
      runModeWindow_ = std::make_unique<TitledHiddenWindowWin32>(
          kRunModeWindowTitle, [this] { form_->requestUnload(); });
    }
    form_->load();
  }

 private:
  WindowFinder& windows_;
  PointerControl& pointer_;
  ProgramEndWin32& programEnd_;

  std::unique_ptr<PreviewWindowWin32> preview_;

  std::unique_ptr<PictureConverterDl> converter_;
  std::unique_ptr<MusicLockWin32> musicLock_;
  ProcessLauncherWin32 launcher_;
  MusicPlayerBgm music_;
  TimerServiceWin32 timers_;
  std::unique_ptr<RunModeServices> services_;
  std::unique_ptr<Quorvane_S> form_;
  std::unique_ptr<TitledHiddenWindowWin32> runModeWindow_;
};

int runHost() {
  const std::string wholeCommandLine = utf8Text(::GetCommandLineW());
  HostArguments arguments;
  arguments.commandLine = std::string(commandLineArguments(wholeCommandLine));
  debugLog("host: started with \"%s\"\n", arguments.commandLine.c_str());

  WindowFinderWin32 windows;
  PointerControlWin32 pointer;
  ScreenMetricsWin32 screen;
  UserMessageWin32 messages;
  ProgramEndWin32 programEnd;
  HostForms forms(windows, pointer, programEnd);
  Quorvane_B::MainServices services{windows, pointer, screen, messages, forms, programFolder()};
  if (Quorvane_B::Main(arguments, services) == Quorvane_B::MainResult::KeepRunning) {
    runMessageLoop(programEnd);
  }
  return 0;
}

}  // namespace
}  // namespace pellarin

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return pellarin::runHost();
}
