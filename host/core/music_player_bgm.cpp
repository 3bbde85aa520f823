#include "host/core/music_player_bgm.h"

#include "host/music/music_devices.h"
#include "host/music/quorvane_bgm.h"

namespace pellarin {

namespace {
// The devices are installed on the first operation, so a run without music never loads them
// and a run with music starts the renderer before it does.
void ensureDevices() {
  static const bool installed = [] {
    installPlatformMusicDevices();
    return true;
  }();
  (void)installed;
}
}  // namespace

void MusicPlayerBgm::openCdAudio() {
  ensureDevices();
  Quorvane_BGM::openCdAudio();
}
void MusicPlayerBgm::pollCdAudio() {
  Quorvane_BGM::pollCdAudio();
}
bool MusicPlayerBgm::cdPollActive() {
  return Quorvane_BGM::cdPollActive != 0;
}
void MusicPlayerBgm::stopCdAudio() {
  Quorvane_BGM::stopCdAudio();
}
void MusicPlayerBgm::startMp3() {
  ensureDevices();
  Quorvane_BGM::startMp3();
}
void MusicPlayerBgm::repeatMp3() {
  Quorvane_BGM::repeatMp3();
}
void MusicPlayerBgm::stopMp3() {
  Quorvane_BGM::stopMp3();
}
void MusicPlayerBgm::startWav() {
  ensureDevices();
  Quorvane_BGM::startWav();
}
void MusicPlayerBgm::stopWav() {
  Quorvane_BGM::stopWav();
}

}  // namespace pellarin
