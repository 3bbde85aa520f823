#pragma once
// Quorvane_S: the hidden run-mode form. Its load hands a picture over to the renderer and starts
// it and the music; its timers watch the renderer and drive the music; its unload request stops
// everything, the renderer included, and ends the host.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "host/core/music_lock.h"
#include "host/core/music_player.h"
#include "host/core/picture.h"
#include "host/core/picture_converter.h"
#include "host/core/pointer_control.h"
#include "host/core/process_launcher.h"
#include "host/core/program_end.h"
#include "host/core/run_mode_options.h"
#include "host/core/timer_service.h"
#include "host/core/window_finder.h"

namespace pellarin {

struct RunModeServices {
  WindowFinder& windows;
  PointerControl& pointer;
  PictureConverter& converter;
  ProcessLauncher& launcher;
  MusicPlayer& music;
  MusicLock& musicLock;
  TimerService& timers;
  ProgramEnd& programEnd;
  std::filesystem::path programFolder;
  // Where the temporary bitmap is made: the work folder.
  std::filesystem::path temporaryFolder;
  std::filesystem::path pictureFile;
  // A number in [0, 1); empty: a generator seeded from the clock.
  std::function<double()> randomNumber;
};

class Quorvane_S {
 public:
  static constexpr std::chrono::milliseconds kMp3RepeatInterval{1000};
  static constexpr std::chrono::milliseconds kCdPollInterval{200};
  static constexpr std::chrono::milliseconds kRendererWatchInterval{500};
  // How long the watch waits for the window of a renderer that is still starting.
  static constexpr int kRendererStartTicks = 20;
  // At the end: how long a renderer whose window has gone gets to end by itself, and how long
  // one that was asked to end gets, before it is ended by force.
  static constexpr std::chrono::milliseconds kRendererOwnEndWait{1000};
  static constexpr std::chrono::milliseconds kRendererAskedEndWait{1000};

  // pictures are Pic_m(0..2).
  Quorvane_S(RunModeServices& services, const std::array<PictureView, 3>& pictures,
             const RunModeOptions& options);

  // The load event: the hand-off, the renderer's start and the music.
  void load();
  // The unload request (the system asks the host to end): stops the music, shows the pointer
  // again if it was hidden, ends the renderer and the host.
  void requestUnload();

  // Which picture load() chose; -1 before.
  int chosenPicture() const { return chosenPicture_; }

 private:
  // Whose turn the music is among hosts that run at the same time.
  enum class MusicTurn {
    Other,    // another host holds the lock (or no music is chosen)
    Taken,    // the lock is ours since the last look; the music starts at the next one
    Playing,  // this host started the music
  };

  void timer1Tick();
  void timer2Tick();
  void timer3Tick();
  void handOverPicture(const PictureView& picture);
  bool rendererWindowShown();
  bool musicChosen() const;
  void startMusic();
  void takeOverMusic();
  void unload(std::chrono::milliseconds rendererOwnEnd);

  RunModeServices& services_;
  std::array<PictureView, 3> pictures_;
  RunModeOptions options_;
  std::unique_ptr<Timer> timer1_;  // MP3 repeat
  std::unique_ptr<Timer> timer2_;  // CD poll
  std::unique_ptr<Timer> timer3_;  // renderer watch
  int chosenPicture_ = -1;
  bool rendererWindowSeen_ = false;
  int watchTicksWithoutWindow_ = 0;
  MusicTurn musicTurn_ = MusicTurn::Other;
  bool ended_ = false;
};

// The kind of music file, from its last three characters in any case.
enum class MusicFileKind { Other, Mp3, Wav };
MusicFileKind musicFileKind(std::string_view path);

}  // namespace pellarin
