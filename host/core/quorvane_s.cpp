#include "host/core/quorvane_s.h"

#include <chrono>
#include <cmath>
#include <random>

#include "common/ascii_text.h"
#include "common/debug_log.h"
#include "common/system_names.h"
#include "host/core/bitmap_file.h"
#include "host/core/file_system.h"
#include "host/core/host_texts.h"
#include "host/core/local_time.h"
#include "host/core/quorvane_b.h"

namespace pellarin {

namespace {

// A generator seeded with the seconds since midnight, local time.
std::function<double()> clockSeededRandom() {
  auto generator = std::make_shared<std::mt19937>(secondsSinceLocalMidnight());
  return [generator] { return std::generate_canonical<double, 32>(*generator); };
}

}  // namespace

MusicFileKind musicFileKind(std::string_view path) {
  if (path.size() < 3) return MusicFileKind::Other;
  const std::string ending = asciiUpper(path.substr(path.size() - 3));
  if (ending == "MP3") return MusicFileKind::Mp3;
  if (ending == "WAV") return MusicFileKind::Wav;
  return MusicFileKind::Other;
}

Quorvane_S::Quorvane_S(RunModeServices& services, const std::array<PictureView, 3>& pictures,
                       const RunModeOptions& options)
    : services_(services), pictures_(pictures), options_(options) {
  timer1_ = services_.timers.createTimer(kMp3RepeatInterval, [this] { timer1Tick(); });
  timer2_ = services_.timers.createTimer(kCdPollInterval, [this] { timer2Tick(); });
  timer3_ = services_.timers.createTimer(kRendererWatchInterval, [this] { timer3Tick(); });
}

void Quorvane_S::load() {
  // The watch counts from the form's load.
  timer3_->setEnabled(true);

  std::function<double()> random =
      services_.randomNumber ? services_.randomNumber : clockSeededRandom();
  const int index = static_cast<int>(std::floor(random() * 3.0));
  chosenPicture_ = index < 0 ? 0 : (index > 2 ? 2 : index);

  // Each step goes on whatever the one before it did: a picture that did not arrive leaves the
  // renderer to its own fallback.
  handOverPicture(pictures_[static_cast<std::size_t>(chosenPicture_)]);

  if (!services_.launcher.start(services_.programFolder / kRendererFileName,
                                rendererArguments(options_.window, options_.pacing))) {
    debugLog("host: the renderer could not be started\n");
  }

  if (!musicChosen()) return;
  if (services_.musicLock.tryAcquire()) {
    startMusic();
  } else {
    debugLog("host: another host plays the music\n");
  }
}

void Quorvane_S::handOverPicture(const PictureView& picture) {
  // The bitmap goes into the work folder, which the user can always write, under a name of its
  // own: several hosts (one per monitor) hand over at the same moment. Without a usable work
  // folder there is nowhere to put it, and the renderer shows its fallback.
  if (services_.temporaryFolder.empty()) {
    debugLog("host: no usable work folder for the temporary bitmap\n");
    return;
  }
  const std::unique_ptr<TemporaryFile> bitmap = TemporaryFile::create(
      services_.temporaryFolder, kTemporaryBitmapStem, kTemporaryBitmapEnding);
  if (!bitmap || !bitmap->writeAndClose(bitmapFileBytes(picture))) {
    debugLog("host: cannot write the temporary bitmap\n");
    return;
  }
  if (!services_.converter.convertBmpToJpg(bitmap->path(), services_.pictureFile)) {
    debugLog("host: the picture conversion failed\n");
  }
  // The bitmap is removed here, whatever the conversion did.
}

bool Quorvane_S::musicChosen() const {
  if (Quorvane_B::musicKind == 1) return true;
  return Quorvane_B::musicKind == 2 && musicFileKind(Quorvane_B::musicFile) != MusicFileKind::Other;
}

void Quorvane_S::startMusic() {
  musicTurn_ = MusicTurn::Playing;
  if (Quorvane_B::musicKind == 1) {
    services_.music.openCdAudio();
    timer2_->setEnabled(true);
    return;
  }
  const MusicFileKind kind = musicFileKind(Quorvane_B::musicFile);
  if (kind == MusicFileKind::Wav) services_.music.startWav();
  if (kind == MusicFileKind::Mp3) {
    services_.music.startMp3();
    timer1_->setEnabled(true);
  }
}

void Quorvane_S::takeOverMusic() {
  if (!musicChosen() || musicTurn_ == MusicTurn::Playing) return;
  // The music starts one look after the lock came free: when the daemon stops every host at
  // once, the one that played may be gone a moment before the others get their signal, and
  // they must not play a snatch of music on their way out.
  if (musicTurn_ == MusicTurn::Taken) {
    startMusic();
  } else if (services_.musicLock.tryAcquire()) {
    musicTurn_ = MusicTurn::Taken;
  }
}

void Quorvane_S::timer1Tick() {
  if (ended_) return;
  services_.music.repeatMp3();
}

void Quorvane_S::timer2Tick() {
  if (ended_) return;
  services_.music.pollCdAudio();
  timer2_->setEnabled(services_.music.cdPollActive());
}

bool Quorvane_S::rendererWindowShown() {
  if (!options_.window) return services_.windows.windowWithTitleExists(kRendererWindowTitle);
  // Every monitor's renderer carries the same title: only this host's, inside its window,
  // counts.
  return services_.launcher.startedProcessRunning() &&
         services_.windows.windowWithTitleExistsInside(*options_.window, kRendererWindowTitle);
}

void Quorvane_S::timer3Tick() {
  if (ended_) return;
  if (rendererWindowShown()) {
    rendererWindowSeen_ = true;
    watchTicksWithoutWindow_ = 0;
    takeOverMusic();
    return;
  }
  // A renderer we started that is still running gets time to open its window; once a window
  // has been seen, or the renderer has ended, the first look without one ends run mode.
  ++watchTicksWithoutWindow_;
  if (!rendererWindowSeen_ && watchTicksWithoutWindow_ < kRendererStartTicks &&
      services_.launcher.startedProcessRunning()) {
    takeOverMusic();
    return;
  }
  timer3_->setEnabled(false);
  // A renderer whose window has gone is on its way out; one that never showed a window is not.
  unload(rendererWindowSeen_ ? kRendererOwnEndWait : std::chrono::milliseconds{0});
}

void Quorvane_S::requestUnload() {
  unload(std::chrono::milliseconds{0});
}

void Quorvane_S::unload(std::chrono::milliseconds rendererOwnEnd) {
  if (ended_) return;
  ended_ = true;
  if (musicTurn_ == MusicTurn::Playing) {
    if (timer2_->enabled()) {
      timer2_->setEnabled(false);
      services_.music.stopCdAudio();
    }
    if (Quorvane_B::musicKind == 2) {
      const MusicFileKind kind = musicFileKind(Quorvane_B::musicFile);
      if (kind == MusicFileKind::Wav) services_.music.stopWav();
      if (kind == MusicFileKind::Mp3) {
        timer1_->setEnabled(false);
        services_.music.stopMp3();
      }
    }
  }
  if (musicTurn_ != MusicTurn::Other) services_.musicLock.release();
  // Always a show: passing the hiding call's result as the flag would hide the pointer once
  // more whenever that result happened to be 0.
  if (options_.pointerHiddenAtStart) {
    Quorvane_B::cursorHideResult = services_.pointer.showCursor(true);
  }
  timer1_->setEnabled(false);
  timer3_->setEnabled(false);
  // The host never leaves its renderer behind: nothing else would end one that never showed a
  // window, or one drawing into a daemon's window after the daemon asked the host to stop.
  services_.launcher.endStartedProcess(rendererOwnEnd, kRendererAskedEndWait);
  services_.programEnd.endProgram();
}

}  // namespace pellarin
