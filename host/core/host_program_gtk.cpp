// The host program's entry point on Linux: GTK for the event loop and the message box, Xlib
// through GDK's display for everything that touches other windows.

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/debug_log.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/assets/built_in_pictures.h"
#include "host/core/command_line.h"
#include "host/core/gtk_adapters.h"
#include "host/core/host_main.h"
#include "host/core/host_texts.h"
#include "host/core/music_player_bgm.h"
#include "host/core/picture_converter_dl.h"
#include "host/core/posix_adapters.h"
#include "host/core/preview_window_x11.h"
#include "host/core/quorvane_s.h"
#include "host/core/x11_adapters.h"
#include "host/core/x11_connection_gtk.h"
#include "host/dialog/settings_dialog.h"

namespace pellarin {
namespace {

// The forms the start-up opens, with what each needs for its life.
class HostForms final : public StartUpForms {
 public:
  HostForms(X11Connection& connection, WindowFinder& windows, PointerControl& pointer,
            GMainLoop* loop)
      : connection_(connection), windows_(windows), pointer_(pointer), loop_(loop) {}

  ~HostForms() override {
    for (const guint source : signalSources_) g_source_remove(source);
  }

  bool showPreview(std::int32_t parentWindow) override {
    preview_ = std::make_unique<PreviewWindowX11>(connection_, assets::previewPicture());
    return preview_->attach(static_cast<std::uint32_t>(parentWindow),
                            [this] { g_main_loop_quit(loop_); });
  }

  void showSettingsDialog() override {
    // The settings dialog (Quorvane_P) opens here, modally; the program ends when it closes.
    ::pellarin::showSettingsDialog();
  }

  void loadRunModeForm(const RunModeOptions& options) override {
    const std::filesystem::path folder = programFolder();
    if (options.titled) {
      runModeWindow_ = std::make_unique<TitledHiddenWindowX11>(connection_, kRunModeWindowTitle);
    }
    converter_ = std::make_unique<PictureConverterDl>(folder / kConverterLibraryName);
    // A refused work folder gives empty paths: no bitmap is made and no lock is taken there.
    const std::filesystem::path work =
        openWorkFolder(WorkFolderUse::Existing).value_or(std::filesystem::path());
    musicLock_ = std::make_unique<MusicLockPosix>(workFilePath(kMusicLockFileName));
    programEnd_ = std::make_unique<ProgramEndGtk>(loop_);
    services_ = std::make_unique<RunModeServices>(RunModeServices{windows_,
                                                                  pointer_,
                                                                  *converter_,
                                                                  launcher_,
                                                                  music_,
                                                                  *musicLock_,
                                                                  timers_,
                                                                  *programEnd_,
                                                                  folder,
                                                                  work,
                                                                  pictureFilePath(),
                                                                  {}});
    form_ = std::make_unique<Quorvane_S>(*services_, assets::runModePictures(), options);
    // The system or a screen-saver daemon asking the program to end is an unload request like
    // the renderer's end.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
      signalSources_.push_back(g_unix_signal_add(
          signal,
          [](gpointer self) -> gboolean {
            static_cast<HostForms*>(self)->form_->requestUnload();
            return G_SOURCE_CONTINUE;
          },
          this));
    }
    form_->load();
  }

 private:
  X11Connection& connection_;
  WindowFinder& windows_;
  PointerControl& pointer_;
  GMainLoop* loop_;

  std::unique_ptr<PreviewWindowX11> preview_;

  std::unique_ptr<TitledHiddenWindowX11> runModeWindow_;
  std::unique_ptr<PictureConverterDl> converter_;
  std::unique_ptr<MusicLockPosix> musicLock_;
  ProcessLauncherGtk launcher_;
  MusicPlayerBgm music_;
  TimerServiceGtk timers_;
  std::unique_ptr<ProgramEndGtk> programEnd_;
  std::unique_ptr<RunModeServices> services_;
  std::unique_ptr<Quorvane_S> form_;
  std::vector<guint> signalSources_;
};

int runHost(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  // A screen-saver daemon names its window for the hack in this variable.
  const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
  const HostArguments arguments = readHostArguments(
      words,
      daemonWindow != nullptr ? std::optional<std::string_view>(daemonWindow) : std::nullopt);
  debugLog("host: started with \"%s\"%s\n", arguments.commandLine.c_str(),
           arguments.window ? " inside a given window" : "");
  // No display, nothing to save or preview: end quietly, as every other failure does.
  if (!gtk_init_check(nullptr, nullptr)) {
    debugLog("host: no display\n");
    return 0;
  }
  std::unique_ptr<X11Connection> connection = connectThroughGdk();
  if (!connection) {
    debugLog("host: the display is not an X display\n");
    return 0;
  }

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int result = 0;
  {
    WindowFinderX11 windows(*connection);
    PointerControlX11 pointer(*connection);
    ScreenMetricsX11 screen(*connection);
    UserMessageGtk messages;
    HostForms forms(*connection, windows, pointer, loop);
    Quorvane_B::MainServices services{windows, pointer, screen, messages, forms, programFolder()};
    if (Quorvane_B::Main(arguments, services) == Quorvane_B::MainResult::KeepRunning) {
      g_main_loop_run(loop);
    }
    XSync(connection->display(), False);
  }
  g_main_loop_unref(loop);
  return result;
}

}  // namespace
}  // namespace pellarin

int main(int argc, char** argv) {
  return pellarin::runHost(argc, argv);
}
