#pragma once
// Quorvane_S: the hidden run-mode form. Its load hands a picture over to the renderer and starts
// it and the music; its timers watch the renderer and drive the music; its unload request stops
// everything and ends the host.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "host/core/music_player.h"
#include "host/core/picture.h"
#include "host/core/picture_converter.h"
#include "host/core/pointer_control.h"
#include "host/core/process_launcher.h"
#include "host/core/program_end.h"
#include "host/core/timer_service.h"
#include "host/core/window_finder.h"

namespace pellarin {

struct RunModeServices {
  WindowFinder& windows;
  PointerControl& pointer;
  PictureConverter& converter;
  ProcessLauncher& launcher;
  MusicPlayer& music;
  TimerService& timers;
  ProgramEnd& programEnd;
  std::filesystem::path programFolder;
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

  // pictures are Pic_m(0..2); pointerHiddenAtStart is true when the start-up hid the pointer
  // ("/S"), so the end shows it again.
  Quorvane_S(RunModeServices& services, const std::array<PictureView, 3>& pictures,
             bool pointerHiddenAtStart);

  // The load event: the hand-off, the renderer's start and the music.
  void load();
  // The unload request: stops the music, shows the pointer again if it was hidden, ends.
  void requestUnload();

  // Which picture load() chose; -1 before.
  int chosenPicture() const { return chosenPicture_; }

 private:
  void timer1Tick();
  void timer2Tick();
  void timer3Tick();
  std::filesystem::path temporaryBitmapPath() const;

  RunModeServices& services_;
  std::array<PictureView, 3> pictures_;
  bool pointerHiddenAtStart_;
  std::unique_ptr<Timer> timer1_;  // MP3 repeat
  std::unique_ptr<Timer> timer2_;  // CD poll
  std::unique_ptr<Timer> timer3_;  // renderer watch
  int chosenPicture_ = -1;
  bool rendererWindowSeen_ = false;
  int watchTicksWithoutWindow_ = 0;
  bool ended_ = false;
};

// The kind of music file, from its last three characters in any case.
enum class MusicFileKind { Other, Mp3, Wav };
MusicFileKind musicFileKind(std::string_view path);

}  // namespace pellarin
